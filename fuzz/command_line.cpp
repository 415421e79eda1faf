// The parser accepts exactly what the builders write: every accepted line must build back byte for byte, and
// every refused line must come with a reason.
#include "commands/CommandLine.h"
#include "model/Address.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view line(reinterpret_cast<const char*>(data), size);
    zelo::ParsedLine parsed = zelo::ParseCommandLine(line);
    switch (parsed.Kind) {
    case zelo::LineKind::Setup:
        if (zelo::BuildSetupLine(zelo::PhysicalAddressToText(parsed.PhysicalAddress), parsed.PrintSource,
                                 parsed.PrintHex, parsed.FullDuplex) != line)
            std::abort();
        break;
    case zelo::LineKind::Group: {
        zelo::TEibGroup group;
        group.StartAddress = parsed.StartAddress;
        group.EndAddress = parsed.EndAddress;
        group.DatapointType = static_cast<std::int8_t>(parsed.DatapointType);
        group.AccessType = static_cast<std::uint8_t>(parsed.AccessType);
        if (zelo::BuildGroupLine(group) != line)
            std::abort();
        break;
    }
    case zelo::LineKind::Invalid:
        if (parsed.Reason.empty())
            std::abort();
        break;
    }
    return 0;
}
