#include "ZipWriter.h"

#include "project/ZipCiphers.h"

#include <zlib.h>

#include <random>
#include <stdexcept>

namespace zelo::test {

namespace {

void Put16(std::string& out, std::uint64_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint64_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, (v >> 16) & 0xFFFF);
}

void Put64(std::string& out, std::uint64_t v) {
    Put32(out, v & 0xFFFFFFFF);
    Put32(out, v >> 32);
}

struct Written {
    const ZipWriterEntry* Entry;
    std::uint16_t Flags;
    std::uint16_t Method;
    std::uint32_t Crc;
    std::uint64_t CompressedSize;
    std::uint64_t Offset;
    std::string Extra;  // the AES field, shared by both headers
    std::uint64_t Size; // as declared
};

} // namespace

std::string Deflate(const std::string& bytes, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    int pending = -1;
    for (char c : hex) {
        int v = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
        if (v < 0)
            continue;
        if (pending < 0) {
            pending = v;
        } else {
            out += static_cast<char>(pending << 4 | v);
            pending = -1;
        }
    }
    return out;
}

std::string ToHex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string WriteZip(const std::vector<ZipWriterEntry>& entries, const ZipWriterOptions& options) {
    std::string out = options.Stub;
    const std::uint64_t base = options.Stub.size();
    std::mt19937 random(2024);
    auto randomBytes = [&random](std::size_t n) {
        std::string s;
        for (std::size_t i = 0; i < n; ++i)
            s += static_cast<char>(random() & 0xFF);
        return s;
    };

    std::vector<Written> written;
    for (const auto& e : entries) {
        if (e.DataOf) {
            Written shared = written.at(*e.DataOf);
            shared.Entry = &e;
            written.push_back(shared);
            continue;
        }
        Written w{&e,       0,
                  e.Method, ZipCrc32(e.Data),
                  0,        out.size() - base,
                  {},       e.DeclaredSize.value_or(e.Data.size())};
        std::string payload = e.Method == 8 ? Deflate(e.Data) : e.Data;
        if (e.DataDescriptor != Descriptor::None)
            w.Flags |= 0x0008;
        if (e.Encryption == ZipEncryption::Traditional) {
            w.Flags |= 0x0001;
            std::string header = randomBytes(TraditionalZipCipher::HeaderSize - 1);
            header += static_cast<char>(e.DataDescriptor != Descriptor::None ? e.DosTime >> 8 : w.Crc >> 24);
            std::string plain = header + payload;
            TraditionalZipCipher cipher(e.Password);
            cipher.Encrypt(reinterpret_cast<unsigned char*>(plain.data()), plain.size());
            payload = plain;
        } else if (e.Encryption == ZipEncryption::WinZipAes) {
            w.Flags |= 0x0001;
            std::string salt = randomBytes(WinZipAesParameters::SaltSize(e.AesStrength));
            WinZipAesKeys keys = DeriveWinZipAesKeys(e.Password, salt, e.AesStrength);
            WinZipAesCrypt(keys, reinterpret_cast<unsigned char*>(payload.data()), payload.size());
            payload = salt + keys.Verifier + payload + WinZipAesAuthentication(keys, payload);
            Put16(w.Extra, 0x9901);
            Put16(w.Extra, 7);
            Put16(w.Extra, static_cast<std::uint64_t>(e.AesVersion));
            w.Extra += "AE";
            w.Extra += static_cast<char>(e.AesStrength);
            Put16(w.Extra, e.Method);
            w.Method = 99;
            if (e.AesVersion == 2)
                w.Crc = 0;
        }
        w.CompressedSize = payload.size();

        bool descriptor = e.DataDescriptor != Descriptor::None;
        std::string localExtra = w.Extra;
        if (e.Zip64) {
            Put16(localExtra, 0x0001);
            Put16(localExtra, 16);
            Put64(localExtra, descriptor ? 0 : e.Data.size());
            Put64(localExtra, descriptor ? 0 : w.CompressedSize);
        }
        Put32(out, 0x04034b50);
        Put16(out, e.Zip64 ? 45 : 20);
        Put16(out, w.Flags);
        Put16(out, w.Method);
        Put16(out, e.DosTime);
        Put16(out, e.DosDate);
        Put32(out, descriptor ? 0 : w.Crc);
        Put32(out, e.Zip64 ? 0xFFFFFFFF : descriptor ? 0 : w.CompressedSize);
        Put32(out, e.Zip64 ? 0xFFFFFFFF : descriptor ? 0 : w.Size);
        Put16(out, e.Name.size());
        Put16(out, localExtra.size());
        out += e.Name + localExtra + payload;
        if (descriptor) {
            if (e.DataDescriptor == Descriptor::WithSignature)
                Put32(out, 0x08074b50);
            Put32(out, w.Crc);
            if (e.Zip64) {
                Put64(out, w.CompressedSize);
                Put64(out, e.Data.size());
            } else {
                Put32(out, w.CompressedSize);
                Put32(out, e.Data.size());
            }
        }
        written.push_back(w);
    }

    const std::uint64_t directoryOffset = out.size() - base;
    for (const auto& w : written) {
        const ZipWriterEntry& e = *w.Entry;
        std::string extra = w.Extra;
        if (e.Zip64) {
            Put16(extra, 0x0001);
            Put16(extra, 24);
            Put64(extra, w.Size);
            Put64(extra, w.CompressedSize);
            Put64(extra, w.Offset);
        }
        Put32(out, 0x02014b50);
        Put16(out, 0x031E);
        Put16(out, e.Zip64 ? 45 : 20);
        Put16(out, w.Flags);
        Put16(out, w.Method);
        Put16(out, e.DosTime);
        Put16(out, e.DosDate);
        Put32(out, w.Crc);
        Put32(out, e.Zip64 ? 0xFFFFFFFF : w.CompressedSize);
        Put32(out, e.Zip64 ? 0xFFFFFFFF : w.Size);
        Put16(out, e.Name.size());
        Put16(out, extra.size());
        Put16(out, 0); // comment
        Put16(out, 0); // disk
        Put16(out, 0); // internal attributes
        Put32(out, 0); // external attributes
        Put32(out, e.Zip64 ? 0xFFFFFFFF : w.Offset);
        out += e.Name + extra;
    }
    const std::uint64_t directorySize = out.size() - base - directoryOffset;

    if (options.Zip64End) {
        const std::uint64_t end64 = out.size() - base;
        Put32(out, 0x06064b50);
        Put64(out, 44);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        Put64(out, entries.size());
        Put64(out, entries.size());
        Put64(out, directorySize);
        Put64(out, directoryOffset);
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put64(out, end64);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, options.Zip64End ? 0xFFFF : entries.size());
    Put16(out, options.Zip64End ? 0xFFFF : entries.size());
    Put32(out, options.Zip64End ? 0xFFFFFFFF : directorySize);
    Put32(out, options.Zip64End ? 0xFFFFFFFF : directoryOffset);
    Put16(out, options.Comment.size());
    out += options.Comment;
    return out;
}

} // namespace zelo::test
