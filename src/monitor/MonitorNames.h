#pragma once
// The group names of any file the import takes (an export of any format or a project file), for the monitors.
#include "monitor/MonitorLines.h"

#include <optional>
#include <string>

namespace zelo {

// Reads the names of every group address in the file's bytes. A file the import refuses raises Exception
// with the import's own words; a file with addresses but no names gives an empty table.
GroupNames ReadGroupNames(const std::string& fileName, std::string bytes,
                          const std::optional<std::string>& password);

} // namespace zelo
