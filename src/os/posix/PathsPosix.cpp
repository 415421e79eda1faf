// Where the configurator finds itself and its settings file on POSIX.
#include "os/Paths.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

namespace zelo::os {

std::string ExecutablePath() {
    std::string path(PATH_MAX, '\0');
    ssize_t n = ::readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0)
        return {};
    path.resize(static_cast<std::size_t>(n));
    return path;
}

std::string SettingsFileName(const std::string& executablePath) {
    const std::string beside = IniFileNameBeside(executablePath);
    std::size_t slash = beside.rfind('/');
    const std::string name = slash == std::string::npos ? beside : beside.substr(slash + 1);
#ifndef ZELO_INSTALLED_LAYOUT
    // A portable program keeps its settings beside itself; in a folder the user cannot write they go to the
    // user's own.
    const std::string folder = slash == std::string::npos ? "." : beside.substr(0, slash == 0 ? 1 : slash);
    if (::access(beside.c_str(), F_OK) == 0 || ::access(folder.c_str(), W_OK) == 0)
        return beside;
#endif
    // An installed program's folder belongs to the system, whoever can write it (root): always the user's
    // own.
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        config = xdg;
    else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0')
        config = std::string(home) + "/.config";
    else
        return {};
    return config + "/zelo-configurator/" + name;
}

} // namespace zelo::os
