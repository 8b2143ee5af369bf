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
