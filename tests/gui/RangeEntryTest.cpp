// The setup line and group range entry through the window's own controls.
#include "GuiSupport.h"
#include "app/CheckListBox.h"
#include "model/Address.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

namespace {

using Lines = std::vector<std::string>;
const std::string SetupLine0 = "#SETUP=15.15.255;OFF;OFF;OFF";

TEST(SetupLine, RebuiltOnLeavingThePhysicalAddress) {
    WindowHarness h;
    h.ShowActive();
    auto* field = Find<QLineEdit>(h.Window(), "txtPhyAdr");
    // Typing alone changes nothing; leaving the field does. The text goes in as typed.
    field->setFocus();
    QTest::keyClicks(field, "x");
    EXPECT_EQ(h.Lines(), Lines{SetupLine0});
    for (const char* text : {"1.1.250", "any text; really", ""}) {
        h.Enter("txtPhyAdr", text);
        EXPECT_EQ(h.Lines(), Lines{std::string("#SETUP=") + text + ";OFF;OFF;OFF"});
    }
}

TEST(SetupLine, OptionBoxClicks) {
    WindowHarness h;
    h.ShowActive();
    h.AddRange("1/0/0", "1/0/10", 11);
    const struct {
        const char* Box;
        const char* Expected;
    } steps[] = {{"chkPrintHex", "#SETUP=15.15.255;OFF;ON;OFF"},
                 {"chkPrintSource", "#SETUP=15.15.255;ON;ON;OFF"},
                 {"chkFullDuplex", "#SETUP=15.15.255;ON;ON;ON"},
                 {"chkPrintHex", "#SETUP=15.15.255;ON;OFF;ON"}};
    for (const auto& step : steps) {
        QTest::mouseClick(Find<QCheckBox>(h.Window(), step.Box), Qt::LeftButton);
        EXPECT_EQ(h.Lines(), (Lines{step.Expected, "#DG1/0/0-1/0/10=VALUE;RW"})) << step.Box;
    }
    // The space key clicks as well.
    auto* duplex = Find<QCheckBox>(h.Window(), "chkFullDuplex");
    duplex->setFocus();
    QTest::keyClick(duplex, Qt::Key_Space);
    EXPECT_EQ(h.Lines()[0], "#SETUP=15.15.255;ON;OFF;OFF");
}

TEST(SetupLine, FirstLineReplacedWhateverItHolds) {
    WindowHarness h;
    h.ShowActive();
    auto* list = Find<QPlainTextEdit>(h.Window(), "CommandList");
    auto* hex = Find<QCheckBox>(h.Window(), "chkPrintHex");
    const struct {
        const char* Before;
        Lines After;
        const char* Text;
    } cases[] = {
        {"", {"#SETUP=15.15.255;OFF;ON;OFF"}, "#SETUP=15.15.255;OFF;ON;OFF"},
        {"#DG1/2/3=BIT;RW\n#DG1/2/4=BIT;RW\n",
         {"#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/2/4=BIT;RW"},
         "#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/2/4=BIT;RW\n"},
        {"\nnote", {"#SETUP=15.15.255;OFF;ON;OFF", "note"}, "#SETUP=15.15.255;OFF;ON;OFF\nnote"},
    };
    for (const auto& c : cases) {
        list->setPlainText(QString::fromLatin1(c.Before));
        QTest::mouseClick(hex, Qt::LeftButton);
        EXPECT_EQ(h.Lines(), c.After) << c.Before;
        EXPECT_EQ(list->toPlainText().toStdString(), c.Text) << c.Before;
    }
}

TEST(GroupLines, AppendedAfterTheLastLineWithTheirOwnLineEnd) {
    WindowHarness h;
    h.ShowActive();
    auto* list = Find<QPlainTextEdit>(h.Window(), "CommandList");
    h.AddRange("0/0/0", "0/0/0", 1);
    EXPECT_EQ(list->toPlainText().toStdString(), SetupLine0 + "\n#DG0/0/0=BIT;RW\n");
    // A typed line without a line end gets one put before the next line; it stays where it is.
    list->setPlainText(QString::fromStdString(SetupLine0 + "\n#DG0/0/0=BIT;RW\nmy note"));
    h.AddRange("1/2/5", "1/2/3", 1);
    EXPECT_EQ(list->toPlainText().toStdString(), SetupLine0 + "\n#DG0/0/0=BIT;RW\nmy note\n#DG1/2/5=BIT;RW");
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG0/0/0=BIT;RW", "my note", "#DG1/2/5=BIT;RW"}));
}

TEST(RangeEntry, AddressFieldsReachTheBufferOnlyWhenLeft) {
    WindowHarness h;
    h.ShowActive();
    h.AddRange("1/2/3", "1/2/9", 1);
    EXPECT_EQ(h.Lines().back(), "#DG1/2/3-1/2/9=BIT;RW");
    EXPECT_EQ(Find<QLineEdit>(h.Window(), "txtGrpAdrStart")->text().toStdString(), "1/2/3");
    // A new end typed but not left: Add still uses the old one (the button is clicked without taking focus).
    auto* end = Find<QLineEdit>(h.Window(), "txtGrpAdrEnd");
    end->setFocus();
    end->setText("1/2/20");
    Find<QPushButton>(h.Window(), "btnAdd")->click();
    EXPECT_EQ(h.Window().CurrentGroup->EndAddress, TextToGroupAddress("1/2/9"));
    EXPECT_TRUE(h.Boxes.Boxes.empty());
}

TEST(RangeEntry, BadAddressShowsTheParserMessageAndKeepsTheFocus) {
    WindowHarness h;
    h.ShowActive();
    h.Enter("txtGrpAdrStart", "4/5/6");
    for (const char* field : {"txtGrpAdrStart", "txtGrpAdrEnd"}) {
        for (const char* bad : {"1/2/300", "abc", ""}) {
            h.Boxes.Boxes.clear();
            h.Enter(field, bad);
            ASSERT_EQ(h.Boxes.Boxes.size(), 1u) << field << " " << bad;
            EXPECT_EQ(h.Boxes.Boxes[0].Text, InvalidGroupAddressMessage);
            EXPECT_EQ(h.Boxes.Boxes[0].Title, h.Window().windowTitle().toStdString());
            EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
            EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(h.Window(), field));
            // Leaving again with the same text shows the message again.
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            EXPECT_EQ(h.Boxes.Boxes.size(), 2u);
        }
        h.Enter(field, field == std::string("txtGrpAdrStart") ? "4/5/6" : "0/0/0");
    }
    EXPECT_EQ(h.Window().CurrentGroup->StartAddress, TextToGroupAddress("4/5/6"));
    EXPECT_EQ(h.Window().CurrentGroup->EndAddress, 0);
}

