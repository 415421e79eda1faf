// The window's timing goals: start-up to the first shown window, and 32768 Adds of distinct ranges in a row
// (each one searches the table that mirrors the command list, then appends a line).
// Usage: bench_gui [--runs N]; bench_gui --startup-once is the child that the start-up runs measure.
#include "SilentDialogs.h"
#include "version/VersionInfo.h"
#include "window/qt/QtMainWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long NowMicros() {
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch()).count();
}

// Child: builds and shows the window, prints the monotonic time at which it was exposed.
int StartupOnce(int argc, char** argv) {
    zelo::ZeloApplication app(argc, argv);
    SilentDialogs boxes;
    app.SetDialogs(&boxes);
    zelo::ReadVersionInfo();
    QTemporaryDir dir;
    zelo::QtMainWindow window(boxes, (dir.path() + "/zelo.ini").toStdString());
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    std::printf("%lld\n", NowMicros());
    return 0;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (argc > 1 && std::strcmp(argv[1], "--startup-once") == 0)
        return StartupOnce(argc, argv);
    int runs = 10;
    if (argc > 2 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));

    // Start-up: from starting the process to the window being on screen.
    std::vector<double> startup;
    for (int i = 0; i < runs; ++i) {
        QProcess child;
        const long long start = NowMicros();
        child.start(QString::fromLocal8Bit(argv[0]), {QStringLiteral("--startup-once")});
        if (!child.waitForFinished(30000) || child.exitCode() != 0) {
            std::fprintf(stderr, "start-up run failed\n");
            return 1;
        }
        const long long shown = QString::fromLatin1(child.readAllStandardOutput()).trimmed().toLongLong();
        startup.push_back(static_cast<double>(shown - start) / 1000.0);
    }
    std::printf("start-up to the first shown window: median %.1f ms, max %.1f ms over %d runs\n",
                Median(startup), *std::max_element(startup.begin(), startup.end()), runs);

    // 32768 distinct ranges, one Add each, into the shown window.
    zelo::ZeloApplication app(argc, argv);
    SilentDialogs boxes;
    app.SetDialogs(&boxes);
    zelo::ReadVersionInfo();
    QTemporaryDir dir;
    zelo::QtMainWindow view(boxes, (dir.path() + "/zelo.ini").toStdString());
    // The design size whatever the offscreen screen's size, as before the window could be resized.
    view.resize(1016, 734);
    view.show();
    if (!QTest::qWaitForWindowExposed(&view))
        return 1;
    zelo::TwinMain& window = view.Logic();
    window.EibDptList->SetChecked(1, true);
    const int count = 32768;
    const auto begin = Clock::now();
    for (int i = 0; i < count; ++i) {
        window.CurrentGroup->StartAddress = static_cast<std::uint16_t>(i);
        window.CurrentGroup->EndAddress = static_cast<std::uint16_t>(i);
        if (!window.AddCurrentGroup())
            return 1;
    }
    QCoreApplication::processEvents();
    const double seconds = std::chrono::duration<double>(Clock::now() - begin).count();
    const std::size_t lines = window.Document().Lines().size();
    std::printf("%d Adds of distinct ranges in a row: %.2f s in total (%.1f us per Add), %zu lines\n", count,
                seconds, seconds * 1e6 / count, lines);
    return lines == static_cast<std::size_t>(count) + 1 ? 0 : 1;
}
