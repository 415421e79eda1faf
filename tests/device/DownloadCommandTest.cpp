// zeloctl download and ports, run as built programs against the simulator.
#include "Process.h"
#include "Watchdog.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <regex>
#include <set>
#include <sstream>

using namespace zelo;
using namespace zelo::test;

namespace {

const std::string ThreeLines = "#SETUP=1.1.1;OFF;OFF;OFF\n#DG1/2/3=BIT;RW\n#DG2/0/0-2/0/9=VALUE;R\n";
const std::vector<std::string> ThreeCommands{"#SETUP=1.1.1;OFF;OFF;OFF", "#DG1/2/3=BIT;RW",
                                             "#DG2/0/0-2/0/9=VALUE;R"};

} // namespace

// Progress goes to standard error, plain lines when it is no terminal; standard output stays empty. (--quiet,
// which shows none, leaves standard error to the messages below.)
TEST(ZeloctlDownload, LoadsAListIntoTheGatewayOverAPty) {
    TempDir dir;
    sim::SimOptions options;
    options.DumpFile = dir.File("dump.txt");
    sim::GatewaySim gateway(options);
    const std::string path = gateway.OpenPty();
    gateway.Start();
    ProcessResult r = Zeloctl({"download", "--device", path, dir.Write("list.txt", ThreeLines)});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "");
    EXPECT_EQ(gateway.Configuration(), ThreeCommands);
    EXPECT_EQ(r.Err, "Erasing old configuration... 0/4\nLoading new configuration... 1/4\n"
                     "Loading new configuration... 2/4\nLoading new configuration... 3/4\n"
                     "Loading new configuration... 4/4\nConfiguration loaded successfully! 4/4\n");
    gateway.Dump();
    EXPECT_EQ(ReadFileBytes(dir.File("dump.txt")), ThreeLines);
}

TEST(ZeloctlDownload, ReadsStandardInputAndTheSettingsFile) {
    TempDir dir;
    sim::GatewaySim gateway;
    const std::string path = gateway.OpenPty();
    gateway.Start();
    const std::string settings =
        dir.Write("zelo.ini", "[SerialPort]\r\nDevice=" + path + "\r\nBaudrate=9600\r\n");
    ProcessResult r =
        Zeloctl({"download", "--settings", settings, "-"}, "#SETUP=1.1.1;OFF;OFF;OFF\r\n#DG1/2/3=BIT;RW\r\n");
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(gateway.Configuration(),
              (std::vector<std::string>{"#SETUP=1.1.1;OFF;OFF;OFF", "#DG1/2/3=BIT;RW"}));
}

TEST(ZeloctlDownload, RefusedLineExitsWithTheGatewaysMessage) {
    TempDir dir;
    sim::SimOptions options;
    options.RefuseLine = 2;
    options.RefuseText = "ERR";
    sim::GatewaySim gateway(options);
    const std::string path = gateway.OpenPty();
    gateway.Start();
    ProcessResult r = Zeloctl({"download", "--quiet", "--device", path, dir.Write("list.txt", ThreeLines)});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(
        r.Err,
        "Error \"ERR\" occured while configuring device!\nPlease check line 2 of configuration list!\n");
}

// --host or --port alone chooses the TCP link too, the other half coming from the settings.
TEST(ZeloctlDownload, LoadsOverTcp) {
    TempDir dir;
    sim::GatewaySim gateway;
    const std::string port = std::to_string(gateway.ListenTcp(0));
    gateway.Start();
    const std::string settings = "[SerialPort]\r\nDevice=COM1\r\nHost=127.0.0.1\r\nPort=" + port + "\r\n";
    for (const char* option : {"--host", "--port"}) {
        ProcessResult r = Zeloctl({"download", "--quiet", "--settings", dir.Write("s.ini", settings), option,
                                   option[2] == 'h' ? "127.0.0.1" : port, dir.Write("list.txt", ThreeLines)});
        EXPECT_EQ(r.ExitCode, 0) << option << ": " << r.Err;
        EXPECT_EQ(gateway.Configuration(), ThreeCommands) << option;
    }
}

