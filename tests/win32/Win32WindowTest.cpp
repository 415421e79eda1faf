// The Windows view's own wiring, without the logic: controls by ID, tab order, accelerators, fonts, caption
// bars and gauge as painted, the start size, resizing and scrolling, and every event reaching its owner.
#include "window/win32/Win32Window.h"
#include "Win32TestSupport.h"
#include "model/DatapointTypes.h"
#include "os/win32/Win32Os.h"
#include "window/Catalogue.h"
#include "window/Layout.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

using namespace zelo;
using namespace zelo::win32;
using layout::ControlId;
using zelo::test::FindControl;
using zelo::test::NoWindow;
using zelo::test::Pixels;
using zelo::test::PumpPending;
using zelo::test::QuitWaiting;
using zelo::test::WindowText;

namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    std::wstring text = name;
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

class ViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(View.Create()) << NoWindow;
        View.OnEvent = [this](ControlId id, ControlEvent event) {
            if (event == ControlEvent::Changed)
                ++ListChanges;
            else
                Events.push_back(id);
        };
        View.OnCloseRequest = [this] {
            ++CloseRequests;
            return AllowClose;
        };
        std::vector<std::string> types;
        FillDatapointTypeList(types);
        View.Get<CheckList>(ControlId::EibDptList).SetItems(types);
        View.Get<ComboBox>(ControlId::cmbBaudrate).SetItems({"9600", "19200", "38400", "57600"});
        View.Show();
        PumpPending(View.Handle());
    }

    HWND Control(ControlId id) const { return FindControl(View.Handle(), Win32Id(id)); }

    RECT ClientRectOf(ControlId id) const {
        RECT rect{};
        ::GetWindowRect(Control(id), &rect);
        ::MapWindowPoints(nullptr, View.Handle(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    // What a control paints into its client area.
    std::unique_ptr<Pixels> Printed(ControlId id) const {
        const RECT rect = ClientRectOf(id);
        auto pixels = std::make_unique<Pixels>(rect.right - rect.left, rect.bottom - rect.top);
        ::SendMessageW(Control(id), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(pixels->Dc()), PRF_CLIENT);
        return pixels;
    }

    void ResizeClient(int width, int height) {
        RECT frame{0, 0, width, height};
        ::AdjustWindowRectEx(&frame,
                             static_cast<DWORD>(::GetWindowLongPtrW(View.Handle(), GWL_STYLE)) &
                                 ~(WS_VSCROLL | WS_HSCROLL),
                             FALSE, static_cast<DWORD>(::GetWindowLongPtrW(View.Handle(), GWL_EXSTYLE)));
        ::SetWindowPos(View.Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                       SWP_NOZORDER | SWP_NOMOVE);
        PumpPending(View.Handle());
    }

    Win32Window View;
    std::vector<ControlId> Events;
    int ListChanges = 0;
    int CloseRequests = 0;
    bool AllowClose = false;
};

TEST_F(ViewWindow, EveryControlIsFoundByItsIdWithItsKindAndText) {
    ASSERT_EQ(View.Dpi(), 96u) << "the figures below are for 96 dpi";
    for (const layout::ControlInfo& info : layout::Controls()) {
        SCOPED_TRACE(std::string(info.Name));
        HWND window = Control(info.Id);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window, View.ControlHandle(info.Id));
        const HWND parent = ::GetParent(window);
        const ControlId expectedParent =
            info.Parent == ControlId::grpAccessType ? ControlId::GroupAddressContainer : info.Parent;
        EXPECT_EQ(parent, expectedParent == layout::Client ? View.Handle() : Control(expectedParent));
        const struct {
            layout::ControlKind Kind;
            const wchar_t* Class;
            bool ShowsText; // the window text is the layout's text
        } kinds[] = {
            {layout::ControlKind::CaptionBar, L"static", true},
            {layout::ControlKind::Panel, L"zelopanel", false},
            {layout::ControlKind::Label, L"static", true},
            {layout::ControlKind::EditField, L"edit", false},
            {layout::ControlKind::ComboBox, L"combobox", false},
            {layout::ControlKind::CheckBox, L"button", true},
            {layout::ControlKind::RadioGroup, L"button", true},
            {layout::ControlKind::RadioButton, L"button", true},
            {layout::ControlKind::CheckList, L"listbox", false},
            {layout::ControlKind::Button, L"button", true},
            {layout::ControlKind::StatusLabel, L"static", false},
            {layout::ControlKind::Gauge, L"static", false},
            {layout::ControlKind::CommandList, L"edit", false},
        };
        bool known = false;
        for (const auto& kind : kinds) {
            if (kind.Kind != info.Kind)
                continue;
            known = true;
            EXPECT_EQ(ClassOf(window), kind.Class);
            if (kind.ShowsText) {
                EXPECT_EQ(WindowText(window), std::string(info.Text));
            }
        }
        EXPECT_TRUE(known);
    }
    const LONG_PTR style = ::GetWindowLongPtrW(View.Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX) << "a minimise box only";
    EXPECT_TRUE(style & WS_THICKFRAME) << "the window can be resized";
    EXPECT_EQ(WindowText(View.Handle()), "ZELO-KNX-ASCII Configurator");
}

TEST_F(ViewWindow, TheTabKeyVisitsTheFieldsInTheWindowsOrder) {
    // The view alone shows every control; the logic hides the TCP fields and Stop until they are wanted.
    const ControlId expected[] = {
        ControlId::txtPhyAdr,     ControlId::chkPrintSource, ControlId::chkPrintHex,
        ControlId::chkFullDuplex, ControlId::cmbDevice,      ControlId::cmbBaudrate,
        ControlId::txtHost,       ControlId::txtPort,        ControlId::txtGrpAdrStart,
        ControlId::txtGrpAdrEnd,  ControlId::EibDptList,     ControlId::btnAddAll,
        ControlId::btnAdd,        ControlId::btnIgnore,      ControlId::btnImport,
        ControlId::btnAbort,      ControlId::grpAccessType0, ControlId::btnStop,
        ControlId::btnMonitor,    ControlId::btnOpen,        ControlId::btnSave,
        ControlId::btnDownload,   ControlId::btnExit,        ControlId::CommandList,
        ControlId::txtPhyAdr};
    // The first focus is the logic's (see Configurator.OpensWithItsCaptionAndFirstState).
    HWND at = Control(ControlId::txtPhyAdr);
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        SCOPED_TRACE(std::string(layout::Info(expected[i]).Name));
        at = ::GetNextDlgTabItem(View.Handle(), at, FALSE);
        EXPECT_EQ(at, Control(expected[i])) << "got " << ::GetDlgCtrlID(at) - ControlIdBase;
    }
    // Shift+Tab goes back.
    EXPECT_EQ(::GetNextDlgTabItem(View.Handle(), Control(ControlId::txtGrpAdrStart), TRUE),
              Control(ControlId::txtPort));

    // The keys themselves: Tab leaves the command list for the first field, Enter in the list starts a line.
    const struct {
        ControlId From;
        WPARAM Key;
        ControlId Focus;
    } keys[] = {{ControlId::txtPhyAdr, VK_TAB, ControlId::chkPrintSource},
                {ControlId::btnExit, VK_TAB, ControlId::CommandList},
                {ControlId::CommandList, VK_TAB, ControlId::txtPhyAdr},
                {ControlId::CommandList, VK_RETURN, ControlId::CommandList}};
    for (const auto& row : keys) {
        SCOPED_TRACE(std::string(layout::Info(row.From).Name));
        View.ControlHandle(row.From) == nullptr ? void() : MoveFocus(View.ControlHandle(row.From));
        const int lines = View.Get<MultiLineEdit>(ControlId::CommandList).LineCount();
        MSG down{::GetFocus(), WM_KEYDOWN, row.Key, 1, 0, {}};
        if (!View.winMain.DialogKeys(down)) {
            ::TranslateMessage(&down);
            ::DispatchMessageW(&down);
        }
        PumpPending(View.Handle());
        EXPECT_EQ(::GetFocus(), Control(row.Focus));
        EXPECT_EQ(View.Get<MultiLineEdit>(ControlId::CommandList).LineCount(),
                  lines + (row.Key == VK_RETURN ? 1 : 0));
    }
}

