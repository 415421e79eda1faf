#include "sim/GatewaySim.h"
#include "Process.h"
#include "SimClient.h"
#include "Watchdog.h"
#include "model/Error.h"
#include "sim/SimArguments.h"
#include "sim/WireClock.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace zelo;
using namespace zelo::sim;
using namespace zelo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

enum class Transport { Pty, Tcp };

// A running simulator with one client connected to it.
struct Harness {
    explicit Harness(Transport transport, SimOptions options = {})
        : sim(std::make_unique<GatewaySim>(std::move(options))) {
        if (transport == Transport::Pty) {
            std::string path = sim->OpenPty();
            sim->Start();
            client.emplace(RawClient::Pty(path));
        } else {
            int port = sim->ListenTcp(0);
            sim->Start();
            client.emplace(RawClient::Tcp(port));
        }
    }
    std::unique_ptr<GatewaySim> sim;
    std::optional<RawClient> client;
};

class SimLink : public ::testing::TestWithParam<Transport> {};

std::string NameOf(const ::testing::TestParamInfo<Transport>& info) {
    return info.param == Transport::Pty ? "Pty" : "Tcp";
}

bool HasControlBytesBeforeTheEnd(const std::string& answer, std::size_t terminatorSize) {
    for (std::size_t i = 0; i + terminatorSize < answer.size(); ++i)
        if (static_cast<unsigned char>(answer[i]) < 0x20)
            return true;
    return false;
}

const std::string SetupLine = "#SETUP=15.15.255;OFF;OFF;OFF";
const std::string GroupLine = "#DG1/2/3=BIT;RW";
const std::string RangeLine = "#DG0/0/1-0/0/9=FLOAT;R";

} // namespace

TEST_P(SimLink, AnswersEveryCommandByItsForm) {
    Harness h(GetParam());
    const struct {
        std::string command;
        std::string answerStart; // the whole answer when it is "Ok\r"
    } cases[] = {
        {"#CG", "Ok\r"},
        {"#CF", "Ok\r"},
        {"#RESET", "Ok\r"},
        {SetupLine, "Ok\r"},
        {GroupLine, "Ok\r"},
        {RangeLine, "Ok\r"},
        {"", "ERR empty line\r"},
        {"hello", "ERR neither a setup line"},
        {"#cg", "ERR neither a setup line"},
        {"#CG ", "ERR neither a setup line"},
        {"#SETUP=1.1.1;ON;OFF", "ERR setup line needs four fields"},
        {"#DG1/2/3=BIT;X", "ERR access type"},
        {"#DG1/2/3=\x11\x13\x01;RW", "ERR unknown datapoint type"}, // flow-control bytes pass the link
        {"#SETUP=" + std::string(300, 'x') + ";ON;OFF;OFF", "ERR physical address"},
        {std::string(5000, 'A'), "ERR command longer than"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command.substr(0, 40));
        std::string answer = h.client->Exchange(c.command);
        EXPECT_EQ(answer.substr(0, c.answerStart.size()), c.answerStart);
        EXPECT_TRUE(answer.ends_with("\r")) << answer;
        EXPECT_LT(answer.size(), 100u);
        EXPECT_FALSE(HasControlBytesBeforeTheEnd(answer, 1)) << answer;
    }
    EXPECT_EQ(h.sim->Configuration(), (std::vector<std::string>{SetupLine, GroupLine, RangeLine}));
    auto received = h.sim->Received();
    ASSERT_EQ(received.size(), std::size(cases));
    for (std::size_t i = 0; i + 1 < received.size(); ++i)
        EXPECT_EQ(received[i], cases[i].command);
    EXPECT_EQ(received.back(), std::string(4096, 'A')); // only the start of an overlong command is kept
}

