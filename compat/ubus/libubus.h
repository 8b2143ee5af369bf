/* Client side of the local message bus: only connecting and resolving object ids. */
#ifndef __LIBUBUS_H
#define __LIBUBUS_H

#include <stdbool.h>
#include <stdint.h>

#include <libubox/list.h>
#include <libubox/uloop.h>

#ifdef __cplusplus
extern "C" {
#endif

#define UBUS_UNIX_SOCKET "/var/run/ubus/ubus.sock"

enum ubus_msg_status {
    UBUS_STATUS_OK,
    UBUS_STATUS_INVALID_COMMAND,
    UBUS_STATUS_INVALID_ARGUMENT,
    UBUS_STATUS_METHOD_NOT_FOUND,
    UBUS_STATUS_NOT_FOUND,
    UBUS_STATUS_NO_DATA,
    UBUS_STATUS_PERMISSION_DENIED,
    UBUS_STATUS_TIMEOUT,
    UBUS_STATUS_NOT_SUPPORTED,
    UBUS_STATUS_UNKNOWN_ERROR,
    UBUS_STATUS_CONNECTION_FAILED,
    UBUS_STATUS_NO_MEMORY,
    UBUS_STATUS_PARSE_ERROR,
    UBUS_STATUS_SYSTEM_ERROR,
    __UBUS_STATUS_LAST
};

struct ubus_context {
    struct list_head requests;
    struct uloop_fd sock;
    uint32_t local_id;
    uint16_t request_seq;
    bool cancel_poll;
    int stack_depth;
};

/* NULL path: the default socket. Returns NULL when no bus daemon answers. */
struct ubus_context *ubus_connect(const char *path);
void ubus_free(struct ubus_context *ctx);
const char *ubus_strerror(int error);

/* Returns UBUS_STATUS_OK and the object id, or an UBUS_STATUS_* error. */
int ubus_lookup_id(struct ubus_context *ctx, const char *path, uint32_t *id);

#ifdef __cplusplus
}
#endif

#endif
