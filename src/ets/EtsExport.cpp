#include "ets/EtsExport.h"

#include "ets/EtsImport.h"
#include "ets/ExportReaders.h"
#include "model/DatapointTypes.h"
#include "model/Text.h"

#include <algorithm>
#include <cstring>

namespace zelo {

const char* const ProjectFileMessage =
    "This is an ETS project file; export the group addresses from ETS (CSV or XML) and import that file.";

const char* const ExportImportFinishedMessage = "Finished import from ETS!";

std::string ExportStatusText(const ImportedRange& range) {
    return "Importing data from ETS [" + range.Name + ", datatype: \"" + range.DptText + "\"]...";
}

namespace {

const char* const WrongFormat = "Import file has wrong format!";
constexpr int ShownBadEntries = 20;

std::string Counted(int count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

bool StartsWithUtf8Mark(std::string_view bytes) {
    return bytes.substr(0, 3) == "\xEF\xBB\xBF";
}

// 1-based physical line of a position.
int LineAt(std::string_view text, std::size_t pos) {
    int line = 1;
    for (std::size_t i = 0; i < pos && i < text.size(); ++i)
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')))
            ++line;
    return line;
}

bool StartsWithTag(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && text[first] == '<';
}

// Fields of a line split at commas, a field that starts with a quote running to its closing quote.
int CommaFields(std::string_view line) {
    int fields = 1;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n) {
        while (i < n && line[i] == ' ')
            ++i;
        if (i < n && line[i] == '"') {
            ++i;
            while (i < n) {
                if (line[i] == '"') {
                    if (i + 1 < n && line[i + 1] == '"') {
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                ++i;
            }
        }
        while (i < n && line[i] != ',')
            ++i;
        if (i < n) {
            ++fields;
            ++i;
        }
    }
    return fields;
}

// One of the first five non-empty lines of the text (up to its first zero) has 46 or more fields.
bool LooksLikeEts3(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    int lines = 0;
    std::size_t pos = 0;
    while (pos < text.size() && lines < 5) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        if (line.find_first_not_of(" \t") != std::string_view::npos) {
            ++lines;
            if (CommaFields(line) >= EtsFieldCount)
                return true;
        }
        pos = end + 1;
    }
    return false;
}

// Whether a text's beginning decides the format as its first megabyte would: it holds five non-blank lines
// whose ends it holds too (a CR's LF with it), which no check looks beyond.
bool FormatShows(std::string_view text) {
    std::size_t pos = 0;
    for (int lines = 0; lines < 5;) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos || end + 1 >= text.size())
            return false;
        if (text.substr(pos, end - pos).find_first_not_of(" \t") != std::string_view::npos)
            ++lines;
        pos = end + 1;
    }
    return true;
}

ExportFormat DetectFormat(std::string_view text) {
    if (StartsWithTag(text))
        return ExportFormat::Xml;
    if (exports::LooksLikeEsf(text))
        return ExportFormat::Esf;
    if (LooksLikeEts3(text))
        return ExportFormat::Ets3;
    return ExportFormat::Csv;
}

} // namespace

namespace exports {

std::string LinePrefix(int line) {
    return "Line " + std::to_string(line) + ": ";
}

std::size_t LineEndCount(std::string_view text) {
    std::size_t count = 1;
    const char* end = text.data() + text.size();
    for (const char* p = text.data();
         (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)))); ++p)
        ++count;
    return count;
}

std::string TypeConflictWarning(int line, std::string_view dptText, int type) {
    return LinePrefix(line) + "datatype \"" + std::string(dptText) +
           "\" names types of different kinds; the last one (" +
           std::string(DatapointTypeKeywords[static_cast<std::size_t>(type)]) + ") is taken.";
}

} // namespace exports

const char* EncodingName(TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::Utf16Le:
        return "UTF-16 LE";
    case TextEncoding::Utf16Be:
        return "UTF-16 BE";
    case TextEncoding::Windows1252:
        return "Windows-1252";
    }
    return "";
}

