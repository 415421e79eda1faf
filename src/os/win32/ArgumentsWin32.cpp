// The wide command line, split the way the C runtime splits it, in UTF-8.
#include "os/Arguments.h"
#include "os/win32/Win32Os.h"

#include <shellapi.h>

namespace zelo::os {

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    // Should the two ever split the line differently, the runtime's own split stands.
    if (wide != nullptr && count == argc)
        for (int i = 0; i < count; ++i)
            args.push_back(Utf8Text(wide[i]));
    else
        args.assign(argv, argv + argc);
    ::LocalFree(wide);
    return args;
}

} // namespace zelo::os
