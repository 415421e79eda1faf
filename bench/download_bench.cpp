// A download of 1000 group lines into the simulator over a pseudo-terminal: the host's own time per line (no
// wire emulation), and the time at 19200 baud against the pure wire time of every byte exchanged.
#include "device/EibConverter.h"
#include "sim/GatewaySim.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int Lines = 1000;

std::vector<std::string> GroupLines() {
    std::vector<std::string> lines;
    for (int i = 0; i < Lines; ++i)
        lines.push_back("#DG" + std::to_string(i / 2048) + "/" + std::to_string(i / 256 % 8) + "/" +
                        std::to_string(i % 256) + "=BIT;RW");
    return lines;
}

// Bytes on the wire for one download: every command with its CR out, "Ok" and CR back for each.
std::size_t BytesExchanged(const std::vector<std::string>& lines) {
    std::size_t bytes = 2 * (4 + 3); // "#CG", "#CF" and their answers
    for (const auto& line : lines)
        bytes += line.size() + 1 + 3;
    return bytes;
}

void Download(benchmark::State& state, int baud) {
    const std::vector<std::string> lines = GroupLines();
    zelo::sim::SimOptions options;
    options.Baud = baud;
    zelo::sim::GatewaySim gateway(options);
    zelo::TEibConverter converter(nullptr, nullptr);
    converter.SetDevice(gateway.OpenPty());
    converter.SetBaudrate(baud == 0 ? 19200 : baud);
    gateway.Start();
    if (!converter.Open())
        throw std::runtime_error("the link did not open");
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        converter.Download(lines);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (gateway.Configuration().size() != lines.size())
            state.SkipWithError("the gateway did not take every line");
    }
    converter.Close();
    const auto iterations = static_cast<double>(state.iterations());
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * Lines);
    state.counters["us_per_line"] = seconds / iterations / Lines * 1e6;
    if (baud != 0) {
        const double wireSeconds = static_cast<double>(BytesExchanged(lines)) * 10.0 / baud;
        state.counters["wire_s"] = wireSeconds;
        state.counters["ratio_to_wire"] = seconds / iterations / wireSeconds;
    }
}

void BM_DownloadNoWire(benchmark::State& state) {
    Download(state, 0);
}

void BM_Download19200(benchmark::State& state) {
    Download(state, 19200);
}

} // namespace

BENCHMARK(BM_DownloadNoWire)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_Download19200)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

BENCHMARK_MAIN();
