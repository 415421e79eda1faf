// zelo-gateway-sim: a stand-in for the gateway on a pseudo-terminal or a loopback TCP port.
#include "sim/GatewaySim.h"
#include "sim/SimArguments.h"
#include "version/VersionInfo.h"

#include <atomic>
#include <csignal>
#include <iostream>

using namespace zelo;
using namespace zelo::sim;

namespace {

std::atomic<bool> stopRequested{false};
const GatewaySim* running = nullptr;

extern "C" void OnSignal(int) {
    // Only flag and wake: the serving loop does the work.
    stopRequested = true;
    if (running)
        running->Wake();
}

} // namespace

int main(int argc, char** argv) {
    SimArguments args;
    try {
        args = ParseSimArguments(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        std::cerr << "zelo-gateway-sim: " << e.Message() << '\n';
        return 2;
    }
    if (args.Help) {
        std::cout << SimUsage();
        return 0;
    }
    if (args.Version) {
        try {
            ReadVersionInfo();
        } catch (const Exception& e) {
            std::cerr << e.Message() << '\n';
        }
        std::cout << VersionText(VersionInfo) << '\n';
        return 0;
    }
    std::signal(SIGPIPE, SIG_IGN);
    try {
        GatewaySim sim(args.Options);
        std::string where =
            args.Pty ? sim.OpenPty(args.LinkPath) : std::to_string(sim.ListenTcp(args.TcpPort));

        running = &sim;
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, nullptr);
        sigaction(SIGTERM, &action, nullptr);

        std::cout << where << std::endl;
        sim.Run(stopRequested);

        struct sigaction restore {};
        restore.sa_handler = SIG_DFL;
        sigemptyset(&restore.sa_mask);
        sigaction(SIGINT, &restore, nullptr);
        sigaction(SIGTERM, &restore, nullptr);
        running = nullptr;
    } catch (const std::exception& e) {
        std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
