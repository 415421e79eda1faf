#include "sim/GatewaySim.h"

#include "commands/CommandLine.h"
#include "model/Error.h"
#include "sim/WireClock.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <iostream>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zelo::sim {

using Clock = WireClock::Clock;

WireClock::Clock::duration WireClock::WireTime(std::size_t bytes) const {
    if (baud_ <= 0)
        return Clock::duration::zero();
    const auto ns = static_cast<long long>(bytes) * 10'000'000'000LL / baud_;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::nanoseconds(ns));
}

WireClock::Clock::time_point WireClock::Receive(Clock::time_point now, std::size_t bytes) {
    if (baud_ <= 0)
        return now;
    receiveFree_ = std::max(receiveFree_, now) + WireTime(bytes);
    return receiveFree_;
}

WireClock::Clock::time_point WireClock::Send(Clock::time_point ready, std::size_t bytes) {
    if (baud_ <= 0)
        return ready;
    sendFree_ = std::max(sendFree_, ready) + WireTime(bytes);
    return sendFree_;
}

namespace {

// A command longer than this is answered as malformed; only its start is kept, so a sender that never ends
// its line cannot make the simulator grow without bound.
constexpr std::size_t MaxCommand = 4096;
// Answers the simulator writes itself stay below the 100 bytes a client reads as one answer.
constexpr std::size_t MaxErrorAnswer = 99;
// A download counts as complete once the link has been quiet this long after the configuration changed.
constexpr auto DumpIdle = std::chrono::milliseconds(100);

std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

void SetNonBlocking(int fd) {
    int flags = fcntl(fd, F_GETFL);
    if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        throw Exception(ErrnoText("fcntl"));
}

void CloseFd(int& fd) {
    if (fd >= 0)
        close(fd);
    fd = -1;
}

// The reason may quote the command, and the command may hold control bytes; none of them belongs in an
// answer.
std::string ErrorAnswer(const std::string& reason, std::size_t terminatorSize) {
    std::string text = "ERR " + reason;
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    const std::size_t room = MaxErrorAnswer - terminatorSize;
    if (text.size() > room)
        text.resize(room);
    return text;
}

struct PendingAnswer {
    Clock::time_point Due;
    std::string Bytes;
};

} // namespace

struct GatewaySim::Impl {
    explicit Impl(SimOptions o) : options(std::move(o)), wire(options.Baud), random(options.Seed) {}

    SimOptions options;

    mutable std::mutex mutex; // guards configuration and received
    std::vector<std::string> configuration;
    std::vector<std::string> received;

    int master = -1; // pseudo-terminal
    int slave = -1;  // kept open so the master never sees a hang-up while no client has the port open
    std::string slavePath;
    std::string linkPath;
    int slaveWatch = -1; // tells when a client closes the serial side
    int listener = -1;   // TCP
    int client = -1;
    int wake[2] = {-1, -1};

    std::thread thread;
    std::atomic<bool> stopRequest{false};

    // Protocol state, touched only by the serving thread.
    std::string partial;
    bool afterCr = false;
    long commands = 0;
    int lineAfterErase = 0;
    WireClock wire;
    std::mt19937 random;
    std::deque<PendingAnswer> pending;
    std::string out;
    bool dirty = false;
    Clock::time_point lastActivity{};
    bool dumpFailureReported = false;

    int LinkFd() const { return master >= 0 ? master : client; }

    void ResetConnection() {
        partial.clear();
        afterCr = false;
        pending.clear();
        out.clear();
    }

    std::string Terminator() const { return options.CrLf ? "\r\n" : "\r"; }

    std::string GarbageAnswer() {
        std::uniform_int_distribution<int> length(1, 120);
        std::uniform_int_distribution<int> byte(0, 255);
        std::bernoulli_distribution endsWithCr(0.7);
        for (;;) {
            std::string bytes(static_cast<std::size_t>(length(random)), '\0');
            for (char& c : bytes)
                c = static_cast<char>(byte(random));
            if (endsWithCr(random))
                bytes.back() = '\r';
            if (bytes != "Ok\r" && bytes != "Ok")
                return bytes;
        }
    }

