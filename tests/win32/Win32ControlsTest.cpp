// The Windows controls of the view, in a small window of their own: the check list, an edit field's leave
// rule, the boxes, the gauge and the command list's edit control.
#include "Win32TestSupport.h"
#include "model/DatapointTypes.h"
#include "window/TwinMain.h"
#include "window/win32/Win32Buttons.h"
#include "window/win32/Win32CheckList.h"
#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32EditField.h"
#include "window/win32/Win32Form.h"
#include "window/win32/Win32Gauge.h"
#include "window/win32/Win32MultiLineEdit.h"
#include "window/win32/Win32Panel.h"
#include "window/win32/Win32Text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace zelo;
using namespace zelo::win32;
using zelo::test::BoxAnswerer;
using zelo::test::ClickAt;
using zelo::test::NoWindow;
using zelo::test::Pixels;
using zelo::test::PumpPending;
using zelo::test::ScriptedDialogs;
using zelo::test::TempFolder;

namespace {

TEST(Win32Text, ConvertsBetweenUtf8AndUtf16) {
    const struct {
        std::string Utf8;
        std::wstring Utf16;
        std::string Back; // what comes back from the UTF-16
    } rows[] = {
        {"", L"", ""},
        {"Group addresses", L"Group addresses", "Group addresses"},
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         L"Gr\u00FC\u00DFe \u20AC",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC"},
        {"\xF0\x9F\x98\x80", std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)}, "\xF0\x9F\x98\x80"},
        // Broken UTF-8 is shown as the replacement character, the rest kept.
        {"a\xC3z", L"a\uFFFDz", "a\xEF\xBF\xBDz"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Back);
        EXPECT_EQ(WideText(row.Utf8), row.Utf16);
        EXPECT_EQ(Utf8Text(row.Utf16), row.Back);
    }
}

// A box's text with its detail is checked as a real box shows it (MinimalWindow.RealBoxes...).
TEST(Win32Dialogs, FiltersTakeTheFormWindowsWants) {
    using namespace std::string_literals;
    const struct {
        std::string Filter;
        std::wstring Expected;
    } filters[] = {
        {"CSV File (*.csv)|*.csv", L"CSV File (*.csv)\0*.csv\0\0"s},
        {"CSV File (*.csv)|*.csv|All files|*.*", L"CSV File (*.csv)\0*.csv\0All files\0*.*\0\0"s},
        {"Lists", L"Lists\0*.*\0\0"s},
        {ImportOpenFilter,
         L"ETS files (*.csv *.xml *.esf *.knxproj)\0*.csv;*.xml;*.esf;*.knxproj\0ETS export "
         L"(*.csv *.xml *.esf)\0*.csv;*.xml;*.esf\0ETS project (*.knxproj)\0"
         L"*.knxproj\0All files\0*\0\0"s},
        {"", L"\0\0"s},
    };
    for (const auto& row : filters) {
        SCOPED_TRACE(row.Filter);
        EXPECT_EQ(OpenFileFilter(row.Filter), row.Expected);
    }
}

TEST(Win32Gauge, ShowsThePercentageDone) {
    const struct {
        int Minimum, Maximum, Position, Percent;
    } rows[] = {
        {0, 100, 0, 0},
        {0, 100, 50, 50},
        {0, 3, 1, 33},
        {0, 3, 3, 100},
        {0, 0, 0, 0},
        {5, 5, 7, 0},
        {0, 10, 11, 100},
        {0, 10, -1, 0},
        {10, 20, 15, 50},
        {0, 32769, 32769, 100},
        {-2147483647, 2147483647, 0, 50},
        {-2147483647, 2147483647, -1, 49},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.Minimum << ".." << row.Maximum << " at " << row.Position);
        EXPECT_EQ(GaugePercent(row.Minimum, row.Maximum, row.Position), row.Percent);
    }
}

