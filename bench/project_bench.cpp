// Importing an ETS project file of 5 MB with 10,000 group addresses: the ETS6 key derivation alone, the
// opening (archive directory, knx_master.xml, the inner archive, decryption, inflating, checks) for each
// protection, the whole reading with the types of untyped addresses resolved through a large application
// program, and zeloctl import as a whole process. And a project whose one application program inflates to
// 64 MB: zeloctl import's peak memory and CPU time beside unzip -p of that program.
#include "ProjectWriter.h"
#include "project/ProjectArchive.h"
#include "project/ProjectImport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

using namespace zelo;
using namespace zelo::test;

namespace {

constexpr int GroupAddresses = 10000;
constexpr int ObjectsPerDevice = 10;
const std::string Password = "test";
const std::string Program = "M-0083_A-00A1-21-0000";
const std::string Hardware2Program = "M-0083_H-1-1_HP-00A1-21-0000";

// Elements that deflate about as badly as the manufacturers' data of a real project does: made-up
// parameter names and numbers.
std::string Parameters(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size)
        text += "<Parameter Id=\"M-0083_A-" + std::to_string(random()) + "\" Text=\"" +
                std::to_string(random()) + "\" Value=\"" + std::to_string(random() % 65536) + "\"/>\r\n";
    return text;
}

std::string Filler(std::size_t size, unsigned seed) {
    return "<KNX xmlns=\"http://knx.org/xml/project/21\"><ManufacturerData>" + Parameters(size, seed) +
           "</ManufacturerData></KNX>";
}

// Three addresses in four carry their type; every fourth takes it from a device's object (250 devices of 10
// objects). One application program of 6 MB holds the 2,000 objects and references among its parameters.
TestProject BenchProject(ZipEncryption protection) {
    static const char* const types[] = {"DPST-1-1", "DPST-9-1", "DPST-5-1", "DPT-7"};
    TestProject project;
    project.Protection = protection;
    project.Password = Password;
    std::vector<TestProgramObject> objects, refs;
    for (int i = 0; i < 2000; ++i) {
        const std::string object = Program + "_O-" + std::to_string(i);
        objects.push_back({object, i % 2 ? "DPST-5-1" : "", i % 2 ? "1 Byte" : "1 Bit", ""});
        refs.push_back({object + "_R-" + std::to_string(i), i % 3 ? "" : "DPST-1-8", "", object});
    }
    TestDevice device{Hardware2Program, {}};
    for (int i = 0; i < GroupAddresses; ++i) {
        const std::string name = "Room " + std::to_string(i / 8) + " light " + std::to_string(i % 8);
        if (i % 4 != 3) {
            project.Addresses.push_back({static_cast<unsigned>(i), name, types[(i / 16) % 4]});
            continue;
        }
        project.Addresses.push_back({static_cast<unsigned>(i), name, ""});
        const int object = (i / 4) % 2000;
        device.Objects.push_back({"O-" + std::to_string(object) + "_R-" + std::to_string(object),
                                  "",
                                  {static_cast<std::size_t>(i)}});
        if (device.Objects.size() == ObjectsPerDevice) {
            project.Devices.push_back(std::move(device));
            device = {Hardware2Program, {}};
        }
    }
    std::string program = ProgramXml(21, objects, refs);
    program.insert(program.find("<ComObjectTable>"), Parameters(6 << 20, 7));
    project.Files = {{"M-0083/" + Program + ".xml", program},
                     {"M-0083/Hardware.xml", HardwareXml(21, {{Hardware2Program, Program}})},
                     {"M-0083/Catalog.xml", Filler(2 << 20, 1)}};
    // The master data of a real project is about 1 MB.
    std::string master = MasterXml(21);
    master.insert(master.find("<MasterData"), Parameters(1 << 20, 3));
    project.Files.emplace("knx_master.xml", master);
    // Two more manufacturers' programs, for the size of a real project's archive.
    for (unsigned m = 0; m < 2; ++m)
        project.Files.emplace("M-008" + std::to_string(m) + "/M-008" + std::to_string(m) + "_A-0001.xml",
                              Filler(6 << 20, 10 + m));
    return project;
}

const std::string& BenchFile(ZipEncryption protection) {
    static std::map<ZipEncryption, std::string> files;
    auto found = files.find(protection);
    if (found == files.end())
        found = files.emplace(protection, ProjectFile(BenchProject(protection))).first;
    return found->second;
}

std::optional<std::string> PasswordFor(ZipEncryption protection) {
    return protection == ZipEncryption::None ? std::nullopt : std::optional<std::string>(Password);
}

