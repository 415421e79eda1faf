#include "window/win32/Win32MainWindow.h"
#include "model/Error.h"
#include "os/Signals.h"
#include "version/VersionInfo.h"
#include "window/StandardError.h"
#include "window/win32/Win32Dialogs.h"

namespace zelo::win32 {

Win32MainWindow::Win32MainWindow(Dialogs& dialogs, const std::string& settingsFileName,
                                 PortLister listPorts) {
    if (!View_.Create())
        throw Exception("Windows could not create the configurator's window.");
    Logic_ = std::make_unique<TwinMain>(View_.Controls(), dialogs, settingsFileName, std::move(listPorts));
    Logic_->MonitorView = [this, &dialogs] {
        if (!Monitor_)
            Monitor_ = std::make_unique<Win32MonitorWindow>(dialogs);
        return &Monitor_->Logic();
    };
    View_.OnEvent = [this](layout::ControlId id) {
        if (const TwinMain::Handler handler = TwinMain::EventHandler(id))
            Logic_->Run(handler);
    };
    View_.OnDropDown = [this](layout::ControlId id) {
        if (const TwinMain::Handler handler = TwinMain::DropDownHandler(id))
            Logic_->Run(handler);
    };
    View_.OnTextClick = [this](layout::ControlId id) {
        if (const TwinMain::Handler handler = TwinMain::TextClickHandler(id))
            Logic_->Run(handler);
    };
    // A shortcut leaves the field being typed in first, as a click on its button would; Escape is Stop's.
    View_.OnShortcut = [this](layout::Command command) {
        if (command == layout::Command::Stop)
            Logic_->Run(TwinMain::CommandHandler(command));
        else
            Logic_->KeyAction(View_.FocusedControl(), TwinMain::CommandHandler(command));
    };
    View_.OnCommandListChange = [this] { Logic_->Run(&TwinMain::CommandListChange); };
    View_.OnCloseRequest = [this] { return Logic_->FormCloseQuery(); };
    View_.winMain.OnFilesDropped = [this](const std::vector<std::string>& files) {
        Logic_->Run([this, &files] { Logic_->FilesDropped(files); });
    };
    // The session's end: held while a download runs (the logic ends the window once it is over); otherwise
    // the logic keeps the unsaved list and the settings while the process still may.
    View_.winMain.OnQueryEndSession = [this] {
        if (!Logic_->DownloadRunning())
            return true;
        Logic_->Run(&TwinMain::TerminationRequest);
        return false;
    };
    View_.winMain.OnEndSession = [this] { Logic_->Run(&TwinMain::TerminationRequest); };
    // Ctrl+C or a console's close reach a window only as a noted request: looked at here.
    View_.winMain.OnTick = [this] {
        if (!TerminationHeard_ && os::TerminationRequest() != 0) {
            TerminationHeard_ = true;
            Logic_->Run(&TwinMain::TerminationRequest);
        }
    };
    // The start-up filled the lists: a long device name may widen its list.
    View_.LayOutControls();
}

Win32MainWindow::~Win32MainWindow() {
    View_.OnEvent = nullptr;
    View_.OnDropDown = nullptr;
    View_.OnTextClick = nullptr;
    View_.OnShortcut = nullptr;
    View_.OnCommandListChange = nullptr;
    View_.OnCloseRequest = nullptr;
    View_.winMain.OnFilesDropped = nullptr;
    View_.winMain.OnQueryEndSession = nullptr;
    View_.winMain.OnEndSession = nullptr;
    View_.winMain.OnTick = nullptr;
    Logic_.reset();
    Monitor_.reset();
}

int RunConfigurator(Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files, int showCommand) {
    auto* boxes = dynamic_cast<Win32Dialogs*>(&dialogs);
    os::CatchTerminationRequests();
    try {
        ReadVersionInfo();
        Win32MainWindow window(dialogs, settingsFileName);
        if (boxes != nullptr)
            boxes->SetOwner(window.Handle());
        window.Show(showCommand);
        window.Logic().Run([&window, &files] { window.Logic().Started(files); });
        window.Run();
        if (boxes != nullptr)
            boxes->SetOwner(nullptr);
    } catch (...) {
        if (boxes != nullptr)
            boxes->SetOwner(nullptr);
        ShowCurrentException(dialogs);
        return 1;
    }
    return 0;
}

} // namespace zelo::win32
