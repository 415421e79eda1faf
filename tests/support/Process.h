#pragma once
// Runs a built program with arguments and optional standard input; captures its exit code, stdout and stderr.
#include <string>
#include <vector>

namespace zelo::test {

struct ProcessResult {
    int ExitCode = -1; // 128 + signal when it was killed
    std::string Out;
    std::string Err;
};

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input = {},
                         const std::vector<std::string>& extraEnv = {});

// In a forked child: replaces it with the program args[0] (an absolute path); exits 127 when that fails.
[[noreturn]] void ExecProgram(const std::vector<std::string>& args);

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

} // namespace zelo::test
