// zelo-configurator.exe: the configurator's window on Windows.
#include "os/Arguments.h"
#include "os/Paths.h"
#include "window/StandardError.h"
#include "window/win32/Win32Dialogs.h"
#include "window/win32/Win32MainWindow.h"

#include <cstdlib>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&controls);

    zelo::win32::Win32Dialogs dialogs;
    // An error that a handler lets through: the standard display, and the program goes on.
    zelo::win32::SetHandlerErrorDisplay([&dialogs] { zelo::ShowCurrentException(dialogs); });
    // zelo-configurator.exe [FILE]: a command list (or an ETS export) to open at start, named in any script.
    std::vector<std::string> arguments = zelo::os::Utf8Arguments(__argc, __argv);
    const std::vector<std::string> files(arguments.size() > 1 ? arguments.begin() + 1 : arguments.end(),
                                         arguments.end());
    return zelo::win32::RunConfigurator(dialogs, zelo::os::SettingsFileName(zelo::os::ExecutablePath()),
                                        files, showCommand);
}
