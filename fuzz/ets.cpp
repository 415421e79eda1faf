// An ETS export is untrusted text: detection and every reader take any bytes (the ETS3 loader, comma-text
// split and stepper; the CSV, OPC and XML readers; the range builder), and what they give back keeps its
// invariants.
#include "ets/EtsBatch.h"
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "model/Text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace zelo;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

std::string QuotedJoin(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            line += ',';
        line += '"';
        for (char c : fields[i]) {
            if (c == '"')
                line += '"';
            line += c;
        }
        line += '"';
    }
    return line;
}

// Today's readers under every format choice, and the range builder under every policy.
void CheckExportReaders(std::string_view bytes) {
    for (FormatChoice choice :
         {FormatChoice::Auto, FormatChoice::Csv, FormatChoice::Xml, FormatChoice::Esf}) {
        ExportReading reading = ReadEtsExport(std::string(bytes), choice);
        Check(choice == FormatChoice::Auto || reading.Detected.Format != ExportFormat::Ets3);
        if (reading.Refusal || reading.Detected.Format == ExportFormat::Ets3) {
            Check(reading.Addresses.empty() && reading.BadEntries.empty());
            Check(!reading.Refusal || !reading.Refusal->Message.empty());
            continue;
        }
        Check(!reading.Addresses.empty() || !reading.BadEntries.empty());
        int line = 0;
        for (const auto& record : reading.Addresses) {
            Check(record.Address <= 32767 && record.Line >= line && record.Line >= 1);
            Check(record.Type == Untyped || (record.Type >= 1 && record.Type < DatapointTypeCount));
            line = record.Line;
        }
        for (const auto& bad : reading.BadEntries)
            Check(bad.Line >= 1 && !bad.Reason.empty());
        for (UntypedPolicy policy :
             {UntypedPolicy::Keep, UntypedPolicy::Skip, UntypedPolicy::Other, UntypedPolicy::Fail}) {
            RangeBuild build = BuildRanges(reading.Addresses, {1, policy});
            Check(build.Addresses == static_cast<int>(reading.Addresses.size()));
            Check(build.Failure.has_value() == (policy == UntypedPolicy::Fail && build.Untyped > 0));
            int covered = 0;
            int previousEnd = -1;
            for (const auto& range : build.Ranges) {
                Check(range.StartAddress <= range.EndAddress && range.StartAddress > previousEnd);
                Check((range.StartAddress >> 8) == (range.EndAddress >> 8) && range.AccessType == 1);
                Check(range.Type != Untyped || policy == UntypedPolicy::Keep);
                covered += range.EndAddress - range.StartAddress + 1;
                previousEnd = range.EndAddress;
            }
            // Every distinct address lands in exactly one range unless the policy leaves untyped ones out.
            const int distinct = build.Addresses - build.Duplicates;
            if (policy == UntypedPolicy::Keep || policy == UntypedPolicy::Other)
                Check(covered == distinct);
            if (policy == UntypedPolicy::Skip)
                Check(covered == distinct - build.Untyped);
        }
        ExportImport whole = ImportEtsExport(std::string(bytes), choice, {}, true);
        Check(whole.Refusal.has_value() == whole.Summary.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto lines = LoadImportLines(std::string(bytes));

    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto fields = SplitCommaText(lines[i]);
        // Every field written back quoted splits into the same fields.
        Check(SplitCommaText(QuotedJoin(fields)) == fields);
    }

    // The single pass reads as the codecs read one after the other: decode the text, then split its lines.
    const bool marked16 = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
    Check(lines.Strings() == SplitLines(DecodeTextFile(marked16 ? bytes : bytes.substr(0, bytes.find('\0')),
                                                       SingleByteCharset::Windows1252)));
    // The reader's single pass hands the ETS3 importer the loader's lines; only UTF-16 without a mark is
    // the reader's own (the loader reads it as 8-bit text), and a zip is refused before.
    const bool unmarked16 = !marked16 && size >= 2 && (bytes[0] == 0) != (bytes[1] == 0);
    if (!unmarked16 && bytes.substr(0, 4) != std::string_view("PK\x03\x04", 4))
        Check(ReadEtsExport(std::string(bytes), FormatChoice::Ets3).Ets3Lines.Strings() == lines.Strings());

    // Read in blocks of 1 to 7 bytes, every encoding and line end decodes as it does whole, under the
    // loader's rules and the export reader's.
    const std::size_t block = 1 + size % 7;
    DecodeRules exportRules;
    exportRules.Zero = ZeroByte::Kept;
    exportRules.Utf16WithoutMark = true;
    exportRules.MarkedInvalidAsSingleByte = false;
    for (const DecodeRules& rules : {DecodeRules{}, exportRules}) {
        const DecodedLines whole = DecodeLines(bytes, rules);
        ViewSource source(bytes, block);
        const DecodedLines blocks = DecodeLines(source, rules);
        Check(blocks.Text() == whole.Text() && blocks.Lines.Strings() == whole.Lines.Strings());
        Check(blocks.Encoding == whole.Encoding && blocks.Zero == whole.Zero &&
              blocks.Marked == whole.Marked && blocks.Replaced == whole.Replaced);
    }
    ViewSource source(bytes, block);
    ExportReading inBlocks = ReadEtsExport(source, FormatChoice::Auto);
    const ExportReading inOne = ReadEtsExport(std::string(bytes), FormatChoice::Auto);
    Check(inBlocks.Detected.Format == inOne.Detected.Format &&
          inBlocks.Addresses.size() == inOne.Addresses.size());
    if (inBlocks.Ets3Stream)
        Check(inBlocks.Ets3Stream->Rest().Strings() == inOne.Ets3Lines.Strings());

    EtsImporter importer(lines);
    DptListState list = DptListState::Free();
    int steps = 0;
    for (;;) {
        int before = importer.ImportIndex();
        ImportStep step = importer.Next();
        Check(++steps <= importer.LineCount() + 1);
        Check(step.Line == before);
        if (step.Kind == ImportStepKind::Finished) {
            Check(before == importer.LineCount());
            break;
        }
        if (step.Kind == ImportStepKind::WrongFormat) {
            Check(importer.ImportFields().size() < EtsFieldCount);
            break;
        }
        Check(importer.ImportIndex() > before);
        if (step.Kind == ImportStepKind::BadAddress) {
            Check(importer.ImportIndex() == before + 1 && !step.Message.empty());
            continue;
        }
        const ImportRange& range = step.Range;
        Check(range.FirstLine == before);
        Check(range.StartAddress <= range.EndAddress && range.EndAddress <= 32767);
        Check(range.EndAddress - range.StartAddress <= 2 * (importer.ImportIndex() - before - 1));
        bool otherChecked = list.Checked[OtherDatapointType];
        DatapointOffer offer = OfferDatapointTypes(range.Datatype, list);
        Check(list.Enabled[OtherDatapointType] && list.Checked[OtherDatapointType] == otherChecked);
        auto type = BatchDatapointType(offer, list);
        Check(!type || (*type >= 0 && *type < DatapointTypeCount && list.Enabled[*type]));
    }

    BatchImportResult batch = BatchImport(lines, 2, UnknownDatatype::Other);
    Check(batch.Added == static_cast<int>(batch.Groups.size()));

    CheckExportReaders(bytes);
    return 0;
}