TEST(RangeEntry, AddWithoutDatapointType) {
    WindowHarness h;
    h.ShowActive();
    QTest::mouseClick(Find<QPushButton>(h.Window(), "btnAdd"), Qt::LeftButton);
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, "Please select a datapoint type!");
    EXPECT_EQ(h.Boxes.Boxes[0].Title, h.Window().windowTitle().toStdString());
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, 16);
    EXPECT_EQ(QApplication::focusWidget(), Find<QWidget>(h.Window(), "EibDptList"));
    EXPECT_EQ(h.Lines(), Lines{SetupLine0});
    EXPECT_FALSE(h.Window().AddCurrentGroup());
    h.ClickCheck(4);
    EXPECT_TRUE(h.Window().AddCurrentGroup());
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG0/0/0=UWORD;RW"}));
}

TEST(RangeEntry, OneCheckedDatapointType) {
    WindowHarness h;
    h.ShowActive();
    auto* list = Find<TCheckListBox>(h.Window(), "EibDptList");
    auto checked = [list] {
        std::vector<int> rows;
        for (int i = 0; i < list->count(); ++i)
            if (list->Checked(i))
                rows.push_back(i);
        return rows;
    };
    h.ClickCheck(3);
    EXPECT_EQ(checked(), std::vector<int>{3});
    h.ClickCheck(12); // second column
    EXPECT_EQ(checked(), std::vector<int>{12});
    h.ClickCheck(12);
    EXPECT_EQ(checked(), std::vector<int>{});
    // The space key toggles the current item under the same rule.
    h.ClickCheck(5);
    list->setCurrentRow(7);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_EQ(checked(), std::vector<int>{7});
    // A disabled item cannot be toggled.
    list->SetItemEnabled(9, false);
    h.ClickCheck(9);
    EXPECT_EQ(checked(), std::vector<int>{7});
    // Marks set by the program (as an import does) are left alone; Add takes the lowest.
    list->SetChecked(2, true);
    EXPECT_EQ(checked(), (std::vector<int>{2, 7}));
    EXPECT_TRUE(h.Window().AddCurrentGroup());
    EXPECT_EQ(h.Lines().back(), "#DG0/0/0=CHAR;RW");
}

