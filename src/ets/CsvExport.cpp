// The CSV group address exports of ETS4 to ETS6: four layouts, with or without a header line, separated by
// commas, semicolons or TABs, fields quoted or not.
#include "ets/AddressText.h"
#include "ets/DptText.h"
#include "ets/ExportReaders.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>

namespace zelo::exports {

namespace {

constexpr int DetectionRecords = 20;

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// Splits a text into records of fields. A quoted field may hold separators and line breaks, "" is one quote;
// a quote still open at the end of the text, or closed on a later line with text behind it, ends with the
// line it began on (with a warning), and reading goes on behind that line.
class CsvParser {
public:
    CsvParser(std::string_view text, char separator) : Text_(text), Separator_(separator) {}

    // The next record and the physical line it begins on; false at the end of the text. Fields are views
    // into the text, or (unescaped) into the parser's own storage, valid until the next call.
    bool Next(std::vector<std::string_view>& fields, int& line) {
        fields.clear();
        Scratch_.clear();
        if (Pos_ >= Text_.size())
            return false;
        line = Line_;
        for (;;) {
            fields.emplace_back();
            const bool endOfRecord = ReadField(fields.back());
            if (endOfRecord)
                return true;
        }
    }

    std::vector<std::string> Warnings;

private:
    std::string_view Keep(std::string text) {
        Scratch_.push_back(std::move(text));
        return Scratch_.back();
    }

    bool IsPad(char c) const { return c == ' ' || (c == '\t' && Separator_ != '\t'); }

