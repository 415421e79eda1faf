#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

extern const char* const InvalidGroupAddressMessage;
extern const char* const InvalidPhysicalAddressMessage;

// main/middle/sub; bit 15 is ignored.
std::string GroupAddressToText(std::uint16_t address);
// Reads "%d/%d/%d" by scanf rules; raises Exception(InvalidGroupAddressMessage) on any failure.
std::uint16_t TextToGroupAddress(std::string_view text);

// area.line.device.
std::string PhysicalAddressToText(std::uint16_t address);
// Reads "%d.%d.%d" by scanf rules; raises Exception(InvalidPhysicalAddressMessage) on any failure.
std::uint16_t TextToPhysicalAddress(std::string_view text);

} // namespace zelo
