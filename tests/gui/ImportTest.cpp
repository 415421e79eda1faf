// The ETS3 import through the window: Import, Add, Ignore, Abort, Add all, the notices and the controls'
// states.
#include "../ets/EtsTestFile.h"
#include "GuiSupport.h"
#include "app/CheckListBox.h"
#include "app/ZeloApplication.h"
#include "model/Address.h"

#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

using namespace zelo;
using namespace zelo::test;

namespace {

using Lines = std::vector<std::string>;
const std::string SetupLine0 = "#SETUP=15.15.255;OFF;OFF;OFF";
const int Information = box::Ok | box::IconInformation;

// The controls an import drives, read back as text and flags.
struct ImportView {
    explicit ImportView(TwinMain& w) : W(w) {}
    TwinMain& W;
    QPushButton* Button(const char* name) const { return Find<QPushButton>(W, name); }
    TCheckListBox* List() const { return Find<TCheckListBox>(W, "EibDptList"); }
    std::string Text(const char* field) const { return Find<QLineEdit>(W, field)->text().toStdString(); }
    std::string Status() const { return Find<QLabel>(W, "labStatus")->text().toStdString(); }
    // "I" import, "G" ignore, "B" abort, "A" add, "L" add all: the letters of the enabled buttons.
    std::string Buttons() const {
        std::string out;
        for (auto [name, letter] : {std::pair{"btnImport", 'I'},
                                    {"btnIgnore", 'G'},
                                    {"btnAbort", 'B'},
                                    {"btnAdd", 'A'},
                                    {"btnAddAll", 'L'}})
            if (Button(name)->isEnabled())
                out += letter;
        return out;
    }
    std::set<int> Enabled() const {
        std::set<int> out;
        for (int i = 0; i < List()->count(); ++i)
            if (List()->ItemEnabled(i))
                out.insert(i);
        return out;
    }
    std::set<int> Checked() const {
        std::set<int> out;
        for (int i = 0; i < List()->count(); ++i)
            if (List()->Checked(i))
                out.insert(i);
        return out;
    }
    void Click(const char* name) const {
        ASSERT_TRUE(Button(name)->isEnabled()) << name;
        QTest::mouseClick(Button(name), Qt::LeftButton);
    }
};

std::set<int> AllItems() {
    std::set<int> out;
    for (int i = 0; i < 17; ++i)
        out.insert(i);
    return out;
}

// Starts an import of the given file content through the open-file dialog.
void Import(WindowHarness& h, const std::string& content) {
    h.Boxes.Files.push_back(h.Dir.Write("export.csv", content));
    ImportView(h.Window()).Click("btnImport");
}

void ExpectIdleAfterImport(const ImportView& v) {
    EXPECT_EQ(v.Buttons(), "IA");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "0/0/0");
    EXPECT_EQ(v.Text("txtGrpAdrEnd"), "0/0/0");
    EXPECT_EQ(v.W.CurrentGroup->StartAddress, 0);
    EXPECT_EQ(v.W.CurrentGroup->EndAddress, 0);
    EXPECT_EQ(v.Enabled(), AllItems());
    EXPECT_TRUE(v.Checked().empty());
    EXPECT_EQ(v.List()->currentRow(), 0);
    EXPECT_EQ(v.Status(), "Finished importing data from ETS3!");
    EXPECT_FALSE(v.W.Importing);
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

std::vector<std::string> ZeloctlImport(const std::string& content, const char* access) {
    TempDir dir;
    auto r = RunProcess({BuiltProgram("zeloctl"), "import", "--access", access, "-"}, content);
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = r.Out.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(r.Out.substr(start, end - start));
    return lines;
}

} // namespace

TEST(Import, DialogFilterAndCancel) {
    WindowHarness h;
    ImportView v(h.Window());
    EXPECT_EQ(v.Buttons(), "IA");
    const std::string status = v.Status();
    v.Click("btnImport");
    ASSERT_EQ(h.Boxes.Filters, Lines{"CSV File (*.csv)|*.csv"});
    EXPECT_EQ(v.Buttons(), "IA");
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_FALSE(h.Window().Importing);
    EXPECT_EQ(v.Status(), status);
}

