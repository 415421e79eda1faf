#include "model/Text.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace zelo {

namespace {

// Decodes one UTF-8 sequence at pos; nullopt for anything malformed, overlong, a surrogate or beyond
// U+10FFFF.
std::optional<char32_t> NextUtf8(std::string_view s, std::size_t& pos) {
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

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; its five unassigned codes keep their C1 meaning.
constexpr std::array<char32_t, 32> Cp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsValidUtf8(std::string_view bytes) {
    std::size_t pos = 0;
    while (pos < bytes.size())
        if (!NextUtf8(bytes, pos))
            return false;
    return true;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    auto unit = [&](std::size_t i) -> char32_t {
        auto a = static_cast<unsigned char>(bytes[i]);
        auto b = static_cast<unsigned char>(bytes[i + 1]);
        return static_cast<char32_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
    };
    // Each code point once, to the callback; a lone surrogate cannot be shown: the replacement character
    // keeps the position visible.
    auto forEach = [&](auto take) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
            char32_t u = unit(i);
            if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
                char32_t low = unit(i + 2);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    take(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                    i += 2;
                    continue;
                }
            }
            take((u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : u);
        }
    };
    // Sized first: a big export is decoded without growing the string.
    std::size_t size = 0;
    forEach([&](char32_t cp) { size += cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4; });
    std::string out;
    out.reserve(size);
    forEach([&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::string ReplaceInvalidUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t start = pos;
        if (auto cp = NextUtf8(bytes, pos)) {
            out.append(bytes.substr(start, pos - start));
        } else {
            AppendUtf8(out, 0xFFFD);
            pos = start + 1;
        }
    }
    return out;
}

std::string SingleByteToUtf8(std::string_view bytes, SingleByteCharset charset) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    // Runs of ASCII are copied whole: files are mostly ASCII, and this is the bulk of loading a large one.
    std::size_t run = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80)
            continue;
        out.append(bytes.substr(run, i - run));
        char32_t cp = b;
        if (charset == SingleByteCharset::Windows1252 && b < 0xA0)
            cp = Cp1252High[b - 0x80];
        AppendUtf8(out, cp);
        run = i + 1;
    }
    out.append(bytes.substr(run));
    return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto cp = NextUtf8(text, pos);
        if (!cp || *cp > 0xFF)
            return std::nullopt;
        out += static_cast<char>(*cp);
    }
    return out;
}

std::string DecodeTextFile(std::string_view bytes, SingleByteCharset fallback) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        std::string_view body = bytes.substr(3);
        // A mark followed by broken UTF-8 still keeps every byte, read single-byte.
        return IsValidUtf8(body) ? std::string(body) : SingleByteToUtf8(body, fallback);
    }
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return Utf16ToUtf8(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return Utf16ToUtf8(bytes.substr(2), true);
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    return SingleByteToUtf8(bytes, fallback);
}

