// The platform packet byte for byte, the key rules, and packets exchanged with an independent
// implementation (the openssl command line).
#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "agentio_util.hpp"
#include "core/crypto.h"
#include "core/dev_info.h"
#include "gwtest.hpp"
#include "platform/packet.h"

using agentio::Bytes;
using agentio::from_hex;
using agentio::to_hex;

namespace {

// MD5 hex of the known vendor key: printf 'vk-0123456789abc' | openssl md5
const std::string kDefaultKey = "772649f09f5869e2ba8c2cadc4bcf3f9";
// printf 'vk-0123456789abcchallenge-0001YVCT120123456789ABCDEF0123456789ABCDEF' | openssl md5
const std::string kCheckSN = "5e25ad5af57d42061bbfe6311edd4a2e";

uint8_t g_stage = 0xFF;
uint8_t read_stage() { return g_stage; }

class Packet : public ::testing::Test {
protected:
    void SetUp() override
    {
        agentio::set_known_dev_info();
        memcpy(g_dev_info.CheckSN, kCheckSN.data(), 32);
        g_stage = 0xFF;
        packet_set_stage_reader(read_stage);
    }
    void TearDown() override { packet_set_stage_reader(nullptr); }

    static Bytes pack(const std::string &text, int force_default)
    {
        unsigned char *out = nullptr;
        int n = packMessage(text.data(), static_cast<int>(text.size()), &out, force_default);
        EXPECT_GT(n, 0);
        Bytes r;
        if (n > 0)
            r.assign(out, out + n);
        free(out);
        return r;
    }

    static int unpack(const Bytes &pkt, int force_default, std::string &text)
    {
        char *out = nullptr;
        int n = unpackMessage(pkt.data(), static_cast<int>(pkt.size()), &out, force_default);
        if (out)
            text = out;
        free(out);
        return n;
    }

    // An incoming packet made without our code: 8-byte header and openssl's ciphertext of
    // MD5 hex, text and zero padding.
    static Bytes foreign_packet(const std::string &text, const std::string &key_text, unsigned char selector)
    {
        auto md5 = agentio::openssl({"dgst", "-md5", "-binary"}, Bytes(text.begin(), text.end()));
        EXPECT_TRUE(md5.has_value());
        std::string plain = to_hex(md5.value_or(Bytes(16, 0))) + text;
        plain.resize((plain.size() + 15) / 16 * 16, '\0');
        auto cipher = agentio::openssl({"enc", "-aes-256-ecb", "-nopad", "-K", to_hex(key_text)},
                                       Bytes(plain.begin(), plain.end()));
        EXPECT_TRUE(cipher.has_value());
        const Bytes body = cipher.value_or(Bytes());
        Bytes pkt(8 + body.size(), 0);
        const uint32_t len = htonl(static_cast<uint32_t>(body.size() + 4));
        memcpy(pkt.data(), &len, 4);
        pkt[4] = '$';
        pkt[5] = '$';
        pkt[6] = selector;
        std::copy(body.begin(), body.end(), pkt.begin() + 8);
        return pkt;
    }

    // Decrypts the ciphertext of one of our packets with openssl.
    static std::string foreign_decrypt(const Bytes &pkt, const std::string &key_text)
    {
        Bytes cipher(pkt.begin() + 20, pkt.end());
        auto plain = agentio::openssl({"enc", "-d", "-aes-256-ecb", "-nopad", "-K", to_hex(key_text)}, cipher);
        EXPECT_TRUE(plain.has_value());
        return plain ? std::string(plain->begin(), plain->end()) : std::string();
    }
};

}  // namespace

TEST_F(Packet, EmptyTextGivesFiftyTwoBytesWithLengthFortyEight)
{
    const Bytes pkt = pack("", 0);
    ASSERT_EQ(52u, pkt.size());
    // length 48, "$$", selector 1, reserved 0, "ACME01" and six zero bytes
    EXPECT_EQ("00000030"
              "2424"
              "01"
              "00"
              "41434d453031"
              "000000000000",
              to_hex(Bytes(pkt.begin(), pkt.begin() + 20)));
    // The plaintext is the MD5 hex of the empty text and nothing else.
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", foreign_decrypt(pkt, kDefaultKey));
}

