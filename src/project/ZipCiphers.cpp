#include "project/ZipCiphers.h"

#include "project/Crypto.h"

#include <zlib.h>

#include <algorithm>

namespace zelo {

namespace {

// One step of the CRC-32 the cipher's key schedule is built on; zlib's table serves.
std::uint32_t Crc32Step(std::uint32_t crc, unsigned char byte) {
    static const z_crc_t* table = get_crc_table();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

} // namespace

TraditionalZipCipher::TraditionalZipCipher(std::string_view password)
    : Keys_{0x12345678, 0x23456789, 0x34567890} {
    for (char c : password)
        Update(static_cast<unsigned char>(c));
}

unsigned char TraditionalZipCipher::KeyStreamByte() const {
    std::uint16_t temp = static_cast<std::uint16_t>(Keys_[2] | 2);
    return static_cast<unsigned char>((temp * (temp ^ 1u)) >> 8);
}

void TraditionalZipCipher::Update(unsigned char plain) {
    Keys_[0] = Crc32Step(Keys_[0], plain);
    Keys_[1] = (Keys_[1] + (Keys_[0] & 0xFF)) * 134775813u + 1;
    Keys_[2] = Crc32Step(Keys_[2], static_cast<unsigned char>(Keys_[1] >> 24));
}

void TraditionalZipCipher::Decrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        data[i] ^= KeyStreamByte();
        Update(data[i]);
    }
}

void TraditionalZipCipher::Encrypt(unsigned char* data, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
        unsigned char plain = data[i];
        data[i] ^= KeyStreamByte();
        Update(plain);
    }
}

WinZipAesKeys DeriveWinZipAesKeys(std::string_view password, std::string_view salt, int strength) {
    std::size_t keySize = WinZipAesParameters::KeySize(strength);
    std::string material = crypto::Pbkdf2Sha1(password, salt, WinZipAesParameters::Iterations,
                                              2 * keySize + WinZipAesParameters::VerifierSize);
    return {material.substr(0, keySize), material.substr(keySize, keySize),
            material.substr(2 * keySize, WinZipAesParameters::VerifierSize)};
}

void WinZipAesCrypt(const WinZipAesKeys& keys, unsigned char* data, std::size_t size, std::uint64_t offset) {
    constexpr std::size_t Block = crypto::AesEcb::BlockSize;
    crypto::AesEcb aes(keys.Encryption);
    // The counter starts at 1 and counts blocks; a slice that begins inside a block takes the rest of its
    // key.
    if (const std::size_t skip = offset % Block; skip != 0 && size > 0) {
        unsigned char block[Block] = {};
        const std::size_t n = std::min(size, Block - skip);
        std::copy_n(data, n, block + skip);
        crypto::AesCtrLittleEndian(aes, block, Block, 1 + offset / Block);
        std::copy_n(block + skip, n, data);
        data += n;
        size -= n;
        offset += n;
    }
    crypto::AesCtrLittleEndian(aes, data, size, 1 + offset / Block);
}

std::string WinZipAesAuthentication(const WinZipAesKeys& keys, std::string_view encrypted) {
    return crypto::HmacSha1(keys.Authentication, encrypted)
        .substr(0, WinZipAesParameters::AuthenticationSize);
}

} // namespace zelo
