#pragma once
// The gateway simulator's device logic: speaks the command/answer protocol on a pseudo-terminal or a loopback
// TCP port, with fault injection. The program zelo-gateway-sim and the in-process tests both use it.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelo::sim {

struct SimOptions {
    int RefuseLine = 0; // refuse configuration line N (1-based, counted after the last "#CF"); 0: none
    std::string RefuseText = "ERR"; // the answer given to that line instead of "Ok"
    int SilentAfter = -1;           // answer this many commands, then never again; -1: always answer
    int DelayMs = 0;                // wait before every answer
    bool CrLf = false;              // end answers with CR LF instead of CR
    int Baud = 0;           // emulate the wire time of this baud rate (10 bits per byte, both ways); 0: off
    bool Garbage = false;   // answer with random bytes
    std::uint32_t Seed = 1; // for Garbage
    std::string DumpFile;   // where the received configuration is written
    int BusRate = 0;        // bus lines printed per second for the configured ranges; 0: none
};

class GatewaySim {
public:
    explicit GatewaySim(SimOptions options = {});
    ~GatewaySim(); // stops the background thread and writes the dump
    GatewaySim(const GatewaySim&) = delete;
    GatewaySim& operator=(const GatewaySim&) = delete;

    // Opens a pseudo-terminal and returns its slave path; with linkPath, also a symlink there to the slave.
    std::string OpenPty(const std::string& linkPath = {});
    // Listens on 127.0.0.1:port (0: any free port); returns the bound port.
    int ListenTcp(int port);

    // Serves on a background thread until Stop or destruction.
    void Start();
    void Stop();
    // Serves on the calling thread until stop becomes true (the program uses this).
    void Run(const std::atomic<bool>& stop);
    // Makes a running Run look at its stop flag now. Async-signal-safe: a signal handler may call it.
    void Wake() const noexcept;

    // The configuration held: the well-formed lines received since the last erase, in order.
    std::vector<std::string> Configuration() const;
    // Every command received, in order, including "#CG", "#CF" and malformed ones.
    std::vector<std::string> Received() const;
    // Writes Configuration() to DumpFile (when set), one line per line.
    void Dump() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zelo::sim
