/* The bus-service thread "gwagent-mainLoop": a GLib main loop on its own context, where the agent's
 * bus service lives. */
#ifndef GWAGENT_BUS_GWAGENT_DBUS_H
#define GWAGENT_BUS_GWAGENT_DBUS_H

#include <glib.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct gwagent_dbus_ctx {
    GThread *thread;
    GMainContext *context;
    GMainLoop *loop;
} gwagent_dbus_ctx;

extern gwagent_dbus_ctx g_gwagent_dbus_ctx;

/* Starts the thread once its loop runs. 0, or -1 when it runs already or cannot start. */
int gwagent_dbus_init(void);
/* Quits the loop and joins the thread; nothing when none runs. */
void gwagent_dbus_done(void);

#ifdef __cplusplus
}
#endif

#endif
