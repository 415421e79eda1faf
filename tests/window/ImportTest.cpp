// The ETS3 import through the window: Import, Add, Ignore, Abort, Add all, the notices and the controls'
// states.
#include "../ets/EtsTestFile.h"
#include "FakeWindow.h"
#include "ImportSupport.h"
#include "model/Address.h"
#include "window/StandardError.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

const int Information = box::Ok | box::IconInformation;

void ExpectIdleAfterImport(FakeWindow& w) {
    ExpectImportIdle(w, "Finished importing data from ETS3!");
    EXPECT_EQ(w.Logic().CurrentGroup->StartAddress, 0);
    EXPECT_EQ(w.Logic().CurrentGroup->EndAddress, 0);
    EXPECT_EQ(w.EibDptList.Current, 0);
}

const std::vector<EtsRow> ThreeRanges = {
    {"Lights", "1/1/1", "1b", "Ground floor", "switch"},
    {"Lights", "1/1/2", "1b", "Ground floor", "switch"},
    {"Lights", "1/1/4", "1b", "Ground floor", "switch"},
    {"Temp", "2/0/0", "2B",
     "K\xC3\xBC"
     "che",
     "value"},
    {"Odd", "3/0/0", "7b", "Cellar", "x"},
};

TEST(Import, DialogFilterAndCancel) {
    FakeWindow w;
    EXPECT_EQ(ImportButtons(w), "IA");
    const std::string status = w.labStatus.Value;
    w.Click(w.btnImport);
    ASSERT_EQ(w.Boxes.Filters,
              Lines{"ETS files (*.csv *.xml *.esf *.knxproj)|*.csv;*.xml;*.esf;*.knxproj|ETS "
                    "export (*.csv *.xml *.esf)|*.csv;*.xml;*.esf|ETS project "
                    "(*.knxproj)|*.knxproj|All files|*"});
    EXPECT_EQ(ImportButtons(w), "IA");
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    EXPECT_FALSE(w.Logic().Importing);
    EXPECT_EQ(w.labStatus.Value, status);
}

TEST(Import, EmptyFileAndWrongFormat) {
    const struct {
        std::string content;
        std::string notice;
    } cases[] = {
        {"", "Finished import from ETS3!"},
        // The second line names the file's line, so the user can find it.
        {FieldsLine(45) + "\r\n" + EtsLine({}),
         "Import file has wrong format!\nLine 1 has 45 fields; an ETS3 export line has 46 or more."},
        {"\r\n" + EtsLine({}),
         "Import file has wrong format!\nLine 1 is empty; an ETS3 export line has 46 or more fields."},
    };
    for (const auto& c : cases) {
        FakeWindow w;
        Import(w, c.content);
        ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
        ExpectBox(w.Boxes.Boxes[0], c.notice, "Import", Information);
        ExpectIdleAfterImport(w);
        EXPECT_EQ(w.Lines(), Lines{SetupLine0});
    }
}

TEST(Import, AddIgnoreAndTheControlsOnTheWay) {
    FakeWindow w;
    Import(w, EtsFile(ThreeRanges));

    // The bit range: its type checked, so it can be accepted at once.
    EXPECT_EQ(ImportButtons(w), "GBAL");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/1/1");
    EXPECT_EQ(w.txtGrpAdrEnd.Value, "1/1/4");
    EXPECT_EQ(w.labStatus.Value,
              "Importing data from ETS3 [Lights - Ground floor / switch datatype: \"1b\"]...");
    EXPECT_EQ(w.EibDptList.EnabledRows(), (std::vector<int>{1, 16}));
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{1});
    EXPECT_EQ(w.EibDptList.Current, 1);
    EXPECT_EQ(w.ProgressBar.Maximum, 5);
    EXPECT_EQ(w.ProgressBar.Position, 0);
    EXPECT_EQ(w.Logic().ImportIndex, 3);
    w.Click(w.btnAdd);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW"}));

    // The two-byte range: the suggestion is highlighted, nothing checked; Add without a check keeps it
    // offered.
    EXPECT_EQ(w.txtGrpAdrStart.Value, "2/0/0");
    EXPECT_EQ(w.labStatus.Value, "Importing data from ETS3 [Temp - K\xC3\xBC"
                                 "che / value datatype: \"2B\"]...");
    EXPECT_EQ(w.EibDptList.EnabledRows(), (std::vector<int>{4, 7, 11, 16}));
    EXPECT_TRUE(w.EibDptList.CheckedRows().empty());
    EXPECT_EQ(w.EibDptList.Current, 4);
    EXPECT_EQ(w.ProgressBar.Position, 3);
    w.Click(w.btnAdd);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Text, "Please select a datapoint type!");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "2/0/0");
    EXPECT_EQ(w.Logic().ImportIndex, 4);
    w.ToggleType(7);
    w.Click(w.btnAdd);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW", "#DG2/0/0=WORD;RW"}));

    // Seven bits: nothing to accept, only Ignore and Abort lead on.
    EXPECT_EQ(w.txtGrpAdrStart.Value, "3/0/0");
    EXPECT_EQ(ImportButtons(w), "GBL");
    EXPECT_EQ(w.EibDptList.EnabledRows(), std::vector<int>{16});
    w.Click(w.btnIgnore);
    ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
    ExpectBox(w.Boxes.Boxes[1], "Finished import from ETS3!", "Import", Information);
    ExpectIdleAfterImport(w);
    EXPECT_EQ(w.ProgressBar.Position, 5);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW", "#DG2/0/0=WORD;RW"}));
}

