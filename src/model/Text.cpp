#include "model/Text.h"

#include "model/TextCodec.h"

namespace zelo {

using codec::NextUtf8;

void AppendUtf8(std::string& out, char32_t cp) {
    char utf8[4];
    out.append(utf8, codec::EncodeUtf8(cp, utf8));
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
        AppendUtf8(out, codec::SingleByteCodePoint(b, charset));
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
