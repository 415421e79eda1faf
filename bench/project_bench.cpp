// Opening a protected ETS project file of 5 MB with 10,000 group addresses: the ETS6 key derivation alone,
// and the whole opening (archive directory, knx_master.xml, the inner archive, decryption, inflating, checks)
// for each protection.
#include "ZipWriter.h"
#include "project/ProjectArchive.h"
#include "project/ProjectXml.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>

using namespace zelo;
using namespace zelo::test;

namespace {

constexpr int GroupAddresses = 10000;
const std::string Password = "test";

ZipWriterEntry File(std::string name, std::string data, ZipEncryption encryption = ZipEncryption::None,
                    std::string password = {}) {
    ZipWriterEntry e;
    e.Name = std::move(name);
    e.Data = std::move(data);
    e.Encryption = encryption;
    e.Password = std::move(password);
    return e;
}

// Text that deflates about as badly as the manufacturers' data of a real project does: made-up parameter
// names and numbers.
std::string ManufacturerText(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text = "<KNX xmlns=\"http://knx.org/xml/project/21\"><ManufacturerData>";
    while (text.size() < size)
        text += "<Parameter Id=\"M-0083_A-" + std::to_string(random()) + "\" Text=\"" +
                std::to_string(random()) + "\" Value=\"" + std::to_string(random() % 65536) + "\"/>\r\n";
    return text + "</ManufacturerData></KNX>";
}

std::string Installation() {
    std::string text = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?><KNX><Project><Installations>"
                       "<Installation><GroupAddresses><GroupRanges><GroupRange Name=\"All\">";
    for (int i = 0; i < GroupAddresses; ++i)
        text += "<GroupAddress Id=\"P-0001-0_GA-" + std::to_string(i + 1) + "\" Address=\"" +
                std::to_string(i) + "\" Name=\"Room " + std::to_string(i / 8) + " light " +
                std::to_string(i % 8) + "\" DatapointType=\"DPST-1-1\" Puid=\"" + std::to_string(i + 100) +
                "\" />\r\n";
    return text +
           "</GroupRange></GroupRanges></GroupAddresses></Installation></Installations></Project></KNX>";
}

std::string ProjectFile(ZipEncryption protection) {
    std::string zipPassword = protection == ZipEncryption::WinZipAes ? EtsZipPassword(Password) : Password;
    std::vector<ZipWriterEntry> entries = {
        File("knx_master.xml", ManufacturerText(1 << 20, 1)),
        File("P-0001.signature", "signature"),
    };
    for (unsigned m = 0; m < 4; ++m)
        entries.push_back(File("M-008" + std::to_string(m) + "/M-008" + std::to_string(m) + "_A-0001.xml",
                               ManufacturerText(5 << 20, 10 + m)));
    std::vector<ZipWriterEntry> project = {
        File("0.xml", Installation(), protection, zipPassword),
        File("project.xml", "<KNX><Project><ProjectInformation Name=\"Bench\"/></Project></KNX>", protection,
             zipPassword),
    };
    if (protection == ZipEncryption::None) {
        for (auto& e : project)
            entries.push_back(File("P-0001/" + e.Name, e.Data));
    } else {
        entries.push_back(File("P-0001.zip", WriteZip(project)));
    }
    return WriteZip(entries);
}

void BM_EtsZipPassword(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(EtsZipPassword(Password));
}

void BM_OpenProject(benchmark::State& state) {
    const auto protection = static_cast<ZipEncryption>(state.range(0));
    const std::string file = ProjectFile(protection);
    std::optional<std::string> password;
    if (protection != ZipEncryption::None)
        password = Password;
    for (auto _ : state) {
        ProjectArchive project(file, password);
        benchmark::DoNotOptimize(project.Installation().data());
    }
    state.counters["file_MB"] = static_cast<double>(file.size()) / 1e6;
    state.SetLabel(protection == ZipEncryption::None          ? "folder"
                   : protection == ZipEncryption::Traditional ? "traditional (ETS4/5)"
                                                              : "AES (ETS6)");
}

// Opening, then the schema and the 10,000 group addresses with their records: what the import reads before it
// resolves types and builds ranges.
void BM_OpenAndListAddresses(benchmark::State& state) {
    const std::string file = ProjectFile(ZipEncryption::WinZipAes);
    std::size_t records = 0;
    for (auto _ : state) {
        ProjectArchive project(file, Password);
        benchmark::DoNotOptimize(ReadProjectSchema(project.KnxMaster(), "knx_master.xml").Version);
        TextStore texts;
        records =
            ToAddressRecords(
                ReadInstallation(project.Installation(), project.InstallationName()).GroupAddresses, texts)
                .Records.size();
    }
    state.counters["addresses"] = static_cast<double>(records);
}

} // namespace

BENCHMARK(BM_EtsZipPassword)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenProject)
    ->Arg(static_cast<int>(ZipEncryption::None))
    ->Arg(static_cast<int>(ZipEncryption::Traditional))
    ->Arg(static_cast<int>(ZipEncryption::WinZipAes))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OpenAndListAddresses)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
