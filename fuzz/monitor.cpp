// The monitors' reading of a gateway's bytes: any stream, in blocks of any size, gives the same lines, none
// longer than the cut, and every shown line is valid UTF-8 without a control character, whatever came.
#include "model/Text.h"
#include "monitor/MonitorLines.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    // The first byte chooses the block size of the second reading and whether addresses are hexadecimal.
    const std::size_t block = data[0] % 17 + 1;
    const bool hex = data[0] & 0x80;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);

    zelo::LineSplitter whole;
    zelo::LineSplitter pieces;
    std::vector<zelo::ReceivedLine> a;
    std::vector<zelo::ReceivedLine> b;
    whole.Feed(stream, a);
    for (std::size_t from = 0; from < stream.size(); from += block)
        pieces.Feed(stream.substr(from, block), b);
    if (a.size() != b.size() || whole.Pending() != pieces.Pending() ||
        whole.Pending().size() > zelo::MonitorLineLimit)
        std::abort();

    zelo::GroupNames names;
    names.Add(0x0A03, "Light\r\n\x1b");
    names.Add(0x1234, "caf\xc3\xa9");
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].Bytes != b[i].Bytes || a[i].Cut != b[i].Cut || a[i].Bytes.size() > zelo::MonitorLineLimit ||
            a[i].Bytes.find_first_of("\r\n") != std::string::npos)
            std::abort();
        const zelo::AnnotatedLine shown = zelo::AnnotateLine(a[i], names, hex);
        for (const std::string* text : {&shown.Text, &shown.Line}) {
            if (!zelo::IsValidUtf8(*text))
                std::abort();
            for (unsigned char c : *text)
                if (c < 0x20 || c == 0x7F)
                    std::abort();
        }
        if (shown.Names.size() > shown.Addresses.size() || shown.Text.size() < shown.Line.size())
            std::abort();
        for (const auto& name : shown.Names)
            if (shown.Text.find(" [" + name + "]") == std::string::npos)
                std::abort();
        const zelo::LineFilter filter(std::string_view(a[i].Bytes).substr(0, 8));
        (void)filter.Matches(shown);
    }
    return 0;
}
