#pragma once
// Test-side ends of the simulator's links: the serial side of its pseudo-terminal or a loopback TCP
// connection, both spoken to through a raw descriptor, and a spawned simulator program whose first output
// line is read while it keeps running.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

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

// A program started with its standard output on a pipe; standard error is kept in a file.
class SpawnedProgram {
public:
    explicit SpawnedProgram(const std::vector<std::string>& args);
    ~SpawnedProgram(); // kills the program when it still runs
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // The first line the program writes (without its LF); empty when it ended or wrote none within the limit.
    std::string FirstLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
    void Signal(int signal) const;
    // Waits for the end; the exit code, or 128 + signal.
    int Wait();
    std::string Stderr() const;

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string errFile_;
    std::string buffered_;
};

} // namespace zelo::test
