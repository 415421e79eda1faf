#pragma once
// From group addresses read out of an ETS export (CSV, XML, OPC, or a project file) to the gateway's ranges:
// one address record per address found, one bad entry per address that cannot be taken, and the one builder
// that resolves duplicates, sorts and joins.
#include "model/EibGroup.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// The type of an address whose datapoint type is unknown: no catalogue index yet.
inline constexpr int Untyped = -1;

// Storage for the texts that records point to. What it holds never moves, also when the store itself is
// moved, so a reader can hand out views into a large file's text instead of a copy per address.
class TextStore {
public:
    // Takes over a whole text (a decoded file); views into it stay valid as long as the store lives.
    std::string_view Adopt(std::string text);
    // The view itself when it lies inside an adopted text, else a copy kept in the store (an unescaped
    // field, a decoded attribute value).
    std::string_view Stable(std::string_view text);

private:
    std::deque<std::string> Texts_;
    std::vector<std::string_view> Adopted_;
};

// One group address as a reader found it. Name and DptText are views: the reader's producer keeps their
// text alive until BuildRanges has returned (ExportReading owns a TextStore for that; a reader of its own
// can use one too). Kept small, since a big project has a hundred thousand of them.
struct GroupAddressRecord {
    std::uint16_t Address = 0;  // the gateway's 3-level address value (main 0-15, middle 0-7, sub 0-255)
    std::int8_t Type = Untyped; // catalogue index 1..16 (never 0, "[empty]"), or Untyped
    int Line = 0;               // 1-based physical line of the file, 0 when the source has no lines
    std::string_view Name;      // the address's own name as the file gives it
    std::string_view DptText;   // the datatype text as the file gives it (may be empty)
};

// An address that cannot be imported. Readers of line-based files name the line; a reader without lines
// (a project file) leaves Line 0 and lets the reason name the address by its text.
struct BadEntry {
    int Line = 0;       // 1-based physical line, 0 when there is none
    std::string Text;   // the offending text as found (an address text, or empty when it is missing)
    std::string Reason; // what is wrong, naming the text, e.g. group address 3/8/1 out of range (...)

    // "Line 12: " followed by the reason, or the reason alone when there is no line.
    std::string Message() const;
};

// What happens to an address without a datapoint type.
enum class UntypedPolicy {
    Keep,  // untyped ranges are built and returned (the window offers them with nothing checked)
    Skip,  // left out, one warning per range
    Other, // written as "other" (GENERIC), joining GENERIC neighbours
    Fail,  // the whole import fails
};

struct RangeOptions {
    std::uint8_t AccessType = 2; // 0 R, 1 W, 2 RW: given to every range
    UntypedPolicy Untyped = UntypedPolicy::Skip;
};

// One range of consecutive addresses of one type.
struct ImportedRange {
    std::uint16_t StartAddress = 0;
    std::uint16_t EndAddress = 0;
    int Type = Untyped; // catalogue index, or Untyped (only with UntypedPolicy::Keep)
    std::uint8_t AccessType = 2;
    int Line = 0;        // the first address's line, 0 when it has none
    std::string Name;    // the first address's name (a copy: ranges outlive the records)
    std::string DptText; // the first address's datatype text
};

// The range as the group line's buffer takes it (a range of Untyped keeps the index -1).
TEibGroup ToGroup(const ImportedRange& range);

struct RangeBuild {
    std::vector<ImportedRange> Ranges; // ascending by start address, never overlapping
    int Addresses = 0;                 // records given, duplicates included
    int Duplicates = 0;                // records dropped because their address came before
    int Untyped = 0;       // distinct addresses without a type (skipped, written as other, or kept)
    int DatatypeTexts = 0; // records with a datatype text, read or not
    std::vector<std::string> Warnings;
    std::optional<std::string> Failure; // set only by UntypedPolicy::Fail; Ranges is empty then
};

// Resolves duplicates (the first typed record of an address wins; a typed one beats an untyped one; typed
// records of another type are reported), sorts ascending and joins runs of the same main and middle group
// whose sub groups rise by one and whose types are equal. Conflicts are reported in file order. One sort of
// the records' addresses: n log n, nothing per possible address.
RangeBuild BuildRanges(std::vector<GroupAddressRecord> records, const RangeOptions& options);

} // namespace zelo
