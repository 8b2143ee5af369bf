/* Base64 (RFC 4648 alphabet, '=' padding). */
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

/* Whitespace between groups is skipped, as in the classic resolver implementation; decoding ends at
 * the first '=' and a group cut short before it is an error unless its bits form whole bytes. */
int b64_decode(const void *_src, void *dest, size_t dest_len)
{
	const char *src = _src;
	uint8_t *out = dest;
	size_t o = 0;
	uint32_t acc = 0;
	int bits = 0, count = 0;

	if (!src || !dest)
		return -1;

	for (; *src && *src != '='; src++) {
		int v;

		if (*src == ' ' || *src == '\t' || *src == '\r' || *src == '\n')
			continue;
		v = b64_value(*src);
		if (v < 0)
			return -1;
		acc = (acc << 6) | (uint32_t)v;
		bits += 6;
		count++;
		if (bits >= 8) {
			bits -= 8;
			if (o + 1 >= dest_len)
				return -1;
			out[o++] = (uint8_t)(acc >> bits);
			acc &= (1u << bits) - 1;
		}
	}
	/* One sextet alone cannot encode a byte; leftover bits must be zero padding. */
	if (count % 4 == 1 || acc != 0)
		return -1;
	if (o >= dest_len)
		return -1;
	out[o] = '\0';
	return (int)o;
}
