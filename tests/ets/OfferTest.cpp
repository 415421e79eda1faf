#include "ets/EtsImport.h"

#include <gtest/gtest.h>

#include <set>

using namespace zelo;

namespace {

// A list as an earlier range may leave it: item 3 checked and current, "other" checked, item 7 disabled.
DptListState Earlier(bool otherChecked) {
    DptListState list = DptListState::Free();
    list.Checked[3] = true;
    list.Checked[OtherDatapointType] = otherChecked;
    list.Enabled[7] = false;
    list.Current = 3;
    return list;
}

std::set<int> EnabledItems(const DptListState& list) {
    std::set<int> out;
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (list.Enabled[i])
            out.insert(i);
    return out;
}

std::set<int> CheckedItems(const DptListState& list) {
    std::set<int> out;
    for (int i = 0; i < DatapointTypeCount; ++i)
        if (list.Checked[i])
            out.insert(i);
    return out;
}

} // namespace

TEST(OfferDatapointTypes, TableRowByRow) {
    const int unchanged = 3;
    const struct {
        const char* text;
        std::set<int> enabled; // "other" (16) is enabled in every row
        int current;
        std::set<int> checked; // besides "other", which keeps its mark
        bool result;
        int suggested;
    } rows[] = {
        {"1b", {1, 16}, 1, {1}, true, 1},
        {"6b", {1, 16}, 1, {1}, true, 1},
        {"0b", {1, 16}, 1, {1}, true, 1},
        {"-3b", {1, 16}, 1, {1}, true, 1},
        {" +2b", {1, 16}, 1, {1}, true, 1},
        {"1bit", {1, 16}, 1, {1}, true, 1},
        {"7b", {16}, unchanged, {}, false, -1},
        {"1B", {2, 3, 6, 12, 13, 16}, 2, {}, true, 2},
        {"2B", {4, 7, 11, 16}, 4, {}, true, 4},
        {"3B", {9, 10, 16}, 9, {}, true, 9},
        {"4B", {5, 8, 14, 16}, 5, {}, true, 5},
        {"14B", {15, 16}, 15, {}, true, 15},
        {"014Byte", {15, 16}, 15, {}, true, 15},
        {"0B", {16}, unchanged, {}, true, -1},
        {"-5B", {16}, unchanged, {}, true, -1},
        {"5B", {16}, unchanged, {}, false, -1},
        {"8B", {16}, unchanged, {}, false, -1},
        {"16B", {16}, unchanged, {}, false, -1},
        {"1 B", {16}, unchanged, {}, false, -1}, // a blank between number and letter is the character read
        {"1x", {16}, unchanged, {}, false, -1},
        {"2b ", {1, 16}, 1, {1}, true, 1},
        {"99999999999B", {16}, unchanged, {}, false, -1},
        {"-99999999999b", {1, 16}, 1, {1}, true, 1}, // clamped to the lowest int: still six bits or less
    };
    for (bool otherChecked : {false, true}) {
        for (const auto& row : rows) {
            DptListState list = Earlier(otherChecked);
            DatapointOffer offer = OfferDatapointTypes(row.text, list);
            std::set<int> checked = row.checked;
            if (otherChecked)
                checked.insert(OtherDatapointType);
            EXPECT_EQ(offer.Recognised, row.result) << row.text;
            EXPECT_EQ(offer.Suggested, row.suggested) << row.text;
            EXPECT_EQ(EnabledItems(list), row.enabled) << row.text;
            EXPECT_EQ(CheckedItems(list), checked) << row.text;
            EXPECT_EQ(list.Current, row.current) << row.text;
        }
    }
}

TEST(OfferDatapointTypes, EmptyTextFreesTheList) {
    DptListState list = Earlier(true);
    DatapointOffer offer = OfferDatapointTypes("", list);
    EXPECT_TRUE(offer.Recognised);
    EXPECT_EQ(list, DptListState::Free());
    EXPECT_EQ(list.Current, 0);
    EXPECT_EQ(EnabledItems(list).size(), 17u);
    EXPECT_TRUE(CheckedItems(list).empty());
}

TEST(OfferDatapointTypes, TextWithoutNumberAndCharLeavesTheListAlone) {
    for (const char* text : {"b", "B", "12", " 7", "-", "+b", "bit", " ",
                             "\xC3\xA4"
                             "1b"}) {
        DptListState list = Earlier(true);
        DatapointOffer offer = OfferDatapointTypes(text, list);
        EXPECT_FALSE(offer.Recognised) << text;
        EXPECT_EQ(list, Earlier(true)) << text;
    }
}

TEST(ScanNumberAndChar, ReadsLikeScanf) {
    const struct {
        const char* text;
        bool ok;
        int number;
        char c;
    } cases[] = {
        {"1b", true, 1, 'b'},
        {" \t\n12B", true, 12, 'B'},
        {"-0x", true, 0, 'x'},
        {"+7 ", true, 7, ' '},
        {"3\"", true, 3, '"'},
        {"2147483647B", true, 2147483647, 'B'},
        {"-2147483648b", true, -2147483647 - 1, 'b'},
        {"", false, 0, 0},
        {"1", false, 0, 0},
        {"- 1b", false, 0, 0},
        {"+-1b", false, 0, 0},
        {"x1", false, 0, 0},
    };
    for (const auto& c : cases) {
        auto scanned = ScanNumberAndChar(c.text);
        ASSERT_EQ(scanned.has_value(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(scanned->Number, c.number) << c.text;
            EXPECT_EQ(scanned->Char, c.c) << c.text;
        }
    }
}

TEST(BatchDatapointType, CheckedThenSuggestionElseNothing) {
    const struct {
        const char* text;
        bool otherChecked;
        std::optional<int> type;
    } cases[] = {
        {"1b", false, 1},
        {"1b", true, 1}, // the bit type is checked and has the lower index
        {"2B", false, 4},
        {"2B", true, 16}, // a checked "other" wins over the suggestion
        {"14B", false, 15},
        {"0B", false, std::nullopt},
        {"0B", true, 16},
        {"7b", true, std::nullopt},
        {"1 B", false, std::nullopt},
        {"bit", true, std::nullopt},
    };
    for (const auto& c : cases) {
        DptListState list = Earlier(c.otherChecked);
        DatapointOffer offer = OfferDatapointTypes(c.text, list);
        EXPECT_EQ(BatchDatapointType(offer, list), c.type) << c.text << " other " << c.otherChecked;
    }
    // A type the user checked for the offered range counts before the suggestion.
    DptListState list = DptListState::Free();
    DatapointOffer offer = OfferDatapointTypes("2B", list);
    list.Checked[11] = true;
    EXPECT_EQ(BatchDatapointType(offer, list), 11);
}