TEST(ZeloctlDownload, FailuresAndBadInputGiveTheirExitCodes) {
    TempDir dir;
    const std::string list = dir.Write("list.txt", ThreeLines);
    struct Case {
        std::vector<std::string> Args;
        std::string Input;
        int Code;
        std::string Err; // exact, or "" to skip
    };
    const std::vector<Case> cases{
        {{"download", "--device", "/nonexistent/ttyUSB7", list},
         "",
         1,
         "Can't open /nonexistent/ttyUSB7!\nNo such file or directory\n"},
        {{"download", "--device", "COMX", list}, "", 1, "Can't open COMX!\n"},
        {{"download", "--device", "/dev/null", list},
         "",
         1,
         "Can't open /dev/null!\nInappropriate ioctl for device\n"},
        {{"download", "--host", "127.0.0.1", "--port", "1", list},
         "",
         1,
         "Error while opening socket to 127.0.0.1!\nConnection refused\n"},
        {{"download", "--device", "TCP/IP", list},
         "",
         1,
         "Error while opening socket to !\n'' is not a valid port number\n"},
        {{"download", "--baud", "fast", list}, "", 2, ""},
        {{"download", "--baud", "0", list}, "", 2, ""},
        {{"download", "--port", "70000", list}, "", 2, ""},
        {{"download"}, "", 2, ""},
        {{"download", dir.File("missing.txt")}, "", 2, ""},
        {{"download", "--settings", dir.File("missing.ini"), list}, "", 2, ""},
        {{"download", "--device", "/nonexistent/tty", "-"},
         "#SETUP=1.1.1;OFF;OFF;OFF\n#DG1/1/1=BIT;RW \xe2\x82\xac\n",
         2,
         "Line 2 of configuration list holds a character that the gateway cannot take!\n"
         "Only characters of the Latin-1 character set can be sent.\n"},
    };
    for (const auto& c : cases) {
        ProcessResult r = Zeloctl(c.Args, c.Input);
        std::string args;
        for (const auto& a : c.Args)
            args += a + " ";
        EXPECT_EQ(r.ExitCode, c.Code) << args << r.Err;
        if (!c.Err.empty()) {
            EXPECT_EQ(r.Err, c.Err) << args;
        }
    }
}

TEST(ZeloctlDownload, SilentGateway_WaitsForEraseTimeout) {
    const zelo::test::Watchdog watchdog(60);
    TempDir dir;
    sim::SimOptions options;
    options.SilentAfter = 0;
    sim::GatewaySim gateway(options);
    const std::string path = gateway.OpenPty();
    gateway.Start();
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = Zeloctl({"download", "--quiet", "--device", path, dir.Write("list.txt", ThreeLines)});
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err, "Error \"No answer received\" occured while erasing old configuration!\n");
    EXPECT_EQ(gateway.Received(), (std::vector<std::string>{"#CG"}));
    // The erase waits its own 10 s for an answer, not the line's second.
    EXPECT_GE(took.count(), 10000);
    EXPECT_LT(took.count(), 14000);
}

// Every byte sent and received, timed and escaped, so a field problem can be sent in as a text file.
TEST(ZeloctlDownload, TraceWritesEveryByteWithTimeAndDirection) {
    TempDir dir;
    sim::SimOptions options;
    options.RefuseLine = 2;
    options.RefuseText = "Bad\x1b[2J";
    sim::GatewaySim gateway(options);
    const std::string path = gateway.OpenPty();
    gateway.Start();
    ProcessResult r = Zeloctl({"download", "--trace", "--device", path, dir.Write("list.txt", ThreeLines)});
    EXPECT_EQ(r.ExitCode, 1);
    // Lines of "<seconds with milliseconds> <direction> <bytes>", then the message.
    const std::regex traceLine(R"( *[0-9]+\.[0-9]{3} (->|<-) (.*))");
    // Progress lines stand between them.
    const std::regex progressLine(
        R"((Erasing old configuration\.\.\.|Loading new configuration\.\.\.|Failed to load new configuration!) [0-9]/4)");
    std::vector<std::string> exchanged;
    std::istringstream lines(r.Err);
    std::string line;
    double last = 0;
    while (std::getline(lines, line)) {
        std::smatch m;
        if (std::regex_match(line, progressLine))
            continue;
        if (!std::regex_match(line, m, traceLine))
            break;
        const double at = std::stod(line);
        EXPECT_GE(at, last) << line;
        last = at;
        exchanged.push_back(m[1].str() + " " + m[2].str());
    }
    EXPECT_EQ(exchanged, (std::vector<std::string>{"-> #CG\\x0d", "<- Ok\\x0d", "-> #CF\\x0d", "<- Ok\\x0d",
                                                   "-> #SETUP=1.1.1;OFF;OFF;OFF\\x0d", "<- Ok\\x0d",
                                                   "-> #DG1/2/3=BIT;RW\\x0d", "<- Bad\\x1b[2J\\x0d"}));
    EXPECT_EQ(line, "Error \"Bad\\x1b[2J\" occured while configuring device!");
    EXPECT_EQ(r.Err.substr(0, 33), "Erasing old configuration... 0/4\n");
    EXPECT_EQ(r.Out, "");
}

