// Cipher, digest and hex helpers against vectors from the openssl command line.
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "agentio_util.hpp"
#include "core/crypto.h"

using agentio::Bytes;
using agentio::from_hex;
using agentio::to_hex;

namespace {

const unsigned char kKey[] = "0123456789abcdef0123456789abcdef";

Bytes aes_enc(const Bytes &in)
{
    unsigned char *out = nullptr;
    int n = 0;
    EXPECT_EQ(0, en_aes256_ecb(kKey, in.data(), static_cast<int>(in.size()), &out, &n));
    Bytes r(out, out + n);
    free(out);
    return r;
}

std::string field_key_text() { return "YVCT120123456789ABCDEF0123456789ABCDEF"; }

}  // namespace

TEST(Aes256Ecb, MatchesKnownAnswerWithZeroPaddingAndNoExtraBlock)
{
    // printf 'hello\0\0\0\0\0\0\0\0\0\0\0' | openssl enc -aes-256-ecb -nopad
    //   -K 3031323334353637383961626364656630313233343536373839616263646566 | xxd -p
    EXPECT_EQ("11177dea3777287204c2de6387ab13a2", to_hex(aes_enc(Bytes{'h', 'e', 'l', 'l', 'o'})));
    const std::pair<size_t, size_t> lengths[] = {{0, 0}, {1, 16}, {16, 16}, {17, 32}};
    for (const auto &[len, out] : lengths)
        EXPECT_EQ(out, aes_enc(Bytes(len, 'x')).size()) << len;
}

TEST(Aes256Ecb, AgreesWithOpensslOnLongInput)
{
    Bytes plain;
    for (int i = 0; i < 1000; ++i)
        plain.push_back(static_cast<unsigned char>(i * 7 + 3));
    Bytes padded = plain;
    padded.resize(1008, 0);
    auto ref = agentio::openssl({"enc", "-aes-256-ecb", "-nopad", "-K", to_hex(kKey, 32)}, padded);
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(to_hex(*ref), to_hex(aes_enc(plain)));
}

TEST(Aes256Ecb, DecryptRoundTripsAndRejectsPartialBlocks)
{
    const Bytes cipher = from_hex("11177dea3777287204c2de6387ab13a2");
    unsigned char *out = nullptr;
    int n = 0;
    ASSERT_EQ(0, de_aes256_ecb(kKey, cipher.data(), 16, &out, &n));
    ASSERT_EQ(16, n);
    EXPECT_EQ(0, memcmp(out, "hello\0\0\0\0\0\0\0\0\0\0\0", 16));
    free(out);

    out = nullptr;
    EXPECT_EQ(-1, de_aes256_ecb(kKey, cipher.data(), 15, &out, &n));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(-1, de_aes256_ecb(nullptr, cipher.data(), 16, &out, &n));
    EXPECT_EQ(-1, en_aes256_ecb(nullptr, cipher.data(), 16, &out, &n));
    EXPECT_EQ(-1, en_aes256_ecb(kKey, cipher.data(), -1, &out, &n));
}

TEST(Md5, HexDigestMatchesOpensslWithoutTerminator)
{
    // printf 'abc' | openssl md5 ; printf '' | openssl md5
    char out[34];
    memset(out, '#', sizeof out);
    ASSERT_EQ(0, comm_md5sum("abc", out));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72#", std::string(out, 33));
    ASSERT_EQ(0, comm_md5sum("", out));
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", std::string(out, 32));
    EXPECT_EQ(-1, comm_md5sum(nullptr, out));
}

TEST(TripleDes, DecryptsKnownAnswerWithFixedKeyIgnoringATrailingPartialBlock)
{
    // printf 'ACME01:vendorkey' | openssl enc -des-ede3 -nopad
    //   -K 516d3723744c7732405a7239264b703421587638244e6433 | xxd -p
    Bytes cipher = from_hex("54767725c53d00f7d5694f8f7d9331a0");
    cipher.insert(cipher.end(), {1, 2, 3, 4, 5});
    unsigned char out[24];
    memset(out, 0xEE, sizeof out);
    ASSERT_EQ(0, de_3des_ecb(cipher.data(), out, static_cast<int>(cipher.size())));
    EXPECT_EQ(0, memcmp(out, "ACME01:vendorkey\xEE", 17));
}

TEST(TripleDes, EncryptAgreesWithOpenssl)
{
    Bytes plain(40, 0);
    memcpy(plain.data(), "platform.example.test:7686", 26);
    Bytes ours(40, 0);
    ASSERT_EQ(0, en_3des_ecb(plain.data(), ours.data(), 40));
    auto ref = agentio::openssl(
        {"enc", "-des-ede3", "-nopad", "-K", "516d3723744c7732405a7239264b703421587638244e6433"}, plain);
    ASSERT_TRUE(ref.has_value());
    EXPECT_EQ(to_hex(*ref), to_hex(ours));
}

TEST(FieldCipher, EncryptsKnownAnswer)
{
    // K=$(printf 'YVCT120123456789ABCDEF0123456789ABCDEF' | openssl md5 | awk '{print $2}' | xxd -p -c 64)
    // printf 'secret\0\0\0\0\0\0\0\0\0\0' | openssl enc -aes-256-ecb -nopad -K $K | xxd -p
    char out[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "secret", out, sizeof out));
    EXPECT_STREQ("d24259312c5572d0e63f9e9858fdb7f8", out);
}

