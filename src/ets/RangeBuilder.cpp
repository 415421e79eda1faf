#include "ets/RangeBuilder.h"

#include "model/Address.h"
#include "model/DatapointTypes.h"

#include <algorithm>
#include <functional>

namespace zelo {

std::string_view TextStore::Adopt(std::string text) {
    Texts_.push_back(std::move(text));
    Adopted_.push_back(Texts_.back());
    return Texts_.back();
}

std::string_view TextStore::Stable(std::string_view text) {
    if (text.empty())
        return {};
    const std::less_equal<const char*> notAfter;
    for (std::string_view whole : Adopted_)
        if (notAfter(whole.data(), text.data()) &&
            notAfter(text.data() + text.size(), whole.data() + whole.size()))
            return text;
    Texts_.emplace_back(text);
    return Texts_.back();
}

std::string BadEntry::Message() const {
    return Line > 0 ? "Line " + std::to_string(Line) + ": " + Reason : Reason;
}

namespace {

constexpr int AddressCount = 32768;
constexpr int GenericType = DatapointTypeCount - 1;

// "Line 12: " and the text for a record from a line; the text alone, as a sentence, for one without.
std::string Said(int line, std::string text) {
    if (line > 0)
        return "Line " + std::to_string(line) + ": " + text;
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 32);
    return text;
}

std::string Keyword(int type) {
    return std::string(DatapointTypeKeywords[static_cast<std::size_t>(type)]);
}

std::string Named(std::string_view name) {
    return name.empty() ? std::string() : " \"" + std::string(name) + "\"";
}

std::string RangeText(const ImportedRange& range) {
    std::string text = GroupAddressToText(range.StartAddress);
    if (range.EndAddress != range.StartAddress)
        text += " to " + GroupAddressToText(range.EndAddress);
    return text;
}

} // namespace

TEibGroup ToGroup(const ImportedRange& range) {
    TEibGroup group;
    group.StartAddress = range.StartAddress;
    group.EndAddress = range.EndAddress;
    group.DatapointType = static_cast<std::int8_t>(range.Type);
    group.AccessType = range.AccessType;
    return group;
}

RangeBuild BuildRanges(std::vector<GroupAddressRecord> records, const RangeOptions& options) {
    RangeBuild build;
    build.Addresses = static_cast<int>(records.size());

    // Sorted by address, and within an address in file order: the index sits in the key's low half.
    std::vector<std::uint64_t> keys(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        GroupAddressRecord& record = records[i];
        if (record.Type < 1 || record.Type >= DatapointTypeCount)
            record.Type = Untyped;
        build.DatatypeTexts += !record.DptText.empty();
        keys[i] = (std::uint64_t{static_cast<std::uint16_t>(record.Address % AddressCount)} << 32) | i;
    }
    std::sort(keys.begin(), keys.end());

    std::vector<std::pair<std::size_t, std::string>> conflicts; // by the later record's index
    const GroupAddressRecord* firstUntyped = nullptr;
    for (std::size_t k = 0; k < keys.size();) {
        const int address = static_cast<int>(keys[k] >> 32);
        // The record that stands for the address: the first typed one, else the first one.
        std::size_t chosen = keys[k] & 0xFFFFFFFFu;
        std::size_t end = k + 1;
        for (; end < keys.size() && static_cast<int>(keys[end] >> 32) == address; ++end) {
            const std::size_t index = keys[end] & 0xFFFFFFFFu;
            const GroupAddressRecord& record = records[index];
            const GroupAddressRecord& kept = records[chosen];
            ++build.Duplicates;
            if (kept.Type == Untyped) {
                if (record.Type != Untyped)
                    chosen = index;
            } else if (record.Type != Untyped && record.Type != kept.Type) {
                conflicts.emplace_back(
                    index, Said(record.Line, "group address " + GroupAddressToText(record.Address) +
                                                 " again, as " + Keyword(record.Type) + " (\"" +
                                                 std::string(record.DptText) + "\"); " +
                                                 (kept.Line > 0 ? "its type " + Keyword(kept.Type) +
                                                                      " of line " + std::to_string(kept.Line)
                                                                : "its first type " + Keyword(kept.Type)) +
                                                 " is kept."));
            }
        }
        k = end;

        GroupAddressRecord& record = records[chosen];
        if (record.Type == Untyped) {
            ++build.Untyped;
            if (!firstUntyped || (record.Line > 0 && record.Line < firstUntyped->Line))
                firstUntyped = &record;
            if (options.Untyped == UntypedPolicy::Other)
                record.Type = static_cast<std::int8_t>(GenericType);
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
        range.Name = std::string(record.Name);
        range.DptText = std::string(record.DptText);
        build.Ranges.push_back(std::move(range));
    }
    std::sort(conflicts.begin(), conflicts.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& conflict : conflicts)
        build.Warnings.push_back(std::move(conflict.second));

    if (firstUntyped && options.Untyped == UntypedPolicy::Fail) {
        build.Failure =
            Said(firstUntyped->Line, "group address " + GroupAddressToText(firstUntyped->Address) +
                                         Named(firstUntyped->Name) + " has no datapoint type.");
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
            skipped.push_back(
                Said(range.Line, RangeText(range) + Named(range.Name) + " has no datapoint type; skipped."));
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
