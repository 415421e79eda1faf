// The simulator's end of the link on Windows: a loopback TCP port over Windows Sockets, its socket events and
// a wake event waited for together. Windows has no pseudo-terminals.
#include "model/Error.h"
#include "os/ServerLink.h"
#include "os/win32/Win32Os.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace zelo::os {

namespace {

class Win32ServerLink : public ServerLink {
public:
    explicit Win32ServerLink(int port) {
        StartWinsock();
        auto fail = [port] {
            return Exception("cannot listen on 127.0.0.1:" + std::to_string(port) + ": " +
                             SystemErrorText(static_cast<std::uint32_t>(::WSAGetLastError())));
        };
        wake_ = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
        socketEvent_ = ::WSACreateEvent();
        listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (wake_ == nullptr || socketEvent_ == WSA_INVALID_EVENT || listener_ == INVALID_SOCKET)
            throw fail();
        // Another program may not take the port over while the simulator listens.
        BOOL one = TRUE;
        ::setsockopt(listener_, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one),
                     sizeof one);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
        int length = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 8) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
            ::WSAEventSelect(listener_, socketEvent_, FD_ACCEPT) != 0)
            throw fail();
        port_ = ::ntohs(address.sin_port);
    }

    ~Win32ServerLink() override {
        for (SOCKET* s : {&client_, &listener_})
            if (*s != INVALID_SOCKET)
                ::closesocket(*s);
        if (socketEvent_ != WSA_INVALID_EVENT)
            ::WSACloseEvent(socketEvent_);
        if (wake_ != nullptr)
            ::CloseHandle(wake_);
    }

    std::string Name() const override { return std::to_string(port_); }

    // Socket events are edge-triggered: room to write is signalled only after a send found none, which is
    // when the caller asks for it; bytes still waiting signal again after each read.
    bool Wait(std::optional<Clock::time_point> until, bool /*wantRoom*/) override {
        DWORD timeoutMs = INFINITE;
        if (until) {
            const auto left = std::max(Clock::duration::zero(), *until - Clock::now());
            // Rounded up: waking before the time only makes another round.
            timeoutMs = static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(left).count());
        }
        const HANDLE events[] = {wake_, socketEvent_};
        const DWORD which = ::WaitForMultipleObjects(2, events, FALSE, timeoutMs);
        if (which == WAIT_FAILED)
            throw Exception("wait: " + SystemErrorText(::GetLastError()));
        if (client_ != INVALID_SOCKET) {
            WSANETWORKEVENTS happened{};
            ::WSAEnumNetworkEvents(client_, socketEvent_, &happened);
            return false;
        }
        WSANETWORKEVENTS happened{};
        ::WSAEnumNetworkEvents(listener_, socketEvent_, &happened);
        if ((happened.lNetworkEvents & FD_ACCEPT) == 0)
            return false;
        const SOCKET s = ::accept(listener_, nullptr, nullptr);
        if (s == INVALID_SOCKET)
            return false;
        // One client at a time: the next one waits in the backlog until this one leaves.
        ::WSAEventSelect(listener_, socketEvent_, 0);
        BOOL one = TRUE;
        // Answers are tiny and awaited one by one.
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
        // The event selection also makes the socket non-blocking.
        ::WSAEventSelect(s, socketEvent_, FD_READ | FD_WRITE | FD_CLOSE);
        client_ = s;
        return true;
    }

    long Read(char* buffer, std::size_t size) override {
        if (client_ == INVALID_SOCKET)
            return 0;
        const int n = ::recv(client_, buffer, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
        if (n > 0)
            return n;
        if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK)
            return 0;
        Disconnect(); // the client left (or the connection broke); the next one may come
        return -1;
    }

    long Write(const char* data, std::size_t size) override {
        if (client_ == INVALID_SOCKET)
            return 0;
        const int n = ::send(client_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
        if (n >= 0)
            return n;
        if (::WSAGetLastError() == WSAEWOULDBLOCK)
            return 0;
        Disconnect();
        return -1;
    }

    void Wake() const noexcept override { ::SetEvent(wake_); }

private:
    void Disconnect() {
        ::closesocket(client_);
        client_ = INVALID_SOCKET;
        ::WSAResetEvent(socketEvent_);
        ::WSAEventSelect(listener_, socketEvent_, FD_ACCEPT);
    }

    HANDLE wake_ = nullptr;
    WSAEVENT socketEvent_ = WSA_INVALID_EVENT;
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    int port_ = 0;
};

} // namespace

std::unique_ptr<ServerLink> ServerLink::ListenTcp(int port) {
    return std::make_unique<Win32ServerLink>(port);
}

bool ServerLink::HasPseudoTerminals() {
    return false;
}

std::unique_ptr<ServerLink> ServerLink::OpenPty(const std::string& /*linkPath*/) {
    throw Exception("pseudo-terminals exist on POSIX systems only: use --tcp PORT");
}

} // namespace zelo::os
