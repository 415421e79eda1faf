#pragma once
// Writes small ETS4 to ETS6 group address exports for tests: CSV in each layout, separator and encoding, the
// XML export with nested group ranges, and the OPC (ESF) export.
#include "ets/EtsExport.h"
#include "model/Text.h"

#include <string>
#include <vector>

namespace zelo::test {

// One row of the group tree. Address "1/-/-" or "1/2/-" makes a hierarchy row.
struct GaRow {
    std::string Name;
    std::string Address;
    std::string Dpt;
};

inline std::string CsvQuoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

// The three number cells of an address text ("1/2/-" gives "1", "2", "").
inline std::vector<std::string> AddressCells(const std::string& address) {
    std::vector<std::string> cells;
    std::size_t start = 0;
    for (std::size_t slash; (slash = address.find('/', start)) != std::string::npos; start = slash + 1)
        cells.push_back(address.substr(start, slash - start));
    cells.push_back(address.substr(start));
    cells.resize(3);
    for (auto& cell : cells)
        if (cell == "-")
            cell.clear();
    return cells;
}

// A CSV export as ETS writes it: every field quoted, the name in the column its level asks for.
inline std::string CsvExport(const std::vector<GaRow>& rows, CsvLayout layout, char separator, bool header,
                             const std::string& lineEnd = "\r\n") {
    const bool threeNames = layout == CsvLayout::Names3Address1 || layout == CsvLayout::Names3Numbers3;
    const bool numbers = layout == CsvLayout::Name1Numbers3 || layout == CsvLayout::Names3Numbers3;
    auto line = [&](const std::vector<std::string>& cells) {
        std::string out;
        for (std::size_t i = 0; i < cells.size(); ++i)
            out += (i ? std::string(1, separator) : std::string()) + CsvQuoted(cells[i]);
        return out + lineEnd;
    };
    std::string out;
    if (header) {
        std::vector<std::string> cells = threeNames ? std::vector<std::string>{"Main", "Middle", "Sub"}
                                                    : std::vector<std::string>{"Group name"};
        for (const std::string& c : numbers ? std::vector<std::string>{"Main", "Middle", "Sub"}
                                            : std::vector<std::string>{"Address"})
            cells.push_back(c);
        for (const char* c : {"Central", "Unfiltered", "Description", "DatapointType", "Security"})
            cells.push_back(c);
        out += line(cells);
    }
    for (const auto& row : rows) {
        std::vector<std::string> cells;
        if (threeNames) {
            // A main group's name stands first, a middle group's second, an address's third.
            const auto parts = AddressCells(row.Address);
            const int level = parts[1].empty() ? 0 : parts[2].empty() ? 1 : 2;
            cells = {"", "", ""};
            cells[static_cast<std::size_t>(level)] = row.Name;
        } else {
            cells = {row.Name};
        }
        if (numbers) {
            for (const auto& c : AddressCells(row.Address))
                cells.push_back(c);
        } else {
            cells.push_back(row.Address);
        }
        for (const auto& c :
             {std::string(), std::string(), std::string("description"), row.Dpt, std::string("Auto")})
            cells.push_back(c);
        out += line(cells);
    }
    return out;
}

// UTF-8 text in an encoding, with or without its byte-order mark.
inline std::string Encoded(const std::string& utf8, TextEncoding encoding, bool mark) {
    if (encoding == TextEncoding::Utf8)
        return (mark ? "\xEF\xBB\xBF" : "") + utf8;
    if (encoding == TextEncoding::Windows1252)
        return *Utf8ToLatin1(utf8);
    const bool big = encoding == TextEncoding::Utf16Be;
    std::string out = mark ? (big ? "\xFE\xFF" : "\xFF\xFE") : "";
    // The texts of the tests stay within Latin-1.
    const std::string latin1 = *Utf8ToLatin1(utf8);
    for (unsigned char c : latin1) {
        out += big ? '\0' : static_cast<char>(c);
        out += big ? static_cast<char>(c) : '\0';
    }
    return out;
}

// The XML export; each row sits inside `depth` nested GroupRange elements.
inline std::string XmlExport(const std::vector<GaRow>& rows, int depth = 2) {
    std::string out = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n"
                      "<GroupAddress-Export xmlns=\"http://knx.org/xml/ga-export/01\">\r\n";
    for (int i = 0; i < depth; ++i)
        out += "<GroupRange Name=\"R" + std::to_string(i) + "\">\r\n";
    auto attribute = [](const char* name, const std::string& value) {
        std::string escaped;
        for (char c : value)
            escaped += c == '&' ? std::string("&amp;") : c == '"' ? std::string("&quot;") : std::string(1, c);
        return std::string(" ") + name + "=\"" + escaped + "\"";
    };
    for (const auto& row : rows)
        out += "<GroupAddress" + attribute("Name", row.Name) + attribute("Address", row.Address) +
               (row.Dpt.empty() ? std::string() : attribute("DPTs", row.Dpt)) + " />\r\n";
    for (int i = 0; i < depth; ++i)
        out += "</GroupRange>\r\n";
    return out + "</GroupAddress-Export>\r\n";
}

// The OPC export: the project's name, then Main.Middle.address, name and type per line.
inline std::string EsfExport(const std::vector<GaRow>& rows) {
    std::string out = "Project\r\n";
    for (const auto& row : rows)
        out += "Main.Middle." + row.Address + "\t" + row.Name + "\t" + row.Dpt + "\tLow\t\r\n";
    return out;
}

} // namespace zelo::test