TEST(Import, EmptyFileAndWrongFormat) {
    const struct {
        std::string content;
        std::string notice;
    } cases[] = {
        {"", "Finished import from ETS3!"},
        {FieldsLine(45) + "\r\n" + EtsLine({}), "Import file has wrong format!"},
        {"\r\n" + EtsLine({}), "Import file has wrong format!"},
    };
    for (const auto& c : cases) {
        WindowHarness h;
        ImportView v(h.Window());
        Import(h, c.content);
        ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(h.Boxes.Boxes[0].Text, c.notice);
        EXPECT_EQ(h.Boxes.Boxes[0].Title, "Import");
        EXPECT_EQ(h.Boxes.Boxes[0].Flags, Information);
        ExpectIdleAfterImport(v);
        EXPECT_EQ(h.Lines(), Lines{SetupLine0});
    }
}

TEST(Import, AddIgnoreAndTheControlsOnTheWay) {
    WindowHarness h;
    h.ShowActive();
    ImportView v(h.Window());
    auto* bar = Find<QProgressBar>(h.Window(), "ProgressBar");
    Import(h, EtsFile(ThreeRanges));

    // The bit range: its type checked, so it can be accepted at once.
    EXPECT_EQ(v.Buttons(), "GBAL");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "1/1/1");
    EXPECT_EQ(v.Text("txtGrpAdrEnd"), "1/1/4");
    EXPECT_EQ(v.Status(), "Importing data from ETS3 [Lights - Ground floor / switch datatype: \"1b\"]...");
    EXPECT_EQ(v.Enabled(), (std::set<int>{1, 16}));
    EXPECT_EQ(v.Checked(), std::set<int>{1});
    EXPECT_EQ(v.List()->currentRow(), 1);
    EXPECT_EQ(bar->maximum(), 5);
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(h.Window().ImportIndex, 3);
    v.Click("btnAdd");
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW"}));

    // The two-byte range: the suggestion is highlighted, nothing checked; Add without a check keeps it
    // offered.
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "2/0/0");
    EXPECT_EQ(v.Status(), "Importing data from ETS3 [Temp - K\xC3\xBC"
                          "che / value datatype: \"2B\"]...");
    EXPECT_EQ(v.Enabled(), (std::set<int>{4, 7, 11, 16}));
    EXPECT_TRUE(v.Checked().empty());
    EXPECT_EQ(v.List()->currentRow(), 4);
    EXPECT_EQ(bar->value(), 3);
    v.Click("btnAdd");
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Please select a datapoint type!");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "2/0/0");
    EXPECT_EQ(h.Window().ImportIndex, 4);
    h.ClickCheck(7);
    v.Click("btnAdd");
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW", "#DG2/0/0=WORD;RW"}));

    // Seven bits: nothing to accept, only Ignore and Abort lead on.
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "3/0/0");
    EXPECT_EQ(v.Buttons(), "GBL");
    EXPECT_EQ(v.Enabled(), std::set<int>{16});
    v.Click("btnIgnore");
    ASSERT_EQ(h.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(h.Boxes.Boxes[1].Text, "Finished import from ETS3!");
    EXPECT_EQ(h.Boxes.Boxes[1].Title, "Import");
    EXPECT_EQ(h.Boxes.Boxes[1].Flags, Information);
    ExpectIdleAfterImport(v);
    EXPECT_EQ(bar->value(), 5);
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;RW", "#DG2/0/0=WORD;RW"}));
}

TEST(Import, AbortEndsWithoutNoticeAndKeepsTheBuffersTypeAndAccess) {
    WindowHarness h;
    ImportView v(h.Window());
    QTest::mouseClick(Find<QRadioButton>(h.Window(), "grpAccessType0"), Qt::LeftButton);
    Import(h, EtsFile(ThreeRanges));
    v.Click("btnAdd");
    v.Click("btnAbort");
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    ExpectIdleAfterImport(v);
    EXPECT_EQ(h.Window().CurrentGroup->DatapointType, 1);
    EXPECT_EQ(h.Window().CurrentGroup->AccessType, 0);
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/1/1-1/1/4=BIT;R"}));
    // A new import starts from the first line again.
    Import(h, EtsFile(ThreeRanges));
    EXPECT_EQ(v.Text("txtGrpAdrEnd"), "1/1/4");
}

