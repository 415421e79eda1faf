// The setup line and group range entry: leaving fields, option boxes, the datapoint list, Add and the
// same-start question.
#include "FakeWindow.h"
#include "model/Address.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;
using layout::ControlId;

namespace {

TEST(SetupLine, RebuiltOnLeavingThePhysicalAddress) {
    FakeWindow w;
    // Typing alone changes nothing; leaving the field does. The text goes in as typed.
    w.txtPhyAdr.Value = "x";
    EXPECT_EQ(w.Lines(), Lines{SetupLine0});
    for (const char* text : {"1.1.250", "any text; really", ""}) {
        w.Enter(w.txtPhyAdr, text);
        EXPECT_EQ(w.Lines(), Lines{std::string("#SETUP=") + text + ";OFF;OFF;OFF"});
    }
}

TEST(SetupLine, OptionBoxClicks) {
    FakeWindow w;
    w.AddRange("1/0/0", "1/0/10", 11);
    const struct {
        FakeCheckBox& Box;
        const char* Expected;
    } steps[] = {{w.chkPrintHex, "#SETUP=15.15.255;OFF;ON;OFF"},
                 {w.chkPrintSource, "#SETUP=15.15.255;ON;ON;OFF"},
                 {w.chkFullDuplex, "#SETUP=15.15.255;ON;ON;ON"},
                 {w.chkPrintHex, "#SETUP=15.15.255;ON;OFF;ON"},
                 {w.chkFullDuplex, "#SETUP=15.15.255;ON;OFF;OFF"}};
    for (const auto& step : steps) {
        w.Click(step.Box);
        EXPECT_EQ(w.Lines(), (Lines{step.Expected, "#DG1/0/0-1/0/10=VALUE;RW"}))
            << layout::Info(step.Box.Id).Name;
    }
}

// The first line is the setup line: one there (or an empty first line) is replaced; when the user has deleted
// it, it comes back in front instead of over the line that moved up.
TEST(SetupLine, ReplacedOrPutBackInFront) {
    FakeWindow w;
    const struct {
        const char* Before;
        Lines After;
        const char* Text;
    } cases[] = {
        {"", {"#SETUP=15.15.255;OFF;ON;OFF"}, "#SETUP=15.15.255;OFF;ON;OFF"},
        {"#DG1/2/3=BIT;RW\n#DG1/2/4=BIT;RW\n",
         {"#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/2/3=BIT;RW", "#DG1/2/4=BIT;RW"},
         "#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/3=BIT;RW\n#DG1/2/4=BIT;RW\n"},
        {"\nnote", {"#SETUP=15.15.255;OFF;ON;OFF", "note"}, "#SETUP=15.15.255;OFF;ON;OFF\nnote"},
        {"note\n", {"#SETUP=15.15.255;OFF;OFF;OFF", "note"}, "#SETUP=15.15.255;OFF;OFF;OFF\nnote\n"},
        {"#SETUP=broken\n#DG1/2/3=BIT;RW",
         {"#SETUP=15.15.255;OFF;ON;OFF", "#DG1/2/3=BIT;RW"},
         "#SETUP=15.15.255;OFF;ON;OFF\n#DG1/2/3=BIT;RW"},
    };
    for (const auto& c : cases) {
        w.EditCommandList(c.Before);
        w.Click(w.chkPrintHex);
        EXPECT_EQ(w.Lines(), c.After) << c.Before;
        EXPECT_EQ(w.CommandList.Text(), c.Text) << c.Before;
    }
}

TEST(GroupLines, AppendedAfterTheLastLineWithTheirOwnLineEnd) {
    FakeWindow w;
    w.AddRange("0/0/0", "0/0/0", 1);
    EXPECT_EQ(w.CommandList.Text(), SetupLine0 + "\n#DG0/0/0=BIT;RW\n");
    // Add shows the line it wrote.
    EXPECT_EQ(w.CommandList.ShownLine, 1);
    // A typed line without a line end gets one put before the next line; it stays where it is.
    w.EditCommandList(SetupLine0 + "\n#DG0/0/0=BIT;RW\nmy note");
    w.AddRange("1/2/5", "1/2/3", 1);
    EXPECT_EQ(w.CommandList.Text(), SetupLine0 + "\n#DG0/0/0=BIT;RW\nmy note\n#DG1/2/5=BIT;RW");
    EXPECT_EQ(w.CommandList.ShownLine, 3);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG0/0/0=BIT;RW", "my note", "#DG1/2/5=BIT;RW"}));
    // An emptied list: the line becomes the only one, with its line end.
    w.EditCommandList("");
    w.AddRange("2/0/0", "2/0/0", 1);
    EXPECT_EQ(w.CommandList.Text(), "#DG2/0/0=BIT;RW\n");
}

TEST(RangeEntry, AddressFieldsReachTheBufferOnlyWhenLeft) {
    FakeWindow w;
    w.AddRange("1/2/3", "1/2/9", 1);
    EXPECT_EQ(w.Lines().back(), "#DG1/2/3-1/2/9=BIT;RW");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/2/3");
    // A key or a click on Add leaves the field being typed in first: the range on screen is the one written
    // (the same start each time: replaced). A text the field refuses keeps the focus there and adds nothing.
    // On the refusal another type is checked: an Add after it would ask about replacing the line.
    for (const auto& [byKey, end, last, type] : {std::tuple{true, "1/2/20", "#DG1/2/3-1/2/20=BIT;RW", 1},
                                                 std::tuple{false, "1/2/21", "#DG1/2/3-1/2/21=BIT;RW", 1},
                                                 std::tuple{true, "1/2/300", "#DG1/2/3-1/2/21=BIT;RW", 2}}) {
        SCOPED_TRACE(end);
        w.Boxes.Boxes.clear();
        if (!w.EibDptList.Checked(type))
            w.ToggleType(type);
        w.MoveFocus(ControlId::txtGrpAdrEnd);
        w.txtGrpAdrEnd.Value = end;
        w.Boxes.Answers = {box::IdYes};
        byKey ? w.Accelerator(w.btnAdd) : w.Click(w.btnAdd);
        EXPECT_EQ(w.Lines().back(), last);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u); // the replace question, or the refusal
        EXPECT_EQ(w.Focused, byKey ? ControlId::txtGrpAdrEnd : ControlId::btnAdd);
        w.Boxes.Answers.clear();
    }
}

