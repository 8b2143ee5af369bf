/* Fixed-size fields are cut, never overflowed. */
#ifndef GWBUS_STRUTIL_H
#define GWBUS_STRUTIL_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Copies at most size-1 bytes of src into dst and always terminates it (size 0: nothing).
 * A null src gives an empty string. Returns dst. */
char *copy_truncated(char *dst, size_t size, const char *src);

/* copy_truncated for fields that must stay valid UTF-8: a character the cut would split is left out
 * whole. */
char *copy_truncated_utf8(char *dst, size_t size, const char *src);

/* Drops a multi-byte character left incomplete at the end of s, as an earlier cut may leave it.
 * Returns s. */
char *trim_partial_utf8(char *s);

#ifdef __cplusplus
}
template <size_t N> inline char *copy_truncated(char (&dst)[N], const char *src) { return copy_truncated(dst, N, src); }
template <size_t N> inline char *copy_truncated_utf8(char (&dst)[N], const char *src)
{
    return copy_truncated_utf8(dst, N, src);
}
#endif

#endif
