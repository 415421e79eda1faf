#pragma once
// Today's ETS group address exports beside the ETS3 one: the encoding and format of a file found from its
// bytes, the readers of the CSV layouts, the XML export and the OPC (ESF) export, and the whole unattended
// import for zeloctl. The window reads through ReadImportFile of the project library and, after asking about
// bad lines, goes on with ImportReading as zeloctl does.
#include "ets/RangeBuilder.h"
#include "model/Text.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

enum class TextEncoding { Utf8, Utf16Le, Utf16Be, Windows1252 };
// "UTF-8", "UTF-16 LE", "UTF-16 BE", "Windows-1252".
const char* EncodingName(TextEncoding encoding);

// The file's encoding, in this order: a zip is refused before (see ReadEtsExport); a byte-order mark; UTF-16
// without one by a zero in the first two bytes; valid UTF-8; else Windows-1252.
TextEncoding DetectEncoding(std::string_view bytes);
// The text in UTF-8, without its byte-order mark. Invalid UTF-16 surrogates become U+FFFD.
std::string DecodeText(std::string_view bytes, TextEncoding encoding);

// Project: an ETS project file (.knxproj), read by the project-file library beside the core.
enum class ExportFormat { Ets3, Csv, Xml, Esf, Project };
// "ETS3 CSV", "ETS CSV", "ETS XML", "ETS OPC (ESF)", "ETS project file".
const char* FormatName(ExportFormat format);

// The column layouts of ETS4 to ETS6 CSV exports, named as ETS names them: names / address columns.
enum class CsvLayout {
    Name1Address1,  // 1/1: Group name, Address, ...
    Names3Address1, // 3/1: Main, Middle, Sub (names), Address, ...
    Name1Numbers3,  // 1/3: Group name, Main, Middle, Sub (numbers), ...
    Names3Numbers3, // 3/3: three names, then three numbers, ...
};
// "1/1", "3/1", "1/3", "3/3".
const char* LayoutName(CsvLayout layout);

struct DetectedExport {
    ExportFormat Format = ExportFormat::Csv;
    TextEncoding Encoding = TextEncoding::Utf8;
    // CSV only:
    CsvLayout Layout = CsvLayout::Name1Address1;
    char Separator = ',';
    bool Header = false;
    // Project files only: the schema number of the project XML, and how the project is protected, e.g.
    // "unprotected" or "protected with AES-256".
    int ProjectSchema = 0;
    std::string Protection;

    // "ETS CSV 1/1, UTF-16 LE, TAB", "ETS XML, UTF-8", "ETS OPC (ESF), Windows-1252",
    // "ETS project file, schema 21, protected with AES-256".
    std::string Describe() const;
};

// "TAB", "semicolon", "comma".
const char* SeparatorName(char separator);

enum class FormatChoice { Auto, Ets3, Csv, Xml, Esf };

// What a refusal asks of the user: a project file's password lets the window ask for one (again).
enum class RefusalKind { File, PasswordNeeded, WrongPassword };

// Why a file is not imported at all.
struct ImportRefusal {
    std::string Message; // the first line, e.g. "Import file has wrong format!"
    int Line = 0;        // 1-based line the refusal names in the first line ("Line 7: ..."), 0 for none
    std::string Detail;  // a second line for the window (empty when there is none)
    RefusalKind Kind = RefusalKind::File;

    // For zeloctl: "Line 7: " and the message when a line is named; else the message and the detail.
    std::string CommandLineText() const;
    // For the window: the message, then the detail on a line of its own.
    std::string WindowText() const;
};

extern const char* const ProjectFileMessage;          // a zip: the ETS project archive instead of an export
extern const char* const ExportImportFinishedMessage; // the window's notice at the end of such an import

// The window's status text for an offered range: "Importing data from ETS [name, datatype: "DPST-1-1"]...".
std::string ExportStatusText(const ImportedRange& range);

// What a reader found. For an ETS3 file only Detected and Ets3Lines (or, read from a ByteSource, Ets3Stream)
// are set: it goes to EtsImporter.
// The records point into Texts, which copies of the reading share: keep a reading (or a copy) alive while
// its records are used.
struct ExportReading {
    DetectedExport Detected;
    std::shared_ptr<TextStore> Texts = std::make_shared<TextStore>();
    std::optional<ImportRefusal> Refusal;
    TextLines Ets3Lines;
    // An ETS3 file's lines as they are decoded, while the source the reading came from lives on.
    std::shared_ptr<LineStream> Ets3Stream;
    std::vector<GroupAddressRecord> Addresses; // in file order
    std::vector<BadEntry> BadEntries;          // in file order
    std::vector<std::string> Warnings;         // in file order, each naming its line
};

// Detects encoding and format (unless a choice forces the format) and reads the whole file. Refused: a zip,
// a zero character in a text that is not ETS3, malformed XML or another root element, a CSV without a layout
// that reads, and a file without any group address (bad ones count as addresses here: they are for the
// caller to refuse or skip).
ExportReading ReadEtsExport(std::string bytes, FormatChoice choice = FormatChoice::Auto);
// The same for bytes read a block at a time (a file), so that they are never held whole; only the decoded
// text is kept. An ETS3 export with a zero byte or broken UTF-8 behind its mark is read a second time, as
// the ETS3 import reads it, when the source can start again.
ExportReading ReadEtsExport(ByteSource& source, FormatChoice choice = FormatChoice::Auto);

// "117 lines cannot be imported:" then the first 20 messages, one per line, then "and K more." when there
// are more.
std::string BadEntriesMessage(const std::vector<BadEntry>& bad);
// The window's question: "N lines cannot be imported (first: ...). Import the other addresses?"
std::string SkipBadQuestion(const std::vector<BadEntry>& bad);

// "ETS CSV 1/1, UTF-16 LE, TAB: 412 addresses, 57 ranges; 3 untyped skipped, 1 duplicate, 0 bad lines."
// badSkipped is the number of bad entries left out.
std::string ImportSummary(const DetectedExport& detected, const RangeBuild& build, UntypedPolicy untyped,
                          int badSkipped);

// The whole import without questions (zeloctl): read, refuse on bad lines unless skipBad, build.
// ImportReading does what follows the reading, for a reading made elsewhere (a project file, the window's).
struct ExportImport {
    ExportReading Reading;
    RangeBuild Build;
    std::optional<ImportRefusal> Refusal; // the file's, the bad lines', or the untyped policy's
    std::vector<std::string> Warnings;    // the reader's, the skipped bad lines, the builder's
    std::string Summary;
};
ExportImport ImportEtsExport(std::string bytes, FormatChoice choice, const RangeOptions& options,
                             bool skipBad);
ExportImport ImportReading(ExportReading reading, const RangeOptions& options, bool skipBad);

} // namespace zelo
