#pragma once
// The datatype texts of ETS exports mapped to the gateway's catalogue of datapoint types.
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

// The catalogue index (1..16, never 0) of a KNX datapoint type main number and sub number (-1 for none,
// as in DPT-5 or 9.x).
int DatapointTypeOfDpt(long main, long sub);

// A KNX datapoint type by its numbers: 9.001 is {9, 1}; a main number alone ("DPT-9", "9.x") has Sub -1.
struct DptNumber {
    long Main = 0;
    long Sub = -1;
    bool operator==(const DptNumber&) const = default;
    auto operator<=>(const DptNumber&) const = default;
};

// The types a DPT text names, in their order, in the forms MapDptText reads; a list item's description
// (the words after the first one that starts no type) is left out.
std::vector<DptNumber> ReadDptTypes(std::string_view text);

struct DptTextResult {
    int Type = -1;         // catalogue index, or -1 when the text holds no type
    bool Conflict = false; // the text holds types of different keywords; the last one was taken
};

// Reads a DPT text, case-insensitive: DPST-m-s, DPT-m, DPTm.sss, DPT m.x, m.x, m.sss, and lists of these
// separated by ",", ";" or blanks. Words after a blank that start no type are a description ("5.001
// percent"). A plain number is no type ("1 Bit"), neither is "Auto".
DptTextResult MapDptText(std::string_view text);

// MapDptText over a file's texts one after another: a text like the one before is not read again, as the
// records of an export mostly repeat the type of the one before.
class DptTextMapper {
public:
    DptTextResult Map(std::string_view text) {
        if (!Mapped_ || text != Last_) {
            Last_.assign(text);
            Result_ = MapDptText(text);
            Mapped_ = true;
        }
        return Result_;
    }

private:
    std::string Last_;
    DptTextResult Result_;
    bool Mapped_ = false;
};

// The type text of an OPC (ESF) export: by its EIS number when it has one, else by its size "(n Bit)" or
// "(n Byte)"; "Unknown" and anything else give -1.
int MapEsfType(std::string_view text);

} // namespace zelo
