#pragma once
// The serial devices a system reports.
#include <string>
#include <vector>

namespace zelo::os {

// A serial device: its path and a description (USB product) where the system gives one.
struct PortInfo {
    std::string Path;
    std::string Description;
};

std::vector<PortInfo> ListSerialPorts();

} // namespace zelo::os