TEST(ZeloctlPorts, ListsWithoutFailing) {
    ProcessResult r = Zeloctl({"ports"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    // Every line names an absolute device path.
    std::size_t start = 0;
    while (start < r.Out.size()) {
        EXPECT_EQ(r.Out[start], '/') << r.Out;
        start = r.Out.find('\n', start) + 1;
        ASSERT_NE(start, 0u);
    }
}

// The monitor against the simulator program's bus, over both links: named lines with their time, a CSV log
// beside them, and its two ends: a requested one (exit 0) and a simulator killed (the lost link, exit 1).
TEST(ZeloctlMonitor, PrintsNamedLinesUntilAskedOrTheLinkIsLost) {
    const zelo::test::Watchdog watchdog(90);
    const struct {
        bool tcp;
        bool hex;
        bool killSimulator;
    } cases[] = {{false, false, false}, {true, false, true}, {false, true, true}, {true, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.tcp ? "tcp" : "pty") + (c.hex ? " hex" : "") +
                     (c.killSimulator ? " kill" : ""));
        TempDir dir;
        std::vector<std::string> simulator{BuiltProgram("zelo-gateway-sim"), "--pty", "--bus", "50"};
        if (c.tcp)
            simulator[1] = "--tcp=0";
        SpawnedProgram gateway(simulator);
        const std::string where = gateway.FirstLine();
        ASSERT_FALSE(where.empty()) << gateway.Stderr();
        std::vector<std::string> link = c.tcp
                                            ? std::vector<std::string>{"--host", "127.0.0.1", "--port", where}
                                            : std::vector<std::string>{"--device", where};
        std::vector<std::string> download{"download", "--quiet"};
        download.insert(download.end(), link.begin(), link.end());
        download.push_back(dir.Write("list.txt", std::string("#SETUP=1.1.255;ON;") + (c.hex ? "ON" : "OFF") +
                                                     ";OFF\n#DG1/2/3-1/2/4=BIT;RW\n#DG3/0/0=VALUE;R\n"));
        ProcessResult loaded = Zeloctl(download);
        ASSERT_EQ(loaded.ExitCode, 0) << loaded.Err;

        std::vector<std::string> args{BuiltProgram("zeloctl"),
                                      "monitor",
                                      "--timestamps",
                                      "--output",
                                      dir.File("log.csv"),
                                      "--names",
                                      dir.Write("names.csv",
                                                "Group name;Address;DPT\nLight kitchen;1/2/3;1.001\n"
                                                "Light, hall;1/2/4;1.001\n")};
        if (c.hex)
            args.push_back("--hex");
        args.insert(args.end(), link.begin(), link.end());
        SpawnedProgram monitor(args);
        const std::regex shown(
            std::string(R"([0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} )") +
            R"(1\.1\.[0-9]+ )" +
            (c.hex ? R"((0A03 \[Light kitchen\]|0A04 \[Light, hall\]|1800))"
                   : R"((1/2/3 \[Light kitchen\]|1/2/4 \[Light, hall\]|3/0/0))") +
            " W [0-9A-F]{2}");
        std::set<std::string> groups;
        for (int i = 0; i < 6; ++i) {
            const std::string line = monitor.FirstLine();
            std::smatch m;
            ASSERT_TRUE(std::regex_match(line, m, shown)) << line << monitor.Stderr();
            groups.insert(m[1].str());
        }
        EXPECT_EQ(groups.size(), 3u);
        if (c.killSimulator) {
            gateway.Signal(SIGKILL);
            EXPECT_EQ(monitor.Wait(std::chrono::seconds(10)), 1);
            EXPECT_EQ(monitor.Stderr().substr(0, 32), "Connection to the gateway lost: ") << monitor.Stderr();
        } else {
            monitor.Signal(SIGINT);
            EXPECT_EQ(monitor.Wait(std::chrono::seconds(10)), 0) << monitor.Stderr();
            EXPECT_EQ(monitor.Stderr(), "");
        }
        const std::string log = ReadFileBytes(dir.File("log.csv"));
        EXPECT_EQ(log.substr(0, 17), "time,line,names\r\n");
        const std::regex row(c.hex ? R"([0-9: .-]{23},1\.1\.[0-9]+ 0A04 W [0-9A-F]{2},"Light, hall"\r\n)"
                                   : R"([0-9: .-]{23},1\.1\.[0-9]+ 1/2/4 W [0-9A-F]{2},"Light, hall"\r\n)");
        EXPECT_TRUE(std::regex_search(log, row)) << log;
    }
}

TEST(ZeloctlMonitor, RefusalsGiveTheirExitCodes) {
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        int code;
        std::string err; // the start of standard error
    } cases[] = {
        {{"monitor", "--device", "/nonexistent/ttyUSB7"}, 1, "Can't open /nonexistent/ttyUSB7!\n"},
        {{"monitor", "--host", "127.0.0.1", "--port", "1"}, 1, "Error while opening socket to 127.0.0.1!"},
        {{"monitor", "--names", dir.File("missing.csv"), "--device", "/nonexistent/tty"}, 2, "Can't read "},
        {{"monitor", "--names", dir.Write("empty.csv", "nothing here\n"), "--device", "/nonexistent/tty"},
         2,
         dir.File("empty.csv") + ": "},
        {{"monitor", "--password", "x", "--device", "/nonexistent/tty"},
         2,
         "zeloctl: --password requires --names"},
        {{"monitor", "--output", dir.File("no/such/folder.log"), "--device", "/nonexistent/tty"},
         3,
         "Can't write " + dir.File("no/such/folder.log") + ": No such file or directory\n"},
    };
    for (const auto& c : cases) {
        ProcessResult r = Zeloctl(c.args);
        EXPECT_EQ(r.ExitCode, c.code) << c.args[1] << " " << r.Err;
        EXPECT_EQ(r.Err.substr(0, c.err.size()), c.err) << c.args[1];
        EXPECT_EQ(r.Out, "");
    }
}
