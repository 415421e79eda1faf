#pragma once
// A zip archive held in memory: its central directory, and each entry's bytes decrypted, decompressed and
// checked. Stored and deflate entries, ZIP64, data descriptors, traditional encryption and WinZip AES (AE-1,
// AE-2). Nothing in a damaged archive makes it crash, loop or allocate beyond the limits: it raises a
// ZipError that names the entry.
#include "model/Error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zelo {

enum class ZipEncryption { None, Traditional, WinZipAes };

struct ZipEntry {
    std::string Name; // UTF-8
    std::uint16_t Flags = 0;
    std::uint16_t Method = 0; // as stored: 99 for WinZip AES, whose own method is AesMethod
    std::uint16_t DosTime = 0;
    std::uint16_t DosDate = 0;
    std::uint32_t Crc32 = 0;
    std::uint64_t CompressedSize = 0;
    std::uint64_t UncompressedSize = 0;
    std::uint64_t LocalHeaderOffset = 0;
    ZipEncryption Encryption = ZipEncryption::None;
    int AesVersion = 0;  // 1 (AE-1) or 2 (AE-2, no CRC)
    int AesStrength = 0; // 1, 2, 3: AES-128, -192, -256
    std::uint16_t AesMethod = 0;

    bool IsDirectory() const { return !Name.empty() && Name.back() == '/'; }
    std::uint16_t CompressionMethod() const {
        return Encryption == ZipEncryption::WinZipAes ? AesMethod : Method;
    }
};

struct ZipLimits {
    std::uint64_t MaxEntrySize = std::uint64_t(1) << 30; // bytes after decompression
};

enum class ZipErrorKind {
    NotZip,         // no end of central directory record anywhere
    Damaged,        // the archive or an entry does not read
    Unsupported,    // a feature this reader does not offer (another compression, split archives, too big)
    PasswordNeeded, // an encrypted entry and no password
    WrongPassword,  // the password does not decrypt the entry
};

class ZipError : public Exception {
public:
    ZipError(ZipErrorKind kind, std::string entry, const std::string& message)
        : Exception(message), Kind_(kind), Entry_(std::move(entry)) {}
    ZipErrorKind Kind() const { return Kind_; }
    // The entry's name as the messages show it (with the archive's label in front), or empty for the archive.
    const std::string& Entry() const { return Entry_; }

private:
    ZipErrorKind Kind_;
    std::string Entry_;
};

class ZipArchive {
public:
    // Reads the directory of the archive in `bytes`. `label` names the archive in messages, e.g. the name of
    // the entry an inner archive came from; empty for the file itself.
    explicit ZipArchive(std::string bytes, std::string label = {}, ZipLimits limits = {});

    const std::vector<ZipEntry>& Entries() const { return Entries_; }
    const std::string& Label() const { return Label_; }

    // The entry of that name, ignoring ASCII case and taking '\' for '/' (archives made on Windows differ in
    // both); nullptr when there is none. Two entries that both match make the archive ambiguous: Damaged.
    const ZipEntry* Find(std::string_view name) const;

    // The entry's bytes: decrypted with the password where the entry is encrypted, decompressed, and checked
    // against its CRC-32 or authentication code.
    std::string Read(const ZipEntry& entry, std::optional<std::string_view> password = std::nullopt) const;

    // The entry's name as messages show it.
    std::string EntryLabel(const ZipEntry& entry) const;

private:
    void ReadDirectory();
    std::string_view EntryData(const ZipEntry& entry) const;
    std::string Decompress(const ZipEntry& entry, std::string_view data, bool encrypted) const;
    std::string ReadTraditional(const ZipEntry& entry, std::string_view data,
                                std::string_view password) const;
    std::string ReadWinZipAes(const ZipEntry& entry, std::string_view data, std::string_view password) const;
    [[noreturn]] void Fail(ZipErrorKind kind, const std::string& reason) const;
    [[noreturn]] void Fail(const ZipEntry& entry, ZipErrorKind kind, const std::string& reason) const;

    std::string Bytes_;
    std::string Label_;
    ZipLimits Limits_;
    std::vector<ZipEntry> Entries_;
    std::uint64_t DirectoryStart_ = 0; // where local data must end
    std::uint64_t Shift_ = 0;          // bytes in front of the archive (a self-extractor's stub)
};

// The form entry names are compared in: ASCII letters in lower case, '\' as '/'.
std::string ZipNameKey(std::string_view name);

// CRC-32 as zip archives use it.
std::uint32_t ZipCrc32(std::string_view bytes);

} // namespace zelo
