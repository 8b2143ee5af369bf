// AES-256-ECB with zero padding, and the field cipher that command texts use for passwords.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/crypto.h"
#include "core/evp_ctx.hpp"
#include "gwbus/log.h"

namespace {

constexpr int kBlock = 16;
constexpr size_t kFieldPlainMax = 511;
constexpr size_t kFieldHexMax = 1024;

int round_up_block(int len) { return (len + kBlock - 1) / kBlock * kBlock; }

}  // namespace

extern "C" int en_aes256_ecb(const unsigned char *key, const unsigned char *data, int len, unsigned char **out,
                             int *out_len)
{
    if (!key) {
        GWLOG(LOG_LVL_ERR, "key is null!");
        return -1;
    }
    if (!out || !out_len || len < 0 || (len > 0 && !data) || len > 0x7fffffff - kBlock)
        return -1;
    const int padded = round_up_block(len);
    std::vector<unsigned char> plain(static_cast<size_t>(padded), 0);
    if (len > 0)
        memcpy(plain.data(), data, static_cast<size_t>(len));
    auto *buf = static_cast<unsigned char *>(malloc(padded > 0 ? padded : 1));
    if (!buf) {
        GWLOG(LOG_LVL_ERR, "malloc error!");
        return -1;
    }
    if (!gw::evp_ecb_nopad(EVP_aes_256_ecb(), key, true, plain.data(), padded, buf)) {
        free(buf);
        return -1;
    }
    *out = buf;
    *out_len = padded;
    return 0;
}

extern "C" int de_aes256_ecb(const unsigned char *key, const unsigned char *data, int len, unsigned char **out,
                             int *out_len)
{
    if (!key) {
        GWLOG(LOG_LVL_ERR, "key is null!");
        return -1;
    }
    if (!out || !out_len || len < 0 || (len > 0 && !data))
        return -1;
    if (len % kBlock != 0) {
        GWLOG(LOG_LVL_ERR, "the cipher text size is wrong!(%d)", len);
        return -1;
    }
    auto *buf = static_cast<unsigned char *>(malloc(len > 0 ? len : 1));
    if (!buf) {
        GWLOG(LOG_LVL_ERR, "malloc error!");
        return -1;
    }
    if (!gw::evp_ecb_nopad(EVP_aes_256_ecb(), key, false, data, len, buf)) {
        free(buf);
        return -1;
    }
    *out = buf;
    *out_len = len;
    return 0;
}

extern "C" int en_aes256_ecb1(const char *key_text, const char *plain, char *out, size_t out_size)
{
    if (!key_text || !plain || !out || out_size == 0)
        return -1;
    out[0] = '\0';
    char md5key[33] = {0};
    GWLOG(LOG_LVL_DEBUG, "key = %d:[%s]", static_cast<int>(strlen(key_text)), key_text);
    if (comm_md5sum(key_text, md5key) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "MD5(key) = %d:[%s]", static_cast<int>(strlen(md5key)), md5key);

    unsigned char area[kFieldPlainMax + 1] = {0};
    size_t plen = strnlen(plain, kFieldPlainMax);
    memcpy(area, plain, plen);
    GWLOG(LOG_LVL_DEBUG, "B = [%s]", reinterpret_cast<const char *>(area));
    GWLOG(LOG_LVL_DEBUG, "content length0 = %d", static_cast<int>(plen));
    const int padded = round_up_block(static_cast<int>(plen));
    GWLOG(LOG_LVL_DEBUG, "content length1 = %d", padded);
    if (static_cast<size_t>(padded) * 2 + 1 > out_size)
        return -1;

    unsigned char cipher[kFieldPlainMax + 1] = {0};
    if (!gw::evp_ecb_nopad(EVP_aes_256_ecb(), reinterpret_cast<const unsigned char *>(md5key), true, area, padded,
                           cipher))
        return -1;
    APP_ChangeNByteToHexDig(padded, cipher, out);
    GWLOG(LOG_LVL_DEBUG, "H = [%s]", out);
    GWLOG(LOG_LVL_DEBUG, "plenx = %d:[%s]", static_cast<int>(strlen(out)), out);
    return 0;
}

extern "C" int de_aes256_ecb1(const char *key_text, const char *hex, char *out, size_t out_size)
{
    if (!key_text || !hex || !out || out_size == 0)
        return -1;
    out[0] = '\0';
    const size_t hexlen = strnlen(hex, kFieldHexMax);
    GWLOG(LOG_LVL_DEBUG, "key = [%s], content length = %d", key_text, static_cast<int>(hexlen));
    char md5key[33] = {0};
    if (comm_md5sum(key_text, md5key) != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "MD5(key) = [%s]", md5key);

    // Only whole blocks are decrypted, and only as many as leave room for the terminator.
    size_t blocks = hexlen / (kBlock * 2);
    const size_t fit = (out_size - 1) / kBlock;
    if (blocks > fit)
        blocks = fit;
    const size_t nbytes = blocks * kBlock;
    unsigned char cipher[kFieldHexMax / 2] = {0};
    if (hexstr2bin(hex, cipher, nbytes) != 0)
        return -1;
    unsigned char plain[kFieldHexMax / 2 + 1] = {0};
    if (!gw::evp_ecb_nopad(EVP_aes_256_ecb(), reinterpret_cast<const unsigned char *>(md5key), false, cipher,
                           static_cast<int>(nbytes), plain))
        return -1;
    memcpy(out, plain, nbytes);
    out[nbytes] = '\0';
    GWLOG(LOG_LVL_DEBUG, "de = [%s]", out);
    return 0;
}