TEST(RangeEntry, AccessTypeChoice) {
    WindowHarness h;
    h.ShowActive();
    const char* const access[] = {"R", "W", "RW"};
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(h.Window().AccessTypeButtons->button(i), Qt::LeftButton);
        EXPECT_EQ(h.Window().CurrentGroup->AccessType, i);
        h.AddRange(QString("1/1/%1").arg(i), "0/0/0", 1);
        EXPECT_EQ(h.Lines().back(), "#DG1/1/" + std::to_string(i) + "=BIT;" + access[i]);
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
        WindowHarness h;
        h.ShowActive();
        h.AddRange("1/2/3", "1/2/9", 1);
        h.AddRange("2/0/0", "2/0/0", 1);
        h.Boxes.Answers.push_back(c.Answer);
        h.AddRange("1/2/3", "1/2/5", 1);
        ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
        EXPECT_EQ(h.Boxes.Boxes[0].Text, Question("1/2/3", "1/2/9", "1/2/3", "1/2/5"));
        EXPECT_EQ(h.Boxes.Boxes[0].Title, h.Window().windowTitle().toStdString());
        EXPECT_EQ(h.Boxes.Boxes[0].Flags, 36);
        EXPECT_EQ(h.Lines(), c.Expected);
        // The same range again is found equal: no new line.
        h.Boxes.Answers = c.AgainAnswers;
        h.AddRange("1/2/3", "1/2/5", 1);
        EXPECT_EQ(h.Boxes.Boxes.size(), 1u + c.AgainAnswers.size());
        EXPECT_EQ(h.Lines(), c.Expected);
    }
}

TEST(SameStart, EveryFurtherEntryOfTheSameStartAsksAgain) {
    WindowHarness h;
    h.ShowActive();
    h.AddRange("3/0/0", "3/0/1", 1);
    h.Boxes.Answers = {7};
    h.AddRange("3/0/0", "3/0/2", 1);
    h.Boxes.Answers = {7, 6};
    h.AddRange("3/0/0", "3/0/3", 5);
    ASSERT_EQ(h.Boxes.Boxes.size(), 3u);
    EXPECT_EQ(h.Boxes.Boxes[2].Text, Question("3/0/0", "3/0/2", "3/0/0", "3/0/3"));
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG3/0/0-3/0/1=BIT;RW", "#DG3/0/0-3/0/3=UDWORD;RW"}));
}

TEST(SameStart, OtherAccessTypeOnlyIsFoundEqual) {
    WindowHarness h;
    h.ShowActive();
    h.AddRange("1/2/3", "1/2/9", 1);
    QTest::mouseClick(h.Window().AccessTypeButtons->button(0), Qt::LeftButton);
    h.AddRange("1/2/3", "1/2/9", 1);
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/2/3-1/2/9=BIT;RW"}));
    EXPECT_EQ(h.Window().Converter->Groups.Items(0).AccessType, 2);
}

TEST(SameStart, EndBelowStartIsTheLineOfTheStartAlone) {
    WindowHarness h;
    h.ShowActive();
    h.AddRange("1/2/5", "1/2/3", 1);
    h.AddRange("1/2/5", "1/2/5", 1);
    h.AddRange("1/2/5", "1/2/1", 1);
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG1/2/5=BIT;RW"}));
}

