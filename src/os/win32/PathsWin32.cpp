// Where the program lives and where its settings file goes, on Windows.
#include "os/Paths.h"
#include "os/win32/Win32Os.h"

namespace zelo::os {

// Beside the executable: the program's folder is where the user put it, so it is the user's to write.
std::string SettingsFileName(const std::string& executablePath) {
    return IniFileNameBeside(executablePath);
}

std::string ExecutablePath() {
    // Paths can be longer than MAX_PATH: grow the buffer until the whole path fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return Utf8Text(path);
        }
        path.resize(path.size() * 2);
    }
}

} // namespace zelo::os
