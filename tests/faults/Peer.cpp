#include "Peer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace zelo::test {

Reply AlwaysOk(std::size_t, const std::string&) {
    return {};
}

void Gate::Open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    opened_.notify_all();
}

void Gate::Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait_for(lock, std::chrono::seconds(30), [this] { return open_; });
}

Peer::Peer(Transport transport, Script script) : transport_(transport), script_(std::move(script)) {
    if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe failed");
    if (transport == Transport::Pty) {
        pty_ = std::make_unique<RawPty>();
    } else {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            throw std::runtime_error("cannot listen");
        port_ = ntohs(a.sin_port);
    }
    thread_ = std::thread([this] { Serve(); });
}

Peer::~Peer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_[1], &byte, 1);
    thread_.join();
    for (int fd : {listener_, client_, wake_[0], wake_[1]})
        if (fd >= 0)
            ::close(fd);
}

std::vector<std::string> Peer::LinkArgs() const {
    if (transport_ == Transport::Pty)
        return {"--device", SlavePath()};
    return {"--host", "127.0.0.1", "--port", std::to_string(port_)};
}

std::vector<std::string> Peer::Commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

bool Peer::WaitForCommands(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return commands_.size() >= count; });
}

bool Peer::WaitForReplies(std::size_t count, std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return replies_ >= count; });
}

bool Peer::WaitForClientToLeave(std::chrono::milliseconds limit) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return clientGone_; });
}

void Peer::Act(const Reply& reply) {
    if (reply.Delay.count() > 0)
        std::this_thread::sleep_for(reply.Delay); // plays a slow gateway; nothing in the test waits on it
    const int fd = LinkFd();
    switch (reply.What) {
    case Reply::Action::Answer:
        for (std::size_t done = 0; fd >= 0 && done < reply.Bytes.size();) {
            const ssize_t n = ::write(fd, reply.Bytes.data() + done, reply.Bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
            } else {
                break;
            }
        }
        break;
    case Reply::Action::Silent:
        break;
    case Reply::Action::Reset:
        if (client_ >= 0) {
            linger hard{1, 0};
            ::setsockopt(client_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        }
        [[fallthrough]];
    case Reply::Action::Close:
        if (fd >= 0) { // the start of an answer that the hang-up cuts off
            [[maybe_unused]] const ssize_t n =
                ::write(fd, reply.BeforeHangUp.data(), reply.BeforeHangUp.size());
        }
        // The far end goes away: the pseudo-terminal's master side, or the connection.
        if (transport_ == Transport::Pty) {
            pty_->CloseMaster();
        } else if (client_ >= 0) {
            ::close(client_);
            client_ = -1;
        }
        break;
    }
    std::lock_guard lock(mutex_);
    ++replies_;
    changed_.notify_all();
}

void Peer::Serve() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_)
                return;
        }
        pollfd fds[2] = {{wake_[0], POLLIN, 0}, {-1, POLLIN, 0}};
        if (LinkFd() >= 0)
            fds[1].fd = LinkFd();
        else if (listener_ >= 0)
            fds[1].fd = listener_;
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents & POLLIN)
            continue;
        if (fds[1].fd < 0 || fds[1].revents == 0)
            continue;
        if (fds[1].fd == listener_) {
            client_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            int one = 1;
            ::setsockopt(client_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            partial_.clear();
            std::lock_guard lock(mutex_);
            clientGone_ = false;
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::read(fds[1].fd, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            if (transport_ == Transport::Tcp) {
                ::close(client_);
                client_ = -1;
                std::lock_guard lock(mutex_);
                clientGone_ = true;
                changed_.notify_all();
            } else if (n < 0 && errno == EIO) {
                // No client has the serial side open apart from the peer's own descriptor: nothing to read.
                pollfd p{wake_[0], POLLIN, 0};
                ::poll(&p, 1, 5);
            }
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            if (buffer[i] != '\r') {
                partial_ += buffer[i];
                continue;
            }
            std::size_t index = 0;
            {
                std::lock_guard lock(mutex_);
                index = commands_.size();
                commands_.push_back(partial_);
                changed_.notify_all();
            }
            const std::string command = partial_;
            partial_.clear();
            Act(script_(index, command));
        }
    }
}

} // namespace zelo::test
