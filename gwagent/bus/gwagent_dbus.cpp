// The agent's bus service: one table of methods and properties gives both the introspection text and
// the dispatch; the configuration service's signals become words on the local message queue.
#include "bus/gwagent_dbus.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bus/gwagent_mq.h"
#include "bus/gwagent_status.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "platform/conn.h"

gwagent_dbus_ctx g_gwagent_dbus_ctx = {};

namespace {

// ---- the interface ------------------------------------------------------------------------------

struct Arg {
    const char *name;
    const char *type;
    const char *direction;
};

using MethodFn = void (*)(GVariant *params, GDBusMethodInvocation *inv);
using PropertyFn = GVariant *(*)(const gwagent_status &s);

struct Method {
    const char *name;
    const Arg *args;
    size_t arg_count;
    MethodFn run;
};

struct Property {
    const char *name;
    const char *type;
    PropertyFn get;
};

void upg_rep(GVariant *params, GDBusMethodInvocation *inv);
void get_status(GVariant *params, GDBusMethodInvocation *inv);
GVariant *hb_send_time(const gwagent_status &s);
GVariant *hb_recv_time(const gwagent_status &s);
GVariant *timer_info(const gwagent_status &s);
GVariant *platform_connect_info(const gwagent_status &s);

constexpr Arg kUpgRepArgs[] = {{"modname", "s", "in"}, {"taskno", "u", "in"}, {"result", "i", "in"}};
constexpr Arg kGetStatusArgs[] = {{"srvip", "s", "out"}, {"port", "u", "out"}, {"status", "u", "out"}};

constexpr Method kMethods[] = {
    {"UpgRep", kUpgRepArgs, 3, upg_rep},
    {"GetStatus", kGetStatusArgs, 3, get_status},
};
constexpr const char *kSignals[] = {"LogLevelChanged"};
constexpr Property kProperties[] = {
    {"HbSendTime", "u", hb_send_time},
    {"HbRecvTime", "u", hb_recv_time},
    {"TimerInfo", "s", timer_info},
    {"PlatformConnectInfo", "s", platform_connect_info},
};

std::string build_introspection()
{
    std::string x = "<node><interface name=\"" GWAGENT_DBUS_IFACE "\">";
    for (const Method &m : kMethods) {
        x += std::string("<method name=\"") + m.name + "\">";
        for (size_t i = 0; i < m.arg_count; ++i)
            x += std::string("<arg name=\"") + m.args[i].name + "\" type=\"" + m.args[i].type + "\" direction=\"" +
                 m.args[i].direction + "\"/>";
        x += "</method>";
    }
    for (const char *s : kSignals)
        x += std::string("<signal name=\"") + s + "\"/>";
    for (const Property &p : kProperties)
        x += std::string("<property name=\"") + p.name + "\" type=\"" + p.type + "\" access=\"read\"/>";
    return x + "</interface></node>";
}

// ---- state shared with the main thread ----------------------------------------------------------

std::mutex g_mu;
std::condition_variable g_cv;
bool g_running = false;
std::atomic<int> g_name_acquired{0};
std::atomic<int> g_registered{0};
// The device type decides the subscriptions; copied on the main thread before the thread starts.
std::atomic<unsigned> g_dev_type{0};
std::atomic<unsigned> g_work_mode{0};

// Delayed slave-access writes: sources of the bus thread's context (touched there only).
constexpr guint kSlaveAccessDelayS = 20;
std::vector<GSource *> g_slave_timers;
std::atomic<int> g_slave_pending{0};

// ---- methods and properties ---------------------------------------------------------------------

void upg_rep(GVariant *params, GDBusMethodInvocation *inv)
{
    const char *modname = nullptr;
    guint32 taskno = 0;
    gint32 result = 0;
    g_variant_get(params, "(&sui)", &modname, &taskno, &result);
    const bool framework = strncmp(modname, "zep", 3) == 0;
    if (result != 0) {
        if (framework)
            write_zep_log("%s upgrade failed. errno = %d", modname, result);
        GWLOG(LOG_LVL_ERR, "%s upgrad failed. errno = %d", modname, result);
    } else {
        if (framework)
            write_zep_log("%s upgrade success.", modname);
        GWLOG(LOG_LVL_DEBUG, "%s upgrade success.", modname);
    }
    msg_OXA_UPG_REP(modname, result);
    g_dbus_method_invocation_return_value(inv, nullptr);
}

void get_status(GVariant *, GDBusMethodInvocation *inv)
{
    gwagent_status s{};
    gwagent_status_read(&s);
    const guint32 status = s.status < 6 ? s.status : 0;
    g_dbus_method_invocation_return_value(inv, g_variant_new("(suu)", s.address, s.port, status));
}

GVariant *hb_send_time(const gwagent_status &s) { return g_variant_new_uint32(s.hb_send_time); }
GVariant *hb_recv_time(const gwagent_status &s) { return g_variant_new_uint32(s.hb_recv_time); }

GVariant *timer_info(const gwagent_status &s)
{
    char text[96];
    snprintf(text, sizeof text, "{\"relogin\":%d,\"nexthb\":%d,\"nextphb\":%d}", static_cast<int>(s.relogin_ms),
             static_cast<int>(s.nexthb_ms), static_cast<int>(s.nextphb_ms));
    return g_variant_new_string(text);
}

// The texts come from the configuration and the resolver; a quote or backslash in them must not
// break the JSON, and the bus carries only valid UTF-8.
std::string json_text(const char *s)
{
    std::string out;
    for (const char *p = s; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += *p;
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += *p;
        }
    }
    if (!g_utf8_validate(out.c_str(), static_cast<gssize>(out.size()), nullptr))
        return "";
    return out;
}