TEST(RangeEntry, BadAddressShowsTheParserMessageAndKeepsTheFocus) {
    FakeWindow w;
    w.Enter(w.txtGrpAdrStart, "4/5/6");
    for (FakeEdit* field : {&w.txtGrpAdrStart, &w.txtGrpAdrEnd}) {
        for (const char* bad : {"1/2/300", "abc", ""}) {
            SCOPED_TRACE(std::string(layout::Info(field->Id).Name) + " " + bad);
            w.Boxes.Boxes.clear();
            w.Enter(*field, bad);
            ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
            ExpectBox(w.Boxes.Boxes[0], InvalidGroupAddressMessage, w.winMain.Value, 16);
            EXPECT_EQ(w.Focused, field->Id);
            // Leaving again with the same text shows the message again.
            w.MoveFocus(ControlId::btnAdd);
            EXPECT_EQ(w.Boxes.Boxes.size(), 2u);
        }
        w.Enter(*field, field == &w.txtGrpAdrStart ? "4/5/6" : "0/0/0");
    }
    EXPECT_EQ(w.Logic().CurrentGroup->StartAddress, TextToGroupAddress("4/5/6"));
    EXPECT_EQ(w.Logic().CurrentGroup->EndAddress, 0);
}

// Two bad fields: taking the focus back into the first is no leave of the second, so one box per leave.
TEST(RangeEntry, FocusTakenBackIsNoLeave) {
    FakeWindow w;
    w.txtGrpAdrEnd.Value = "9/9/9";
    w.Enter(w.txtGrpAdrStart, "bad");
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Focused, ControlId::txtGrpAdrStart);
    w.Enter(w.txtGrpAdrStart, "1/1/1");
    EXPECT_EQ(w.Boxes.Boxes.size(), 1u);
    // Leaving the end field for real is judged.
    w.MoveFocus(ControlId::btnAdd);
    EXPECT_EQ(w.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(w.Focused, ControlId::txtGrpAdrEnd);
}

TEST(RangeEntry, AddWithoutDatapointType) {
    FakeWindow w;
    w.Click(w.btnAdd);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    ExpectBox(w.Boxes.Boxes[0], "Please select a datapoint type!", w.winMain.Value, 16);
    EXPECT_EQ(w.Focused, ControlId::EibDptList);
    EXPECT_EQ(w.Lines(), Lines{SetupLine0});
    EXPECT_FALSE(w.Logic().AddCurrentGroup());
    w.ToggleType(4);
    EXPECT_TRUE(w.Logic().AddCurrentGroup());
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG0/0/0=UWORD;RW"}));
}

