#pragma once
// The serial devices a system reports.
#include <string>
#include <vector>

namespace zelo::os {

// A serial device: its path, a description where the system gives one (USB maker and product, else the
// driver), and the device the path leads to (a by-id link leads to /dev/ttyUSB0; a plain name to itself).
struct PortInfo {
    std::string Path;
    std::string Description;
    std::string Device;
};

// POSIX: each serial device once: its /dev/serial/by-id name, else its /dev/serial0 or /dev/serial1 name,
// else its own /dev name, for every tty in sysfs with a device behind it (no virtual console, no 8250
// placeholder); Windows: the ports the serial drivers registered, by number.
std::vector<PortInfo> ListSerialPorts();

// The same under a root folder holding sys/class/tty and dev, so tests build the system they list. The paths
// reported are those the system would have ("/dev/..."). POSIX only.
std::vector<PortInfo> ListSerialPortsUnder(const std::string& root);

} // namespace zelo::os