// A window with two edit fields, the check list, a button and the gauge in a panel: the first field judges
// its text when it is left, as the window's address fields do.
class MinimalWindow : public ::testing::Test {
protected:
    void SetUp() override {
        Fonts = std::make_unique<FontSet>(96);
        ASSERT_TRUE(Window.Create("Controls", WS_OVERLAPPEDWINDOW)) << NoWindow;
        Box.Create(Window.Handle(), 100);
        Box.Place({0, 0, 700, 300});
        First.Create(Box.Handle(), 101);
        First.Place({8, 8, 161, 30});
        Second.Create(Box.Handle(), 102);
        Second.Place({8, 40, 161, 62});
        List.Create(Box.Handle(), 103, 2);
        List.SetFont(Fonts->Message());
        List.Place({170, 8, 699, 131});
        std::vector<std::string> types;
        FillDatapointTypeList(types);
        List.SetItems(types);
        Add.Create(Box.Handle(), 104, "&Add");
        Add.Place({8, 150, 113, 175});
        Bar.Create(Box.Handle(), 105);
        Bar.Place({8, 200, 208, 217});
        Text.Create(Window.Handle(), 106);
        Text.Place({0, 300, 700, 400});
        for (Control* control : std::initializer_list<Control*>{&First, &Second, &Add, &Bar, &Text})
            control->SetFont(Fonts->Message());
        First.OnLeave = [this] { Judge(First); };
        Second.OnLeave = [this] { Judge(Second); };
        List.OnCheckClicked = [this](int row) { Toggled.push_back(row); };
        Add.OnClick = [this] { ++Clicks; };
        Window.FitAndCenter({700, 400});
        ::ShowWindow(Window.Handle(), SW_SHOW);
        ::UpdateWindow(Window.Handle());
        ::SetForegroundWindow(Window.Handle());
        PumpPending(Window.Handle());
    }

    // A text other than "ok" is refused: a box, then the focus back into the field.
    void Judge(EditField& field) {
        Judged.push_back(&field == &First ? "First" : "Second");
        if (field.Text() != "ok") {
            Boxes.MessageBox("bad text", "Controls", box::Ok | box::IconError);
            field.Focus();
        }
    }

    std::unique_ptr<FontSet> Fonts;
    Form Window;
    Panel Box;
    EditField First;
    EditField Second;
    CheckList List;
    Button Add;
    Gauge Bar;
    MultiLineEdit Text;
    ScriptedDialogs Boxes;
    std::vector<std::string> Judged;
    std::vector<int> Toggled;
    int Clicks = 0;
};

TEST_F(MinimalWindow, AFieldIsLeftOnlyWhenTheFocusMovesToAnotherControlOfTheWindow) {
    HWND other = ::CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                   nullptr, nullptr, nullptr, nullptr);
    HWND popup = ::CreateWindowExW(0, L"STATIC", L"popup", WS_POPUP | WS_VISIBLE, 10, 10, 50, 50,
                                   Window.Handle(), nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ASSERT_NE(popup, nullptr);
    const struct {
        const char* Move;
        HWND Target;
        bool ByProgram;
        bool Left;
    } rows[] = {
        {"to the next field", Second.Handle(), false, true},
        {"to the check list", List.Handle(), false, true},
        {"to the button", Add.Handle(), false, true},
        {"to the window itself (activation)", Window.Handle(), false, false},
        {"to another window of the program", other, false, false},
        {"to a popup owned by the window (a box)", popup, false, false},
        {"to no window (deactivation)", nullptr, false, false},
        {"by the program to the next field", Second.Handle(), true, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Move);
        First.SetText("ok");
        ::SetActiveWindow(Window.Handle());
        First.Focus();
        PumpPending(Window.Handle());
        ASSERT_EQ(::GetFocus(), First.Handle());
        Judged.clear();
        if (row.ByProgram)
            MoveFocus(row.Target);
        else
            ::SetFocus(row.Target);
        PumpPending(Window.Handle());
        EXPECT_EQ(Judged, row.Left ? std::vector<std::string>{"First"} : std::vector<std::string>{});
    }
    ::DestroyWindow(popup);
    ::DestroyWindow(other);
}