// One type checked at a time, by a click on its box or on its text; a disabled type does not react.
TEST(RangeEntry, OneCheckedDatapointType) {
    const struct {
        bool OnText;
        int Row;
        std::vector<int> Checked;
    } clicks[] = {{false, 3, {3}}, {false, 12, {12}}, {false, 12, {}},  {false, 5, {5}},
                  {false, 7, {7}}, {true, 3, {3}},    {true, 12, {12}}, {false, 5, {5}},
                  {true, 5, {}},   {true, 7, {7}},    {false, 9, {7}},  {true, 9, {7}}};
    FakeWindow w;
    w.EibDptList.SetItemEnabled(9, false);
    for (const auto& c : clicks) {
        if (c.OnText)
            w.ClickTypeText(c.Row);
        else
            w.ToggleType(c.Row);
        EXPECT_EQ(w.EibDptList.CheckedRows(), c.Checked) << c.Row << (c.OnText ? " text" : " box");
    }
    w.Click(w.btnAdd);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(w.Lines().back(), "#DG0/0/0=WORD;RW");
    // Marks set by the program (as an import does) are left alone; Add takes the lowest.
    w.EibDptList.SetChecked(2, true);
    EXPECT_EQ(w.EibDptList.CheckedRows(), (std::vector<int>{2, 7}));
    w.Enter(w.txtGrpAdrStart, "0/0/1");
    EXPECT_TRUE(w.Logic().AddCurrentGroup());
    EXPECT_EQ(w.Lines().back(), "#DG0/0/1=CHAR;RW");
}

TEST(RangeEntry, AccessTypeChoice) {
    FakeWindow w;
    const char* const access[] = {"R", "W", "RW"};
    for (int i = 0; i < 3; ++i) {
        w.ChooseAccess(i);
        EXPECT_EQ(w.Logic().CurrentGroup->AccessType, i);
        w.AddRange("1/1/" + std::to_string(i), "0/0/0", 1);
        EXPECT_EQ(w.Lines().back(), "#DG1/1/" + std::to_string(i) + "=BIT;" + access[i]);
    }
}

std::string Question(const char* oldStart, const char* oldEnd, const char* newStart, const char* newEnd) {
    return std::string("Group with same starting address allready exists.\nDo you wish to replace\n\n") +
           "group address: " + oldStart + " to " + oldEnd + ")\n\nwith\n\ngroup address: " + newStart +
           " to " + newEnd + ")?";
}

TEST(SameStart, QuestionAnsweredYesAndNo) {
    // After No the list holds both ranges: the same range again meets the other one first and asks.
    const struct {
        int Answer;
        Lines Expected;
        std::deque<int> AgainAnswers;
    } cases[] = {
        {6, {SetupLine0, "#DG1/2/3-1/2/5=BIT;RW", "#DG2/0/0=BIT;RW"}, {}},
        {7, {SetupLine0, "#DG1/2/3-1/2/9=BIT;RW", "#DG2/0/0=BIT;RW", "#DG1/2/3-1/2/5=BIT;RW"}, {7}},
    };
    for (const auto& c : cases) {
        FakeWindow w;
        w.AddRange("1/2/3", "1/2/9", 1);
        w.AddRange("2/0/0", "2/0/0", 1);
        w.Boxes.Answers.push_back(c.Answer);
        w.AddRange("1/2/3", "1/2/5", 1);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        ExpectBox(w.Boxes.Boxes[0], Question("1/2/3", "1/2/9", "1/2/3", "1/2/5"), w.winMain.Value,
                  36 | box::DefaultNo);
        // Replacing cannot be undone: Return answers No.
        EXPECT_EQ(w.Boxes.Boxes[0].Default, box::IdNo);
        // Both lines, with type and access, behind the box's details.
        EXPECT_EQ(w.Boxes.Boxes[0].Detail, "Line 2: #DG1/2/3-1/2/9=BIT;RW\nNew: #DG1/2/3-1/2/5=BIT;RW");
        EXPECT_EQ(w.Lines(), c.Expected);
        // The line written, replaced or appended, is the one shown.
        EXPECT_EQ(w.CommandList.ShownLine, c.Answer == 6 ? 1 : 3);
        // The same range again is found equal: no new line.
        w.Boxes.Answers = c.AgainAnswers;
        w.AddRange("1/2/3", "1/2/5", 1);
        EXPECT_EQ(w.Boxes.Boxes.size(), 1u + c.AgainAnswers.size());
        EXPECT_EQ(w.Lines(), c.Expected);
    }
}

