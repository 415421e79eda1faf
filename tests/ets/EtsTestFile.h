#pragma once
// Writes ETS3 group address export lines: 46 comma-separated, quoted fields of which the import reads
// 34 (middle group), 38 (name), 39 (description), 43 (address) and 45 (datatype).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zelo::test {

// A file read whole and in blocks of 1 to 7 bytes: every character, surrogate pair and line end of a short
// file is cut between two blocks at least once.
inline constexpr std::size_t BlockSizes[] = {SIZE_MAX, 1, 2, 3, 4, 5, 6, 7};

struct EtsRow {
    std::string Name = "Lights";
    std::string Address = "1/1/1";
    std::string Datatype = "1b";
    std::string Middle = "Ground floor";
    std::string Description = "switch";
    int ExtraFields = 0; // fields appended behind the 46th
};

inline std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

inline std::string EtsLine(const EtsRow& row) {
    std::string line;
    for (int i = 0; i < 46 + row.ExtraFields; ++i) {
        std::string field = "f" + std::to_string(i);
        if (i == 34)
            field = row.Middle;
        else if (i == 38)
            field = row.Name;
        else if (i == 39)
            field = row.Description;
        else if (i == 43)
            field = row.Address;
        else if (i == 45)
            field = row.Datatype;
        if (i > 0)
            line += ',';
        line += Quote(field);
    }
    return line;
}

inline std::string EtsFile(const std::vector<EtsRow>& rows, const std::string& lineEnd = "\r\n") {
    std::string out;
    for (const auto& row : rows)
        out += EtsLine(row) + lineEnd;
    return out;
}

// A line of the given number of short unquoted fields.
inline std::string FieldsLine(int count) {
    std::string line;
    for (int i = 0; i < count; ++i)
        line += (i ? "," : "") + std::to_string(i);
    return line;
}

} // namespace zelo::test
