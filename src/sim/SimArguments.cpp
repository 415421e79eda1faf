#include "sim/SimArguments.h"

#include <charconv>
#include <limits>

namespace zelo::sim {

namespace {

long long Number(const std::string& flag, const std::string& text, long long low, long long high) {
    long long value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high)
        throw UsageError(flag + " needs a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    return value;
}

} // namespace

SimArguments ParseSimArguments(const std::vector<std::string>& args) {
    SimArguments result;
    SimOptions& o = result.Options;
    constexpr long long intMax = std::numeric_limits<int>::max();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        auto value = [&](int which = 1) -> const std::string& {
            if (i + static_cast<std::size_t>(which) >= args.size())
                throw UsageError(flag + " needs " + (flag == "--refuse" ? "two values" : "a value"));
            return args[i + static_cast<std::size_t>(which)];
        };
        if (flag == "--help" || flag == "-h") {
            result.Help = true;
        } else if (flag == "--pty") {
            result.Pty = true;
        } else if (flag == "--link") {
            result.LinkPath = value();
            if (result.LinkPath.empty())
                throw UsageError("--link needs a path");
            ++i;
        } else if (flag == "--tcp") {
            result.TcpPort = static_cast<int>(Number(flag, value(), 0, 65535));
            ++i;
        } else if (flag == "--refuse") {
            o.RefuseLine = static_cast<int>(Number(flag, value(1), 1, intMax));
            o.RefuseText = value(2);
            i += 2;
        } else if (flag == "--silent-after") {
            o.SilentAfter = static_cast<int>(Number(flag, value(), 0, intMax));
            ++i;
        } else if (flag == "--delay") {
            o.DelayMs = static_cast<int>(Number(flag, value(), 0, 3'600'000));
            ++i;
        } else if (flag == "--crlf") {
            o.CrLf = true;
        } else if (flag == "--baud") {
            o.Baud = static_cast<int>(Number(flag, value(), 1, 100'000'000));
            ++i;
        } else if (flag == "--garbage") {
            o.Garbage = true;
        } else if (flag == "--seed") {
            o.Seed = static_cast<std::uint32_t>(
                Number(flag, value(), 0, std::numeric_limits<std::uint32_t>::max()));
            ++i;
        } else if (flag == "--dump") {
            o.DumpFile = value();
            if (o.DumpFile.empty())
                throw UsageError("--dump needs a file name");
            ++i;
        } else {
            throw UsageError("unknown argument \"" + flag + "\" (see --help)");
        }
    }
    if (result.Help)
        return result;
    if (result.Pty == (result.TcpPort >= 0))
        throw UsageError("give either --pty or --tcp PORT");
    if (!result.LinkPath.empty() && !result.Pty)
        throw UsageError("--link works with --pty only");
    return result;
}

std::string SimUsage() {
    return R"(Usage: zelo-gateway-sim (--pty [--link PATH] | --tcp PORT) [options]

Plays a ZELO KNX/EIB-to-ASCII gateway: reads commands ended by a carriage return (a line
feed right after it is ignored) and answers "Ok" and a carriage return to "#CG", "#CF"
(both erase the configuration), "#RESET" and every well-formed setup (#SETUP=...) or group
(#DG...) line, which it keeps. A malformed command gets "ERR " and the reason instead.
The first line on standard output says where it listens. SIGINT or SIGTERM end it.

Where:
  --pty               open a pseudo-terminal; print the path of its serial side
  --link PATH         with --pty: also make PATH a symbolic link to that path (an old
                      link there is replaced; the link is removed at exit)
  --tcp PORT          listen on 127.0.0.1:PORT (0: any free port); print the port.
                      One client at a time; the next one is served after it leaves

Options:
  --dump FILE         write the configuration held, one line each, after every download
                      (once the link has been quiet for 100 ms, or the client left) and at exit
  --refuse N TEXT     answer TEXT instead of "Ok" to configuration line N (counted from 1
                      after the last "#CG"/"#CF"); that line is not kept
  --silent-after N    answer N commands, then hang: never answer or keep anything again
                      (0: never answers)
  --delay MS          wait MS milliseconds before every answer
  --crlf              end answers with a carriage return and a line feed
  --baud N            take the wire time of N baud for every byte received and sent
                      (10 bits per byte)
  --garbage           answer 1 to 120 random bytes instead, some without a carriage return
  --seed N            the seed of --garbage (default 1)
  -h, --help          show this text

Exit codes: 0 ended by a signal, 1 the port could not be opened, 2 bad usage.
)";
}

} // namespace zelo::sim
