#include "window/GroupLineIndex.h"
#include "commands/CommandLine.h"

namespace zelo {

void GroupLineIndex::Clear() {
    Groups.Clear();
    Lines.clear();
    for (std::vector<int>& entries : ByStart)
        entries.clear();
}

void GroupLineIndex::AddLine(int lineNumber, std::string_view text) {
    // Cheap test first: most lines of a long list are group lines, but hand-typed notes are not.
    if (text.size() < 3 || text[0] != '#' || text[1] != 'D')
        return;
    const ParsedLine parsed = ParseCommandLine(text);
    if (parsed.Kind != LineKind::Group)
        return;
    const int entry = Groups.Count();
    TEibGroup& group = Groups.Add();
    group.StartAddress = parsed.StartAddress;
    group.EndAddress = parsed.EndAddress;
    group.DatapointType = static_cast<std::int8_t>(parsed.DatapointType);
    group.AccessType = static_cast<std::uint8_t>(parsed.AccessType);
    Lines.push_back(lineNumber);
    ByStart[parsed.StartAddress].push_back(entry);
}

std::uint16_t EffectiveEnd(const TEibGroup& group) {
    return group.EndAddress > group.StartAddress ? group.EndAddress : group.StartAddress;
}

} // namespace zelo
