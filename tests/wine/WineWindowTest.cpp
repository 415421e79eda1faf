// The configurator's window on Windows, run under Wine on the X display, downloads into the gateway
// simulator over a COM port that Wine maps to the simulator's pseudo-terminal: once driven in-process by the
// window's test program, once as the real zelo-configurator.exe driven from outside. And every Windows
// program in folders whose names the ANSI code page cannot hold.
#include "Process.h"
#include "WineHarness.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <csignal>

using namespace zelo;
using zelo::test::Env;
using zelo::test::ProcessResult;
using zelo::test::RunProcess;

namespace {

// Where the cross build put things; its CTest passes them in.
struct WindowSetup {
    std::string WineRun = Env("ZELO_WINE_RUN");
    std::string Prefix = Env("WINEPREFIX");
    std::string Com = Env("ZELO_WINE_COM");
    std::string ComLink = Env("ZELO_WINE_COM_LINK");
    std::string Tests = Env("ZELO_WIN32_TESTS");
    std::string Configurator = Env("ZELO_CONFIGURATOR_EXE");
    std::string Driver = Env("ZELO_CONFIGURATOR_DRIVER");
    std::string Zeloctl = Env("ZELOCTL_EXE");
    std::string Simulator = Env("ZELO_GATEWAY_SIM_EXE");

    std::string Missing() const {
        for (const auto* value :
             {&WineRun, &Prefix, &Com, &ComLink, &Tests, &Configurator, &Driver, &Zeloctl, &Simulator})
            if (value->empty())
                return "run by the Windows build's CTest (ctest --preset mingw), which sets the environment";
        for (const auto* program : {&Tests, &Configurator, &Driver})
            if (!std::filesystem::exists(*program))
                return *program + " is not built";
        if (Env("DISPLAY").empty())
            return "no X display: run the Windows tests under xvfb-run, as scripts/test does";
        return {};
    }
};

// A Windows program under Wine, killed when it takes longer than any run should.
ProcessResult RunUnderWine(const WindowSetup& setup, std::vector<std::string> args,
                           std::vector<std::string> env = {}) {
    args.insert(args.begin(), {"/usr/bin/timeout", "-k", "5", "150", setup.WineRun});
    env.push_back("WINEPREFIX=" + setup.Prefix);
    ProcessResult result = RunProcess(args, {}, env);
    std::erase(result.Out, '\r');
    return result;
}

// The values of the "name: value" lines of a program's output, in order.
std::vector<std::string> Values(const std::string& out, const std::string& name) {
    std::vector<std::string> values;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line))
        if (line.starts_with(name + ": "))
            values.push_back(line.substr(name.size() + 2));
    return values;
}

// A Windows path for Wine's Z: drive, which is the root of the file system.
std::string WindowsPath(const std::string& path) {
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/')
            c = '\\';
    return windows;
}

class WineWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!setup_.Missing().empty())
            return;
        ProcessResult warm = RunProcess({setup_.WineRun}, {}, {"WINEPREFIX=" + setup_.Prefix});
        ASSERT_EQ(warm.ExitCode, 0) << warm.Err;
    }

    void SetUp() override { ASSERT_EQ(setup_.Missing(), ""); }

    // A simulator on the pseudo-terminal that Wine's COM port leads to; it answers after a pause, so the
    // window has to keep going while it waits.
    static std::unique_ptr<sim::GatewaySim> OnComPort() {
        sim::SimOptions options;
        options.DelayMs = 30;
        return test::SimulatorBehind(setup_.ComLink, options);
    }

    static WindowSetup setup_;
};

WindowSetup WineWindow::setup_;

TEST_F(WineWindow, TheWindowDownloadsWhatItShowsThroughTheComPort) {
    auto gateway = OnComPort();
    ProcessResult r = RunUnderWine(setup_, {setup_.Tests, "--gtest_filter=Win32Download.*"},
                                   {"ZELO_WINE_COM=" + setup_.Com});
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("[  PASSED  ] 1 test"), std::string::npos) << "ran, not skipped:\n" << r.Out;
    const std::vector<std::string> shown = Values(r.Out, "line");
    ASSERT_EQ(shown.size(), 2u) << r.Out;
    EXPECT_EQ(shown[0], "#SETUP=1.1.200;ON;OFF;OFF");
    EXPECT_EQ(shown[1], "#DG0/0/0-1/0/7=GENERIC;RW");
    EXPECT_EQ(gateway->Configuration(), shown);
    const std::vector<std::string> received = gateway->Received();
    ASSERT_GE(received.size(), 2u);
    EXPECT_EQ(received[0], "#CG");
    EXPECT_EQ(received[1], "#CF");
}

