#include "os/Terminal.h"
#include "os/win32/Win32Os.h"

namespace zelo::os {

// A console answers the console mode query; a file, a pipe and the NUL device (which the C runtime's isatty
// takes for a terminal) do not.
bool IsTerminal(StandardStream stream) {
    const DWORD which = stream == StandardStream::Input    ? STD_INPUT_HANDLE
                        : stream == StandardStream::Output ? STD_OUTPUT_HANDLE
                                                           : STD_ERROR_HANDLE;
    DWORD mode = 0;
    const HANDLE handle = ::GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

} // namespace zelo::os
