#pragma once
// Shared pieces of zeloctl's subcommands.
#include <CLI/CLI.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zelo {
class TEibConverter;
namespace os {
class FileSource;
}
} // namespace zelo

namespace zelo::cli {

enum ExitCode { ExitOk = 0, ExitDeviceFailed = 1, ExitBadInput = 2, ExitOutputFailed = 3 };

// Ends a subcommand with an exit code; the message (if any) goes to stderr.
struct ExitRequest {
    int Code;
    std::string Message;
};

// Reads a whole file, or standard input for "-", up to `limit` bytes (os::CommandListLimit, os::ImportLimit);
// raises ExitRequest{2} naming the file when it cannot (a file that cannot be read is never taken for an
// empty one) or when it is longer.
std::string ReadInput(const std::string& path, std::uint64_t limit);

// Opens a file (not standard input) to be read a block at a time, by a reader that never needs it whole;
// fails as ReadInput does. Its read errors raise Exception.
std::unique_ptr<os::FileSource> OpenInput(const std::string& path, std::uint64_t limit);

// The input last read ("standard input" for "-"), for the words of a failure that has no other: empty before
// any.
const std::string& InputName();

// The lines of a command list file (UTF-8, Latin-1 read too), or of standard input for "-". A zero byte stays
// in its line, for the caller to refuse.
std::vector<std::string> ReadCommandList(const std::string& path);

// Each subcommand adds itself to the app and sets the function that runs it.
using Runner = std::function<int()>;
void AddBuild(CLI::App& app, Runner& run);
void AddCheck(CLI::App& app, Runner& run);
void AddImport(CLI::App& app, Runner& run);
void AddDownload(CLI::App& app, Runner& run);
void AddPorts(CLI::App& app, Runner& run);
void AddMonitor(CLI::App& app, Runner& run);

// Options shared by the commands that write a setup line.
struct SetupOptions {
    std::string Phys = "15.15.255";
    bool Source = false;
    bool Hex = false;
    bool Duplex = false;
    void AddTo(CLI::App& command);
    // The setup line; raises ExitRequest{2} with the physical address message for a bad address.
    std::string SetupLine() const;
};

// The link options of the commands that open the gateway's link (download, monitor).
struct LinkOptions {
    std::string Device;
    std::optional<int> Baud;
    std::string Host;
    std::optional<int> Port;
    std::optional<std::string> Settings;
    void AddTo(CLI::App& command);
};

// The link as the configurator last chose it, unless the options say otherwise. A settings file named by
// --settings must be read; without the option, the configurator's own file is used when it exists. Raises
// ExitRequest{2} for a settings file that cannot be read.
void ApplyLinkSettings(TEibConverter& converter, const LinkOptions& options);
// Opens the link for the gateway's exclusive use; false when a termination request ended the attempt.
// Raises ExitRequest{1} with "Can't open NAME!" and the system's reason when it cannot be opened.
bool OpenLinkOrExit(TEibConverter& converter);

// The first line of a password file, without its line end and a UTF-8 byte-order mark; - is standard input.
std::string ReadPasswordFile(const std::string& path);

} // namespace zelo::cli