TEST(Import, DisabledItemsCannotBeToggledAndOtherKeepsItsMark) {
    WindowHarness h;
    h.ShowActive();
    ImportView v(h.Window());
    Import(h, EtsFile(ThreeRanges));
    // "other" checked by the user with the bit type checked by the offer: Add takes the lower index.
    h.ClickCheck(16);
    EXPECT_EQ(v.Checked(), (std::set<int>{16}));
    h.ClickCheck(1);
    EXPECT_EQ(v.Checked(), (std::set<int>{1}));
    h.ClickCheck(16);
    v.List()->SetChecked(1, true); // as the offer leaves it: both marked
    v.Click("btnAdd");
    EXPECT_EQ(h.Lines().back(), "#DG1/1/1-1/1/4=BIT;RW");
    // The byte range: "other" kept its mark; the disabled items do not react to a click or the space key.
    EXPECT_EQ(v.Checked(), std::set<int>{16});
    for (int row : {0, 1, 2, 5}) {
        h.ClickCheck(row);
        v.List()->setCurrentRow(row);
        v.List()->setFocus();
        QTest::keyClick(v.List(), Qt::Key_Space);
        EXPECT_FALSE(v.List()->Checked(row)) << row;
    }
    EXPECT_EQ(v.Checked(), std::set<int>{16});
    h.ClickCheck(11);
    EXPECT_EQ(v.Checked(), std::set<int>{11});
    v.Click("btnAdd");
    EXPECT_EQ(h.Lines().back(), "#DG2/0/0=VALUE;RW");
}

TEST(Import, DatatypeTextWithoutNumberAndLetterLeavesTheList) {
    WindowHarness h;
    ImportView v(h.Window());
    Import(h, EtsFile({{"A", "1/0/0", "1b"}, {"B", "1/0/1", "bit"}}));
    v.Click("btnIgnore");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "1/0/1");
    EXPECT_EQ(v.Enabled(), (std::set<int>{1, 16}));
    EXPECT_EQ(v.Checked(), std::set<int>{1});
    EXPECT_EQ(v.Buttons(), "GBL");
}

TEST(Import, AddressThatDoesNotReadIsShownAndPassedOver) {
    WindowHarness h;
    ImportView v(h.Window());
    Import(h, EtsFile({{"A", "1/0/0", "1b"}, {"Bad", "1/9/0", "2B", "M", "D"}, {"C", "1/2/0", "4B"}}));
    v.Click("btnIgnore");
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, StandardErrorText(InvalidGroupAddressMessage));
    EXPECT_EQ(h.Boxes.Boxes[0].Title, ApplicationTitle);
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, box::Ok | box::IconError);
    // The status names the line; the controls still show the range before; nothing can be accepted.
    EXPECT_EQ(v.Status(), "Importing data from ETS3 [Bad - M / D datatype: \"2B\"]...");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "1/0/0");
    EXPECT_EQ(v.Buttons(), "GB");
    v.Click("btnIgnore");
    EXPECT_EQ(v.Text("txtGrpAdrStart"), "1/2/0");
    EXPECT_EQ(v.Enabled(), (std::set<int>{5, 8, 14, 16}));
    EXPECT_EQ(v.Buttons(), "GBAL");
}

TEST(Import, FileThatCannotBeReadLeavesTheWindowIdle) {
    WindowHarness h;
    ImportView v(h.Window());
    h.Boxes.Files.push_back(h.Dir.File("gone.csv"));
    v.Click("btnImport");
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_NE(h.Boxes.Boxes[0].Text.find("gone.csv"), std::string::npos) << h.Boxes.Boxes[0].Text;
    EXPECT_EQ(h.Boxes.Boxes[0].Title, ApplicationTitle);
    EXPECT_EQ(v.Buttons(), "IA");
    EXPECT_FALSE(h.Window().Importing);
}

