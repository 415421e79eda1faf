#pragma once
// Helpers shared by the Windows layers under the link.
#include <cstdint>
#include <string>

namespace zelo::os {

// The system's text for a Windows or Winsock error code, without the trailing line break and full stop.
std::string SystemErrorText(std::uint32_t code);

// The number n of a device name "COMn" with n from 1 to 65534; 0 for every other name (65535 names no port).
int ComPortNumber(const std::string& device);

} // namespace zelo::os