TEST(SameStart, EveryFurtherEntryOfTheSameStartAsksAgain) {
    FakeWindow w;
    w.AddRange("3/0/0", "3/0/1", 1);
    w.Boxes.Answers = {7};
    w.AddRange("3/0/0", "3/0/2", 1);
    w.Boxes.Answers = {7, 6};
    w.AddRange("3/0/0", "3/0/3", 5);
    ASSERT_EQ(w.Boxes.Boxes.size(), 3u);
    EXPECT_EQ(w.Boxes.Boxes[2].Text, Question("3/0/0", "3/0/2", "3/0/0", "3/0/3"));
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG3/0/0-3/0/1=BIT;RW", "#DG3/0/0-3/0/3=UDWORD;RW"}));
}

TEST(SameStart, OtherAccessTypeOnlyIsFoundEqual) {
    FakeWindow w;
    w.AddRange("1/2/3", "1/2/9", 1);
    w.ChooseAccess(0);
    w.AddRange("1/2/3", "1/2/9", 1);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/2/3-1/2/9=BIT;RW"}));
    EXPECT_EQ(w.Logic().Converter->Groups.Items(0).AccessType, 2);
}

TEST(SameStart, EndBelowStartIsTheLineOfTheStartAlone) {
    FakeWindow w;
    w.AddRange("1/2/5", "1/2/3", 1);
    w.AddRange("1/2/5", "1/2/5", 1);
    w.AddRange("1/2/5", "1/2/1", 1);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/2/5=BIT;RW"}));
}

// The search works on what the list holds: typed lines count, deleted lines are gone, bad lines are no range.
TEST(SameStart, HandEditedList) {
    FakeWindow w;
    w.AddRange("1/0/0", "1/0/0", 1);
    w.EditCommandList(SetupLine0 + "\n#DG5/5/5=BIT;W\n#DG6/6/6=bit;RW\nnote\n");
    w.Boxes.Answers = {6};
    w.AddRange("5/5/5", "5/5/7", 1);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Text, Question("5/5/5", "5/5/5", "5/5/5", "5/5/7"));
    // The line is rewritten in place with the buffer's access type.
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG5/5/5-5/5/7=BIT;RW", "#DG6/6/6=bit;RW", "note"}));
    w.AddRange("1/0/0", "1/0/0", 1); // deleted by hand: appended anew
    w.AddRange("6/6/6", "6/6/6", 1); // the lower-case keyword is no group line
    EXPECT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG5/5/5-5/5/7=BIT;RW", "#DG6/6/6=bit;RW", "note",
                                "#DG1/0/0=BIT;RW", "#DG6/6/6=BIT;RW"}));
    // A line typed at the end is seen as well.
    w.EditCommandList(w.CommandList.Text() + "#DG7/0/0=BIT;RW");
    w.Boxes.Answers = {7};
    w.AddRange("7/0/0", "7/0/1", 1);
    EXPECT_EQ(w.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(w.Lines().back(), "#DG7/0/0-7/0/1=BIT;RW");
}

// The setup line put back in front moves the group lines down: the same-start search still finds them where
// they now are.
TEST(SameStart, SetupLinePutInFrontKeepsTheGroupLines) {
    FakeWindow w;
    w.EditCommandList("#DG1/1/1=BIT;RW\n");
    w.AddRange("2/2/2", "2/2/2", 1); // the table now knows 1/1/1 from line 1
    w.Click(w.chkPrintHex);
    w.Boxes.Answers = {6};
    w.AddRange("1/1/1", "1/1/4", 1);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Detail, "Line 2: #DG1/1/1=BIT;RW\nNew: #DG1/1/1-1/1/4=BIT;RW");
    EXPECT_EQ(w.Lines(), (Lines{"#SETUP=15.15.255;OFF;ON;OFF", "#DG1/1/1-1/1/4=BIT;RW", "#DG2/2/2=BIT;RW"}));
    EXPECT_EQ(w.CommandList.ShownLine, 1);
}

// A list with more group lines than the gateway's table holds: Add says so through the standard display.
TEST(SameStart, FullTableIsReported) {
    FakeWindow w;
    w.EditCommandList(FullCommandList());
    // Same start as the last line with another type: asked, answered No, and the new line does not fit.
    w.Boxes.Answers = {7};
    w.AddRange("15/7/255", "15/7/255", 2);
    ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(w.Boxes.Boxes[0].Flags, 36 | box::DefaultNo);
    ExpectBox(w.Boxes.Boxes[1], "No more configuration allowed!", "ZELO-EIB-ASCII Configurator", 16);
    EXPECT_EQ(w.Lines().size(), 32769u);
}

} // namespace
