#include "project/ZipArchive.h"

#include "model/Text.h"
#include "project/ZipCiphers.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace zelo {

namespace {

constexpr std::uint32_t LocalHeaderSignature = 0x04034b50;
constexpr std::uint32_t CentralHeaderSignature = 0x02014b50;
constexpr std::uint32_t EndSignature = 0x06054b50;
constexpr std::uint32_t End64Signature = 0x06064b50;
constexpr std::uint32_t End64LocatorSignature = 0x07064b50;
constexpr std::size_t LocalHeaderSize = 30;
constexpr std::size_t CentralHeaderSize = 46;
constexpr std::size_t EndSize = 22;
constexpr std::size_t End64Size = 56;
constexpr std::size_t End64LocatorSize = 20;
constexpr std::uint16_t ExtraZip64 = 0x0001;
constexpr std::uint16_t ExtraWinZipAes = 0x9901;
constexpr std::uint16_t MethodStored = 0;
constexpr std::uint16_t MethodDeflate = 8;
constexpr std::uint16_t MethodWinZipAes = 99;
constexpr std::uint16_t FlagEncrypted = 0x0001;
constexpr std::uint16_t FlagDataDescriptor = 0x0008;
constexpr std::uint16_t FlagStrongEncryption = 0x0040;
constexpr std::uint16_t FlagUtf8 = 0x0800;
// Deflate gives at most 1032 bytes per input byte (a run of one byte), so a declared size beyond that cannot
// be.
constexpr std::uint64_t MaxDeflateRatio = 1032;
// Inflated bytes come out in blocks of this size, each taken from the budget before it is kept.
constexpr std::size_t InflateBlock = 64 * 1024;

std::uint16_t U16(std::string_view b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

std::uint32_t U32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

std::uint64_t U64(std::string_view b, std::size_t at) {
    return static_cast<std::uint64_t>(U32(b, at)) | static_cast<std::uint64_t>(U32(b, at + 4)) << 32;
}

// Whether [start, start + length) lies within the first `size` bytes, without overflowing.
bool Within(std::uint64_t start, std::uint64_t length, std::uint64_t size) {
    return start <= size && length <= size - start;
}

std::string NameText(std::string_view raw, std::uint16_t flags) {
    // Names without the UTF-8 flag are in the writer's code page; ETS writes ASCII, so any byte above 127 is
    // only made readable for messages. Control characters (a zero byte would cut a message short) show as
    // '?'.
    std::string name = (flags & FlagUtf8) || IsValidUtf8(raw)
                           ? std::string(raw)
                           : SingleByteToUtf8(raw, SingleByteCharset::Latin1);
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return name;
}

} // namespace

std::uint32_t ZipCrc32(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
    std::size_t left = bytes.size();
    while (left > 0) {
        uInt chunk = static_cast<uInt>(std::min<std::size_t>(left, UINT_MAX));
        crc = crc32(crc, data, chunk);
        data += chunk;
        left -= chunk;
    }
    return static_cast<std::uint32_t>(crc);
}

std::string ZipNameKey(std::string_view name) {
    std::string key(name);
    for (char& c : key) {
        if (c == '\\')
            c = '/';
        else if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return key;
}

std::uint64_t ZipBudget::LimitFor(std::uint64_t fileSize, const ZipLimits& limits) {
    const std::uint64_t scaled = fileSize > UINT64_MAX / std::max<std::uint64_t>(limits.BudgetPerByte, 1)
                                     ? UINT64_MAX
                                     : fileSize * limits.BudgetPerByte;
    return std::max(scaled, limits.MinBudget);
}

ZipArchive::ZipArchive(std::string bytes, std::string label, ZipLimits limits,
                       std::shared_ptr<ZipBudget> budget)
    : Bytes_(std::move(bytes)), Label_(std::move(label)), Limits_(limits), Budget_(std::move(budget)) {
    if (!Budget_)
        Budget_ = std::make_shared<ZipBudget>(ZipBudget::LimitFor(Bytes_.size(), Limits_));
    ReadDirectory();
    FindOverlaps();
}

void ZipArchive::Fail(ZipErrorKind kind, const std::string& reason) const {
    std::string text;
    if (kind == ZipErrorKind::Unsupported)
        text = (Label_.empty() ? "The archive " : "The archive \"" + Label_ + "\" ") + reason + ".";
    else if (Label_.empty())
        text = (kind == ZipErrorKind::NotZip ? "This is no zip archive: " : "The archive is damaged: ") +
               reason + ".";
    else
        text = "The archive \"" + Label_ + "\" is damaged: " + reason + ".";
    throw ZipError(kind, Label_, text);
}

void ZipArchive::Fail(const ZipEntry& entry, ZipErrorKind kind, const std::string& reason) const {
    std::string name = EntryLabel(entry);
    std::string text = "The archive entry \"" + name + "\"";
    switch (kind) {
    case ZipErrorKind::Damaged:
    case ZipErrorKind::NotZip:
        text += " is damaged: " + reason + ".";
        break;
    case ZipErrorKind::Unsupported:
        text += " " + reason + ".";
        break;
    case ZipErrorKind::PasswordNeeded:
        text += " is encrypted; it needs a password.";
        break;
    case ZipErrorKind::WrongPassword:
        text += " does not decrypt with this password" +
                (reason.empty() ? std::string() : " (" + reason + ")") + ".";
        break;
    }
    throw ZipError(kind, name, text, reason);
}

std::string ZipArchive::EntryLabel(const ZipEntry& entry) const {
    return Label_.empty() ? entry.Name : Label_ + "/" + entry.Name;
}

void ZipArchive::ReadDirectory() {
    std::string_view b = Bytes_;
    const std::uint64_t size = b.size();
    if (size < EndSize)
        Fail(ZipErrorKind::NotZip, "it is too short");

    // The end record sits in the last 22 bytes plus a comment of at most 65535. A comment may itself contain
    // the signature, so the record whose comment ends exactly at the end of the file wins; else the last one
    // found.
    std::optional<std::size_t> endAt;
    std::optional<std::size_t> looseEndAt;
    std::size_t lowest = size > EndSize + 0xFFFF ? size - EndSize - 0xFFFF : 0;
    for (std::size_t at = size - EndSize + 1; at-- > lowest;) {
        if (U32(b, at) != EndSignature)
            continue;
        std::size_t commentEnd = at + EndSize + U16(b, at + 20);
        if (commentEnd == size) {
            endAt = at;
            break;
        }
        if (commentEnd < size && !looseEndAt)
            looseEndAt = at;
    }
    if (!endAt)
        endAt = looseEndAt;
    if (!endAt)
        Fail(ZipErrorKind::NotZip, "it has no end of central directory record");

    std::uint64_t disk = U16(b, *endAt + 4);
    std::uint64_t directoryDisk = U16(b, *endAt + 6);
    std::uint64_t count = U16(b, *endAt + 10);
    std::uint64_t directorySize = U32(b, *endAt + 12);
    std::uint64_t directoryOffset = U32(b, *endAt + 16);
    std::uint64_t recordsStart = *endAt;

    if (*endAt >= End64LocatorSize && U32(b, *endAt - End64LocatorSize) == End64LocatorSignature) {
        std::size_t locator = *endAt - End64LocatorSize;
        std::uint64_t end64 = U64(b, locator + 8);
        // A stub in front of the archive moves the record; then it sits right before its locator.
        if (!Within(end64, End64Size, locator) || U32(b, end64) != End64Signature) {
            if (locator < End64Size || U32(b, locator - End64Size) != End64Signature)
                Fail(ZipErrorKind::Damaged, "the ZIP64 end of central directory record is missing");
            end64 = locator - End64Size;
        }
        disk = U32(b, end64 + 16);
        directoryDisk = U32(b, end64 + 20);
        count = U64(b, end64 + 32);
        directorySize = U64(b, end64 + 40);
        directoryOffset = U64(b, end64 + 48);
        recordsStart = end64;
    }
    if (disk != 0 || directoryDisk != 0)
        Fail(ZipErrorKind::Unsupported, "is split into several parts, which this program does not read");

    // The central directory ends where the end records begin; anything before its stated offset is a stub.
    if (directorySize > recordsStart || directoryOffset > recordsStart - directorySize)
        Fail(ZipErrorKind::Damaged, "the central directory lies outside the file");
    Shift_ = recordsStart - directorySize - directoryOffset;
    DirectoryStart_ = recordsStart - directorySize;
    if (count > directorySize / CentralHeaderSize)
        Fail(ZipErrorKind::Damaged,
             "the central directory is too short for its " + std::to_string(count) + " entries");

    Entries_.reserve(static_cast<std::size_t>(count));
    std::uint64_t at = DirectoryStart_;
    const std::uint64_t directoryEnd = recordsStart;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string where = "central directory entry " + std::to_string(i + 1);
        if (!Within(at, CentralHeaderSize, directoryEnd) || U32(b, at) != CentralHeaderSignature)
            Fail(ZipErrorKind::Damaged, where + " is missing");
        std::size_t nameSize = U16(b, at + 28);
        std::size_t extraSize = U16(b, at + 30);
        std::size_t commentSize = U16(b, at + 32);
        if (!Within(at + CentralHeaderSize, nameSize + extraSize + commentSize, directoryEnd))
            Fail(ZipErrorKind::Damaged, where + " runs past the central directory");

        ZipEntry e;
        e.Flags = U16(b, at + 8);
        e.Method = U16(b, at + 10);
        e.DosTime = U16(b, at + 12);
        e.DosDate = U16(b, at + 14);
        e.Crc32 = U32(b, at + 16);
        e.CompressedSize = U32(b, at + 20);
        e.UncompressedSize = U32(b, at + 24);
        std::uint32_t diskStart = U16(b, at + 34);
        e.LocalHeaderOffset = U32(b, at + 42);
        e.Name = NameText(b.substr(at + CentralHeaderSize, nameSize), e.Flags);

        bool needUncompressed = e.UncompressedSize == 0xFFFFFFFF;
        bool needCompressed = e.CompressedSize == 0xFFFFFFFF;
        bool needOffset = e.LocalHeaderOffset == 0xFFFFFFFF;
        bool needDisk = diskStart == 0xFFFF;
        bool aesSeen = false;
        std::string_view extra = b.substr(at + CentralHeaderSize + nameSize, extraSize);
        // Some writers pad the extra field; a tail too short for a field header is padding.
        for (std::size_t x = 0; x + 4 <= extra.size();) {
            std::uint16_t id = U16(extra, x);
            std::size_t fieldSize = U16(extra, x + 2);
            if (fieldSize > extra.size() - x - 4)
                Fail(e, ZipErrorKind::Damaged, "an extra field runs past its end");
            std::string_view field = extra.substr(x + 4, fieldSize);
            if (id == ExtraZip64) {
                std::size_t f = 0;
                auto next = [&](std::uint64_t& value, std::size_t width) {
                    if (f + width > field.size())
                        Fail(e, ZipErrorKind::Damaged, "its ZIP64 field is too short");
                    value = width == 8 ? U64(field, f) : U32(field, f);
                    f += width;
                };
                std::uint64_t diskValue = 0;
                if (needUncompressed)
                    next(e.UncompressedSize, 8);
                if (needCompressed)
                    next(e.CompressedSize, 8);
                if (needOffset)
                    next(e.LocalHeaderOffset, 8);
                if (needDisk)
                    next(diskValue, 4);
                diskStart = static_cast<std::uint32_t>(diskValue);
                needUncompressed = needCompressed = needOffset = needDisk = false;
            } else if (id == ExtraWinZipAes) {
                if (field.size() < 7 || field.substr(2, 2) != "AE")
                    Fail(e, ZipErrorKind::Damaged, "its AES field is not WinZip's");
                e.AesVersion = U16(field, 0);
                e.AesStrength = static_cast<unsigned char>(field[4]);
                e.AesMethod = U16(field, 5);
                aesSeen = true;
            }
            x += 4 + fieldSize;
        }
        if (needUncompressed || needCompressed || needOffset || needDisk)
            Fail(e, ZipErrorKind::Damaged, "its ZIP64 sizes are missing");
        if (diskStart != 0)
            Fail(ZipErrorKind::Unsupported, "is split into several parts, which this program does not read");

        if (e.Flags & FlagEncrypted) {
            if (e.Method == MethodWinZipAes) {
                if (!aesSeen)
                    Fail(e, ZipErrorKind::Damaged, "it says AES but has no AES field");
                e.Encryption = ZipEncryption::WinZipAes;
            } else {
                e.Encryption = ZipEncryption::Traditional;
            }
        }
        Entries_.push_back(std::move(e));
        at += CentralHeaderSize + nameSize + extraSize + commentSize;
    }
}

const ZipEntry* ZipArchive::Find(std::string_view name) const {
    std::string key = ZipNameKey(name);
    const ZipEntry* found = nullptr;
    for (const auto& e : Entries_) {
        if (ZipNameKey(e.Name) != key)
            continue;
        if (found)
            Fail(e, ZipErrorKind::Damaged, "the archive holds it twice");
        found = &e;
    }
    return found;
}

std::optional<std::uint64_t> ZipArchive::DataStart(const ZipEntry& entry) const {
    std::string_view b = Bytes_;
    if (entry.LocalHeaderOffset > DirectoryStart_ - Shift_)
        return std::nullopt;
    const std::uint64_t header = entry.LocalHeaderOffset + Shift_;
    if (!Within(header, LocalHeaderSize, DirectoryStart_) || U32(b, header) != LocalHeaderSignature)
        return std::nullopt;
    return header + LocalHeaderSize + U16(b, header + 26) + U16(b, header + 28);
}

void ZipArchive::FindOverlaps() {
    // Each entry's bytes run from its local header to the end of its data. Sorted by start, an entry
    // overlaps when it starts before the furthest end seen so far: a deflate stream shared by many names
    // would otherwise be inflated once for each. Entries whose header is missing fail when read anyway.
    struct Span {
        std::uint64_t Start;
        std::uint64_t End;
        std::size_t Index;
    };
    std::vector<Span> spans;
    spans.reserve(Entries_.size());
    for (std::size_t i = 0; i < Entries_.size(); ++i) {
        const auto data = DataStart(Entries_[i]);
        if (data && Within(*data, Entries_[i].CompressedSize, DirectoryStart_))
            spans.push_back({Entries_[i].LocalHeaderOffset + Shift_, *data + Entries_[i].CompressedSize, i});
    }
    std::stable_sort(spans.begin(), spans.end(),
                     [](const Span& a, const Span& b) { return a.Start < b.Start; });
    std::optional<Span> furthest;
    for (const auto& span : spans) {
        if (furthest && span.Start < furthest->End) {
            Entries_[span.Index].Overlaps = furthest->Index;
            if (!Entries_[furthest->Index].Overlaps)
                Entries_[furthest->Index].Overlaps = span.Index;
        }
        if (!furthest || span.End > furthest->End)
            furthest = span;
    }
}

std::string_view ZipArchive::EntryData(const ZipEntry& entry) const {
    std::string_view b = Bytes_;
    // Local data lies before the central directory; offsets count from the archive's own start.
    std::uint64_t header = entry.LocalHeaderOffset;
    if (header > DirectoryStart_ - Shift_)
        Fail(entry, ZipErrorKind::Damaged, "its local header lies outside the file");
    header += Shift_;
    if (!Within(header, LocalHeaderSize, DirectoryStart_) || U32(b, header) != LocalHeaderSignature)
        Fail(entry, ZipErrorKind::Damaged, "its local header is missing");
    std::uint64_t data = header + LocalHeaderSize + U16(b, header + 26) + U16(b, header + 28);
    // The central directory's sizes count: with a data descriptor the local header holds none.
    if (!Within(data, entry.CompressedSize, DirectoryStart_))
        Fail(entry, ZipErrorKind::Damaged, "its data runs past the end of the file");
    return b.substr(data, entry.CompressedSize);
}

void ZipArchive::CheckReadable(const ZipEntry& entry) const {
    if (entry.Overlaps && *entry.Overlaps < Entries_.size())
        Fail(entry, ZipErrorKind::Damaged,
             "its data overlaps that of \"" + Entries_[*entry.Overlaps].Name + "\"");
    if (entry.Flags & FlagStrongEncryption)
        Fail(entry, ZipErrorKind::Unsupported,
             "uses PKWARE strong encryption, which this program cannot read");
    if (entry.UncompressedSize > Limits_.MaxEntrySize)
        Fail(entry, ZipErrorKind::Unsupported,
             "is too big (" + std::to_string(entry.UncompressedSize) + " bytes; this program reads at most " +
                 std::to_string(Limits_.MaxEntrySize) + ")");
}

std::string ZipArchive::ReadStart(const ZipEntry& entry, std::size_t size) const {
    if (entry.Encryption != ZipEncryption::None)
        return Read(entry);
    ZipEntryReader reader(*this, entry);
    reader.Checks_ = false;
    std::string out(static_cast<std::size_t>(std::min<std::uint64_t>(size, entry.UncompressedSize)), '\0');
    out.resize(ReadFully(reader, out.data(), out.size()));
    return out;
}

std::string ZipArchive::Read(const ZipEntry& entry, std::optional<std::string_view> password) const {
    ZipEntryReader reader(*this, entry, password);
    // Nothing is kept from the declared size: the text grows as blocks come out, each paid for first.
    std::string out;
    for (;;) {
        const std::size_t had = out.size();
        out.resize(had + InflateBlock);
        const std::size_t got = reader.Read(out.data() + had, InflateBlock);
        out.resize(had + got);
        if (got == 0)
            return out;
    }
}

struct ZipEntryReader::State {
    std::string_view Input;      // compressed (and encrypted) bytes not yet taken
    std::uint64_t Decrypted = 0; // bytes of input decrypted so far
    std::optional<TraditionalZipCipher> Traditional;
    std::optional<WinZipAesKeys> Aes;
    std::string Plain; // the last slice of input, decrypted
    // After a traditional decryption a failure most likely means a wrong password that passed the check
    // byte, not damage.
    ZipErrorKind Failure = ZipErrorKind::Damaged;
    std::uint16_t Method = 0;
    z_stream Z{};
    bool Inflating = false;
    bool InflateEnded = false;
    bool Ended = false;
    std::uint64_t Out = 0;
    uLong Crc = crc32(0L, Z_NULL, 0);