TEST(Import, AbortEndsWithoutNoticeAndKeepsTheBuffersTypeAndAccess) {
    FakeWindow w;
    w.ChooseAccess(0);
    Import(w, EtsFile(ThreeRanges));
    w.Click(w.btnAdd);
    w.Click(w.btnAbort);
    EXPECT_TRUE(w.Boxes.Boxes.empty());
    ExpectIdleAfterImport(w);
    EXPECT_EQ(w.Logic().CurrentGroup->DatapointType, 1);
    EXPECT_EQ(w.Logic().CurrentGroup->AccessType, 0);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;R"}));
    // A new import starts from the first line again.
    Import(w, EtsFile(ThreeRanges));
    EXPECT_EQ(w.txtGrpAdrEnd.Value, "1/1/4");
}

TEST(Import, DisabledItemsCannotBeToggledAndOtherKeepsItsMark) {
    FakeWindow w;
    Import(w, EtsFile(ThreeRanges));
    // "other" checked by the user with the bit type checked by the offer: Add takes the lower index.
    w.ToggleType(16);
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{16});
    w.ToggleType(1);
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{1});
    w.ToggleType(16);
    w.EibDptList.SetChecked(1, true); // as the offer leaves it: both marked
    w.Click(w.btnAdd);
    EXPECT_EQ(w.Lines().back(), "#DG1/1/1-1/1/4=BIT;RW");
    // The byte range: "other" kept its mark; the disabled items do not react.
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{16});
    for (int row : {0, 1, 2, 5}) {
        w.ToggleType(row);
        EXPECT_FALSE(w.EibDptList.Checked(row)) << row;
    }
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{16});
    w.ToggleType(11);
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{11});
    w.Click(w.btnAdd);
    EXPECT_EQ(w.Lines().back(), "#DG2/0/0=VALUE;RW");
}

TEST(Import, DatatypeTextWithoutNumberAndLetterLeavesTheList) {
    FakeWindow w;
    Import(w, EtsFile({{"A", "1/0/0", "1b"}, {"B", "1/0/1", "bit"}}));
    w.Click(w.btnIgnore);
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/0/1");
    EXPECT_EQ(w.EibDptList.EnabledRows(), (std::vector<int>{1, 16}));
    EXPECT_EQ(w.EibDptList.CheckedRows(), std::vector<int>{1});
    EXPECT_EQ(ImportButtons(w), "GBL");
}

