#include "window/DeviceList.h"

#include <filesystem>
#include <set>
#include <system_error>

namespace zelo {

std::vector<std::string> DeviceListEntries(const std::vector<os::PortInfo>& systemPorts,
                                           const std::string& configuredDevice) {
    std::vector<std::string> entries;
    entries.reserve(255 + systemPorts.size() + 1);
    for (int n = 1; n <= 255; ++n)
        entries.push_back("COM" + std::to_string(n));
    std::set<std::string> listed;
    for (const os::PortInfo& port : systemPorts) {
        if (port.Path.empty() || !listed.insert(port.Path).second)
            continue;
        entries.push_back(port.Path);
    }
    if (!configuredDevice.empty() && configuredDevice.front() == '/' && !listed.contains(configuredDevice)) {
        std::error_code error;
        if (std::filesystem::exists(configuredDevice, error))
            entries.push_back(configuredDevice);
    }
    return entries;
}

} // namespace zelo
