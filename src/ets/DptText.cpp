#include "ets/DptText.h"

#include <optional>
#include <vector>

namespace zelo {

namespace {

// Catalogue rows (see DatapointTypes.cpp).
enum : int {
    Bit = 1,
    Char = 2,
    UByte = 3,
    UWord = 4,
    UDWord = 5,
    Byte = 6,
    Word = 7,
    DWord = 8,
    Time = 9,
    Date = 10,
    Value = 11,
    Percent = 12,
    Angle = 13,
    Float = 14,
    String = 15,
    Generic = 16,
};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (Lower(text[i]) != prefix[i])
            return false;
    return true;
}

// Reads decimal digits at pos; too many of them saturate (any such number maps to "other").
std::optional<long> Digits(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    long value = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        if (value < 1000000)
            value = value * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == start)
        return std::nullopt;
    return value;
}

using Dpt = DptNumber;

// "m.sss", "m.x" and, where a "DPT" said so before, a plain "m". Nothing may follow.
std::optional<Dpt> NumberForm(std::string_view word, bool bareAllowed) {
    std::size_t pos = 0;
    const auto main = Digits(word, pos);
    if (!main)
        return std::nullopt;
    if (pos == word.size())
        return bareAllowed ? std::optional<Dpt>(Dpt{*main, -1}) : std::nullopt;
    if (word[pos] != '.')
        return std::nullopt;
    ++pos;
    if (pos < word.size() && Lower(word[pos]) == 'x') {
        while (pos < word.size() && Lower(word[pos]) == 'x')
            ++pos;
        return pos == word.size() ? std::optional<Dpt>(Dpt{*main, -1}) : std::nullopt;
    }
    const auto sub = Digits(word, pos);
    if (!sub || pos != word.size())
        return std::nullopt;
    return Dpt{*main, *sub};
}

// "DPST-m-s", "DPT-m" (and "DPT-m-s"), "DPTm.sss", "DPTm.x", "DPTm", "m.sss", "m.x".
std::optional<Dpt> TypeWord(std::string_view word) {
    std::size_t pos;
    if (StartsWithNoCase(word, "dpst-") || StartsWithNoCase(word, "dpt-")) {
        pos = StartsWithNoCase(word, "dpst-") ? 5 : 4;
        const auto main = Digits(word, pos);
        if (!main)
            return std::nullopt;
        if (pos == word.size())
            return Dpt{*main, -1};
        if (word[pos] != '-')
            return std::nullopt;
        ++pos;
        const auto sub = Digits(word, pos);
        if (!sub || pos != word.size())
            return std::nullopt;
        return Dpt{*main, *sub};
    }
    if (StartsWithNoCase(word, "dpt") && word.size() > 3)
        return NumberForm(word.substr(3), true);
    return NumberForm(word, false);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

int DatapointTypeOfDpt(long main, long sub) {
    switch (main) {
    case 1:
    case 2:
    case 3:
        return Bit;
    case 4:
        return Char;
    case 5:
        if (sub == 1)
            return Percent;
        if (sub == 3)
            return Angle;
        if (sub == 4 || sub == 5 || sub == 10)
            return UByte;
        return Generic;
    case 6:
        return Byte;
    case 7:
        return UWord;
    case 8:
        return Word;
    case 9:
        return Value;
    case 10:
        return Time;
    case 11:
        return Date;
    case 12:
    case 15:
        return UDWord;
    case 13:
        return DWord;
    case 14:
        return Float;
    case 16:
        return String;
    default:
        return Generic;
    }
}

std::vector<DptNumber> ReadDptTypes(std::string_view text) {
    std::vector<DptNumber> types;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        // One item of the list: up to the next "," or ";".
        std::size_t end = text.find_first_of(",;", pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view item = text.substr(pos, end - pos);
        std::vector<std::string_view> words;
        std::size_t w = 0;
        while (w < item.size()) {
            while (w < item.size() && IsBlank(item[w]))
                ++w;
            const std::size_t start = w;
            while (w < item.size() && !IsBlank(item[w]))
                ++w;
            if (w > start)
                words.push_back(item.substr(start, w - start));
        }
        for (std::size_t i = 0; i < words.size(); ++i) {
            std::optional<Dpt> dpt = TypeWord(words[i]);
            // "DPT 9.001": the number stands in the next word.
            if (!dpt && words[i].size() == 3 && StartsWithNoCase(words[i], "dpt") && i + 1 < words.size()) {
                dpt = NumberForm(words[i + 1], true);
                if (dpt)
                    ++i;
            }
            // A word that starts no type begins the description.
            if (!dpt)
                break;
            types.push_back(*dpt);
        }
        pos = end + 1;
    }
    return types;
}

DptTextResult MapDptText(std::string_view text) {
    DptTextResult result;
    for (const DptNumber& dpt : ReadDptTypes(text)) {
        const int type = DatapointTypeOfDpt(dpt.Main, dpt.Sub);
        if (result.Type >= 0 && result.Type != type)
            result.Conflict = true;
        result.Type = type;
    }
    return result;
}

int MapEsfType(std::string_view text) {
    // The size, "(n Bit)" or "(n Byte)".
    long size = -1; // in its unit
    bool bytes = false;
    for (std::size_t open = text.find('('); open != std::string_view::npos; open = text.find('(', open + 1)) {
        std::size_t pos = open + 1;
        const auto n = Digits(text, pos);
        if (!n || pos >= text.size() || text[pos] != ' ')
            continue;
        ++pos;
        if (StartsWithNoCase(text.substr(pos), "bit)"))
            bytes = false;
        else if (StartsWithNoCase(text.substr(pos), "byte)"))
            bytes = true;
        else
            continue;
        size = *n;
        break;
    }
    // The EIS number, "EIS n".
    for (std::size_t at = 0; at + 3 <= text.size(); ++at) {
        if (!StartsWithNoCase(text.substr(at), "eis") ||
            (at > 0 && !IsBlank(text[at - 1]) && text[at - 1] != '\''))
            continue;
        std::size_t pos = at + 3;
        while (pos < text.size() && text[pos] == ' ')
            ++pos;
        const auto eis = Digits(text, pos);
        if (!eis)
            continue;
        switch (*eis) {
        case 1:
        case 7:
        case 8:
            return Bit;
        case 2:
            return (bytes ? size == 1 : size == 8) ? Percent : Bit;
        case 3:
            return Time;
        case 4:
            return Date;
        case 5:
            return Value;
        case 6:
            return Percent;
        case 9:
            return Float;
        case 10:
            return UWord;
        case 11:
        case 12:
            return UDWord;
        case 13:
            return Char;
        case 14:
            return UByte;
        case 15:
            return String;
        default:
            return Generic;
        }
    }
    if (size < 0)
        return -1;
    if (!bytes && size >= 1 && size <= 6)
        return Bit;
    if (bytes && size == 14)
        return String;
    return Generic;
}

} // namespace zelo
