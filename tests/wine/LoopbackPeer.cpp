#include "LoopbackPeer.h"

#include <algorithm>
#include <stdexcept>

namespace zelo::test {

namespace {

struct Winsock {
    Winsock() {
        WSADATA data;
        if (::WSAStartup(MAKEWORD(2, 2), &data) != 0)
            throw std::runtime_error("WSAStartup failed");
    }
    ~Winsock() { ::WSACleanup(); }
};

void StartWinsock() {
    static Winsock winsock;
}

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<u_short>(port));
    return address;
}

int BoundPort(SOCKET s) {
    sockaddr_in bound{};
    int length = sizeof bound;
    if (::getsockname(s, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
        throw std::runtime_error("getsockname failed");
    return ntohs(bound.sin_port);
}

bool Readable(SOCKET s, std::chrono::milliseconds limit) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    const auto ms = limit.count() < 0 ? 0 : limit.count();
    timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    return ::select(0, &set, nullptr, nullptr, &wait) > 0;
}

} // namespace

LoopbackPeer::LoopbackPeer() {
    StartWinsock();
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    if (listener_ == INVALID_SOCKET ||
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 1) != 0)
        throw std::runtime_error("cannot listen on the loopback interface");
    port_ = BoundPort(listener_);
}

LoopbackPeer::~LoopbackPeer() {
    CloseClient();
    for (SOCKET s : waiting_)
        ::closesocket(s);
    ::closesocket(listener_);
}

bool LoopbackPeer::Accept(std::chrono::milliseconds limit) {
    if (!Readable(listener_, limit))
        return false;
    client_ = ::accept(listener_, nullptr, nullptr);
    return client_ != INVALID_SOCKET;
}

void LoopbackPeer::Send(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        int n = ::send(client_, bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
        if (n <= 0)
            throw std::runtime_error("send to the link failed");
        done += static_cast<std::size_t>(n);
    }
}

std::string LoopbackPeer::Receive(std::size_t count, std::chrono::milliseconds limit) const {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + limit;
    std::string got;
    while (got.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0 || !Readable(client_, left))
            break;
        char buffer[4096];
        int n = ::recv(client_, buffer,
                       static_cast<int>(std::min<std::size_t>(sizeof buffer, count - got.size())), 0);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

void LoopbackPeer::CloseClient() {
    if (client_ != INVALID_SOCKET) {
        ::closesocket(client_);
        client_ = INVALID_SOCKET;
    }
}

void LoopbackPeer::ResetClient() {
    if (client_ != INVALID_SOCKET) {
        linger hard{1, 0};
        ::setsockopt(client_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&hard), sizeof hard);
    }
    CloseClient();
}

void LoopbackPeer::FillBacklog() {
    sockaddr_in address = Loopback(port_);
    for (int i = 0; i < 16; ++i) {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ::ioctlsocket(s, FIONBIO, &nonBlocking);
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        waiting_.push_back(s);
        fd_set set;
        FD_ZERO(&set);
        FD_SET(s, &set);
        timeval wait{1, 0};
        if (::select(0, nullptr, &set, nullptr, &wait) == 0)
            return;
    }
}

int LoopbackPeer::UnusedPort() {
    StartWinsock();
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = Loopback(0);
    if (s == INVALID_SOCKET || ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot bind on the loopback interface");
    int port = BoundPort(s);
    ::closesocket(s);
    return port;
}

} // namespace zelo::test
