// The settings file's name beside the program, the same on every system.
#include "os/Paths.h"

namespace zelo::os {

std::string PathBeside(const std::string& path, const std::string& name) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? name : path.substr(0, slash + 1) + name;
}

std::string IniFileNameBeside(const std::string& executablePath) {
    std::size_t nameStart = executablePath.find_last_of("/\\");
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    std::size_t dot = executablePath.rfind('.');
    if (dot == std::string::npos || dot < nameStart)
        return executablePath + ".ini";
    return executablePath.substr(0, dot) + ".ini";
}

} // namespace zelo::os
