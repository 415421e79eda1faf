#include "sim/SimArguments.h"
#include "os/ServerLink.h"

#include <CLI/CLI.hpp>

#include <climits>
#include <optional>
#include <utility>

namespace zelo::sim {

namespace {

constexpr const char* Description =
    "Plays a ZELO KNX/EIB-to-ASCII gateway: reads commands ended by a carriage return (a line\n"
    "feed right after it is ignored) and answers \"Ok\" and a carriage return to \"#CG\", \"#CF\"\n"
    "(both erase the configuration), \"#RESET\" and every well-formed setup (#SETUP=...) or group\n"
    "(#DG...) line, which it keeps. A malformed command gets \"ERR \" and the reason instead.\n"
    "The first line on standard output says where it listens. SIGINT or SIGTERM end it.";

constexpr const char* Footer =
    "Exit codes: 0 ended by a signal, 1 the port could not be opened, 2 bad usage.";

// What the command line holds before the checks that concern more than one option.
struct Given {
    SimArguments Arguments;
    std::optional<int> Tcp;
    std::optional<std::pair<int, std::string>> Refuse;
};

void Describe(CLI::App& app, Given& given) {
    SimArguments& a = given.Arguments;
    SimOptions& o = a.Options;
    app.description(Description);
    app.footer(Footer);
    app.set_help_flag("-h,--help", "show this text");
    app.add_flag("--version", a.Version, "print the version and exit");
    app.add_flag("--pty", a.Pty,
                 os::ServerLink::HasPseudoTerminals()
                     ? "open a pseudo-terminal; print the path of its serial side"
                     : "POSIX systems only (Linux): open a pseudo-terminal; not available here, use --tcp");
    app.add_option("--link", a.LinkPath,
                   "with --pty: also make PATH a symbolic link to that path (an old link there is replaced; "
                   "the link is removed at exit)")
        ->type_name("PATH");
    app.add_option(
           "--tcp", given.Tcp,
           "listen on 127.0.0.1:PORT (0: any free port); print the port. One client at a time; the next "
           "one is served after it leaves")
        ->type_name("PORT")
        ->check(CLI::Range(0, 65535));
    app.add_option(
           "--dump", o.DumpFile,
           "write the configuration held, one line each, after every download (once the link has been "
           "quiet for 100 ms, or the client left) and at exit")
        ->type_name("FILE");
    app.add_option("--refuse", given.Refuse,
                   "answer TEXT instead of \"Ok\" to configuration line N (counted from 1 after the last "
                   "\"#CG\"/\"#CF\"); that line is not kept")
        ->type_name("N TEXT");
    app.add_option("--silent-after", o.SilentAfter,
                   "answer N commands, then hang: never answer or keep anything again (0: never answers)")
        ->type_name("N")
        ->check(CLI::Range(0, INT_MAX));
    app.add_option("--delay", o.DelayMs, "wait MS milliseconds before every answer")
        ->type_name("MS")
        ->check(CLI::Range(0, 3'600'000));
    app.add_flag("--crlf", o.CrLf, "end answers with a carriage return and a line feed");
    app.add_option("--baud", o.Baud,
                   "take the wire time of N baud for every byte received and sent (10 bits per byte)")
        ->type_name("N")
        ->check(CLI::Range(1, 100'000'000));
    app.add_flag("--garbage", o.Garbage,
                 "answer 1 to 120 random bytes instead, some without a carriage return");
    app.add_option("--bus", o.BusRate,
                   "print RATE bus lines a second for the configured ranges, in this simulator's own format "
                   "(an example, not the device's): \"[SOURCE ]GROUP W VALUE\" and CR LF, e.g. \"1.1.7 "
                   "1/2/3 W 4F\"; SOURCE only when the setup line asks for source addresses, GROUP as four "
                   "hexadecimal digits (0A03) when it asks for those. None while commands come or until 500 "
                   "ms after, nor in the first 300 ms of a TCP client")
        ->type_name("RATE")
        ->check(CLI::Range(1, 1'000'000));
    app.add_option("--seed", o.Seed, "the seed of --garbage (default 1)")->type_name("N");
}

} // namespace

SimArguments ParseSimArguments(const std::vector<std::string>& args) {
    CLI::App app{"", "zelo-gateway-sim"};
    Given given;
    Describe(app, given);
    // CLI11 takes a list of arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
    } catch (const CLI::CallForHelp&) {
        given.Arguments.Help = true;
        return given.Arguments;
    } catch (const CLI::ParseError& e) {
        throw UsageError(e.what());
    }
    SimArguments& result = given.Arguments;
    if (result.Version)
        return result;
    if (given.Tcp)
        result.TcpPort = *given.Tcp;
    if (given.Refuse) {
        if (given.Refuse->first < 1)
            throw UsageError("--refuse: the line number N must be 1 or more, not " +
                             std::to_string(given.Refuse->first));
        result.Options.RefuseLine = given.Refuse->first;
        result.Options.RefuseText = given.Refuse->second;
    }
    if (app.count("--link") != 0 && result.LinkPath.empty())
        throw UsageError("--link needs a path");
    if (app.count("--dump") != 0 && result.Options.DumpFile.empty())
        throw UsageError("--dump needs a file name");
    if (result.Pty == (result.TcpPort >= 0))
        throw UsageError("give either --pty or --tcp PORT");
    if (result.Pty && !os::ServerLink::HasPseudoTerminals())
        throw UsageError("--pty works on POSIX systems only: use --tcp PORT");
    if (!result.LinkPath.empty() && !result.Pty)
        throw UsageError("--link works with --pty only");
    return result;
}

std::string SimUsage() {
    CLI::App app{"", "zelo-gateway-sim"};
    Given given;
    Describe(app, given);
    return app.help();
}

} // namespace zelo::sim
