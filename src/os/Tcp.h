#pragma once
// The TCP client form of the link.
#include "os/Stream.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>

namespace zelo::os {

class TcpClient : public Stream {
public:
    // Connects to host:port (IPv4 or IPv6) without blocking for longer than limit, calling waitHook (when
    // set) at least every 10 ms meanwhile. Raises Exception with the system's reason on failure ("Connection
    // timed out" when the limit passes).
    static std::unique_ptr<TcpClient> Connect(const std::string& host, int port,
                                              std::chrono::milliseconds limit,
                                              const std::function<void()>& waitHook);
    bool Connected() const { return !Lost(); }
    // Waits at most timeoutMs for the send to complete; returns the bytes sent (0 when it did not complete,
    // or when the connection turned out to be gone, which marks the stream lost). Raises Exception with the
    // system's error text when the send fails for another reason.
    virtual int Send(const void* buffer, int count, int timeoutMs) = 0;
};

} // namespace zelo::os