TEST_F(ViewWindow, AnAmpersandLetterClicksItsButton) {
    const struct {
        wchar_t Letter;
        ControlId Button;
    } rows[] = {{L'a', ControlId::btnAdd},
                {L'l', ControlId::btnAddAll},
                {L'g', ControlId::btnIgnore},
                {L'I', ControlId::btnImport},
                {L'b', ControlId::btnAbort}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(layout::Info(row.Button).Name));
        View.Get<EditField>(ControlId::txtGrpAdrStart).Focus();
        Events.clear();
        MSG message{::GetFocus(), WM_SYSCHAR, row.Letter, static_cast<LPARAM>(1u << 29), 0, {}};
        EXPECT_TRUE(View.winMain.DialogKeys(message));
        PumpPending(View.Handle());
        // The accelerator moves the focus to the button: the field is left, and judged before the click.
        EXPECT_EQ(Events, (std::vector<ControlId>{ControlId::txtGrpAdrStart, row.Button}));
    }
}

TEST_F(ViewWindow, ControlsUseTheSystemsMessageFontAndCaptionsABoldOne) {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0));
    const auto fontOf = [](HWND window) {
        LOGFONTW font{};
        HFONT handle = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
        EXPECT_NE(handle, nullptr) << "a font of its own, not the bold system font";
        ::GetObjectW(handle, sizeof font, &font);
        return font;
    };
    for (const ControlId id :
         {ControlId::txtPhyAdr, ControlId::Label6, ControlId::btnAdd, ControlId::chkPrintHex,
          ControlId::EibDptList, ControlId::CommandList, ControlId::labStatus}) {
        SCOPED_TRACE(std::string(layout::Info(id).Name));
        const LOGFONTW font = fontOf(Control(id));
        EXPECT_STREQ(font.lfFaceName, metrics.lfMessageFont.lfFaceName);
        EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight);
        EXPECT_LT(font.lfWeight, FW_BOLD);
    }
    const LOGFONTW caption = fontOf(Control(ControlId::GroupAddressCaption));
    EXPECT_EQ(caption.lfWeight, FW_BOLD);
    EXPECT_EQ(caption.lfHeight, -::MulDiv(10, static_cast<int>(View.Dpi()), 72)) << "10 points";
}

