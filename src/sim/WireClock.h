#pragma once
// Emulates the time bytes spend on a serial wire: 10 bits per byte (start, 8 data, stop) at a baud rate, with
// the receive and the transmit direction each busy until its last byte has gone over.
#include <chrono>
#include <cstddef>

namespace zelo::sim {

class WireClock {
public:
    using Clock = std::chrono::steady_clock;

    explicit WireClock(int baud = 0) : baud_(baud) {}

    // The time `bytes` bytes occupy the wire; zero without a baud rate.
    Clock::duration WireTime(std::size_t bytes) const;

    // Bytes that reached us at `now`: they finish arriving once the receive direction is free and their own
    // wire time has passed. Returns that moment (`now` without a baud rate).
    Clock::time_point Receive(Clock::time_point now, std::size_t bytes);
    // Bytes ready to go out at `ready`: they start once the transmit direction is free. Returns when the last
    // one has been sent (`ready` without a baud rate).
    Clock::time_point Send(Clock::time_point ready, std::size_t bytes);

private:
    int baud_;
    Clock::time_point receiveFree_{};
    Clock::time_point sendFree_{};
};

} // namespace zelo::sim
