#pragma once
// The pieces the text conversions and the file decoder share: one UTF-8 sequence read or written, the
// single-byte code pages, and the word-at-a-time tests that let plain text pass eight bytes at a time.
#include "model/Text.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace zelo::codec {

// The word-at-a-time scans read bytes in little-endian order, as every target of this program does.
static_assert(std::endian::native == std::endian::little);

// The length of the UTF-8 sequence a lead byte starts (1 for ASCII and for a byte that starts none).
inline std::size_t Utf8SequenceLength(unsigned char b0) {
    return b0 < 0xC0 ? 1 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : b0 < 0xF8 ? 4 : 1;
}

// Decodes one UTF-8 sequence at pos; nullopt for anything malformed, overlong, a surrogate or beyond
// U+10FFFF.
inline std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& pos) {
    auto b0 = static_cast<unsigned char>(s[pos]);
    if (b0 < 0x80) {
        ++pos;
        return b0;
    }
    int extra;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (pos + static_cast<std::size_t>(extra) >= s.size())
        return std::nullopt;
    for (std::size_t i = 1; i <= static_cast<std::size_t>(extra); ++i) {
        auto b = static_cast<unsigned char>(s[pos + i]);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return std::nullopt;
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// Writes a code point's UTF-8 (at most 4 bytes) and says how many bytes it took.
inline std::size_t EncodeUtf8(char32_t cp, char* out) {
    if (cp < 0x80) {
        out[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = static_cast<char>(0xC0 | (cp >> 6));
        out[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = static_cast<char>(0xE0 | (cp >> 12));
        out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = static_cast<char>(0xF0 | (cp >> 18));
    out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unassigned codes keep their C1 meaning.
inline constexpr std::array<char32_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

inline char32_t SingleByteCodePoint(unsigned char b, SingleByteCharset charset) {
    return charset == SingleByteCharset::Windows1252 && b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b;
}

inline std::uint64_t Word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return w;
}

// Whether any of a word's 8 bytes is zero. A borrow can only mark a byte behind one that is marked
// already, so a word without a zero byte is never marked.
inline bool HasZeroByte(std::uint64_t w) {
    return ((w - 0x0101010101010101ull) & ~w & 0x8080808080808080ull) != 0;
}

// Whether any of a word's 8 bytes is below 0x0E (zero, CR, LF among them) or above 0x7F.
inline bool HasSpecialByte(std::uint64_t w) {
    return ((w - 0x0E0E0E0E0E0E0E0Eull) | w) & 0x8080808080808080ull;
}

} // namespace zelo::codec
