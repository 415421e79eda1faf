#include "window/GroupLineIndex.h"
#include "commands/CommandLine.h"

#include <algorithm>

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
    TEibGroup group;
    group.StartAddress = parsed.StartAddress;
    group.EndAddress = parsed.EndAddress;
    group.DatapointType = static_cast<std::int8_t>(parsed.DatapointType);
    group.AccessType = static_cast<std::uint8_t>(parsed.AccessType);
    AddGroup(lineNumber, group);
}

void GroupLineIndex::AddGroup(int lineNumber, const TEibGroup& group) {
    const int entry = Groups.Count();
    // As the line carries it: a range that ends at or below its start is its start alone.
    Groups.AddCopy(group).EndAddress = std::max(group.StartAddress, group.EndAddress);
    Lines.push_back(lineNumber);
    ByStart[group.StartAddress].push_back(entry);
}

} // namespace zelo
