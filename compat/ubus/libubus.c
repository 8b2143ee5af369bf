/* Bus client: connect to the daemon's unix socket; without a daemon there is no context. */
#define _GNU_SOURCE
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <libubox/usock.h>

#include "libubus.h"

struct ubus_context *ubus_connect(const char *path)
{
    struct ubus_context *ctx;
    int fd;

    fd = usock(USOCK_UNIX, path ? path : UBUS_UNIX_SOCKET, NULL);
    if (fd < 0)
        return NULL;
    ctx = calloc(1, sizeof(*ctx));
    if (!ctx) {
        close(fd);
        return NULL;
    }
    INIT_LIST_HEAD(&ctx->requests);
    ctx->sock.fd = fd;
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

/* The wire protocol is not spoken here: a connected context still cannot resolve names, and says so
 * rather than inventing an id. */
int ubus_lookup_id(struct ubus_context *ctx, const char *path, uint32_t *id)
{
    if (!ctx || !path || !id)
        return UBUS_STATUS_INVALID_ARGUMENT;
    if (ctx->sock.fd < 0)
        return UBUS_STATUS_CONNECTION_FAILED;
    return UBUS_STATUS_NOT_SUPPORTED;
}
