// The Windows zeloctl.exe, run under Wine, downloads into the gateway simulator: over a COM port that Wine
// maps to the simulator's pseudo-terminal, and over TCP to the simulator's loopback port.
#include "Process.h"
#include "Watchdog.h"
#include "WineHarness.h"
#include "commands/CommandLine.h"
#include "model/Address.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace zelo;
using zelo::test::Env;
using zelo::test::ProcessResult;
using zelo::test::RunProcess;

namespace {

// Where the cross build put things; the cross build's CTest passes them in.
struct WineSetup {
    std::string WineRun = Env("ZELO_WINE_RUN");
    std::string Prefix = Env("WINEPREFIX");
    std::string Zeloctl = Env("ZELOCTL_EXE");
    std::string Com = Env("ZELO_WINE_COM");
    std::string ComLink = Env("ZELO_WINE_COM_LINK");

    std::string Missing() const {
        for (const auto* value : {&WineRun, &Prefix, &Zeloctl, &Com, &ComLink})
            if (value->empty())
                return "run by the Windows build's CTest (ctest --preset mingw), which sets the environment";
        if (!std::filesystem::exists(Zeloctl))
            return Zeloctl + " is not built";
        return {};
    }
};

std::vector<std::string> CommandList() {
    std::vector<std::string> lines{BuildSetupLine("1.1.200", true, false, false)};
    const struct {
        int type;
        int access;
        const char* start;
        const char* end;
    } ranges[] = {{0, 2, "1/0/0", "1/0/7"}, {7, 0, "2/3/4", "2/3/4"}, {16, 1, "15/7/250", "15/7/255"}};
    for (const auto& r : ranges) {
        TEibGroup group;
        group.DatapointType = static_cast<std::int8_t>(r.type);
        group.AccessType = static_cast<std::uint8_t>(r.access);
        group.StartAddress = TextToGroupAddress(r.start);
        group.EndAddress = TextToGroupAddress(r.end);
        lines.push_back(BuildGroupLine(group));
    }
    return lines;
}

// Windows programs end their lines with CR LF; the texts are compared in their plain form.
std::string Plain(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

class WineDownload : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::string missing = setup_.Missing();
        if (!missing.empty())
            return;
        // Makes the prefix (with its COM port mapping) if needed and starts a lasting Wine server, so the
        // programs below start quickly.
        ProcessResult warm = RunProcess({setup_.WineRun}, {}, {"WINEPREFIX=" + setup_.Prefix});
        ASSERT_EQ(warm.ExitCode, 0) << warm.Err;
    }

    void SetUp() override {
        const std::string missing = setup_.Missing();
        ASSERT_EQ(missing, "");
        // The prefix maps the COM port to this path: it must point at a real file when the port is opened.
        ASSERT_EQ(std::filesystem::read_symlink(setup_.Prefix + "/dosdevices/" + Lower(setup_.Com)).string(),
                  setup_.ComLink);
    }

    static std::string Lower(std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    // zeloctl.exe download with the list on standard input.
    static ProcessResult Download(const std::vector<std::string>& options,
                                  const std::vector<std::string>& lines) {
        std::vector<std::string> args{setup_.WineRun, setup_.Zeloctl, "download"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back("-");
        ProcessResult r = RunProcess(args, Joined(lines), {"WINEPREFIX=" + setup_.Prefix});
        r.Out = Plain(r.Out);
        r.Err = Plain(r.Err);
        return r;
    }

    // A simulator on the pseudo-terminal that Wine's COM port leads to.
    static std::unique_ptr<sim::GatewaySim> OnComPort(sim::SimOptions options = {}) {
        return test::SimulatorBehind(setup_.ComLink, options);
    }

    static WineSetup setup_;
};

WineSetup WineDownload::setup_;

TEST_F(WineDownload, OverTheComPortLoadsTheList) {
    auto gateway = OnComPort();
    const auto lines = CommandList();
    ProcessResult r = Download({"--device", setup_.Com}, lines);
    EXPECT_EQ(r.ExitCode, 0) << r.Err << r.Out;
    EXPECT_EQ(gateway->Configuration(), lines);
    const std::vector<std::string> received = gateway->Received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], "#CG");
    EXPECT_EQ(received[1], "#CF");
    EXPECT_NE(r.Err.find("Configuration loaded successfully!"), std::string::npos) << r.Err;
}

