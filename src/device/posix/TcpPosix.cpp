// The TCP client form of the link on POSIX: a blocking connect, sends bounded in time, reads by poll().
#include "device/OsLink.h"
#include "device/posix/PosixIo.h"
#include "model/Error.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zelo::os {

namespace {

std::string ErrnoText(int error) {
    return std::strerror(error);
}

class PosixTcpClient final : public TcpClient {
public:
    explicit PosixTcpClient(int fd) : fd_(fd) {}
    ~PosixTcpClient() override {
        ::shutdown(fd_, SHUT_RDWR);
        ::close(fd_);
    }
    PosixTcpClient(const PosixTcpClient&) = delete;
    PosixTcpClient& operator=(const PosixTcpClient&) = delete;

    bool Connected() const override { return !closed_; }

    int Send(const void* buffer, int count, int timeoutMs) override {
        const auto* p = static_cast<const std::uint8_t*>(buffer);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        int done = 0;
        while (done < count) {
            ssize_t n = ::send(fd_, p + done, static_cast<std::size_t>(count - done), MSG_NOSIGNAL);
            if (n > 0) {
                done += static_cast<int>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                pollfd pf{fd_, POLLOUT, 0};
                if (left.count() <= 0 || ::poll(&pf, 1, static_cast<int>(left.count())) <= 0)
                    return 0; // did not complete in time
                continue;
            }
            int error = errno;
            if (error == EPIPE || error == ECONNRESET)
                closed_ = true;
            throw Exception(ErrnoText(error));
        }
        return done;
    }

    int ReadByte(std::uint8_t& byte, int waitMs) override {
        bool peerClosed = false;
        int got = ReadOneByte(fd_, byte, waitMs, &peerClosed);
        if (peerClosed)
            closed_ = true;
        return got;
    }

private:
    int fd_;
    bool closed_ = false;
};

} // namespace

std::unique_ptr<TcpClient> TcpClient::Connect(const std::string& host, int port) {
    if (port < 1 || port > 65535)
        throw Exception("Port " + std::to_string(port) + " is out of range");
    if (host.empty())
        throw Exception("No host name given");
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV | AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0)
        throw Exception(rc == EAI_SYSTEM ? ErrnoText(errno) : ::gai_strerror(rc));
    int lastError = ECONNREFUSED;
    int fd = -1;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int r;
        do {
            r = ::connect(fd, a->ai_addr, a->ai_addrlen);
        } while (r != 0 && errno == EINTR);
        if (r == 0)
            break;
        lastError = errno;
        ::close(fd);
        fd = -1;
    }
    ::freeaddrinfo(found);
    if (fd < 0)
        throw Exception(ErrnoText(lastError));
    // Commands are small and each waits for its answer: send them at once.
    int one = 1;
    (void)::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::make_unique<PosixTcpClient>(fd);
}

} // namespace zelo::os
