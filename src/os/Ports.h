#pragma once
// The serial devices a system reports.
#include <string>
#include <vector>

namespace zelo::os {

// A serial device: its path, a description (USB maker and product) where the system gives one, and the device
// the path leads to (a by-id link and /dev/ttyUSB0 lead to the same one; a plain name leads to itself).
struct PortInfo {
    std::string Path;
    std::string Description;
    std::string Device;
};

// POSIX: /dev/serial/by-id/*, /dev/ttyUSB*, /dev/ttyACM*, then the /dev/ttyS* that have a port behind them;
// Windows: the ports the serial drivers registered, by number.
std::vector<PortInfo> ListSerialPorts();

} // namespace zelo::os
