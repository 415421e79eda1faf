// The ETS3 import at the size of a big project: 65536 export lines through the core stepper alone, the
// comma-text split, the whole unattended import, and zeloctl import as a user runs it, also of a 32768-line
// export of mostly empty fields. Today's exports:
// 100,000 addresses as a UTF-16 TAB CSV and as XML, through the readers, the XML reader alone, and zeloctl
// import as a whole process with its peak memory.
#include "ExportFiles.h"
#include "ets/EtsBatch.h"
#include "ets/EtsExport.h"
#include "ets/EtsImport.h"
#include "ets/XmlReader.h"
#include "model/Text.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The ETS3 export as ETS writes it for a whole project: 32768 lines of 46 fields, most of them empty and
// quoted, every address once, a group name (with an umlaut, so Windows-1252) changing every 4 lines: 5.6 MB.
std::string LeanEts3File() {
    static const char* const datatypes[] = {"1b", "2B", "1B", "4B", "14B", "3B", "7b"};
    std::string out;
    for (int address = 0; address < 32768; ++address) {
        const int group = address / 4;
        for (int f = 0; f < 46; ++f) {
            out += f ? ",\"" : "\"";
            if (f == 34)
                out += "Floor " + std::to_string(group % 5);
            else if (f == 38)
                out += "Room " + std::to_string(group) + " K\xFC" + "che";
            else if (f == 43)
                out += std::to_string(address >> 11) + "/" + std::to_string((address >> 8) & 7) + "/" +
                       std::to_string(address & 255);
            else if (f == 45)
                out += datatypes[group % 7];
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
    std::vector<std::string_view> fields;
    std::string scratch;
    for (auto _ : state)
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SplitCommaFields(lines[i], fields, scratch);
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

const std::string& CsvFile() {
    static const std::string file = bench::Utf16TabCsv();
    return file;
}

const std::string& Xml() {
    static const std::string file = bench::XmlFile();
    return file;
}

void BM_ImportExportUtf16Csv(benchmark::State& state) {
    for (auto _ : state) {
        auto result = ImportEtsExport(CsvFile(), FormatChoice::Auto, {}, false);
        benchmark::DoNotOptimize(result.Build.Ranges.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * CsvFile().size()));
}

void BM_ImportExportXml(benchmark::State& state) {
    for (auto _ : state) {
        auto result = ImportEtsExport(Xml(), FormatChoice::Auto, {}, false);
        benchmark::DoNotOptimize(result.Build.Ranges.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Xml().size()));
}

void BM_XmlReaderTokens(benchmark::State& state) {
    for (auto _ : state) {
        XmlReader xml(Xml());
        int elements = 0;
        while (xml.Next() != XmlReader::Token::EndOfDocument)
            elements += xml.Current() == XmlReader::Token::StartElement;
        benchmark::DoNotOptimize(elements);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Xml().size()));
}

// The namespace worst case: N nested elements, each declaring the default namespace, all named with the
// prefix bound only at the root, so every lookup passes every level's declaration unless it is indexed.
void BM_XmlDeepNamespaces(benchmark::State& state) {
    const auto levels = static_cast<std::size_t>(state.range(0));
    std::string doc = "<a:r xmlns:a=\"urn:a\">";
    doc.reserve(levels * 32);
    for (std::size_t i = 0; i < levels; ++i)
        doc += "<a:e xmlns=\"urn:d\">";
    for (std::size_t i = 0; i < levels; ++i)
        doc += "</a:e>";
    doc += "</a:r>";
    for (auto _ : state) {
        XmlReader xml(doc);
        std::size_t elements = 0;
        while (xml.Next() != XmlReader::Token::EndOfDocument)
            elements += xml.Current() == XmlReader::Token::StartElement;
        if (elements != levels + 1)
            state.SkipWithError("wrong element count");
        benchmark::DoNotOptimize(elements);
    }
    state.counters["doc_MB"] = static_cast<double>(doc.size()) / 1e6;
}

// zeloctl import of a file as a whole process, its output thrown away. The peak resident memory comes from
// GNU time, which starts zeloctl itself: a child forked from this process would count the benchmark's own
// pages (Linux keeps the highest mark across exec).
void ZeloctlImportOf(benchmark::State& state, const std::string& bytes, const char* name) {
    auto dir =
        std::filesystem::temp_directory_path() / ("zelo-bench-ets-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / name).string();
    const std::string memory = (dir / "peak").string();
    std::ofstream(path, std::ios::binary) << bytes;
    const bool timed = std::filesystem::exists("/usr/bin/time");
    const std::string command = (timed ? "/usr/bin/time -f %M -o '" + memory + "' '" : std::string("'")) +
                                ZELOCTL + "' import '" + path + "' >/dev/null 2>&1";
    long peakKb = 0;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("zeloctl import failed");
            break;
        }
        long kb = 0;
        if (timed && std::ifstream(memory) >> kb)
            peakKb = std::max(peakKb, kb);
    }
    state.counters["file_MB"] = static_cast<double>(bytes.size()) / 1e6;
    if (peakKb > 0) {
        state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024;
        state.counters["rss_per_file"] =
            static_cast<double>(peakKb) * 1024 / static_cast<double>(bytes.size());
    }
    std::filesystem::remove_all(dir);
}

void BM_ZeloctlImportLeanEts3(benchmark::State& state) {
    static const std::string file = LeanEts3File();
    ZeloctlImportOf(state, file, "ets3.csv");
}

void BM_ZeloctlImportUtf16Csv(benchmark::State& state) {
    ZeloctlImportOf(state, CsvFile(), "export.csv");
}

void BM_ZeloctlImportXml(benchmark::State& state) {
    ZeloctlImportOf(state, Xml(), "export.xml");
}

} // namespace

BENCHMARK(BM_LoadImportLines)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SplitCommaText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StepperAlone)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BatchImport)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeloctlImport)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportExportUtf16Csv)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportExportXml)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlReaderTokens)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XmlDeepNamespaces)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeloctlImportLeanEts3)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZeloctlImportUtf16Csv)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ZeloctlImportXml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
