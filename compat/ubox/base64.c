/* Base64 (RFC 4648 alphabet, '=' padding). */
#include <stdbool.h>
#include <stdint.h>
#include <string.h>

#include "libubox/utils.h"

static const char b64_alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int b64_encode(const void *_src, size_t src_len, void *dest, size_t dest_len)
{
    const uint8_t *src = _src;
    char *out = dest;
    size_t need = ((src_len + 2) / 3) * 4 + 1;
    size_t i, o = 0;

    if (!dest || dest_len < need || (!src && src_len))
        return -1;

    for (i = 0; i + 2 < src_len; i += 3) {
        uint32_t v = ((uint32_t)src[i] << 16) | ((uint32_t)src[i + 1] << 8) | src[i + 2];
        out[o++] = b64_alphabet[(v >> 18) & 0x3f];
        out[o++] = b64_alphabet[(v >> 12) & 0x3f];
        out[o++] = b64_alphabet[(v >> 6) & 0x3f];
        out[o++] = b64_alphabet[v & 0x3f];
    }
    if (i < src_len) {
        uint32_t v = (uint32_t)src[i] << 16;
        if (i + 1 < src_len)
            v |= (uint32_t)src[i + 1] << 8;
        out[o++] = b64_alphabet[(v >> 18) & 0x3f];
        out[o++] = b64_alphabet[(v >> 12) & 0x3f];
        out[o++] = (i + 1 < src_len) ? b64_alphabet[(v >> 6) & 0x3f] : '=';
        out[o++] = '=';
    }
    out[o] = '\0';
    return (int)o;
}

static int b64_value(char c)
{
    const char *p;

    if (c == '\0')
        return -1;
    p = strchr(b64_alphabet, c);
    return p ? (int)(p - b64_alphabet) : -1;
}

static bool b64_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

/* Groups of four characters, whitespace anywhere skipped; '=' pads only the last group (in its third
 * and fourth or its fourth place), the padded-away bits must be zero and only whitespace may follow.
 * A destination of exactly the decoded size is enough; the terminating NUL is written when it fits. */
int b64_decode(const void *_src, void *dest, size_t dest_len)
{
    const char *src = _src;
    uint8_t *out = dest;
    size_t o = 0;
    int group[4];
    int count = 0;
    bool ended = false;

    if (!src || !dest || !dest_len)
        return -1;

    for (; *src; src++) {
        int pad, bytes;
        uint32_t v;

        if (b64_space(*src))
            continue;
        if (ended)
            return -1;
        group[count] = *src == '=' ? -2 : b64_value(*src);
        if (group[count] == -1)
            return -1;
        if (++count < 4)
            continue;
        count = 0;

        pad = (group[3] == -2) + (group[2] == -2);
        if (group[0] < 0 || group[1] < 0 || (group[2] == -2 && group[3] != -2))
            return -1;
        v = ((uint32_t)group[0] << 18) | ((uint32_t)group[1] << 12);
        if (pad < 2)
            v |= (uint32_t)group[2] << 6;
        if (pad < 1)
            v |= (uint32_t)group[3];
        if ((pad == 2 && (v & 0xffff)) || (pad == 1 && (v & 0xff)))
            return -1;
        bytes = 3 - pad;
        if (o + (size_t)bytes > dest_len)
            return -1;
        out[o++] = (uint8_t)(v >> 16);
        if (bytes > 1)
            out[o++] = (uint8_t)(v >> 8);
        if (bytes > 2)
            out[o++] = (uint8_t)v;
        ended = pad > 0;
    }
    if (count != 0)
        return -1;
    if (o < dest_len)
        out[o] = '\0';
    return (int)o;
}