GVariant *platform_connect_info(const gwagent_status &s)
{
    const std::string server = json_text(s.server), ip = json_text(s.address), err = json_text(s.last_error);
    char text[512];
    snprintf(text, sizeof text,
             "{\"server\":\"%s\",\"ip\":\"%s\",\"port\":%d,\"fd\":%d,\"status\":%d,\"errmsg\":\"%s\",\"errcnt\":%d,"
             "\"bootErr\":%d,\"registerErr\":%d,\"hbErr\":%d,\"cmdErr\":%d}",
             server.c_str(), ip.c_str(), static_cast<int>(s.port), s.fd, static_cast<int>(s.status), err.c_str(),
             s.common_err, s.boot_err, s.register_err, s.hb_err, s.cmd_err);
    return g_variant_new_string(text);
}

void gwagent_mthCall(GDBusConnection *, const gchar *, const gchar *object_path, const gchar *interface_name,
                     const gchar *method_name, GVariant *parameters, GDBusMethodInvocation *invocation, gpointer)
{
    GWLOG(LOG_LVL_DEBUG, "method_call, path: %s interface: %s method : %s ", object_path, interface_name, method_name);
    for (const Method &m : kMethods) {
        if (strcmp(m.name, method_name) == 0) {
            m.run(parameters, invocation);
            return;
        }
    }
    // The bus checks names against the interface first; a caller must still never wait for nothing.
    g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod", method_name);
}

GVariant *gwagent_getProp(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *property_name,
                          GError **error, gpointer)
{
    gwagent_status s{};
    gwagent_status_read(&s);
    for (const Property &p : kProperties)
        if (strcmp(p.name, property_name) == 0)
            return p.get(s);
    g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "no property %s", property_name);
    return nullptr;
}

const GDBusInterfaceVTable kVtable = {gwagent_mthCall, gwagent_getProp, nullptr, {}};

// ---- signals ------------------------------------------------------------------------------------

void write_word(const char *word) { gwagent_mq_write(word, strlen(word)); }

// Logs the signal; false when it carries no parameters.
bool log_signal(const gchar *sender, const gchar *path, const gchar *iface, const gchar *signal, GVariant *params)
{
    gw::GCharPtr printed(params ? g_variant_print(params, TRUE) : nullptr);
    GWLOG(LOG_LVL_INFO, "received signal %s %s: %s.%s %s", sender ? sender : "", path, iface, signal,
          printed ? printed.get() : "");
    // The bus hands an empty tuple for a signal that carries nothing.
    if (!params || g_variant_n_children(params) == 0) {
        GWLOG(LOG_LVL_INFO, "properties changed signal parms is null.");
        return false;
    }
    return true;
}

