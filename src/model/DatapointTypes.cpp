#include "model/DatapointTypes.h"

namespace zelo {

const std::array<std::string_view, DatapointTypeCount> DatapointTypeNames = {
    "[empty]",
    "DPT 1.x, 2.x, 3.x (1-6 bit)",
    "DPT 4.x (8 bit Character)",
    "DPT 5.004, 5.005, 5.010 (8 bit unsigned counter)",
    "DPT 7.x (16 bit unsigned counter)",
    "DPT 12.x, 15.x (32 bit unsigned counter)",
    "DPT 6.x (8 bit signed counter)",
    "DPT 8.x (16 bit signed counter)",
    "DPT 13.x (32 bit signed counter)",
    "DPT 10.x (24 bit time)",
    "DPT 11.x (24 bit date)",
    "DPT 9.x (16 bit floating point value)",
    "DPT 5.001 (8 bit percent)",
    "DPT 5.003 (8 bit angle)",
    "DPT 14.x (32 bit IEEE floating point value)",
    "DPT 16.x (14 Character string)",
    "other",
};

const std::array<std::string_view, DatapointTypeCount> DatapointTypeKeywords = {
    "EMPTY", "BIT",  "CHAR",  "UBYTE",   "UWORD", "UDWORD", "BYTE",   "WORD",    "DWORD",
    "TIME",  "DATE", "VALUE", "PERCENT", "ANGLE", "FLOAT",  "STRING", "GENERIC",
};

void FillDatapointTypeList(std::vector<std::string>& list) {
    list.clear();
    for (auto name : DatapointTypeNames)
        list.emplace_back(name);
}

int DatapointTypeFromKeyword(std::string_view keyword) {
    for (std::size_t i = 0; i < DatapointTypeKeywords.size(); ++i)
        if (DatapointTypeKeywords[i] == keyword)
            return static_cast<int>(i);
    return -1;
}

} // namespace zelo
