#pragma once
#include "model/EibGroup.h"

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace zelo {

// Keeps the converter's table in step with the group lines of the command list: entry i of the table came
// from line LineOf(i), and the entries are in line order. An index by start address lets the same-start
// search visit only the entries that can match, so an Add costs the same on a list of 30000 lines as on one
// of ten.
class GroupLineIndex {
public:
    explicit GroupLineIndex(TEibGroups& groups) : Groups(groups) {}

    // Empties the table and the index.
    void Clear();
    // Parses one line of the list; a group line becomes the next entry of the table. Lines must come in
    // ascending order. Raises the table's error when it is full.
    void AddLine(int lineNumber, std::string_view text);
    // The group of a line just built from it, as the line carries it, without parsing the line back.
    void AddGroup(int lineNumber, const TEibGroup& group);
    // The entries whose start is the given address, in table order.
    const std::vector<int>& EntriesWithStart(std::uint16_t start) const { return ByStart[start]; }
    int LineOf(int entry) const { return Lines[static_cast<std::size_t>(entry)]; }
    TEibGroup& Group(int entry) const { return Groups.Items(entry); }

private:
    TEibGroups& Groups;
    std::vector<int> Lines;
    std::array<std::vector<int>, 65536> ByStart;
};

} // namespace zelo
