#pragma once
// The two encryptions met in zip archives: the traditional PKWARE stream cipher ("ZipCrypto") and WinZip's
// AES (key derivation, verifier, authentication code). The archive reader decrypts with them; writers of test
// archives encrypt with them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zelo {

class TraditionalZipCipher {
public:
    static constexpr std::size_t HeaderSize = 12;

    explicit TraditionalZipCipher(std::string_view password);
    void Decrypt(unsigned char* data, std::size_t size);
    void Encrypt(unsigned char* data, std::size_t size);

private:
    unsigned char KeyStreamByte() const;
    void Update(unsigned char plain);
    std::uint32_t Keys_[3];
};

// WinZip AES strength 1, 2, 3: AES-128, -192, -256.
struct WinZipAesParameters {
    static constexpr std::size_t VerifierSize = 2;
    static constexpr std::size_t AuthenticationSize = 10;
    static constexpr unsigned Iterations = 1000;
    static std::size_t KeySize(int strength) { return 8 + 8 * static_cast<std::size_t>(strength); }
    static std::size_t SaltSize(int strength) { return 4 + 4 * static_cast<std::size_t>(strength); }
};

struct WinZipAesKeys {
    std::string Encryption;     // the AES key
    std::string Authentication; // the HMAC-SHA1 key
    std::string Verifier;       // the two bytes stored after the salt
};

WinZipAesKeys DeriveWinZipAesKeys(std::string_view password, std::string_view salt, int strength);

// Encrypts or decrypts an entry's data in place (counter mode, so both are the same); `offset` is where in
// the entry's data they lie, so an entry can be taken slice by slice.
void WinZipAesCrypt(const WinZipAesKeys& keys, unsigned char* data, std::size_t size,
                    std::uint64_t offset = 0);

// The ten bytes of authentication code WinZip stores after the encrypted data.
std::string WinZipAesAuthentication(const WinZipAesKeys& keys, std::string_view encrypted);

} // namespace zelo
