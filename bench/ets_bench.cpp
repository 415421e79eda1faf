// The ETS3 import at the size of a big project: 65536 export lines through the core stepper alone, the
// comma-text split, the whole unattended import, and zeloctl import as a user runs it.
#include "ets/EtsBatch.h"
#include "ets/EtsImport.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

using namespace zelo;

namespace {

constexpr int LineCount = 65536;

// Ranges of 1 to 16 lines with a mix of datatypes, one address missing now and then; past 32767 the addresses
// start again, so the second half repeats the first.
std::string ExportFile() {
    static const char* const datatypes[] = {"1b", "2B", "1B", "4B", "14B", "3B", "7b"};
    std::string out;
    int address = 0;
    for (int i = 0; i < LineCount; ++i) {
        int range = i / 11;
        std::string fields[46];
        for (int f = 0; f < 46; ++f)
            fields[f] = "field " + std::to_string(f);
        fields[34] = "Floor " + std::to_string(range % 5);
        fields[38] = "Room " + std::to_string(range) +
                     " K\xFC"
                     "che";
        fields[39] = "switch, \"main\"";
        address = (address + (i % 29 == 0 ? 2 : 1)) % 32768;
        fields[43] = std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
                     std::to_string(address & 255);
        fields[45] = datatypes[range % 7];
        for (int f = 0; f < 46; ++f) {
            out += f ? ",\"" : "\"";
            for (char c : fields[f])
                out += c == '"' ? std::string("\"\"") : std::string(1, c);
            out += '"';
        }
        out += "\r\n";
    }
    return out;
}

const std::string& File() {
    static const std::string file = ExportFile();
    return file;
}

void BM_LoadImportLines(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadImportLines(File()));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * File().size()));
}

void BM_SplitCommaText(benchmark::State& state) {
    auto lines = LoadImportLines(File());
    std::vector<std::string> fields;
    for (auto _ : state)
        for (const auto& line : lines) {
            SplitCommaText(line, fields);
            benchmark::DoNotOptimize(fields.data());
        }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

void BM_StepperAlone(benchmark::State& state) {
    auto lines = LoadImportLines(File());
    int ranges = 0;
    for (auto _ : state) {
        EtsImporter importer(lines);
        ranges = 0;
        while (importer.Next().Kind == ImportStepKind::Range)
            ++ranges;
    }
    state.counters["ranges"] = ranges;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}

void BM_BatchImport(benchmark::State& state) {
    for (auto _ : state) {
        auto result = BatchImport(LoadImportLines(File()), 2, UnknownDatatype::Skip);
        benchmark::DoNotOptimize(result.Added);
    }
}

void BM_ZeloctlImport(benchmark::State& state) {
    auto dir =
        std::filesystem::temp_directory_path() / ("zelo-bench-ets-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    auto path = dir / "export.csv";
    std::ofstream(path, std::ios::binary) << File();
    std::string command = std::string("'") + ZELOCTL + "' import '" + path.string() + "' >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("zeloctl import failed");
    std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(BM_LoadImportLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitCommaText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepperAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeloctlImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
