#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

inline constexpr int DatapointTypeCount = 17;

// Row order is fixed: a row of the window's datapoint type list is a catalogue index.
extern const std::array<std::string_view, DatapointTypeCount> DatapointTypeNames;
extern const std::array<std::string_view, DatapointTypeCount> DatapointTypeKeywords;

// Empties the list and appends the 17 display texts in index order.
void FillDatapointTypeList(std::vector<std::string>& list);

// Index of a command-language keyword (case-sensitive), or -1.
int DatapointTypeFromKeyword(std::string_view keyword);

} // namespace zelo