    ~State() {
        if (Inflating)
            inflateEnd(&Z);
    }
};

ZipEntryReader::ZipEntryReader(const ZipArchive& zip, const ZipEntry& entry,
                               std::optional<std::string_view> password)
    : Zip_(zip), Entry_(entry), State_(std::make_unique<State>()) {
    zip.CheckReadable(entry);
    std::string_view data = zip.EntryData(entry);
    State& s = *State_;
    if (entry.Encryption != ZipEncryption::None && !password)
        Fail(ZipErrorKind::PasswordNeeded, {});
    if (entry.Encryption == ZipEncryption::Traditional) {
        if (data.size() < TraditionalZipCipher::HeaderSize)
            Fail(ZipErrorKind::Damaged, "its encryption header is cut short");
        unsigned char header[TraditionalZipCipher::HeaderSize];
        std::copy_n(data.begin(), TraditionalZipCipher::HeaderSize, header);
        TraditionalZipCipher cipher(*password);
        cipher.Decrypt(header, TraditionalZipCipher::HeaderSize);
        // The header's last byte repeats the CRC's high byte; writers that stream the data (and so put the
        // CRC in a data descriptor) use the high byte of the file time instead.
        const unsigned char check = (entry.Flags & FlagDataDescriptor)
                                        ? static_cast<unsigned char>(entry.DosTime >> 8)
                                        : static_cast<unsigned char>(entry.Crc32 >> 24);
        if (header[TraditionalZipCipher::HeaderSize - 1] != check)
            Fail(ZipErrorKind::WrongPassword, {});
        // One check byte lets about one wrong password in 256 through: then the data does not decompress or
        // check.
        s.Traditional = cipher;
        s.Failure = ZipErrorKind::WrongPassword;
        data.remove_prefix(TraditionalZipCipher::HeaderSize);
    } else if (entry.Encryption == ZipEncryption::WinZipAes) {
        if (entry.AesVersion != 1 && entry.AesVersion != 2)
            Fail(ZipErrorKind::Unsupported, "uses WinZip AES version " + std::to_string(entry.AesVersion) +
                                                ", which this program cannot read");
        if (entry.AesStrength < 1 || entry.AesStrength > 3)
            Fail(ZipErrorKind::Damaged,
                 "its AES key strength " + std::to_string(entry.AesStrength) + " is none");
        const std::size_t saltSize = WinZipAesParameters::SaltSize(entry.AesStrength);
        const std::size_t overhead =
            saltSize + WinZipAesParameters::VerifierSize + WinZipAesParameters::AuthenticationSize;
        if (data.size() < overhead)
            Fail(ZipErrorKind::Damaged, "its AES header is cut short");
        WinZipAesKeys keys = DeriveWinZipAesKeys(*password, data.substr(0, saltSize), entry.AesStrength);
        if (data.substr(saltSize, WinZipAesParameters::VerifierSize) != keys.Verifier)
            Fail(ZipErrorKind::WrongPassword, {});
        const std::string_view encrypted =
            data.substr(saltSize + WinZipAesParameters::VerifierSize, data.size() - overhead);
        // The code covers the encrypted bytes, which lie in the archive: it is checked before any byte is
        // decrypted, so no altered byte ever reaches a reader. The verifier matched, so the password is all
        // but surely right (about one wrong password in 65536 gets through): a code that does not match means
        // the data changed.
        if (WinZipAesAuthentication(keys, encrypted) !=
            data.substr(data.size() - WinZipAesParameters::AuthenticationSize))
            Fail(ZipErrorKind::Damaged,
                 "its authentication code does not match: the entry is damaged or has been altered");
        s.Aes = std::move(keys);
        data = encrypted;
    }
    s.Input = data;
    s.Method = entry.CompressionMethod();
    if (s.Method == MethodStored) {
        if (data.size() != entry.UncompressedSize)
            Fail(ZipErrorKind::Damaged, "its stored size differs from its size");
    } else if (s.Method == MethodDeflate) {
        if (entry.UncompressedSize / MaxDeflateRatio > data.size())
            Fail(ZipErrorKind::Damaged, "it claims " + std::to_string(entry.UncompressedSize) +
                                            " bytes from " + std::to_string(data.size()) +
                                            " compressed ones, more than deflate can give");
        if (inflateInit2(&s.Z, -MAX_WBITS) != Z_OK)
            throw ZipError(ZipErrorKind::Damaged, zip.EntryLabel(entry), "zlib cannot start inflating.");
        s.Inflating = true;
    } else {
        Fail(ZipErrorKind::Unsupported,
             "uses compression method " + std::to_string(s.Method) + ", which this program cannot read");
    }
}

ZipEntryReader::~ZipEntryReader() = default;

void ZipEntryReader::Fail(ZipErrorKind kind, const std::string& reason) const {
    Zip_.Fail(Entry_, kind, reason);
}

void ZipEntryReader::Take(std::uint64_t bytes) {
    const ZipBudget& budget = *Zip_.Budget();
    if (!Zip_.Budget()->Take(bytes))
        Fail(ZipErrorKind::Damaged,
             "the file inflates to more than the " + std::to_string(budget.Limit()) +
                 " bytes it may give in all (" + std::to_string(Zip_.Limits().BudgetPerByte) +
                 " times its size, at least " + std::to_string(Zip_.Limits().MinBudget) + ")");
}

std::string_view ZipEntryReader::NextInput(std::size_t most) {
    State& s = *State_;
    const std::string_view in = s.Input.substr(0, most);
    s.Input.remove_prefix(in.size());
    if (!s.Traditional && !s.Aes)
        return in;
    s.Plain.assign(in);
    auto* bytes = reinterpret_cast<unsigned char*>(s.Plain.data());
    if (s.Traditional)
        s.Traditional->Decrypt(bytes, s.Plain.size());
    else
        WinZipAesCrypt(*s.Aes, bytes, s.Plain.size(), s.Decrypted);
    s.Decrypted += s.Plain.size();
    return s.Plain;
}

void ZipEntryReader::CheckEnd() {
    State& s = *State_;
    s.Ended = true;
    if (!Checks_)
        return;
    if (s.Out != Entry_.UncompressedSize)
        Fail(s.Failure, "it inflates to less than its size");
    const bool checkCrc = !(Entry_.Encryption == ZipEncryption::WinZipAes && Entry_.AesVersion == 2);
    if (checkCrc && static_cast<std::uint32_t>(s.Crc) != Entry_.Crc32)
        Fail(s.Failure, "its CRC-32 check fails");
}

std::size_t ZipEntryReader::Read(char* to, std::size_t size) {
    State& s = *State_;
    if (s.Ended || size == 0)
        return 0;
    // zlib counts in 32-bit units; a decrypted slice is one inflate block.
    size = std::min<std::size_t>(size, UINT_MAX);
    const bool encrypted = s.Traditional || s.Aes;
    std::size_t got = 0;
    if (s.Method == MethodStored) {
        const std::string_view in = NextInput(encrypted ? std::min(size, InflateBlock) : size);
        got = in.size();
        Take(got);
        std::copy(in.begin(), in.end(), to);
    } else {
        while (got == 0 && !s.InflateEnded) {
            if (s.Z.avail_in == 0) {
                const std::string_view in = NextInput(encrypted ? InflateBlock : UINT_MAX);
                s.Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
                s.Z.avail_in = static_cast<uInt>(in.size());
            }
            s.Z.next_out = reinterpret_cast<Bytef*>(to);
            s.Z.avail_out = static_cast<uInt>(size);
            const int status = inflate(&s.Z, Z_NO_FLUSH);
            got = size - s.Z.avail_out;
            if (got > Entry_.UncompressedSize - s.Out)
                Fail(s.Failure, "it inflates to more than its size");
            Take(got);
            if (status == Z_STREAM_END)
                s.InflateEnded = true;
            else if (status != Z_OK)
                Fail(s.Failure, "its compressed data is invalid or cut short");
        }
    }
    s.Crc = crc32(s.Crc, reinterpret_cast<const Bytef*>(to), static_cast<uInt>(got));
    s.Out += got;
    if (got == 0)
        CheckEnd();
    return got;
}

void ZipEntryReader::Finish() {
    std::string sink(InflateBlock, '\0');
    while (Read(sink.data(), sink.size()) > 0) {
    }
}

} // namespace zelo