TEST_F(MinimalWindow, ARefusedFieldShowsOneBoxAndKeepsTheFocusAlsoWhenTheNextFieldIsBadToo) {
    First.SetText("1/2/300");
    Second.SetText("neither");
    First.Focus();
    PumpPending(Window.Handle());
    ::SetFocus(Second.Handle()); // the user tabs on
    PumpPending(Window.Handle());
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, "bad text");
    EXPECT_EQ(Judged, std::vector<std::string>{"First"}) << "taking the focus back leaves no other field";
    EXPECT_EQ(::GetFocus(), First.Handle());
    // Every further attempt with the same text is judged again.
    ::SetFocus(Add.Handle());
    PumpPending(Window.Handle());
    EXPECT_EQ(Boxes.Boxes.size(), 2u);
    EXPECT_EQ(::GetFocus(), First.Handle());
}

TEST_F(MinimalWindow, RealBoxesShowTheirTitleAndTextAndReturnTheButtonPressed) {
    Win32Dialogs dialogs;
    dialogs.SetOwner(Window.Handle());
    const struct {
        std::string Text;
        std::string Title;
        std::string Detail;
        int Flags;
        int Answer;
        std::string Shown;
    } rows[] = {
        {"Please select a datapoint type!", "ZELO-KNX-ASCII Configurator V1.0.2.3", "",
         box::Ok | box::IconError, box::IdOk, "Please select a datapoint type!"},
        {"Finished import from ETS3!", "Import", "", box::Ok | box::IconInformation, box::IdOk,
         "Finished import from ETS3!"},
        {"Replace?\n\nwith",
         "Gr\xC3\xBC\xC3\x9F"
         "e",
         "", box::YesNo | box::IconQuestion, box::IdNo, "Replace?\n\nwith"},
        {"Can't open COM3!", "T", "Access is denied.", box::Ok | box::IconError, box::IdOk,
         "Can't open COM3!\n\nAccess is denied."},
        // Four buttons no message box has: a task dialog, the detail behind its expander.
        {"Group with same starting address allready exists.", "Add all", "Line 2: #DG1/2/3=BIT;RW",
         box::YesNoToAll | box::IconQuestion, box::IdYesToAll, ""},
        {"Group with same starting address allready exists.", "Add all", "",
         box::YesNoToAll | box::IconQuestion, box::IdNoToAll, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Text);
        BoxAnswerer answerer(row.Answer);
        EXPECT_EQ(dialogs.MessageBox(row.Text, row.Title, row.Flags, row.Detail), row.Answer);
        ASSERT_EQ(answerer.Boxes.size(), 1u);
        EXPECT_EQ(answerer.Boxes[0].Title, row.Title);
        std::string shown = answerer.Boxes[0].Text;
        std::erase(shown, '\r');
        EXPECT_EQ(shown, row.Shown);
        EXPECT_EQ(answerer.Boxes[0].HasNo,
                  (row.Flags & 0x0F) == box::YesNo || (row.Flags & 0x0F) == box::YesNoToAll);
        EXPECT_TRUE(::IsWindowEnabled(Window.Handle())) << "the owner is enabled again after the box";
    }
}

TEST_F(MinimalWindow, ThePasswordPromptIsMaskedAndGivesWhatWasTypedOnOk) {
    Win32Dialogs dialogs;
    dialogs.SetOwner(Window.Handle());
    const struct {
        const char* Name;
        std::wstring Typed;
        int Answer;
        std::optional<std::string> Expected;
    } rows[] = {
        {"OK", L"test", IDOK, "test"},
        {"not ASCII", L"Gr\u00FC\u00DFe \u20AC\U0001F600", IDOK,
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"Cancel", L"test", IDCANCEL, std::nullopt},
    };
    const std::string prompt = "This project is protected by a password.\n&Enter it:";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        BoxAnswerer answerer(row.Answer, row.Typed);
        EXPECT_EQ(dialogs.AskPassword(prompt, "Project password"), row.Expected);
        ASSERT_EQ(answerer.Boxes.size(), 1u);
        EXPECT_EQ(answerer.Boxes[0].Title, "Project password");
        EXPECT_EQ(answerer.Boxes[0].Text, prompt) << "shown as it is, the ampersand too";
        EXPECT_TRUE(answerer.Boxes[0].Masked);
        EXPECT_TRUE(::IsWindowEnabled(Window.Handle())) << "the owner is enabled again after the prompt";
    }
}