TextEncoding DetectEncoding(std::string_view bytes) {
    if (StartsWithUtf8Mark(bytes))
        return TextEncoding::Utf8;
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return TextEncoding::Utf16Le;
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return TextEncoding::Utf16Be;
    if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0)
        return TextEncoding::Utf16Le;
    if (bytes.size() >= 2 && bytes[0] == 0 && bytes[1] != 0)
        return TextEncoding::Utf16Be;
    return IsValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::string DecodeText(std::string_view bytes, TextEncoding encoding) {
    switch (encoding) {
    case TextEncoding::Utf8:
        if (StartsWithUtf8Mark(bytes))
            bytes.remove_prefix(3);
        return IsValidUtf8(bytes) ? std::string(bytes) : ReplaceInvalidUtf8(bytes);
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
        const bool bigEndian = encoding == TextEncoding::Utf16Be;
        if (bytes.substr(0, 2) == (bigEndian ? "\xFE\xFF" : "\xFF\xFE"))
            bytes.remove_prefix(2);
        return Utf16ToUtf8(bytes, bigEndian);
    }
    case TextEncoding::Windows1252:
        return SingleByteToUtf8(bytes, SingleByteCharset::Windows1252);
    }
    return {};
}

const char* FormatName(ExportFormat format) {
    switch (format) {
    case ExportFormat::Ets3:
        return "ETS3 CSV";
    case ExportFormat::Csv:
        return "ETS CSV";
    case ExportFormat::Xml:
        return "ETS XML";
    case ExportFormat::Esf:
        return "ETS OPC (ESF)";
    case ExportFormat::Project:
        return "ETS project file";
    }
    return "";
}

const char* LayoutName(CsvLayout layout) {
    switch (layout) {
    case CsvLayout::Name1Address1:
        return "1/1";
    case CsvLayout::Names3Address1:
        return "3/1";
    case CsvLayout::Name1Numbers3:
        return "1/3";
    case CsvLayout::Names3Numbers3:
        return "3/3";
    }
    return "";
}

const char* SeparatorName(char separator) {
    switch (separator) {
    case '\t':
        return "TAB";
    case ';':
        return "semicolon";
    case ',':
        return "comma";
    default:
        return "";
    }
}

std::string DetectedExport::Describe() const {
    std::string text = FormatName(Format);
    if (Format == ExportFormat::Project)
        return text + ", schema " + std::to_string(ProjectSchema) + ", " + Protection;
    if (Format == ExportFormat::Csv)
        text += std::string(" ") + LayoutName(Layout);
    text += std::string(", ") + EncodingName(Encoding);
    if (Format == ExportFormat::Csv)
        text += std::string(", ") + SeparatorName(Separator);
    return text;
}

std::string ImportRefusal::CommandLineText() const {
    if (Line > 0)
        return exports::LinePrefix(Line) + Message;
    return Detail.empty() ? Message : Message + "\n" + Detail;
}

std::string ImportRefusal::WindowText() const {
    return Detail.empty() ? Message : Message + "\n" + Detail;
}

ExportReading ReadEtsExport(std::string bytes, FormatChoice choice) {
    ViewSource source(bytes);
    ExportReading reading = ReadEtsExport(source, choice);
    if (reading.Ets3Stream) {
        reading.Ets3Lines = reading.Ets3Stream->Rest();
        reading.Ets3Stream.reset();
    }
    return reading;
}

