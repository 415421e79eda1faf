#pragma once
// Helpers shared by the POSIX serial and TCP layers.
#include <cstdint>

namespace zelo::os {

// Waits up to waitMs for one byte on a non-blocking descriptor; returns 1 with the byte, else 0. When the
// read reports end of input, *peerClosed (if given) becomes true. Without data a hung-up or failing
// descriptor still takes the whole wait, so a caller that loops until its deadline does not spin.
int ReadOneByte(int fd, std::uint8_t& byte, int waitMs, bool* peerClosed);

} // namespace zelo::os
