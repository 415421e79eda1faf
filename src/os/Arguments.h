#pragma once
// The program's arguments as UTF-8 text, and file names from them in the form the system's narrow file
// functions take. On Windows the narrow argv holds only what the ANSI code page can say: a password in
// Greek letters or with an emoji would arrive as question marks.
#include <string>
#include <vector>

namespace zelo::os {

// argv[0] to argv[argc - 1] in UTF-8: as given on POSIX; from the wide command line on Windows.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// A file name from those arguments as the narrow file functions take it: itself on POSIX, in the ANSI code
// page on Windows (as the narrow argv would have given it).
std::string NarrowFileName(const std::string& utf8);

} // namespace zelo::os
