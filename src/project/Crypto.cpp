// The primitives over libgcrypt.
#include "project/Crypto.h"

#include "model/Error.h"

#include <gcrypt.h>

#include <algorithm>
#include <array>

namespace zelo::crypto {

namespace {

// libgcrypt wants to be told once that the program is done setting it up; secure memory stays off, since
// nothing here is a long-lived secret worth locked pages (and they need privileges).
void EnsureLibrary() {
    static const bool ready = [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
            if (!gcry_check_version(GCRYPT_VERSION))
                throw Exception(
                    "The cryptographic library libgcrypt is older than the one this program was built "
                    "with (" GCRYPT_VERSION ").");
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return true;
    }();
    (void)ready;
}

[[noreturn]] void Fail(const char* what, gcry_error_t error) {
    throw Exception(std::string(what) + " failed: " + gcry_strerror(error));
}

std::string Pbkdf2(int hash, std::string_view password, std::string_view salt, unsigned iterations,
                   std::size_t length) {
    EnsureLibrary();
    std::string key(length, '\0');
    // libgcrypt refuses an empty passphrase pointer; an empty password is still a password.
    static const char empty = 0;
    gcry_error_t error =
        gcry_kdf_derive(password.empty() ? &empty : password.data(), password.size(), GCRY_KDF_PBKDF2, hash,
                        salt.data(), salt.size(), iterations, length, key.data());
    if (error)
        Fail("PBKDF2", error);
    return key;
}

} // namespace

std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                         std::size_t length) {
    return Pbkdf2(GCRY_MD_SHA256, password, salt, iterations, length);
}

std::string Pbkdf2Sha1(std::string_view password, std::string_view salt, unsigned iterations,
                       std::size_t length) {
    return Pbkdf2(GCRY_MD_SHA1, password, salt, iterations, length);
}

std::string HmacSha1(std::string_view key, std::string_view data) {
    EnsureLibrary();
    gcry_mac_hd_t mac = nullptr;
    gcry_error_t error = gcry_mac_open(&mac, GCRY_MAC_HMAC_SHA1, 0, nullptr);
    if (error)
        Fail("HMAC-SHA1", error);
    std::string out(20, '\0');
    std::size_t outSize = out.size();
    static const char empty = 0;
    error = gcry_mac_setkey(mac, key.empty() ? &empty : key.data(), key.size());
    if (!error)
        error = gcry_mac_write(mac, data.data(), data.size());
    if (!error)
        error = gcry_mac_read(mac, out.data(), &outSize);
    gcry_mac_close(mac);
    if (error)
        Fail("HMAC-SHA1", error);
    return out;
}

struct AesEcb::Handle {
    gcry_cipher_hd_t Cipher = nullptr;
    ~Handle() { gcry_cipher_close(Cipher); }
};

AesEcb::AesEcb(std::string_view key) : Handle_(std::make_unique<Handle>()) {
    EnsureLibrary();
    int algorithm = key.size() == 16   ? GCRY_CIPHER_AES128
                    : key.size() == 24 ? GCRY_CIPHER_AES192
                    : key.size() == 32 ? GCRY_CIPHER_AES256
                                       : 0;
    if (!algorithm)
        throw Exception("AES needs a key of 16, 24 or 32 bytes, not " + std::to_string(key.size()) + ".");
    gcry_error_t error = gcry_cipher_open(&Handle_->Cipher, algorithm, GCRY_CIPHER_MODE_ECB, 0);
    if (!error)
        error = gcry_cipher_setkey(Handle_->Cipher, key.data(), key.size());
    if (error)
        Fail("AES", error);
}

AesEcb::~AesEcb() = default;

void AesEcb::Encrypt(const unsigned char* in, unsigned char* out, std::size_t size) const {
    if (size % BlockSize)
        throw Exception("AES encrypts whole blocks of 16 bytes only.");
    if (size == 0)
        return;
    gcry_error_t error = in == out ? gcry_cipher_encrypt(Handle_->Cipher, out, size, nullptr, 0)
                                   : gcry_cipher_encrypt(Handle_->Cipher, out, size, in, size);
    if (error)
        Fail("AES", error);
}

void AesCtrLittleEndian(const AesEcb& aes, unsigned char* data, std::size_t size,
                        std::uint64_t firstCounter) {
    // Key stream for many blocks at once: one library call per chunk instead of one per block.
    constexpr std::size_t ChunkBlocks = 256;
    std::array<unsigned char, ChunkBlocks * AesEcb::BlockSize> stream{};
    std::array<unsigned char, AesEcb::BlockSize> counter{};
    for (std::size_t i = 0; i < 8; ++i)
        counter[i] = static_cast<unsigned char>(firstCounter >> (8 * i));
    std::size_t done = 0;
    while (done < size) {
        std::size_t blocks = std::min(ChunkBlocks, (size - done + AesEcb::BlockSize - 1) / AesEcb::BlockSize);
        for (std::size_t b = 0; b < blocks; ++b) {
            std::copy(counter.begin(), counter.end(), stream.begin() + b * AesEcb::BlockSize);
            for (auto& byte : counter)
                if (++byte != 0)
                    break;
        }
        aes.Encrypt(stream.data(), stream.data(), blocks * AesEcb::BlockSize);
        std::size_t bytes = std::min(size - done, blocks * AesEcb::BlockSize);
        for (std::size_t i = 0; i < bytes; ++i)
            data[done + i] ^= stream[i];
        done += bytes;
    }
}

} // namespace zelo::crypto
