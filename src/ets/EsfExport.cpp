// The OPC export of ETS (.esf): the project's name, then one line per address,
// "Main.Middle.M/N/S<TAB>Name<TAB>Type<TAB>...".
#include "ets/AddressText.h"
#include "ets/DptText.h"
#include "ets/ExportReaders.h"

#include <algorithm>
#include <cctype>

namespace zelo::exports {

namespace {

// Calls take(line number, text) for every physical line; CR LF, LF and a lone CR end a line.
template <typename Take> void ForEachLine(std::string_view text, Take take) {
    std::size_t start = 0;
    int line = 1;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n')
            continue;
        if (i == text.size() && start == i)
            break;
        take(line++, text.substr(start, i - start));
        if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
}

std::string_view Field(std::string_view line, int index) {
    for (int i = 0; i < index; ++i) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string_view::npos)
            return {};
        line.remove_prefix(tab + 1);
    }
    return line.substr(0, line.find('\t'));
}

// The text after the last "." of the first field: group names may hold dots themselves.
std::string_view AddressPart(std::string_view line) {
    std::string_view first = Field(line, 0);
    const std::size_t dot = first.rfind('.');
    return dot == std::string_view::npos ? first : first.substr(dot + 1);
}

bool IsAllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

} // namespace

bool LooksLikeEsf(std::string_view text) {
    // The second physical line.
    std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos)
        return false;
    if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
        ++end;
    std::string_view second = text.substr(end + 1);
    second = second.substr(0, second.find_first_of("\r\n"));
    const std::string_view first = Field(second, 0);
    const std::size_t dot = first.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view address = first.substr(dot + 1);
    const std::size_t a = address.find('/');
    const std::size_t b = a == std::string_view::npos ? a : address.find('/', a + 1);
    return b != std::string_view::npos && IsAllDigits(address.substr(0, a)) &&
           IsAllDigits(address.substr(a + 1, b - a - 1)) && IsAllDigits(address.substr(b + 1));
}

void ReadEsf(std::string_view text, ExportReading& reading) {
    reading.Detected.Separator = '\t';
    reading.Addresses.reserve(LineEndCount(text));
    ForEachLine(text, [&](int line, std::string_view content) {
        if (content.find_first_not_of(" \t") == std::string_view::npos)
            return;
        const std::string_view addressText = AddressPart(content);
        const AddressTextResult address = ReadAddressText(addressText, false);
        // The first line names the project; one that is an address line already (the name removed by hand)
        // is read as one, so that no address is lost, and said.
        if (line == 1) {
            if (address.Kind != AddressTextKind::Address || content.find('\t') == std::string_view::npos)
                return;
            reading.Warnings.push_back(LinePrefix(line) +
                                       "the project-name line is missing; this line is read as an address.");
        }
        if (address.Kind == AddressTextKind::Hierarchy)
            return;
        if (address.Kind != AddressTextKind::Address) {
            reading.BadEntries.push_back({line, std::string(addressText), address.Reason});
            return;
        }
        GroupAddressRecord record;
        record.Address = address.Value;
        record.Line = line;
        record.Name = Field(content, 1);
        record.DptText = Field(content, 2);
        record.Type = static_cast<std::int8_t>(MapEsfType(record.DptText));
        reading.Addresses.push_back(std::move(record));
    });
}

} // namespace zelo::exports
