#pragma once
// The names a link's device goes by, and the list of them a window offers.
#include "os/Ports.h"

#include <string>
#include <vector>

namespace zelo::os {

// An entry of the window's device list: the device name that goes to the link and the settings file, and the
// text shown, which may add a description.
struct DeviceEntry {
    std::string Name;
    std::string Display;
    bool operator==(const DeviceEntry&) const = default;
};

// The device name that chooses the TCP link.
inline constexpr const char* TcpDeviceName = "TCP/IP";

// Entries of the window's device list, in this order:
// - the serial devices that exist, each once with its description (unnamedPort, in the user's language,
//   where the system gives none): of the names leading to one device the first the system lists (a by-id name
//   before /dev/ttyUSBn), unless the configured device is another of them or the device itself; a
//   /dev/ttyS(n-1) under its COM name COMn;
// - the configured device when it is an existing device path not listed yet (a pseudo-terminal), so a
//   stored choice can be shown selected;
// - "TCP/IP";
// - the names COM1 to COM255 not listed above.
std::vector<DeviceEntry> DeviceListEntries(const std::vector<PortInfo>& systemPorts,
                                           const std::string& configuredDevice,
                                           const std::string& unnamedPort = "serial port");

} // namespace zelo::os
