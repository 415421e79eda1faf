#include "ets/RangeBuilder.h"

#include "model/Address.h"
#include "model/DatapointTypes.h"

namespace zelo {

std::string BadEntry::Message() const {
    return Line > 0 ? "Line " + std::to_string(Line) + ": " + Reason : Reason;
}

namespace {

constexpr int AddressCount = 32768;
constexpr int GenericType = DatapointTypeCount - 1;

// "Line 12: " for a record from a line, nothing for one without.
std::string Where(const GroupAddressRecord& record) {
    return record.Line > 0 ? "Line " + std::to_string(record.Line) + ": " : std::string();
}

std::string Keyword(int type) {
    return std::string(DatapointTypeKeywords[static_cast<std::size_t>(type)]);
}

std::string Named(const std::string& name) {
    return name.empty() ? std::string() : " \"" + name + "\"";
}

std::string RangeText(const ImportedRange& range) {
    std::string text = GroupAddressToText(range.StartAddress);
    if (range.EndAddress != range.StartAddress)
        text += " to " + GroupAddressToText(range.EndAddress);
    return text;
}

} // namespace

RangeBuild BuildRanges(std::vector<GroupAddressRecord> records, const RangeOptions& options) {
    RangeBuild build;
    build.Addresses = static_cast<int>(records.size());

    // The record that stands for each address: the first typed one, else the first one. Indexed by the
    // address itself, which also sorts without a sort.
    std::vector<int> chosen(AddressCount, -1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        GroupAddressRecord& record = records[i];
        if (record.Type < 1 || record.Type >= DatapointTypeCount)
            record.Type = Untyped;
        int& kept = chosen[record.Address % AddressCount];
        if (kept < 0) {
            kept = static_cast<int>(i);
            continue;
        }
        ++build.Duplicates;
        const GroupAddressRecord& first = records[static_cast<std::size_t>(kept)];
        if (first.Type == Untyped) {
            if (record.Type != Untyped)
                kept = static_cast<int>(i);
            continue;
        }
        if (record.Type != Untyped && record.Type != first.Type)
            build.Warnings.push_back(
                Where(record) + "group address " + GroupAddressToText(record.Address) + " again, as " +
                Keyword(record.Type) + " (\"" + record.DptText + "\"); " +
                (first.Line > 0 ? "its type " + Keyword(first.Type) + " of line " + std::to_string(first.Line)
                                : "its first type " + Keyword(first.Type)) +
                " is kept.");
    }

    const GroupAddressRecord* firstUntyped = nullptr;
    for (int address = 0; address < AddressCount; ++address) {
        if (chosen[address] < 0)
            continue;
        GroupAddressRecord& record = records[static_cast<std::size_t>(chosen[address])];
        if (record.Type == Untyped) {
            ++build.Untyped;
            if (!firstUntyped || (record.Line > 0 && record.Line < firstUntyped->Line))
                firstUntyped = &record;
            if (options.Untyped == UntypedPolicy::Other)
                record.Type = GenericType;
        }
        if (!build.Ranges.empty()) {
            ImportedRange& last = build.Ranges.back();
            // One step up within the same middle group, and the same type: no gaps, no carry.
            if (address == last.EndAddress + 1 && (address >> 8) == (last.EndAddress >> 8) &&
                record.Type == last.Type) {
                last.EndAddress = static_cast<std::uint16_t>(address);
                continue;
            }
        }
        ImportedRange range;
        range.StartAddress = range.EndAddress = static_cast<std::uint16_t>(address);
        range.Type = record.Type;
        range.AccessType = options.AccessType;
        range.Line = record.Line;
        range.Name = record.Name;
        range.DptText = record.DptText;
        build.Ranges.push_back(std::move(range));
    }

    if (firstUntyped && options.Untyped == UntypedPolicy::Fail) {
        build.Failure = Where(*firstUntyped) + "group address " + GroupAddressToText(firstUntyped->Address) +
                        Named(firstUntyped->Name) + " has no datapoint type.";
        build.Ranges.clear();
    } else if (firstUntyped && options.Untyped == UntypedPolicy::Skip) {
        std::vector<ImportedRange> typed;
        typed.reserve(build.Ranges.size());
        std::vector<std::string> skipped;
        for (auto& range : build.Ranges) {
            if (range.Type != Untyped) {
                typed.push_back(std::move(range));
                continue;
            }
            skipped.push_back((range.Line > 0 ? "Line " + std::to_string(range.Line) + ": " : std::string()) +
                              RangeText(range) + Named(range.Name) + " has no datapoint type; skipped.");
        }
        // A file without any datatype would give a warning per range: one says it all.
        if (typed.empty())
            build.Warnings.push_back("No address has a datapoint type; all " + std::to_string(build.Untyped) +
                                     " are skipped.");
        else
            build.Warnings.insert(build.Warnings.end(), skipped.begin(), skipped.end());
        build.Ranges = std::move(typed);
    }
    return build;
}

} // namespace zelo
