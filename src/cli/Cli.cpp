#include "cli/Cli.h"
#include "commands/CommandLine.h"
#include "commands/CommandList.h"
#include "model/Address.h"
#include "model/Error.h"
#include "model/Text.h"
#include "os/Files.h"

namespace zelo::cli {

namespace {
std::string LastInput;
}

const std::string& InputName() {
    return LastInput;
}

std::string ReadInput(const std::string& path, std::uint64_t limit) {
    LastInput = path == "-" ? "standard input" : path;
    try {
        return path == "-" ? os::ReadStandardInputUpTo(limit) : os::ReadWholeFile(path, limit);
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }
}

std::unique_ptr<os::FileSource> OpenInput(const std::string& path, std::uint64_t limit) {
    LastInput = path;
    try {
        return std::make_unique<os::FileSource>(path, limit);
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }
}

std::vector<std::string> ReadCommandList(const std::string& path) {
    return CommandListFromFile(ReadInput(path, os::CommandListLimit));
}

void SetupOptions::AddTo(CLI::App& command) {
    command.add_option("--phys", Phys, "the gateway's physical address, area.line.device")
        ->capture_default_str();
    command.add_flag("--source", Source, "the gateway prints source addresses");
    command.add_flag("--hex", Hex, "the gateway prints addresses in hexadecimal");
    command.add_flag("--duplex", Duplex, "full duplex mode");
}

std::string SetupOptions::SetupLine() const {
    try {
        // Written in its canonical form: the reader ignores trailing text that the gateway must not see.
        return BuildSetupLine(PhysicalAddressToText(TextToPhysicalAddress(Phys)), Source, Hex, Duplex);
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, e.Message()};
    }
}

} // namespace zelo::cli
