#include "model/DatapointTypes.h"
#include "model/EibGroup.h"

#include <gtest/gtest.h>

using namespace zelo;

TEST(catalogue, FillReplacesWhateverTheListHeld) {
    std::vector<std::string> list = {"old 1", "old 2"};
    FillDatapointTypeList(list);
    ASSERT_EQ(list.size(), 17u);
    EXPECT_EQ(list.front(), "[empty]");
    EXPECT_EQ(list[11], "DPT 9.x (16 bit floating point value)");
    EXPECT_EQ(list.back(), "other");
    FillDatapointTypeList(list);
    EXPECT_EQ(list.size(), 17u);
}

TEST(catalogue, KeywordsLookUpBothWays) {
    const struct {
        int index;
        const char* keyword;
    } cases[] = {{0, "EMPTY"},  {1, "BIT"},     {3, "UBYTE"},   {6, "BYTE"},
                 {11, "VALUE"}, {15, "STRING"}, {16, "GENERIC"}};
    for (const auto& c : cases) {
        TEibGroup g;
        g.DatapointType = static_cast<std::int8_t>(c.index);
        EXPECT_EQ(g.TypeKeyword(), c.keyword);
        EXPECT_EQ(DatapointTypeFromKeyword(c.keyword), c.index);
    }
    EXPECT_EQ(DatapointTypeFromKeyword("bit"), -1);
    EXPECT_EQ(DatapointTypeFromKeyword(""), -1);
    for (int i = 0; i < DatapointTypeCount; ++i)
        EXPECT_EQ(DatapointTypeFromKeyword(DatapointTypeKeywords[i]), i) << "keywords must be unique";
}