TEST(Import, AddressThatDoesNotReadIsShownAndPassedOver) {
    FakeWindow w;
    Import(w, EtsFile({{"A", "1/0/0", "1b"}, {"Bad", "1/9/0", "2B", "M", "D"}, {"C", "1/2/0", "4B"}}));
    w.Click(w.btnIgnore);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    ExpectBox(w.Boxes.Boxes[0],
              std::string(InvalidGroupAddressMessage) + "\nLine 2 holds the address \"1/9/0\".",
              ApplicationTitle, box::Ok | box::IconError);
    // The status names the line; the controls still show the range before; nothing can be accepted.
    EXPECT_EQ(w.labStatus.Value, "Importing data from ETS3 [Bad - M / D datatype: \"2B\"]...");
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/0/0");
    EXPECT_EQ(ImportButtons(w), "GB");
    w.Click(w.btnIgnore);
    EXPECT_EQ(w.txtGrpAdrStart.Value, "1/2/0");
    EXPECT_EQ(w.EibDptList.EnabledRows(), (std::vector<int>{5, 8, 14, 16}));
    EXPECT_EQ(ImportButtons(w), "GBAL");
}

TEST(Import, FileThatCannotBeReadLeavesTheWindowIdle) {
    FakeWindow w;
    w.Boxes.Files.push_back(w.Dir.File("gone.csv"));
    w.Click(w.btnImport);
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_NE(w.Boxes.Boxes[0].Text.find("gone.csv"), std::string::npos) << w.Boxes.Boxes[0].Text;
    EXPECT_EQ(w.Boxes.Boxes[0].Title, ApplicationTitle);
    EXPECT_EQ(ImportButtons(w), "IA");
    EXPECT_FALSE(w.Logic().Importing);
}

TEST(Import, AddAllAcceptsEveryRange) {
    FakeWindow w;
    w.ChooseAccess(1);
    std::vector<EtsRow> rows = {
        {"A", "1/0/0", "2B"}, {"B", "1/1/0", "1b"}, {"B", "1/1/1", "1b"},
        {"C", "1/2/0", "5B"}, {"D", "1/9/0", "1b"}, {"E", "1/3/0", "14B"},
        {"B", "1/1/0", "1b"}, {"B", "1/1/1", "1b"}, {"F", "1/1/0", "4B"},
    };
    Import(w, EtsFile(rows));
    w.ToggleType(11); // the offered range takes the user's choice, the rest their own offer
    w.Boxes.Answers.push_back(box::IdNo);
    w.Click(w.btnAddAll);
    // The repeated 1/1/0..1/1/1 adds nothing; the same start with another type asks, and No keeps both.
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/0/0=VALUE;W", "#DG1/1/0-1/1/1=BIT;W", "#DG1/3/0=STRING;W",
                                "#DG1/1/0=UDWORD;W"}));
    // The line whose address does not read is counted, not shown: one question, then the notice.
    ASSERT_EQ(w.Boxes.Boxes.size(), 2u) << w.Boxes.Boxes.back().Text;
    EXPECT_EQ(w.Boxes.Boxes[0].Flags, box::YesNoToAll | box::IconQuestion | box::DefaultNo);
    EXPECT_EQ(w.Boxes.Boxes[0].Default, box::IdNo);
    EXPECT_EQ(w.Boxes.Boxes[1].Text, "Finished import from ETS3!\n\n4 ranges added, 2 ranges skipped, 1 "
                                     "range already in the list or replaced.");
    EXPECT_EQ(w.Boxes.Boxes[1].Title, "Import");
    ExpectIdleAfterImport(w);
}