TEST(FieldCipher, LengthsFollowWholeBlocksUpTo511Characters)
{
    char out[1025];
    const std::pair<size_t, size_t> lengths[] = {{1, 32}, {15, 32}, {16, 32}, {17, 64}, {32, 64}, {600, 1024}};
    for (const auto &[len, hex] : lengths) {
        ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), std::string(len, 'p').c_str(), out, sizeof out));
        EXPECT_EQ(hex, strlen(out)) << len;
    }
}

TEST(FieldCipher, RoundTripsAcceptingUpperCaseHexAndIgnoringATrailingPartialBlock)
{
    char hex[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "exactly16chars!!", hex, sizeof hex));
    for (char *p = hex; *p; ++p)
        *p = static_cast<char>(toupper(*p));
    char plain[513] = {0};
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, plain, sizeof plain));
    EXPECT_STREQ("exactly16chars!!", plain);
    memset(plain, 'X', sizeof plain);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), "d24259312c5572d0e63f9e9858fdb7f8abcdef", plain, 64));
    EXPECT_STREQ("secret", plain);
}

TEST(FieldCipher, DecryptRejectsBadDigitsAndNeverOverflows)
{
    char plain[64] = {0};
    EXPECT_EQ(-1, de_aes256_ecb1(field_key_text().c_str(), "zz4259312c5572d0e63f9e9858fdb7f8", plain, sizeof plain));
    // A 16-character plain text fills its block; an output of 16 bytes leaves no room for it.
    char hex[1025];
    ASSERT_EQ(0, en_aes256_ecb1(field_key_text().c_str(), "exactly16chars!!", hex, sizeof hex));
    char small[17];
    memset(small, 'X', sizeof small);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, small, 16));
    EXPECT_STREQ("", small);
    EXPECT_EQ('X', small[16]);
    ASSERT_EQ(0, de_aes256_ecb1(field_key_text().c_str(), hex, small, 17));
    EXPECT_STREQ("exactly16chars!!", small);
    // Encrypting into a too small area fails instead of writing past it.
    char tiny[32];
    EXPECT_EQ(-1, en_aes256_ecb1(field_key_text().c_str(), "secret", tiny, sizeof tiny));
}

TEST(HexHelpers, ConvertDigitsOfEitherCaseAndStopAtTheFirstBadOne)
{
    const std::pair<char, int> digits[] = {{'0', 0}, {'a', 10}, {'F', 15}, {'g', -1}, {'\0', -1}};
    for (const auto &[c, v] : digits)
        EXPECT_EQ(v, hex2num(c)) << c;
    EXPECT_EQ(0xaB, hex2byte("aB"));
    EXPECT_EQ(-1, hex2byte("a"));
    EXPECT_EQ(-1, hex2byte("x1"));
    unsigned char buf[4] = {0, 0, 0, 0};
    EXPECT_EQ(-1, hexstr2bin("0102zz04", buf, 4));
    EXPECT_EQ(to_hex(buf, 4), "01020000") << "earlier bytes are kept";
    EXPECT_EQ(0, hexstr2bin("deadBEEF", buf, 4));
    EXPECT_EQ(to_hex(buf, 4), "deadbeef");
    const unsigned char in[] = {0x00, 0xab, 0x7f};
    char out[8];
    memset(out, '#', sizeof out);
    AsciiToHex(3, in, out);
    EXPECT_EQ("00AB7F#", std::string(out, 7)) << "upper case without terminator";
    char low[7];
    APP_ChangeNByteToHexDig(3, in, low);
    EXPECT_STREQ("00ab7f", low);
}

TEST(RandomIds, BytesAreLowHalvesOfRandLowByteFirst)
{
    srand(1234);
    unsigned expect[3];
    for (auto &e : expect)
        e = static_cast<unsigned>(rand()) & 0xffff;
    srand(1234);
    unsigned char buf[5];
    APP_GetNByteRandom(5, buf);
    EXPECT_EQ(expect[0] & 0xff, buf[0]);
    EXPECT_EQ(expect[0] >> 8, buf[1]);
    EXPECT_EQ(expect[1] & 0xff, buf[2]);
    EXPECT_EQ(expect[1] >> 8, buf[3]);
    EXPECT_EQ(expect[2] & 0xff, buf[4]);
}

TEST(RandomIds, MessageIdAndDevRndAreLowerHex)
{
    char mid[14];
    memset(mid, '#', sizeof mid);
    ASSERT_EQ(0, getMessageID(mid));
    EXPECT_EQ(12u, strlen(mid));
    EXPECT_EQ(strspn(mid, "0123456789abcdef"), 12u);
    EXPECT_EQ(-1, getMessageID(nullptr));
    char rnd[33];
    ASSERT_EQ(0, getDevRND(rnd));
    EXPECT_EQ(32u, strlen(rnd));
    EXPECT_EQ(strspn(rnd, "0123456789abcdef"), 32u);
}
