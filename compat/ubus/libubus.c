/* Bus client: connect to the daemon's unix socket (it greets first) and resolve object ids. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <libubox/usock.h>

#include "libubus.h"

static const char *const ubus_status_text[__UBUS_STATUS_LAST] = {
    [UBUS_STATUS_OK] = "Success",
    [UBUS_STATUS_INVALID_COMMAND] = "Invalid command",
    [UBUS_STATUS_INVALID_ARGUMENT] = "Invalid argument",
    [UBUS_STATUS_METHOD_NOT_FOUND] = "Method not found",
    [UBUS_STATUS_NOT_FOUND] = "Not found",
    [UBUS_STATUS_NO_DATA] = "No response",
    [UBUS_STATUS_PERMISSION_DENIED] = "Permission denied",
    [UBUS_STATUS_TIMEOUT] = "Request timed out",
    [UBUS_STATUS_NOT_SUPPORTED] = "Operation not supported",
    [UBUS_STATUS_UNKNOWN_ERROR] = "Unknown error",
    [UBUS_STATUS_CONNECTION_FAILED] = "Connection failed",
    [UBUS_STATUS_NO_MEMORY] = "Out of memory",
    [UBUS_STATUS_PARSE_ERROR] = "Parsing message data failed",
    [UBUS_STATUS_SYSTEM_ERROR] = "System error",
};

const char *ubus_strerror(int error)
{
    if (error < 0 || error >= __UBUS_STATUS_LAST)
        return "Unknown error";
    return ubus_status_text[error];
}

/* The bus daemon's framing: an 8-byte header (version 0, type, sequence and peer in network order),
 * then one blob attribute (id in bits 24-30, length with its own 4-byte header in bits 0-23, padded
 * to 4 bytes) whose payload holds the message's attributes. */
enum { MSG_HELLO = 0, MSG_STATUS = 1, MSG_DATA = 2, MSG_LOOKUP = 4 };
enum { ATTR_STATUS = 1, ATTR_OBJPATH = 2, ATTR_OBJID = 3 };
#define HDR_LEN 8
#define MAX_MSGLEN 1048576
#define REPLY_TIMEOUT_MS 5000

static uint32_t get_be32(const uint8_t *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | p[3];
}

static void put_be32(uint8_t *p, uint32_t v)
{
    p[0] = v >> 24;
    p[1] = v >> 16;
    p[2] = v >> 8;
    p[3] = v;
}