TEST_F(Packet, WholeBlockTextGetsNoPaddingBlock)
{
    for (int k : {3, 5, 64}) {
        const std::string text(static_cast<size_t>(16 * k - 32), 'a');
        const Bytes pkt = pack(text, 0);
        ASSERT_EQ(static_cast<size_t>(16 * k + 20), pkt.size()) << k;
        uint32_t len;
        memcpy(&len, pkt.data(), 4);
        EXPECT_EQ(static_cast<uint32_t>(16 * k + 16), ntohl(len));
    }
    EXPECT_EQ(20u + 96u, pack(std::string(49, 'a'), 0).size());
}

TEST_F(Packet, CiphertextIsDigestTextAndZeroPaddingUnderDefaultKey)
{
    const std::string text = "{\"RPCMethod\":\"Hb\",\"MessageID\":\"0a1b2c3d4e5f\"}";
    const Bytes pkt = pack(text, 0);
    // printf '%s' "$text" | openssl md5
    auto md5 = agentio::openssl({"dgst", "-md5", "-binary"}, Bytes(text.begin(), text.end()));
    ASSERT_TRUE(md5.has_value());
    std::string expect = to_hex(*md5) + text;
    expect.resize((expect.size() + 15) / 16 * 16, '\0');
    EXPECT_EQ(to_hex(expect), to_hex(foreign_decrypt(pkt, kDefaultKey)));
    EXPECT_EQ(1, pkt[6]);
}

TEST_F(Packet, PushInHeartbeatStageUsesRegistrationKeyAndMac)
{
    g_stage = PACKET_STAGE_HEARTBEAT;
    g_dev_info.MessageID[0] = '1';
    gwtest::LogCapture log;
    const std::string text = "{\"RPCMethod\":\"MessagePush\"}";
    const Bytes pkt = pack(text, 0);
    EXPECT_EQ("2424"
              "00"
              "00"
              "413142324333443445354636",
              to_hex(Bytes(pkt.begin() + 4, pkt.begin() + 20)));
    EXPECT_EQ(text, foreign_decrypt(pkt, kCheckSN).substr(32, text.size()));
    EXPECT_TRUE(log.contains("pack key: " + kCheckSN + "(0)"));
}

TEST_F(Packet, DefaultKeyInEveryOtherCase)
{
    struct Case {
        uint8_t stage;
        char marker;
        int force;
    };
    for (const Case c : {Case{4, '0', 0}, Case{1, '1', 0}, Case{0xFF, '1', 0}, Case{4, '1', 1}}) {
        g_stage = c.stage;
        g_dev_info.MessageID[0] = c.marker;
        const Bytes pkt = pack("{}", c.force);
        EXPECT_EQ(1, pkt[6]) << int(c.stage) << c.marker << c.force;
        EXPECT_EQ("41434d453031000000000000", to_hex(Bytes(pkt.begin() + 8, pkt.begin() + 20)));
        EXPECT_EQ("{}", foreign_decrypt(pkt, kDefaultKey).substr(32, 2));
    }
}

// Which key reads an incoming packet, and where its text ends.
TEST_F(Packet, ForeignPacketsAreReadWithTheKeyTheirStageAndSelectorName)
{
    struct Case {
        const char *what;
        uint8_t stage;
        unsigned char selector;
        int force_default;
        const std::string &key;
        std::string text;
        int result;
        std::string got;
    };
    const std::string zero_inside = std::string("{}") + '\0' + "trailing";
    // clang-format off
    const Case cases[] = {
        {"default key before heartbeats", 0xFF, 1, 0, kDefaultKey, "{\"Result\":0,\"ChallengeCode\":\"abc\"}", 35, "{\"Result\":0,\"ChallengeCode\":\"abc\"}"},
        {"selector 0 in the heartbeat stage", PACKET_STAGE_HEARTBEAT, 0, 0, kCheckSN, "{\"Result\":0}", 13, "{\"Result\":0}"},
        {"selector 1 in the heartbeat stage", PACKET_STAGE_HEARTBEAT, 1, 0, kDefaultKey, "{}", 3, "{}"},
        {"selector 0 outside the heartbeat stage", 1, 0, 0, kDefaultKey, "{}", 3, "{}"},
        {"plug-in packets always", PACKET_STAGE_HEARTBEAT, 0, 1, kDefaultKey, "{}", 3, "{}"},
        {"text ends at the first zero", 0xFF, 1, 0, kDefaultKey, zero_inside, 3, "{}"},
        // 32 digest characters and 16 text bytes: no zero anywhere in the plaintext.
        {"text ends with the plaintext", 0xFF, 1, 0, kDefaultKey, std::string(16, 'q'), 17, std::string(16, 'q')},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        g_stage = c.stage;
        gwtest::LogCapture log;
        std::string got;
        EXPECT_EQ(c.result, unpack(foreign_packet(c.text, c.key, c.selector), c.force_default, got));
        EXPECT_EQ(c.got, got);
        EXPECT_TRUE(log.contains("unpack key: " + c.key));
    }
}