TEST_F(ViewWindow, CaptionBarsAreBlackWithWhiteTextAndTheGaugeShowsItsShare) {
    const auto caption = Printed(ControlId::DeviceSetupCaption);
    const RECT all{0, 0, caption->Width(), caption->Height()};
    const int area = caption->Width() * caption->Height();
    EXPECT_GT(caption->Count(all, RGB(0, 0, 0)), area * 8 / 10) << "a black band";
    EXPECT_GT(caption->Count({8, 0, 200, caption->Height()}, RGB(255, 255, 255)), 30)
        << "white text at the left";
    EXPECT_EQ(caption->Count({caption->Width() / 2, 2, caption->Width() - 2, caption->Height() - 2},
                             RGB(255, 255, 255)),
              0)
        << "nothing but the text is white";

    View.Get<Gauge>(ControlId::ProgressBar).SetMinimum(0);
    View.Get<Gauge>(ControlId::ProgressBar).SetMaximum(4);
    View.Get<Gauge>(ControlId::ProgressBar).SetPosition(1);
    const auto shown = Printed(ControlId::ProgressBar);
    const int width = shown->Width();
    const int height = shown->Height();
    EXPECT_EQ(shown->Count({2, 2, width / 4 - 2, height - 2}, RGB(0, 0, 0)), (width / 4 - 4) * (height - 4))
        << "the first quarter done, in black";
    EXPECT_EQ(shown->Count({width / 4 + 2, 2, width / 2 - 20, height - 2}, RGB(255, 255, 255)),
              (width / 4 - 22) * (height - 4))
        << "the rest white";
    EXPECT_GT(shown->Count({width / 2 - 20, 2, width / 2 + 20, height - 2}, RGB(0, 0, 0)), 10)
        << "the percentage in the middle";
}

