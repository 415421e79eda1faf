#pragma once
// A small zip writer for test data: the archives the reader must take (stored, deflate, data descriptors,
// ZIP64, traditional encryption, WinZip AES), written from first principles so a test controls every field.
#include "project/ZipArchive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zelo::test {

enum class Descriptor { None, WithSignature, WithoutSignature };

struct ZipWriterEntry {
    std::string Name;
    std::string Data;
    std::uint16_t Method = 8; // 0 stored, 8 deflate; any other is written stored under that number
    ZipEncryption Encryption = ZipEncryption::None;
    std::string Password;
    int AesVersion = 2;
    int AesStrength = 3;
    Descriptor DataDescriptor = Descriptor::None;
    bool Zip64 = false; // sizes and offset in ZIP64 fields
    std::uint16_t DosTime = 0x9A2B;
    std::uint16_t DosDate = 0x5A21;
    std::optional<std::uint64_t> DeclaredSize; // the size both headers give, when not the data's own
    std::optional<std::size_t> DataOf; // an earlier entry whose local header and data this one's record names
};

struct ZipWriterOptions {
    std::string Stub;    // bytes in front of the archive, as in a self-extractor
    std::string Comment; // the archive comment
    bool Zip64End = false;
};

// An entry of a name and its bytes, deflated unless another method is given.
inline ZipWriterEntry Entry(std::string name, std::string data, std::uint16_t method = 8) {
    ZipWriterEntry e;
    e.Name = std::move(name);
    e.Data = std::move(data);
    e.Method = method;
    return e;
}

std::string WriteZip(const std::vector<ZipWriterEntry>& entries, const ZipWriterOptions& options = {});

// Raw deflate of the bytes at the given level.
std::string Deflate(const std::string& bytes, int level = 9);

// Bytes from hex text; blanks are ignored.
std::string FromHex(const std::string& hex);
std::string ToHex(const std::string& bytes);

} // namespace zelo::test