std::vector<std::string> SplitLines(std::string_view text, ZeroByte zeroByte) {
    if (zeroByte == ZeroByte::EndsText)
        text = text.substr(0, text.find('\0'));
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

TextLines::TextLines(const std::vector<std::string>& lines) {
    Spans_.reserve(lines.size());
    for (const auto& line : lines) {
        Spans_.push_back({Text_.size(), Text_.size() + line.size()});
        Text_ += line;
        Text_ += '\n';
    }
}

std::vector<std::string> TextLines::Strings() const {
    std::vector<std::string> strings;
    strings.reserve(size());
    for (std::size_t i = 0; i < size(); ++i)
        strings.emplace_back((*this)[i]);
    return strings;
}

void TextLines::clear() {
    Text_.clear();
    Spans_.clear();
}

void TextLines::CutAt(std::size_t position) {
    while (!Spans_.empty() && Spans_.back().Begin >= position)
        Spans_.pop_back();
    if (!Spans_.empty() && Spans_.back().End > position)
        Spans_.back().End = position;
}

std::string TextLines::Release() {
    Spans_.clear();
    return std::move(Text_);
}

namespace {

// The word-at-a-time scans below read bytes in little-endian order, as every target of this program does.
static_assert(std::endian::native == std::endian::little);

// Whether any of 8 bytes is below 0x0E (zero, CR, LF among them) or above 0x7F: the bytes a scan must look
// at. A borrow can only mark a byte behind one that is marked already, so a clean word is clean.
bool HasSpecialByte(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return ((w - 0x0E0E0E0E0E0E0E0Eull) | w) & 0x8080808080808080ull;
}

bool IsSpecialByte(unsigned char c) {
    return c < 0x0E || c >= 0x80;
}

// The first byte from i on that a scan must look at, eight at a time where it can; n when there is none.
std::size_t NextSpecialByte(const char* p, std::size_t i, std::size_t n) {
    while (i + 8 <= n && !HasSpecialByte(p + i))
        i += 8;
    while (i < n && !IsSpecialByte(static_cast<unsigned char>(p[i])))
        ++i;
    return i;
}

// The length of the line end at i (a CR or LF there): 2 for CR LF, else 1.
std::size_t LineEndLength(const char* p, std::size_t i, std::size_t n) {
    return p[i] == '\r' && i + 1 < n && p[i + 1] == '\n' ? 2 : 1;
}

// The lines of a text as they are found, in the text's own positions.
struct LineFinder {
    std::vector<LineSpan> Spans;
    std::size_t LineBegin = 0;
    std::size_t Zero = std::string::npos;

    void End(std::size_t at, std::size_t next) {
        Spans.push_back({LineBegin, at});
        LineBegin = next;
    }
    void Finish(std::size_t end) {
        if (LineBegin < end)
            Spans.push_back({LineBegin, end});
    }
};

// Output in blocks: written through a small buffer, so a big text is neither sized in a pass of its own
// nor grown byte by byte.
class BlockWriter {
public:
    explicit BlockWriter(std::string& out) : Out_(out) {}
    ~BlockWriter() { Flush(); }
    std::size_t Position() const { return Out_.size() + Used_; }
    void Put(char32_t cp) {
        if (Used_ + 4 > sizeof Buffer_)
            Flush();
        if (cp < 0x80) {
            Buffer_[Used_++] = static_cast<char>(cp);
        } else if (cp < 0x800) {
            Buffer_[Used_++] = static_cast<char>(0xC0 | (cp >> 6));
            Buffer_[Used_++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            Buffer_[Used_++] = static_cast<char>(0xE0 | (cp >> 12));
            Buffer_[Used_++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            Buffer_[Used_++] = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            Buffer_[Used_++] = static_cast<char>(0xF0 | (cp >> 18));
            Buffer_[Used_++] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            Buffer_[Used_++] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            Buffer_[Used_++] = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    void Append(std::string_view run) {
        if (run.size() > sizeof Buffer_ - Used_) {
            Flush();
            Out_.append(run);
            return;
        }
        std::memcpy(Buffer_ + Used_, run.data(), run.size());
        Used_ += run.size();
    }
    void Flush() {
        Out_.append(Buffer_, Used_);
        Used_ = 0;
    }

private:
    std::string& Out_;
    char Buffer_[16384];
    std::size_t Used_ = 0;
};

enum class ByteScan { InPlace, SingleByte, ReplaceInvalid };

// Scans 8-bit text from `from` to its end (or its first zero byte, when that ends the text), finding lines;
// InPlace only checks that it is valid UTF-8 and returns where it is not (npos when it is); the other two
// write the text in UTF-8 to `out`, lines in out's positions. Plain runs are looked at a word at a time.
std::size_t ScanBytes(std::string_view in, std::size_t from, ByteScan scan, SingleByteCharset charset,
                      ZeroByte zero, LineFinder& lines, std::string* out) {
    const char* p = in.data();
    const std::size_t n = in.size();
    std::optional<BlockWriter> writer;
    if (scan != ByteScan::InPlace)
        writer.emplace(*out);
    std::size_t i = from;
    std::size_t run = from; // start of the plain run not written yet
    auto position = [&](std::size_t at) { return writer ? writer->Position() + (at - run) : at; };
    auto flush = [&](std::size_t to) {
        if (writer)
            writer->Append(in.substr(run, to - run));
    };
    while (i < n) {
        i = NextSpecialByte(p, i, n);
        if (i >= n)
            break;
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '\n' || c == '\r') {
            const std::size_t at = position(i);
            const std::size_t length = LineEndLength(p, i, n);
            lines.End(at, at + length);
            i += length;
            continue;
        }
        if (c == 0) {
            if (zero == ZeroByte::EndsText) {
                flush(i);
                run = i;
                lines.Finish(position(i));
                return std::string::npos;
            }
            if (lines.Zero == std::string::npos)
                lines.Zero = position(i);
            ++i;
            continue;
        }
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t next = i;
        const bool valid = scan != ByteScan::SingleByte && NextUtf8(in, next);
        if (scan == ByteScan::InPlace) {
            if (!valid)
                return i;
            i = next;
            continue;
        }
        flush(i);
        if (valid) {
            writer->Append(in.substr(i, next - i));
            i = next;
        } else if (scan == ByteScan::ReplaceInvalid) {
            writer->Put(char32_t{0xFFFD});
            ++i;
        } else {
            writer->Put(charset == SingleByteCharset::Windows1252 && c < 0xA0 ? Cp1252High[c - 0x80]
                                                                              : char32_t{c});
            ++i;
        }
        run = i;
    }
    flush(n);
    run = n;
    lines.Finish(position(n));
    return std::string::npos;
}

// Writes a code point's UTF-8 (at most 4 bytes) and says how many bytes it took.
std::size_t EncodeUtf8(char32_t cp, char* out) {
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

// Four UTF-16 units at p that are plain ASCII, none of them a zero, LF or CR (as most of an export is),
// written to out as four bytes; false, writing nothing, for any other four.
template <bool BigEndian> bool FourPlainUnits(const unsigned char* p, char* out) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    // The units' high bytes and low bytes, each in the even bytes of a word.
    const std::uint64_t high = (BigEndian ? word : word >> 8) & 0x00FF00FF00FF00FFull;
    const std::uint64_t low = (BigEndian ? word >> 8 : word) & 0x00FF00FF00FF00FFull;
    auto zeroUnit = [](std::uint64_t x) {
        return ((x - 0x0001000100010001ull) & ~x & 0x8000800080008000ull) != 0;
    };
    if (high != 0 || (low & 0x0080008000800080ull) != 0 || zeroUnit(low) ||
        zeroUnit(low ^ 0x000A000A000A000Aull) || zeroUnit(low ^ 0x000D000D000D000Dull))
        return false;
    out[0] = static_cast<char>(low);
    out[1] = static_cast<char>(low >> 16);
    out[2] = static_cast<char>(low >> 32);
    out[3] = static_cast<char>(low >> 48);
    return true;
}

// UTF-16 code units from `from`, the lines found as they are written. Four plain ASCII units at a time where
// they come in a row, as they do in exports.
template <bool BigEndian>
void ScanUtf16(std::string_view in, std::size_t from, ZeroByte zero, LineFinder& lines, std::string& out) {
    const auto* p = reinterpret_cast<const unsigned char*>(in.data());
    const std::size_t n = from + ((in.size() - from) & ~std::size_t{1});
    auto unit = [p](std::size_t i) -> char32_t {
        return BigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    };
    // At most 3 bytes per unit; the pages not written are never touched.
    out.reserve((n - from) / 2 * 3);
    char buffer[16384];
    std::size_t used = 0;
    std::size_t i = from;
    while (i < n) {
        if (used + 8 > sizeof buffer) {
            out.append(buffer, used);
            used = 0;
        }
        if (i + 8 <= n && FourPlainUnits<BigEndian>(p + i, buffer + used)) {
            used += 4;
            i += 8;
            continue;
        }
        const char32_t u = unit(i);
        i += 2;
        if (u < 0x80 && u != '\n' && u != '\r' && u != 0) {
            buffer[used++] = static_cast<char>(u);
            continue;
        }
        if (u == '\n' || u == '\r') {
            const std::size_t at = out.size() + used;
            const bool pair = u == '\r' && i < n && unit(i) == '\n';
            lines.End(at, at + (pair ? 2 : 1));
            buffer[used++] = static_cast<char>(u);
            if (pair) {
                buffer[used++] = '\n';
                i += 2;
            }
            continue;
        }
        if (u == 0) {
            if (zero == ZeroByte::EndsText)
                break;
            if (lines.Zero == std::string::npos)
                lines.Zero = out.size() + used;
            buffer[used++] = '\0';
            continue;
        }
        if (u >= 0xD800 && u <= 0xDBFF && i < n) {
            const char32_t low = unit(i);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                used += EncodeUtf8(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00), buffer + used);
                i += 2;
                continue;
            }
        }
        // A lone surrogate cannot be shown: the replacement character keeps the position visible.
        used += EncodeUtf8((u >= 0xD800 && u <= 0xDFFF) ? char32_t{0xFFFD} : u, buffer + used);
    }
    lines.Finish(out.size() + used);
    out.append(buffer, used);
}

// UTF-16 decoded within the bytes' own string: the text written stays behind the units read as long as it
// takes no more room than they did (plain text takes half), so nothing is overwritten before it is read. At
// the first code point that would overtake them: false, with the text so far in [0, written) and the units to
// go on with at `read`.
template <bool BigEndian>
bool Utf16InPlace(std::string& bytes, std::size_t from, ZeroByte zero, LineFinder& lines,
                  std::size_t& written, std::size_t& read) {
    char* d = bytes.data();
    const auto* p = reinterpret_cast<const unsigned char*>(d);
    const std::size_t n = from + ((bytes.size() - from) & ~std::size_t{1});
    auto unit = [p](std::size_t i) -> char32_t {
        return BigEndian ? (p[i] << 8 | p[i + 1]) : (p[i + 1] << 8 | p[i]);
    };
    std::size_t w = 0;
    std::size_t i = from;
    while (i < n) {
        // Writing four bytes at w while reading eight at i: w stays behind i.
        if (i + 8 <= n && FourPlainUnits<BigEndian>(p + i, d + w)) {
            w += 4;
            i += 8;
            continue;
        }
        const char32_t u = unit(i);
        std::size_t next = i + 2;
        if (u == '\n' || u == '\r') {
            const bool pair = u == '\r' && next < n && unit(next) == '\n';
            lines.End(w, w + (pair ? 2 : 1));
            d[w++] = static_cast<char>(u);
            if (pair) {
                d[w++] = '\n';
                next += 2;
            }
            i = next;
            continue;
        }
        if (u == 0) {
            if (zero == ZeroByte::EndsText)
                break;
            if (lines.Zero == std::string::npos)
                lines.Zero = w;
        }
        char32_t cp = u;
        if (u >= 0xD800 && u <= 0xDBFF && next < n && unit(next) >= 0xDC00 && unit(next) <= 0xDFFF) {
            cp = 0x10000 + ((u - 0xD800) << 10) + (unit(next) - 0xDC00);
            next += 2;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            cp = 0xFFFD; // a lone surrogate cannot be shown: the replacement character keeps its place
        }
        char utf8[4];
        const std::size_t length = EncodeUtf8(cp, utf8);
        if (w + length > next) {
            written = w;
            read = i;
            return false;
        }
        std::memcpy(d + w, utf8, length);
        w += length;
        i = next;
    }
    lines.Finish(w);
    bytes.resize(w);
    return true;
}

char32_t SingleByteCodePoint(unsigned char b, SingleByteCharset charset) {
    return charset == SingleByteCharset::Windows1252 && b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b;
}

// Single-byte text from `from` on decoded to UTF-8 within the bytes' own string: a pass forward finds the
// lines (where they will lie) and how much the text grows, a pass backward moves it into place, so nothing is
// overwritten before it is read and no second copy of a big file is made. With ZeroByte::Kept a zero byte
// leaves the bytes as they were (false): the caller may need them as they are.
bool SingleByteInPlace(std::string& bytes, std::size_t from, SingleByteCharset charset, ZeroByte zero,
                       LineFinder& lines) {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    std::size_t extra = 0;
    std::size_t i = from;
    while (i < n) {
        i = NextSpecialByte(p, i, n);
        if (i >= n)
            break;
        const auto c = static_cast<unsigned char>(p[i]);
        if (c == '\n' || c == '\r') {
            const std::size_t length = LineEndLength(p, i, n);
            lines.End(i + extra, i + extra + length);
            i += length;
            continue;
        }
        if (c == 0) {
            if (zero == ZeroByte::Kept)
                return false;
            n = i;
            break;
        }
        if (c >= 0x80)
            extra += SingleByteCodePoint(c, charset) < 0x800 ? 1u : 2u;
        ++i;
    }
    lines.Finish(n + extra);
    bytes.resize(n);
    bytes.resize(n + extra);
    char* d = bytes.data();
    std::size_t r = n;
    std::size_t w = n + extra;
    while (r > from) {
        std::size_t k = r;
        for (std::uint64_t word; k >= from + 8; k -= 8) {
            std::memcpy(&word, d + k - 8, 8);
            if (word & 0x8080808080808080ull)
                break;
        }
        while (k > from && static_cast<unsigned char>(d[k - 1]) < 0x80)
            --k;
        std::memmove(d + w - (r - k), d + k, r - k);
        w -= r - k;
        r = k;
        if (r == from)
            break;
        const char32_t cp = SingleByteCodePoint(static_cast<unsigned char>(d[--r]), charset);
        if (cp < 0x800) {
            d[--w] = static_cast<char>(0x80 | (cp & 0x3F));
            d[--w] = static_cast<char>(0xC0 | (cp >> 6));
        } else {
            d[--w] = static_cast<char>(0x80 | (cp & 0x3F));
            d[--w] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            d[--w] = static_cast<char>(0xE0 | (cp >> 12));
        }
    }
    return true;
}

} // namespace

DecodedLines DecodeLines(std::string& bytes, const DecodeRules& rules) {
    DecodedLines decoded;
    const std::string_view in = bytes;
    LineFinder lines;
    // Room for lines of 64 bytes and more without growing; untouched room costs no memory.
    lines.Spans.reserve(in.size() / 64 + 16);
    std::string text;
    // True when the text was decoded within the bytes' string; else it is in `text`.
    auto utf16 = [&](bool bigEndian, std::size_t from) {
        decoded.Encoding = bigEndian ? FileEncoding::Utf16Be : FileEncoding::Utf16Le;
        std::size_t written = 0;
        std::size_t read = from;
        if (bigEndian ? Utf16InPlace<true>(bytes, from, rules.Zero, lines, written, read)
                      : Utf16InPlace<false>(bytes, from, rules.Zero, lines, written, read))
            return true;
        // The text so far is in front of the units still to read.
        text.assign(bytes, 0, written);
        if (bigEndian)
            ScanUtf16<true>(in, read, rules.Zero, lines, text);
        else
            ScanUtf16<false>(in, read, rules.Zero, lines, text);
        return false;
    };
    const bool marked16 = in.substr(0, 2) == "\xFF\xFE" || in.substr(0, 2) == "\xFE\xFF";
    if (marked16 || (rules.Utf16WithoutMark && in.size() >= 2 && (in[0] == 0) != (in[1] == 0))) {
        decoded.Marked = marked16;
        const bool bigEndian = marked16 ? in[0] == '\xFE' : in[0] == 0;
        if (utf16(bigEndian, marked16 ? 2 : 0)) {
            decoded.TakenOver = true;
            decoded.Zero = lines.Zero;
            decoded.Lines = TextLines(std::move(bytes), std::move(lines.Spans));
            return decoded;
        }
    } else {
        decoded.Marked = in.substr(0, 3) == "\xEF\xBB\xBF";
        const std::size_t begin = decoded.Marked ? 3 : 0;
        lines.LineBegin = begin;
        const std::size_t broken =
            ScanBytes(in, begin, ByteScan::InPlace, rules.Fallback, rules.Zero, lines, nullptr);
        if (broken == std::string::npos) {
            decoded.Begin = begin;
            decoded.TakenOver = true;
            decoded.Lines = TextLines(std::move(bytes), std::move(lines.Spans));
            decoded.Zero = lines.Zero;
            return decoded;
        }
        const bool replace = decoded.Marked && !rules.MarkedInvalidAsSingleByte;
        decoded.Encoding = replace ? FileEncoding::Utf8 : FileEncoding::SingleByte;
        // What lies before the broken byte reads the same when it is kept as UTF-8 (replacing) or when it is
        // plain ASCII: its lines stay, moved to the decoded text's positions. Else all is read again.
        std::size_t from = broken;
        if (!replace)
            for (std::size_t i = begin; i < broken; ++i)
                if (static_cast<unsigned char>(in[i]) >= 0x80) {
                    from = begin;
                    break;
                }
        // A zero character met already keeps the bytes as they are too.
        if (!replace && lines.Zero == std::string::npos) {
            LineFinder inPlace;
            inPlace.LineBegin = begin;
            if (from == broken)
                inPlace = lines;
            if (SingleByteInPlace(bytes, from, rules.Fallback, rules.Zero, inPlace)) {
                decoded.Begin = begin;
                decoded.TakenOver = true;
                decoded.Lines = TextLines(std::move(bytes), std::move(inPlace.Spans));
                return decoded;
            }
        }
        LineFinder kept;
        if (from == broken) {
            for (const LineSpan& span : lines.Spans)
                kept.Spans.push_back({span.Begin - begin, span.End - begin});
            kept.LineBegin = lines.LineBegin - begin;
            kept.Zero = lines.Zero == std::string::npos ? lines.Zero : lines.Zero - begin;
        }
        lines = std::move(kept);
        text.reserve(in.size() - begin + (in.size() - from) / 8);
        text.append(in.substr(begin, from - begin));
        ScanBytes(in, from, replace ? ByteScan::ReplaceInvalid : ByteScan::SingleByte, rules.Fallback,
                  rules.Zero, lines, &text);
    }
    decoded.Zero = lines.Zero;
    decoded.Lines = TextLines(std::move(text), std::move(lines.Spans));
    return decoded;
}

namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    static constexpr char Hex[] = "0123456789abcdef";
    out += prefix;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4)
        out += Hex[(value >> shift) & 0xF];
}

} // namespace