// A line feed right after a CR is dropped, so CR LF ends one command; any other line feed belongs to the
// command.
TEST_P(SimLink, CrLfFromTheClientEndsOneCommand) {
    Harness h(GetParam());
    h.client->Write("\n#CG\r#CG\r\n" + SetupLine + "\r\n\n#CF\r\r");
    const std::string notACommand = "ERR neither a setup line (#SETUP=...) nor a group line (#DG...)\r";
    EXPECT_EQ(h.client->ReadAnswers(5), notACommand + "Ok\rOk\r" + notACommand + "ERR empty line\r");
    EXPECT_EQ(h.sim->Received(), (std::vector<std::string>{"\n#CG", "#CG", SetupLine, "\n#CF", ""}));
    EXPECT_EQ(h.sim->Configuration(), std::vector<std::string>{SetupLine});
}

TEST_P(SimLink, EraseCommandsClearTheConfiguration) {
    for (const std::string erase : {"#CG", "#CF"}) {
        SCOPED_TRACE(erase);
        Harness h(GetParam());
        for (const auto& line : {SetupLine, GroupLine})
            ASSERT_EQ(h.client->Exchange(line), "Ok\r");
        EXPECT_EQ(h.sim->Configuration().size(), 2u);
        EXPECT_EQ(h.client->Exchange(erase), "Ok\r");
        EXPECT_TRUE(h.sim->Configuration().empty());
        EXPECT_EQ(h.client->Exchange(RangeLine), "Ok\r");
        EXPECT_EQ(h.sim->Configuration(), std::vector<std::string>{RangeLine});
    }
}

TEST_P(SimLink, RefusesLineNCountedAfterTheLastErase) {
    SimOptions options;
    options.RefuseLine = 2;
    options.RefuseText = "Busy";
    Harness h(GetParam(), options);
    const struct {
        std::string command, answer;
    } steps[] = {
        {SetupLine, "Ok\r"},   {GroupLine, "Busy\r"}, // before any erase the count runs from the start
        {"#CG", "Ok\r"},       {"#CF", "Ok\r"},
        {SetupLine, "Ok\r"},   {GroupLine, "Busy\r"},
        {RangeLine, "Ok\r"},   {"#RESET", "Ok\r"}, // not a configuration line
        {"#CF", "Ok\r"},       {"bad", "ERR neither a setup line (#SETUP=...) nor a group line (#DG...)\r"},
        {SetupLine, "Busy\r"}, {GroupLine, "Ok\r"},
    };
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(h.client->Exchange(steps[i].command), steps[i].answer);
        if (i == 7) {
            EXPECT_EQ(h.sim->Configuration(), (std::vector<std::string>{SetupLine, RangeLine}));
        }
    }
    EXPECT_EQ(h.sim->Configuration(), std::vector<std::string>{GroupLine});
}

TEST_P(SimLink, FallsSilentAfterNCommands_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    for (int n : {0, 3}) {
        SCOPED_TRACE(n);
        SimOptions options;
        options.SilentAfter = n;
        Harness h(GetParam(), options);
        const std::string commands[] = {"#CG", "#CF", SetupLine, GroupLine, RangeLine};
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(h.client->Exchange(commands[i]), "Ok\r");
        h.client->Write(commands[n] + "\r" + commands[n + 1] + "\r");
        EXPECT_EQ(h.client->ReadUntilQuiet(150ms), "");
        EXPECT_EQ(h.sim->Received().size(), static_cast<std::size_t>(n + 2));
        // A hung device takes nothing in: only the answered setup line stays.
        EXPECT_EQ(h.sim->Configuration(),
                  n == 3 ? std::vector<std::string>{SetupLine} : std::vector<std::string>{});
    }
}

TEST_P(SimLink, CrLfOptionEndsEveryAnswerWithCrLf) {
    SimOptions options;
    options.CrLf = true;
    options.RefuseLine = 2;
    options.RefuseText = "No";
    Harness h(GetParam(), options);
    h.client->Write("#CG\r");
    EXPECT_EQ(h.client->ReadUntilSuffix("\r\n"), "Ok\r\n");
    h.client->Write(SetupLine + "\r");
    EXPECT_EQ(h.client->ReadUntilSuffix("\r\n"), "Ok\r\n");
    h.client->Write(GroupLine + "\r");
    EXPECT_EQ(h.client->ReadUntilSuffix("\r\n"), "No\r\n");
    h.client->Write("#SETUP=" + std::string(300, '\x01') + ";ON;OFF;OFF\r");
    std::string error = h.client->ReadUntilSuffix("\r\n");
    EXPECT_TRUE(error.starts_with("ERR physical address")) << error;
    EXPECT_LT(error.size(), 100u);
    EXPECT_FALSE(HasControlBytesBeforeTheEnd(error, 2)) << error;
}