TEST_F(MinimalWindow, TheOpenFileDialogGivesTheChosenPathInUtf8AndLeavesTheCurrentFolder) {
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / L"Gr\u00FC\u00DFe \u20AC.csv";
    std::ofstream(file) << "\"Main\",\"1/0/0\"\n";
    Win32Dialogs dialogs;
    dialogs.SetOwner(Window.Handle());
    const struct {
        const char* Name;
        int Answer;
        bool Chosen;
    } rows[] = {{"chosen", IDOK, true}, {"cancelled", IDCANCEL, false}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        BoxAnswerer answerer(row.Answer, file.wstring());
        const std::optional<std::string> chosen = dialogs.OpenFile("CSV File (*.csv)|*.csv");
        ASSERT_EQ(answerer.Boxes.size(), 1u);
        ASSERT_EQ(chosen.has_value(), row.Chosen);
        if (row.Chosen) {
            const std::u8string utf8(chosen->begin(), chosen->end());
            EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(utf8), file)) << *chosen;
        }
    }
    // The program's current folder is not the file's: the folder can go.
    EXPECT_NE(std::filesystem::current_path(), folder.Path());
    std::error_code error;
    std::filesystem::remove_all(folder.Path(), error);
    EXPECT_FALSE(error) << error.message();
}

TEST_F(MinimalWindow, TheSaveDialogGivesTheNameWithTheFiltersExtension) {
    TempFolder scratch;
    const std::filesystem::path& folder = scratch.Path();
    Win32Dialogs dialogs;
    dialogs.SetOwner(Window.Handle());
    const struct {
        std::wstring Typed;
        int Answer;
        std::optional<std::filesystem::path> Chosen;
    } rows[] = {
        {(folder / L"K\u00FCche").wstring(), IDOK, folder / L"K\u00FCche.txt"},
        {(folder / L"list.cmd").wstring(), IDOK, folder / L"list.cmd"},
        {(folder / L"list").wstring(), IDCANCEL, std::nullopt},
    };
    for (const auto& row : rows) {
        BoxAnswerer answerer(row.Answer, row.Typed);
        const std::optional<std::string> chosen = dialogs.SaveFile(
            "Command list (*.txt)|*.txt|All files (*.*)|*.*", folder.string(), "commands.txt");
        ASSERT_EQ(answerer.Boxes.size(), 1u);
        ASSERT_EQ(chosen.has_value(), row.Chosen.has_value());
        if (chosen) {
            const std::u8string utf8(chosen->begin(), chosen->end());
            EXPECT_EQ(std::filesystem::path(utf8), *row.Chosen) << *chosen;
        }
    }
    EXPECT_NE(std::filesystem::current_path(), folder);
}

