#include "Process.h"
#include "SimClient.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

using namespace zelo::test;

namespace {

std::string Sim() {
    return BuiltProgram("zelo-gateway-sim");
}

std::string LinkTarget(const std::string& path) {
    std::error_code ec;
    return std::filesystem::read_symlink(path, ec).string();
}

} // namespace

TEST(program, HelpNamesEveryFlag) {
    auto r = RunProcess({Sim(), "--help"});
    EXPECT_EQ(r.ExitCode, 0);
    for (const char* flag : {"--pty", "--link", "--tcp", "--dump", "--refuse", "--silent-after", "--delay",
                             "--crlf", "--baud", "--garbage", "--seed", "--version", "--help"})
        EXPECT_NE(r.Out.find(flag), std::string::npos) << flag;
    r = RunProcess({Sim(), "--version"});
    EXPECT_EQ(r.ExitCode, 0) << r.Err;
    EXPECT_EQ(r.Out, "1.0.2.3\n");
}

TEST(program, UsageErrorsExitTwo) {
    const std::vector<std::string> cases[] = {
        {}, {"--pty", "--tcp", "0"}, {"--tcp", "x"}, {"--pty", "--refuse", "2"}, {"--frobnicate"}};
    for (const auto& args : cases) {
        std::vector<std::string> full{Sim()};
        full.insert(full.end(), args.begin(), args.end());
        auto r = RunProcess(full);
        EXPECT_EQ(r.ExitCode, 2) << r.Err;
        EXPECT_TRUE(r.Err.starts_with("zelo-gateway-sim: ")) << r.Err;
        EXPECT_EQ(r.Out, "");
    }
}

TEST(program, PtyWithLinkAndDumpEndsCleanlyOnSigterm) {
    TempDir dir;
    const std::string link = dir.File("ttyGW"), dump = dir.File("dump.txt");
    SpawnedProgram sim({Sim(), "--pty", "--link", link, "--dump", dump, "--refuse", "2", "Full", "--crlf"});
    const std::string path = sim.FirstLine();
    ASSERT_TRUE(path.starts_with("/dev/")) << sim.Stderr();
    EXPECT_EQ(LinkTarget(link), path);
    {
        RawClient client = RawClient::Pty(link);
        for (const char* command : {"#CG\r", "#CF\r", "#SETUP=1.1.1;ON;OFF;OFF\r", "#DG1/2/3=BIT;RW\r"}) {
            client.Write(command);
            EXPECT_EQ(client.ReadUntilSuffix("\r\n"), command[1] == 'D' ? "Full\r\n" : "Ok\r\n") << command;
        }
    }
    sim.Signal(SIGTERM);
    EXPECT_EQ(sim.Wait(), 0) << sim.Stderr();
    EXPECT_EQ(ReadFileBytes(dump), "#SETUP=1.1.1;ON;OFF;OFF\n");
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST(program, ReplacesAStaleLinkButNoFile) {
    TempDir dir;
    const std::string link = dir.File("ttyGW");
    std::filesystem::create_symlink(dir.File("gone"), link);
    {
        SpawnedProgram sim({Sim(), "--pty", "--link", link});
        const std::string path = sim.FirstLine();
        EXPECT_EQ(LinkTarget(link), path);
        sim.Signal(SIGINT);
        EXPECT_EQ(sim.Wait(), 0) << sim.Stderr();
    }
    const std::string file = dir.Write("plain", "keep me");
    auto r = RunProcess({Sim(), "--pty", "--link", file});
    EXPECT_EQ(r.ExitCode, 1);
    EXPECT_NE(r.Err.find("is not a symbolic link"), std::string::npos) << r.Err;
    EXPECT_EQ(ReadFileBytes(file), "keep me");
}

TEST(program, TcpZeroPrintsAPortThatAcceptsConnections) {
    SpawnedProgram sim({Sim(), "--tcp", "0"});
    const std::string port = sim.FirstLine();
    ASSERT_FALSE(port.empty()) << sim.Stderr();
    EXPECT_GT(std::stoi(port), 0);
    {
        RawClient client = RawClient::Tcp(std::stoi(port));
        EXPECT_EQ(client.Exchange("#CG"), "Ok\r");
        EXPECT_EQ(client.Exchange("#DG1/2/3=BIT"),
                  "ERR group line has no ';' between its datapoint type and its "
                  "access type\r");
    }
    RawClient next = RawClient::Tcp(std::stoi(port));
    EXPECT_EQ(next.Exchange("#CF"), "Ok\r");
    sim.Signal(SIGINT);
    EXPECT_EQ(sim.Wait(), 0) << sim.Stderr();
}