TEST_F(ViewWindow, OnAMonitorOfAnotherDpiFontsAndPlacesScaleAlong) {
    const auto fontHeight = [](HWND window) {
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
        return std::abs(font.lfHeight);
    };
    const int messageAt96 = fontHeight(Control(ControlId::txtPhyAdr));
    const struct {
        UINT Dpi;
        double Factor;
    } rows[] = {{144, 1.5}, {120, 1.25}, {96, 1.0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Dpi);
        // What Windows sends when the window moves to such a monitor: the new DPI and a suggested frame.
        RECT suggested{0, 0, static_cast<LONG>(1040 * row.Factor), static_cast<LONG>(780 * row.Factor)};
        ::SendMessageW(View.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(row.Dpi, row.Dpi),
                       reinterpret_cast<LPARAM>(&suggested));
        PumpPending(View.Handle());
        EXPECT_EQ(View.Dpi(), row.Dpi);
        EXPECT_NEAR(fontHeight(Control(ControlId::txtPhyAdr)), messageAt96 * row.Factor, 1.0);
        EXPECT_EQ(fontHeight(Control(ControlId::DeviceSetupCaption)),
                  ::MulDiv(10, static_cast<int>(row.Dpi), 72));
        const RECT exit = ClientRectOf(ControlId::btnExit);
        EXPECT_NEAR(exit.right - exit.left, 105 * row.Factor, 1.0);
        EXPECT_NEAR(exit.bottom - exit.top, 25 * row.Factor, 1.0);
        const RECT caption = ClientRectOf(ControlId::GroupAddressCaption);
        EXPECT_NEAR(caption.top, (33 + 72) * row.Factor, 1.0);
        EXPECT_NEAR(caption.bottom - caption.top, 33 * row.Factor, 1.0);
    }
}

