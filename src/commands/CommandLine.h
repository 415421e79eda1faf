#pragma once
#include "model/EibGroup.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

// "#SETUP=<phys>;<ON|OFF>;<ON|OFF>;<ON|OFF>": the address text goes in as typed, unchecked.
std::string BuildSetupLine(std::string_view physicalAddressText, bool printSource, bool printHex,
                           bool fullDuplex);

// "#DG<start>[-<end>]=<KEYWORD>;<ACCESS>": the end only when it lies above the start.
std::string BuildGroupLine(const TEibGroup& group);

enum class LineKind { Setup, Group, Invalid };

// One command line taken apart. For an invalid line, Reason says what is wrong with it.
struct ParsedLine {
    LineKind Kind = LineKind::Invalid;
    std::string Reason;
    // Setup line
    std::uint16_t PhysicalAddress = 0;
    bool PrintSource = false;
    bool PrintHex = false;
    bool FullDuplex = false;
    // Group line (EndAddress equals StartAddress for a single address)
    std::uint16_t StartAddress = 0;
    std::uint16_t EndAddress = 0;
    int DatapointType = 0;
    int AccessType = 2;
};

// The inverse of the two builders: accepts exactly the lines they write for valid input, nothing else.
ParsedLine ParseCommandLine(std::string_view line);

} // namespace zelo
