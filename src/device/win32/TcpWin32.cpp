// The TCP client form of the link over Windows Sockets: a blocking connect, sends bounded in time, reads by
// select().
#include "device/OsLink.h"
#include "device/win32/Win32Os.h"
#include "model/Error.h"

#include <chrono>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>

namespace zelo::os {

namespace {

// Winsock is started once, on the first connect, and stays up until the program ends.
void StartWinsock() {
    struct Winsock {
        int Error = 0;
        Winsock() {
            WSADATA data;
            Error = ::WSAStartup(MAKEWORD(2, 2), &data);
        }
        ~Winsock() {
            if (Error == 0)
                ::WSACleanup();
        }
    };
    static Winsock winsock;
    if (winsock.Error != 0)
        throw Exception(SystemErrorText(static_cast<std::uint32_t>(winsock.Error)));
}

// Waits up to waitMs for the socket to become readable (write false) or writable (write true).
bool WaitFor(SOCKET s, bool write, int waitMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    fd_set errors;
    FD_ZERO(&errors);
    FD_SET(s, &errors);
    timeval limit{waitMs / 1000, (waitMs % 1000) * 1000};
    int ready = ::select(0, write ? nullptr : &set, write ? &set : nullptr, &errors, &limit);
    return ready > 0;
}

class Win32TcpClient final : public TcpClient {
public:
    explicit Win32TcpClient(SOCKET s) : socket_(s) {}
    ~Win32TcpClient() override {
        ::shutdown(socket_, SD_BOTH);
        ::closesocket(socket_);
    }
    Win32TcpClient(const Win32TcpClient&) = delete;
    Win32TcpClient& operator=(const Win32TcpClient&) = delete;

    bool Connected() const override { return !closed_; }

    int Send(const void* buffer, int count, int timeoutMs) override {
        using Clock = std::chrono::steady_clock;
        const auto* p = static_cast<const char*>(buffer);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int done = 0;
        while (done < count) {
            int n = ::send(socket_, p + done, count - done, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            int error = ::WSAGetLastError();
            if (n == SOCKET_ERROR && error == WSAEWOULDBLOCK) {
                auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
                if (left <= 0 || !WaitFor(socket_, true, static_cast<int>(left)))
                    return 0; // did not complete in time
                continue;
            }
            if (error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN)
                closed_ = true;
            throw Exception(SystemErrorText(static_cast<std::uint32_t>(error)));
        }
        return done;
    }

    int ReadByte(std::uint8_t& byte, int waitMs) override {
        if (!WaitFor(socket_, false, waitMs > 0 ? waitMs : 0))
            return 0;
        int n = ::recv(socket_, reinterpret_cast<char*>(&byte), 1, 0);
        if (n == 1)
            return 1;
        if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK)
            return 0;
        // End of input or a broken connection: nothing more will come, but the slice is still waited out so a
        // caller that loops until its deadline does not spin.
        closed_ = true;
        if (waitMs > 0)
            ::Sleep(static_cast<DWORD>(waitMs));
        return 0;
    }

private:
    SOCKET socket_;
    bool closed_ = false;
};

} // namespace

std::unique_ptr<TcpClient> TcpClient::Connect(const std::string& host, int port) {
    if (port < 1 || port > 65535)
        throw Exception("Port " + std::to_string(port) + " is out of range");
    if (host.empty())
        throw Exception("No host name given");
    StartWinsock();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
    if (rc != 0)
        throw Exception(SystemErrorText(static_cast<std::uint32_t>(rc)));
    int lastError = WSAECONNREFUSED;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* a = found; a != nullptr; a = a->ai_next) {
        s = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            lastError = ::WSAGetLastError();
            continue;
        }
        if (::connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0)
            break;
        lastError = ::WSAGetLastError();
        ::closesocket(s);
        s = INVALID_SOCKET;
    }
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET)
        throw Exception(SystemErrorText(static_cast<std::uint32_t>(lastError)));
    // Commands are small and each waits for its answer: send them at once.
    BOOL one = TRUE;
    (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    // From here on the waits are bounded by select(), so sends and receives must not block.
    u_long nonBlocking = 1;
    (void)::ioctlsocket(s, FIONBIO, &nonBlocking);
    return std::make_unique<Win32TcpClient>(s);
}

} // namespace zelo::os