    std::string_view Trim(std::string_view text) const {
        while (!text.empty() && IsPad(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && IsPad(text.back()))
            text.remove_suffix(1);
        return text;
    }

    // Where text[from, to) holds its first CR or LF, or `to`. A field seldom holds one: eight bytes at a time
    // while none is.
    std::size_t FirstLineEnd(std::size_t from, std::size_t to) const {
        auto zeroByte = [](std::uint64_t x) {
            return ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
        };
        for (std::uint64_t w; from + 8 <= to; from += 8) {
            std::memcpy(&w, Text_.data() + from, 8);
            if (zeroByte(w ^ 0x0A0A0A0A0A0A0A0Aull) || zeroByte(w ^ 0x0D0D0D0D0D0D0D0Dull))
                break;
        }
        while (from < to && !IsLineEnd(Text_[from]))
            ++from;
        return from;
    }

    // Counts the line ends in text[from, to): CR LF is one.
    int LineEnds(std::size_t from, std::size_t to) const {
        from = FirstLineEnd(from, to);
        int count = 0;
        for (std::size_t i = from; i < to; ++i)
            if (Text_[i] == '\n' || (Text_[i] == '\r' && (i + 1 >= Text_.size() || Text_[i + 1] != '\n')))
                ++count;
        return count;
    }

    // Moves past the separator (false) or the line end (true) at Pos_.
    bool EndField() {
        if (Pos_ >= Text_.size())
            return true;
        if (Text_[Pos_] == Separator_) {
            ++Pos_;
            return false;
        }
        if (Text_[Pos_] == '\r' && Pos_ + 1 < Text_.size() && Text_[Pos_ + 1] == '\n')
            ++Pos_;
        ++Pos_;
        ++Line_;
        return true;
    }

    // A quote at open that is not closed properly: the field ends with the quote's own line, with a warning,
    // and reading goes on behind that line.
    bool EndAtOwnLine(std::string_view& out, std::size_t open) {
        std::size_t end = open + 1;
        while (end < Text_.size() && !IsLineEnd(Text_[end]))
            ++end;
        const std::string_view rest = Text_.substr(open + 1, end - open - 1);
        if (rest.find("\"\"") == std::string_view::npos) {
            out = rest;
        } else {
            std::string unescaped;
            for (std::size_t k = 0; k < rest.size(); ++k) {
                unescaped += rest[k];
                if (rest[k] == '"' && k + 1 < rest.size() && rest[k + 1] == '"')
                    ++k;
            }
            out = Keep(std::move(unescaped));
        }
        Warnings.push_back(LinePrefix(Line_) + "a quote is never closed; its field ends with this line.");
        Pos_ = end;
        return EndField();
    }

    // Reads one field into out; true when it ends its record.
    bool ReadField(std::string_view& out) {
        const std::size_t n = Text_.size();
        // The commonest field: quoted, without doubled quotes or line ends, its separator right behind it.
        if (Pos_ < n && Text_[Pos_] == '"') {
            const std::size_t quote = Text_.find('"', Pos_ + 1);
            if (quote != std::string_view::npos &&
                (quote + 1 == n || Text_[quote + 1] == Separator_ || IsLineEnd(Text_[quote + 1])) &&
                FirstLineEnd(Pos_ + 1, quote) == quote) {
                out = Text_.substr(Pos_ + 1, quote - Pos_ - 1);
                Pos_ = quote + 1;
                return EndField();
            }
        }
        std::size_t start = Pos_;
        while (start < n && IsPad(Text_[start]))
            ++start;
        if (start >= n || Text_[start] != '"') {
            std::size_t end = Pos_;
            while (end < n && Text_[end] != Separator_ && !IsLineEnd(Text_[end]))
                ++end;
            out = Trim(Text_.substr(Pos_, end - Pos_));
            Pos_ = end;
            return EndField();
        }
        const std::size_t open = start;
        std::size_t i = open + 1;
        // Written out only for a field with doubled quotes or text behind its closing quote.
        std::string unescaped;
        bool escaped = false;
        for (;;) {
            const std::size_t quote = Text_.find('"', i);
            if (quote == std::string_view::npos)
                return EndAtOwnLine(out, open);
            if (quote + 1 < n && Text_[quote + 1] == '"') {
                unescaped.append(Text_.substr(i, quote - i + 1));
                escaped = true;
                i = quote + 2;
                continue;
            }
            if (escaped)
                unescaped.append(Text_.substr(i, quote - i));
            i = quote + 1;
            const int lineEnds = LineEnds(open, quote);
            // A quote that closes on a later line with text behind it was a stray one: taking it would
            // swallow the lines between into one field.
            if (lineEnds > 0 && i < n && Text_[i] != Separator_ && !IsLineEnd(Text_[i]))
                return EndAtOwnLine(out, open);
            Line_ += lineEnds;
            break;
        }
        // Text behind the closing quote belongs to the field.
        std::size_t end = i;
        while (end < n && Text_[end] != Separator_ && !IsLineEnd(Text_[end]))
            ++end;
        const std::string_view behind = Trim(Text_.substr(i, end - i));
        if (!escaped && behind.empty())
            out = Text_.substr(open + 1, i - open - 2);
        else if (!escaped)
            out = Keep(std::string(Text_.substr(open + 1, i - open - 2)).append(behind));
        else
            out = Keep(unescaped.append(behind));
        Pos_ = end;
        return EndField();
    }

    std::string_view Text_;
    char Separator_;
    std::size_t Pos_ = 0;
    int Line_ = 1;
    std::deque<std::string> Scratch_; // unescaped fields of the current record
};

// The helpers below take a record's fields as views, or as the strings kept for detection.
template <typename Fields> bool IsBlankRecord(const Fields& fields) {
    return std::all_of(fields.begin(), fields.end(), [](std::string_view f) {
        return f.find_first_not_of(" \t") == std::string_view::npos;
    });
}

// The separator found most often outside quotes on the first non-empty line; ties go to TAB, then ";".
char DetectSeparator(std::string_view text) {
    std::size_t pos = 0;
    std::string_view line;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsLineEnd(text[end]))
            ++end;
        line = text.substr(pos, end - pos);
        if (line.find_first_not_of(" \t") != std::string_view::npos)
            break;
        line = {};
        pos = end + 1;
    }
    int tabs = 0;
    int semicolons = 0;
    int commas = 0;
    bool quoted = false;
    for (char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted)
            tabs += c == '\t', semicolons += c == ';', commas += c == ',';
    }
    if (tabs >= semicolons && tabs >= commas)
        return '\t';
    return semicolons >= commas ? ';' : ',';
}

struct Columns {
    CsvLayout Layout = CsvLayout::Name1Address1;
    int Name = -1;    // the group name (1/x) or the sub group's name (3/x)
    int Address = -1; // x/1
    int Main = -1;    // x/3: the number cells
    int Middle = -1;
    int Sub = -1;
    int Dpt = -1;
    bool FreeStyle = false; // plain numbers read as addresses (under an "Address" header only)
};