TEST_F(WineDownload, OverTheComPortTheBaudRateReachesTheLine) {
    for (const auto& [baud, code] : {std::pair{9600, B9600}, std::pair{57600, B57600}}) {
        SCOPED_TRACE(baud);
        auto gateway = OnComPort();
        ProcessResult r = Download({"--device", setup_.Com, "--baud", std::to_string(baud)}, CommandList());
        EXPECT_EQ(r.ExitCode, 0) << r.Err;
        // Both ends of a pseudo-terminal share one set of line settings: the speed the port was given is
        // there.
        int fd = ::open(setup_.ComLink.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        termios line{};
        EXPECT_EQ(::tcgetattr(fd, &line), 0);
        ::close(fd);
        EXPECT_EQ(::cfgetospeed(&line), code);
    }
}

TEST_F(WineDownload, OverTheComPortARefusedLineIsNamed) {
    sim::SimOptions options;
    options.RefuseLine = 3;
    options.RefuseText = "ERR DPT";
    auto gateway = OnComPort(options);
    ProcessResult r = Download({"--quiet", "--device", setup_.Com}, CommandList());
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Err,
              "Error \"ERR DPT\" occured while configuring device!\nPlease check line 3 of configuration "
              "list!\n");
    EXPECT_EQ(gateway->Configuration().size(), 2u) << "the lines before the refused one are loaded";
}

TEST_F(WineDownload, OverTheComPortASilentGatewayFailsTheErase_WaitsForTimeout) {
    const zelo::test::Watchdog watchdog(90);
    sim::SimOptions options;
    options.SilentAfter = 0;
    auto gateway = OnComPort(options);
    ProcessResult r = Download({"--quiet", "--device", setup_.Com}, CommandList());
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Err, "Error \"No answer received\" occured while erasing old configuration!\n");
    EXPECT_TRUE(gateway->Configuration().empty());
}

TEST_F(WineDownload, APortWithoutDeviceCannotBeOpened) {
    ProcessResult r = Download({"--device", "COM200"}, CommandList());
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_EQ(r.Err.rfind("Can't open COM200!", 0), 0u) << r.Err;
}

TEST_F(WineDownload, OverTcpLoadsTheList) {
    sim::GatewaySim gateway;
    const int port = gateway.ListenTcp(0);
    gateway.Start();
    const auto lines = CommandList();
    ProcessResult r = Download({"--host", "127.0.0.1", "--port", std::to_string(port)}, lines);
    EXPECT_EQ(r.ExitCode, 0) << r.Err << r.Out;
    EXPECT_EQ(gateway.Configuration(), lines);
}

TEST_F(WineDownload, OverTcpARefusedLineIsNamed) {
    sim::SimOptions options;
    options.RefuseLine = 1;
    options.RefuseText = "ERR SETUP";
    sim::GatewaySim gateway(options);
    const int port = gateway.ListenTcp(0);
    gateway.Start();
    ProcessResult r =
        Download({"--quiet", "--host", "127.0.0.1", "--port", std::to_string(port)}, CommandList());
    EXPECT_EQ(r.ExitCode, 1) << r.Err;
    EXPECT_EQ(r.Err, "Error \"ERR SETUP\" occured while configuring device!\nPlease check line 1 of "
                     "configuration list!\n");
}

TEST_F(WineDownload, PortsListsTheMappedComPort) {
    ProcessResult r =
        RunProcess({setup_.WineRun, setup_.Zeloctl, "ports"}, {}, {"WINEPREFIX=" + setup_.Prefix});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    const std::string out = "\n" + Plain(r.Out);
    EXPECT_NE(out.find("\n" + setup_.Com + "\n"), std::string::npos) << out;
}

TEST_F(WineDownload, VersionComesFromTheResource) {
    ProcessResult r =
        RunProcess({setup_.WineRun, setup_.Zeloctl, "--version"}, {}, {"WINEPREFIX=" + setup_.Prefix});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(Plain(r.Out), "1.0.2.3\n");
}

} // namespace
