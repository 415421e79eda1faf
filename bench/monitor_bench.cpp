// The monitor window keeping up with the simulator's TCP mode at 2,000 lines a second: the GUI thread's CPU
// share (goal at most 25 % of a core) and the delay from a line's arrival to its display (goal at most
// 100 ms). A relay between the simulator and the window notes when each line arrives; the window's line view
// notes when it is painted.
// Usage: bench_monitor [--seconds N] [--rate N]
#include "SilentDialogs.h"
#include "device/EibConverter.h"
#include "sim/GatewaySim.h"
#include "window/qt/QtMonitorWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QEvent>
#include <QPlainTextEdit>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Passes the simulator's bytes on to the window over loopback and notes when each line end went through.
class Relay {
public:
    explicit Relay(int simulatorPort) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &length) != 0)
            std::exit(1);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this, simulatorPort] { Run(simulatorPort); });
    }
    ~Relay() {
        stop_ = true;
        thread_.join();
        ::close(listener_);
    }
    int Port() const { return port_; }
    std::vector<Clock::time_point> Arrivals() {
        std::lock_guard lock(mutex_);
        return arrivals_;
    }

private:
    void Run(int simulatorPort) {
        pollfd p{listener_, POLLIN, 0};
        while (!stop_ && ::poll(&p, 1, 100) <= 0) {
        }
        if (stop_)
            return;
        const int window = ::accept(listener_, nullptr, nullptr);
        const int gateway = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<std::uint16_t>(simulatorPort));
        if (::connect(gateway, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            std::exit(1);
        char buffer[65536];
        while (!stop_) {
            pollfd fds[2] = {{gateway, POLLIN, 0}, {window, POLLIN, 0}};
            if (::poll(fds, 2, 100) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(gateway, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                const auto now = Clock::now();
                {
                    std::lock_guard lock(mutex_);
                    for (ssize_t i = 0; i < n; ++i)
                        if (buffer[i] == '\n')
                            arrivals_.push_back(now);
                }
                if (::send(window, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n)
                    break;
            }
            if (fds[1].revents & (POLLIN | POLLHUP)) {
                const ssize_t n = ::read(window, buffer, sizeof buffer);
                if (n <= 0)
                    break;
            }
        }
        ::close(window);
        ::close(gateway);
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<Clock::time_point> arrivals_;
};

// Notes, at each paint of the line view, how many lines it held: a line is displayed at the first paint
// that holds it.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(zelo::MonitorWindow& logic) : logic_(logic) {}
    std::vector<std::pair<std::size_t, Clock::time_point>> Paints;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            Paints.emplace_back(logic_.Received(), Clock::now());
        return false;
    }

private:
    zelo::MonitorWindow& logic_;
};

double ThreadSeconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int seconds = 10;
    int rate = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--seconds") == 0)
            seconds = std::max(1, std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--rate") == 0)
            rate = std::max(1, std::atoi(argv[i + 1]));
    }
    zelo::ZeloApplication app(argc, argv);
    SilentDialogs boxes;
    app.SetDialogs(&boxes);

    zelo::sim::SimOptions options;
    options.BusRate = rate;
    zelo::sim::GatewaySim gateway(options);
    const int simulatorPort = gateway.ListenTcp(0);
    gateway.Start();
    {
        // 64 addresses in 16 ranges, the gateway printing sources.
        zelo::TEibConverter loader(nullptr, nullptr);
        loader.SetDevice("TCP/IP");
        loader.SetHost("127.0.0.1");
        loader.SetPort(std::to_string(simulatorPort));
        std::vector<std::string> lines{"#SETUP=1.1.250;ON;OFF;OFF"};
        for (int r = 0; r < 16; ++r)
            lines.push_back("#DG1/" + std::to_string(r % 8) + "/" + std::to_string(r * 4) + "-1/" +
                            std::to_string(r % 8) + "/" + std::to_string(r * 4 + 3) + "=BIT;RW");
        if (!loader.Open())
            return 1;
        loader.Download(lines);
        loader.Close();
    }
    Relay relay(simulatorPort);
    zelo::QtMonitorWindow monitor(boxes);
    PaintWatch watch(monitor.Logic());
    monitor.findChild<QPlainTextEdit*>(QStringLiteral("lstLines"))->viewport()->installEventFilter(&watch);
    zelo::TSerialPort settings;
    settings.SetDevice("TCP/IP");
    settings.SetHost("127.0.0.1");
    settings.SetPort(std::to_string(relay.Port()));
    monitor.Logic().Open(settings, {}, false);
    if (!QTest::qWaitForWindowExposed(&monitor) || !monitor.Logic().Running())
        return 1;
    // The bus starts once the link has been quiet for a while; measured from its first line on.
    if (!QTest::qWaitFor([&] { return monitor.Logic().Received() > 0; }, 5000))
        return 1;
    const double cpuStart = ThreadSeconds();
    const auto wallStart = Clock::now();
    const std::size_t first = monitor.Logic().Received();
    QTest::qWait(seconds * 1000);
    const double cpu = ThreadSeconds() - cpuStart;
    const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
    const std::size_t received = monitor.Logic().Received() - first;

    const std::vector<Clock::time_point> arrivals = relay.Arrivals();
    std::vector<double> delays;
    std::size_t paint = 0;
    for (std::size_t line = first; line < first + received && line < arrivals.size(); ++line) {
        while (paint < watch.Paints.size() && watch.Paints[paint].first <= line)
            ++paint;
        if (paint == watch.Paints.size())
            break;
        delays.push_back(
            std::chrono::duration<double, std::milli>(watch.Paints[paint].second - arrivals[line]).count());
    }
    std::sort(delays.begin(), delays.end());
    auto at = [&delays](double q) {
        return delays.empty() ? 0.0 : delays[static_cast<std::size_t>(q * (delays.size() - 1))];
    };
    std::printf("lines: %zu in %.1f s (%.0f a second), kept %zu\n", received, wall, received / wall,
                monitor.Logic().Kept());
    std::printf("GUI thread CPU: %.2f s of %.1f s = %.1f %% of a core (goal <= 25 %%)\n", cpu, wall,
                100.0 * cpu / wall);
    std::printf("arrival to display: median %.1f ms, 99th percentile %.1f ms, max %.1f ms over %zu lines "
                "(goal <= 100 ms)\n",
                at(0.5), at(0.99), at(1.0), delays.size());
    monitor.close();
    return 0;
}
