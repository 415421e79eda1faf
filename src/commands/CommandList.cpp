#include "commands/CommandList.h"
#include "commands/CommandLine.h"
#include "model/Text.h"

namespace zelo {

std::vector<RefusedLine> CheckCommandList(const std::vector<std::string>& lines) {
    std::vector<RefusedLine> refused;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ParsedLine parsed = ParseCommandLine(lines[i]);
        if (parsed.Kind == LineKind::Invalid)
            refused.push_back({static_cast<int>(i) + 1, std::move(parsed.Reason)});
    }
    return refused;
}

std::vector<std::string> CommandListFromFile(std::string_view bytes) {
    return SplitLines(DecodeTextFile(bytes, SingleByteCharset::Latin1), ZeroByte::Kept);
}

std::string CommandListFileText(const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (const std::string& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

} // namespace zelo