const char* Label(ZipEncryption protection) {
    return protection == ZipEncryption::None          ? "unprotected"
           : protection == ZipEncryption::Traditional ? "ZipCrypto (ETS4/5)"
                                                      : "AES (ETS6)";
}

void BM_EtsZipPassword(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(EtsZipPassword(Password));
}

void BM_OpenProject(benchmark::State& state) {
    const auto protection = static_cast<ZipEncryption>(state.range(0));
    const std::string& file = BenchFile(protection);
    for (auto _ : state) {
        ProjectArchive project(file, PasswordFor(protection));
        benchmark::DoNotOptimize(project.Installation().data());
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
    state.SetLabel(Label(protection));
}

// Opened, the schema and the 10,000 group addresses read, 2,500 types resolved through the program: the
// reading the range builder takes.
void BM_ReadProjectFile(benchmark::State& state) {
    const std::string& file = BenchFile(ZipEncryption::WinZipAes);
    std::size_t typed = 0;
    for (auto _ : state) {
        ExportReading reading = ReadProjectFile(file, Password);
        if (reading.Refusal) {
            state.SkipWithError(reading.Refusal->Message.c_str());
            break;
        }
        typed = static_cast<std::size_t>(std::count_if(reading.Addresses.begin(), reading.Addresses.end(),
                                                       [](const auto& r) { return r.Type != Untyped; }));
    }
    state.counters["typed"] = static_cast<double>(typed);
}

// The zeloctl to measure: this build's, or the one ZELO_BENCH_ZELOCTL names (an older build, say, for a
// before and after in one run).
std::string Zeloctl() {
    const char* other = std::getenv("ZELO_BENCH_ZELOCTL");
    return other ? other : ZELOCTL;
}

// zeloctl import of the AES project as a whole process, its output thrown away.
void BM_ZeloctlImport(benchmark::State& state) {
    const auto protection = static_cast<ZipEncryption>(state.range(0));
    const auto dir = std::filesystem::temp_directory_path() /
                     ("zelo-bench-project-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "bench.knxproj").string();
    std::ofstream(path, std::ios::binary) << BenchFile(protection);
    const std::string command =
        "'" + Zeloctl() + "' import --password " + Password + " '" + path + "' >/dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("zeloctl import failed");
            break;
        }
    }
    state.counters["file_MB"] = static_cast<double>(BenchFile(protection).size()) / 1e6;
    state.SetLabel(Label(protection));
    std::filesystem::remove_all(dir);
}

// The program of a big device as ETS writes it: parameter types and parameters in the static part (48 MB),
// the 19 objects and references the project's links need, and the dynamic part (16 MB) after it. Ids count up
// and texts repeat, so it deflates about 25:1, as real ones do (a real 60 MB program came in a 3.5 MB file).
std::string BigProgram(const std::vector<TestProgramObject>& objects,
                       const std::vector<TestProgramObject>& refs) {
    auto elements = [](std::size_t size, const char* format) {
        std::string text;
        char line[256];
        for (unsigned i = 0; text.size() < size; ++i) {
            const int n = std::snprintf(line, sizeof line, format, Program.c_str(), i, i % 97, i % 13, i % 7);
            text.append(line, static_cast<std::size_t>(n));
        }
        return text;
    };
    std::string program = ProgramXml(21, objects, refs);
    program.insert(
        program.find("<ComObjectTable>"),
        "<ParameterTypes>" +
            elements(16 << 20,
                     "<ParameterType Id=\"%s_PT-%u\" Name=\"Type%u\"><TypeNumber SizeInBit=\"%u\" "
                     "Type=\"unsignedInt\" minInclusive=\"0\" maxInclusive=\"%u\" /></ParameterType>\r\n") +
            "</ParameterTypes><Parameters>" +
            elements(32 << 20, "<Parameter Id=\"%s_P-%u\" Name=\"Channel %u delay\" ParameterType=\"PT-%u\" "
                               "Text=\"Delay of channel %u\" Value=\"0\" Access=\"ReadWrite\" />\r\n") +
            "</Parameters>");
    program.insert(
        program.find("</ApplicationProgram>"),
        "<Dynamic>" +
            elements(
                16 << 20,
                "<ChannelIndependentBlock><ParameterBlock Id=\"%s_PB-%u\" Text=\"Block %u\">"
                "<ParameterRefRef RefId=\"P-%u_R-%u\" /></ParameterBlock></ChannelIndependentBlock>\r\n") +
            "</Dynamic>");
    return program;
}

