// Packing and unpacking of the platform packet, and the two AES keys.
#include <arpa/inet.h>
#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "core/crypto.h"
#include "core/dev_info.h"
#include "core/holders.hpp"
#include "gwbus/log.h"
#include "platform/packet.h"

namespace {

std::atomic<packet_stage_reader_fn> g_stage_reader{nullptr};

using MallocPtr = gwagent::MallocPtr<unsigned char>;

// Both keys are the 32 ASCII characters of an MD5 hex digest, used as raw key bytes.
struct Key {
    char text[33] = {0};
    int selector = PACKET_KEY_DEFAULT;
};

Key default_key()
{
    Key k;
    char vendor_key[sizeof g_dev_info.VendorKey + 1] = {0};
    memcpy(vendor_key, g_dev_info.VendorKey, sizeof g_dev_info.VendorKey);
    if (comm_md5sum(vendor_key, k.text) != 0)
        memset(k.text, 0, sizeof k.text);
    k.selector = PACKET_KEY_DEFAULT;
    return k;
}

Key registration_key()
{
    Key k;
    memcpy(k.text, g_dev_info.CheckSN, sizeof g_dev_info.CheckSN);
    k.selector = PACKET_KEY_REGISTER;
    return k;
}

std::string field(const char *f, size_t size) { return std::string(f, strnlen(f, size)); }

int md5_of(const std::string &input, char *out, size_t out_size, char (&digest)[33])
{
    if (!out || out_size < PACKET_DIGEST_LEN || comm_md5sum(input.c_str(), digest) != 0)
        return -1;
    memcpy(out, digest, PACKET_DIGEST_LEN);
    if (out_size > PACKET_DIGEST_LEN)
        out[PACKET_DIGEST_LEN] = '\0';
    return 0;
}

}  // namespace

extern "C" void packet_set_stage_reader(packet_stage_reader_fn reader) { g_stage_reader.store(reader); }

extern "C" uint8_t packet_distr_stage(void)
{
    packet_stage_reader_fn r = g_stage_reader.load();
    return r ? r() : 0xFF;
}

extern "C" int packMessage(const char *text, int len, unsigned char **out, int force_default)
{
    if (!out || len < 0 || (len > 0 && !text) || len > 0x7fffffff - 256)
        return -1;
    *out = nullptr;

    // The registration key only answers a push: the last distribution request built was a MessagePush.
    const bool use_register =
        !force_default && packet_distr_stage() == PACKET_STAGE_HEARTBEAT && g_dev_info.MessageID[0] == '1';
    const Key key = use_register ? registration_key() : default_key();
    GWLOG(LOG_LVL_DEBUG, "pack key: %s(%d)", key.text, key.selector);

    std::string plain(PACKET_DIGEST_LEN, '\0');
    std::string body(text ? text : "", static_cast<size_t>(len));
    // The digest covers the text as a C string, as the receiving side computes it.
    if (comm_md5sum(body.c_str(), plain.data()) != 0) {
        GWLOG(LOG_LVL_ERR, "encrypt message error!");
        return -1;
    }
    plain += body;

    unsigned char *cipher_raw = nullptr;
    int cipher_len = 0;
    if (en_aes256_ecb(reinterpret_cast<const unsigned char *>(key.text),
                      reinterpret_cast<const unsigned char *>(plain.data()), static_cast<int>(plain.size()),
                      &cipher_raw, &cipher_len) != 0) {
        GWLOG(LOG_LVL_ERR, "encrypt message error!");
        return -1;
    }
    MallocPtr cipher(cipher_raw);

    const int total = cipher_len + PACKET_OUT_HEADER_LEN;
    auto *pkt = static_cast<unsigned char *>(calloc(static_cast<size_t>(total), 1));
    if (!pkt) {
        GWLOG(LOG_LVL_ERR, "malloc error!");
        return -1;
    }
    const uint32_t length_field = htonl(static_cast<uint32_t>(cipher_len + 16));
    memcpy(pkt, &length_field, 4);
    pkt[4] = '$';
    pkt[5] = '$';
    pkt[6] = static_cast<unsigned char>(key.selector);
    pkt[7] = 0;
    if (use_register)
        memcpy(pkt + 8, g_dev_info.MAC, 12);
    else
        memcpy(pkt + 8, g_dev_info.VendorCode, 6);
    memcpy(pkt + PACKET_OUT_HEADER_LEN, cipher.get(), static_cast<size_t>(cipher_len));
    *out = pkt;
    return total;
}