// At the design size and 96 dpi, in English and in German (the longer words), every text shows whole as
// the system's font measures it, every control lies inside its parent and no two side by side overlap.
TEST(ViewFit, EveryTextShowsWholeInEitherLanguage) {
    const auto width = [](HWND control, HFONT font, const std::string& text) {
        std::wstring shown; // as drawn: "&x" underlines x, "&&" is one ampersand
        const std::wstring wide = os::WideText(text);
        for (std::size_t i = 0; i < wide.size(); ++i) {
            if (wide[i] == L'&' && i + 1 < wide.size())
                ++i;
            shown += wide[i];
        }
        HDC dc = ::GetDC(control);
        const HGDIOBJ old = ::SelectObject(dc, font);
        SIZE size{};
        ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
        ::SelectObject(dc, old);
        ::ReleaseDC(control, dc);
        return static_cast<int>(size.cx);
    };
    for (const Language language : {Language::English, Language::German}) {
        SCOPED_TRACE(language == Language::German ? "German" : "English");
        SetLanguage(language);
        Win32Window view;
        ASSERT_TRUE(view.Create()) << NoWindow;
        std::vector<std::string> types;
        FillDatapointTypeList(types);
        for (std::string& type : types)
            type = TrDatapointRow(type);
        auto& list = view.Get<CheckList>(ControlId::EibDptList);
        list.SetItems(types);
        view.Show();
        PumpPending(view.Handle());
        ASSERT_EQ(view.Dpi(), 96u) << "the design size is for 96 dpi";
        RECT client{};
        ::GetClientRect(view.Handle(), &client);
        EXPECT_EQ(client.right, 1016);
        EXPECT_EQ(client.bottom, 734);
        const int checkBox = ::GetSystemMetrics(SM_CXMENUCHECK) + 4;
        std::vector<std::pair<const layout::ControlInfo*, RECT>> shown;
        for (const layout::ControlInfo& info : layout::Controls()) {
            SCOPED_TRACE(std::string(info.Name));
            HWND control = view.ControlHandle(info.Id);
            if (!::IsWindowVisible(control))
                continue;
            RECT rect{};
            ::GetWindowRect(control, &rect);
            ::MapWindowPoints(nullptr, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
            RECT parent{};
            ::GetClientRect(::GetParent(control), &parent);
            EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= parent.right &&
                        rect.bottom <= parent.bottom)
                << "outside its parent";
            shown.emplace_back(&info, rect);
            // What the text takes beside itself: a check mark, the frame's indent, a button's edges.
            int beside = -1;
            switch (info.Kind) {
            case layout::ControlKind::Label:
            case layout::ControlKind::CaptionBar:
                beside = 0;
                break;
            case layout::ControlKind::CheckBox:
            case layout::ControlKind::RadioButton:
                beside = checkBox;
                break;
            case layout::ControlKind::RadioGroup:
                beside = 16;
                break;
            case layout::ControlKind::Button:
                beside = 6;
                break;
            default:
                break;
            }
            if (beside < 0)
                continue;
            const std::string text = WindowText(control);
            EXPECT_EQ(text, std::string(Tr(info.Text)));
            const HFONT font = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
            EXPECT_LE(width(control, font, text) + beside, rect.right - rect.left) << text;
        }
        for (const auto& [info, rect] : shown)
            for (const auto& [other, second] : shown) {
                // The radio buttons lie on their group's frame, by design.
                const bool onFrame = other->Parent == info->Id || info->Parent == other->Id;
                RECT both{};
                if (info->Id < other->Id && !onFrame &&
                    ::GetParent(view.ControlHandle(info->Id)) == ::GetParent(view.ControlHandle(other->Id))) {
                    EXPECT_FALSE(::IntersectRect(&both, &rect, &second))
                        << info->Name << " / " << other->Name;
                }
            }
        // Every datapoint row shows whole in its column.
        RECT rows{};
        ::GetClientRect(list.Handle(), &rows);
        for (int row = 0; row < list.Count(); ++row) {
            const RECT rect = list.RowRect(row);
            EXPECT_LE(rect.bottom, rows.bottom) << list.ItemText(row);
            EXPECT_LE(list.TextIndent() + width(list.Handle(), list.RowFont(), list.ItemText(row)),
                      rows.right / 2)
                << list.ItemText(row);
        }
    }
    SetLanguage(Language::English);
}

TEST_F(ViewWindow, StartsAtTheDesignSizeCentredInTheFreeAreaOfTheScreen) {
    RECT client{};
    ::GetClientRect(View.Handle(), &client);
    EXPECT_EQ(client.right, 1016);
    EXPECT_EQ(client.bottom, 734);
    RECT window{};
    ::GetWindowRect(View.Handle(), &window);
    const RECT work = View.winMain.WorkArea();
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
    // Larger than the free area: made to fit it.
    View.winMain.FitAndCenter({4000, 3000});
    ::GetWindowRect(View.Handle(), &window);
    EXPECT_GE(window.left, work.left);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
}