ExportReading ReadEtsExport(ByteSource& source, FormatChoice choice) {
    ExportReading reading;
    // One pass finds the encoding, decodes and finds the lines, a block at a time.
    DecodeRules rules;
    rules.Zero = ZeroByte::Kept;
    rules.Utf16WithoutMark = true;
    rules.MarkedInvalidAsSingleByte = false;
    auto stream = std::make_shared<LineStream>(source, rules);
    // The format shows in the file's beginning: its first block mostly, else its first megabyte.
    std::string_view head = stream->Ahead(std::size_t{1} << 16);
    if (!FormatShows(head))
        head = stream->Ahead(std::size_t{1} << 20);
    const bool utf16 =
        stream->Encoding() == FileEncoding::Utf16Le || stream->Encoding() == FileEncoding::Utf16Be;
    // A zip's first bytes are plain ASCII: they read the same decoded.
    if (!utf16 && !stream->Marked() && head.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
        reading.Refusal = ImportRefusal{ProjectFileMessage, 0, ""};
        return reading;
    }
    reading.Detected.Encoding = stream->Encoding() == FileEncoding::Utf16Le   ? TextEncoding::Utf16Le
                                : stream->Encoding() == FileEncoding::Utf16Be ? TextEncoding::Utf16Be
                                : stream->Encoding() == FileEncoding::Utf8    ? TextEncoding::Utf8
                                                                              : TextEncoding::Windows1252;
    const bool empty = head.empty() && !stream->Marked();

    ExportFormat format = ExportFormat::Csv;
    switch (choice) {
    case FormatChoice::Auto:
        // An empty file goes to the ETS3 importer, which has nothing to do. The format shows in the file's
        // beginning.
        format = empty ? ExportFormat::Ets3 : DetectFormat(head.substr(0, std::size_t{1} << 20));
        break;
    case FormatChoice::Ets3:
        format = ExportFormat::Ets3;
        break;
    case FormatChoice::Csv:
        format = ExportFormat::Csv;
        break;
    case FormatChoice::Xml:
        format = ExportFormat::Xml;
        break;
    case FormatChoice::Esf:
        format = ExportFormat::Esf;
        break;
    }
    reading.Detected.Format = format;
    if (format == ExportFormat::Ets3) {
        // As the ETS3 import always read its files: the zero character ends the text (in 8-bit text before
        // the encoding is judged), and a UTF-8 mark before broken UTF-8 means single-byte text. The lines go
        // to the importer as they are decoded. A file that showed a zero or broken UTF-8 behind a mark
        // already is read again from its start under those rules (they are rare: a binary file, one edited by
        // hand).
        DecodeRules ets3 = rules;
        ets3.Zero = ZeroByte::EndsText;
        ets3.MarkedInvalidAsSingleByte = true;
        if ((stream->Zero() != std::string::npos || stream->Replaced()) && source.Rewind())
            stream = std::make_shared<LineStream>(source, ets3);
        else
            stream->SetRules(ets3);
        reading.Ets3Stream = std::move(stream);
        return reading;
    }
    DecodedLines decoded = stream->Whole();
    reading.Detected.Encoding = decoded.Encoding == FileEncoding::Utf16Le   ? TextEncoding::Utf16Le
                                : decoded.Encoding == FileEncoding::Utf16Be ? TextEncoding::Utf16Be
                                : decoded.Encoding == FileEncoding::Utf8    ? TextEncoding::Utf8
                                                                            : TextEncoding::Windows1252;
    // The records point into the text, so the reading keeps it.
    const std::string_view stored = reading.Texts->Adopt(decoded.Lines.Release());
    if (decoded.Zero != std::string::npos) {
        reading.Refusal =
            ImportRefusal{WrongFormat, 0,
                          "Line " + std::to_string(LineAt(stored, decoded.Zero)) +
                              " holds a zero character: this is a binary file, not an ETS export."};
        return reading;
    }
    switch (format) {
    case ExportFormat::Xml:
        exports::ReadXml(stored, reading);
        break;
    case ExportFormat::Esf:
        exports::ReadEsf(stored, reading);
        break;
    default:
        exports::ReadCsv(stored, reading);
        break;
    }
    if (!reading.Refusal && reading.Addresses.empty() && reading.BadEntries.empty())
        reading.Refusal = ImportRefusal{WrongFormat, 0, "The file holds no group address."};
    return reading;
}

