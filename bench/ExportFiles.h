#pragma once
// Today's exports for the benchmarks: 100,000 addresses (past 15/7/255 they start again, so two in three are
// duplicates), names of 20 to 30 characters with an umlaut, types changing every 8 addresses, one untyped in
// 50; as a UTF-16 LE CSV with TABs and a header, and as the XML export in group ranges of 256.
#include "model/Text.h"

#include <string>

namespace zelo::bench {

inline constexpr int AddressRecords = 100000;

struct ExportRow {
    std::string Name;
    std::string Address;
    std::string Dpt;
};

inline ExportRow Row(int i) {
    static const char* const dpts[] = {"DPST-1-1", "DPST-9-1", "DPST-5-1", "DPST-7-1", "DPT-14", "DPST-3-7"};
    const int address = i % 32768;
    return {"Room " + std::to_string(i / 40) + " K\xC3\xBC" + "che light " + std::to_string(i % 40),
            std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
                std::to_string(address & 255),
            i % 50 == 0 ? std::string() : dpts[(address / 8) % 6]};
}

inline std::string Utf16TabCsv() {
    std::string utf8 = "\"Group name\"\t\"Address\"\t\"Central\"\t\"Unfiltered\"\t\"Description\"\t"
                       "\"DatapointType\"\t\"Security\"\r\n";
    for (int i = 0; i < AddressRecords; ++i) {
        const ExportRow r = Row(i);
        utf8 +=
            "\"" + r.Name + "\"\t\"" + r.Address + "\"\t\"\"\t\"\"\t\"\"\t\"" + r.Dpt + "\"\t\"Auto\"\r\n";
    }
    const std::string latin1 = *Utf8ToLatin1(utf8);
    std::string out = "\xFF\xFE";
    out.reserve(latin1.size() * 2 + 2);
    for (char c : latin1) {
        out += c;
        out += '\0';
    }
    return out;
}

inline std::string XmlFile() {
    std::string out = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>\r\n"
                      "<GroupAddress-Export xmlns=\"http://knx.org/xml/ga-export/01\">\r\n";
    for (int i = 0; i < AddressRecords; ++i) {
        const ExportRow r = Row(i);
        if (i % 256 == 0)
            out += std::string(i ? "    </GroupRange>\r\n" : "") + "    <GroupRange Name=\"Group " +
                   std::to_string(i / 256) + "\">\r\n";
        out += "      <GroupAddress Name=\"" + r.Name + "\" Address=\"" + r.Address + "\"" +
               (r.Dpt.empty() ? std::string() : " DPTs=\"" + r.Dpt + "\"") + " />\r\n";
    }
    return out + "    </GroupRange>\r\n</GroupAddress-Export>\r\n";
}

} // namespace zelo::bench
