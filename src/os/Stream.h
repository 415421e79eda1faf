#pragma once
// What the link reads through, whatever carries it: a serial device or a TCP connection.
#include <cstdint>
#include <string>

namespace zelo::os {

enum class ReadStatus {
    Byte,    // one byte was read
    Nothing, // no byte came within the wait
    Lost,    // the link is gone (hang-up, I/O error, reset, end of stream); LostReason says why
};

class Stream {
public:
    virtual ~Stream() = default;
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    // Waits at most waitMs (0: not at all) for one byte. A failure that means the link is gone returns Lost
    // at once; any other failure takes the whole wait, so a caller looping until its deadline does not spin.
    virtual ReadStatus ReadByte(std::uint8_t& byte, int waitMs) = 0;

    // Empty while the link works; the system's reason once a read or a write found it gone. It stays gone.
    const std::string& LostReason() const { return LostReason_; }
    bool Lost() const { return !LostReason_.empty(); }

protected:
    void MarkLost(const std::string& reason) {
        if (LostReason_.empty())
            LostReason_ = reason.empty() ? "Link lost" : reason;
    }

private:
    std::string LostReason_;
};

} // namespace zelo::os
