#pragma once
// The gateway's end of the link, for the simulator: a loopback TCP port that serves one client at a time, or
// (where the system has them) a pseudo-terminal whose serial side a client opens as its port.
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace zelo::os {

class ServerLink {
public:
    using Clock = std::chrono::steady_clock;

    // Listens on 127.0.0.1:port (0: any free port). Raises Exception "cannot listen on 127.0.0.1:PORT:
    // REASON".
    static std::unique_ptr<ServerLink> ListenTcp(int port);
    // Whether OpenPty can work here: POSIX systems have pseudo-terminals, Windows has none.
    static bool HasPseudoTerminals();
    // A raw pseudo-terminal without flow control; with linkPath, also a symbolic link there to its serial
    // side (an old link replaced, removed again by the destructor). Raises Exception on failure.
    static std::unique_ptr<ServerLink> OpenPty(const std::string& linkPath);

    virtual ~ServerLink() = default;
    // The serial side's path of a pseudo-terminal; the TCP port's number as text.
    virtual std::string Name() const = 0;

    // Waits until bytes arrive, a client comes or leaves, there is room to write (when wantRoom), Wake is
    // called, or until (nullopt: no limit). Returns true when a new client was taken in: what the last one
    // left half-said is not its.
    virtual bool Wait(std::optional<Clock::time_point> until, bool wantRoom) = 0;
    // The bytes waiting, up to size: their count, 0 when none are waiting (or nobody is connected), -1 when
    // the client left or its connection broke (the port then waits for the next one).
    virtual long Read(char* buffer, std::size_t size) = 0;
    // How many of the bytes were taken: 0 when there is no room now, -1 when the client left.
    virtual long Write(const char* data, std::size_t size) = 0;
    // Makes a Wait return now. Async-signal-safe: a signal handler may call it.
    virtual void Wake() const noexcept = 0;
};

} // namespace zelo::os
