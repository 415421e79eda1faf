// The simulator's end of the link on POSIX: a pseudo-terminal or a loopback TCP port, watched with ppoll
// together with a wake pipe.
#include "model/Error.h"
#include "os/ServerLink.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zelo::os {

namespace {

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void CloseFd(int& fd) {
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

void SetNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw Exception(ErrnoText("fcntl"));
}

class PosixServerLink : public ServerLink {
public:
    PosixServerLink() {
        if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
            throw Exception(ErrnoText("pipe"));
    }

    ~PosixServerLink() override {
        RemoveLink();
        for (int* fd : {&client_, &listener_, &master_, &slave_, &slaveWatch_, &wake_[0], &wake_[1]})
            CloseFd(*fd);
    }

    void Listen(int port) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (listener_ < 0)
            throw Exception(ErrnoText("socket"));
        int one = 1;
        ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw Exception(ErrnoText("cannot listen on 127.0.0.1:" + std::to_string(port)));
        port_ = ntohs(address.sin_port);
    }

    void OpenPty(const std::string& linkPath) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0)
            throw Exception(ErrnoText("posix_openpt"));
        char name[256];
        if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
            ::ptsname_r(master_, name, sizeof name) != 0)
            throw Exception(ErrnoText("pseudo-terminal"));
        // The simulator keeps the serial side open itself: the master would see a hang-up while no client has
        // the port open.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0)
            throw Exception(ErrnoText(std::string("cannot open ") + name));
        // Master and slave share one termios: raw, without flow control, so 0x11/0x13 pass and nothing is
        // echoed.
        termios tio{};
        if (::tcgetattr(master_, &tio) == 0) {
            ::cfmakeraw(&tio);
            tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
            tio.c_cc[VMIN] = 1;
            tio.c_cc[VTIME] = 0;
            ::tcsetattr(master_, TCSANOW, &tio);
        }
        SetNonBlocking(master_);
        slavePath_ = name;
        slaveWatch_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (slaveWatch_ >= 0 && ::inotify_add_watch(slaveWatch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
            CloseFd(slaveWatch_); // without it the link still works, only exclusivity stays after a client
        if (!linkPath.empty()) {
            struct stat st {};
            if (::lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
                throw Exception("cannot link " + linkPath + ": it exists and is not a symbolic link");
            // A link left behind by an earlier run is replaced in one step.
            const std::string temp = linkPath + ".new" + std::to_string(::getpid());
            ::unlink(temp.c_str());
            if (::symlink(name, temp.c_str()) != 0 || ::rename(temp.c_str(), linkPath.c_str()) != 0) {
                const std::string message = ErrnoText("cannot link " + linkPath);
                ::unlink(temp.c_str());
                throw Exception(message);
            }
            linkPath_ = linkPath;
        }
    }

    std::string Name() const override { return master_ >= 0 ? slavePath_ : std::to_string(port_); }

    bool Wait(std::optional<Clock::time_point> until, bool wantRoom) override {
        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {wake_[0], POLLIN, 0};
        int watchIndex = -1;
        if (slaveWatch_ >= 0) {
            watchIndex = static_cast<int>(count);
            fds[count++] = {slaveWatch_, POLLIN, 0};
        }
        const int link = LinkFd();
        int listenIndex = -1;
        if (link >= 0)
            fds[count++] = {link, static_cast<short>(POLLIN | (wantRoom ? POLLOUT : 0)), 0};
        else if (listener_ >= 0) {
            listenIndex = static_cast<int>(count);
            fds[count++] = {listener_, POLLIN, 0};
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (until) {
            const auto left = std::max(Clock::duration::zero(), *until - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        const int ready = ::ppoll(fds, count, timeoutPtr, nullptr);
        if (ready < 0 && errno != EINTR)
            throw Exception(ErrnoText("poll"));
        if (ready <= 0)
            return false;
        if (fds[0].revents & POLLIN) {
            char buffer[64];
            while (::read(wake_[0], buffer, sizeof buffer) > 0) {
            }
        }
        if (watchIndex >= 0 && (fds[watchIndex].revents & POLLIN))
            ClientClosed();
        return listenIndex >= 0 && (fds[listenIndex].revents & POLLIN) && Accept();
    }

    long Read(char* buffer, std::size_t size) override {
        const int fd = LinkFd();
        if (fd < 0)
            return 0;
        for (;;) {
            const ssize_t n = ::read(fd, buffer, size);
            if (n > 0)
                return static_cast<long>(n);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return 0;
            if (fd != client_)
                return 0;     // no client has the serial side open: nothing to read
            CloseFd(client_); // the client left (or the connection broke); the next one may come
            return -1;
        }
    }

    long Write(const char* data, std::size_t size) override {
        const int fd = LinkFd();
        if (fd < 0)
            return 0;
        for (;;) {
            const ssize_t n = fd == client_ ? ::send(fd, data, size, MSG_NOSIGNAL) : ::write(fd, data, size);
            if (n >= 0)
                return static_cast<long>(n);
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return 0;
            if (fd != client_)
                return static_cast<long>(size); // nothing sensible to do with bytes the terminal refuses
            CloseFd(client_);
            return -1;
        }
    }

    void Wake() const noexcept override {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_[1], &byte, 1);
    }

private:
    int LinkFd() const { return master_ >= 0 ? master_ : client_; }

    bool Accept() {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return false;
        int one = 1;
        // Answers are tiny and awaited one by one.
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        client_ = fd;
        return true;
    }

    // A client may have made the terminal exclusive (TIOCEXCL). On a pseudo-terminal that outlives the
    // client's close while the master stays open, and the client's next open would fail with EBUSY; so once a
    // client has closed the serial side, the exclusivity is lifted again.
    void ClientClosed() {
        alignas(inotify_event) char buffer[1024];
        bool closed = false;
        while (::read(slaveWatch_, buffer, sizeof buffer) > 0)
            closed = true;
        if (closed)
            ::ioctl(slave_, TIOCNXCL);
    }

    void RemoveLink() {
        if (linkPath_.empty())
            return;
        char target[4096];
        const ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath_)
            ::unlink(linkPath_.c_str());
        linkPath_.clear();
    }

    int wake_[2] = {-1, -1};
    int listener_ = -1;
    int client_ = -1;
    int port_ = 0;
    int master_ = -1;
    int slave_ = -1;
    int slaveWatch_ = -1;
    std::string slavePath_;
    std::string linkPath_;
};

} // namespace

std::unique_ptr<ServerLink> ServerLink::ListenTcp(int port) {
    auto link = std::make_unique<PosixServerLink>();
    link->Listen(port);
    return link;
}

bool ServerLink::HasPseudoTerminals() {
    return true;
}

std::unique_ptr<ServerLink> ServerLink::OpenPty(const std::string& linkPath) {
    auto link = std::make_unique<PosixServerLink>();
    link->OpenPty(linkPath);
    return link;
}

} // namespace zelo::os
