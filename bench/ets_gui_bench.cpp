// The window's batch import: an export of 10000 ranges accepted with "Add all", from the click to the notice.
// Usage: bench_ets_gui [--runs N]
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
    int MessageBox(const std::string& text, const std::string& title, int, const std::string&) override {
        if (title != zelo::ImportNoticeTitle) {
            std::fprintf(stderr, "unexpected box: %s\n", text.c_str());
            std::exit(1);
        }
        LastNotice = text;
        return zelo::box::IdOk;
    }
    std::optional<std::string> OpenFile(const std::string&) override { return File; }
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
        const std::size_t lines = window.Logic().CommandLines().size();
        if (lines != 10001) {
            std::fprintf(stderr, "expected 10000 group lines, got %zu\n", lines - 1);
            return 1;
        }
    }
    std::filesystem::remove_all(dir);
    std::sort(times.begin(), times.end());
    std::printf("Add all of 10000 ranges: median %.0f ms, min %.0f ms, max %.0f ms over %d runs\n",
                times[times.size() / 2], times.front(), times.back(), runs);
    std::printf("notice: %s\n", boxes.LastNotice.c_str());
    return 0;
}
