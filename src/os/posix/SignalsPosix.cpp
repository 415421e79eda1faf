// SIGINT and SIGTERM noted by a handler that does nothing else: it keeps the first signal's number and wakes
// a self-pipe.
#include "os/Signals.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace zelo::os {

namespace {

volatile std::sig_atomic_t requested = 0;
int notifier[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signal) {
    const int savedErrno = errno;
    if (requested == 0)
        requested = signal;
    if (notifier[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t n = ::write(notifier[1], &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

void CatchTerminationRequests() {
    static const bool installed = [] {
        // Without the pipe a request is still noted by the flag; only the descriptor to watch is missing.
        if (::pipe2(notifier, O_CLOEXEC | O_NONBLOCK) != 0)
            notifier[0] = notifier[1] = -1;
        struct sigaction action {};
        action.sa_handler = OnTerminationSignal;
        sigemptyset(&action.sa_mask);
        // Interrupted reads and writes of the program go on; waits (poll) still wake.
        action.sa_flags = SA_RESTART;
        ::sigaction(SIGINT, &action, nullptr);
        ::sigaction(SIGTERM, &action, nullptr);
        return true;
    }();
    (void)installed;
}

int TerminationRequest() {
    return requested;
}

int TerminationDescriptor() {
    return notifier[0];
}

void AcknowledgeTerminationRequest() {
    if (notifier[0] < 0)
        return;
    char bytes[64];
    while (::read(notifier[0], bytes, sizeof bytes) > 0) {
    }
}

} // namespace zelo::os