// A PropertiesChanged of `iface` becomes `word`; user_data is the word's index in g_mq_words, and the
// interface the index of the matching entry of kChangedIfaces.
constexpr const char *kChangedIfaces[] = {"com.yvc.igd1.MngPlatInfo", "com.yvc.igd1.NetworkInfo"};

void properties_changed(GDBusConnection *, const gchar *sender, const gchar *path, const gchar *iface,
                        const gchar *signal, GVariant *params, gpointer user_data)
{
    if (!log_signal(sender, path, iface, signal, params))
        return;
    if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(sa{sv}as)"))) {
        GWLOG(LOG_LVL_WARN, "parms type of properties changed signal : %s is not correct.",
              g_variant_get_type_string(params));
        return;
    }
    const int index = GPOINTER_TO_INT(user_data);
    const char *changed = nullptr;
    g_variant_get_child(params, 0, "&s", &changed);
    if (strcmp(changed, kChangedIfaces[index]) != 0) {
        GWLOG(LOG_LVL_WARN, "wrong interface name [%s] for properties changed signal", changed);
        return;
    }
    write_word(g_mq_words[index]);
}

gboolean slave_access_timer(gpointer source)
{
    for (auto it = g_slave_timers.begin(); it != g_slave_timers.end(); ++it) {
        if (*it == source) {
            g_slave_timers.erase(it);
            g_source_unref(static_cast<GSource *>(source));
            break;
        }
    }
    --g_slave_pending;
    return msg_slave_access_send(nullptr);
}

void slave_device_access(GDBusConnection *, const gchar *sender, const gchar *path, const gchar *iface,
                         const gchar *signal, GVariant *params, gpointer)
{
    if (!log_signal(sender, path, iface, signal, params))
        return;
    // Each signal schedules its own write, on this thread's loop.
    GSource *t = g_timeout_source_new_seconds(kSlaveAccessDelayS);
    g_source_set_callback(t, slave_access_timer, t, nullptr);
    g_source_attach(t, g_gwagent_dbus_ctx.context);
    g_slave_timers.push_back(t);
    ++g_slave_pending;
}

void ftto_slave_signal(GDBusConnection *, const gchar *sender, const gchar *path, const gchar *iface,
                       const gchar *signal, GVariant *params, gpointer)
{
    if (!log_signal(sender, path, iface, signal, params))
        return;
    guint8 type = 0;
    if (g_variant_is_of_type(params, G_VARIANT_TYPE("(y)")))
        g_variant_get(params, "(y)", &type);
    if (type == 1)
        write_word(g_mq_words[GWAGENT_MQ_NET_INFO]);
    else
        GWLOG(LOG_LVL_DEBUG, "SignalType %u is invalid.", static_cast<unsigned>(type));
}

struct Subscription {
    int slot;
    const char *iface;
    const char *member;
    const char *path;
    GDBusSignalCallback cb;
    int word;
    const char *failure;
};

constexpr Subscription kSubscriptions[] = {
    {GWAGENT_SUB_MNGPLAT, "com.yvc.igd1.Properties", "PropertiesChanged", "/com/yvc/igd1/Info/MngPlat",
     properties_changed, GWAGENT_MQ_MNG_PLAT, "Subscribe /com/yvc/igd1/Info/MngPlat signal failed!"},
    {GWAGENT_SUB_NETWORK, "com.yvc.igd1.Properties", "PropertiesChanged", "/com/yvc/igd1/Info/Network",
     properties_changed, GWAGENT_MQ_NET_INFO, "Subscribe /com/yvc/igd1/Info/Network signal failed!"},
    {GWAGENT_SUB_SLAVE_ACCESS, "com.yvc.igd1.SlaveManager", "SlaveDeviceAccess", "/com/yvc/igd1/FTTO/Master",
     slave_device_access, 0, "Subscribe /com/yvc/igd1/FTTO/Master SlaveDeviceAccess signal failed!"},
    {GWAGENT_SUB_FTTO_SLAVE, "com.yvc.igd1.SlaveControl", "FTTOSlaveSignal", "/com/yvc/igd1/FTTO/Slave",
     ftto_slave_signal, 0, "Subscribe /com/yvc/igd1/FTTO/Slave FTTOSlaveSignal signal failed!"},
};