TEST_P(SimLink, DelayHoldsEveryAnswerBackInOrder) {
    SimOptions options;
    options.DelayMs = 80;
    Harness h(GetParam(), options);
    auto start = Clock::now();
    h.client->Write("#CG\rbad\r" + SetupLine + "\r");
    std::string answers = h.client->ReadAnswers(3);
    EXPECT_GE(Clock::now() - start, 80ms);
    EXPECT_EQ(answers, "Ok\rERR neither a setup line (#SETUP=...) nor a group line (#DG...)\rOk\r");
}

TEST_P(SimLink, BaudRateAddsTheWireTimeOfBothDirections) {
    SimOptions options;
    options.Baud = 2400; // 4.17 ms a byte
    Harness h(GetParam(), options);
    auto start = Clock::now();
    EXPECT_EQ(h.client->Exchange("#CG"), "Ok\r");
    EXPECT_GE(Clock::now() - start, WireClock(2400).WireTime(4 + 3));
    // Three commands in one go: the last answer leaves once all 12 command bytes are in, then takes its 3
    // bytes.
    start = Clock::now();
    h.client->Write("#CG\r#CF\r#CG\r");
    EXPECT_EQ(h.client->ReadAnswers(3), "Ok\rOk\rOk\r");
    EXPECT_GE(Clock::now() - start, WireClock(2400).WireTime(12 + 3));
}

TEST_P(SimLink, GarbageIsRepeatableWithTheSameSeed_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(60);
    std::mt19937 random(42);
    std::string input;
    for (int i = 0; i < 2000; ++i)
        input += static_cast<char>(random() % 4 == 0 ? '\r' : random() % 256);
    auto run = [&](std::uint32_t seed) {
        SimOptions options;
        options.Garbage = true;
        options.Seed = seed;
        Harness h(GetParam(), options);
        h.client->Write("#CG\r#CF\r" + SetupLine + "\r");
        h.client->Write(input);
        std::string answers = h.client->ReadUntilQuiet(200ms);
        // Every CR ended one command, and the simulator went through all of them.
        EXPECT_EQ(h.sim->Received().size(),
                  3 + static_cast<std::size_t>(std::count(input.begin(), input.end(), '\r')));
        return answers;
    };
    std::string first = run(7);
    EXPECT_FALSE(first.empty());
    EXPECT_FALSE(first.starts_with("Ok\r"));
    EXPECT_EQ(run(7), first);
    EXPECT_NE(run(8), first);
}