/* Reads exactly n bytes, waiting at most until the deadline for each part. */
static bool read_full(int fd, uint8_t *buf, size_t n, int timeout_ms)
{
    size_t got = 0;
    while (got < n) {
        struct pollfd p = {.fd = fd, .events = POLLIN};
        int r = poll(&p, 1, timeout_ms);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        ssize_t k = read(fd, buf + got, n - got);
        if (k < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (k <= 0)
            return false;
        got += (size_t)k;
    }
    return true;
}

/* One message: its type, sequence and attribute payload (malloc'd, *len bytes). */
static bool read_msg(int fd, uint8_t *type, uint16_t *seq, uint32_t *peer, uint8_t **payload, size_t *len)
{
    uint8_t head[HDR_LEN + 4];
    if (!read_full(fd, head, sizeof head, REPLY_TIMEOUT_MS))
        return false;
    uint32_t raw = get_be32(head + HDR_LEN) & 0x00ffffff;
    if (head[0] != 0 || raw < 4 || ((raw + 3) & ~3u) > MAX_MSGLEN)
        return false;
    size_t rest = ((raw + 3) & ~3u) - 4;
    uint8_t *body = malloc(rest ? rest : 1);
    if (!body)
        return false;
    if (!read_full(fd, body, rest, REPLY_TIMEOUT_MS)) {
        free(body);
        return false;
    }
    *type = head[1];
    *seq = (uint16_t)(head[2] << 8 | head[3]);
    *peer = get_be32(head + 4);
    *payload = body;
    *len = raw - 4;
    return true;
}

/* Walks the attributes of a payload; returns the one with the id, or NULL. */
static const uint8_t *find_attr(const uint8_t *p, size_t len, unsigned id, size_t *data_len)
{
    size_t off = 0;
    while (off + 4 <= len) {
        uint32_t word = get_be32(p + off);
        uint32_t raw = word & 0x00ffffff;
        if (raw < 4 || off + raw > len)
            return NULL;
        if (((word >> 24) & 0x7f) == id) {
            *data_len = raw - 4;
            return p + off + 4;
        }
        off += (raw + 3) & ~3u;
    }
    return NULL;
}

struct ubus_context *ubus_connect(const char *path)
{
    int fd = usock(USOCK_UNIX, path ? path : UBUS_UNIX_SOCKET, NULL);
    if (fd < 0)
        return NULL;
    /* The daemon greets every client first; no greeting, no bus. */
    uint8_t type = 0xff;
    uint16_t seq = 0;
    uint32_t peer = 0;
    uint8_t *payload = NULL;
    size_t len = 0;
    if (!read_msg(fd, &type, &seq, &peer, &payload, &len) || type != MSG_HELLO) {
        free(payload);
        close(fd);
        return NULL;
    }
    free(payload);
    struct ubus_context *ctx = calloc(1, sizeof(*ctx));
    if (!ctx) {
        close(fd);
        return NULL;
    }
    INIT_LIST_HEAD(&ctx->requests);
    ctx->sock.fd = fd;
    ctx->local_id = peer;
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    return ctx;
}

void ubus_free(struct ubus_context *ctx)
{
    if (!ctx)
        return;
    uloop_fd_delete(&ctx->sock);
    if (ctx->sock.fd >= 0)
        close(ctx->sock.fd);
    free(ctx);
}

int ubus_lookup_id(struct ubus_context *ctx, const char *path, uint32_t *id)
{
    if (!ctx || !path || !id)
        return UBUS_STATUS_INVALID_ARGUMENT;
    if (ctx->sock.fd < 0)
        return UBUS_STATUS_CONNECTION_FAILED;
    size_t plen = strlen(path) + 1;
    size_t attr = 4 + plen, padded = (attr + 3) & ~(size_t)3;
    if (HDR_LEN + 4 + padded > MAX_MSGLEN)
        return UBUS_STATUS_INVALID_ARGUMENT;
    uint8_t *msg = calloc(1, HDR_LEN + 4 + padded);
    if (!msg)
        return UBUS_STATUS_NO_MEMORY;
    uint16_t want = ++ctx->request_seq;
    msg[1] = MSG_LOOKUP;
    msg[2] = want >> 8;
    msg[3] = want & 0xff;
    put_be32(msg + HDR_LEN, (uint32_t)(4 + padded));
    put_be32(msg + HDR_LEN + 4, (uint32_t)ATTR_OBJPATH << 24 | (uint32_t)attr);
    memcpy(msg + HDR_LEN + 8, path, plen);
    size_t total = HDR_LEN + 4 + padded, sent = 0;
    while (sent < total) {
        ssize_t k = write(ctx->sock.fd, msg + sent, total - sent);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0) {
            free(msg);
            return UBUS_STATUS_CONNECTION_FAILED;
        }
        sent += (size_t)k;
    }
    free(msg);

    /* Data messages carry the object; the status message of the same sequence ends the request. */
    for (;;) {
        uint8_t type;
        uint16_t seq;
        uint32_t peer;
        uint8_t *payload = NULL;
        size_t len = 0, dlen = 0;
        if (!read_msg(ctx->sock.fd, &type, &seq, &peer, &payload, &len))
            return UBUS_STATUS_TIMEOUT;
        if (seq == want && type == MSG_DATA) {
            const uint8_t *v = find_attr(payload, len, ATTR_OBJID, &dlen);
            if (v && dlen >= 4)
                *id = get_be32(v);
        } else if (seq == want && type == MSG_STATUS) {
            const uint8_t *v = find_attr(payload, len, ATTR_STATUS, &dlen);
            int status = v && dlen >= 4 ? (int)get_be32(v) : UBUS_STATUS_INVALID_ARGUMENT;
            free(payload);
            return status;
        }
        free(payload);
    }
}
