#include "ets/EtsBatch.h"

#include "model/Address.h"

namespace zelo {

std::uint16_t EffectiveEnd(const TEibGroup& group) {
    return group.EndAddress > group.StartAddress ? group.EndAddress : group.StartAddress;
}

bool SameRange(const TEibGroup& accepted, const TEibGroup& offered) {
    return accepted.StartAddress == offered.StartAddress && EffectiveEnd(accepted) == EffectiveEnd(offered) &&
           accepted.DatapointType == offered.DatapointType;
}

ImportStep AcceptUnattended(EtsImporter& importer, DptListState& list,
                            const std::optional<std::pair<ImportStep, DatapointOffer>>& offered,
                            const UnattendedVisitor& visit) {
    if (offered && !visit(offered->first, BatchDatapointType(offered->second, list)))
        return offered->first;
    for (;;) {
        ImportStep step = importer.Next();
        std::optional<int> type;
        if (step.Kind == ImportStepKind::Range)
            type = BatchDatapointType(OfferDatapointTypes(step.Range.Datatype, list), list);
        else if (step.Kind != ImportStepKind::BadAddress)
            return step;
        if (!visit(step, type))
            return step;
    }
}

SameStartIndex::Result SameStartIndex::Accept(const TEibGroup& group, int line) {
    auto& entries = Entries[group.StartAddress];
    Result result;
    for (const auto& entry : entries) {
        if (SameRange(entry.Group, group))
            return {Outcome::Equal, entry.Line};
        if (result.Kind == Outcome::New)
            result = {Outcome::SameStart, entry.Line};
    }
    entries.push_back({group, line});
    return result;
}

namespace {

std::string LineText(int index) {
    return "Line " + std::to_string(index + 1) + ": ";
}

std::string RangeText(const ImportRange& range) {
    return GroupAddressToText(range.StartAddress) + " to " + GroupAddressToText(range.EndAddress);
}

BatchImportResult BatchImportOf(EtsImporter& importer, std::uint8_t accessType, UnknownDatatype unknown) {
    BatchImportResult result;
    importer.LeaveOutStatusTexts();
    DptListState list = DptListState::Free();
    SameStartIndex accepted;
    const ImportStep end =
        AcceptUnattended(importer, list, std::nullopt, [&](const ImportStep& step, std::optional<int> type) {
            if (step.Kind == ImportStepKind::BadAddress) {
                ++result.Skipped;
                result.Warnings.push_back(LineText(step.Line) + step.Message + " Line skipped.");
                return true;
            }
            const ImportRange& range = step.Range;
            if (!type) {
                ++result.Unknown;
                std::string what =
                    LineText(range.FirstLine) + "datatype \"" + range.Datatype + "\" not recognised";
                if (unknown == UnknownDatatype::Fail) {
                    result.Failure = what + ".";
                    return false;
                }
                if (unknown == UnknownDatatype::Skip) {
                    ++result.Skipped;
                    result.Warnings.push_back(what + ", range " + RangeText(range) + " skipped.");
                    return true;
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
                return true;
            }
            if (same.Kind == SameStartIndex::Outcome::SameStart)
                result.Warnings.push_back(LineText(range.FirstLine) + "range " + RangeText(range) +
                                          " starts where the range of line " +
                                          std::to_string(same.EarlierLine + 1) + " starts; both are kept.");
            result.Groups.push_back(group);
            ++result.Added;
            return true;
        });
    if (end.Kind == ImportStepKind::WrongFormat)
        result.Failure = LineText(end.Line) + ImportWrongFormatMessage;
    return result;
}

} // namespace

BatchImportResult BatchImport(TextLines lines, std::uint8_t accessType, UnknownDatatype unknown) {
    EtsImporter importer(std::move(lines));
    return BatchImportOf(importer, accessType, unknown);
}

BatchImportResult BatchImport(std::shared_ptr<LineStream> lines, std::uint8_t accessType,
                              UnknownDatatype unknown) {
    EtsImporter importer(std::move(lines));
    return BatchImportOf(importer, accessType, unknown);
}

} // namespace zelo