// The monitor window under Wine against the simulator's bus on a loopback port: named lines shown, as the
// window's test program prints them.
TEST_F(WineWindow, TheMonitorShowsTheSimulatorsLines) {
    sim::SimOptions options;
    options.BusRate = 100;
    sim::GatewaySim gateway(options);
    const int port = gateway.ListenTcp(0);
    gateway.Start();
    ProcessResult r = RunUnderWine(setup_, {setup_.Tests, "--gtest_filter=Win32Monitor.*"},
                                   {"ZELO_WINE_MONITOR_PORT=" + std::to_string(port)});
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    EXPECT_NE(r.Out.find("[  PASSED  ] 1 test"), std::string::npos) << "ran, not skipped:\n" << r.Out;
    const std::vector<std::string> shown = Values(r.Out, "shown");
    ASSERT_GE(shown.size(), 6u) << r.Out;
    const std::vector<std::string> named = {"1/2/3 [Kitchen] W", "1/2/4 [Hall light] W", "3/0/0 W"};
    for (const std::string& line : shown)
        EXPECT_TRUE(std::any_of(named.begin(), named.end(), [&line](const std::string& n) {
            return line.find(n) != std::string::npos;
        })) << line;
}

TEST_F(WineWindow, TheProgramShowsItsWindowAndDownloadsThroughTheComPort) {
    test::TempDir dir;
    const std::string program = dir.File("zelo-configurator.exe");
    std::filesystem::copy_file(setup_.Configurator, program);
    // The settings beside the program choose the port.
    dir.Write("zelo-configurator.ini", "[SerialPort]\r\nDevice=" + setup_.Com + "\r\nBaudrate=57600\r\n");
    auto gateway = OnComPort();
    ProcessResult r = RunUnderWine(setup_, {setup_.Driver, WindowsPath(program)});
    EXPECT_EQ(r.ExitCode, 0) << r.Out << r.Err;
    using Shown = std::vector<std::string>;
    EXPECT_EQ(Values(r.Out, "caption"), Shown{"ZELO-KNX-ASCII Configurator V1.0.2.3"});
    EXPECT_EQ(Values(r.Out, "client"), Shown{"1016x734"});
    EXPECT_EQ(Values(r.Out, "visible"), Shown{"1"});
    EXPECT_EQ(Values(r.Out, "status"), Shown{"Configuration loaded successfully!"});
    EXPECT_EQ(Values(r.Out, "exit"), Shown{"0"});
    EXPECT_EQ(gateway->Configuration(), std::vector<std::string>{"#SETUP=15.15.255;OFF;OFF;OFF"});
    EXPECT_EQ(test::ReadFileBytes(dir.File("zelo-configurator.ini")),
              "[SerialPort]\r\nDevice=" + setup_.Com + "\r\nBaudrate=57600\r\n\r\n")
        << "the settings are written back when the window closes";
}

