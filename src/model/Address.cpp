#include "model/Address.h"
#include "model/Error.h"

#include <array>
#include <cstdint>
#include <optional>

namespace zelo {

const char* const InvalidGroupAddressMessage =
    "Invalid group address!\nFormat has to be \"<0...15>/<0...7>/<0...255>\"!";
const char* const InvalidPhysicalAddressMessage =
    "Invalid physical address!\nFromat has to be \"<0...15>.<0...15>.<0...255>\"!";

namespace {

bool IsScanfSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Any number beyond 32 bits saturates here and so fails the range check like any other big number.
constexpr std::int64_t Saturated = std::int64_t{1} << 40;

// One "%d": leading white space, optional sign, at least one digit. Advances pos past what it took.
std::optional<std::int64_t> ScanInt(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    while (p < text.size() && IsScanfSpace(text[p]))
        ++p;
    bool negative = false;
    if (p < text.size() && (text[p] == '+' || text[p] == '-')) {
        negative = text[p] == '-';
        ++p;
    }
    if (p >= text.size() || text[p] < '0' || text[p] > '9')
        return std::nullopt;
    std::int64_t value = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') {
        if (value < Saturated)
            value = value * 10 + (text[p] - '0');
        ++p;
    }
    pos = p;
    return negative ? -value : value;
}

// The three numbers of "%d<sep>%d<sep>%d" checked against their upper limits; nullopt on any failure. used
// gets the number of characters read.
std::optional<std::array<int, 3>> ScanTriple(std::string_view text, char separator,
                                             const std::array<int, 3>& max, std::size_t& used) {
    // The form addresses come in from files, three runs of one to three digits between separators, read at
    // once (an import reads one per line); anything else goes the scanf way below.
    {
        std::array<int, 3> out{};
        std::size_t pos = 0;
        bool plain = true;
        auto digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
        for (std::size_t i = 0; i < 3 && plain; ++i) {
            if (i > 0 && (pos >= text.size() || text[pos++] != separator)) {
                plain = false;
                break;
            }
            const std::size_t start = pos;
            for (; pos - start < 3 && digit(pos); ++pos)
                out[i] = out[i] * 10 + (text[pos] - '0');
            plain = pos > start && !digit(pos);
        }
        if (plain) {
            for (std::size_t i = 0; i < 3; ++i)
                if (out[i] > max[i])
                    return std::nullopt;
            used = pos;
            return out;
        }
    }
    std::array<std::int64_t, 3> n{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != separator)
                return std::nullopt;
            ++pos;
        }
        auto v = ScanInt(text, pos);
        if (!v)
            return std::nullopt;
        n[i] = *v;
    }
    std::array<int, 3> out{};
    for (std::size_t i = 0; i < 3; ++i) {
        if (n[i] < 0 || n[i] > max[i])
            return std::nullopt;
        out[i] = static_cast<int>(n[i]);
    }
    used = pos;
    return out;
}

} // namespace

std::string GroupAddressToText(std::uint16_t address) {
    return std::to_string((address >> 11) & 15) + "/" + std::to_string((address >> 8) & 7) + "/" +
           std::to_string(address & 255);
}

std::optional<std::uint16_t> ScanGroupAddress(std::string_view text, std::size_t& used) {
    auto n = ScanTriple(text, '/', {15, 7, 255}, used);
    if (!n)
        return std::nullopt;
    return static_cast<std::uint16_t>((*n)[0] * 2048 + (*n)[1] * 256 + (*n)[2]);
}

std::uint16_t TextToGroupAddress(std::string_view text) {
    std::size_t used = 0;
    auto address = ScanGroupAddress(text, used);
    if (!address)
        throw Exception(InvalidGroupAddressMessage);
    return *address;
}

std::string PhysicalAddressToText(std::uint16_t address) {
    return std::to_string(address >> 12) + "." + std::to_string((address >> 8) & 15) + "." +
           std::to_string(address & 255);
}

std::uint16_t TextToPhysicalAddress(std::string_view text) {
    std::size_t used = 0;
    auto n = ScanTriple(text, '.', {15, 15, 255}, used);
    if (!n)
        throw Exception(InvalidPhysicalAddressMessage);
    return static_cast<std::uint16_t>((*n)[0] * 4096 + (*n)[1] * 256 + (*n)[2]);
}

} // namespace zelo
