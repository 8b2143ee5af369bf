/* The layer between the uloop event loop and the connection logic: descriptor registration, framed
 * and plain reads, full writes and name resolution. Main thread only. */
#ifndef GWAGENT_CORE_IO_UCF_IO_H
#define GWAGENT_CORE_IO_UCF_IO_H

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

#include <gw/ubox.h>

#ifdef __cplusplus
extern "C" {
#endif

struct addrinfo;

/* Distribution server (UDP), plugin server (TCP), message server (TCP) and the pushd FIFO.
 * A descriptor number below 0 means closed; the owners set the handlers. */
extern struct uloop_fd g_fd_udp_distr;
extern struct uloop_fd g_fd_plugin;
extern struct uloop_fd g_fd_message;
extern struct uloop_fd g_fd_pushd;

#define UCF_SLOT_PLUGIN 1
#define UCF_SLOT_PUSHD 2
#define UCF_SLOT_COUNT 3
#define UCF_SWAP_SIZE 4096
#define UCF_FRAME_HEADER 4
#define UCF_ADDR_COUNT 3
#define UCF_ADDR_LEN 48

/* Reassembly state of one framed byte stream (slot 0 is unused). */
typedef struct ucf_buf_swap {
    uint32_t discard;
    uint32_t received;
    unsigned char data[UCF_SWAP_SIZE];
} ucf_buf_swap;
extern ucf_buf_swap g_buf_swap[UCF_SLOT_COUNT];
/* Forgets a partial or oversize frame; the connect operations call it for their slot. */
void ucf_clear_buf_swap(int slot);

/* Registers (or re-registers with new flags) a descriptor. Result of uloop_fd_add. */
int ucf_uloop_fd_add(struct uloop_fd *ufd, unsigned int flags);
/* Removes it from the loop and closes it; the number becomes -1 in every case. Result of close, or
 * 0 for a missing record or a closed descriptor. */
int ucf_close_uloop_fd(struct uloop_fd *ufd);

/* One datagram: its length, 0 when nothing waits, -1 on error. */
int ucf_read_socket_udp(int fd, void *buf, int cap);
/* One length-prefixed frame: 1 when a whole frame (length field included) is at buf, 0 when not yet,
 * -1 when the stream is broken. Frames longer than cap - 4 are skipped over the following calls. */
int ucf_read_socket_tcp(int slot, int fd, void *buf, int cap);
/* Plain read until cap, end of stream or would-block: bytes read, or -1. */
int ucf_read_socket(struct uloop_fd *ufd, void *buf, int cap);
/* Writes until all is out; a would-block ends the write with what was written. Bytes, or -1. */
int gwagent_socket_write(struct uloop_fd *ufd, const void *buf, int len);

/* Resolves `host` into at most 3 textual addresses. Count, or -1. */
int ucf_dns_resolver(const char *host, char (*addrs)[UCF_ADDR_LEN]);
typedef int (*ucf_getaddrinfo_fn)(const char *node, const char *service, const struct addrinfo *hints,
                                  struct addrinfo **res);
typedef void (*ucf_freeaddrinfo_fn)(struct addrinfo *res);
/* Replaces the system resolver (tests); null restores it. */
void ucf_set_resolver(ucf_getaddrinfo_fn gai, ucf_freeaddrinfo_fn fai);

/* SIGTERM ends the main loop; start-up code then shuts down in order. Other signals do nothing. */
void ucf_sig_handler(int sig);
/* After SIGTERM, ends the process with status 0 once grace_ms have passed, wherever the main thread
 * is (a blocked bus call included). 0, or -1. */
int ucf_term_watchdog_start(unsigned grace_ms);
/* Non-zero once SIGTERM arrived. */
extern volatile sig_atomic_t g_ucf_terminate;

#ifdef __cplusplus
}
#endif

#endif
