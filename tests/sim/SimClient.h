#pragma once
// Test-side ends of the simulator's links: the serial side of its pseudo-terminal or a loopback TCP
// connection, both spoken to through a raw descriptor.
#include <chrono>
#include <string>

namespace zelo::test {

class RawClient {
public:
    // Opens the serial side of a pseudo-terminal, raw.
    static RawClient Pty(const std::string& path);
    // Connects to 127.0.0.1:port.
    static RawClient Tcp(int port);

    RawClient(RawClient&& other) noexcept;
    RawClient& operator=(RawClient&&) = delete;
    RawClient(const RawClient&) = delete;
    ~RawClient();

    void Write(const std::string& bytes) const;
    // Reads until a CR arrived (included) or the deadline passed; returns what came.
    std::string ReadAnswer(std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // Reads until the given number of CRs arrived (or the deadline passed).
    std::string ReadAnswers(int count, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // Reads until what came ends with `suffix` (or the deadline passed).
    std::string ReadUntilSuffix(const std::string& suffix,
                                std::chrono::milliseconds limit = std::chrono::seconds(5)) const;
    // Everything that arrives until the link stays quiet for `quiet`.
    std::string ReadUntilQuiet(std::chrono::milliseconds quiet) const;
    // Sends command + CR and reads one answer.
    std::string Exchange(const std::string& command) const;
    void Close();
    int Fd() const { return fd_; }

private:
    explicit RawClient(int fd) : fd_(fd) {}
    int fd_ = -1;
};

} // namespace zelo::test
