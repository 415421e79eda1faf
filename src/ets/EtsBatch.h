#pragma once
// Accepting every range of an ETS3 export in one go, for front ends that cannot ask the user range by range.
#include "ets/EtsImport.h"
#include "model/EibGroup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace zelo {

// What happens to a range whose datatype text offers no type.
enum class UnknownDatatype { Skip, Other, Fail };

// The end address a group's line really carries: a range whose end is not above its start is written with
// its start alone.
std::uint16_t EffectiveEnd(const TEibGroup& group);

// The same-start rule: a range with the start of one already accepted is the same range when its line
// carries the same end and type (the access type takes no part, as in the range entry); else it only shares
// the start, and the front end decides (zeloctl keeps both, the window asks).
bool SameRange(const TEibGroup& accepted, const TEibGroup& offered);

// An unattended walk over an ETS3 import meets a range, with the type it takes (none when its datatype
// offers nothing), or a line whose address does not read. The visitor returns false to end the walk there.
using UnattendedVisitor = std::function<bool(const ImportStep& step, std::optional<int> type)>;

// Accepts an ETS3 import's ranges to its end without asking, as "Add all" and zeloctl import do: each range
// takes the type BatchDatapointType gives once OfferDatapointTypes has set list up for its datatype text.
// offered: the range already offered with its offer, visited first. Returns the step that ended the walk
// (Finished, WrongFormat, or the one the visitor ended it at).
ImportStep AcceptUnattended(EtsImporter& importer, DptListState& list,
                            const std::optional<std::pair<ImportStep, DatapointOffer>>& offered,
                            const UnattendedVisitor& visit);

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
        TEibGroup Group;
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
// The same for lines taken as they are decoded (zeloctl's import of a file).
BatchImportResult BatchImport(std::shared_ptr<LineStream> lines, std::uint8_t accessType,
                              UnknownDatatype unknown);

} // namespace zelo
