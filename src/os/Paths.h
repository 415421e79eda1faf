#pragma once
// Where the program lives and where its settings file goes.
#include <string>

namespace zelo::os {

// Full path of the running executable; empty when the system does not say.
std::string ExecutablePath();

// The path of another file in the same folder as path (a bare name when path has no folder).
std::string PathBeside(const std::string& path, const std::string& name);

// The settings file beside an executable: its path with the extension of the file name (from its last dot on)
// replaced by ".ini", or ".ini" appended when the file name has none.
std::string IniFileNameBeside(const std::string& executablePath);

// The file the Windows installer puts beside the programs it installs.
inline constexpr const char* InstalledMarker = "zelo-configurator.installed";

// The settings file for an executable path: the one beside it. On POSIX, when that folder is not writable and
// no such file exists there (and always for the installed programs), the same name under $XDG_CONFIG_HOME
// (default ~/.config)/zelo-configurator/; empty when neither variable gives a folder: the settings then live
// in memory only. On Windows, when InstalledMarker is beside the executable, the same name under
// %APPDATA%\zelo-configurator\.
std::string SettingsFileName(const std::string& executablePath);

} // namespace zelo::os
