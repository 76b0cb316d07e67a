// The login's cryptography against published test vectors: RFC 4648 for
// base64, FIPS 180-2 for SHA-256, RFC 4231 for HMAC, RFC 7914 for PBKDF2.
#include <gtest/gtest.h>

#include <set>

#include "platform/crypto.h"

namespace kolu {
namespace {

std::string hex(std::string_view bytes) {
    std::string out;
    for (const unsigned char c : bytes) {
        out += "0123456789abcdef"[c >> 4];
        out += "0123456789abcdef"[c & 0xF];
    }
    return out;
}

TEST(CryptoTest, Base64FollowsTheRfcVectorsBothWaysAndRefusesWhatIsNotStrictBase64) {
    for (const auto& [plain, encoded] : {std::pair{"", ""},
                                         {"f", "Zg=="},
                                         {"fo", "Zm8="},
                                         {"foo", "Zm9v"},
                                         {"foob", "Zm9vYg=="},
                                         {"fooba", "Zm9vYmE="},
                                         {"foobar", "Zm9vYmFy"},
                                         {"\xff\xfe\x80", "//6A"}}) {
        EXPECT_EQ(base64Encode(plain), encoded);
        EXPECT_EQ(base64Decode(encoded), plain) << encoded;
    }
    for (const std::string_view bad : {"Zg=", "Zg", "Zm9v\n", "Zm 9", "Zm9-", "Z===", "=Zm9",
                                       "Zg==Zm9v", "Zm=v", "Zh==", "Zm9="}) {
        EXPECT_EQ(base64Decode(bad), std::nullopt) << bad;
    }
}

TEST(CryptoTest, DigestsAndKeysMatchPublishedVectors) {
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(hmacSha256("Jefe", "what do ya want for nothing?")),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    // A key longer than the block is hashed first.
    EXPECT_EQ(hex(hmacSha256(std::string(131, '\xaa'),
                             "Test Using Larger Than Block-Size Key - Hash Key First")),
              "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
    // Two blocks of output; many iterations are covered by the SCRAM example.
    EXPECT_EQ(hex(pbkdf2Sha256("passwd", "salt", 1, 64)),
              "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
              "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
}

TEST(CryptoTest, RandomBytesComeInTheCountAskedAndDiffer) {
    std::set<std::string> seen;
    for (int i = 0; i < 4; ++i) {
        const auto bytes = randomBytes(18);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(bytes->size(), 18u);
        seen.insert(*bytes);
    }
    EXPECT_EQ(seen.size(), 4u);
}

}  // namespace
}  // namespace kolu