// The search works on what the list holds: typed lines count, deleted lines are gone, bad lines are no range.
TEST(SameStart, HandEditedList) {
    WindowHarness h;
    h.ShowActive();
    auto* list = Find<QPlainTextEdit>(h.Window(), "CommandList");
    h.AddRange("1/0/0", "1/0/0", 1);
    list->setPlainText(QString::fromStdString(SetupLine0 + "\n#DG5/5/5=BIT;W\n#DG6/6/6=bit;RW\nnote\n"));
    h.Boxes.Answers = {6};
    h.AddRange("5/5/5", "5/5/7", 1);
    ASSERT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Boxes.Boxes[0].Text, Question("5/5/5", "5/5/5", "5/5/5", "5/5/7"));
    // The line is rewritten in place with the buffer's access type.
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG5/5/5-5/5/7=BIT;RW", "#DG6/6/6=bit;RW", "note"}));
    h.AddRange("1/0/0", "1/0/0", 1); // deleted by hand: appended anew
    h.AddRange("6/6/6", "6/6/6", 1); // the lower-case keyword is no group line
    EXPECT_EQ(h.Boxes.Boxes.size(), 1u);
    EXPECT_EQ(h.Lines(), (Lines{SetupLine0, "#DG5/5/5-5/5/7=BIT;RW", "#DG6/6/6=bit;RW", "note",
                                "#DG1/0/0=BIT;RW", "#DG6/6/6=BIT;RW"}));
    // Typing into the list by keyboard is seen as well.
    list->setFocus();
    list->moveCursor(QTextCursor::End);
    QTest::keyClicks(list, "#DG7/0/0=BIT;RW");
    h.Boxes.Answers = {7};
    h.AddRange("7/0/0", "7/0/1", 1);
    EXPECT_EQ(h.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(h.Lines().back(), "#DG7/0/0-7/0/1=BIT;RW");
}

TEST(SameStart, SetupLineOverAGroupLineDropsItsEntry) {
    WindowHarness h;
    h.ShowActive();
    auto* list = Find<QPlainTextEdit>(h.Window(), "CommandList");
    list->setPlainText("#DG1/1/1=BIT;RW\n");
    h.AddRange("2/2/2", "2/2/2", 1); // the table now knows 1/1/1 from line 1
    QTest::mouseClick(Find<QCheckBox>(h.Window(), "chkPrintHex"), Qt::LeftButton);
    h.AddRange("1/1/1", "1/1/4", 1);
    EXPECT_TRUE(h.Boxes.Boxes.empty());
    EXPECT_EQ(h.Lines(), (Lines{"#SETUP=15.15.255;OFF;ON;OFF", "#DG2/2/2=BIT;RW", "#DG1/1/1-1/1/4=BIT;RW"}));
}

// A list with more group lines than the gateway's table holds: Add says so through the standard display.
TEST(SameStart, FullTableIsReported) {
    WindowHarness h;
    h.ShowActive();
    QString text = QString::fromStdString(SetupLine0) + "\n";
    for (int i = 0; i < 32768; ++i)
        text +=
            QString::fromStdString("#DG" + GroupAddressToText(static_cast<std::uint16_t>(i)) + "=BIT;RW\n");
    Find<QPlainTextEdit>(h.Window(), "CommandList")->setPlainText(text);
    // Same start as the last line with another type: asked, answered No, and the new line does not fit.
    h.Boxes.Answers = {7};
    h.AddRange("15/7/255", "15/7/255", 2);
    ASSERT_EQ(h.Boxes.Boxes.size(), 2u);
    EXPECT_EQ(h.Boxes.Boxes[0].Flags, 36);
    EXPECT_EQ(h.Boxes.Boxes[1].Text, "No more configuration allowed!");
    EXPECT_EQ(h.Boxes.Boxes[1].Title, "ZELO-EIB-ASCII Configurator");
    EXPECT_EQ(h.Boxes.Boxes[1].Flags, 16);
    EXPECT_EQ(h.Lines().size(), 32769u);
}

} // namespace
