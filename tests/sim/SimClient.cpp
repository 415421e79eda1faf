#include "SimClient.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace zelo::test {

using Clock = std::chrono::steady_clock;

namespace {

int MillisecondsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left) + 1;
}

// Waits up to the deadline for bytes and appends them; false when nothing came in time or the link ended.
bool ReadSome(int fd, std::string& into, Clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        int ready = poll(&p, 1, MillisecondsLeft(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        char buffer[512];
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return false;
        into.append(buffer, static_cast<std::size_t>(n));
        return true;
    }
}

} // namespace

RawClient RawClient::Pty(const std::string& path) {
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return RawClient(fd);
}

RawClient RawClient::Tcp(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0)
            close(fd);
        throw std::runtime_error("cannot connect to port " + std::to_string(port));
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return RawClient(fd);
}

RawClient::RawClient(RawClient&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

RawClient::~RawClient() {
    Close();
}

void RawClient::Close() {
    if (fd_ >= 0)
        close(fd_);
    fd_ = -1;
}

void RawClient::Write(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK)
            n = write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("write failed");
        done += static_cast<std::size_t>(n);
    }
}

std::string RawClient::ReadAnswer(std::chrono::milliseconds limit) const {
    return ReadAnswers(1, limit);
}

std::string RawClient::ReadAnswers(int count, std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    std::string got;
    auto crs = [&] { return static_cast<int>(std::count(got.begin(), got.end(), '\r')); };
    while (crs() < count && ReadSome(fd_, got, deadline)) {
    }
    return got;
}

std::string RawClient::ReadUntilSuffix(const std::string& suffix, std::chrono::milliseconds limit) const {
    const auto deadline = Clock::now() + limit;
    std::string got;
    while (!got.ends_with(suffix) && ReadSome(fd_, got, deadline)) {
    }
    return got;
}

std::string RawClient::ReadUntilQuiet(std::chrono::milliseconds quiet) const {
    std::string got;
    while (ReadSome(fd_, got, Clock::now() + quiet)) {
    }
    return got;
}

std::string RawClient::Exchange(const std::string& command) const {
    Write(command + "\r");
    return ReadAnswer();
}

} // namespace zelo::test
