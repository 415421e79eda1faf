#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zelo {

extern const char* const InvalidGroupAddressMessage;
extern const char* const InvalidPhysicalAddressMessage;

// main/middle/sub; bit 15 is ignored.
std::string GroupAddressToText(std::uint16_t address);
// Reads "%d/%d/%d" by scanf rules; raises Exception(InvalidGroupAddressMessage) on any failure. What follows
// the address is ignored, as scanf ignores it.
std::uint16_t TextToGroupAddress(std::string_view text);
// The same reader for callers that must know where the address ends: used gets the number of characters it
// read. nullopt on any failure.
std::optional<std::uint16_t> ScanGroupAddress(std::string_view text, std::size_t& used);

// area.line.device.
std::string PhysicalAddressToText(std::uint16_t address);
// Reads "%d.%d.%d" by scanf rules; raises Exception(InvalidPhysicalAddressMessage) on any failure.
std::uint16_t TextToPhysicalAddress(std::string_view text);

} // namespace zelo
