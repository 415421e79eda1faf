#pragma once
// The configurator's window on Windows: the Win32 view with the window's logic beneath it. The view
// forwards the user's events to the logic's handlers; the logic works the controls through their interfaces.
#include "window/TwinMain.h"
#include "window/win32/Win32MonitorWindow.h"
#include "window/win32/Win32Window.h"

#include <memory>
#include <string>
#include <vector>

namespace zelo::win32 {

class Win32MainWindow {
public:
    // Creates the window (hidden) and runs the logic's start-up with the settings from settingsFileName. An
    // error of the start-up is raised from here, and then no window remains. listPorts: where the device
    // list's existing ports come from.
    Win32MainWindow(Dialogs& dialogs, const std::string& settingsFileName,
                    PortLister listPorts = os::ListSerialPorts);
    // The logic's shutdown (the settings are written) while the controls still exist, then the window.
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    TwinMain& Logic() { return *Logic_; }
    Win32Window& View() { return View_; }
    HWND Handle() const { return View_.Handle(); }
    // Where the user left the window, when that still fits the screen.
    void Show(int showCommand = SW_SHOWNORMAL) { View_.Show(showCommand, Logic_->SavedPlacement()); }
    int Run() { return View_.Run(); }

private:
    Win32Window View_;
    std::unique_ptr<TwinMain> Logic_;
    std::unique_ptr<Win32MonitorWindow> Monitor_; // made at the first click on Monitor...

public:
    // The monitor window, once Monitor... made it; null before.
    Win32MonitorWindow* Monitor() const { return Monitor_.get(); }
};

class Win32Dialogs;

// The program: shows the window with the settings of settingsFileName, opens the first of files, and runs
// until the window ends. Returns 0, or 1 when the window could not start (an unreadable settings file); the
// reason is shown by the standard error display.
int RunConfigurator(Dialogs& dialogs, const std::string& settingsFileName,
                    const std::vector<std::string>& files, int showCommand = SW_SHOWNORMAL);

} // namespace zelo::win32
