// POSIX hands a program its arguments as the bytes the user typed: UTF-8 on any current system.
#include "os/Arguments.h"

namespace zelo::os {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace zelo::os