std::string BadEntriesMessage(const std::vector<BadEntry>& bad) {
    const int count = static_cast<int>(bad.size());
    const bool lines = std::all_of(bad.begin(), bad.end(), [](const BadEntry& e) { return e.Line > 0; });
    std::string text =
        Counted(count, lines ? "line" : "address", lines ? "lines" : "addresses") + " cannot be imported:";
    for (int i = 0; i < count && i < ShownBadEntries; ++i)
        text += "\n" + bad[static_cast<std::size_t>(i)].Message();
    if (count > ShownBadEntries)
        text += "\nand " + std::to_string(count - ShownBadEntries) + " more.";
    return text;
}

std::string SkipBadQuestion(const std::vector<BadEntry>& bad) {
    const int count = static_cast<int>(bad.size());
    const bool lines = std::all_of(bad.begin(), bad.end(), [](const BadEntry& e) { return e.Line > 0; });
    return Counted(count, lines ? "line" : "address", lines ? "lines" : "addresses") +
           " cannot be imported (first: " + (bad.empty() ? std::string() : bad.front().Message()) +
           "). Import the other addresses?";
}

std::string ImportSummary(const DetectedExport& detected, const RangeBuild& build, UntypedPolicy untyped,
                          int badSkipped) {
    std::string text = detected.Describe() + ": " + Counted(build.Addresses, "address", "addresses") + ", " +
                       Counted(static_cast<int>(build.Ranges.size()), "range", "ranges") + "; " +
                       std::to_string(build.Untyped) + " untyped";
    if (untyped == UntypedPolicy::Skip)
        text += " skipped";
    else if (untyped == UntypedPolicy::Other)
        text += " written as GENERIC";
    // Said only when no record carries a datatype text at all (the OPC export writes "Unknown" for none).
    if (build.Untyped > 0 && build.Untyped == build.Addresses - build.Duplicates &&
        (build.DatatypeTexts == 0 || detected.Format == ExportFormat::Esf))
        text += " (the file has no datapoint types)";
    // A project file has no lines: its bad entries are addresses.
    const bool lines = detected.Format != ExportFormat::Project;
    text += ", " + Counted(build.Duplicates, "duplicate", "duplicates") + ", " +
            Counted(badSkipped, lines ? "bad line" : "bad address", lines ? "bad lines" : "bad addresses") +
            ".";
    return text;
}

ExportImport ImportEtsExport(std::string bytes, FormatChoice choice, const RangeOptions& options,
                             bool skipBad) {
    return ImportReading(ReadEtsExport(std::move(bytes), choice), options, skipBad);
}

ExportImport ImportReading(ExportReading source, const RangeOptions& options, bool skipBad) {
    ExportImport result;
    result.Reading = std::move(source);
    ExportReading& reading = result.Reading;
    if (reading.Refusal) {
        result.Refusal = reading.Refusal;
        return result;
    }
    if (reading.Detected.Format == ExportFormat::Ets3)
        return result;
    if (!reading.BadEntries.empty() && !skipBad) {
        result.Refusal = ImportRefusal{BadEntriesMessage(reading.BadEntries), 0, ""};
        return result;
    }
    result.Warnings = std::move(reading.Warnings);
    for (const auto& bad : reading.BadEntries)
        result.Warnings.push_back(bad.Message());
    if (reading.Addresses.empty()) {
        result.Refusal =
            ImportRefusal{WrongFormat, 0, "The file holds no group address that can be imported."};
        return result;
    }
    result.Build = BuildRanges(std::move(reading.Addresses), options);
    reading.Addresses.clear();
    result.Warnings.insert(result.Warnings.end(), result.Build.Warnings.begin(), result.Build.Warnings.end());
    if (result.Build.Failure) {
        result.Refusal = ImportRefusal{*result.Build.Failure, 0, ""};
        return result;
    }
    result.Summary = ImportSummary(reading.Detected, result.Build, options.Untyped,
                                   static_cast<int>(reading.BadEntries.size()));
    return result;
}

} // namespace zelo
