#include "os/posix/PosixIo.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <poll.h>
#include <time.h>
#include <unistd.h>

namespace zelo::os {

namespace {

using Clock = std::chrono::steady_clock;

// A terminal that hung up (its adapter pulled, the other side of a pseudo-terminal closed) reads as empty and
// fails every write with EIO: that is the reason the system gives for it.
constexpr int HangUpError = EIO;
// A socket's peer that ended its stream has no error number at all.
constexpr const char* EndOfStreamReason = "Connection closed by peer";

void SleepUntil(Clock::time_point until) {
    for (;;) {
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero())
            return;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec t{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        ::nanosleep(&t, nullptr);
    }
}

enum class Attempt { Byte, Empty, Lost, Failed };

Attempt TryRead(int fd, std::uint8_t& byte, ZeroRead zeroRead, std::string& lostReason) {
    for (;;) {
        const ssize_t n = ::read(fd, &byte, 1);
        if (n == 1)
            return Attempt::Byte;
        if (n == 0) {
            if (zeroRead == ZeroRead::NoData)
                return Attempt::Empty;
            lostReason = EndOfStreamReason;
            return Attempt::Lost;
        }
        const int error = errno;
        if (error == EINTR)
            continue;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return Attempt::Empty;
        if (MeansLinkGone(error)) {
            lostReason = ErrnoText(error);
            return Attempt::Lost;
        }
        return Attempt::Failed;
    }
}

// Waits until the descriptor is readable (or hung up) or the deadline passes; false when nothing happened.
bool WaitReadable(int fd, Clock::time_point deadline, short& revents) {
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return false;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left));
        if (ready > 0) {
            revents = p.revents;
            return true;
        }
        if (ready == 0)
            return false;
        if (errno != EINTR) {
            SleepUntil(deadline);
            return false;
        }
    }
}

} // namespace

std::string ErrnoText(int error) {
    return std::strerror(error);
}

bool MeansLinkGone(int error) {
    switch (error) {
    case EIO:
    case ENXIO:
    case ENODEV:
    case EPIPE:
    case ECONNRESET:
    case ECONNABORTED:
    case ECONNREFUSED:
    case ENOTCONN:
    case ESHUTDOWN:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ENETDOWN:
    case ENETRESET:
        return true;
    default:
        return false;
    }
}

ReadStatus ReadOneByte(int fd, std::uint8_t& byte, int waitMs, ZeroRead zeroRead, std::string& lostReason) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs > 0 ? waitMs : 0);
    short revents = 0;
    // A look, then (when nothing was there) a wait and a second look. Bytes that came before a hang-up are
    // still read first: an answer is never cut by the end behind it.
    for (int look = 0; look < 2; ++look) {
        switch (TryRead(fd, byte, zeroRead, lostReason)) {
        case Attempt::Byte:
            return ReadStatus::Byte;
        case Attempt::Lost:
            return ReadStatus::Lost;
        case Attempt::Failed:
            SleepUntil(deadline);
            return ReadStatus::Nothing;
        case Attempt::Empty:
            break;
        }
        if (look == 1 || !WaitReadable(fd, deadline, revents))
            break;
    }
    if ((revents & (POLLHUP | POLLERR)) != 0) {
        lostReason = ErrnoText(HangUpError);
        return ReadStatus::Lost;
    }
    // Ready without a byte and without a hang-up (a descriptor that always polls ready): the rest of the wait
    // is waited out rather than spun away.
    SleepUntil(deadline);
    return ReadStatus::Nothing;
}

} // namespace zelo::os
