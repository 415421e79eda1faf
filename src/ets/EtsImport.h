#pragma once
// Reading an ETS3 CSV group address export range by range: the file's lines, the comma-text fields of a line,
// the stepper that joins consecutive lines into ranges, and the datapoint types a range's datatype text
// offers.
#include "model/DatapointTypes.h"
#include "model/Text.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// Columns of an ETS3 export line that the import uses.
inline constexpr int EtsFieldCount = 46; // a line that starts a range has at least this many fields
inline constexpr int EtsMiddleGroupField = 34;
inline constexpr int EtsNameField = 38;
inline constexpr int EtsDescriptionField = 39;
inline constexpr int EtsAddressField = 43;
inline constexpr int EtsDatatypeField = 45;

extern const char* const ImportFinishedMessage;    // end of the file reached
extern const char* const ImportWrongFormatMessage; // a range would start at a line that is no ETS3 line
extern const char* const ImportEndedStatus;        // the status text once an import has ended
extern const char* const ImportNoticeTitle;

// The file's bytes as lines. Text up to the first zero byte counts; it is Windows-1252 unless a byte-order
// mark says UTF-8 or UTF-16, or it is valid UTF-8 throughout. Lines end at CR LF, LF or a lone CR; a line end
// at the very end adds no empty line; empty lines inside stay. One pass; valid UTF-8 stays where it lies.
TextLines LoadImportLines(std::string_view bytes);
TextLines LoadImportLines(ByteSource& source);

// Splits a line by the comma-text rule: fields are separated by commas or blanks (codes 1 to 32); a field
// that starts with a double quote runs to the next lone double quote, a doubled one standing for one; a quote
// never closed ends at the end of the line. Appends to fields after clearing it, so a caller can reuse the
// storage.
void SplitCommaText(std::string_view line, std::vector<std::string>& fields);
std::vector<std::string> SplitCommaText(std::string_view line);
// The same fields as views into the line, or into scratch for a field that held doubled quotes; they stay
// valid while the line and scratch do (scratch is cleared first, and not grown beyond the line's size).
void SplitCommaFields(std::string_view line, std::vector<std::string_view>& fields, std::string& scratch);

// The status text that names a range by its first line's fields (the line has at least EtsFieldCount fields).
std::string ImportStatusText(const std::vector<std::string_view>& fields);

// One range of consecutive lines, as the stepper offers it.
struct ImportRange {
    int FirstLine = 0; // index of its first line
    std::uint16_t StartAddress = 0;
    std::uint16_t EndAddress = 0;
    std::string Datatype; // field 45 of the first line
    std::string Name;     // field 38 of the first line
    std::string StatusText;
};

enum class ImportStepKind {
    Range,       // a range is offered
    Finished,    // the end of the file: the import ends
    WrongFormat, // the line that would start the next range has too few fields: the import ends
    BadAddress,  // the line that would start the next range has an address that does not read; it is passed
                 // over
};

struct ImportStep {
    ImportStepKind Kind = ImportStepKind::Finished;
    int Line = 0;        // the range's first line, or the line the step stopped at
    ImportRange Range;   // for Range; for BadAddress only FirstLine and StatusText
    std::string Message; // for BadAddress: the address reader's message
    // For WrongFormat and BadAddress: a line that names the file's line (1-based) and what is wrong there,
    // e.g. "Line 7 has 12 fields; an ETS3 export line has 46 or more.", so the user can find it.
    std::string Detail;

    // What the window shows for WrongFormat ("Import file has wrong format!") and BadAddress (the reader's
    // message), each followed by Detail on a line of its own; empty for the other kinds.
    std::string WindowText() const;
};

// Walks the lines of an export. A range starts at a line with at least EtsFieldCount fields and takes in each
// following line with the same name and datatype whose address lies one or two above the last one. A
// following line that is too short or whose address does not read ends the range; the next step then meets it
// as the first line of a range and reports it.
class EtsImporter {
public:
    EtsImporter() = default;
    explicit EtsImporter(TextLines lines);
    explicit EtsImporter(const std::vector<std::string>& lines) : EtsImporter(TextLines(lines)) {}
    // Lines taken as the importer comes to them, each let go of once it has passed it.
    explicit EtsImporter(std::shared_ptr<LineStream> lines) : Stream_(std::move(lines)) {}
    // The fields are views into the importer's own lines: it stays where it was made.
    EtsImporter(const EtsImporter&) = delete;
    EtsImporter& operator=(const EtsImporter&) = delete;

    // Index of the next line to read: between steps the first line of the range the next step offers.
    int ImportIndex() const { return ImportIndex_; }
    // The lines it holds (taken from a stream: the lines taken so far).
    int LineCount() const { return Stream_ ? StreamIndex_ + 1 : static_cast<int>(Lines.size()); }
    const TextLines& ImportLines() const { return Lines; }
    // The fields of the line split last (views into the importer's lines).
    const std::vector<std::string_view>& ImportFields() const { return Fields; }

    // Ranges come without their status text from here on (an unattended import shows none).
    void LeaveOutStatusTexts() { StatusTexts_ = false; }

    // One step. After a BadAddress step ImportIndex is behind the offending line, so the walk can go on.
    ImportStep Next();

private:
    // Line `index`, or nullopt past the last. From a stream only the line taken last or a later one.
    std::optional<std::string_view> Line(int index);

    TextLines Lines;
    std::shared_ptr<LineStream> Stream_;
    int StreamIndex_ = -1; // the line taken from the stream last
    std::string_view StreamLine_;
    std::vector<std::string_view> Fields;
    std::string Scratch; // unquoted fields of the line split last
    int FieldsLine = -1; // the line Fields was split from
    int ImportIndex_ = 0;
    bool StatusTexts_ = true;
};

// The state of the window's datapoint type list: per item enabled and checked, and the current item.
struct DptListState {
    std::array<bool, DatapointTypeCount> Enabled{};
    std::array<bool, DatapointTypeCount> Checked{};
    int Current = 0;

    // Every item enabled, none checked, item 0 current.
    static DptListState Free();
    // Lowest checked item, or -1.
    int FirstChecked() const;
    bool operator==(const DptListState&) const = default;
};

inline constexpr int OtherDatapointType = DatapointTypeCount - 1;

struct DatapointOffer {
    bool Recognised = false; // "Add" may accept the range
    int Suggested = -1;      // the item the offer made current, or -1 when it left the current item alone
};

// Sets up the list for a datatype text read as "%d%c": 1 to 6 bits ("b") check the bit type; 1, 2, 3, 4 or 14
// bytes ("B") enable the types of that size and make the first current; "other" is never touched. An empty
// text frees the list. A text without a number directly followed by a character leaves the list as it is.
DatapointOffer OfferDatapointTypes(std::string_view text, DptListState& list);

// The type an unattended accept gives a range once its offer is in the list: the lowest checked item, else
// the offer's suggestion; nullopt when the offer was not recognised or gives nothing to take.
std::optional<int> BatchDatapointType(const DatapointOffer& offer, const DptListState& list);

// Reads text the way scanf reads "%d%c": blanks, a sign, digits, then exactly the next character. A number
// beyond the 32-bit range is clamped to it.
struct NumberAndChar {
    int Number = 0;
    char Char = 0;
};
std::optional<NumberAndChar> ScanNumberAndChar(std::string_view text);

} // namespace zelo