    // Judges one complete command and returns the answer text, or nothing when the simulator stays silent.
    std::optional<std::string> Handle(const std::string& command) {
        std::lock_guard lock(mutex);
        received.push_back(command);
        ++commands;
        if (options.SilentAfter >= 0 && commands > options.SilentAfter)
            return std::nullopt; // hung: takes nothing in any more
        if (command == "#CG" || command == "#CF") {
            configuration.clear();
            lineAfterErase = 0;
            dirty = true;
            return std::string("Ok");
        }
        if (command == "#RESET")
            return std::string("Ok");
        ++lineAfterErase;
        if (options.RefuseLine > 0 && lineAfterErase == options.RefuseLine)
            return options.RefuseText;
        if (command.size() >= MaxCommand)
            return ErrorAnswer("command longer than " + std::to_string(MaxCommand - 1) + " bytes",
                               Terminator().size());
        ParsedLine parsed = ParseCommandLine(command);
        if (parsed.Kind == LineKind::Invalid)
            return ErrorAnswer(parsed.Reason, Terminator().size());
        configuration.push_back(command);
        dirty = true;
        return std::string("Ok");
    }

    void Complete(Clock::time_point arrived) {
        std::optional<std::string> text = Handle(partial);
        partial.clear();
        if (!text)
            return;
        std::string bytes = options.Garbage ? GarbageAnswer() : *text + Terminator();
        Clock::time_point due = wire.Send(arrived + std::chrono::milliseconds(options.DelayMs), bytes.size());
        if (!pending.empty())
            due = std::max(due, pending.back().Due);
        pending.push_back({due, std::move(bytes)});
    }

    void Take(const char* data, std::size_t size, Clock::time_point now) {
        lastActivity = now;
        std::size_t segment = 0; // start of the bytes not yet put on the emulated wire
        for (std::size_t i = 0; i < size; ++i) {
            const char c = data[i];
            // A client that ends its commands with CR LF still gets one answer per command.
            if (c == '\n' && afterCr) {
                afterCr = false;
                continue;
            }
            afterCr = c == '\r';
            if (c == '\r') {
                Clock::time_point arrived = wire.Receive(now, i + 1 - segment);
                segment = i + 1;
                Complete(arrived);
            } else if (partial.size() < MaxCommand) {
                partial += c;
            }
        }
        if (segment < size)
            wire.Receive(now, size - segment);
    }

