// A project file is untrusted bytes: the zip reader and the project archive on top of it take any input,
// raise only their own errors, and what they return passes its checks.
#include "project/ProjectArchive.h"
#include "project/ZipArchive.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

using namespace zelo;

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// The entry as the stream hands it out, in slices that end inside AES blocks and inflater output.
std::string Streamed(const ZipArchive& zip, const ZipEntry& e, std::optional<std::string_view> password) {
    ZipEntryReader reader(zip, e, password);
    std::string out, block(999, '\0');
    while (const std::size_t n = reader.Read(block.data(), block.size()))
        out.append(block, 0, n);
    return out;
}

// No cap per entry: the budget of the whole file (at least 16 MB here, so that no input makes the fuzzer run
// out of memory) bounds every level together.
const ZipLimits Limits{std::uint64_t(1) << 30, 64, std::uint64_t(1) << 24};

void ReadEntries(const ZipArchive& zip) {
    int reads = 0;
    for (const auto& e : zip.Entries()) {
        // Every AES entry costs a key derivation; a few entries cover every path.
        if (++reads > 8)
            break;
        try {
            const ZipEntry* found = zip.Find(e.Name);
            Check(found != nullptr);
        } catch (const ZipError& error) {
            Check(error.Kind() == ZipErrorKind::Damaged);
        }
        for (std::optional<std::string_view> password :
             {std::optional<std::string_view>(), std::optional<std::string_view>("test")}) {
            try {
                std::string bytes = zip.Read(e, password);
                Check(bytes.size() == e.UncompressedSize);
                // Entries sharing their bytes are never read.
                Check(!e.Overlaps);
                bool crcless = e.Encryption == ZipEncryption::WinZipAes && e.AesVersion == 2;
                Check(crcless || ZipCrc32(bytes) == e.Crc32);
                Check(e.Encryption == ZipEncryption::None || password);
                // Read again as a stream, where the budget has room for it.
                if (zip.Budget()->Limit() - zip.Budget()->Used() >= bytes.size())
                    Check(Streamed(zip, e, password) == bytes);
            } catch (const ZipError& error) {
                Check(error.Entry() == zip.EntryLabel(e));
                Check(std::string(error.what()).find(error.Entry()) != std::string::npos);
            }
            if (e.Encryption == ZipEncryption::None)
                break;
        }
    }
    Check(zip.Budget()->Used() <= zip.Budget()->Limit());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        ZipArchive zip(bytes, {}, Limits);
        ReadEntries(zip);
        // The same bytes as an inner archive: its messages carry the label, and it pays from the same budget.
        ZipArchive inner(bytes, "P-0000.zip", Limits, zip.Budget());
        ReadEntries(inner);
    } catch (const ZipError& error) {
        Check(*error.what() != '\0');
    }
    try {
        ProjectArchive project(bytes, std::string("test"), Limits);
        Check(!project.ProjectId().empty());
    } catch (const ProjectError& error) {
        Check(*error.what() != '\0');
    }
    return 0;
}
