/* The delayed reboot and factory reset: answered at once, called once the platform has stopped
 * asking for five seconds. */
#ifndef GWAGENT_COMMANDS_CMD_SYSTEM_TIMERS_H
#define GWAGENT_COMMANDS_CMD_SYSTEM_TIMERS_H

#include <gw/ubox.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GWAGENT_SYSTEM_CMD_DELAY_MS 5000

extern struct uloop_timeout g_timeout_reboot;
extern struct uloop_timeout g_timeout_restore;

void gwagent_reboot_timeout_cb(struct uloop_timeout *t);
void gwagent_restore_timeout_cb(struct uloop_timeout *t);

#ifdef __cplusplus
}
#endif

#endif
