#include "window/win32/Win32MainWindow.h"
#include "model/Error.h"
#include "os/Signals.h"
#include "window/Catalogue.h"
#include "window/Wiring.h"
#include "window/win32/Win32Dialogs.h"

namespace zelo::win32 {

Win32MainWindow::Win32MainWindow(Dialogs& dialogs, const std::string& settingsFileName,
                                 PortLister listPorts) {
    if (!View_.Create())
        throw Exception(std::string(Tr("Windows could not create the configurator's window.")));
    Logic_ = std::make_unique<TwinMain>(View_.Controls(), dialogs, settingsFileName, std::move(listPorts));
    Logic_->MonitorView = [this, &dialogs] {
        if (!Monitor_)
            Monitor_ = std::make_unique<Win32MonitorWindow>(dialogs);
        return &Monitor_->Logic();
    };
    View_.OnEvent = [this](layout::ControlId id, ControlEvent event) {
        Dispatch(*Logic_, id, event, View_.FocusedControl());
    };
    View_.OnShortcut = [this](layout::Command command) {
        DispatchShortcut(*Logic_, command, View_.FocusedControl());
    };
    View_.OnCloseRequest = [this] { return Logic_->FormCloseQuery(); };
    View_.winMain.OnFilesDropped = [this](const std::vector<std::string>& files) {
        Logic_->Run([this, &files] { Logic_->FilesDropped(files); });
    };
    View_.winMain.OnQueryEndSession = [this] { return SessionMayEnd(*Logic_); };
    View_.winMain.OnEndSession = [this] { Logic_->Run(&TwinMain::TerminationRequest); };
    // Ctrl+C or a console's close reach a window only as a noted request: looked at here (the logic takes
    // a request once).
    View_.winMain.OnTick = [this] {
        if (os::TerminationRequest() != 0)
            Logic_->Run(&TwinMain::TerminationRequest);
    };
    // The start-up filled the lists: a long device name may widen its list.
    View_.LayOutControls();
}

Win32MainWindow::~Win32MainWindow() {
    View_.OnEvent = nullptr;
    View_.OnShortcut = nullptr;
    View_.OnCloseRequest = nullptr;
    View_.winMain.OnFilesDropped = nullptr;
    View_.winMain.OnQueryEndSession = nullptr;
    View_.winMain.OnEndSession = nullptr;
    View_.winMain.OnTick = nullptr;
    Logic_.reset();
    Monitor_.reset();
}

namespace {

// The Windows window for the program's start and end.
class Win32Configurator : public ConfiguratorView {
public:
    Win32Configurator(Win32Dialogs* boxes, int showCommand) : Boxes_(boxes), ShowCommand_(showCommand) {}
    TwinMain& Create(Dialogs& dialogs, const std::string& settingsFileName) override {
        Window_ = std::make_unique<Win32MainWindow>(dialogs, settingsFileName);
        return Window_->Logic();
    }
    void Show() override { Window_->Show(ShowCommand_); }
    void RunLoop() override { Window_->Run(); }
    void OwnBoxes(bool owned) override {
        if (Boxes_ != nullptr)
            Boxes_->SetOwner(owned && Window_ ? Window_->Handle() : nullptr);
    }
    void Destroy() override { Window_.reset(); }

private:
    Win32Dialogs* Boxes_;
    int ShowCommand_;
    std::unique_ptr<Win32MainWindow> Window_;
};

} // namespace

int RunConfigurator(Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files, int showCommand) {
    // The language before the first text is made, boxes of the start included.
    ChooseLanguageFromEnvironment();
    Win32Configurator view(dynamic_cast<Win32Dialogs*>(&dialogs), showCommand);
    return zelo::RunConfigurator(view, dialogs, settingsFileName, files);
}

} // namespace zelo::win32
