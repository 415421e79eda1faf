#include "ets/EtsBatch.h"

#include "model/Address.h"

namespace zelo {

SameStartIndex::Result SameStartIndex::Accept(const TEibGroup& group, int line) {
    auto& entries = Entries[group.StartAddress];
    Result result;
    for (const auto& entry : entries) {
        if (entry.EndAddress == group.EndAddress && entry.DatapointType == group.DatapointType)
            return {Outcome::Equal, entry.Line};
        if (result.Kind == Outcome::New)
            result = {Outcome::SameStart, entry.Line};
    }
    entries.push_back({group.EndAddress, group.DatapointType, line});
    return result;
}

namespace {

std::string LineText(int index) {
    return "Line " + std::to_string(index + 1) + ": ";
}

std::string RangeText(const ImportRange& range) {
    return GroupAddressToText(range.StartAddress) + " to " + GroupAddressToText(range.EndAddress);
}

} // namespace

BatchImportResult BatchImport(TextLines lines, std::uint8_t accessType, UnknownDatatype unknown) {
    BatchImportResult result;
    EtsImporter importer(std::move(lines));
    DptListState list = DptListState::Free();
    SameStartIndex accepted;
    for (;;) {
        ImportStep step = importer.Next();
        if (step.Kind == ImportStepKind::Finished)
            break;
        if (step.Kind == ImportStepKind::WrongFormat) {
            result.Failure = LineText(step.Line) + ImportWrongFormatMessage;
            break;
        }
        if (step.Kind == ImportStepKind::BadAddress) {
            ++result.Skipped;
            result.Warnings.push_back(LineText(step.Line) + step.Message + " Line skipped.");
            continue;
        }
        const ImportRange& range = step.Range;
        DatapointOffer offer = OfferDatapointTypes(range.Datatype, list);
        std::optional<int> type = BatchDatapointType(offer, list);
        if (!type) {
            ++result.Unknown;
            std::string what =
                LineText(range.FirstLine) + "datatype \"" + range.Datatype + "\" not recognised";
            if (unknown == UnknownDatatype::Fail) {
                result.Failure = what + ".";
                break;
            }
            if (unknown == UnknownDatatype::Skip) {
                ++result.Skipped;
                result.Warnings.push_back(what + ", range " + RangeText(range) + " skipped.");
                continue;
            }
            type = OtherDatapointType;
            result.Warnings.push_back(what + ", range " + RangeText(range) + " written as \"other\".");
        }
        TEibGroup group;
        group.StartAddress = range.StartAddress;
        group.EndAddress = range.EndAddress;
        group.DatapointType = static_cast<std::int8_t>(*type);
        group.AccessType = accessType;
        auto same = accepted.Accept(group, range.FirstLine);
        if (same.Kind == SameStartIndex::Outcome::Equal) {
            ++result.Duplicates;
            continue;
        }
        if (same.Kind == SameStartIndex::Outcome::SameStart)
            result.Warnings.push_back(LineText(range.FirstLine) + "range " + RangeText(range) +
                                      " starts where the range of line " +
                                      std::to_string(same.EarlierLine + 1) + " starts; both are kept.");
        result.Groups.push_back(group);
        ++result.Added;
    }
    return result;
}

} // namespace zelo
