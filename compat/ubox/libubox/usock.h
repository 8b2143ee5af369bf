/* Socket helper: one call from (type, host, service) to a connected or listening descriptor. */
#ifndef USOCK_H
#define USOCK_H

#include <stdbool.h>
#include <stdint.h>
#include <sys/socket.h>
#include <sys/types.h>

#ifdef __cplusplus
extern "C" {
#endif

#define USOCK_TCP 0
#define USOCK_UDP 1

#define USOCK_SERVER 0x0100
#define USOCK_NOCLOEXEC 0x0200
#define USOCK_NONBLOCK 0x0400
#define USOCK_NUMERIC 0x0800
#define USOCK_IPV6ONLY 0x2000
#define USOCK_IPV4ONLY 0x4000
#define USOCK_UNIX 0x8000

/* Returns the descriptor, or -1 with errno set. */
int usock(int type, const char *host, const char *service);

/* Waits up to msecs for a non-blocking connect to finish: 0 when connected, else the socket error. */
int usock_wait_ready(int fd, int msecs);

#ifdef __cplusplus
}
#endif

#endif
