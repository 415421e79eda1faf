#pragma once
// Accepting every range of an ETS3 export in one go, for front ends that cannot ask the user range by range.
#include "ets/EtsImport.h"
#include "model/EibGroup.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelo {

// What happens to a range whose datatype text offers no type.
enum class UnknownDatatype { Skip, Other, Fail };

// Remembers accepted ranges by their start address. A range equal to an earlier one in start, end and type
// adds nothing (the access type takes no part, as in the range entry); one that only shares the start is
// kept.
class SameStartIndex {
public:
    enum class Outcome { New, Equal, SameStart };
    struct Result {
        Outcome Kind = Outcome::New;
        int EarlierLine = -1; // first line of the earlier range with the same start
    };
    // Looks the range up and, unless it is Equal, records it as accepted at the given line.
    Result Accept(const TEibGroup& group, int line);

private:
    struct Entry {
        std::uint16_t EndAddress;
        int DatapointType;
        int Line;
    };
    std::unordered_map<std::uint16_t, std::vector<Entry>> Entries;
};

struct BatchImportResult {
    std::vector<TEibGroup> Groups; // accepted ranges, in file order
    int Added = 0;
    int Skipped = 0;    // unrecognised datatypes left out, and lines whose address does not read
    int Duplicates = 0; // ranges equal to an earlier one
    int Unknown = 0;    // unrecognised datatypes (skipped or written as "other")
    std::vector<std::string> Warnings;
    std::optional<std::string> Failure; // the import could not be completed; Groups holds what came before
};

// Accepts every range of the lines with the given access type. Lines are named 1-based in the texts.
BatchImportResult BatchImport(TextLines lines, std::uint8_t accessType, UnknownDatatype unknown);

} // namespace zelo
