// The configurator's window on Windows with its logic: what the user sees at start, the way out, the controls
// and keys that reach the logic, and a download into the gateway simulator through a COM port (run by the
// native harness, which owns the simulator on the pseudo-terminal the port leads to). What the logic makes of
// an event is the logic suite's (tests/window); here, that the event gets there and the answer shows.
#include "Watchdog.h"
#include "Win32TestSupport.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/StandardError.h"
#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32MainWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include <shlobj.h>

using namespace zelo;
using namespace zelo::win32;
using layout::ControlId;
using zelo::test::BoxAnswerer;
using zelo::test::ChooseItem;
using zelo::test::ClickRowBox;
using zelo::test::ClickRowText;
using zelo::test::FindControl;
using zelo::test::PumpPending;
using zelo::test::QuitWaiting;
using zelo::test::ReadBytes;
using zelo::test::ScriptedDialogs;
using zelo::test::ShownBox;
using zelo::test::TempFolder;
using zelo::test::TypeInto;
using zelo::test::WindowText;
using zelo::win32::Utf8Text;
using zelo::win32::WideText;

namespace {

const std::string Caption = "ZELO-KNX-ASCII Configurator V1.0.2.3";
const std::string SettingsName = "zelo-configurator.ini";

class Configurator : public ::testing::Test {
protected:
    void Start(const std::optional<std::string>& settings = std::nullopt) {
        VersionInfo = TVersionInfo{};
        ReadVersionInfo();
        if (settings)
            std::ofstream(Settings(), std::ios::binary) << *settings;
        SetHandlerErrorDisplay([this] { ShowCurrentException(Boxes); });
        // No serial device on the system: the device list is TCP/IP and the COM names, whatever Wine maps.
        Window = std::make_unique<Win32MainWindow>(Boxes, Settings(), [this] { return Ports; });
        ASSERT_NE(Window->Handle(), nullptr);
        Window->Show();
        PumpPending(Window->Handle());
    }

    void TearDown() override {
        Window.reset();
        SetHandlerErrorDisplay(nullptr);
    }

    std::string Settings() const { return Folder.File(SettingsName); }
    HWND Control(ControlId id) const { return FindControl(Window->Handle(), Win32Id(id)); }
    std::string Text(ControlId id) const { return WindowText(Control(id)); }
    Win32Window& View() { return Window->View(); }

    void Type(ControlId field, const std::string& text) { TypeInto(Control(field), text); }

    // Moves the focus on as a click or the Tab key does, and lets the window react.
    void FocusTo(ControlId id) {
        ::SetFocus(Control(id));
        PumpPending(Window->Handle());
    }

    void Click(ControlId id) {
        ::SendMessageW(Control(id), BM_CLICK, 0, 0);
        PumpPending(Window->Handle());
    }

    void ChooseDevice(const std::string& name) {
        ASSERT_TRUE(ChooseItem(Control(ControlId::cmbDevice), name)) << name << " is in the device list";
    }

