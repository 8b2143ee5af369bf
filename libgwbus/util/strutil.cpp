#include "gwbus/strutil.h"

#include <cstring>

extern "C" char *copy_truncated(char *dst, size_t size, const char *src)
{
    if (!dst || size == 0)
        return dst;
    size_t n = src ? strnlen(src, size - 1) : 0;
    if (n)
        std::memcpy(dst, src, n);
    dst[n] = '\0';
    return dst;
}

extern "C" char *trim_partial_utf8(char *s)
{
    if (!s)
        return s;
    const size_t len = std::strlen(s);
    size_t start = len;
    while (start > 0 && (static_cast<unsigned char>(s[start - 1]) & 0xC0) == 0x80)
        --start;
    if (start == 0)
        return s;
    const unsigned char lead = static_cast<unsigned char>(s[start - 1]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (len - (start - 1) < need)
        s[start - 1] = '\0';
    return s;
}

extern "C" char *copy_truncated_utf8(char *dst, size_t size, const char *src)
{
    copy_truncated(dst, size, src);
    if (dst && size > 0 && src && std::strlen(dst) < strnlen(src, size))
        trim_partial_utf8(dst);
    return dst;
}
