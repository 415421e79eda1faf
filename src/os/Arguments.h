#pragma once
// The program's arguments as UTF-8 text, the form every name and text takes inside the program. On Windows
// the narrow argv holds only what the ANSI code page can say: a password in Greek letters or a folder name in
// Chinese would arrive as question marks.
#include <string>
#include <vector>

namespace zelo::os {

// argv[0] to argv[argc - 1] in UTF-8: as given on POSIX; from the wide command line on Windows.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace zelo::os