TEST(Import, AddAllAcceptsEveryRange) {
    WindowHarness h;
    h.ShowActive();
    ImportView v(h.Window());
    QTest::mouseClick(Find<QRadioButton>(h.Window(), "grpAccessType1"), Qt::LeftButton);
    std::vector<EtsRow> rows = {
        {"A", "1/0/0", "2B"}, {"B", "1/1/0", "1b"}, {"B", "1/1/1", "1b"},
        {"C", "1/2/0", "5B"}, {"D", "1/9/0", "1b"}, {"E", "1/3/0", "14B"},
        {"B", "1/1/0", "1b"}, {"B", "1/1/1", "1b"}, {"F", "1/1/0", "4B"},
    };
    Import(h, EtsFile(rows));
    h.ClickCheck(11); // the offered range takes the user's choice, the rest their own offer
    h.Boxes.Answers.push_back(box::IdNo);
    v.Click("btnAddAll");
    // The repeated 1/1/0..1/1/1 adds nothing; the same start with another type asks, and No keeps both.
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/0/0=VALUE;W", "#DG1/1/0-1/1/1=BIT;W", "#DG1/3/0=STRING;W",
                                "#DG1/1/0=UDWORD;W"}));
    // The line whose address does not read is counted, not shown: one question, then the notice.
    ASSERT_EQ(h.Boxes.Boxes.size(), 2u) << h.Boxes.Boxes.back().Text;
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, box::YesNo | box::IconQuestion);
    EXPECT_EQ(h.Boxes.Boxes[1].Text, "Finished import from ETS3!\n\n4 ranges added, 2 ranges skipped, 1 "
                                     "range already in the list or replaced.");
    EXPECT_EQ(h.Boxes.Boxes[1].Title, "Import");
    ExpectIdleAfterImport(v);
}

TEST(Import, AddAllStopsAtAWronglyFormattedLine) {
    WindowHarness h;
    ImportView v(h.Window());
    Import(h, EtsFile({{"A", "1/0/0", "1b"}}) + "\r\n" + EtsFile({{"B", "1/0/1", "1b"}}));
    v.Click("btnAddAll");
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/0/0=BIT;RW"}));
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Import file has wrong format!\n\n1 range added, 0 ranges skipped.");
    ExpectIdleAfterImport(v);
}

TEST(Import, WindowGivesTheLinesOfZeloctlImport) {
    const std::vector<EtsRow> rows = {
        {"Lights", "1/1/1", "1b"}, {"Lights", "1/1/2", "1b"}, {"Lights", "1/1/4", "1b"},
        {"Dim", "1/2/0", "1B"},    {"Dim", "1/2/1", "1B"},    {"Text", "1/3/0", "14B"},
    };
    const std::string content = EtsFile(rows);
    const Lines cli = ZeloctlImport(content, "R");
    ASSERT_EQ(cli.size(), 3u);

    // Range by range, accepting each suggestion as the user would.
    WindowHarness stepwise;
    stepwise.ShowActive();
    ImportView v(stepwise.Window());
    QTest::mouseClick(Find<QRadioButton>(stepwise.Window(), "grpAccessType0"), Qt::LeftButton);
    Import(stepwise, content);
    while (stepwise.Window().Importing) {
        int current = v.List()->currentRow();
        if (!v.List()->Checked(current))
            stepwise.ClickCheck(current);
        v.Click("btnAdd");
    }
    Lines window = stepwise.Lines();
    EXPECT_EQ(window, (Lines{SetupLine0, cli[0], cli[1], cli[2]}));

    WindowHarness batch;
    QTest::mouseClick(Find<QRadioButton>(batch.Window(), "grpAccessType0"), Qt::LeftButton);
    Import(batch, content);
    ImportView(batch.Window()).Click("btnAddAll");
    EXPECT_EQ(batch.Lines(), window);
}