TEST_F(MinimalWindow, TheCheckListShowsItsRowsTopToBottomInTwoColumnsWithoutScrolling) {
    ASSERT_EQ(List.Count(), DatapointTypeCount);
    RECT client{};
    ::GetClientRect(List.Handle(), &client);
    const RECT first = List.RowRect(0);
    const RECT ninth = List.RowRect(8);
    const RECT tenth = List.RowRect(9);
    const RECT last = List.RowRect(DatapointTypeCount - 1);
    EXPECT_EQ(first.left, 0);
    EXPECT_EQ(ninth.left, 0) << "nine rows in the first column";
    EXPECT_EQ(tenth.top, 0) << "the tenth row starts the second column";
    EXPECT_EQ(tenth.left, client.right / 2);
    for (int row = 0; row < List.Count(); ++row) {
        const RECT rect = List.RowRect(row);
        SCOPED_TRACE(row);
        EXPECT_LE(rect.bottom, client.bottom) << "every row is visible";
        EXPECT_LE(rect.right, client.right);
    }
    EXPECT_EQ(last.left, tenth.left);
    EXPECT_EQ(List.ItemText(0), std::string(DatapointTypeNames[0]));

    // Every name shows whole: the font is made smaller where the longest would not fit its column.
    HDC dc = ::GetDC(List.Handle());
    HGDIOBJ old = ::SelectObject(dc, List.RowFont());
    for (int row = 0; row < List.Count(); ++row) {
        const std::wstring text = WideText(List.ItemText(row));
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        EXPECT_LE(List.TextIndent() + size.cx, client.right / 2) << List.ItemText(row);
    }
    LOGFONTW given{};
    LOGFONTW drawn{};
    ::GetObjectW(Fonts->Message(), sizeof given, &given);
    ::GetObjectW(List.RowFont(), sizeof drawn, &drawn);
    EXPECT_STREQ(drawn.lfFaceName, given.lfFaceName);
    EXPECT_GE(std::abs(drawn.lfHeight), std::abs(given.lfHeight) * 3 / 4) << "not smaller than needed";
    ::SelectObject(dc, old);
    ::ReleaseDC(List.Handle(), dc);
    EXPECT_EQ(List.CurrentRow(), -1) << "nothing current at first";
}

