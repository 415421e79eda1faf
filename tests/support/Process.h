#pragma once
// Starts built programs for tests: with arguments, standard input and extra environment; captures exit code,
// stdout and stderr. Every wait has a kill timeout, so a hung child fails its test instead of hanging the
// run.
#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

namespace zelo::test {

// How long a child may run before it is killed, unless a test says otherwise.
inline constexpr std::chrono::milliseconds DefaultKillTimeout{60000};

struct ProcessResult {
    int ExitCode = -1; // 128 + signal when it was killed
    std::string Out;
    std::string Err;
    bool TimedOut = false; // killed by the kill timeout
};

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input = {},
                         const std::vector<std::string>& extraEnv = {},
                         std::chrono::milliseconds killTimeout = DefaultKillTimeout);

// Starts args[0] (an absolute path) with the descriptors as its standard input, output and error (-1:
// /dev/null), extraEnv ("NAME=value") over the environment, default signal handling, in a process group of
// its own. Raises std::runtime_error when it cannot start.
pid_t SpawnProgram(const std::vector<std::string>& args, int in, int out, int err,
                   const std::vector<std::string>& extraEnv = {});

// Waits for the child to end; once killTimeout has passed it kills the child's process group and reaps it.
// Returns the exit code, or 128 + signal.
int WaitForProgram(pid_t pid, std::chrono::milliseconds killTimeout, bool* timedOut = nullptr);

// A program started with its standard output on a pipe (read line by line while it runs) and its standard
// error kept in a file; killed by the destructor when it still runs.
class SpawnedProgram {
public:
    explicit SpawnedProgram(const std::vector<std::string>& args,
                            const std::vector<std::string>& extraEnv = {});
    ~SpawnedProgram();
    SpawnedProgram(const SpawnedProgram&) = delete;
    SpawnedProgram& operator=(const SpawnedProgram&) = delete;

    // The next line the program writes (without its LF); empty when it ended or wrote none within the limit.
    std::string FirstLine(std::chrono::milliseconds limit = std::chrono::seconds(10));
    void Signal(int signal) const;
    // Waits for the end (killing it after killTimeout); the exit code, or 128 + signal.
    int Wait(std::chrono::milliseconds killTimeout = DefaultKillTimeout);
    // Everything on standard output not yet returned by FirstLine, read to its end (after Wait).
    std::string RestOfStdout();
    std::string Stderr() const;
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string errFile_;
    std::string buffered_;
};

// Path of a program built by this project (build directory root).
std::string BuiltProgram(const std::string& name);

// A fresh, empty directory under the system's temporary folder; removed by the destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return Path_; }
    std::string File(const std::string& name) const { return Path_ + "/" + name; }
    // Writes bytes to a file in the directory and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) const;

private:
    std::string Path_;
};

std::string ReadFileBytes(const std::string& path);

// This build's zeloctl with the arguments, reading input from its standard input.
ProcessResult Zeloctl(std::vector<std::string> args, const std::string& input = {});

} // namespace zelo::test
