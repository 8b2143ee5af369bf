/* Small helpers shared by the loop users: base64 and array/struct macros. */
#ifndef LIBUBOX_UTILS_H
#define LIBUBOX_UTILS_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef ARRAY_SIZE
#define ARRAY_SIZE(arr) (sizeof(arr) / sizeof((arr)[0]))
#endif

#ifndef container_of
#define container_of(ptr, type, member) ((type *)((char *)(ptr)-offsetof(type, member)))
#endif

/* Writes the encoding and a terminating NUL; returns its length without the NUL, or -1 if dest is too small. */
int b64_encode(const void *src, size_t src_len, void *dest, size_t dest_len);
/* Decodes a NUL-terminated, padded string; returns the byte count, or -1 on a bad character, a missing
 * or misplaced '=', text after the padding or a too small dest. A NUL follows the bytes when it fits. */
int b64_decode(const void *src, void *dest, size_t dest_len);

#define B64_ENCODE_LEN(_len) ((((_len) + 2) / 3) * 4 + 1)
#define B64_DECODE_LEN(_len) (((_len) / 4) * 3 + 1)

#ifdef __cplusplus
}
#endif

#endif