// During Add all the same-start question also answers for the rest of the run.
TEST(Import, AddAllAnswersToAll) {
    const std::string typed = SetupLine0 + "\n#DG1/0/0=BIT;W\n#DG1/1/0=BIT;W\n#DG1/2/0=BIT;W\n";
    const Lines before = {SetupLine0, "#DG1/0/0=BIT;W", "#DG1/1/0=BIT;W", "#DG1/2/0=BIT;W"};
    const struct {
        const char* Case;
        std::deque<int> Answers;
        Lines Added;        // behind the typed lines
        Lines Replacements; // the typed lines after the run
        std::string Counts;
    } cases[] = {
        {"yes to all",
         {box::IdYesToAll},
         {},
         {"#DG1/0/0=UDWORD;RW", "#DG1/1/0=UDWORD;RW", "#DG1/2/0=UDWORD;RW"},
         "0 ranges added, 0 ranges skipped, 3 ranges already in the list or replaced."},
        {"no to all",
         {box::IdNoToAll},
         {"#DG1/0/0=UDWORD;RW", "#DG1/1/0=UDWORD;RW", "#DG1/2/0=UDWORD;RW"},
         {},
         "3 ranges added, 0 ranges skipped."},
        {"yes, then no to all",
         {box::IdYes, box::IdNoToAll},
         {"#DG1/1/0=UDWORD;RW", "#DG1/2/0=UDWORD;RW"},
         {"#DG1/0/0=UDWORD;RW"},
         "2 ranges added, 0 ranges skipped, 1 range already in the list or replaced."},
        {"one by one",
         {box::IdNo, box::IdYes, box::IdNo},
         {"#DG1/0/0=UDWORD;RW", "#DG1/2/0=UDWORD;RW"},
         {"#DG1/1/0=UDWORD;RW"},
         "2 ranges added, 0 ranges skipped, 1 range already in the list or replaced."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        FakeWindow w;
        w.EditCommandList(typed);
        Import(w, EtsFile({{"A", "1/0/0", "4B"}, {"B", "1/1/0", "4B"}, {"C", "1/2/0", "4B"}}));
        w.Boxes.Answers = c.Answers;
        int shownAtNotice = -2;
        w.Boxes.OnBox = [&](const ShownBox& shown) {
            if (shown.Title == "Import")
                shownAtNotice = w.CommandList.ShownLine;
        };
        w.Click(w.btnAddAll);
        Lines expected = before;
        for (const std::string& line : c.Replacements)
            for (std::string& old : expected)
                if (old.substr(0, 9) == line.substr(0, 9))
                    old = line;
        expected.insert(expected.end(), c.Added.begin(), c.Added.end());
        EXPECT_EQ(w.Lines(), expected);
        ASSERT_EQ(w.Boxes.Boxes.size(), c.Answers.size() + 1);
        for (std::size_t i = 0; i < c.Answers.size(); ++i)
            EXPECT_EQ(w.Boxes.Boxes[i].Flags, box::YesNoToAll | box::IconQuestion | box::DefaultNo);
        EXPECT_EQ(w.Boxes.Boxes.back().Text, "Finished import from ETS3!\n\n" + c.Counts);
        EXPECT_EQ(shownAtNotice, w.CommandList.ShownLine) << "the end is shown behind the notice already";
        EXPECT_TRUE(w.Boxes.Answers.empty());
        // The list shows where the run ended.
        EXPECT_EQ(w.CommandList.ShownLine, c.Added.empty() ? -1 : static_cast<int>(expected.size()) - 1);
        // After the run a plain Add asks again, with two buttons (for each line of that start).
        const std::size_t shown = w.Boxes.Boxes.size();
        w.Boxes.Answers = {box::IdNo, box::IdNo};
        w.AddRange("1/2/0", "1/2/0", 2);
        ASSERT_GT(w.Boxes.Boxes.size(), shown);
        EXPECT_EQ(w.Boxes.Boxes[shown].Flags, box::YesNo | box::IconQuestion | box::DefaultNo);
    }
}

TEST(Import, AddAllStopsAtAWronglyFormattedLine) {
    FakeWindow w;
    Import(w, EtsFile({{"A", "1/0/0", "1b"}}) + "\r\n" + EtsFile({{"B", "1/0/1", "1b"}}));
    w.Click(w.btnAddAll);
    EXPECT_EQ(w.Lines(), (Lines{SetupLine0, "#DG1/0/0=BIT;RW"}));
    ASSERT_EQ(w.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(w.Boxes.Boxes[0].Text,
              "Import file has wrong format!\nLine 2 is empty; an ETS3 export line has 46 "
              "or more fields.\n\n1 range added, 0 ranges skipped.");
    ExpectIdleAfterImport(w);
}

// A full table during Add all: the ranges so far stay, the import ends, and the error is shown.
TEST(Import, AddAllIntoAFullTableEndsTheImport) {
    FakeWindow w;
    w.EditCommandList(FullCommandList());
    Import(w, EtsFile({{"A", "1/0/0", "2B"}}));
    w.ToggleType(4);
    w.Boxes.Answers.push_back(box::IdNo);
    w.Click(w.btnAddAll);
    ASSERT_EQ(w.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(w.Boxes.Boxes[1].Text, "No more configuration allowed!");
    EXPECT_EQ(w.Boxes.Boxes[1].Title, ApplicationTitle);
    ExpectIdleAfterImport(w);
    EXPECT_EQ(w.Lines().size(), 32769u);
}

} // namespace
