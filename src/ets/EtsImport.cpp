#include "ets/EtsImport.h"

#include "model/Address.h"
#include "model/Error.h"
#include "model/Text.h"

#include <bit>
#include <climits>
#include <cstdint>
#include <cstring>

namespace zelo {

const char* const ImportFinishedMessage = "Finished import from ETS3!";
const char* const ImportWrongFormatMessage = "Import file has wrong format!";
const char* const ImportEndedStatus = "Finished importing data from ETS3!";
const char* const ImportNoticeTitle = "Import";

TextLines LoadImportLines(std::string_view bytes) {
    ViewSource source(bytes);
    return LoadImportLines(source);
}

TextLines LoadImportLines(ByteSource& source) {
    // In UTF-16 every other byte of plain text is zero, so there the zero character ends the text after
    // decoding; in every other encoding the zero byte ends it before.
    return DecodeLines(source, DecodeRules{}).Lines;
}

namespace {

// Codes 1 to 32; bytes of 128 and above (UTF-8 sequences included) are ordinary characters.
bool IsBlank(char c) {
    auto code = static_cast<unsigned char>(c);
    return code >= 1 && code <= 32;
}

} // namespace

static_assert(std::endian::native == std::endian::little);

void SplitCommaFields(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch) {
    fields.clear();
    scratch.clear();
    // An unquoted field is never longer than its text in the line: views into scratch stay put.
    scratch.reserve(line.size());
    const std::size_t n = line.size();
    const char* p = line.data();
    std::size_t i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(p[i]))
            ++i;
    };
    skipBlanks();
    while (i < n) {
        // The commonest field of an export, an empty quoted one before a comma and the next field, at once:
        // the four bytes read as one (in little-endian order, as on every target).
        // Two of them at once where they come in a row, as they mostly do.
        if (i + 8 <= n) {
            std::uint64_t eight;
            std::memcpy(&eight, p + i, 8);
            if ((eight & 0xFFFFFFFFFFFFull) == 0x2C22222C2222ull && ((eight >> 48) & 0xFF) > 32) {
                fields.emplace_back();
                fields.emplace_back();
                i += 6;
                continue;
            }
        }
        if (i + 4 <= n) {
            std::uint32_t four;
            std::memcpy(&four, p + i, 4);
            if ((four & 0xFFFFFF) == 0x2C2222 && (four >> 24) > 32) { // '"', '"', ',' and no blank
                fields.emplace_back();
                i += 3;
                continue;
            }
        }
        if (p[i] == '"') {
            const std::size_t start = ++i;
            const void* quote = std::memchr(p + i, '"', n - i);
            i = quote ? static_cast<std::size_t>(static_cast<const char*>(quote) - p) : n;
            if (i + 1 < n && p[i + 1] == '"') {
                // Doubled quotes: the field is written out without them.
                const std::size_t at = scratch.size();
                scratch.append(line.substr(start, i - start + 1));
                i += 2;
                for (;;) {
                    const std::size_t quote = line.find('"', i);
                    if (quote == std::string_view::npos) {
                        scratch.append(line.substr(i));
                        i = n;
                        break;
                    }
                    scratch.append(line.substr(i, quote - i));
                    if (quote + 1 < n && p[quote + 1] == '"') {
                        scratch += '"';
                        i = quote + 2;
                        continue;
                    }
                    i = quote + 1;
                    break;
                }
                fields.push_back(std::string_view(scratch).substr(at));
            } else {
                fields.push_back(line.substr(start, i - start));
                if (i < n)
                    ++i; // the closing quote
            }
        } else {
            const std::size_t start = i;
            while (i < n && !IsBlank(p[i]) && p[i] != ',')
                ++i;
            fields.push_back(line.substr(start, i - start));
        }
        skipBlanks();
        if (i < n && p[i] == ',') {
            if (i == n - 1)
                fields.emplace_back();
            ++i;
            skipBlanks();
        }
    }
}

void SplitCommaText(std::string_view line, std::vector<std::string>& fields) {
    std::vector<std::string_view> views;
    std::string scratch;
    SplitCommaFields(line, views, scratch);
    fields.assign(views.begin(), views.end());
}

std::vector<std::string> SplitCommaText(std::string_view line) {
    std::vector<std::string> fields;
    SplitCommaText(line, fields);
    return fields;
}

std::string ImportStatusText(const std::vector<std::string_view>& fields) {
    std::string text = "Importing data from ETS3 [";
    text.append(fields[EtsNameField]).append(" - ").append(fields[EtsMiddleGroupField]).append(" / ");
    text.append(fields[EtsDescriptionField]).append(" datatype: \"").append(fields[EtsDatatypeField]);
    return text + "\"]...";
}

std::string ImportStep::WindowText() const {
    if (Kind == ImportStepKind::WrongFormat)
        return std::string(ImportWrongFormatMessage) + "\n" + Detail;
    if (Kind == ImportStepKind::BadAddress)
        return Message + "\n" + Detail;
    return {};
}

EtsImporter::EtsImporter(TextLines lines) : Lines(std::move(lines)) {}

std::optional<std::string_view> EtsImporter::Line(int index) {
    if (!Stream_)
        return index < LineCount() ? std::optional(Lines[static_cast<std::size_t>(index)]) : std::nullopt;
    for (; StreamIndex_ < index; ++StreamIndex_)
        if (!Stream_->Next(StreamLine_))
            return std::nullopt;
    return StreamLine_;
}

