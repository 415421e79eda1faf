// The configurator's window on Windows with its logic: what the user sees at start, a refused address, Add,
// the way out, and a download into the gateway simulator through a COM port (run by the native harness,
// which owns the simulator on the pseudo-terminal the port leads to).
#include "Win32TestSupport.h"
#include "model/Address.h"
#include "model/Error.h"
#include "version/VersionInfo.h"
#include "window/StandardError.h"
#include "window/win32/Win32MainWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

using namespace zelo;
using namespace zelo::win32;
using layout::ControlId;
using zelo::test::ChooseItem;
using zelo::test::ClickRowBox;
using zelo::test::FindControl;
using zelo::test::PumpPending;
using zelo::test::ScriptedDialogs;
using zelo::test::TypeInto;
using zelo::test::WindowText;

namespace {

const std::string Caption = "ZELO-KNX-ASCII Configurator V1.0.2.3";

// A folder of its own for the settings file, removed afterwards.
class SettingsFolder {
public:
    SettingsFolder() {
        Path_ = std::filesystem::temp_directory_path() /
                ("zelo-win32-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++Count_));
        std::filesystem::create_directories(Path_);
    }
    ~SettingsFolder() {
        std::error_code error;
        std::filesystem::remove_all(Path_, error);
    }
    SettingsFolder(const SettingsFolder&) = delete;
    SettingsFolder& operator=(const SettingsFolder&) = delete;
    std::string File() const { return (Path_ / "zelo-configurator.ini").string(); }
    std::string Read() const {
        std::ifstream in(File(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::filesystem::path Path_;
    static inline int Count_ = 0;
};

class Configurator : public ::testing::Test {
protected:
    void Start(const std::optional<std::string>& settings = std::nullopt) {
        VersionInfo = TVersionInfo{};
        ReadVersionInfo();
        if (settings)
            std::ofstream(Folder.File(), std::ios::binary) << *settings;
        SetHandlerErrorDisplay([this] { ShowCurrentException(Boxes); });
        Window = std::make_unique<Win32MainWindow>(Boxes, Folder.File());
        ASSERT_NE(Window->Handle(), nullptr);
        Window->Show();
        PumpPending(Window->Handle());
    }

    void TearDown() override {
        Window.reset();
        SetHandlerErrorDisplay(nullptr);
    }

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

    void CheckType(int row) {
        const RECT box = View().EibDptList.CheckBoxRect(row);
        const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
        ::SendMessageW(Control(ControlId::EibDptList), WM_LBUTTONDOWN, MK_LBUTTON, at);
        ::SendMessageW(Control(ControlId::EibDptList), WM_LBUTTONUP, 0, at);
        PumpPending(Window->Handle());
    }

    // Chooses a device from the list as the user does.
    void ChooseDevice(const std::string& name) {
        HWND list = Control(ControlId::cmbDevice);
        const std::wstring wide(name.begin(), name.end());
        ASSERT_NE(::SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                                 reinterpret_cast<LPARAM>(wide.c_str())),
                  CB_ERR)
            << name << " is in the device list";
        ::SendMessageW(::GetParent(list), WM_COMMAND,
                       MAKEWPARAM(Win32Id(ControlId::cmbDevice), CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(list));
        PumpPending(Window->Handle());
    }

    static bool QuitWaiting() {
        MSG message{};
        return ::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    }

    SettingsFolder Folder;
    ScriptedDialogs Boxes;
    std::unique_ptr<Win32MainWindow> Window;
};

TEST_F(Configurator, OpensWithItsCaptionSizeAndFirstState) {
    Start();
    EXPECT_EQ(WindowText(Window->Handle()), Caption);
    RECT client{};
    ::GetClientRect(Window->Handle(), &client);
    EXPECT_EQ(client.right, 1016);
    EXPECT_EQ(client.bottom, 734);
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
    } states[] = {{ControlId::btnAdd, true},     {ControlId::btnImport, true},
                  {ControlId::btnIgnore, false}, {ControlId::btnAbort, false},
                  {ControlId::btnAddAll, false}, {ControlId::btnDownload, true}};
    for (const auto& row : states)
        EXPECT_EQ(::IsWindowEnabled(Control(row.Id)) != FALSE, row.Enabled) << layout::Info(row.Id).Name;
    EXPECT_EQ(::SendMessageW(Control(ControlId::grpAccessType2), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::GetFocus(), Control(ControlId::txtPhyAdr));
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(Configurator, AnAddressFieldLeftWithABadAddressShowsTheBoxAndKeepsTheFocus) {
    Start();
    const struct {
        ControlId Field;
        std::string Typed;
        ControlId Next;
    } rows[] = {
        {ControlId::txtGrpAdrStart, "1/2/300", ControlId::txtGrpAdrEnd},
        {ControlId::txtGrpAdrEnd, "16/0/0", ControlId::btnAdd},
        {ControlId::txtGrpAdrStart, "one", ControlId::EibDptList},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Typed);
        Boxes.Boxes.clear();
        Type(row.Field, row.Typed);
        FocusTo(row.Next);
        ASSERT_EQ(Boxes.Boxes.size(), 1u) << "one box, also when the field the focus went to is bad too";
        std::string message;
        try {
            TextToGroupAddress(row.Typed);
        } catch (const Exception& error) {
            message = error.Message();
        }
        EXPECT_EQ(Boxes.Boxes[0].Text, message);
        EXPECT_EQ(Boxes.Boxes[0].Title, Caption);
        EXPECT_EQ(Boxes.Boxes[0].Flags, box::Ok | box::IconError);
        EXPECT_EQ(::GetFocus(), Control(row.Field)) << "the focus is back in the field";
        EXPECT_EQ(Text(row.Field), row.Typed) << "the text stays for the user to mend";
        Type(row.Field, "0/0/0");
        FocusTo(row.Next);
    }
    // Switching to another window is no leave: no box.
    Boxes.Boxes.clear();
    Type(ControlId::txtGrpAdrStart, "1/2/300");
    ::SetFocus(nullptr);
    PumpPending(Window->Handle());
    EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(Configurator, AddAppendsTheRangesLineAndTheSetupLineFollowsTheOptions) {
    Start();
    Type(ControlId::txtGrpAdrStart, "1/2/3");
    Type(ControlId::txtGrpAdrEnd, "1/2/9");
    FocusTo(ControlId::EibDptList);
    CheckType(1);
    Click(ControlId::grpAccessType1);
    Click(ControlId::btnAdd);
    Click(ControlId::chkPrintHex);
    Type(ControlId::txtPhyAdr, "1.1.200");
    FocusTo(ControlId::btnDownload);
    EXPECT_TRUE(Boxes.Boxes.empty());
    EXPECT_EQ(Text(ControlId::CommandList), "#SETUP=1.1.200;OFF;ON;OFF\r\n#DG1/2/3-1/2/9=BIT;W\r\n");

    // Add without a checked type: the box, the focus to the list, nothing appended.
    CheckType(1);
    Click(ControlId::btnAdd);
    ASSERT_EQ(Boxes.Boxes.size(), 1u);
    EXPECT_EQ(Boxes.Boxes[0].Text, "Please select a datapoint type!");
    EXPECT_EQ(::GetFocus(), Control(ControlId::EibDptList));
    EXPECT_EQ(View().CommandList.LineCount(), 3);
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
        EXPECT_EQ(Folder.Read(), "[SerialPort]\r\nDevice=COM7\r\nBaudrate=9600\r\n\r\n");
    }
}

TEST_F(Configurator, APortThatCannotBeOpenedIsSaidAndEverythingComesBack) {
    Start();
    ChooseDevice("COM200");
    Click(ControlId::btnDownload);
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

// Run by the native harness (tests/wine), which puts the gateway simulator behind the COM port named in
// ZELO_WINE_COM and compares what the gateway received with the lines printed here.
TEST(Win32Download, IntoTheSimulatorThroughTheComPort) {
    const char* port = std::getenv("ZELO_WINE_COM");
    if (port == nullptr)
        GTEST_SKIP() << "run by the native harness with the simulator behind a COM port";
    SettingsFolder folder;
    ScriptedDialogs boxes;
    ReadVersionInfo();
    Win32MainWindow window(boxes, folder.File());
    window.Show();
    PumpPending(window.Handle());
    Win32Window& view = window.View();
    HWND root = window.Handle();

    view.txtPhyAdr.Focus();
    ::SendMessageW(view.txtPhyAdr.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1.1.200"));
    ::SendMessageW(view.chkPrintSource.Handle(), BM_CLICK, 0, 0);
    ::SendMessageW(view.txtGrpAdrEnd.Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"1/0/7"));
    ::SetFocus(view.txtGrpAdrEnd.Handle());
    PumpPending(root);
    ::SetFocus(view.EibDptList.Handle());
    PumpPending(root);
    const RECT box = view.EibDptList.CheckBoxRect(16);
    const LPARAM at = MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2);
    ::SendMessageW(view.EibDptList.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(view.EibDptList.Handle(), WM_LBUTTONUP, 0, at);
    ::SendMessageW(view.btnAdd.Handle(), BM_CLICK, 0, 0);
    PumpPending(root);

    HWND list = view.cmbDevice.Handle();
    const std::string name = port;
    const std::wstring wide(name.begin(), name.end());
    ASSERT_NE(::SendMessageW(list, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                             reinterpret_cast<LPARAM>(wide.c_str())),
              CB_ERR);
    ::SendMessageW(::GetParent(list), WM_COMMAND, MAKEWPARAM(Win32Id(ControlId::cmbDevice), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(list));

    // The gateway takes its time to answer: the window goes on working meanwhile. A close request that
    // arrives then is held until the download has ended, with the four areas disabled and the hourglass up.
    struct Seen {
        std::vector<bool> AreasEnabled;
        bool Waiting = false;
        int Percent = 0;
    };
    std::vector<Seen> requests;
    const auto close = view.OnCloseRequest;
    view.OnCloseRequest = [&] {
        Seen seen{{}, view.winMain.WaitCursor(), view.ProgressBar.Percent()};
        for (const Control* area :
             std::initializer_list<const Control*>{&view.DeviceSetupContainer, &view.GroupAddressContainer,
                                                   &view.CommandList, &view.ButtonContainer})
            seen.AreasEnabled.push_back(area->Enabled());
        requests.push_back(seen);
        return close();
    };
    ::PostMessageW(root, WM_CLOSE, 0, 0);
    ::SendMessageW(view.btnDownload.Handle(), BM_CLICK, 0, 0);

    EXPECT_TRUE(boxes.Boxes.empty()) << (boxes.Boxes.empty() ? "" : boxes.Boxes[0].Text);
    EXPECT_EQ(WindowText(view.labStatus.Handle()), "Configuration loaded successfully!");
    EXPECT_EQ(view.ProgressBar.Percent(), 100);
    ASSERT_EQ(requests.size(), 1u) << "the request came while the download ran";
    EXPECT_EQ(requests[0].AreasEnabled, std::vector<bool>(4, false));
    EXPECT_TRUE(requests[0].Waiting);
    EXPECT_FALSE(view.winMain.WaitCursor());
    EXPECT_TRUE(view.ButtonContainer.Enabled());
    // Once the download has ended, the held request closes the window.
    PumpPending(root);
    EXPECT_EQ(requests.size(), 2u);
    MSG quit{};
    EXPECT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    for (const std::string& line : window.Logic().CommandLines())
        std::cout << "line: " << line << "\n";
    std::cout.flush();
}

} // namespace
