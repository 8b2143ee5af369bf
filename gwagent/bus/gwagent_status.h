/* The connection state the bus service reports, as a copy the main thread publishes: the bus thread
 * reads only the copy, never the connection records or the timers themselves. */
#ifndef GWAGENT_BUS_GWAGENT_STATUS_H
#define GWAGENT_BUS_GWAGENT_STATUS_H

#include <stdint.h>

#include <gw/ubox.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct gwagent_status {
    char server[48];
    char address[48];
    uint32_t port;
    int32_t fd;
    uint32_t status;
    char last_error[64];
    int32_t common_err;
    int32_t boot_err;
    int32_t register_err;
    int32_t hb_err;
    int32_t cmd_err;
    uint32_t hb_send_time;
    uint32_t hb_recv_time;
    /* Remaining milliseconds of the relogin, next distribution heartbeat and next plugin heartbeat
     * timers when published (-1: not armed), and the monotonic time of publishing in microseconds. */
    int64_t relogin_ms;
    int64_t nexthb_ms;
    int64_t nextphb_ms;
    int64_t published_us;
} gwagent_status;

/* Main thread: copies the current state. */
void gwagent_status_publish(void);
/* Any thread: the last copy, its timer values counted down to now. */
void gwagent_status_read(gwagent_status *out);

/* Main thread: publishes now and then every second until gwagent_status_stop. */
void gwagent_status_start(void);
void gwagent_status_stop(void);
extern struct uloop_timeout g_timeout_status_publish;

#ifdef __cplusplus
}
#endif

#endif
