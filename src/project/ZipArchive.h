#pragma once
// A zip archive held in memory: its central directory, and each entry's bytes decrypted, decompressed and
// checked, whole or as a stream of blocks (ZipEntryReader), so that a big entry is never held whole. Stored
// and deflate entries, ZIP64, data descriptors, traditional encryption and WinZip AES (AE-1, AE-2). Nothing
// in a damaged archive makes it crash, loop or allocate beyond the limits: it raises a ZipError that names
// the entry. Every byte inflated from one file, in the archive and in the archives nested in it, is taken
// from one budget (ZipBudget), so neither nesting nor entries that share their data can make a small file
// inflate without end; entries whose data overlap are refused.
#include "model/ByteSource.h"
#include "model/Error.h"

#include <cstdint>
#include <memory>
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
    // Another entry of the archive whose bytes (local header or data) this one's overlap, if any.
    std::optional<std::size_t> Overlaps;

    bool IsDirectory() const { return !Name.empty() && Name.back() == '/'; }
    std::uint16_t CompressionMethod() const {
        return Encryption == ZipEncryption::WinZipAes ? AesMethod : Method;
    }
};

struct ZipLimits {
    std::uint64_t MaxEntrySize = std::uint64_t(1) << 30; // bytes after decompression
    // All entries read from one file, at every nesting level, may give at most this many bytes per byte of
    // the file, or MinBudget bytes, whichever is more.
    std::uint64_t BudgetPerByte = 64;
    std::uint64_t MinBudget = std::uint64_t(256) << 20;
};

// What one file's entries may still give. Shared by an archive and the archives read from its entries, and
// taken from as the bytes come out of the inflater, block by block.
class ZipBudget {
public:
    explicit ZipBudget(std::uint64_t limit) : Limit_(limit) {}
    // The budget of a file of that size.
    static std::uint64_t LimitFor(std::uint64_t fileSize, const ZipLimits& limits);

    std::uint64_t Limit() const { return Limit_; }
    std::uint64_t Used() const { return Used_; }
    // Takes `bytes`; false, taking nothing, when they would pass the limit.
    bool Take(std::uint64_t bytes) {
        if (bytes > Limit_ - Used_)
            return false;
        Used_ += bytes;
        return true;
    }

private:
    std::uint64_t Limit_;
    std::uint64_t Used_ = 0;
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
    ZipError(ZipErrorKind kind, std::string entry, const std::string& message, std::string reason = {})
        : Exception(message), Kind_(kind), Entry_(std::move(entry)), Reason_(std::move(reason)) {}
    ZipErrorKind Kind() const { return Kind_; }
    // The entry's name as the messages show it (with the archive's label in front), or empty for the archive.
    const std::string& Entry() const { return Entry_; }
    // Why, without the entry's name (e.g. "its CRC-32 check fails"); empty where the message says no more.
    const std::string& Reason() const { return Reason_; }

private:
    ZipErrorKind Kind_;
    std::string Entry_;
    std::string Reason_;
};

class ZipArchive {
public:
    // Reads the directory of the archive in `bytes`. `label` names the archive in messages, e.g. the name of
    // the entry an inner archive came from; empty for the file itself. `budget` is the budget of the file the
    // archive came from (for an inner archive, the outer one's); without one the archive gets its own.
    explicit ZipArchive(std::string bytes, std::string label = {}, ZipLimits limits = {},
                        std::shared_ptr<ZipBudget> budget = {});

    const std::vector<ZipEntry>& Entries() const { return Entries_; }
    const std::string& Label() const { return Label_; }

    // The entry of that name, ignoring ASCII case and taking '\' for '/' (archives made on Windows differ in
    // both); nullptr when there is none. Two entries that both match make the archive ambiguous: Damaged.
    const ZipEntry* Find(std::string_view name) const;

    // The entry's bytes: decrypted with the password where the entry is encrypted, decompressed, and checked
    // against its CRC-32 or authentication code.
    std::string Read(const ZipEntry& entry, std::optional<std::string_view> password = std::nullopt) const;
    // The first `size` bytes of an unencrypted entry (all of it when shorter), inflated no further;
    // unchecked, since its end is never reached. An encrypted entry is read whole, as Read does without a
    // password.
    std::string ReadStart(const ZipEntry& entry, std::size_t size) const;

    const ZipLimits& Limits() const { return Limits_; }
    const std::shared_ptr<ZipBudget>& Budget() const { return Budget_; }

    // The entry's name as messages show it.
    std::string EntryLabel(const ZipEntry& entry) const;

private:
    friend class ZipEntryReader;
    void ReadDirectory();
    void FindOverlaps();
    std::optional<std::uint64_t> DataStart(const ZipEntry& entry) const;
    std::string_view EntryData(const ZipEntry& entry) const;
    void CheckReadable(const ZipEntry& entry) const;
    [[noreturn]] void Fail(ZipErrorKind kind, const std::string& reason) const;
    [[noreturn]] void Fail(const ZipEntry& entry, ZipErrorKind kind, const std::string& reason) const;

    std::string Bytes_;
    std::string Label_;
    ZipLimits Limits_;
    std::shared_ptr<ZipBudget> Budget_;
    std::vector<ZipEntry> Entries_;
    std::uint64_t DirectoryStart_ = 0; // where local data must end
    std::uint64_t Shift_ = 0;          // bytes in front of the archive (a self-extractor's stub)
};

// One entry's bytes as they come out of the decryption and the inflater, block by block, each block paid from
// the archive's budget before it is handed out. Opening it checks what can be checked first (the password,
// an AES entry's authentication code); the last Read checks the size and the CRC-32 and raises ZipError when
// they fail, so a caller that reads to the end has read a sound entry. The archive must outlive it.
class ZipEntryReader : public ByteSource {
public:
    ZipEntryReader(const ZipArchive& zip, const ZipEntry& entry,
                   std::optional<std::string_view> password = std::nullopt);
    ~ZipEntryReader() override;
    ZipEntryReader(const ZipEntryReader&) = delete;
    ZipEntryReader& operator=(const ZipEntryReader&) = delete;

    std::size_t Read(char* to, std::size_t size) override;
    // Reads the rest, keeping nothing, so that the entry's checks run.
    void Finish();
    bool Encrypted() const { return Entry_.Encryption != ZipEncryption::None; }

private:
    friend class ZipArchive;
    struct State;
    [[noreturn]] void Fail(ZipErrorKind kind, const std::string& reason) const;
    // The next slice of input for the inflater, decrypted where the entry is encrypted.
    std::string_view NextInput(std::size_t most);
    void Take(std::uint64_t bytes);
    void CheckEnd();

    const ZipArchive& Zip_;
    const ZipEntry& Entry_;
    std::unique_ptr<State> State_;
    bool Checks_ = true; // off for the start of an entry, whose end is never reached
};

// The form entry names are compared in: ASCII letters in lower case, '\' as '/'.
std::string ZipNameKey(std::string_view name);

// CRC-32 as zip archives use it.
std::uint32_t ZipCrc32(std::string_view bytes);

} // namespace zelo
