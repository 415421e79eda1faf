// zelo-configurator.exe: the configurator's window on Windows.
#include "os/Paths.h"
#include "version/VersionInfo.h"
#include "window/StandardError.h"
#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32MainWindow.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    zelo::win32::Win32Dialogs dialogs;
    // An error that a handler lets through: the standard display, and the program goes on.
    zelo::win32::SetHandlerErrorDisplay([&dialogs] { zelo::ShowCurrentException(dialogs); });
    try {
        zelo::ReadVersionInfo();
        zelo::win32::Win32MainWindow window(dialogs, zelo::os::SettingsFileName(zelo::os::ExecutablePath()));
        dialogs.SetOwner(window.Handle());
        window.Show(showCommand);
        window.Run();
    } catch (...) {
        dialogs.SetOwner(nullptr);
        zelo::ShowCurrentException(dialogs);
    }
    return 0;
}
