// Segments encrypted as an HLS packager does (openssl enc, AES-128-CBC with PKCS#7
// padding), decrypted back; a wrong key or a cut segment is refused with a reason.

#include "Aes128.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace orvanta::crypto;
using namespace orvanta::test;

TEST(Aes128Test, ASegmentEncryptedByOpensslDecryptsAndAWrongKeyOrCutSegmentIsRefused)
{
    TempDir dir;
    std::string plain;
    for (int i = 0; i < 5000; ++i)
        plain += static_cast<char>(i * 7);
    writeFile(dir.file("plain"), plain);
    ASSERT_EQ(runCommand("openssl enc -aes-128-cbc -K 000102030405060708090a0b0c0d0e0f "
                         "-iv 0000000000000000000000000000002a -in '" +
                         dir.file("plain") + "' -out '" + dir.file("sealed") + "'"),
              0);
    const std::string sealed = readFile(dir.file("sealed"));
    Block key{};
    for (std::uint8_t i = 0; i < 16; ++i)
        key[i] = i;
    Block iv{};
    iv[15] = 0x2a;
    std::string error;
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(sealed.data());
    const auto opened = decryptAes128Cbc(bytes, sealed.size(), key, iv, error);
    ASSERT_TRUE(opened) << error;
    EXPECT_EQ(std::string(opened->begin(), opened->end()), plain);

    Block wrong = key;
    wrong[0] ^= 1;
    EXPECT_FALSE(decryptAes128Cbc(bytes, sealed.size(), wrong, iv, error));
    EXPECT_EQ(error, "The segment does not decrypt with the station's key");
    EXPECT_FALSE(decryptAes128Cbc(bytes, sealed.size() - 3, key, iv, error));
    EXPECT_EQ(error, "The encrypted segment is no whole number of AES blocks");
}
