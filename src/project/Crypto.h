#pragma once
// The few cryptographic primitives that encrypted zip archives need, behind a small interface so the reader
// does not depend on the library that implements them. Bytes travel as std::string.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zelo::crypto {

// PBKDF2 with HMAC-SHA256 or HMAC-SHA1: `length` bytes of key from a password and a salt.
std::string Pbkdf2Sha256(std::string_view password, std::string_view salt, unsigned iterations,
                         std::size_t length);
std::string Pbkdf2Sha1(std::string_view password, std::string_view salt, unsigned iterations,
                       std::size_t length);

// HMAC-SHA1 of the data under the key (20 bytes).
std::string HmacSha1(std::string_view key, std::string_view data);

// AES with a 16, 24 or 32-byte key, encrypting whole 16-byte blocks independently (ECB).
class AesEcb {
public:
    static constexpr std::size_t BlockSize = 16;
    explicit AesEcb(std::string_view key);
    ~AesEcb();
    AesEcb(const AesEcb&) = delete;
    AesEcb& operator=(const AesEcb&) = delete;

    // Encrypts `size` bytes (a multiple of the block size) from `in` to `out`; both may be the same buffer.
    void Encrypt(const unsigned char* in, unsigned char* out, std::size_t size) const;

private:
    struct Handle;
    std::unique_ptr<Handle> Handle_;
};

// AES in counter mode with the counter as a 128-bit little-endian number, the way WinZip's AES entries use
// it: the key stream of block n (from 0) is AES(counter + n). Encryption and decryption are the same
// operation.
void AesCtrLittleEndian(const AesEcb& aes, unsigned char* data, std::size_t size,
                        std::uint64_t firstCounter = 1);

} // namespace zelo::crypto
