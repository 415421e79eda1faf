#include "os/DeviceList.h"
#include "os/Files.h"

#include <algorithm>
#include <charconv>
#include <set>
#include <system_error>

namespace zelo::os {

namespace {

constexpr int ComNames = 255;

// COMn for /dev/ttyS(n-1), n from 1 to 255; else the path itself.
std::string DeviceName(const std::string& path) {
    constexpr std::string_view prefix = "/dev/ttyS";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0)
        return path;
    int number = -1;
    const char* first = path.data() + prefix.size();
    const char* last = path.data() + path.size();
    const auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last || number < 0 || number >= ComNames ||
        (*first == '0' && number > 0))
        return path;
    return "COM" + std::to_string(number + 1);
}

} // namespace

std::vector<DeviceEntry> DeviceListEntries(const std::vector<PortInfo>& systemPorts,
                                           const std::string& configuredDevice,
                                           const std::string& unnamedPort) {
    std::vector<DeviceEntry> entries;
    entries.reserve(systemPorts.size() + 2 + ComNames);
    std::vector<std::string> devices; // the device of each existing entry
    for (const PortInfo& port : systemPorts) {
        if (port.Path.empty())
            continue;
        const std::string device = port.Device.empty() ? port.Path : port.Device;
        // The system lists a device once, by a link where there is one: the device's own name stays the
        // shown one when the settings name it.
        const std::string name = DeviceName(device == configuredDevice ? device : port.Path);
        const std::string display =
            name + " (" + (port.Description.empty() ? unnamedPort : port.Description) + ")";
        const auto seen = std::find(devices.begin(), devices.end(), device);
        if (seen != devices.end()) {
            // Another name of a device listed already: shown only when it is the one the settings name.
            if (port.Path == configuredDevice)
                entries[static_cast<std::size_t>(seen - devices.begin())] = {name, display};
            continue;
        }
        devices.push_back(device);
        entries.push_back({name, display});
    }
    const auto listed = [&entries](const std::string& name) {
        return std::any_of(entries.begin(), entries.end(),
                           [&name](const DeviceEntry& entry) { return entry.Name == name; });
    };
    if (!configuredDevice.empty() && configuredDevice.front() == '/' && !listed(configuredDevice)) {
        if (FileExists(configuredDevice))
            entries.push_back({configuredDevice, configuredDevice});
    }
    entries.push_back({TcpDeviceName, TcpDeviceName});
    std::set<std::string> existing;
    for (const DeviceEntry& entry : entries)
        existing.insert(entry.Name);
    for (int n = 1; n <= ComNames; ++n) {
        std::string name = "COM" + std::to_string(n);
        if (!existing.contains(name))
            entries.push_back({name, name});
    }
    return entries;
}

} // namespace zelo::os