TEST_F(Packet, OwnPacketRoundTripsOnceIdentityIsStripped)
{
    const std::string text(5000, 'z');
    Bytes pkt = pack(text, 1);
    pkt.erase(pkt.begin() + 8, pkt.begin() + 20);
    std::string got;
    EXPECT_EQ(5001, unpack(pkt, 1, got));
    EXPECT_EQ(text, got);
}

TEST_F(Packet, BadLengthsAreRefusedWithLog)
{
    gwtest::LogCapture log;
    std::string got;
    Bytes pkt = foreign_packet("{}", kDefaultKey, 1);
    pkt.pop_back();
    EXPECT_EQ(-1, unpack(pkt, 0, got));
    EXPECT_TRUE(log.contains("the cipher text size is wrong!(47)"));
    EXPECT_TRUE(log.contains("decrypt message error!"));
    EXPECT_EQ(-1, unpack(Bytes(5, 0), 0, got));
    // A single block cannot hold the 32 digest characters.
    EXPECT_EQ(-1, unpack(Bytes(24, 0), 0, got));
    char *out = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(-1, unpackMessage(nullptr, 40, &out, 0));
    EXPECT_EQ(nullptr, out);
    unsigned char *pout = nullptr;
    EXPECT_EQ(-1, packMessage("x", -1, &pout, 0));
}

TEST_F(Packet, WrongKeyIsNotDetectedButStaysBounded)
{
    std::string got;
    const int n = unpack(foreign_packet(std::string(40, 'k'), kCheckSN, 1), 0, got);
    ASSERT_GT(n, 0);
    EXPECT_LE(n, 80 - 32 + 1);
    EXPECT_NE(std::string(40, 'k'), got);
}

TEST(RegistrationKeys, CheckSnAndKeySnAreDigestsOfTheDeviceFields)
{
    agentio::set_known_dev_info();
    char sn[33] = {0};
    gwtest::LogCapture log;
    ASSERT_EQ(0, calc_check_sn(sn, sizeof sn));
    EXPECT_EQ(kCheckSN, sn);
    EXPECT_TRUE(
        log.contains("check sn vk-0123456789abcchallenge-0001YVCT120123456789ABCDEF0123456789ABCDEF -> " + kCheckSN));
    // printf '00112233445566778899aabbccddeeffYVCT120123456789ABCDEF0123456789ABCDEF' | openssl md5
    char key[33] = {0};
    ASSERT_EQ(0, calc_key_sn(key, sizeof key));
    EXPECT_STREQ("5a3d4a2c9a0ee7449b1b35c4d49d1790", key);
    EXPECT_TRUE(log.contains("key-SN : 5a3d4a2c9a0ee7449b1b35c4d49d1790"));
}

TEST(RegistrationKeys, CheckSnFitsTheRecordFieldWithoutTerminator)
{
    agentio::set_known_dev_info();
    memset(g_dev_info.CheckSN, 0, sizeof g_dev_info.CheckSN);
    memset(g_dev_info.Province, 'P', sizeof g_dev_info.Province);
    ASSERT_EQ(0, calc_check_sn(g_dev_info.CheckSN, sizeof g_dev_info.CheckSN));
    EXPECT_EQ(kCheckSN, std::string(g_dev_info.CheckSN, 32));
    EXPECT_EQ('P', g_dev_info.Province[0]);
    char small[31];
    EXPECT_EQ(-1, calc_check_sn(small, sizeof small));
    EXPECT_EQ(-1, calc_key_sn(nullptr, 33));
}

TEST(RegistrationKeys, ReceivedKeyMatchesOnlyWhenComplete)
{
    agentio::set_known_dev_info();
    EXPECT_TRUE(key_sn_match("5a3d4a2c9a0ee7449b1b35c4d49d1790"));
    EXPECT_TRUE(key_sn_match("5A3D4A2C9A0EE7449B1B35C4D49D1790"));
    EXPECT_FALSE(key_sn_match("5a3d4a2c9a0ee7449b1b35c4d49d1791"));
    EXPECT_FALSE(key_sn_match(""));
    EXPECT_FALSE(key_sn_match("5a3d"));
    EXPECT_FALSE(key_sn_match(nullptr));
    packet_set_stage_reader(nullptr);
    EXPECT_EQ(0xFF, packet_distr_stage()) << "no stage reader reads idle";
}
