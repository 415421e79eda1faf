// The window's import: an ETS3 export of 10000 ranges accepted with "Add all", from the click to the notice;
// and today's exports of 100,000 addresses (UTF-16 CSV, XML): from the Import click to the first range
// offered (reading and building while the window waits), then "Add all".
// Usage: bench_ets_gui [--runs N]
#include "ExportFiles.h"
#include "window/qt/QtMainWindow.h"
#include "window/qt/ZeloApplication.h"

#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class BenchDialogs : public zelo::Dialogs {
public:
    std::string File;
    std::string LastNotice;
    int MessageBox(const std::string& text, const std::string& title, int flags,
                   const std::string&) override {
        if (title != zelo::ImportNoticeTitle) {
            std::fprintf(stderr, "unexpected box: %s\n", text.c_str());
            std::exit(1);
        }
        LastNotice = text;
        // The question about ranges without a type: left out, as zeloctl does by default.
        return (flags & 0x0F) == zelo::box::YesNoCancel ? zelo::box::IdNo : zelo::box::IdOk;
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override { return File; }
    std::optional<std::string> SaveFile(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> AskPassword(const std::string& prompt, const std::string&) override {
        std::fprintf(stderr, "unexpected password prompt: %s\n", prompt.c_str());
        std::exit(1);
    }
};

// One line per range: distinct names, addresses three apart, a mix of bit and byte types.
std::string ExportFile(int ranges) {
    static const char* const datatypes[] = {"1b", "2B", "1B", "4B", "14B", "3B"};
    std::string out;
    for (int r = 0; r < ranges; ++r) {
        const int address = r * 3;
        for (int f = 0; f < 46; ++f) {
            // Appended piece by piece: GCC 12 warns falsely about "literal" + std::string at -O3.
            std::string field = f == 38 ? "Range " : "f";
            field += std::to_string(f == 38 ? r : f);
            if (f == 43)
                field = std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
                        std::to_string(address & 255);
            else if (f == 45)
                field = datatypes[r % 6];
            out += (f ? ",\"" : "\"") + field + "\"";
        }
        out += "\r\n";
    }
    return out;
}

void Report(const char* what, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%s: median %.0f ms, min %.0f ms, max %.0f ms over %zu runs\n", what, times[times.size() / 2],
                times.front(), times.back(), times.size());
}

} // namespace

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int runs = 5;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    zelo::ZeloApplication app(argc, argv);
    BenchDialogs boxes;
    app.SetDialogs(&boxes);

    const auto dir = std::filesystem::temp_directory_path() /
                     ("zelo-bench-ets-gui-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    boxes.File = (dir / "export.csv").string();
    std::ofstream(boxes.File, std::ios::binary) << ExportFile(10000);

    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        zelo::QtMainWindow window(boxes, (dir / "zelo.ini").string());
        window.resize(1016, 734);
        window.show();
        static_cast<QPushButton*>(window.Control(zelo::layout::ControlId::btnImport))->click();
        const auto start = Clock::now();
        static_cast<QPushButton*>(window.Control(zelo::layout::ControlId::btnAddAll))->click();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        const std::size_t lines = window.Logic().Document().Lines().size();
        if (lines != 10001) {
            std::fprintf(stderr, "expected 10000 group lines, got %zu\n", lines - 1);
            return 1;
        }
    }
    Report("ETS3 Add all of 10000 ranges", times);
    std::printf("notice: %s\n", boxes.LastNotice.c_str());

    const struct {
        const char* Name;
        std::string Bytes;
    } exports[] = {{"UTF-16 TAB CSV", zelo::bench::Utf16TabCsv()}, {"XML", zelo::bench::XmlFile()}};
    for (const auto& file : exports) {
        boxes.File = (dir / "export").string();
        std::ofstream(boxes.File, std::ios::binary) << file.Bytes;
        std::vector<double> reading;
        std::vector<double> adding;
        for (int run = 0; run < runs; ++run) {
            zelo::QtMainWindow window(boxes, (dir / "zelo.ini").string());
            window.resize(1016, 734);
            window.show();
            auto start = Clock::now();
            static_cast<QPushButton*>(window.Control(zelo::layout::ControlId::btnImport))->click();
            reading.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            start = Clock::now();
            static_cast<QPushButton*>(window.Control(zelo::layout::ControlId::btnAddAll))->click();
            adding.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        Report((std::string(file.Name) + ", 100,000 addresses: Import to the first range").c_str(), reading);
        Report((std::string(file.Name) + ", 100,000 addresses: Add all").c_str(), adding);
        std::printf("notice: %s\n", boxes.LastNotice.c_str());
    }
    std::filesystem::remove_all(dir);
    return 0;
}
