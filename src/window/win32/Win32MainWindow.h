#pragma once
// The configurator's window on Windows: the Win32 view with the window's logic beneath it. The view
// forwards the user's events to the logic's handlers; the logic works the controls through their interfaces.
#include "window/TwinMain.h"
#include "window/win32/Win32Window.h"

#include <memory>
#include <string>

namespace zelo::win32 {

class Win32MainWindow {
public:
    // Creates the window (hidden) and runs the logic's start-up with the settings from settingsFileName. An
    // error of the start-up is raised from here, and then no window remains.
    Win32MainWindow(Dialogs& dialogs, const std::string& settingsFileName);
    // The logic's shutdown (the settings are written) while the controls still exist, then the window.
    ~Win32MainWindow();
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    TwinMain& Logic() { return *Logic_; }
    Win32Window& View() { return View_; }
    HWND Handle() const { return View_.Handle(); }
    void Show(int showCommand = SW_SHOWNORMAL) { View_.Show(showCommand); }
    int Run() { return View_.Run(); }

private:
    Win32Window View_;
    std::unique_ptr<TwinMain> Logic_;
};

} // namespace zelo::win32
