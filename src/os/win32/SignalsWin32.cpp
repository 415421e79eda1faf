// The console's control events noted by a handler that does nothing else. The window's own ending
// (WM_ENDSESSION, WM_CLOSE) is the view's business; it asks TerminationRequest like everyone else.
#include "os/Signals.h"
#include "os/win32/Win32Os.h"

#include <atomic>

namespace zelo::os {

namespace {

std::atomic<int> requested{0};

BOOL WINAPI OnConsoleEvent(DWORD event) {
    // The numbers of the POSIX signals that mean the same, so callers exit with the same codes everywhere.
    const int signal = event == CTRL_C_EVENT ? 2 : 15;
    int none = 0;
    requested.compare_exchange_strong(none, signal);
    return TRUE;
}

} // namespace

void CatchTerminationRequests() {
    static const bool installed = ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != 0;
    (void)installed;
}

int TerminationRequest() {
    return requested.load();
}

int TerminationDescriptor() {
    return -1;
}

void AcknowledgeTerminationRequest() {}

} // namespace zelo::os