TEST_F(ViewWindow, TheCommandListTakesWhatTheWindowGainsOrLosesAndBelowThatTheWindowScrolls) {
    const int fixedBands = 734 - 250; // everything but the command list
    const struct {
        int Width, Height;
        bool Scrolls;
    } rows[] = {
        {1016, 734, false}, {1200, 900, false}, {1100, 640, false}, {900, 500, true}, {640, 400, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.Width << "x" << row.Height);
        ResizeClient(row.Width, row.Height);
        RECT client{};
        ::GetClientRect(View.Handle(), &client);
        SCROLLINFO vertical{};
        vertical.cbSize = sizeof vertical;
        vertical.fMask = SIF_ALL;
        const bool scrolls = ::GetScrollInfo(View.Handle(), SB_VERT, &vertical) && vertical.nPage > 0 &&
                             static_cast<int>(vertical.nPage) <= vertical.nMax;
        EXPECT_EQ(scrolls, row.Scrolls);
        const RECT list = ClientRectOf(ControlId::CommandList);
        const RECT buttons = ClientRectOf(ControlId::ButtonContainer);
        const RECT exit = ClientRectOf(ControlId::btnExit);
        if (!row.Scrolls) {
            EXPECT_EQ(list.bottom - list.top, client.bottom - fixedBands);
            EXPECT_EQ(list.right - list.left, client.right);
            EXPECT_EQ(buttons.bottom, client.bottom) << "the buttons stay docked at the bottom";
            EXPECT_EQ(exit.right, client.right - 8) << "at the right-hand end";
            continue;
        }
        // At the least size the list still shows five lines; the rest is reached by scrolling.
        EXPECT_GE(list.bottom - list.top, 5 * View.Metrics().CommandLineHeight);
        EXPECT_GT(buttons.bottom, client.bottom);
        ::SendMessageW(View.Handle(), WM_VSCROLL, SB_BOTTOM, 0);
        ::SendMessageW(View.Handle(), WM_HSCROLL, SB_BOTTOM, 0);
        PumpPending(View.Handle());
        const RECT download = ClientRectOf(ControlId::btnDownload);
        EXPECT_LE(download.bottom, client.bottom) << "Download can be reached";
        EXPECT_LE(download.right, client.right);
        EXPECT_GE(download.top, 0);
        ::SendMessageW(View.Handle(), WM_VSCROLL, SB_TOP, 0);
        ::SendMessageW(View.Handle(), WM_HSCROLL, SB_TOP, 0);
        PumpPending(View.Handle());
        EXPECT_EQ(ClientRectOf(ControlId::DeviceSetupCaption).top, 0);
    }
}