extern "C" int unpackMessage(const unsigned char *pkt, int len, char **out, int force_default)
{
    if (!out)
        return -1;
    *out = nullptr;
    if (!pkt || len < PACKET_IN_HEADER_LEN) {
        GWLOG(LOG_LVL_ERR, "the cipher text size is wrong!(%d)", len - PACKET_IN_HEADER_LEN);
        GWLOG(LOG_LVL_ERR, "decrypt message error!");
        return -1;
    }
    const bool use_register =
        !force_default && packet_distr_stage() == PACKET_STAGE_HEARTBEAT && pkt[6] == PACKET_KEY_REGISTER;
    const Key key = use_register ? registration_key() : default_key();
    GWLOG(LOG_LVL_DEBUG, "unpack key: %s", key.text);

    unsigned char *plain_raw = nullptr;
    int plain_len = 0;
    if (de_aes256_ecb(reinterpret_cast<const unsigned char *>(key.text), pkt + PACKET_IN_HEADER_LEN,
                      len - PACKET_IN_HEADER_LEN, &plain_raw, &plain_len) != 0) {
        GWLOG(LOG_LVL_ERR, "decrypt message error!");
        return -1;
    }
    MallocPtr plain(plain_raw);
    if (plain_len < PACKET_DIGEST_LEN) {
        GWLOG(LOG_LVL_ERR, "decrypt message error!");
        return -1;
    }
    const char *text = reinterpret_cast<const char *>(plain.get()) + PACKET_DIGEST_LEN;
    const size_t text_len = strnlen(text, static_cast<size_t>(plain_len - PACKET_DIGEST_LEN));
    auto *res = static_cast<char *>(malloc(text_len + 1));
    if (!res) {
        GWLOG(LOG_LVL_ERR, "malloc error!");
        return -1;
    }
    memcpy(res, text, text_len);
    res[text_len] = '\0';
    *out = res;
    return static_cast<int>(text_len) + 1;
}

extern "C" int calc_check_sn(char *out, size_t out_size)
{
    std::string input = field(g_dev_info.VendorKey, sizeof g_dev_info.VendorKey) +
                        field(g_dev_info.ChallengeCode, sizeof g_dev_info.ChallengeCode) +
                        field(g_dev_info.SNPrefix, sizeof g_dev_info.SNPrefix) +
                        field(g_dev_info.SharedPasswd, sizeof g_dev_info.SharedPasswd);
    if (input.size() > 95)
        input.resize(95);
    char digest[33] = {0};
    if (md5_of(input, out, out_size, digest) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "check sn %s -> %s", input.c_str(), digest);
    return 0;
}

extern "C" int calc_key_sn(char *out, size_t out_size)
{
    const std::string input = field(g_dev_info.DevRND, sizeof g_dev_info.DevRND) +
                              field(g_dev_info.SNPrefix, sizeof g_dev_info.SNPrefix) +
                              field(g_dev_info.SharedPasswd, sizeof g_dev_info.SharedPasswd);
    char digest[33] = {0};
    if (md5_of(input, out, out_size, digest) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "key-SN : %s", digest);
    return 0;
}

extern "C" int key_sn_match(const char *received)
{
    // Comparing only over the received length would let an empty or truncated key through.
    if (!received || strlen(received) != PACKET_DIGEST_LEN)
        return 0;
    char expected[33] = {0};
    if (calc_key_sn(expected, sizeof expected) != 0)
        return 0;
    return strncasecmp(received, expected, PACKET_DIGEST_LEN) == 0;
}