TEST_F(MinimalWindow, OnlyTheUserTogglesEnabledRows) {
    enum class Action { ClickBox, DoubleClickBox, ClickText, Space };
    const struct {
        const char* Name;
        int Row;
        bool Enabled;
        Action How;
        bool Checked;
        int Toggles;
    } rows[] = {
        {"click on the box", 0, true, Action::ClickBox, true, 1},
        {"click on the box, second column", 12, true, Action::ClickBox, true, 1},
        {"double click on the box: two clicks", 3, true, Action::DoubleClickBox, false, 2},
        {"click on the text", 1, true, Action::ClickText, false, 0},
        {"space key", 5, true, Action::Space, true, 1},
        {"click on a disabled box", 2, false, Action::ClickBox, false, 0},
        {"double click on a disabled box", 4, false, Action::DoubleClickBox, false, 0},
        {"space key on a disabled row", 7, false, Action::Space, false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        for (int i = 0; i < List.Count(); ++i) {
            List.SetChecked(i, false);
            List.SetItemEnabled(i, true);
        }
        List.SetItemEnabled(row.Row, row.Enabled);
        Toggled.clear();
        const RECT box = List.CheckBoxRect(row.Row);
        const POINT onBox{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
        switch (row.How) {
        case Action::ClickBox:
            ClickAt(List.Handle(), onBox);
            break;
        case Action::DoubleClickBox:
            ClickAt(List.Handle(), onBox);
            ClickAt(List.Handle(), onBox, WM_LBUTTONDBLCLK);
            break;
        case Action::ClickText:
            zelo::test::ClickRowText(List, row.Row);
            break;
        case Action::Space:
            List.SetCurrentRow(row.Row);
            ::SendMessageW(List.Handle(), WM_CHAR, L' ', 0);
            break;
        }
        EXPECT_EQ(List.Checked(row.Row), row.Checked);
        EXPECT_EQ(Toggled, std::vector<int>(static_cast<std::size_t>(row.Toggles), row.Row));
        EXPECT_EQ(List.CurrentRow(), row.Row) << "the row is current, also when it cannot be toggled";
        for (int i = 0; i < List.Count(); ++i) {
            if (i != row.Row) {
                EXPECT_FALSE(List.Checked(i)) << i;
            }
        }
    }
}

TEST_F(MinimalWindow, TheCheckListPaintsDisabledRowsGreyAndShowsCheckMarks) {
    const RECT rect = List.RowRect(0);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const auto paint = [&](bool checked, bool enabled) {
        auto pixels = std::make_unique<Pixels>(width, height);
        List.SetChecked(0, checked);
        List.SetItemEnabled(0, enabled);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_LISTBOX;
        item.itemID = 0;
        item.itemAction = ODA_DRAWENTIRE;
        item.hwndItem = List.Handle();
        item.hDC = pixels->Dc();
        item.rcItem = {0, 0, width, height};
        EXPECT_TRUE(List.Draw(item));
        return pixels;
    };
    RECT box = List.CheckBoxRect(0);
    ::OffsetRect(&box, -rect.left, -rect.top);
    const RECT text{box.right + 4, 0, width, height};
    const COLORREF ink = ::GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF grey = ::GetSysColor(COLOR_GRAYTEXT);

    const auto enabled = paint(false, true);
    const auto disabled = paint(false, false);
    EXPECT_GT(enabled->Count(text, ink), 10) << "an enabled row's text in the window text colour";
    EXPECT_EQ(enabled->Count(text, grey), 0);
    EXPECT_GT(disabled->Count(text, grey), 10) << "a disabled row's text is grey";
    EXPECT_EQ(disabled->Count(text, ink), 0);

    const auto checked = paint(true, true);
    int differing = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x)
            differing += checked->At(x, y) != enabled->At(x, y) ? 1 : 0;
    EXPECT_GT(differing, 4) << "a check mark is drawn in the box";
}

TEST_F(MinimalWindow, AnAmpersandLetterClicksItsButtonOnceTheFieldItLeavesIsAccepted) {
    const struct {
        std::string FieldText;
        wchar_t Key;
        int Clicks;
        std::size_t Boxes;
    } rows[] = {
        {"ok", L'a', 1, 0},
        {"ok", L'A', 1, 0},
        {"ok", L'q', 0, 0},      // no button has the letter q
        {"1/2/300", L'a', 0, 1}, // refused: the focus goes back to the field and the click is dropped
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.FieldText + " " + static_cast<char>(row.Key));
        First.SetText(row.FieldText);
        First.Focus();
        PumpPending(Window.Handle());
        Clicks = 0;
        Judged.clear();
        Boxes.Boxes.clear();
        MSG message{First.Handle(), WM_SYSCHAR, row.Key, static_cast<LPARAM>(1u << 29), 0, {}};
        Window.DialogKeys(message);
        PumpPending(Window.Handle());
        EXPECT_EQ(Clicks, row.Clicks);
        EXPECT_EQ(Boxes.Boxes.size(), row.Boxes);
        EXPECT_EQ(Judged.size(), row.Clicks + row.Boxes) << "a field left by the accelerator is judged once";
    }
}

// A font change resets an edit control's margins: the gutter's is set again for each font the view makes
// (at 96, 120 and 144 dpi), so the line numbers never cover the start of a line.
TEST_F(MinimalWindow, TheGutterKeepsItsMarginThroughEveryFontChange) {
    std::vector<std::unique_ptr<FontSet>> fonts;
    for (const UINT dpi : {96u, 120u, 144u}) {
        fonts.push_back(std::make_unique<FontSet>(dpi));
        Text.SetFont(fonts.back()->Message());
        HDC dc = ::GetDC(Text.Handle());
        ::SelectObject(dc, fonts.back()->Message());
        SIZE digit{};
        ::GetTextExtentPoint32W(dc, L"9", 1, &digit);
        ::ReleaseDC(Text.Handle(), dc);
        EXPECT_EQ(Text.GutterWidth(), 3 * digit.cx + 8) << dpi;
        EXPECT_EQ(LOWORD(::SendMessageW(Text.Handle(), EM_GETMARGINS, 0, 0)), Text.GutterWidth()) << dpi;
    }
    Text.SetFont(Fonts->Message());
}

