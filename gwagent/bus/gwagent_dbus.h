/* The bus-service thread "gwagent-mainLoop": a GLib main loop on its own context that owns
 * "com.yvc.gwagent1", serves /com/yvc/gwagent1 and listens to the configuration service's signals.
 * Changes of agent state leave it only as words on the local message queue. */
#ifndef GWAGENT_BUS_GWAGENT_DBUS_H
#define GWAGENT_BUS_GWAGENT_DBUS_H

#include <gio/gio.h>
#include <glib.h>

#ifdef __cplusplus
extern "C" {
#endif

#define GWAGENT_DBUS_NAME "com.yvc.gwagent1"
#define GWAGENT_DBUS_PATH "/com/yvc/gwagent1"
#define GWAGENT_DBUS_IFACE "com.yvc.gwagent1"

/* Index of each subscription in gwagent_dbus_ctx.subscriptions. */
#define GWAGENT_SUB_MNGPLAT 0
#define GWAGENT_SUB_NETWORK 1
#define GWAGENT_SUB_SLAVE_ACCESS 2
#define GWAGENT_SUB_FTTO_SLAVE 3
#define GWAGENT_SUB_COUNT 4

/* thread, context and loop belong to the main thread; the ids are set and cleared on the bus thread
 * only. */
typedef struct gwagent_dbus_ctx {
    GThread *thread;
    GMainContext *context;
    GMainLoop *loop;
    guint owner_id;
    guint registration_id;
    guint subscriptions[GWAGENT_SUB_COUNT];
} gwagent_dbus_ctx;

extern gwagent_dbus_ctx g_gwagent_dbus_ctx;

/* Main thread: starts the thread once its loop runs. 0, or -1 when it runs already. */
int gwagent_dbus_init(void);
/* Main thread: quits the loop and joins the thread; nothing when none runs. */
void gwagent_dbus_done(void);
/* 1 while the bus name is owned (any thread). */
int gwagent_dbus_name_acquired(void);
/* 1 while /com/yvc/gwagent1 is registered (any thread). */
int gwagent_dbus_object_registered(void);

/* The introspection text the object is registered from, built from the method and property tables. */
const char *gwagent_dbus_introspection(void);

/* Subscribes to the configuration service's signals for this device type; 0 or -1. Bus thread. */
int gwagent_monitor_signals(void);
/* Writes "FTTO_DEVICE_CHANGE" to the message queue; FALSE, so that its timeout runs once. */
gboolean msg_slave_access_send(gpointer unused);

/* Delayed slave-access writes not yet made (any thread), and firing them all now (tests). */
int gwagent_dbus_slave_access_pending(void);
void gwagent_dbus_slave_access_fire(void);

#ifdef __cplusplus
}
#endif

#endif
