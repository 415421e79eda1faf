#pragma once
// A pseudo-terminal whose far end a test drives byte by byte.
#include <chrono>
#include <string>

namespace zelo::test {

// A pseudo-terminal: the link opens SlavePath(); the test writes and reads the master side raw.
class RawPty {
public:
    RawPty();
    ~RawPty();
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    void Write(const std::string& bytes) const;
    // Everything that arrives until the line stays quiet for `quiet`.
    std::string ReadAvailable(std::chrono::milliseconds quiet = std::chrono::milliseconds(20)) const;
    int SlaveFd() const { return slave_; }
    int MasterFd() const { return master_; } // -1 once closed
    // The far end goes away: the serial side is hung up from now on.
    void CloseMaster();

private:
    int master_ = -1;
    int slave_ = -1; // held so the master never sees a hang-up between opens
    std::string slavePath_;
};

} // namespace zelo::test