TEST_F(MinimalWindow, TheCommandListEditsLinesAndHoldsTensOfThousands) {
    constexpr int AtEnd = -1;
    const struct {
        const char* Name;
        std::string Before;
        std::vector<std::pair<int, std::string>> Inserts; // before line n, or AtEnd
        int Replace;                                      // -1: none
        std::vector<std::string> After;
    } rows[] = {
        {"empty text: one empty line", "", {}, -1, {""}},
        {"a new last line into an empty text", "", {{AtEnd, "#SETUP"}}, -1, {"", "#SETUP"}},
        {"a new last line after a line end", "#SETUP\n", {{AtEnd, "#DG"}}, -1, {"#SETUP", "", "#DG"}},
        {"a new last line after a typed one",
         "#SETUP\ntyped",
         {{AtEnd, "#DG"}},
         -1,
         {"#SETUP", "typed", "#DG"}},
        {"three last lines in a row",
         "t",
         {{AtEnd, "a"}, {AtEnd, "b"}, {AtEnd, "c"}},
         -1,
         {"t", "a", "b", "c"}},
        {"before the first line", "a\nb", {{0, "x"}}, -1, {"x", "a", "b"}},
        {"before a middle line", "a\nb\nc", {{2, "x"}}, -1, {"a", "b", "x", "c"}},
        {"a last line, then one before it", "a", {{AtEnd, "c"}, {1, "b"}}, -1, {"a", "b", "c"}},
        {"replace the first line", "\n", {}, 0, {"#SETUP=1.1.1", ""}},
        {"replace a middle line", "a\nb\nc", {}, 1, {"a", "#SETUP=1.1.1", "c"}},
        {"replace a line just added", "s", {{AtEnd, "x"}}, 1, {"s", "#SETUP=1.1.1"}},
        {"line ends in a new line become blanks", "a", {{AtEnd, "x\r\ny"}}, -1, {"a", "x  y"}},
        {"any line end splits a text", "a\nb\rc\r\nd", {}, -1, {"a", "b", "c", "d"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Name);
        Text.SetText(row.Before);
        for (const auto& [before, line] : row.Inserts)
            Text.InsertLine(before == AtEnd ? Text.LineCount() : before, line);
        EXPECT_EQ(Text.LineCount(), static_cast<int>(row.After.size()))
            << "counted before the lines are shown";
        if (row.Replace >= 0)
            Text.ReplaceLine(row.Replace, "#SETUP=1.1.1");
        EXPECT_EQ(Text.Lines(), row.After);
        EXPECT_EQ(Text.LineCount(), static_cast<int>(row.After.size()));
        for (int i = 0; i < Text.LineCount(); ++i)
            EXPECT_EQ(Text.Line(i), row.After[static_cast<std::size_t>(i)]);
        std::string joined;
        for (std::size_t i = 0; i < row.After.size(); ++i)
            joined += (i > 0 ? "\n" : "") + row.After[i];
        EXPECT_EQ(Text.Text(), joined);
    }

    // New last lines reach the control by the message loop too, where the user sees them.
    Text.SetText("#SETUP");
    Text.InsertLine(1, "#DG");
    PumpPending(Window.Handle());
    EXPECT_EQ(zelo::test::WindowText(Text.Handle()), "#SETUP\r\n#DG");

    // Far beyond the edit control's default limit of about 30000 characters.
    std::string many = "#SETUP=15.15.255;OFF;OFF;OFF";
    for (int i = 0; i < 33000; ++i)
        many += "\n#DG=1/2/3;1/2/4;EIS1;RW";
    Text.SetText(many);
    for (int i = 0; i < 3; ++i)
        Text.InsertLine(Text.LineCount(), "#DG=15/7/255;15/7/255;OTHER;RW");
    ASSERT_EQ(Text.LineCount(), 33004);
    EXPECT_EQ(Text.Line(33003), "#DG=15/7/255;15/7/255;OTHER;RW");
    Text.ReplaceLine(0, "#SETUP=1.1.1;OFF;OFF;OFF");
    EXPECT_EQ(Text.Line(0), "#SETUP=1.1.1;OFF;OFF;OFF");
}

} // namespace
