// Sets the Windows window up for the README's screenshot (scripts/screenshot): a few ranges added through
// its controls and a download into the gateway simulator behind a COM port. Then it says where the window
// is ("window: X Y WIDTH HEIGHT") and keeps the window on screen, idle, until the file DONE exists, so the
// screen can be captured meanwhile.
// Usage: win32_screenshot COM-PORT DONE
#include "Win32TestSupport.h"
#include "version/VersionInfo.h"
#include "window/Catalogue.h"
#include "window/win32/Win32MainWindow.h"

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

using zelo::layout::ControlId;
using namespace zelo::test;
using namespace zelo::win32;

namespace {

// Any box here is a failure of the run: say so and answer No.
class ReportingDialogs : public zelo::Dialogs {
public:
    int MessageBox(const std::string& text, const std::string& title, int, const std::string&) override {
        std::printf("box: %s: %s\n", title.c_str(), text.c_str());
        Failed = true;
        return zelo::box::IdNo;
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    // The list is saved under the name offered, in the folder given.
    std::optional<std::string> SaveFile(const std::string&, const std::string&, const std::string&) override {
        return Folder + "\\gateway.txt";
    }
    std::string Folder;
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string&) override {
        std::printf("password prompt: %s\n", prompt.c_str());
        Failed = true;
        return std::nullopt;
    }
    bool Failed = false;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::printf("usage: win32_screenshot COM-PORT DONE\n");
        return 2;
    }
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zelo-win32-screenshot";
    std::filesystem::create_directories(folder);
    const std::string settings = (folder / "zelo-configurator.ini").string();
    std::filesystem::remove(settings);
    zelo::ReadVersionInfo();
    zelo::ChooseLanguageFromEnvironment(); // as the program does: German where Wine's language is
    ReportingDialogs boxes;
    boxes.Folder = folder.string();
    zelo::win32::Win32MainWindow window(boxes, settings);
    window.Show();
    PumpPending(window.Handle());
    zelo::win32::Win32Window& view = window.View();

    TypeInto(view.Get<EditField>(ControlId::txtPhyAdr).Handle(), "1.1.250");
    ::SendMessageW(view.Get<CheckBox>(ControlId::chkPrintSource).Handle(), BM_CLICK, 0, 0);
    const struct {
        const char* Start;
        const char* End;
        int Type;
        int Access;
    } ranges[] = {{"0/0/0", "0/0/7", 1, 2}, {"1/0/0", "1/0/10", 11, 0}, {"2/1/0", "2/1/0", 12, 1}};
    for (const auto& range : ranges) {
        TypeInto(view.Get<EditField>(ControlId::txtGrpAdrStart).Handle(), range.Start);
        TypeInto(view.Get<EditField>(ControlId::txtGrpAdrEnd).Handle(), range.End);
        ClickRowBox(view.Get<CheckList>(ControlId::EibDptList), range.Type);
        ::SendMessageW(view.Get<RadioGroup>(ControlId::grpAccessType).Item(range.Access).Handle(), BM_CLICK,
                       0, 0);
        ::SendMessageW(view.Get<Button>(ControlId::btnAdd).Handle(), BM_CLICK, 0, 0);
        PumpPending(window.Handle());
    }
    // Saved: the caption names the file.
    ::SendMessageW(view.Get<Button>(ControlId::btnSave).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    if (!ChooseItem(view.Get<ComboBox>(ControlId::cmbDevice).Handle(), argv[1])) {
        std::printf("failed: no %s in the device list\n", argv[1]);
        return 1;
    }
    ::SendMessageW(view.Get<Button>(ControlId::btnDownload).Handle(), BM_CLICK, 0, 0);
    PumpPending(window.Handle());
    const std::string status = WindowText(view.Get<Label>(ControlId::labStatus).Handle());
    // In the language the window speaks.
    if (boxes.Failed || status != zelo::Tr("Configuration loaded successfully!")) {
        std::printf("failed: the download ended with \"%s\"\n", status.c_str());
        return 1;
    }

    RECT frame{};
    ::GetWindowRect(window.Handle(), &frame);
    std::printf("window: %ld %ld %ld %ld\n", frame.left, frame.top, frame.right - frame.left,
                frame.bottom - frame.top);
    std::fflush(stdout);
    // Waiting in the message loop lets Wine bring every paint to the screen; the file ends the wait.
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, nullptr);
    MSG message{};
    for (int ticks = 0; ticks < 600 && !std::filesystem::exists(argv[2]);) {
        if (::GetMessageW(&message, nullptr, 0, 0) <= 0)
            break;
        ticks += message.message == WM_TIMER ? 1 : 0;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    ::KillTimer(nullptr, timer);
    return 0;
}
