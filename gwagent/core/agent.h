/* The agent's device record, start-up steps, timers and ubus context. Main thread only, except
 * where a declaration says otherwise. */
#ifndef GWAGENT_CORE_AGENT_H
#define GWAGENT_CORE_AGENT_H

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

#include <gw/ubox.h>

#include "core/dev_info.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- timers, ubus ---------------------------------------------------------------------------- */

extern struct uloop_timeout g_timeout_syslog;

struct ubus_context;
extern struct ubus_context *ctx;
extern const char *ubus_socket;

/* ---- start-up ------------------------------------------------------------------------------- */

int set_signal_handler(int sig, void (*handler)(int));
void gwagent_signal_handler(void);
int gwagent_devinfo_init(void);
/* The device values alone (configuration service and framework version), without the registered
 * flag: what every Boot re-reads. */
int gwagent_devinfo_refresh(void);
int gwagent_set_dns(void);
int gwagent_ubus_init(void);
/* The ubus socket: the one given on the command line, else the default below the run-time root.
 * Returns a NUL-terminated copy in out, or NULL when it does not fit. */
const char *gwagent_ubus_socket(char *out, size_t size);
void gwagent_log_init(void);

/* Steps of the start-up, callable alone. */
/* The distribution server named by the platform address file: 1 with host (cut to size) and port,
 * 0 when the file is missing, empty or unusable. */
int gwagent_platform_file_endpoint(char *host, size_t size, int *port);
void gwagent_vendor_register_init(void);
/* Writes the pid as gwagent.global.pid. 0, or -1. */
int gwagent_store_pid(void);

/* Timer callbacks (tests fire them directly). */
void ucf_timeout_syslog_cb(struct uloop_timeout *t);
/* The temporary log level returns to the default ms from now (re-arming replaces the earlier end). */
void gwagent_log_level_restore_after(int ms);

#ifdef __cplusplus
}
#endif

#endif
