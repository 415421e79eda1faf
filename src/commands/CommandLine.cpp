#include "commands/CommandLine.h"
#include "model/Address.h"
#include "model/DatapointTypes.h"
#include "model/Text.h"

#include <array>
#include <optional>

namespace zelo {

std::string BuildSetupLine(std::string_view physicalAddressText, bool printSource, bool printHex,
                           bool fullDuplex) {
    std::string line = "#SETUP=";
    line += physicalAddressText;
    line += ';';
    line += printSource ? "ON;" : "OFF;";
    line += printHex ? "ON;" : "OFF;";
    line += fullDuplex ? "ON" : "OFF";
    return line;
}

std::string BuildGroupLine(const TEibGroup& group) {
    std::string line = "#DG" + GroupAddressToText(group.StartAddress);
    if (group.EndAddress > group.StartAddress)
        line += "-" + GroupAddressToText(group.EndAddress);
    line += "=" + group.TypeKeyword() + ";" + group.AccessText();
    return line;
}

namespace {

// Strict decimal triple as the builders print it: no blanks, signs or leading zeros, each part in range.
std::optional<std::array<int, 3>> StrictTriple(std::string_view text, char separator,
                                               const std::array<int, 3>& max) {
    std::array<int, 3> out{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != separator)
                return std::nullopt;
            ++pos;
        }
        std::size_t begin = pos;
        int value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - begin < 4) {
            value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        std::size_t digits = pos - begin;
        if (digits == 0 || digits > 3 || (digits > 1 && text[begin] == '0') || value > max[i])
            return std::nullopt;
        out[i] = value;
    }
    if (pos != text.size())
        return std::nullopt;
    return out;
}

std::optional<std::uint16_t> StrictGroupAddress(std::string_view text) {
    auto n = StrictTriple(text, '/', {15, 7, 255});
    if (!n)
        return std::nullopt;
    return static_cast<std::uint16_t>((*n)[0] * 2048 + (*n)[1] * 256 + (*n)[2]);
}

std::optional<bool> Flag(std::string_view text) {
    if (text == "ON")
        return true;
    if (text == "OFF")
        return false;
    return std::nullopt;
}

ParsedLine Invalid(std::string reason) {
    ParsedLine parsed;
    parsed.Reason = std::move(reason);
    return parsed;
}

// Input echoed in a reason: a line of a megabyte must not become a message of a megabyte.
std::string Quoted(std::string_view text) {
    return "\"" + ShortenForMessage(text) + "\"";
}

ParsedLine ParseSetup(std::string_view body) {
    std::array<std::string_view, 4> parts;
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= body.size(); ++i) {
        if (i == body.size() || body[i] == ';') {
            if (count == parts.size())
                return Invalid(
                    "setup line has more than four fields (expected ADDRESS;ON|OFF;ON|OFF;ON|OFF)");
            parts[count++] = body.substr(start, i - start);
            start = i + 1;
        }
    }
    if (count != 4)
        return Invalid("setup line needs four fields separated by ';' (ADDRESS;ON|OFF;ON|OFF;ON|OFF)");
    auto phys = StrictTriple(parts[0], '.', {15, 15, 255});
    if (!phys)
        return Invalid("physical address " + Quoted(parts[0]) +
                       " is not of the form <0...15>.<0...15>.<0...255>");
    ParsedLine parsed;
    parsed.Kind = LineKind::Setup;
    parsed.PhysicalAddress = static_cast<std::uint16_t>((*phys)[0] * 4096 + (*phys)[1] * 256 + (*phys)[2]);
    static constexpr std::array<const char*, 3> names = {"source address flag", "hexadecimal flag",
                                                         "duplex flag"};
    std::array<bool*, 3> flags = {&parsed.PrintSource, &parsed.PrintHex, &parsed.FullDuplex};
    for (std::size_t i = 0; i < 3; ++i) {
        auto flag = Flag(parts[i + 1]);
        if (!flag)
            return Invalid(std::string(names[i]) + " " + Quoted(parts[i + 1]) + " must be ON or OFF");
        *flags[i] = *flag;
    }
    return parsed;
}

ParsedLine ParseGroup(std::string_view body) {
    auto equals = body.find('=');
    if (equals == std::string_view::npos)
        return Invalid("group line has no '=' between its addresses and its datapoint type");
    std::string_view range = body.substr(0, equals);
    std::string_view rest = body.substr(equals + 1);

    ParsedLine parsed;
    auto dash = range.find('-');
    std::string_view startText = range.substr(0, dash);
    auto start = StrictGroupAddress(startText);
    if (!start)
        return Invalid("start address " + Quoted(startText) +
                       " is not of the form <0...15>/<0...7>/<0...255>");
    parsed.StartAddress = parsed.EndAddress = *start;
    if (dash != std::string_view::npos) {
        std::string_view endText = range.substr(dash + 1);
        auto end = StrictGroupAddress(endText);
        if (!end)
            return Invalid("end address " + Quoted(endText) +
                           " is not of the form <0...15>/<0...7>/<0...255>");
        if (*end <= *start)
            return Invalid("end address " + Quoted(endText) + " must lie above the start address " +
                           Quoted(startText));
        parsed.EndAddress = *end;
    }

    auto semicolon = rest.find(';');
    if (semicolon == std::string_view::npos)
        return Invalid("group line has no ';' between its datapoint type and its access type");
    std::string_view keyword = rest.substr(0, semicolon);
    std::string_view access = rest.substr(semicolon + 1);
    parsed.DatapointType = DatapointTypeFromKeyword(keyword);
    if (parsed.DatapointType < 0)
        return Invalid(
            "unknown datapoint type " + Quoted(keyword) +
            " (expected one of EMPTY, BIT, CHAR, UBYTE, "
            "UWORD, UDWORD, BYTE, WORD, DWORD, TIME, DATE, VALUE, PERCENT, ANGLE, FLOAT, STRING, GENERIC)");
    parsed.AccessType = AccessTypeFromText(access);
    if (parsed.AccessType < 0)
        return Invalid("access type " + Quoted(access) + " must be R, W or RW");
    parsed.Kind = LineKind::Group;
    return parsed;
}

} // namespace

ParsedLine ParseCommandLine(std::string_view line) {
    constexpr std::string_view setup = "#SETUP=";
    constexpr std::string_view group = "#DG";
    if (line.empty())
        return Invalid("empty line");
    // The gateway's text ends at a zero byte: what follows it would never be seen.
    if (line.find('\0') != std::string_view::npos)
        return Invalid("zero byte");
    if (line.substr(0, setup.size()) == setup)
        return ParseSetup(line.substr(setup.size()));
    if (line.substr(0, group.size()) == group)
        return ParseGroup(line.substr(group.size()));
    return Invalid("neither a setup line (#SETUP=...) nor a group line (#DG...)");
}

} // namespace zelo
