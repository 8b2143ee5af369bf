/* Bus core: synchronous primitives on the system bus, string lists, signal subscriptions and their
 * dispatch, the optional event-loop thread and the cached device capabilities. Every function returns
 * 0 for success and -1 for failure unless it says otherwise; out-parameters are written only on
 * success. Reply variants and string lists handed out belong to the caller. */
#ifndef GWBUS_BUS_H
#define GWBUS_BUS_H

#include <gio/gio.h>
#include <glib.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define HGU_BUS_NAME "com.yvc.igd1"
#define HGU_PROPERTIES_INTERFACE "com.yvc.igd1.Properties"
#define HGU_OBJECT_MANAGER_INTERFACE "com.yvc.igd1.ObjectManager"
#define HGU_DEFAULT_TIMEOUT (-1)

/* ---- primitives ----------------------------------------------------------------------------------
 * Values and parameter tuples handed in are consumed (a floating reference is sunk and released). */

/* "Get" of com.yvc.igd1.Properties; *value receives the unboxed inner value. */
int g_hgu_GetProperty(const char *bus_name, const char *object_path, const char *interface_name,
                      const char *property_name, GVariant **value);
/* "GetAll"; *map receives the a{sv} map. */
int g_hgu_GetAllProperty(const char *bus_name, const char *object_path, const char *interface_name, GVariant **map);
/* "Set" (ssv). */
int g_hgu_SetProperty(const char *bus_name, const char *object_path, const char *interface_name,
                      const char *property_name, GVariant *value);
/* "SetValues" (sa{sv}); map is an a{sv} value. */
int g_hgu_SetMultiProperty(const char *bus_name, const char *object_path, const char *interface_name, GVariant *map);
/* Any method; parameters is a tuple or NULL; reply may be NULL (the reply is then dropped at once).
 * "GetManagedObjects" requires the reply type (a{oa{sa{sv}}}). timeout_ms -1: the bus default. */
int g_hgu_CallMethod(const char *bus_name, const char *object_path, const char *interface_name, const char *method_name,
                     GVariant *parameters, GVariant **reply, int timeout_ms);

/* ---- call bounds, for a daemon whose loop must keep moving while a service does not answer ---------
 * g_hgu_set_call_timeout: the timeout of every call made with HGU_DEFAULT_TIMEOUT (also the property
 * primitives); -1, the initial setting, keeps the bus default.
 * g_hgu_call_scope_begin / _end: one unit of work on the calling thread (a command). Inside it, once a
 * call has timed out, every later call fails at once without reaching the bus, so the unit gives up
 * after its first timeout instead of waiting once per call. g_hgu_call_scope_timed_out: 1 when a call
 * of the current unit timed out. */
void g_hgu_set_call_timeout(int timeout_ms);
void g_hgu_call_scope_begin(void);
void g_hgu_call_scope_end(void);
int g_hgu_call_scope_timed_out(void);

/* ---- string lists: owned strings ending with a NULL entry, the array owned too ------------------ */

void g_hgu_freeStrList(char **list);
/* 1 if an entry equals s exactly, else 0 (also for a NULL or empty list). */
int g_hgu_strListStr(char **list, const char *s);
/* 1 if an entry equals s without regard to ASCII case, else 0. */
int g_hgu_strListStr0(char **list, const char *s);
/* Builds a string list from an `as` value: the element count, or -1 for a NULL/non-`as` variant or a
 * failed allocation. An empty array gives *list = NULL and 0. */
int var2value_strings(GVariant *value, char ***list);

/* ---- signals ------------------------------------------------------------------------------------- */

typedef void (*h_dbus_signal_cb)(const char *sender_name, const char *object_path, const char *interface_name,
                                 const char *signal_name, GVariant *parameters, void *user_data);

/* One subscription. sender_name and object_path are NULL when not given; an entry without a path
 * matches every path, one with a path every signal path it is a prefix of. */
typedef struct h_dbus_sig_sub {
    uint32_t id;
    char *sender_name;
    char *object_path;
    char *interface_name;
    char *member;
    h_dbus_signal_cb callback;
    void *user_data;
    struct h_dbus_sig_sub *next;
} h_dbus_sig_sub_t;

/* Newest subscription first. */
extern h_dbus_sig_sub_t *g_v_sig_list0;

/* Returns the subscription id (a duplicate subscription returns the existing id), or -1. */
long h_dbus_SubscribeSignal(const char *sender_name, const char *object_path, const char *interface_name,
                            const char *member, h_dbus_signal_cb callback, void *user_data);
void h_dbus_UnSubscribeSignal(unsigned int id);
/* Id of a subscription with exactly this non-empty path, interface and member, or 0. The sender is
 * ignored. */
unsigned int check_dbus_SubscribeSignal_Enable(const char *sender_name, const char *object_path,
                                               const char *interface_name, const char *member);
/* The one handler registered with the bus for every subscription. */
void h_dbus_sig_cb(GDBusConnection *connection, const gchar *sender_name, const gchar *object_path,
                   const gchar *interface_name, const gchar *signal_name, GVariant *parameters, gpointer user_data);

/* ---- lifecycle ----------------------------------------------------------------------------------- */

/* The library's main loop while the "libgwbus-mainLoop" thread runs it, else NULL. */
extern GMainLoop *api_loop;

/* Starts the "libgwbus-mainLoop" thread running the default main context. Not for processes that run
 * their own default-context loop. */
int libgwbus_init(void);
/* Quits that loop and waits for the thread. */
void libgwbus_close(void);
void g_hgu_LogOpen(const char *ignored, const char *tag);
void g_hgu_LogClose(void);

/* ---- device capabilities (com.yvc.igd1.DeviceInfo at /com/yvc/igd1/Info/Device); -1 on failure --- */

int getDeviceWiFi(void);        /* 0 none, 1 single band, 2 dual band */
int getDeviceWiFiVersion(void); /* 0 none, 4, 5 or 6 */
int getDeviceUSB(void);         /* 0 or 1 */
int getDevicePOTSNum(void);
int getDevType(void);
int getWorkMode(void);
/* LANHostOnlineNumber of com.yvc.igd1.LANHostManager; not cached. */
int getLANHostOnlineNumber(void);

/* Cached twins: ask the bus until a read succeeds, then keep the value. */
int g_api_getDevWiFi(void);
int g_api_getDevWiFiVersion(void);
int g_api_getDevUSB(void);
int g_api_getDevPOTSNum(void);
int g_api_getDevType(void);
int g_api_getWorkMode(void);

/* ---- pid file ------------------------------------------------------------------------------------ */

/* Creates or truncates path (below the run-time root) with mode 0600 and writes the pid in decimal.
 * -1 only when the file cannot be opened. */
int write_pid_to_file(const char *path);

#ifdef __cplusplus
}
#endif

#endif
