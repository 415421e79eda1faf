// The TCP client form of the link over Windows Sockets: a connect bounded in time, sends bounded in time,
// reads by select().
#include "model/Error.h"
#include "os/Tcp.h"
#include "os/win32/Win32Os.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace zelo::os {

namespace {

using Clock = std::chrono::steady_clock;

// The longest wait between two calls of the wait hook.
constexpr int SliceMs = 10;
constexpr const char* EndOfStreamReason = "Connection closed by peer";

bool MeansConnectionGone(int error) {
    switch (error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
    case WSAENETRESET:
    case WSAENETDOWN:
    case WSAETIMEDOUT:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return true;
    default:
        return false;
    }
}

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

// Waits up to waitMs for the socket to become readable (write false) or writable (write true); a socket with
// an error counts as ready, so the call that follows reports it.
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

    int Send(const void* buffer, int count, int timeoutMs) override {
        if (Lost())
            return 0;
        const auto* p = static_cast<const char*>(buffer);
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int done = 0;
        while (done < count) {
            int n = ::send(socket_, p + done, count - done, 0);
            if (n > 0) {
                done += n;
                continue;
            }
            const int error = ::WSAGetLastError();
            if (n == SOCKET_ERROR && error == WSAEWOULDBLOCK) {
                const int left = MillisecondsLeft(deadline);
                if (left <= 0 || !WaitFor(socket_, true, left))
                    return 0; // did not complete in time
                continue;
            }
            if (MeansConnectionGone(error)) {
                MarkLost(SystemErrorText(static_cast<std::uint32_t>(error)));
                return 0;
            }
            throw Exception(SystemErrorText(static_cast<std::uint32_t>(error)));
        }
        return done;
    }

    ReadStatus ReadByte(std::uint8_t& byte, int waitMs) override {
        if (Lost())
            return ReadStatus::Lost;
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs > 0 ? waitMs : 0);
        if (!WaitFor(socket_, false, waitMs > 0 ? waitMs : 0))
            return ReadStatus::Nothing;
        const int n = ::recv(socket_, reinterpret_cast<char*>(&byte), 1, 0);
        if (n == 1)
            return ReadStatus::Byte;
        if (n == 0) {
            MarkLost(EndOfStreamReason);
            return ReadStatus::Lost;
        }
        const int error = ::WSAGetLastError();
        if (MeansConnectionGone(error)) {
            MarkLost(SystemErrorText(static_cast<std::uint32_t>(error)));
            return ReadStatus::Lost;
        }
        // Any other failure takes the whole wait, so a caller that loops until its deadline does not spin.
        if (const int left = MillisecondsLeft(deadline); left > 0 && error != WSAEWOULDBLOCK)
            ::Sleep(static_cast<DWORD>(left));
        return ReadStatus::Nothing;
    }

private:
    SOCKET socket_;
};

// One address: starts the connect and waits for it in slices, calling the hook between them. Returns the
// connected socket, or INVALID_SOCKET with the reason in error (0 for the time limit).
SOCKET ConnectOne(const addrinfo& a, Clock::time_point deadline, const std::function<void()>& waitHook,
                  int& error) {
    SOCKET s = ::socket(a.ai_family, a.ai_socktype, a.ai_protocol);
    if (s == INVALID_SOCKET) {
        error = ::WSAGetLastError();
        return INVALID_SOCKET;
    }
    // From here on the waits are bounded by select(), so nothing may block: the connect included.
    u_long nonBlocking = 1;
    // FIONBIO is an unsigned constant; the call takes it as a long.
    (void)::ioctlsocket(s, static_cast<long>(FIONBIO), &nonBlocking);
    if (::connect(s, a.ai_addr, static_cast<int>(a.ai_addrlen)) == 0)
        return s;
    error = ::WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
        ::closesocket(s);
        return INVALID_SOCKET;
    }
    for (;;) {
        const int left = MillisecondsLeft(deadline);
        if (left <= 0) {
            error = 0;
            break;
        }
        // A connect that failed shows as an error on the socket, one that succeeded as writable.
        if (WaitFor(s, true, left < SliceMs ? left : SliceMs)) {
            int result = 0;
            int length = sizeof result;
            if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&result), &length) != 0)
                result = ::WSAGetLastError();
            if (result == 0)
                return s;
            error = result;
            break;
        }
        if (waitHook)
            waitHook();
    }
    ::closesocket(s);
    return INVALID_SOCKET;
}

} // namespace

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

std::unique_ptr<TcpClient> TcpClient::Connect(const std::string& host, int port,
                                              std::chrono::milliseconds limit,
                                              const std::function<void()>& waitHook) {
    if (port < 1 || port > 65535)
        throw Exception("Port " + std::to_string(port) + " is out of range");
    if (host.empty())
        throw Exception("No host name given");
    StartWinsock();
    const auto deadline = Clock::now() + limit;
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
    // The time limit covers every address the name has: a host that answers on none fails within it.
    int lastError = WSAECONNREFUSED;
    SOCKET s = INVALID_SOCKET;
    for (addrinfo* a = found; a != nullptr && s == INVALID_SOCKET; a = a->ai_next) {
        s = ConnectOne(*a, deadline, waitHook, lastError);
        if (s == INVALID_SOCKET && lastError == 0)
            break;
    }
    ::freeaddrinfo(found);
    if (s == INVALID_SOCKET)
        throw Exception(lastError == 0 ? std::string("Connection timed out")
                                       : SystemErrorText(static_cast<std::uint32_t>(lastError)));
    // Commands are small and each waits for its answer: send them at once.
    BOOL one = TRUE;
    (void)::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
    return std::make_unique<Win32TcpClient>(s);
}

} // namespace zelo::os
