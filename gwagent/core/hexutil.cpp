// MD5 digests, random identifiers and hex conversions.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <glib.h>

#include "core/crypto.h"
#include "gwbus/raii.hpp"

extern "C" int comm_md5sum(const char *text, char *out)
{
    if (!text || !out)
        return -1;
    gw::GCharPtr digest(g_compute_checksum_for_string(G_CHECKSUM_MD5, text, -1));
    if (!digest || strlen(digest.get()) != 32)
        return -1;
    memcpy(out, digest.get(), 32);
    return 0;
}

extern "C" void APP_GetNByteRandom(int n, unsigned char *buf)
{
    if (!buf)
        return;
    for (int i = 0; i < n; i += 2) {
        const unsigned v = static_cast<unsigned>(rand()) & 0xffffu;
        buf[i] = static_cast<unsigned char>(v & 0xff);
        if (i + 1 < n)
            buf[i + 1] = static_cast<unsigned char>(v >> 8);
    }
}

extern "C" void APP_ChangeNByteToHexDig(int n, const unsigned char *bytes, char *out)
{
    static const char digits[] = "0123456789abcdef";
    if (!out)
        return;
    int i = 0;
    for (; bytes && i < n; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
    out[2 * i] = '\0';
}

extern "C" int getMessageID(char *out)
{
    if (!out)
        return -1;
    unsigned char raw[6];
    APP_GetNByteRandom(sizeof raw, raw);
    APP_ChangeNByteToHexDig(sizeof raw, raw, out);
    return 0;
}

extern "C" int getDevRND(char *out)
{
    if (!out)
        return -1;
    unsigned char raw[16];
    APP_GetNByteRandom(sizeof raw, raw);
    APP_ChangeNByteToHexDig(sizeof raw, raw, out);
    return 0;
}

extern "C" int hex2num(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

extern "C" int hex2byte(const char *hex)
{
    if (!hex)
        return -1;
    const int hi = hex2num(hex[0]);
    if (hi < 0)
        return -1;
    const int lo = hex2num(hex[1]);
    if (lo < 0)
        return -1;
    return hi << 4 | lo;
}

extern "C" int hexstr2bin(const char *hex, unsigned char *buf, size_t n)
{
    if (!hex || (n > 0 && !buf))
        return -1;
    for (size_t i = 0; i < n; ++i) {
        const int b = hex2byte(hex + 2 * i);
        if (b < 0)
            return -1;
        buf[i] = static_cast<unsigned char>(b);
    }
    return 0;
}

extern "C" void AsciiToHex(int n, const unsigned char *bytes, char *out)
{
    static const char digits[] = "0123456789ABCDEF";
    if (!bytes || !out)
        return;
    for (int i = 0; i < n; ++i) {
        out[2 * i] = digits[bytes[i] >> 4];
        out[2 * i + 1] = digits[bytes[i] & 0x0f];
    }
}
