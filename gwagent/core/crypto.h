/* Ciphers, digests, random identifiers and hex helpers of the agent's platform protocol. */
#ifndef GWAGENT_CORE_CRYPTO_H
#define GWAGENT_CORE_CRYPTO_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* AES-256-ECB, zero padding to a multiple of 16 (never a whole padding block). `key` is 32 bytes.
 * The output is allocated with malloc (at least one byte, also for empty input); the caller frees it. */
int en_aes256_ecb(const unsigned char *key, const unsigned char *data, int len, unsigned char **out, int *out_len);
/* `len` must be a multiple of 16; the output has the same length. */
int de_aes256_ecb(const unsigned char *key, const unsigned char *data, int len, unsigned char **out, int *out_len);

/* Writes the 32 lower-case hex characters of MD5(text) to out (no terminator). 0, or -1. */
int comm_md5sum(const char *text, char *out);

/* Fills n bytes, two per rand() value (low byte first). */
void APP_GetNByteRandom(int n, unsigned char *buf);
/* 2n lower-case hex characters and a terminating zero. */
void APP_ChangeNByteToHexDig(int n, const unsigned char *bytes, char *out);
/* 12 random lower-case hex characters and a terminator into out (13 bytes). 0, or -1 for null. */
int getMessageID(char *out);
/* 32 random lower-case hex characters and a terminator into out (33 bytes). 0, or -1 for null. */
int getDevRND(char *out);

int hex2num(char c);
/* Two hex digits to a byte value; -1 on a bad digit. */
int hex2byte(const char *hex);
/* n bytes from 2n digits; -1 at the first bad digit (bytes converted so far stay written). */
int hexstr2bin(const char *hex, unsigned char *buf, size_t n);
/* 2n upper-case hex digits, no terminator. */
void AsciiToHex(int n, const unsigned char *bytes, char *out);

/* Three-key 3DES of the device files. The key is the 24-byte area DES_KEY filled from Default_DES_KEY
 * (zero-padded); bytes 0-7, 8-15 and 16-23 are the three DES keys, parity ignored. */
extern const char *Default_DES_KEY;
extern unsigned char DES_KEY[24];
void key_3des_ecb(void);
/* Decrypts len/8 whole blocks of `in` into `out` (a trailing partial block is ignored). 0, or -1. */
int de_3des_ecb(const unsigned char *in, unsigned char *out, int len);
/* The provisioning side: encrypts len/8 whole blocks (callers zero-pad to a multiple of 8). 0, or -1. */
int en_3des_ecb(const unsigned char *in, unsigned char *out, int len);

/* Field cipher for passwords in command texts. The AES key is the MD5 hex text of `key_text`.
 * Encrypt: at most 511 characters of `plain`, zero-padded to whole blocks, written as lower-case hex
 * with a terminator; `out_size` bounds the output (1025 holds any input). 0, or -1.
 * Decrypt: at most 1024 hex digits (either case), floor(digits / 32) blocks; the text ends at the first
 * zero byte. Output is always terminated; blocks that would not fit in `out_size` are not decrypted.
 * 0, or -1 on a bad digit or a cipher failure. */
int en_aes256_ecb1(const char *key_text, const char *plain, char *out, size_t out_size);
int de_aes256_ecb1(const char *key_text, const char *hex, char *out, size_t out_size);

#ifdef __cplusplus
}
#endif

#endif
