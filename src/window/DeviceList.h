#pragma once
#include "device/OsLink.h"

#include <string>
#include <vector>

namespace zelo {

// Entries of the window's device list: COM1 to COM255, then the serial devices the system reports, each once,
// then the configured device when it is an existing device path not listed yet (a by-id link, a
// pseudo-terminal), so a stored choice can be shown selected.
std::vector<std::string> DeviceListEntries(const std::vector<os::PortInfo>& systemPorts,
                                           const std::string& configuredDevice);

} // namespace zelo