    TempFolder Folder;
    ScriptedDialogs Boxes;
    std::vector<os::PortInfo> Ports;
    std::unique_ptr<Win32MainWindow> Window;
};

// The logic's first state reaches the controls (the view's size: ViewWindow.StartsAtTheDesignSize...).
TEST_F(Configurator, OpensWithItsCaptionAndFirstState) {
    Start();
    EXPECT_EQ(WindowText(Window->Handle()), Caption);
    const struct {
        ControlId Id;
        std::string Text;
    } texts[] = {
        {ControlId::txtPhyAdr, "15.15.255"},
        {ControlId::txtGrpAdrStart, "0/0/0"},
        {ControlId::txtGrpAdrEnd, "0/0/0"},
        {ControlId::labStatus, "Ready..."},
        {ControlId::cmbDevice, "COM1"},
        {ControlId::cmbBaudrate, "19200"},
        {ControlId::CommandList, "#SETUP=15.15.255;OFF;OFF;OFF\r\n"},
    };
    for (const auto& row : texts)
        EXPECT_EQ(Text(row.Id), row.Text) << layout::Info(row.Id).Name;
    const struct {
        ControlId Id;
        bool Enabled;
    } states[] = {{ControlId::btnAdd, true},    {ControlId::btnImport, true},  {ControlId::btnIgnore, false},
                  {ControlId::btnAbort, false}, {ControlId::btnAddAll, false}, {ControlId::btnDownload, true},
                  {ControlId::btnOpen, true},   {ControlId::btnSave, true}};
    for (const auto& row : states)
        EXPECT_EQ(::IsWindowEnabled(Control(row.Id)) != FALSE, row.Enabled) << layout::Info(row.Id).Name;
    // Stop and the TCP link's fields wait until they are wanted.
    for (const ControlId hidden :
         {ControlId::btnStop, ControlId::labHost, ControlId::txtHost, ControlId::labPort, ControlId::txtPort})
        EXPECT_FALSE(::IsWindowVisible(Control(hidden))) << layout::Info(hidden).Name;
    EXPECT_TRUE(::IsWindowVisible(Control(ControlId::btnOpen)));
    EXPECT_EQ(::SendMessageW(Control(ControlId::grpAccessType2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::GetFocus(), Control(ControlId::txtPhyAdr));
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(Configurator, LeavingByExitOrTheCloseBoxWritesTheSettings) {
    for (const bool byCloseBox : {false, true}) {
        SCOPED_TRACE(byCloseBox ? "close box" : "Exit");
        Start("[SerialPort]\r\nDevice=COM3\r\nBaudrate=9600\r\n");
        EXPECT_EQ(Text(ControlId::cmbDevice), "COM3");
        ChooseDevice("COM7");
        if (byCloseBox)
            ::SendMessageW(Window->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        else
            Click(ControlId::btnExit);
        PumpPending(Window->Handle());
        EXPECT_TRUE(QuitWaiting()) << "the message loop ends";
        Window.reset();
        EXPECT_EQ(ReadBytes(Settings()), "[SerialPort]\r\nDevice=COM7\r\nBaudrate=9600\r\n\r\n");
    }
}

TEST_F(Configurator, APortThatCannotBeOpenedIsSaidAndEverythingComesBack) {
    Start();
    ChooseDevice("COM200");
    // While the box is up the areas are still disabled: their controls are drawn so (disabled windows), yet
    // each keeps its own state for the logic.
    std::vector<bool> seen; // Add's window, Add's own state, Ignore's own state
    Boxes.OnBox = [&](const ShownBox&) {
        seen = {::IsWindowEnabled(Control(ControlId::btnAdd)) != FALSE,
                View().Get<Button>(ControlId::btnAdd).Enabled(),
                View().Get<Button>(ControlId::btnIgnore).Enabled()};
    };
    Click(ControlId::btnDownload);
    EXPECT_EQ(seen, (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(::IsWindowEnabled(Control(ControlId::btnAdd)));
    EXPECT_FALSE(::IsWindowEnabled(Control(ControlId::btnIgnore)));
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, "Can't open COM200!");
    EXPECT_EQ(Boxes.Boxes[0].Title, Caption);
    EXPECT_EQ(Text(ControlId::labStatus), "Ready...");
    for (const ControlId area : {ControlId::DeviceSetupContainer, ControlId::GroupAddressContainer,
                                 ControlId::CommandList, ControlId::ButtonContainer})
        EXPECT_TRUE(::IsWindowEnabled(Control(area))) << layout::Info(area).Name;
    EXPECT_FALSE(View().winMain.WaitCursor());
    EXPECT_EQ(::GetFocus(), Control(ControlId::btnDownload));
}

// What the running configurator showed: read by a timer of its thread once its window is up, which then
// clicks Add (no type checked: a box) and closes the window.
struct Shown {
    std::vector<std::string> Texts;
    bool Read = false;
};
Shown* RunningWindow = nullptr;
const ControlId ReadControls[] = {ControlId::btnExit, ControlId::btnDownload, ControlId::grpAccessType,
                                  ControlId::chkFullDuplex, ControlId::labStatus};

void CALLBACK ReadAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND window = nullptr;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND candidate, LPARAM found) {
            if (!::IsWindowVisible(candidate) ||
                FindControl(candidate, Win32Id(ControlId::btnExit)) == nullptr)
                return TRUE;
            *reinterpret_cast<HWND*>(found) = candidate;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&window));
    if (window == nullptr)
        return;
    ::KillTimer(nullptr, timer);
    for (const ControlId id : ReadControls)
        RunningWindow->Texts.push_back(WindowText(FindControl(window, Win32Id(id))));
    RunningWindow->Read = true;
    ::SendMessageW(FindControl(window, Win32Id(ControlId::btnAdd)), BM_CLICK, 0, 0);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

// Started where Wine's user interface language is German (the win32.Win32German test runs the suite with
// LANG=de_DE.UTF-8, as a German user's session has it, and without the ZELO_LANGUAGE override), the
// configurator shows German: labels, buttons, the status line, its boxes.
TEST(Win32German, TheConfiguratorShowsGermanWhereWinesLanguageIsGerman) {
    const zelo::test::Watchdog watchdog(30);
    ASSERT_EQ(std::getenv("ZELO_LANGUAGE"), nullptr) << "the override would choose, not Wine's language";
    ASSERT_EQ(PRIMARYLANGID(::GetUserDefaultUILanguage()), LANG_GERMAN)
        << "Wine's user interface language is not German: run with LANG=de_DE.UTF-8 (the de_DE.UTF-8 locale "
           "must exist)";
    TempFolder folder;
    ScriptedDialogs boxes;
    Shown shown;
    RunningWindow = &shown;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, ReadAndClose);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(RunConfigurator(boxes, folder.File(SettingsName), {}), 0);
    ::KillTimer(nullptr, timer);
    RunningWindow = nullptr;
    ASSERT_TRUE(shown.Read) << "the window was not seen";
    EXPECT_EQ(shown.Texts, (std::vector<std::string>{"Beenden",
                                                     "\xC3\x9C"
                                                     "bertragen",
                                                     "Zugriff", "Vollduplex-Betrieb", "Bereit..."}));
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Bitte einen Datenpunkttyp ausw\xC3\xA4hlen!");
    // A real box as the logic's boxes reach it: its caption.
    Win32Dialogs real;
    TranslatedDialogs german(real);
    BoxAnswerer answerer(box::IdOk);
    german.MessageBox("Finished import from ETS3!", "Project password", box::Ok | box::IconInformation);
    SetLanguage(Language::English);
    ASSERT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_EQ(answerer.Boxes[0].Title, "Projektpasswort");
}

// Presses a key with Ctrl (and Shift) as the user does: the thread's key state has the modifiers down while
// the key's message goes through the window's own message handling.
void PressShortcut(Win32MainWindow& window, WORD key, bool shift) {
    BYTE saved[256];
    ::GetKeyboardState(saved);
    BYTE pressed[256];
    std::copy(std::begin(saved), std::end(saved), std::begin(pressed));
    pressed[VK_CONTROL] = 0x80;
    pressed[VK_SHIFT] = shift ? 0x80 : 0;
    ::SetKeyboardState(pressed);
    ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
    window.View().winMain.ProcessPendingEvents();
    ::SetKeyboardState(saved);
}

// Files dropped on a window as Explorer drops them.
void DropFiles(HWND window, const std::vector<std::string>& files) {
    std::wstring names;
    for (const std::string& file : files)
        names += WideText(file) + L'\0';
    names += L'\0';
    HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(names.begin(), names.end(),
              reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES)));
    ::GlobalUnlock(memory);
    ::SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

// The controls and keys of the list's files, the TCP link, the device list, drops and the session's end
// reach the logic.
TEST_F(Configurator, FilesKeysTheLinkAndTheSessionReachTheLogic) {
    Start();
    TwinMain& logic = Window->Logic();
    auto write = [this](const char* name, const std::string& text) {
        std::ofstream(Folder.File(name), std::ios::binary) << text;
        return Folder.File(name);
    };
    const std::string first = write("first.txt", "#SETUP=1.2.3;OFF;OFF;OFF\r\n#DG1/1/1=BIT;RW\r\n");
    const std::string second = write("second.txt", "#DG2/2/2=BIT;RW\n");
    const std::string saved = Folder.File("saved.txt");
    const struct {
        const char* Event;
        std::function<void()> Act;
        std::function<bool()> Arrived;
    } events[] = {
        {"Ctrl+O",
         [&] {
             Boxes.Files = {first};
             FocusTo(ControlId::CommandList);
             PressShortcut(*Window, 'O', false);
         },
         [&] {
             return logic.Document().Lines() ==
                    std::vector<std::string>{"#SETUP=1.2.3;OFF;OFF;OFF", "#DG1/1/1=BIT;RW"};
         }},
        {"Open... clicked",
         [&] {
             Boxes.Files = {second};
             Click(ControlId::btnOpen);
         },
         [&] { return logic.Document().FileName() == second; }},
        // The key leaves the field being typed in first, as a click would: the address typed is in the file
        // (the setup line put back in front of the list that had none).
        {"Shift+Ctrl+S in a field",
         [&] {
             Boxes.SaveNames = {saved};
             Type(ControlId::txtPhyAdr, "1.2.9");
             PressShortcut(*Window, 'S', true);
         },
         [&] {
             return ReadBytes(saved) == "#SETUP=1.2.9;OFF;OFF;OFF\n#DG2/2/2=BIT;RW\n" &&
                    Boxes.Saves.size() == 1;
         }},
        {"Save... clicked, in place",
         [&] {
             Type(ControlId::txtGrpAdrStart, "3/3/3");
             FocusTo(ControlId::EibDptList);
             ClickRowBox(View().Get<CheckList>(ControlId::EibDptList), 1);
             Click(ControlId::btnAdd);
             Click(ControlId::btnSave);
         },
         [&] {
             return ReadBytes(saved) == "#SETUP=1.2.9;OFF;OFF;OFF\n#DG2/2/2=BIT;RW\n#DG3/3/3=BIT;RW\n" &&
                    Boxes.Saves.size() == 1;
         }},
        {"a type's text clicked", [&] { ClickRowText(View().Get<CheckList>(ControlId::EibDptList), 4); },
         [&] {
             return View().Get<CheckList>(ControlId::EibDptList).Checked(4) &&
                    !View().Get<CheckList>(ControlId::EibDptList).Checked(1);
         }},
        {"the device list opened: the ports read again",
         [&] {
             Ports = {{"COM4", "", "COM4"}};
             ::SendMessageW(Control(ControlId::cmbDevice), CB_SHOWDROPDOWN, TRUE, 0);
             ::SendMessageW(Control(ControlId::cmbDevice), CB_SHOWDROPDOWN, FALSE, 0);
             PumpPending(Window->Handle());
         },
         [&] { return View().Get<ComboBox>(ControlId::cmbDevice).ItemText(0) == "COM4 (serial port)"; }},
        {"a device typed, then left",
         [&] {
             TypeInto(::FindWindowExW(Control(ControlId::cmbDevice), nullptr, L"Edit", nullptr), " COM7 ");
             FocusTo(ControlId::cmbBaudrate);
         },
         [&] { return logic.Converter->Device() == "COM7"; }},
        {"TCP/IP chosen: host and port shown and left",
         [&] {
             ChooseDevice("TCP/IP");
             Type(ControlId::txtHost, "gw.local");
             FocusTo(ControlId::txtPort);
             Type(ControlId::txtPort, "4001");
             FocusTo(ControlId::txtGrpAdrStart);
         },
         [&] {
             return logic.Converter->Device() == "TCP/IP" && ::IsWindowVisible(Control(ControlId::txtHost)) &&
                    ::IsWindowVisible(Control(ControlId::labPort)) && logic.Converter->Host() == "gw.local" &&
                    logic.Converter->Port() == "4001";
         }},
        {"a list dropped on the window", [&] { DropFiles(Window->Handle(), {first}); },
         [&] { return logic.Document().FileName() == first; }},
        {"the session ends with the list changed",
         [&] {
             Click(ControlId::chkPrintHex);
             EXPECT_EQ(::SendMessageW(Window->Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
             ::SendMessageW(Window->Handle(), WM_ENDSESSION, TRUE, 0);
         },
         [&] {
             return ReadBytes(RecoveryFileName(Settings())) == "#SETUP=1.2.3;OFF;ON;OFF\n#DG1/1/1=BIT;RW\n" &&
                    QuitWaiting();
         }},
    };
    for (const auto& e : events) {
        e.Act();
        EXPECT_TRUE(e.Arrived()) << e.Event;
    }
    EXPECT_TRUE(Boxes.Boxes.empty()) << Boxes.Boxes.front().Text;
}

// The line-number gutter, and a line selected and shown as after a refusal.
TEST_F(Configurator, TheGutterNumbersTheLinesAndALineIsShownSelected) {
    Start();
    MultiLineEdit& list = View().Get<MultiLineEdit>(ControlId::CommandList);
    const int narrow = list.GutterWidth();
    EXPECT_GT(narrow, 0);
    EXPECT_EQ(list.ShownNumbers(), std::vector<int>{1});
    std::string text = "#SETUP=15.15.255;OFF;OFF;OFF\n";
    for (int i = 0; i < 1200; ++i)
        text += "#DG1/0/" + std::to_string(i % 256) + "=BIT;RW\n";
    list.SetText(text);
    PumpPending(Window->Handle());
    EXPECT_GT(list.GutterWidth(), narrow);
    EXPECT_EQ(static_cast<int>(LOWORD(::SendMessageW(list.Handle(), EM_GETMARGINS, 0, 0))),
              list.GutterWidth());
    list.SelectLine(599);
    PumpPending(Window->Handle());
    DWORD start = 0;
    DWORD end = 0;
    ::SendMessageW(list.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                   reinterpret_cast<LPARAM>(&end));
    const std::vector<std::string> lines = list.Lines();
    EXPECT_EQ(end - start, lines[599].size());
    const std::vector<int> shown = list.ShownNumbers();
    EXPECT_NE(std::find(shown.begin(), shown.end(), 600), shown.end());
    // A line end at the very end adds no line: its empty line has no number.
    list.ScrollToLine(1200);
    PumpPending(Window->Handle());
    EXPECT_EQ(list.ShownNumbers().back(), 1201);
}

// The program itself: a settings file it cannot read ends it with an exit code that says so.
TEST(Win32Program, AnUnreadableSettingsFileEndsTheStartWithAnExitCode) {
    TempFolder folder;
    const std::string settings = folder.File("settings-folder");
    std::filesystem::create_directory(settings);
    ScriptedDialogs boxes;
    EXPECT_EQ(RunConfigurator(boxes, settings, {}), 1);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text.rfind("Can't read " + settings + ": ", 0), 0u) << boxes.Boxes[0].Text;
    EXPECT_EQ(boxes.Boxes[0].Title, ApplicationTitle);
}

// Run by the native harness (tests/wine), which puts the gateway simulator behind the COM port named in
// ZELO_WINE_COM and compares what the gateway received with the lines printed here.
TEST(Win32Download, IntoTheSimulatorThroughTheComPort) {
    const char* port = std::getenv("ZELO_WINE_COM");
    if (port == nullptr)
        GTEST_SKIP() << "run by the native harness with the simulator behind a COM port";
    TempFolder folder;
    ScriptedDialogs boxes;
    ReadVersionInfo();
    Win32MainWindow window(boxes, folder.File(SettingsName));
    window.Show();
    PumpPending(window.Handle());
    Win32Window& view = window.View();
    HWND root = window.Handle();

    view.Get<EditField>(ControlId::txtPhyAdr).Focus();
    ::SendMessageW(view.Get<EditField>(ControlId::txtPhyAdr).Handle(), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"1.1.200"));
    ::SendMessageW(view.Get<CheckBox>(ControlId::chkPrintSource).Handle(), BM_CLICK, 0, 0);
    ::SendMessageW(view.Get<EditField>(ControlId::txtGrpAdrEnd).Handle(), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L"1/0/7"));
    ::SetFocus(view.Get<EditField>(ControlId::txtGrpAdrEnd).Handle());
    PumpPending(root);
    ::SetFocus(view.Get<CheckList>(ControlId::EibDptList).Handle());
    PumpPending(root);
    ClickRowBox(view.Get<CheckList>(ControlId::EibDptList), 16);
    ::SendMessageW(view.Get<Button>(ControlId::btnAdd).Handle(), BM_CLICK, 0, 0);
    PumpPending(root);
    ASSERT_TRUE(ChooseItem(view.Get<ComboBox>(ControlId::cmbDevice).Handle(), port));

    // The gateway takes its time to answer: the window goes on working meanwhile. A close request that
    // arrives then is held until the download has ended, with the four areas disabled and the hourglass up.
    struct Seen {
        std::vector<bool> AreasEnabled;
        bool Waiting = false;
        int Percent = 0;
        bool StopShown = false;
        bool FocusOnStop = false;
    };
    std::vector<Seen> requests;
    // The edited list is asked about once the download has ended; it is not to be kept.
    boxes.Answers = {box::IdNo};
    const auto close = view.OnCloseRequest;
    view.OnCloseRequest = [&] {
        Seen seen{{},
                  view.winMain.WaitCursor(),
                  view.Get<Gauge>(ControlId::ProgressBar).Percent(),
                  view.Get<Button>(ControlId::btnStop).Visible(),
                  ::GetFocus() == view.Get<Button>(ControlId::btnStop).Handle()};
        // Keys typed meanwhile go to the focused control (a letter no usable button has, a digit): harmless.
        for (const WPARAM key : {WPARAM{'X'}, WPARAM{'5'}}) {
            ::PostMessageW(::GetFocus(), WM_KEYDOWN, key, 1);
            ::PostMessageW(::GetFocus(), WM_CHAR, key == 'X' ? L'x' : key, 1);
        }
        for (const Control* area :
             std::initializer_list<const Control*>{&view.Get<Panel>(ControlId::DeviceSetupContainer),
                                                   &view.Get<Panel>(ControlId::GroupAddressContainer),
                                                   &view.Get<MultiLineEdit>(ControlId::CommandList),
                                                   &view.Get<Panel>(ControlId::ButtonContainer)})
            seen.AreasEnabled.push_back(area->Enabled());
        requests.push_back(seen);
        return close();
    };
    ::PostMessageW(root, WM_CLOSE, 0, 0);
    ::SendMessageW(view.Get<Button>(ControlId::btnDownload).Handle(), BM_CLICK, 0, 0);

    EXPECT_TRUE(boxes.Boxes.empty()) << (boxes.Boxes.empty() ? "" : boxes.Boxes[0].Text);
    EXPECT_EQ(WindowText(view.Get<Label>(ControlId::labStatus).Handle()),
              "Configuration loaded successfully!");
    EXPECT_EQ(view.Get<Gauge>(ControlId::ProgressBar).Percent(), 100);
    ASSERT_EQ(requests.size(), 1u) << "the request came while the download ran";
    EXPECT_EQ(requests[0].AreasEnabled, std::vector<bool>(4, false));
    EXPECT_TRUE(requests[0].Waiting);
    EXPECT_TRUE(requests[0].StopShown);
    EXPECT_TRUE(requests[0].FocusOnStop) << "no key may meet a focused control inside a disabled area";
    // The download ran to its end; then the focus is back on Download.
    EXPECT_EQ(::GetFocus(), view.Get<Button>(ControlId::btnDownload).Handle());
    EXPECT_FALSE(view.Get<Button>(ControlId::btnStop).Visible());
    EXPECT_FALSE(view.winMain.WaitCursor());
    EXPECT_TRUE(view.Get<Panel>(ControlId::ButtonContainer).Enabled());
    // Once the download has ended, the held request asks about the edited list and closes the window.
    PumpPending(root);
    EXPECT_EQ(requests.size(), 2u);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Save changes to the command list?");
    EXPECT_TRUE(QuitWaiting());
    for (const std::string& line : window.Logic().Document().Lines())
        std::cout << "line: " << line << "\n";
    std::cout.flush();
}

// Run by the native harness (tests/wine), which starts the gateway simulator on the loopback port in
// ZELO_WINE_MONITOR_PORT with its bus printing: Monitor... opens the monitor window on the window's link, its
// timer shows the lines with the names of the last import, the filter and Save log work through the controls,
// and the close box stops it. The lines shown are printed for the harness.
TEST(Win32Monitor, ShowsTheSimulatorsLinesWithNames) {
    const char* port = std::getenv("ZELO_WINE_MONITOR_PORT");
    if (port == nullptr)
        GTEST_SKIP() << "run by the native harness with the simulator on a loopback port";
    const zelo::test::Watchdog watchdog(60);
    TempFolder folder;
    {
        std::ofstream settings(folder.File(SettingsName), std::ios::binary);
        settings << "[SerialPort]\r\nDevice=TCP/IP\r\nHost=127.0.0.1\r\nPort=" << port << "\r\n";
        std::ofstream names(folder.File("names.csv"), std::ios::binary);
        names << "Group name;Address;DPT\nKitchen;1/2/3;1.001\nHall light;1/2/4;1.001\n";
    }
    ScriptedDialogs boxes;
    ReadVersionInfo();
    Win32MainWindow window(boxes, folder.File(SettingsName));
    window.Show();
    PumpPending(window.Handle());
    window.Logic().CommandList->SetText("#SETUP=1.1.250;ON;OFF;OFF\n#DG1/2/3-1/2/4=BIT;RW\n#DG3/0/0=VALUE;R");
    ::SendMessageW(window.View().Get<Button>(ControlId::btnDownload).Handle(), BM_CLICK, 0, 0);
    ASSERT_EQ(WindowText(window.View().Get<Label>(ControlId::labStatus).Handle()),
              "Configuration loaded successfully!");
    window.Logic().FilesDropped({folder.File("names.csv")});
    window.Logic().btnAbortClick();
    boxes.Boxes.clear();

    ::SendMessageW(window.View().Get<Button>(ControlId::btnMonitor).Handle(), BM_CLICK, 0, 0);
    Win32MonitorWindow* monitor = window.Monitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_TRUE(::IsWindowVisible(monitor->Handle()));
    EXPECT_EQ(WindowText(monitor->Handle()), MonitorCaption);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (monitor->Lines().LineCount() < 6 && std::chrono::steady_clock::now() < until) {
        PumpPending(monitor->Handle());
        ::Sleep(10);
    }
    ASSERT_GE(monitor->Lines().LineCount(), 6);
    for (int i = 0; i < monitor->Lines().LineCount(); ++i)
        std::cout << "shown: " << monitor->Lines().LineText(i).substr(24) << "\n";

    // Typed into the filter: only the hall's lines stay.
    monitor->Filter().Focus();
    ::SendMessageW(monitor->Filter().Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"hall"));
    PumpPending(monitor->Handle());
    ASSERT_GE(monitor->Lines().LineCount(), 1);
    for (int i = 0; i < monitor->Lines().LineCount(); ++i)
        EXPECT_NE(monitor->Lines().LineText(i).find("1/2/4 [Hall light] W"), std::string::npos)
            << monitor->Lines().LineText(i);
    boxes.SaveNames.push_back(folder.File("log.txt"));
    ::SendMessageW(monitor->SaveLog().Handle(), BM_CLICK, 0, 0);
    std::string expected;
    for (int i = 0; i < monitor->Lines().LineCount(); ++i)
        expected += monitor->Lines().LineText(i) + "\n";
    EXPECT_EQ(ReadBytes(folder.File("log.txt")), expected);

