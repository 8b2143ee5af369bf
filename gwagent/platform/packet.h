/* The encrypted packet of the distribution and plugin servers, and the keys it is made with. */
#ifndef GWAGENT_PLATFORM_PACKET_H
#define GWAGENT_PLATFORM_PACKET_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PACKET_OUT_HEADER_LEN 20
#define PACKET_IN_HEADER_LEN 8
#define PACKET_DIGEST_LEN 32
#define PACKET_KEY_DEFAULT 1
#define PACKET_KEY_REGISTER 0
/* Distribution connection stage in which the registration key may be used (heartbeat). */
#define PACKET_STAGE_HEARTBEAT 4

/* The key rules depend on the distribution connection's stage, which the connection state machine
 * owns. It installs its reader here at start-up; without one the stage reads as idle (0xFF), so only
 * the default key is used. */
typedef uint8_t (*packet_stage_reader_fn)(void);
void packet_set_stage_reader(packet_stage_reader_fn reader);
uint8_t packet_distr_stage(void);

/* Builds header + AES-256-ECB(MD5 hex of text | text | zero padding). `force_default` non-zero always
 * selects the default key (the plugin server). Returns the packet length, or -1; *out is malloc'd. */
int packMessage(const char *text, int len, unsigned char **out, int force_default);
/* Decrypts a received packet (8-byte header and ciphertext) of `len` bytes. Returns the text length
 * plus one; *out is a malloc'd NUL-terminated text. -1 on a bad length or a failed decryption. */
int unpackMessage(const unsigned char *pkt, int len, char **out, int force_default);

/* Registration key: MD5 hex of vendor key, ChallengeCode, serial prefix and SharedPasswd, from
 * g_dev_info. Writes the 32 characters to out, and a terminator when out_size leaves room for one,
 * so it may go straight into g_dev_info.CheckSN (32 bytes). 0, or -1 (also for out_size < 32). */
int calc_check_sn(char *out, size_t out_size);
/* Plugin request key: MD5 hex of DevRND, serial prefix and SharedPasswd. Same contract. */
int calc_key_sn(char *out, size_t out_size);
/* Whether a received plugin instruction "Key" is the current plugin request key (letter case
 * ignored). Only a complete 32-character key matches. */
int key_sn_match(const char *received);

#ifdef __cplusplus
}
#endif

#endif
