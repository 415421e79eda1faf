#pragma once
// The far end of a TCP link for the Windows tests: a Winsock listener on 127.0.0.1 that accepts one client
// and is then driven by the test, byte for byte.
#include <chrono>
#include <string>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>

namespace zelo::test {

class LoopbackPeer {
public:
    LoopbackPeer();  // listens on a free port
    ~LoopbackPeer(); // closes both sockets
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    int Port() const { return port_; }
    // Waits for the link to connect; false when none came within the limit.
    bool Accept(std::chrono::milliseconds limit = std::chrono::seconds(5));
    void Send(const std::string& bytes) const;
    // Receives until `count` bytes came or the limit passed.
    std::string Receive(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // Ends the connection from this side.
    void CloseClient();
    // Ends it with a reset instead of an orderly close.
    void ResetClient();
    // Connects to the listener, without accepting, until a connect is no longer answered: from then on the
    // queue of waiting connections is full and a further connect hangs.
    void FillBacklog();

    // A loopback port on which nothing listens (bound once, then released).
    static int UnusedPort();

private:
    SOCKET listener_ = INVALID_SOCKET;
    SOCKET client_ = INVALID_SOCKET;
    int port_ = 0;
    std::vector<SOCKET> waiting_;
};

} // namespace zelo::test
