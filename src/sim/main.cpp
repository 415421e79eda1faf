// zelo-gateway-sim: a stand-in for the gateway on a pseudo-terminal or a loopback TCP port.
#include "os/Arguments.h"
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

extern "C" void OnSignal(int signal) {
    // Where the handler is reset once it ran (as on Windows), a second Ctrl+C is caught too.
    std::signal(signal, OnSignal);
    // Only flag and wake: the serving loop does the work.
    stopRequested = true;
    if (running)
        running->Wake();
}

} // namespace

int main(int argc, char** argv) {
    SimArguments args;
    try {
        const std::vector<std::string> all = os::Utf8Arguments(argc, argv);
        args = ParseSimArguments(std::vector<std::string>(all.begin() + 1, all.end()));
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
    try {
        GatewaySim sim(args.Options);
        std::string where =
            args.Pty ? sim.OpenPty(args.LinkPath) : std::to_string(sim.ListenTcp(args.TcpPort));

        running = &sim;
        // The C library's form works on every system (on Windows, Ctrl+C and Ctrl+Break come as SIGINT).
        std::signal(SIGINT, OnSignal);
        std::signal(SIGTERM, OnSignal);

        std::cout << where << std::endl;
        sim.Run(stopRequested);

        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        running = nullptr;
    } catch (const std::exception& e) {
        std::cerr << "zelo-gateway-sim: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
