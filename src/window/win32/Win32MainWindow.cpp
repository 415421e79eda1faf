#include "window/win32/Win32MainWindow.h"
#include "model/Error.h"

namespace zelo::win32 {

Win32MainWindow::Win32MainWindow(Dialogs& dialogs, const std::string& settingsFileName) {
    if (!View_.Create())
        throw Exception("Windows could not create the configurator's window.");
    Logic_ = std::make_unique<TwinMain>(View_.Controls(), dialogs, settingsFileName);
    View_.OnEvent = [this](layout::ControlId id) {
        if (const TwinMain::Handler handler = TwinMain::EventHandler(id))
            Logic_->Run(handler);
    };
    View_.OnCommandListChange = [this] { Logic_->Run(&TwinMain::CommandListChange); };
    View_.OnCloseRequest = [this] { return Logic_->FormCloseQuery(); };
    // The start-up filled the lists: a long device name may widen its list.
    View_.LayOutControls();
}

Win32MainWindow::~Win32MainWindow() {
    View_.OnEvent = nullptr;
    View_.OnCommandListChange = nullptr;
    View_.OnCloseRequest = nullptr;
    Logic_.reset();
}

} // namespace zelo::win32
