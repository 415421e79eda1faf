// The TCP client form of the link on POSIX: a connect bounded in time, sends bounded in time, reads by
// poll().
#include "model/Error.h"
#include "os/Tcp.h"
#include "os/posix/PosixIo.h"

#include <cerrno>
#include <exception>
#include <fcntl.h>
#include <memory>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelo::os {

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two calls of the wait hook.
constexpr int SliceMs = 10;

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

class PosixTcpClient final : public TcpClient {
public:
    explicit PosixTcpClient(int fd) : fd_(fd) {}
    ~PosixTcpClient() override {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
    }

    int Send(const void* buffer, int count, int timeoutMs) override {
        if (Lost())
            return 0;
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int done = 0;
        while (done < count) {
            ssize_t n = ::send(fd_, p + done, static_cast<std::size_t>(count - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            const int error = errno;
            if (error == EINTR)
                continue;
            if (error == EAGAIN || error == EWOULDBLOCK) {
                pollfd pf{fd_, POLLOUT, 0};
                const int left = MillisecondsLeft(deadline);
                if (left <= 0 || ::poll(&pf, 1, left) <= 0)
                    return 0; // did not complete in time
                continue;
            }
            if (MeansLinkGone(error)) {
                MarkLost(ErrnoText(error));
                return 0;
            }
            throw Exception(ErrnoText(error));
        }
        return done;
    }

    ReadStatus ReadByte(std::uint8_t& byte, int waitMs) override {
        if (Lost())
            return ReadStatus::Lost;
        std::string reason;
        const ReadStatus status = ReadOneByte(fd_, byte, waitMs, ZeroRead::EndOfStream, reason);
        if (status == ReadStatus::Lost)
            MarkLost(reason);
        return status;
    }

private:
    int fd_;
};

// One address: starts the connect and waits for it in slices, calling the hook between them. Returns the
// connected descriptor, or -1 with the reason in error.
int ConnectOne(const addrinfo& a, Clock::time_point deadline, const std::function<void()>& waitHook,
               int& error) {
    const int fd = ::socket(a.ai_family, a.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a.ai_protocol);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    if (::connect(fd, a.ai_addr, a.ai_addrlen) == 0)
        return fd;
    if (errno != EINPROGRESS && errno != EINTR) {
        error = errno;
        ::close(fd);
        return -1;
    }
    // The hook may end the wait by throwing: the socket goes with it.
    struct CloseOnThrow {
        int Fd;
        ~CloseOnThrow() {
            if (std::uncaught_exceptions() > 0)
                ::close(Fd);
        }
    } closeOnThrow{fd};
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left <= 0) {
            error = ETIMEDOUT;
            break;
        }
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, left < SliceMs ? left : SliceMs);
        if (ready > 0) {
            int result = 0;
            socklen_t length = sizeof result;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &result, &length) != 0)
                result = errno;
            if (result == 0)
                return fd;
            error = result;
            break;
        }
        if (ready < 0 && errno != EINTR) {
            error = errno;
            break;
        }
        if (waitHook)
            waitHook();
    }
    ::close(fd);
    return -1;
}

} // namespace

std::unique_ptr<TcpClient> TcpClient::Connect(const std::string& host, int port,
                                              std::chrono::milliseconds limit,
                                              const std::function<void()>& waitHook) {
    if (port < 1 || port > 65535)
        throw Exception("Port " + std::to_string(port) + " is out of range");
    if (host.empty())
        throw Exception("No host name given");
    const auto deadline = Clock::now() + limit;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0)
        throw Exception(rc == EAI_SYSTEM ? ErrnoText(errno) : ::gai_strerror(rc));
    const std::unique_ptr<addrinfo, void (*)(addrinfo*)> freed(found, &::freeaddrinfo);
    // The time limit covers every address the name has: a host that answers on none fails within it.
    int lastError = ECONNREFUSED;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = ConnectOne(*a, deadline, waitHook, lastError);
        if (lastError == ETIMEDOUT)
            break;
    }
    if (fd < 0)
        throw Exception(ErrnoText(lastError));
    // Commands are small and each waits for its answer: send them at once.
    int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<PosixTcpClient>(fd);
}

} // namespace zelo::os