bool wanted(const Subscription &s)
{
    if (s.slot == GWAGENT_SUB_SLAVE_ACCESS)
        return g_dev_type.load() == 11;
    if (s.slot == GWAGENT_SUB_FTTO_SLAVE)
        return g_dev_type.load() == 12 && g_work_mode.load() == 2;
    return true;
}

// ---- name ownership -----------------------------------------------------------------------------

gw::NodeInfoPtr g_node;

void unsubscribe_all(GDBusConnection *conn)
{
    for (guint &id : g_gwagent_dbus_ctx.subscriptions) {
        if (id == 0)
            continue;
        GWLOG(LOG_LVL_INFO, "unregister signal MngPlat %u", id);
        if (conn)
            g_dbus_connection_signal_unsubscribe(conn, id);
        id = 0;
    }
}

void on_bus_acquired(GDBusConnection *conn, const gchar *, gpointer)
{
    if (gwagent_monitor_signals() != 0) {
        GWLOG(LOG_LVL_WARN, "gwagent monitor signals failed");
        return;
    }
    gw::ErrorPtr err;
    const guint id = g_dbus_connection_register_object(conn, GWAGENT_DBUS_PATH, g_node->interfaces[0], &kVtable,
                                                       nullptr, nullptr, gw::ErrorOut(err));
    if (id == 0) {
        GWLOG(LOG_LVL_WARN, "register object failed, %s", gw::error_text(err));
        return;
    }
    g_gwagent_dbus_ctx.registration_id = id;
    g_registered = 1;
}

void on_name_acquired(GDBusConnection *, const gchar *name, gpointer)
{
    GWLOG(LOG_LVL_INFO, "Acquired the name %s on the system bus\n", name);
    g_name_acquired = 1;
}

void on_name_lost(GDBusConnection *conn, const gchar *name, gpointer)
{
    GWLOG(LOG_LVL_INFO, "Lost the name %s on the system bus\n", name);
    if (g_gwagent_dbus_ctx.registration_id != 0) {
        GWLOG(LOG_LVL_INFO, "unregister object %u", g_gwagent_dbus_ctx.registration_id);
        if (conn)
            g_dbus_connection_unregister_object(conn, g_gwagent_dbus_ctx.registration_id);
        g_gwagent_dbus_ctx.registration_id = 0;
        g_registered = 0;
    }
    unsubscribe_all(conn);
    g_name_acquired = 0;
    g_main_loop_quit(g_gwagent_dbus_ctx.loop);
}

gboolean announce_running(gpointer)
{
    std::lock_guard<std::mutex> lock(g_mu);
    g_running = true;
    g_cv.notify_all();
    return G_SOURCE_REMOVE;
}

gpointer gwagent_dbus_Cb(gpointer)
{
    GMainContext *context = g_gwagent_dbus_ctx.context;
    g_main_context_push_thread_default(context);
    gw::ErrorPtr err;
    g_node.reset(g_dbus_node_info_new_for_xml(gwagent_dbus_introspection(), gw::ErrorOut(err)));
    g_assert(g_node && g_node->interfaces && g_node->interfaces[0]);
    g_gwagent_dbus_ctx.owner_id =
        g_bus_own_name(G_BUS_TYPE_SYSTEM, GWAGENT_DBUS_NAME, G_BUS_NAME_OWNER_FLAGS_ALLOW_REPLACEMENT, on_bus_acquired,
                       on_name_acquired, on_name_lost, nullptr, nullptr);
    GSource *idle = g_idle_source_new();
    g_source_set_callback(idle, announce_running, nullptr, nullptr);
    g_source_attach(idle, context);
    g_source_unref(idle);
    g_main_loop_run(g_gwagent_dbus_ctx.loop);
    // A name lost before the first idle still lets the starter go on.
    announce_running(nullptr);

    // Ended by the main thread or by losing the name: nothing of the service is left behind.
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, nullptr));
    if (g_gwagent_dbus_ctx.registration_id != 0 && conn)
        g_dbus_connection_unregister_object(conn.get(), g_gwagent_dbus_ctx.registration_id);
    g_gwagent_dbus_ctx.registration_id = 0;
    g_registered = 0;
    unsubscribe_all(conn.get());
    for (GSource *t : g_slave_timers) {
        g_source_destroy(t);
        g_source_unref(t);
    }
    g_slave_timers.clear();
    g_slave_pending = 0;
    g_bus_unown_name(g_gwagent_dbus_ctx.owner_id);
    g_gwagent_dbus_ctx.owner_id = 0;
    g_name_acquired = 0;
    g_node.reset();
    // Let the unown and unsubscribe notifications that target this context run before it goes.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
    return nullptr;
}