    ::SendMessageW(monitor->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindowVisible(monitor->Handle()));
    EXPECT_FALSE(monitor->Logic().Running());
    EXPECT_TRUE(boxes.Boxes.empty()) << (boxes.Boxes.empty() ? "" : boxes.Boxes[0].Text);
    std::cout.flush();
}

// Run by the native harness (tests/wine) with ZELO_FILES_FOLDER naming a folder in a script the ANSI code
// page cannot hold, where it has put the window's settings (the TCP link) and an ETS export: the window reads
// them, imports the export, saves the list there as "Λίστα.txt" and opens it again.
TEST(Win32Files, TheWindowReadsAndWritesInTheFolderGiven) {
    wchar_t given[1024] = {};
    if (::GetEnvironmentVariableW(L"ZELO_FILES_FOLDER", given, 1024) == 0)
        GTEST_SKIP() << "run by the native harness, which makes the folder";
    const std::string folder = Utf8Text(given);
    const std::string list = folder + "\\\xCE\x9B\xCE\xAF\xCF\x83\xCF\x84\xCE\xB1.txt";
    ScriptedDialogs boxes;
    ReadVersionInfo();
    Win32MainWindow window(boxes, folder + "\\zelo-configurator.ini");
    window.Show();
    PumpPending(window.Handle());
    Win32Window& view = window.View();
    TwinMain& logic = window.Logic();
    EXPECT_EQ(WindowText(view.Get<ComboBox>(ControlId::cmbDevice).Handle()), "TCP/IP")
        << "the settings were read";

    boxes.Files = {folder + "\\export.csv"};
    ::SendMessageW(view.Get<Button>(ControlId::btnImport).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    ::SendMessageW(view.Get<Button>(ControlId::btnAddAll).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    const std::vector<std::string> lines{"#SETUP=15.15.255;OFF;OFF;OFF", "#DG1/1/1=BIT;RW",
                                         "#DG1/1/2=VALUE;RW"};
    EXPECT_EQ(logic.Document().Lines(), lines) << "the export was imported";

    boxes.SaveNames = {list};
    ::SendMessageW(view.Get<Button>(ControlId::btnSave).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    EXPECT_EQ(logic.Document().FileName(), list);
    ::SendMessageW(view.Get<MultiLineEdit>(ControlId::CommandList).Handle(), WM_SETTEXT, 0,
                   reinterpret_cast<LPARAM>(L""));
    boxes.Files = {list};
    boxes.Answers = {box::IdNo}; // the emptied list is not to be kept
    ::SendMessageW(view.Get<Button>(ControlId::btnOpen).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    EXPECT_EQ(logic.Document().Lines(), lines) << "the saved list opened again";
    for (const ShownBox& shown : boxes.Boxes)
        EXPECT_NE(shown.Flags & 0xF0, box::IconError) << shown.Text;
}

} // namespace
