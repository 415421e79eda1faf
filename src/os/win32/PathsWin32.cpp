// Where the program lives and where its settings file goes, on Windows.
#include "os/Paths.h"
#include "os/win32/Win32Os.h"

#include <algorithm>

namespace zelo::os {

// Beside the executable: the program's folder is where the user put it, so it is the user's to write.
std::string SettingsFileName(const std::string& executablePath) {
    return IniFileNameBeside(executablePath);
}

std::string NarrowFileName(const std::string& utf8) {
    const int wideSize =
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (wideSize <= 0)
        return utf8;
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), wideSize);
    const int size = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, wide.data(), wideSize, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::string ExecutablePath() {
    // Paths can be longer than MAX_PATH: grow the buffer until the whole path fits.
    std::string path(MAX_PATH, '\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

} // namespace zelo::os