// The simulator's dump once it holds what is expected, or what it holds after a few seconds: it is written
// when the client has left, a moment after the client's program ended.
std::string DumpOnceWritten(const std::string& file, const std::string& expected) {
    std::string dump;
    for (int i = 0; i < 100 && (dump = test::ReadFileBytes(file)) != expected; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return dump;
}

// Greek and Chinese folder names, under Wine's code page 1252: each program finds itself, its version and its
// settings there and reads and writes the files named there.
TEST_F(WineWindow, EveryProgramWorksInFoldersOfAnyScript) {
    const std::string list = "#SETUP=1.1.250;OFF;OFF;OFF\n#DG1/1/1=BIT;RW\n#DG1/1/2=VALUE;R\n";
    const std::string exportCsv =
        "\"Group name\",\"Address\",\"DatapointType\"\n\"Licht\",\"1/1/1\",\"DPST-1-1\"\n"
        "\"Wert\",\"1/1/2\",\"DPST-9-1\"\n";
    const struct {
        std::string Unix;    // under the prefix's drive C:
        std::string Windows; // the same folder as the programs see it
    } folders[] = {
        {"drive_c/users/\xCE\x93\xCE\xB9\xCF\x8E\xCF\x81\xCE\xB3\xCE\xBF\xCF\x82/"
         "\xCE\x88\xCF\x81\xCE\xB3\xCE\xB1",
         "C:\\users\\\xCE\x93\xCE\xB9\xCF\x8E\xCF\x81\xCE\xB3\xCE\xBF\xCF\x82\\"
         "\xCE\x88\xCF\x81\xCE\xB3\xCE\xB1"},
        {"drive_c/\xE9\xA1\xB9\xE7\x9B\xAE", "C:\\\xE9\xA1\xB9\xE7\x9B\xAE"},
    };
    const std::string listName = "\xCE\x9B\xCE\xAF\xCF\x83\xCF\x84\xCE\xB1.txt"; // Λίστα.txt
    for (const auto& folder : folders) {
        SCOPED_TRACE(folder.Windows);
        const std::filesystem::path unixFolder =
            std::filesystem::path(setup_.Prefix) / std::filesystem::u8path(folder.Unix);
        std::filesystem::remove_all(unixFolder);
        std::filesystem::create_directories(unixFolder);
        auto unixFile = [&](const std::string& name) { return (unixFolder / name).string(); };
        auto file = [&](const std::string& name) { return folder.Windows + "\\" + name; };
        for (const std::string* program : {&setup_.Zeloctl, &setup_.Configurator, &setup_.Simulator})
            std::filesystem::copy_file(*program, unixFolder / std::filesystem::path(*program).filename());
        // The Windows simulator, started from there, says its port and dumps what it holds there.
        test::SpawnedProgram gateway({"/usr/bin/timeout", "-k", "5", "300", "/usr/bin/wine",
                                      file("zelo-gateway-sim.exe"), "--tcp", "0", "--dump", file("dump.txt")},
                                     {"WINEPREFIX=" + setup_.Prefix, "WINEDEBUG=-all", "LC_ALL=C.UTF-8"});
        std::string port = gateway.FirstLine(std::chrono::seconds(30));
        std::erase(port, '\r');
        ASSERT_FALSE(port.empty()) << "the simulator said no port: " << gateway.Stderr();
        const std::string tcpSettings =
            "[SerialPort]\r\nDevice=TCP/IP\r\nHost=127.0.0.1\r\nPort=" + port + "\r\nBaudrate=19200\r\n";
        std::ofstream(unixFile(listName), std::ios::binary) << list;
        std::ofstream(unixFile("export.csv"), std::ios::binary) << exportCsv;
        std::ofstream(unixFile("settings.ini"), std::ios::binary) << tcpSettings;
        std::ofstream(unixFile("zelo-configurator.ini"), std::ios::binary) << tcpSettings;
        const std::string zeloctl = file("zeloctl.exe");
        const struct {
            const char* Case;
            std::vector<std::string> Args;
            std::string Env;
            std::string Out;     // the whole output when it ends with a line end, else a line of it
            std::string Gateway; // what the gateway holds afterwards (its dump), when checked
        } runs[] = {
            {"zeloctl --version", {zeloctl, "--version"}, {}, "1.0.2.3\n", {}},
            {"zeloctl import",
             {zeloctl, "import", file("export.csv")},
             {},
             "#DG1/1/1=BIT;RW\n#DG1/1/2=VALUE;RW\n",
             {}},
            {"zeloctl check", {zeloctl, "check", file(listName)}, {}, "", {}},
            {"zeloctl download --settings",
             {zeloctl, "download", "--settings", file("settings.ini"), file(listName)},
             {},
             "", // progress goes to stderr; the gateway's dump shows the download
             list},
            {"the window: its version, its settings and a download",
             {setup_.Driver, file("zelo-configurator.exe")},
             {},
             "caption: ZELO-KNX-ASCII Configurator V1.0.2.3",
             "#SETUP=15.15.255;OFF;OFF;OFF\n"},
            {"the window saves, opens and imports there",
             {setup_.Tests, "--gtest_filter=Win32Files.*"},
             "ZELO_FILES_FOLDER=" + folder.Windows,
             "[  PASSED  ] 1 test",
             {}},
        };
        for (const auto& run : runs) {
            // Wine reads the arguments and the environment in the locale's encoding.
            std::vector<std::string> env{"LC_ALL=C.UTF-8"};
            if (!run.Env.empty())
                env.push_back(run.Env);
            ProcessResult r = RunUnderWine(setup_, run.Args, env);
            EXPECT_EQ(r.ExitCode, 0) << run.Case << "\n" << r.Out << r.Err;
            if (run.Out.empty() || run.Out.ends_with('\n')) {
                EXPECT_EQ(r.Out, run.Out) << run.Case << "\n" << r.Err;
            } else {
                EXPECT_NE(r.Out.find(run.Out), std::string::npos) << run.Case << "\n" << r.Out << r.Err;
            }
            if (!run.Gateway.empty()) {
                EXPECT_EQ(DumpOnceWritten(unixFile("dump.txt"), run.Gateway), run.Gateway) << run.Case;
            }
        }
        EXPECT_EQ(test::ReadFileBytes(unixFile("zelo-configurator.ini")),
                  tcpSettings + "\r\n[Configurator]\r\nLastFolder=" + folder.Windows + "\r\n\r\n")
            << "the window's settings, with the folder it was last in, are written back beside it";
        EXPECT_EQ(test::ReadFileBytes(unixFile(listName)),
                  "#SETUP=15.15.255;OFF;OFF;OFF\n#DG1/1/1=BIT;RW\n#DG1/1/2=VALUE;RW\n")
            << "the window saved the export it imported over the list";
        gateway.Signal(SIGTERM);
        gateway.Wait(std::chrono::seconds(20));
        std::filesystem::remove_all(unixFolder);
    }
}

} // namespace
