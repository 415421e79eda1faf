#include "ets/AddressText.h"

#include <array>
#include <optional>

namespace zelo {

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Decimal digits only; any number too long to matter saturates, so it is simply out of range.
std::optional<long> Number(std::string_view text) {
    if (text.empty())
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        if (value < 1000000)
            value = value * 10 + (c - '0');
    }
    return value;
}

AddressTextResult Unreadable(std::string_view text) {
    AddressTextResult result;
    result.Reason = text.empty() ? "no group address" : "\"" + std::string(text) + "\" is no group address";
    return result;
}

AddressTextResult Hierarchy() {
    AddressTextResult result;
    result.Kind = AddressTextKind::Hierarchy;
    return result;
}

AddressTextResult ThreeLevel(long main, long middle, long sub, std::string_view text) {
    AddressTextResult result;
    if (main > 15 || middle > 7 || sub > 255) {
        result.Kind = AddressTextKind::OutOfRange;
        result.Reason =
            "group address " + std::string(text) + " out of range (main 0-15, middle 0-7, sub 0-255)";
        return result;
    }
    result.Kind = AddressTextKind::Address;
    result.Value = static_cast<std::uint16_t>(main * 2048 + middle * 256 + sub);
    return result;
}

} // namespace

AddressTextResult ReadAddressText(std::string_view text, bool allowFreeStyle) {
    text = Trim(text);
    std::array<std::string_view, 3> parts;
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = text.find('/', start);
        if (count == parts.size())
            return Unreadable(text);
        parts[count++] = text.substr(start, slash == std::string_view::npos ? slash : slash - start);
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    const auto main = Number(parts[0]);
    if (!main)
        return Unreadable(text);
    if (count == 1) {
        if (!allowFreeStyle)
            return Unreadable(text);
        if (*main > 32767) {
            AddressTextResult result;
            result.Kind = AddressTextKind::OutOfRange;
            result.Reason = "group address " + std::string(text) + " out of range (0-32767)";
            return result;
        }
        AddressTextResult result;
        result.Kind = AddressTextKind::Address;
        result.Value = static_cast<std::uint16_t>(*main);
        return result;
    }
    if (count == 2) {
        if (parts[1] == "-")
            return Hierarchy();
        const auto sub = Number(parts[1]);
        if (!sub)
            return Unreadable(text);
        AddressTextResult result;
        if (*main > 15 || *sub > 2047) {
            result.Kind = AddressTextKind::OutOfRange;
            result.Reason = "group address " + std::string(text) + " out of range (main 0-15, sub 0-2047)";
            return result;
        }
        result.Kind = AddressTextKind::Address;
        result.Value = static_cast<std::uint16_t>(*main * 2048 + *sub);
        return result;
    }
    if (parts[2] == "-" && (parts[1] == "-" || Number(parts[1])))
        return Hierarchy();
    const auto middle = Number(parts[1]);
    const auto sub = Number(parts[2]);
    if (!middle || !sub)
        return Unreadable(text);
    return ThreeLevel(*main, *middle, *sub, text);
}

AddressTextResult ReadAddressCells(std::string_view main, std::string_view middle, std::string_view sub) {
    main = Trim(main);
    middle = Trim(middle);
    sub = Trim(sub);
    const std::string text = std::string(main) + "/" + std::string(middle) + "/" + std::string(sub);
    if (main.empty() && middle.empty() && sub.empty())
        return Unreadable("");
    const auto m = Number(main);
    if (m && sub.empty() && (middle.empty() || Number(middle)))
        return Hierarchy();
    const auto n = Number(middle);
    const auto s = Number(sub);
    if (!m || !n || !s)
        return Unreadable(text);
    return ThreeLevel(*m, *n, *s, text);
}

} // namespace zelo