ImportStep EtsImporter::Next() {
    ImportStep step;
    step.Line = ImportIndex_;
    const std::optional<std::string_view> first = Line(ImportIndex_);
    if (!first) {
        step.Kind = ImportStepKind::Finished;
        return step;
    }
    // The line that ended the last range was split already while joining.
    if (FieldsLine != ImportIndex_)
        SplitCommaFields(*first, Fields, Scratch);
    FieldsLine = ImportIndex_;
    if (static_cast<int>(Fields.size()) < EtsFieldCount) {
        step.Kind = ImportStepKind::WrongFormat;
        const std::string line = "Line " + std::to_string(ImportIndex_ + 1);
        step.Detail = Fields.empty() ? line + " is empty; an ETS3 export line has 46 or more fields."
                                     : line + " has " + std::to_string(Fields.size()) +
                                           (Fields.size() == 1 ? " field" : " fields") +
                                           "; an ETS3 export line has 46 or more.";
        return step;
    }
    ImportRange& range = step.Range;
    range.FirstLine = ImportIndex_;
    if (StatusTexts_)
        range.StatusText = ImportStatusText(Fields);
    try {
        range.StartAddress = TextToGroupAddress(Fields[EtsAddressField]);
    } catch (const Exception& e) {
        step.Kind = ImportStepKind::BadAddress;
        step.Message = e.Message();
        step.Detail = "Line " + std::to_string(ImportIndex_ + 1) + " holds the address \"" +
                      std::string(Fields[EtsAddressField]) + "\".";
        ++ImportIndex_;
        return step;
    }
    step.Kind = ImportStepKind::Range;
    range.EndAddress = range.StartAddress;
    range.Datatype = std::string(Fields[EtsDatatypeField]);
    range.Name = std::string(Fields[EtsNameField]);
    std::uint16_t last = range.StartAddress;
    ++ImportIndex_;
    while (const std::optional<std::string_view> line = Line(ImportIndex_)) {
        SplitCommaFields(*line, Fields, Scratch);
        FieldsLine = ImportIndex_;
        // A line that could not start a range does not join one either: the next step reports it.
        if (static_cast<int>(Fields.size()) < EtsFieldCount)
            break;
        std::uint16_t address;
        try {
            address = TextToGroupAddress(Fields[EtsAddressField]);
        } catch (const Exception&) {
            break;
        }
        if (Fields[EtsNameField] != range.Name || Fields[EtsDatatypeField] != range.Datatype)
            break;
        auto gap = static_cast<std::uint16_t>(address - last);
        if (gap != 1 && gap != 2)
            break;
        last = address;
        range.EndAddress = address;
        ++ImportIndex_;
    }
    return step;
}

DptListState DptListState::Free() {
    DptListState state;
    state.Enabled.fill(true);
    state.Checked.fill(false);
    state.Current = 0;
    return state;
}

int DptListState::FirstChecked() const {
    for (std::size_t i = 0; i < Checked.size(); ++i)
        if (Checked[i])
            return static_cast<int>(i);
    return -1;
}

std::optional<NumberAndChar> ScanNumberAndChar(std::string_view text) {
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    std::size_t digits = i;
    long long value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        if (value <= INT_MAX)
            value = value * 10 + (text[i] - '0');
        ++i;
    }
    if (i == digits || i >= text.size())
        return std::nullopt;
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    if (value < INT_MIN)
        value = INT_MIN;
    return NumberAndChar{static_cast<int>(value), text[i]};
}

namespace {

struct OfferRow {
    char Unit;
    int Size;
    std::vector<int> Items; // the first one becomes current
};

const std::array<OfferRow, 5> ByteRows = {{
    {'B', 1, {2, 3, 6, 12, 13}},
    {'B', 2, {4, 7, 11}},
    {'B', 3, {9, 10}},
    {'B', 4, {5, 8, 14}},
    {'B', 14, {15}},
}};

} // namespace

DatapointOffer OfferDatapointTypes(std::string_view text, DptListState& list) {
    if (text.empty()) {
        list = DptListState::Free();
        return {true, -1};
    }
    auto scanned = ScanNumberAndChar(text);
    if (!scanned)
        return {false, -1};
    // "other" keeps its state: a type the user chose for anything unrecognised stays chosen.
    for (std::size_t i = 0; i < static_cast<std::size_t>(OtherDatapointType); ++i) {
        list.Enabled[i] = false;
        list.Checked[i] = false;
    }
    auto [n, c] = *scanned;
    if (c == 'b' && n <= 6) {
        list.Enabled[1] = true;
        list.Checked[1] = true;
        list.Current = 1;
        return {true, 1};
    }
    if (c == 'B') {
        if (n <= 0)
            return {true, -1};
        for (const auto& row : ByteRows)
            if (row.Size == n) {
                for (int item : row.Items)
                    list.Enabled[static_cast<std::size_t>(item)] = true;
                list.Current = row.Items.front();
                return {true, row.Items.front()};
            }
    }
    return {false, -1};
}

std::optional<int> BatchDatapointType(const DatapointOffer& offer, const DptListState& list) {
    if (!offer.Recognised)
        return std::nullopt;
    int checked = list.FirstChecked();
    if (checked >= 0)
        return checked;
    if (offer.Suggested >= 0)
        return offer.Suggested;
    return std::nullopt;
}

} // namespace zelo
