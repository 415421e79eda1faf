#include "cli/Cli.h"
#include "device/EibConverter.h"
#include "model/Error.h"
#include "monitor/MonitorLog.h"
#include "monitor/MonitorNames.h"
#include "os/Files.h"
#include "os/Signals.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <optional>

namespace zelo::cli {

namespace {

struct MonitorOptions {
    LinkOptions Link;
    std::optional<std::string> Names;
    std::optional<std::string> Password;
    std::optional<std::string> PasswordFile;
    bool Hex = false;
    bool Timestamps = false;
    std::optional<std::string> Output;
};

// How long one read waits for more: a line ended by a lone CR (the read stops at a line feed) shows at
// most this late, and a termination request is seen at least this often.
constexpr std::int64_t ReadWaitMs = 50;

GroupNames ReadNames(const MonitorOptions& o) {
    if (!o.Names)
        return {};
    if (o.PasswordFile && *o.PasswordFile == "-" && *o.Names == "-")
        throw ExitRequest{ExitBadInput,
                          "The password file and the names file cannot both be standard input."};
    const std::optional<std::string> password =
        o.PasswordFile ? std::optional<std::string>(ReadPasswordFile(*o.PasswordFile)) : o.Password;
    try {
        return ReadGroupNames(*o.Names, ReadInput(*o.Names, os::ImportLimit), password);
    } catch (const Exception& e) {
        throw ExitRequest{ExitBadInput, *o.Names + ": " + e.Message()};
    }
}

int RunMonitor(const MonitorOptions& o) {
    const GroupNames names = ReadNames(o);
    std::unique_ptr<MonitorLog> log;
    if (o.Output) {
        try {
            log = std::make_unique<MonitorLog>(*o.Output);
        } catch (const Exception& e) {
            throw ExitRequest{ExitOutputFailed, e.Message()};
        }
    }
    TEibConverter converter(nullptr, nullptr);
    ApplyLinkSettings(converter, o.Link);
    os::CatchTerminationRequests();
    converter.WaitHook = [&converter] {
        if (os::TerminationRequest() != 0)
            converter.AbortWaits();
    };
    if (!OpenLinkOrExit(converter))
        return ExitOk;
    // Nothing is ever written to the gateway: the monitor only reads.
    converter.Timeout = ReadWaitMs;
    LineSplitter splitter;
    std::vector<ReceivedLine> lines;
    char buffer[4096];
    while (os::TerminationRequest() == 0) {
        const std::uint32_t count = converter.Read(buffer, sizeof buffer, '\n');
        lines.clear();
        splitter.Feed(std::string_view(buffer, count), lines);
        for (const ReceivedLine& line : lines) {
            const AnnotatedLine shown = AnnotateLine(line, names, o.Hex);
            const std::string time =
                o.Timestamps || log ? LocalTimestamp(std::chrono::system_clock::now()) : "";
            if (log) {
                try {
                    log->Write(time, shown);
                } catch (const Exception& e) {
                    throw ExitRequest{ExitOutputFailed, e.Message()};
                }
            }
            if (o.Timestamps)
                std::cout << time << ' ';
            // A reader at the other end of a pipe sees every line as it comes; a closed pipe ends the monitor
            // (main says so).
            if (!(std::cout << shown.Text << '\n' << std::flush))
                return ExitOk;
        }
        const std::string lost = converter.LostReason();
        if (!lost.empty())
            throw ExitRequest{ExitDeviceFailed, "Connection to the gateway lost: " + lost};
    }
    return ExitOk;
}

} // namespace

void AddMonitor(CLI::App& app, Runner& run) {
    auto* command =
        app.add_subcommand("monitor", "Print the lines the gateway sends, with the groups' names");
    auto o = std::make_shared<MonitorOptions>();
    o->Link.AddTo(*command);
    auto* names = command->add_option("--names", o->Names,
                                      "follow each group address with its name from this ETS project file or "
                                      "export (- for standard input)");
    auto* password =
        command->add_option("--password", o->Password, "the project's password, for a protected project file")
            ->needs(names);
    command
        ->add_option("--password-file", o->PasswordFile,
                     "read the project's password from the first line of this file (- for standard input)")
        ->excludes(password)
        ->needs(names);
    command->add_flag(
        "--hex", o->Hex,
        "the gateway prints group addresses as four hexadecimal digits (its setup line's option)");
    command->add_flag("--timestamps", o->Timestamps,
                      "put the local time to the millisecond before each line");
    command->add_option(
        "--output", o->Output,
        "also append the lines to FILE, each written at once; CSV (time, line, names) when it "
        "ends in .csv");
    command->footer(
        "Nothing is sent to the gateway. SIGINT or SIGTERM end the monitor with exit code 0; a lost "
        "link ends it\nwith exit code 1, an unreadable names file with 2, a log that cannot be "
        "written with 3.");
    command->callback([&run, o] { run = [o] { return RunMonitor(*o); }; });
}

} // namespace zelo::cli
