#pragma once
// Group address texts of ETS exports: 3-level M/N/S, 2-level M/S and the free style (a plain number), and
// the hierarchy rows of the group tree (M/-/-, M/N/-, M/-), which name a group rather than an address.
#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

enum class AddressTextKind {
    Address,    // Value holds the address
    Hierarchy,  // a main or middle group of the tree: no address, nothing to report
    OutOfRange, // well formed, but beyond what the gateway's notation holds (main groups 16 to 31 included)
    Unreadable, // no address at all (also an empty text)
};

struct AddressTextResult {
    AddressTextKind Kind = AddressTextKind::Unreadable;
    std::uint16_t Value = 0;
    std::string Reason; // for OutOfRange and Unreadable: a message naming the text
};

// Reads an address text; blanks around it are ignored. A plain number is read only when allowFreeStyle is
// set (a CSV file says so by its "Address" header; XML exports write the free style that way).
AddressTextResult ReadAddressText(std::string_view text, bool allowFreeStyle);

// The three number cells of the x/3 CSV layouts (main, middle, sub). An empty middle or sub cell makes a
// hierarchy row; the text the reason names is "main/middle/sub".
AddressTextResult ReadAddressCells(std::string_view main, std::string_view middle, std::string_view sub);

} // namespace zelo
