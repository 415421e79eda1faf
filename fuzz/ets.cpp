// An ETS3 export is untrusted text: the loader, the comma-text split and the stepper take any bytes, and what
// they give back keeps its invariants.
#include "ets/EtsBatch.h"
#include "ets/EtsImport.h"

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto lines = LoadImportLines(bytes);

    for (const auto& line : lines) {
        auto fields = SplitCommaText(line);
        // Every field written back quoted splits into the same fields.
        Check(SplitCommaText(QuotedJoin(fields)) == fields);
    }

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
    return 0;
}