TEST_F(ViewWindow, EveryUserEventReachesTheOwnerNamedByItsControl) {
    enum class Act { Click, DownKey, LeaveTo, ClickFirstBox };
    const struct {
        ControlId Target;
        Act How;
        ControlId Reported;
    } rows[] = {
        {ControlId::btnAdd, Act::Click, ControlId::btnAdd},
        {ControlId::btnAddAll, Act::Click, ControlId::btnAddAll},
        {ControlId::btnIgnore, Act::Click, ControlId::btnIgnore},
        {ControlId::btnImport, Act::Click, ControlId::btnImport},
        {ControlId::btnAbort, Act::Click, ControlId::btnAbort},
        {ControlId::btnDownload, Act::Click, ControlId::btnDownload},
        {ControlId::btnExit, Act::Click, ControlId::btnExit},
        {ControlId::chkPrintSource, Act::Click, ControlId::chkPrintSource},
        {ControlId::chkPrintHex, Act::Click, ControlId::chkPrintHex},
        {ControlId::chkFullDuplex, Act::Click, ControlId::chkFullDuplex},
        {ControlId::grpAccessType0, Act::Click, ControlId::grpAccessType},
        {ControlId::grpAccessType1, Act::Click, ControlId::grpAccessType},
        {ControlId::cmbBaudrate, Act::DownKey, ControlId::cmbBaudrate},
        {ControlId::txtPhyAdr, Act::LeaveTo, ControlId::txtPhyAdr},
        {ControlId::txtGrpAdrStart, Act::LeaveTo, ControlId::txtGrpAdrStart},
        {ControlId::txtGrpAdrEnd, Act::LeaveTo, ControlId::txtGrpAdrEnd},
        {ControlId::EibDptList, Act::ClickFirstBox, ControlId::EibDptList},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(layout::Info(row.Target).Name));
        HWND target = Control(row.Target);
        // From a control that judges nothing when it is left.
        View.Get<MultiLineEdit>(ControlId::CommandList).Focus();
        PumpPending(View.Handle());
        Events.clear();
        switch (row.How) {
        case Act::Click:
            ::SendMessageW(target, BM_CLICK, 0, 0);
            break;
        case Act::DownKey:
            View.Get<ComboBox>(ControlId::cmbBaudrate).SetItemIndex(0);
            ::SetFocus(target);
            ::SendMessageW(target, WM_KEYDOWN, VK_DOWN, 0);
            break;
        case Act::LeaveTo:
            ::SetFocus(target);
            PumpPending(View.Handle());
            Events.clear();
            ::SetFocus(Control(ControlId::btnAdd));
            break;
        case Act::ClickFirstBox:
            zelo::test::ClickRowBox(View.Get<CheckList>(ControlId::EibDptList), 0);
            break;
        }
        PumpPending(View.Handle());
        EXPECT_EQ(Events, std::vector<ControlId>{row.Reported});
    }
    // The state the logic reads is there when it hears of the event.
    EXPECT_TRUE(View.Get<CheckBox>(ControlId::chkFullDuplex).Checked());
    EXPECT_EQ(View.Get<RadioGroup>(ControlId::grpAccessType).ItemIndex(), 1);
    EXPECT_EQ(View.Get<ComboBox>(ControlId::cmbBaudrate).ItemIndex(), 1);
    EXPECT_TRUE(View.Get<CheckList>(ControlId::EibDptList).Checked(0));
    EXPECT_EQ(View.Get<CheckList>(ControlId::EibDptList).CurrentRow(), 0);

    // Escape, as the dialog keys hand it on, is Stop's key.
    std::vector<layout::Command> commands;
    View.OnShortcut = [&commands](layout::Command command) { commands.push_back(command); };
    View.Get<Button>(ControlId::btnAdd).Focus();
    MSG escape{Control(ControlId::btnAdd), WM_KEYDOWN, VK_ESCAPE, 1, 0, {}};
    View.winMain.DialogKeys(escape);
    EXPECT_EQ(commands, std::vector<layout::Command>{layout::Command::Stop});
    View.OnShortcut = nullptr;

    // Typing into the command list is reported; the program's own lines are not.
    ::SendMessageW(Control(ControlId::CommandList), WM_CHAR, L'x', 0);
    EXPECT_EQ(ListChanges, 1);
    View.Get<MultiLineEdit>(ControlId::CommandList)
        .InsertLine(View.Get<MultiLineEdit>(ControlId::CommandList).LineCount(), "#DG=1/1/1;1/1/1;EIS1;RW");
    View.Get<MultiLineEdit>(ControlId::CommandList).ReplaceLine(0, "#SETUP=15.15.255;OFF;OFF;OFF");
    PumpPending(View.Handle());
    EXPECT_EQ(ListChanges, 1);
    // Changes made through the interfaces raise nothing.
    Events.clear();
    View.Get<CheckBox>(ControlId::chkPrintHex).SetChecked(true);
    View.Get<ComboBox>(ControlId::cmbBaudrate).SetItemIndex(3);
    View.Get<RadioGroup>(ControlId::grpAccessType).SetItemIndex(2);
    View.Get<CheckList>(ControlId::EibDptList).SetChecked(5, true);
    View.Get<EditField>(ControlId::txtGrpAdrEnd).SetText("1/2/3");
    PumpPending(View.Handle());
    EXPECT_TRUE(Events.empty());
}

TEST_F(ViewWindow, TheCloseBoxAsksTheOwnerAndTheWaitCursorCoversTheWindow) {
    for (const bool allow : {false, true}) {
        SCOPED_TRACE(allow ? "allowed" : "held");
        AllowClose = allow;
        CloseRequests = 0;
        ::SendMessageW(View.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        PumpPending(View.Handle());
        EXPECT_EQ(CloseRequests, 1);
        EXPECT_EQ(QuitWaiting(), allow) << "the message loop ends only when the owner lets it";
        EXPECT_TRUE(::IsWindow(View.Handle())) << "the window itself stays until its owner is done with it";
    }

    const HCURSOR wait = ::LoadCursorW(nullptr, IDC_WAIT);
    for (const bool waiting : {true, false}) {
        SCOPED_TRACE(waiting ? "waiting" : "not waiting");
        View.winMain.SetWaitCursor(waiting);
        for (const ControlId over :
             {ControlId::btnAdd, ControlId::CommandList, ControlId::DeviceSetupCaption}) {
            ::SetCursor(nullptr);
            HWND window = Control(over);
            ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
            EXPECT_EQ(::GetCursor() == wait, waiting) << layout::Info(over).Name;
        }
    }
}

} // namespace