// The bus takes the configured addresses in turn, in the form the setup line asks for, and none of its lines
// comes between a command and its answer.
TEST_P(SimLink, BusPrintsTheConfiguredAddressesInTheSetupsForm) {
    const zelo::test::Watchdog watchdog(60);
    const struct {
        std::vector<std::string> configuration;
        std::string lines; // the first four
    } cases[] = {
        {{"#SETUP=1.1.255;OFF;OFF;OFF", "#DG1/2/3-1/2/4=BIT;RW", "#DG3/0/0=VALUE;R"},
         "1/2/3 W 00\r\n1/2/4 W 07\r\n3/0/0 W 0E\r\n1/2/3 W 15\r\n"},
        {{"#SETUP=2.3.4;ON;OFF;OFF", "#DG15/7/255=BIT;RW"},
         "2.3.1 15/7/255 W 00\r\n2.3.2 15/7/255 W 07\r\n2.3.3 15/7/255 W 0E\r\n2.3.4 15/7/255 W 15\r\n"},
        {{"#SETUP=1.1.255;ON;ON;OFF", "#DG1/2/3-1/2/4=BIT;RW"},
         "1.1.1 0A03 W 00\r\n1.1.2 0A04 W 07\r\n1.1.3 0A03 W 0E\r\n1.1.4 0A04 W 15\r\n"},
        {{"#DG0/0/1=BIT;RW"}, "0/0/1 W 00\r\n0/0/1 W 07\r\n0/0/1 W 0E\r\n0/0/1 W 15\r\n"},
        {{"#SETUP=1.1.255;ON;ON;OFF"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.configuration.back());
        SimOptions options;
        options.BusRate = 200;
        Harness h(GetParam(), options);
        for (const auto& line : c.configuration)
            ASSERT_EQ(h.client->Exchange(line), "Ok\r");
        const std::string bus = c.lines.empty() ? h.client->ReadUntilQuiet(700ms) : h.client->ReadAnswers(4);
        EXPECT_EQ(bus.substr(0, c.lines.size()), c.lines);
    }
}

INSTANTIATE_TEST_SUITE_P(link, SimLink, ::testing::Values(Transport::Pty, Transport::Tcp), NameOf);

TEST(WireClock, SchedulesEachDirectionBackToBack) {
    const auto t0 = Clock::time_point{} + 1h;
    WireClock off(0);
    EXPECT_EQ(off.WireTime(1000), Clock::duration::zero());
    EXPECT_EQ(off.Receive(t0, 10), t0);
    EXPECT_EQ(off.Send(t0, 10), t0);

    WireClock wire(19200);
    EXPECT_EQ(wire.WireTime(1), std::chrono::nanoseconds(520833));
    EXPECT_EQ(wire.WireTime(12), 6250us);
    EXPECT_EQ(wire.Receive(t0, 4), t0 + wire.WireTime(4));
    // Bytes that come while the wire is still busy queue behind the earlier ones.
    EXPECT_EQ(wire.Receive(t0 + 1ms, 2), t0 + wire.WireTime(4) + wire.WireTime(2));
    // After an idle wire they start when they come.
    EXPECT_EQ(wire.Receive(t0 + 100ms, 1), t0 + 100ms + wire.WireTime(1));
    // The two directions are independent.
    EXPECT_EQ(wire.Send(t0, 3), t0 + wire.WireTime(3));
    EXPECT_EQ(wire.Send(t0, 3), t0 + wire.WireTime(3) * 2);

    // One byte at a time for a whole second's worth does not drift by more than the rounding of each byte.
    WireClock bytewise(19200);
    Clock::time_point end{};
    for (int i = 0; i < 1920; ++i)
        end = bytewise.Send(t0, 1);
    EXPECT_LT(std::chrono::abs(end - (t0 + 1s)), 2us);
}

namespace {

// Waits (bounded) until a file of that name is moved into the directory, as the dump's rename does.
class RenameWatch {
public:
    explicit RenameWatch(const std::string& dir) : fd_(inotify_init1(IN_CLOEXEC | IN_NONBLOCK)) {
        inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO);
    }
    ~RenameWatch() { close(fd_); }
    bool Wait(const std::string& name, std::chrono::milliseconds limit = 5s) {
        const auto deadline = Clock::now() + limit;
        for (;;) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            pollfd p{fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0)
                return false;
            alignas(inotify_event) char buffer[4096];
            ssize_t n = read(fd_, buffer, sizeof buffer);
            for (ssize_t at = 0; at < n;) {
                auto* event = reinterpret_cast<inotify_event*>(buffer + at);
                if (event->len > 0 && name == event->name)
                    return true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    int fd_;
};

} // namespace

TEST(SimDump, WrittenOnceTheLinkIsQuietAfterADownload) {
    TempDir dir;
    RenameWatch watch(dir.Path());
    SimOptions options;
    options.DumpFile = dir.File("dump.txt");
    Harness h(Transport::Pty, options);
    for (const auto& line :
         {std::string("#CG"), std::string("#CF"), SetupLine, GroupLine, std::string("bad"), RangeLine})
        h.client->Exchange(line);
    ASSERT_TRUE(watch.Wait("dump.txt"));
    EXPECT_EQ(ReadFileBytes(options.DumpFile), SetupLine + "\n" + GroupLine + "\n" + RangeLine + "\n");

    for (const auto& line : {std::string("#CG"), std::string("#CF"), GroupLine})
        h.client->Exchange(line);
    ASSERT_TRUE(watch.Wait("dump.txt"));
    EXPECT_EQ(ReadFileBytes(options.DumpFile), GroupLine + "\n");
}

TEST(SimDump, WrittenWhenTheTcpClientLeavesAndOnStop) {
    TempDir dir;
    RenameWatch watch(dir.Path());
    SimOptions options;
    options.DumpFile = dir.File("dump.txt");
    GatewaySim sim(options);
    int port = sim.ListenTcp(0);
    sim.Start();
    {
        RawClient client = RawClient::Tcp(port);
        client.Exchange("#CF");
        client.Exchange(SetupLine);
    }
    ASSERT_TRUE(watch.Wait("dump.txt"));
    EXPECT_EQ(ReadFileBytes(options.DumpFile), SetupLine + "\n");

    RawClient client = RawClient::Tcp(port);
    client.Exchange(GroupLine);
    sim.Stop();
    EXPECT_EQ(ReadFileBytes(options.DumpFile), SetupLine + "\n" + GroupLine + "\n");
}

TEST(SimDump, DestructionWritesItAndAFailedWriteIsReported) {
    TempDir dir;
    SimOptions options;
    options.DumpFile = dir.File("dump.txt");
    { GatewaySim sim(options); }
    EXPECT_EQ(ReadFileBytes(options.DumpFile), "");

    options.DumpFile = dir.File("missing/dump.txt");
    GatewaySim sim(options);
    EXPECT_THROW(sim.Dump(), Exception);
    EXPECT_FALSE(std::filesystem::exists(options.DumpFile));
}

TEST(GatewaySim, StopsAndStartsAgain) {
    GatewaySim sim;
    std::string path = sim.OpenPty();
    EXPECT_THROW(sim.OpenPty(), Exception);
    EXPECT_THROW(sim.ListenTcp(0), Exception);
    sim.Start();
    EXPECT_THROW(sim.Start(), Exception);
    RawClient client = RawClient::Pty(path);
    EXPECT_EQ(client.Exchange("#CG"), "Ok\r");
    sim.Stop();
    sim.Stop();
    client.Write("#CF\r"); // waits in the terminal until the simulator serves again
    sim.Start();
    EXPECT_EQ(client.ReadAnswer(), "Ok\r");
    EXPECT_EQ(sim.Received(), (std::vector<std::string>{"#CG", "#CF"}));
}

TEST(GatewaySim, RunWithoutALinkIsRefused) {
    GatewaySim sim;
    std::atomic<bool> stop{false};
    EXPECT_THROW(sim.Run(stop), Exception);
    EXPECT_THROW(sim.ListenTcp(70000), Exception);
}

TEST(GatewaySim, PtyOutlivesItsClients) {
    GatewaySim sim;
    std::string path = sim.OpenPty();
    sim.Start();
    for (int i = 0; i < 3; ++i) {
        RawClient client = RawClient::Pty(path);
        EXPECT_EQ(client.Exchange("#CF"), "Ok\r");
    }
    EXPECT_EQ(sim.Received().size(), 3u);
}

TEST(GatewaySim, ExclusiveUseEndsWithTheClient) {
    GatewaySim sim;
    std::string path = sim.OpenPty();
    sim.Start();
    {
        RawClient first = RawClient::Pty(path);
        ASSERT_EQ(ioctl(first.Fd(), TIOCEXCL), 0);
        EXPECT_EQ(first.Exchange("#CG"), "Ok\r");
    }
    // Only root could open the terminal while it is exclusive; for everyone else the flag has to be gone.
    RawClient next = RawClient::Pty(path);
    EXPECT_EQ(next.Exchange("#CF"), "Ok\r");
    int exclusive = -1;
    ASSERT_EQ(ioctl(next.Fd(), TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
}

TEST(GatewaySim, TcpServesOneClientAfterAnother) {
    GatewaySim sim;
    int port = sim.ListenTcp(0);
    sim.Start();
    std::optional<RawClient> first(RawClient::Tcp(port));
    RawClient second = RawClient::Tcp(port);
    second.Write("#CG\r"); // waits until the first client has gone
    EXPECT_EQ(first->Exchange("#CF"), "Ok\r");
    first->Write("#C"); // an unfinished command leaves with its client
    first.reset();
    EXPECT_EQ(second.ReadAnswer(), "Ok\r");
    EXPECT_EQ(sim.Received(), (std::vector<std::string>{"#CF", "#CG"}));
}

TEST(SimArguments, AcceptsEveryFlag) {
    auto a =
        ParseSimArguments({"--pty",  "--link",     "/tmp/x", "--refuse", "3",      "Nope",  "--silent-after",
                           "0",      "--delay",    "25",     "--crlf",   "--baud", "19200", "--garbage",
                           "--seed", "4294967295", "--dump", "d.txt",    "--bus",  "2000"});
    EXPECT_TRUE(a.Pty);
    EXPECT_EQ(a.LinkPath, "/tmp/x");
    EXPECT_EQ(a.TcpPort, -1);
    EXPECT_EQ(a.Options.RefuseLine, 3);
    EXPECT_EQ(a.Options.RefuseText, "Nope");
    EXPECT_EQ(a.Options.SilentAfter, 0);
    EXPECT_EQ(a.Options.DelayMs, 25);
    EXPECT_TRUE(a.Options.CrLf);
    EXPECT_EQ(a.Options.Baud, 19200);
    EXPECT_TRUE(a.Options.Garbage);
    EXPECT_EQ(a.Options.Seed, 4294967295u);
    EXPECT_EQ(a.Options.DumpFile, "d.txt");
    EXPECT_EQ(a.Options.BusRate, 2000);

    auto t = ParseSimArguments({"--tcp", "0"});
    EXPECT_FALSE(t.Pty);
    EXPECT_EQ(t.TcpPort, 0);
    EXPECT_EQ(t.Options.SilentAfter, -1);
    EXPECT_TRUE(ParseSimArguments({"--help"}).Help);
}

TEST(SimArguments, RejectsUnusableCommandLines) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{}, "give either --pty or --tcp PORT"},
        {{"--pty", "--tcp", "1"}, "give either --pty or --tcp PORT"},
        {{"--tcp", "1", "--link", "x"}, "--link works with --pty only"},
        {{"--tcp", "65536"}, "--tcp: Value 65536 not in range 0 to 65535"},
        {{"--tcp", "-1"}, "--tcp: Value -1 not in range 0 to 65535"},
        {{"--pty", "--delay", "5ms"}, "--delay: Value 5ms not in range 0 to 3600000"},
        {{"--pty", "--refuse", "0", "x"}, "--refuse: the line number N must be 1 or more, not 0"},
        {{"--pty", "--refuse", "1"}, "--refuse: 2 required N TEXT missing"},
        {{"--pty", "--baud", "0"}, "--baud: Value 0 not in range 1 to 100000000"},
        {{"--pty", "--seed", "4294967296"}, "Could not convert: --seed = 4294967296"},
        {{"--pty", "--dump"}, "--dump: 1 required FILE missing"},
        {{"--pty", "--bus", "0"}, "--bus: Value 0 not in range 1 to 1000000"},
        {{"--pty", "--dump", ""}, "--dump needs a file name"},
        {{"--pty", "--link", ""}, "--link needs a path"},
        {{"--pty", "--verbose"}, "The following argument was not expected: --verbose"},
    };
    for (const auto& c : cases) {
        try {
            ParseSimArguments(c.args);
            ADD_FAILURE() << c.message;
        } catch (const UsageError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}
