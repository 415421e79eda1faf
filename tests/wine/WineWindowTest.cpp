// The configurator's window on Windows, run under Wine on the X display, downloads into the gateway
// simulator over a COM port that Wine maps to the simulator's pseudo-terminal: once driven in-process by the
// window's test program, once as the real zelo-configurator.exe driven from outside.
#include "Process.h"
#include "WineHarness.h"
#include "sim/GatewaySim.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

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

    std::string Missing() const {
        for (const auto* value : {&WineRun, &Prefix, &Com, &ComLink, &Tests, &Configurator, &Driver})
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

} // namespace
