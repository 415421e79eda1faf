// The primitives against published test vectors, and the ETS password derivation against its known values.
#include "project/Crypto.h"
#include "ZipWriter.h"
#include "project/ProjectArchive.h"

#include <gtest/gtest.h>

using namespace zelo;
using namespace zelo::test;

TEST(Crypto, Pbkdf2KnownAnswers) {
    // RFC 6070 (HMAC-SHA1) and RFC 7914 section 11 (HMAC-SHA256).
    const struct {
        bool Sha256;
        std::string Password, Salt;
        unsigned Iterations;
        std::size_t Length;
        std::string Hex;
    } cases[] = {
        {false, "password", "salt", 1, 20, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {false, "password", "salt", 4096, 20, "4b007901b765489abead49d926f721d065a429c1"},
        {false, "passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {false, std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16,
         "56fa6aa75548099dcc37d7f03425e0c3"},
        {true, "passwd", "salt", 1, 64,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
        {true, "Password", "NaCl", 80000, 64,
         "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
         "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
    };
    for (const auto& c : cases) {
        std::string key = c.Sha256 ? crypto::Pbkdf2Sha256(c.Password, c.Salt, c.Iterations, c.Length)
                                   : crypto::Pbkdf2Sha1(c.Password, c.Salt, c.Iterations, c.Length);
        EXPECT_EQ(ToHex(key), c.Hex) << c.Password << " " << c.Iterations;
    }
}

TEST(Crypto, HmacSha1KnownAnswers) {
    // RFC 2202 cases 1, 2 and 6 (a key longer than the hash's block), and the empty key and message.
    const struct {
        std::string Key, Data, Hex;
    } cases[] = {
        {std::string(20, '\x0b'), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
        {"Jefe", "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
        {std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
        {"", "", "fbdb1d1b18aa6c08324b7d64b71fb76370690e1d"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ToHex(crypto::HmacSha1(c.Key, c.Data)), c.Hex) << c.Data;
}

TEST(Crypto, AesKnownAnswers) {
    // FIPS-197 appendix C: one block under 128, 192 and 256-bit keys.
    const std::string plain = FromHex("00112233445566778899aabbccddeeff");
    const struct {
        std::string KeyHex, CipherHex;
    } cases[] = {
        {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
         "8ea2b7ca516745bfeafc49904b496089"},
    };
    for (const auto& c : cases) {
        crypto::AesEcb aes(FromHex(c.KeyHex));
        std::string block = plain;
        auto* bytes = reinterpret_cast<unsigned char*>(block.data());
        aes.Encrypt(bytes, bytes, block.size());
        EXPECT_EQ(ToHex(block), c.CipherHex) << c.KeyHex;
    }
    EXPECT_THROW(crypto::AesEcb(std::string(20, 'k')), Exception);
}

TEST(Crypto, CounterModeCountsLittleEndianAcrossCarries) {
    // The key stream must be AES of the counter written little-endian, block by block: compared here with the
    // single-block encryption checked above, across byte carries and past the chunk the key stream is made
    // in.
    const crypto::AesEcb aes(FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"));
    const struct {
        std::uint64_t First;
        std::size_t Size;
    } cases[] = {
        {1, 5}, {1, 16}, {1, 33}, {0xFF, 40}, {0xFFFF, 48}, {0xFFFFFFFFFFFFFFFFull, 48}, {1, 256 * 16 + 21},
    };
    for (const auto& c : cases) {
        std::string data(c.Size, '\0');
        for (std::size_t i = 0; i < c.Size; ++i)
            data[i] = static_cast<char>(i * 7);
        std::string expected = data;
        unsigned char counter[16] = {};
        for (int i = 0; i < 8; ++i)
            counter[i] = static_cast<unsigned char>(c.First >> (8 * i));
        for (std::size_t block = 0; block * 16 < c.Size; ++block) {
            unsigned char stream[16];
            aes.Encrypt(counter, stream, 16);
            for (std::size_t i = 0; i < 16 && block * 16 + i < c.Size; ++i)
                expected[block * 16 + i] = static_cast<char>(expected[block * 16 + i] ^ stream[i]);
            for (int i = 0; i < 16 && ++counter[i] == 0; ++i) {
            }
        }
        crypto::AesCtrLittleEndian(aes, reinterpret_cast<unsigned char*>(data.data()), data.size(), c.First);
        EXPECT_EQ(ToHex(data), ToHex(expected)) << c.First << " " << c.Size;
    }
}

TEST(EtsZipPassword, KnownDerivations) {
    const struct {
        std::string Password, Zip;
    } cases[] = {
        {"a", "+FAwP4iI7/Pu4WB3HdIHbbFmteLahPAVkjJShKeozAA="},
        {"test", "2+IIP7ErCPPKxFjJXc59GFx2+w/1VTLHjJ2duc04CYQ="},
        {"", "a/wV5L61/gTOfxSn9IoDBw4EDcvJCKjUFlzyMXurLmg="},
        // Two, three and four-byte UTF-8 (the last one a surrogate pair in UTF-16).
        {"K\u00FCche\xE2\x82\xAC\xF0\x9F\x98\x80", "TKR1lH7Vj6QwpmgcMtgoYHPXpShC8/jQ8t3VzohJqqI="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EtsZipPassword(c.Password), c.Zip) << c.Password;
}

TEST(EtsZipPassword, Utf16AndBase64) {
    const struct {
        std::string Utf8, Utf16Hex;
    } texts[] = {
        {"Ab", "41006200"},
        {"\xC3\xBC\xE2\x82\xAC", "fc00ac20"},
        {"\xF0\x9F\x98\x80", "3dd800de"},
        {"\xC0\x80", "fdfffdff"},              // overlong: each byte is malformed
        {"\xED\xA0\x80x", "fdfffdfffdff7800"}, // an encoded surrogate
        {"\xE2\x82", "fdfffdff"},              // cut short
        {"\xF5\x80\x80\x80", "fdfffdfffdfffdff"},
        {"\x80", "fdff"},
    };
    for (const auto& t : texts)
        EXPECT_EQ(ToHex(Utf8ToUtf16Le(t.Utf8)), t.Utf16Hex) << ToHex(t.Utf8);

    // RFC 4648 section 10.
    const struct {
        std::string Bytes, Text;
    } base64[] = {{"", ""},
                  {"f", "Zg=="},
                  {"fo", "Zm8="},
                  {"foo", "Zm9v"},
                  {"foob", "Zm9vYg=="},
                  {"fooba", "Zm9vYmE="},
                  {"foobar", "Zm9vYmFy"},
                  {"\xFF\xFE", "//4="}};
    for (const auto& b : base64)
        EXPECT_EQ(Base64(b.Bytes), b.Text) << b.Bytes;
}