// Without a header the columns stand where ETS writes them.
Columns FixedColumns(CsvLayout layout) {
    Columns c;
    c.Layout = layout;
    switch (layout) {
    case CsvLayout::Name1Address1:
        c.Name = 0, c.Address = 1, c.Dpt = 5;
        break;
    case CsvLayout::Names3Address1:
        c.Name = 2, c.Address = 3, c.Dpt = 7;
        break;
    case CsvLayout::Name1Numbers3:
        c.Name = 0, c.Main = 1, c.Middle = 2, c.Sub = 3, c.Dpt = 7;
        break;
    case CsvLayout::Names3Numbers3:
        c.Name = 2, c.Main = 3, c.Middle = 4, c.Sub = 5, c.Dpt = 9;
        break;
    }
    return c;
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

struct Header {
    bool IsHeader = false;
    std::optional<Columns> Found; // nullopt: a header without address columns
};

// A header names its columns in English: "Address", "Group name", or "Main", "Middle", "Sub".
Header ReadHeader(const std::vector<std::string>& cells) {
    int name = -1;
    int address = -1;
    int dpt = -1;
    std::vector<int> mains;
    std::vector<int> middles;
    std::vector<int> subs;
    for (int i = 0; i < static_cast<int>(cells.size()); ++i) {
        const std::string cell = Lowered(cells[static_cast<std::size_t>(i)]);
        if (cell == "group name" && name < 0)
            name = i;
        else if (cell == "address" && address < 0)
            address = i;
        else if (cell == "main")
            mains.push_back(i);
        else if (cell == "middle")
            middles.push_back(i);
        else if (cell == "sub")
            subs.push_back(i);
        else if ((cell == "datapointtype" || cell == "datapoint type" || cell == "dpts" || cell == "dpt") &&
                 dpt < 0)
            dpt = i;
    }
    const std::size_t triples = std::min({mains.size(), middles.size(), subs.size()});
    Header header;
    header.IsHeader = name >= 0 || address >= 0 || triples > 0;
    if (!header.IsHeader)
        return header;
    Columns c;
    c.Dpt = dpt;
    if (address >= 0) {
        c.Address = address;
        c.FreeStyle = true;
        if (triples > 0 && subs[0] < address) {
            c.Layout = CsvLayout::Names3Address1;
            c.Name = subs[0];
        } else {
            c.Layout = CsvLayout::Name1Address1;
            c.Name = name;
        }
    } else if (triples >= 2) {
        c.Layout = CsvLayout::Names3Numbers3;
        c.Name = subs[0];
        c.Main = mains[1], c.Middle = middles[1], c.Sub = subs[1];
    } else if (triples == 1 && name >= 0) {
        c.Layout = CsvLayout::Name1Numbers3;
        c.Name = name;
        c.Main = mains[0], c.Middle = middles[0], c.Sub = subs[0];
    } else {
        return header;
    }
    header.Found = c;
    return header;
}

template <typename Fields> std::string_view Cell(const Fields& fields, int column) {
    return column >= 0 && column < static_cast<int>(fields.size())
               ? std::string_view(fields[static_cast<std::size_t>(column)])
               : std::string_view();
}

template <typename Fields>
AddressTextResult ReadRecordAddress(const Columns& c, const Fields& fields, std::string& text) {
    if (c.Address >= 0) {
        text = Cell(fields, c.Address);
        return ReadAddressText(text, c.FreeStyle);
    }
    AddressTextResult result =
        ReadAddressCells(Cell(fields, c.Main), Cell(fields, c.Middle), Cell(fields, c.Sub));
    text = std::string(Cell(fields, c.Main)) + "/" + std::string(Cell(fields, c.Middle)) + "/" +
           std::string(Cell(fields, c.Sub));
    return result;
}

struct Record {
    int Line;
    std::vector<std::string> Fields;
};

// A header typed by hand may call the datatype column anything: the first other column whose cells in the
// records after the header all read as datatypes (one at least) is taken, as its content says it is.
int DatatypeColumnByContent(const std::vector<Record>& records, const Columns& c) {
    std::size_t width = 0;
    for (std::size_t r = 1; r < records.size(); ++r)
        width = std::max(width, records[r].Fields.size());
    for (int column = 0; column < static_cast<int>(width); ++column) {
        if (column == c.Name || column == c.Address || column == c.Main || column == c.Middle ||
            column == c.Sub)
            continue;
        int types = 0;
        bool other = false;
        for (std::size_t r = 1; r < records.size() && !other; ++r) {
            const std::string_view cell = Cell(records[r].Fields, column);
            if (cell.empty())
                continue;
            if (MapDptText(cell).Type >= 0)
                ++types;
            else
                other = true;
        }
        if (types > 0 && !other)
            return column;
    }
    return -1;
}

constexpr std::array<CsvLayout, 4> Layouts = {CsvLayout::Name1Address1, CsvLayout::Names3Address1,
                                              CsvLayout::Name1Numbers3, CsvLayout::Names3Numbers3};

} // namespace