std::string EscapeControlCharacters(std::string_view text, bool lineBreaksToo) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const std::size_t start = pos;
        std::optional<char32_t> cp = NextUtf8(text, pos);
        if (!cp) {
            AppendHex(out, "\\x", static_cast<unsigned char>(text[pos]), 2);
            ++pos;
        } else if ((*cp < 0x20 && (lineBreaksToo || (*cp != '\n' && *cp != '\t'))) || *cp == 0x7F) {
            AppendHex(out, "\\x", static_cast<unsigned>(*cp), 2);
        } else if (*cp >= 0x80 && *cp <= 0x9F) {
            AppendHex(out, "\\u", static_cast<unsigned>(*cp), 4);
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

std::string EscapeBytes(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == '\\')
            out += "\\\\";
        else if (b >= 0x20 && b < 0x7F)
            out += c;
        else
            AppendHex(out, "\\x", b, 2);
    }
    return out;
}

std::string ShortenForMessage(std::string_view text, std::size_t maxCharacters) {
    std::size_t pos = 0;
    for (std::size_t count = 0; count < maxCharacters && pos < text.size(); ++count) {
        // A malformed byte counts as one character of its own.
        if (!NextUtf8(text, pos))
            ++pos;
    }
    if (pos >= text.size())
        return std::string(text);
    return std::string(text.substr(0, pos)) + "...";
}

} // namespace zelo
