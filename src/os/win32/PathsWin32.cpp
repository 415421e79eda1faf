// Where the program lives and where its settings file goes, on Windows.
#include "os/Files.h"
#include "os/Paths.h"
#include "os/win32/Win32Os.h"

#include <shlobj.h>

namespace zelo::os {

namespace {

// The roaming application data folder (%APPDATA%) in UTF-8; empty when the system does not say.
std::string ApplicationDataFolder() {
    PWSTR folder = nullptr;
    std::string path;
    if (::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &folder) == S_OK)
        path = Utf8Text(folder);
    ::CoTaskMemFree(folder);
    return path;
}

} // namespace

// The installer puts InstalledMarker beside the programs it installs: those keep their settings in the user's
// %APPDATA%\zelo-configurator\, as installed programs do. Without it (the zip, unpacked anywhere) they stay
// portable, their settings beside them, in the folder the user chose.
std::string SettingsFileName(const std::string& executablePath) {
    const std::string beside = IniFileNameBeside(executablePath);
    if (!FileExists(PathBeside(executablePath, InstalledMarker)))
        return beside;
    const std::string folder = ApplicationDataFolder();
    if (folder.empty())
        return beside;
    return folder + "\\zelo-configurator\\" + beside.substr(beside.find_last_of("/\\") + 1);
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
