#pragma once
// Helpers shared by the POSIX layers.
#include "os/Stream.h"

#include <cstdint>
#include <string>

namespace zelo::os {

// The system's text for an error number.
std::string ErrnoText(int error);

// True for the errors that mean the other end is gone for good: the device was pulled or hung up, the
// connection was reset or broke.
bool MeansLinkGone(int error);

// How a descriptor reports its other end going away when a read returns 0 bytes.
enum class ZeroRead {
    NoData,      // a terminal in raw mode with VMIN 0: no byte yet
    EndOfStream, // a socket: the peer closed the connection
};

// Waits up to waitMs for one byte on a non-blocking descriptor. A failure that means the link is gone (see
// MeansLinkGone, a hang-up, the end of a stream) returns Lost at once with the reason in lostReason; any
// other failure waits out waitMs and returns Nothing, so that a caller looping until its deadline does not
// spin.
ReadStatus ReadOneByte(int fd, std::uint8_t& byte, int waitMs, ZeroRead zeroRead, std::string& lostReason);

} // namespace zelo::os