gboolean fire_slave_timers(gpointer)
{
    std::vector<GSource *> due;
    due.swap(g_slave_timers);
    for (GSource *t : due) {
        g_source_destroy(t);
        g_source_unref(t);
        --g_slave_pending;
        msg_slave_access_send(nullptr);
    }
    return G_SOURCE_REMOVE;
}

}  // namespace

extern "C" const char *gwagent_dbus_introspection(void)
{
    static const std::string text = build_introspection();
    return text.c_str();
}

extern "C" int gwagent_monitor_signals(void)
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        GWLOG(LOG_LVL_WARN, "g_bus_get_sync failed, %s", gw::error_text(err));
        return -1;
    }
    for (const Subscription &s : kSubscriptions) {
        if (!wanted(s))
            continue;
        const guint id =
            g_dbus_connection_signal_subscribe(conn.get(), nullptr, s.iface, s.member, s.path, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, s.cb, GINT_TO_POINTER(s.word), nullptr);
        if (id == 0) {
            GWLOG(LOG_LVL_WARN, "%s", s.failure);
            return -1;
        }
        g_gwagent_dbus_ctx.subscriptions[s.slot] = id;
    }
    return 0;
}

extern "C" gboolean msg_slave_access_send(gpointer)
{
    const char *word = g_mq_words[GWAGENT_MQ_FTTO_DEVICE];
    if (gwagent_mq_write(word, strlen(word)) != 0)
        GWLOG(LOG_LVL_DEBUG, "g_fd_mq_write fifo error!");
    return FALSE;
}

extern "C" int gwagent_dbus_slave_access_pending(void) { return g_slave_pending.load(); }

extern "C" void gwagent_dbus_slave_access_fire(void)
{
    if (g_gwagent_dbus_ctx.context)
        g_main_context_invoke(g_gwagent_dbus_ctx.context, fire_slave_timers, nullptr);
}

extern "C" int gwagent_dbus_name_acquired(void) { return g_name_acquired.load(); }
extern "C" int gwagent_dbus_object_registered(void) { return g_registered.load(); }

extern "C" int gwagent_dbus_init(void)
{
    if (g_gwagent_dbus_ctx.thread)
        return -1;
    g_dev_type = g_dev_info.DevType;
    g_work_mode = g_dev_info.WorkMode;
    gwagent_status_publish();
    g_gwagent_dbus_ctx.context = g_main_context_new();
    g_gwagent_dbus_ctx.loop = g_main_loop_new(g_gwagent_dbus_ctx.context, FALSE);
    {
        std::lock_guard<std::mutex> lock(g_mu);
        g_running = false;
    }
    g_gwagent_dbus_ctx.thread = g_thread_new("gwagent-mainLoop", gwagent_dbus_Cb, nullptr);
    std::unique_lock<std::mutex> lock(g_mu);
    g_cv.wait(lock, [] { return g_running; });
    GWLOG(LOG_LVL_NOTICE, "gwagent dbus server thread start.");
    return 0;
}

extern "C" void gwagent_dbus_done(void)
{
    if (!g_gwagent_dbus_ctx.thread)
        return;
    g_main_loop_quit(g_gwagent_dbus_ctx.loop);
    g_thread_join(g_gwagent_dbus_ctx.thread);
    g_main_loop_unref(g_gwagent_dbus_ctx.loop);
    g_main_context_unref(g_gwagent_dbus_ctx.context);
    g_gwagent_dbus_ctx = {};
}