void ReadCsv(std::string_view text, ExportReading& reading) {
    const char separator = DetectSeparator(text);
    reading.Detected.Separator = separator;

    // The first records decide: a header, or else the first layout whose address cells read in all of them.
    std::vector<Record> first;
    {
        CsvParser parser(text, separator);
        std::vector<std::string_view> fields;
        int line = 0;
        while (static_cast<int>(first.size()) < DetectionRecords && parser.Next(fields, line))
            if (!IsBlankRecord(fields))
                first.push_back({line, std::vector<std::string>(fields.begin(), fields.end())});
    }
    if (first.empty())
        return; // no address at all: the caller refuses
    Columns columns;
    const Header header = ReadHeader(first.front().Fields);
    if (header.IsHeader) {
        if (!header.Found) {
            reading.Refusal = ImportRefusal{"Import file has wrong format!", first.front().Line,
                                            "Line " + std::to_string(first.front().Line) +
                                                " is a header without an \"Address\" column or \"Main\", "
                                                "\"Middle\" and \"Sub\" columns."};
            return;
        }
        columns = *header.Found;
        reading.Detected.Header = true;
        if (columns.Dpt < 0) {
            columns.Dpt = DatatypeColumnByContent(first, columns);
            if (columns.Dpt >= 0)
                reading.Warnings.push_back(LinePrefix(first.front().Line) +
                                           "the header names no datatype column; column " +
                                           std::to_string(columns.Dpt + 1) + " (\"" +
                                           std::string(Cell(first.front().Fields, columns.Dpt)) +
                                           "\") holds datatypes and is read as one.");
        }
    } else {
        std::size_t furthest = 0;
        bool found = false;
        for (CsvLayout layout : Layouts) {
            const Columns candidate = FixedColumns(layout);
            std::size_t read = 0;
            std::string addressText;
            while (read < first.size() &&
                   ReadRecordAddress(candidate, first[read].Fields, addressText).Kind !=
                       AddressTextKind::Unreadable)
                ++read;
            if (read == first.size()) {
                columns = candidate;
                found = true;
                break;
            }
            furthest = std::max(furthest, read);
        }
        if (!found) {
            const int line = first[furthest].Line;
            reading.Refusal =
                ImportRefusal{"Import file has wrong format!", line,
                              "Line " + std::to_string(line) +
                                  " has no group address in the columns of any ETS export layout (1/1, 3/1, "
                                  "1/3, 3/3); an ETS3 export line has 46 or more fields."};
            return;
        }
    }
    reading.Detected.Layout = columns.Layout;

    CsvParser parser(text, separator);
    std::vector<std::string_view> fields;
    int line = 0;
    bool headerSkipped = !reading.Detected.Header;
    std::string addressText;
    DptTextMapper types;
    reading.Addresses.reserve(LineEndCount(text));
    while (parser.Next(fields, line)) {
        if (IsBlankRecord(fields))
            continue;
        if (!headerSkipped) {
            headerSkipped = true;
            continue;
        }
        const AddressTextResult address = ReadRecordAddress(columns, fields, addressText);
        if (address.Kind == AddressTextKind::Hierarchy)
            continue;
        if (address.Kind != AddressTextKind::Address) {
            reading.BadEntries.push_back({line, addressText, address.Reason});
            continue;
        }
        GroupAddressRecord record;
        record.Address = address.Value;
        record.Line = line;
        record.Name = reading.Texts->Stable(Cell(fields, columns.Name));
        record.DptText = reading.Texts->Stable(Cell(fields, columns.Dpt));
        const DptTextResult type = types.Map(record.DptText);
        record.Type = static_cast<std::int8_t>(type.Type);
        if (type.Conflict)
            reading.Warnings.push_back(TypeConflictWarning(line, record.DptText, type.Type));
        reading.Addresses.push_back(std::move(record));
    }
    // The parser's warnings (quotes) first, then the datatypes'.
    std::vector<std::string> warnings = std::move(parser.Warnings);
    warnings.insert(warnings.end(), reading.Warnings.begin(), reading.Warnings.end());
    reading.Warnings = std::move(warnings);
}

} // namespace zelo::exports