    void FlushDue(Clock::time_point now) {
        while (!pending.empty() && pending.front().Due <= now) {
            out += pending.front().Bytes;
            pending.pop_front();
            lastActivity = now; // a slow answer is part of the download, not quiet after it
        }
        const int fd = LinkFd();
        while (!out.empty() && fd >= 0) {
            ssize_t n = fd == client ? send(fd, out.data(), out.size(), MSG_NOSIGNAL)
                                     : write(fd, out.data(), out.size());
            if (n > 0) {
                out.erase(0, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break; // poll waits for room
            if (fd == client)
                Disconnect();
            else
                out.clear(); // nothing sensible to do with bytes the terminal refuses
            break;
        }
    }

    void Disconnect() {
        CloseFd(client);
        ResetConnection();
        DumpIfDirty();
    }

    void DumpIfDirty() {
        if (!dirty)
            return;
        dirty = false;
        TryDump();
    }

    void TryDump() {
        if (options.DumpFile.empty())
            return;
        try {
            WriteDump();
        } catch (const std::exception& e) {
            if (!dumpFailureReported)
                std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
            dumpFailureReported = true;
        }
    }

    void WriteDump() const {
        if (options.DumpFile.empty())
            return;
        std::string text;
        {
            std::lock_guard lock(mutex);
            for (const auto& line : configuration)
                text += line + "\n";
        }
        // Readers never see a half-written file: write beside it, then rename over it.
        std::string temp = options.DumpFile + ".XXXXXX";
        int fd = mkstemp(temp.data());
        if (fd < 0)
            throw Exception(ErrnoText("cannot write " + options.DumpFile));
        std::size_t done = 0;
        while (done < text.size()) {
            ssize_t n = write(fd, text.data() + done, text.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                std::string message = ErrnoText("cannot write " + options.DumpFile);
                close(fd);
                unlink(temp.c_str());
                throw Exception(message);
            }
            done += static_cast<std::size_t>(n);
        }
        fchmod(fd, 0644);
        if (close(fd) != 0 || rename(temp.c_str(), options.DumpFile.c_str()) != 0) {
            std::string message = ErrnoText("cannot write " + options.DumpFile);
            unlink(temp.c_str());
            throw Exception(message);
        }
    }

    void ReadLink(Clock::time_point now) {
        char buffer[4096];
        const int fd = LinkFd();
        for (;;) {
            ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                Take(buffer, static_cast<std::size_t>(n), now);
                if (static_cast<std::size_t>(n) < sizeof buffer)
                    return;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (fd == client)
                Disconnect(); // the client left (or the connection broke); the next one may come
            return;
        }
    }

    void Accept() {
        int fd = accept4(listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one); // answers are tiny and awaited one by one
        client = fd;
        ResetConnection();
    }

    // A client may have made the terminal exclusive (TIOCEXCL). On a pseudo-terminal that outlives the
    // client's close while the master stays open, and the client's next open would fail with EBUSY; so once a
    // client has closed the serial side, the simulator lifts it again.
    void ClientClosed() {
        alignas(inotify_event) char buffer[1024];
        bool closed = false;
        while (read(slaveWatch, buffer, sizeof buffer) > 0)
            closed = true;
        if (closed)
            ioctl(slave, TIOCNXCL);
    }

    void DrainWake() {
        char buffer[64];
        while (read(wake[0], buffer, sizeof buffer) > 0) {
        }
    }

    void RemoveLink() {
        if (linkPath.empty())
            return;
        char target[4096];
        ssize_t n = readlink(linkPath.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == slavePath)
            unlink(linkPath.c_str());
        linkPath.clear();
    }
};

GatewaySim::GatewaySim(SimOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {
    if (pipe2(impl_->wake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw Exception(ErrnoText("pipe"));
}

GatewaySim::~GatewaySim() {
    Stop();
    impl_->TryDump();
    impl_->RemoveLink();
    CloseFd(impl_->client);
    CloseFd(impl_->listener);
    CloseFd(impl_->master);
    CloseFd(impl_->slave);
    CloseFd(impl_->slaveWatch);
    CloseFd(impl_->wake[0]);
    CloseFd(impl_->wake[1]);
}

std::string GatewaySim::OpenPty(const std::string& linkPath) {
    Impl& d = *impl_;
    if (d.master >= 0 || d.listener >= 0)
        throw Exception("the simulator already listens");
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        throw Exception(ErrnoText("posix_openpt"));
    char name[256];
    if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
        std::string message = ErrnoText("pseudo-terminal");
        close(master);
        throw Exception(message);
    }
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) {
        std::string message = ErrnoText(std::string("cannot open ") + name);
        close(master);
        throw Exception(message);
    }
    // Master and slave share one termios: raw, without flow control, so 0x11/0x13 pass and nothing is echoed.
    termios tio{};
    if (tcgetattr(master, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        tcsetattr(master, TCSANOW, &tio);
    }
    SetNonBlocking(master);
    d.master = master;
    d.slave = slave;
    d.slavePath = name;
    d.slaveWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d.slaveWatch >= 0 && inotify_add_watch(d.slaveWatch, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0)
        CloseFd(d.slaveWatch); // without it the simulator still works, only exclusivity stays after a client
    if (!linkPath.empty()) {
        struct stat st {};
        if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
            throw Exception("cannot link " + linkPath + ": it exists and is not a symbolic link");
        // A link left behind by an earlier run is replaced in one step.
        std::string temp = linkPath + ".new" + std::to_string(getpid());
        unlink(temp.c_str());
        if (symlink(name, temp.c_str()) != 0 || rename(temp.c_str(), linkPath.c_str()) != 0) {
            std::string message = ErrnoText("cannot link " + linkPath);
            unlink(temp.c_str());
            throw Exception(message);
        }
        d.linkPath = linkPath;
    }
    return d.slavePath;
}

int GatewaySim::ListenTcp(int port) {
    Impl& d = *impl_;
    if (d.master >= 0 || d.listener >= 0)
        throw Exception("the simulator already listens");
    if (port < 0 || port > 65535)
        throw Exception("port " + std::to_string(port) + " out of range 0..65535");
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        throw Exception(ErrnoText("socket"));
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::string message = ErrnoText("cannot listen on 127.0.0.1:" + std::to_string(port));
        close(fd);
        throw Exception(message);
    }
    d.listener = fd;
    return ntohs(address.sin_port);
}

void GatewaySim::Start() {
    if (impl_->thread.joinable())
        throw Exception("the simulator already runs");
    impl_->stopRequest = false;
    impl_->thread = std::thread([this] {
        try {
            Run(impl_->stopRequest);
        } catch (const std::exception& e) {
            std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
        }
    });
}

void GatewaySim::Stop() {
    if (!impl_->thread.joinable())
        return;
    impl_->stopRequest = true;
    Wake();
    impl_->thread.join();
}

void GatewaySim::Wake() const noexcept {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = write(impl_->wake[1], &byte, 1);
}

void GatewaySim::Run(const std::atomic<bool>& stop) {
    Impl& d = *impl_;
    if (d.master < 0 && d.listener < 0)
        throw Exception("the simulator has neither a pseudo-terminal nor a TCP port");
    while (!stop && !d.stopRequest) {
        pollfd fds[4];
        nfds_t count = 0;
        fds[count++] = {d.wake[0], POLLIN, 0};
        int watchIndex = -1;
        if (d.slaveWatch >= 0) {
            watchIndex = static_cast<int>(count);
            fds[count++] = {d.slaveWatch, POLLIN, 0};
        }
        const int link = d.LinkFd();
        int linkIndex = -1, listenIndex = -1;
        if (link >= 0) {
            linkIndex = static_cast<int>(count);
            fds[count++] = {link, static_cast<short>(POLLIN | (d.out.empty() ? 0 : POLLOUT)), 0};
        } else if (d.listener >= 0) {
            listenIndex = static_cast<int>(count);
            fds[count++] = {d.listener, POLLIN, 0};
        }

        // Sleep exactly until the next answer is due or the link has been idle long enough for a dump.
        std::optional<Clock::time_point> wakeAt;
        if (!d.pending.empty())
            wakeAt = d.pending.front().Due;
        if (d.dirty && !d.options.DumpFile.empty()) {
            Clock::time_point idle = d.lastActivity + DumpIdle;
            wakeAt = wakeAt ? std::min(*wakeAt, idle) : idle;
        }
        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wakeAt) {
            auto left = std::max(Clock::duration::zero(), *wakeAt - Clock::now());
            auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
            timeoutPtr = &timeout;
        }
        int ready = ppoll(fds, count, timeoutPtr, nullptr);
        if (ready < 0 && errno != EINTR)
            throw Exception(ErrnoText("poll"));
        const Clock::time_point now = Clock::now();
        if (ready > 0) {
            if (fds[0].revents & POLLIN)
                d.DrainWake();
            if (watchIndex >= 0 && (fds[watchIndex].revents & POLLIN))
                d.ClientClosed();
            if (listenIndex >= 0 && (fds[listenIndex].revents & POLLIN))
                d.Accept();
            if (linkIndex >= 0 && fds[linkIndex].revents & (POLLIN | POLLHUP | POLLERR)) {
                if (link == d.client && (fds[linkIndex].revents & (POLLHUP | POLLERR)) &&
                    !(fds[linkIndex].revents & POLLIN))
                    d.Disconnect();
                else
                    d.ReadLink(now);
            }
        }
        d.FlushDue(Clock::now());
        if (d.dirty && d.pending.empty() && Clock::now() >= d.lastActivity + DumpIdle)
            d.DumpIfDirty();
    }
    d.dirty = false;
    d.TryDump();
}

std::vector<std::string> GatewaySim::Configuration() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->configuration;
}

std::vector<std::string> GatewaySim::Received() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void GatewaySim::Dump() const {
    impl_->WriteDump();
}

} // namespace zelo::sim