// 19 addresses, 17 of them typed only through an object of the one device; with `lacking`, one more object is
// linked that the program lacks, so that it is read to its end.
TestProject BigProgramProject(bool lacking) {
    TestProject project;
    std::vector<TestProgramObject> objects, refs;
    TestDevice device{Hardware2Program, {}};
    for (int i = 0; i < 19; ++i) {
        const std::string object = Program + "_O-" + std::to_string(i);
        objects.push_back({object, i % 2 ? "DPST-5-1" : "", i % 2 ? "1 Byte" : "1 Bit", ""});
        refs.push_back({object + "_R-" + std::to_string(i), "", "", object});
        const bool typed = i < 2;
        project.Addresses.push_back(
            {static_cast<unsigned>(0x800 + i), "Channel " + std::to_string(i), typed ? "DPST-1-1" : ""});
        if (!typed)
            device.Objects.push_back(
                {"O-" + std::to_string(i) + "_R-" + std::to_string(i), "", {static_cast<std::size_t>(i)}});
    }
    if (lacking)
        device.Objects.push_back({"O-99_R-99", "", {18}});
    project.Devices.push_back(std::move(device));
    project.Files = {{"M-0083/" + Program + ".xml", BigProgram(objects, refs)},
                     {"M-0083/Hardware.xml", HardwareXml(21, {{Hardware2Program, Program}})}};
    return project;
}

struct ProcessCost {
    double CpuSeconds = 0; // user + system
    double PeakMb = 0;
};

// A command as a whole process under GNU time, which starts it itself: a child forked from this process
// would count the benchmark's own pages (Linux keeps the highest mark across exec).
std::optional<ProcessCost> CostOf(const std::string& command, const std::filesystem::path& dir) {
    const std::string report = (dir / "cost").string();
    const std::string timed =
        "/usr/bin/time -f '%U %S %M' -o '" + report + "' " + command + " >/dev/null 2>&1";
    if (std::system(timed.c_str()) != 0)
        return std::nullopt;
    double user = 0, system = 0, kb = 0;
    if (!(std::ifstream(report) >> user >> system >> kb))
        return std::nullopt;
    return ProcessCost{user + system, kb / 1024};
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// zeloctl import of the project with the 64 MB program, and unzip -p of that program alone: the floor for any
// reader that inflates the program whole. Argument 1: a linked object the program lacks makes zeloctl read
// the program to its end.
void BM_ZeloctlImportBigProgram(benchmark::State& state) {
    const std::string file = ProjectFile(BigProgramProject(state.range(0) != 0));
    const auto dir =
        std::filesystem::temp_directory_path() / ("zelo-bench-big-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "big.knxproj").string();
    std::ofstream(path, std::ios::binary) << file;
    const std::string import = "'" + Zeloctl() + "' import --unknown other '" + path + "'";
    const std::string unzip = "unzip -p '" + path + "' 'M-0083/" + Program + ".xml'";
    std::vector<double> importCpu, unzipCpu;
    double peakMb = 0;
    for (auto _ : state) {
        const auto importCost = CostOf(import, dir);
        const auto unzipCost = CostOf(unzip, dir);
        if (!importCost || !unzipCost) {
            state.SkipWithError("zeloctl import or unzip -p failed (are GNU time and unzip installed?)");
            break;
        }
        importCpu.push_back(importCost->CpuSeconds);
        unzipCpu.push_back(unzipCost->CpuSeconds);
        peakMb = std::max(peakMb, importCost->PeakMb);
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
    state.counters["peak_rss_MB"] = peakMb;
    state.counters["import_cpu_s"] = Median(importCpu);
    state.counters["unzip_cpu_s"] = Median(unzipCpu);
    if (Median(unzipCpu) > 0)
        state.counters["cpu_ratio"] = Median(importCpu) / Median(unzipCpu);
    std::filesystem::remove_all(dir);
}

} // namespace

BENCHMARK(BM_EtsZipPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProject)
    ->Arg(static_cast<int>(ZipEncryption::None))
    ->Arg(static_cast<int>(ZipEncryption::Traditional))
    ->Arg(static_cast<int>(ZipEncryption::WinZipAes))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadProjectFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZeloctlImport)
    ->Arg(static_cast<int>(ZipEncryption::None))
    ->Arg(static_cast<int>(ZipEncryption::WinZipAes))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_ZeloctlImportBigProgram)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(7);
BENCHMARK_MAIN();
