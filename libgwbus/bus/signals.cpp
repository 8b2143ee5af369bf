// Signal subscriptions and their dispatch through one bus handler.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "bus_internal.hpp"
#include "gwbus/bus.h"
#include "gwbus/log.h"

h_dbus_sig_sub_t *g_v_sig_list0 = nullptr;

namespace {

// Guards the list against a subscription made on one thread while another dispatches. Never held
// across a bus round trip or a callback.
std::mutex g_list_mutex;

const char *or_null(const char *s) { return s ? s : "NULL"; }
bool empty(const char *s) { return !s || !*s; }
bool same(const char *a, const char *b) { return std::strcmp(a ? a : "", b ? b : "") == 0; }

void free_entry(h_dbus_sig_sub_t *e)
{
    std::free(e->sender_name);
    std::free(e->object_path);
    std::free(e->interface_name);
    std::free(e->member);
    std::free(e);
}

char *dup_or_null(const char *s, bool &failed)
{
    if (empty(s))
        return nullptr;
    char *d = strdup(s);
    if (!d)
        failed = true;
    return d;
}

h_dbus_sig_sub_t *find_duplicate(const char *path, const char *iface, const char *member, h_dbus_signal_cb cb)
{
    for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next) {
        if (e->callback != cb || !same(e->interface_name, iface) || !same(e->member, member))
            continue;
        if (empty(path) ? empty(e->object_path) : (!empty(e->object_path) && std::strcmp(e->object_path, path) == 0))
            return e;
    }
    return nullptr;
}

bool still_subscribed(uint32_t id)
{
    std::lock_guard<std::mutex> lock(g_list_mutex);
    for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
        if (e->id == id)
            return true;
    return false;
}

struct Candidate {
    uint32_t id;
    std::string sender;
    std::string path;
    std::string iface;
    std::string member;
    h_dbus_signal_cb callback;
    void *user_data;
};

// Owner of a well-known name, or false when the bus cannot tell.
bool name_owner(GDBusConnection *conn, const std::string &name, std::string &owner)
{
    gw::ErrorPtr err;
    gw::VariantPtr reply(g_dbus_connection_call_sync(conn, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                     "org.freedesktop.DBus", "GetNameOwner",
                                                     g_variant_new("(s)", name.c_str()), G_VARIANT_TYPE("(s)"),
                                                     G_DBUS_CALL_FLAGS_NONE, -1, nullptr, gw::ErrorOut(err)));
    if (!reply) {
        GWLOG(LOG_LVL_DEBUG, "GetNameOwner %s failed, %s", name.c_str(), gw::error_text(err));
        return false;
    }
    const char *s = nullptr;
    g_variant_get(reply.get(), "(&s)", &s);
    owner = s;
    return true;
}

}  // namespace

extern "C" {

long h_dbus_SubscribeSignal(const char *sender_name, const char *object_path, const char *interface_name,
                            const char *member, h_dbus_signal_cb callback, void *user_data)
{
    GWLOG(LOG_LVL_DEBUG, "subscribe signal : %s, %s, %s, %s", or_null(sender_name), or_null(object_path),
          or_null(interface_name), or_null(member));
    if (empty(interface_name) || empty(member) || !callback) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    if (!empty(object_path) && !g_variant_is_object_path(object_path)) {
        GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", object_path);
        return -1;
    }
    if (!g_dbus_is_interface_name(interface_name) || !g_dbus_is_member_name(member) ||
        (!empty(sender_name) && !g_dbus_is_name(sender_name))) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    {
        std::lock_guard<std::mutex> lock(g_list_mutex);
        if (h_dbus_sig_sub_t *dup = find_duplicate(object_path, interface_name, member, callback)) {
            GWLOG(LOG_LVL_WARN, "signal subscribe warning, exist %d : %s, %s, %s.", static_cast<int>(dup->id),
                  or_null(object_path), interface_name, member);
            return dup->id;
        }
    }
    gw::ConnectionPtr conn = gw::bus::system_bus();
    if (!conn)
        return -1;

    auto *e = static_cast<h_dbus_sig_sub_t *>(std::calloc(1, sizeof(h_dbus_sig_sub_t)));
    bool failed = e == nullptr;
    if (e) {
        e->sender_name = dup_or_null(sender_name, failed);
        e->object_path = dup_or_null(object_path, failed);
        e->interface_name = dup_or_null(interface_name, failed);
        e->member = dup_or_null(member, failed);
        e->callback = callback;
        e->user_data = user_data;
    }
    if (failed) {
        GWLOG(LOG_LVL_WARN, "subscribe signal error, %s", std::strerror(errno));
        if (e)
            free_entry(e);
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_list_mutex);
    // Another thread may have made the same subscription while the bus was being fetched.
    if (h_dbus_sig_sub_t *dup = find_duplicate(object_path, interface_name, member, callback)) {
        free_entry(e);
        return dup->id;
    }
    e->id = g_dbus_connection_signal_subscribe(conn.get(), empty(sender_name) ? nullptr : sender_name, interface_name,
                                               member, empty(object_path) ? nullptr : object_path, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, h_dbus_sig_cb, user_data, nullptr);
    e->next = g_v_sig_list0;
    g_v_sig_list0 = e;
    return e->id;
}

void h_dbus_UnSubscribeSignal(unsigned int id)
{
    gw::ConnectionPtr conn = gw::bus::system_bus();
    std::lock_guard<std::mutex> lock(g_list_mutex);
    for (h_dbus_sig_sub_t **link = &g_v_sig_list0; *link; link = &(*link)->next) {
        h_dbus_sig_sub_t *e = *link;
        if (e->id != id)
            continue;
        // An id of ours is only ever handed to the bus once, so cancelling it here is safe; an unknown
        // id never reaches GDBus, which would warn about it.
        if (conn)
            g_dbus_connection_signal_unsubscribe(conn.get(), id);
        *link = e->next;
        free_entry(e);
        return;
    }
}

unsigned int check_dbus_SubscribeSignal_Enable(const char *, const char *object_path, const char *interface_name,
                                               const char *member)
{
    if (empty(object_path))
        return 0;
    std::lock_guard<std::mutex> lock(g_list_mutex);
    for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
        if (!empty(e->object_path) && std::strcmp(e->object_path, object_path) == 0 &&
            same(e->interface_name, interface_name) && same(e->member, member))
            return e->id;
    return 0;
}

void h_dbus_sig_cb(GDBusConnection *connection, const gchar *sender_name, const gchar *object_path,
                   const gchar *interface_name, const gchar *signal_name, GVariant *parameters, gpointer user_data)
{
    // The walk works on a copy so that callbacks may subscribe and unsubscribe freely.
    std::vector<Candidate> entries;
    {
        std::lock_guard<std::mutex> lock(g_list_mutex);
        for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
            entries.push_back({e->id, e->sender_name ? e->sender_name : "", e->object_path ? e->object_path : "",
                               e->interface_name ? e->interface_name : "", e->member ? e->member : "", e->callback,
                               e->user_data});
    }
    gw::ConnectionPtr own;
    bool matched = false;
    for (const Candidate &c : entries) {
        if (!c.sender.empty()) {
            GDBusConnection *conn = connection;
            if (!conn) {
                if (!own)
                    own = gw::bus::system_bus();
                conn = own.get();
            }
            std::string owner;
            if (conn && name_owner(conn, c.sender, owner) && !same(owner.c_str(), sender_name))
                continue;
        }
        const bool path_ok =
            c.path.empty() || (object_path && std::strncmp(object_path, c.path.c_str(), c.path.size()) == 0);
        if (!path_ok || !same(c.iface.c_str(), interface_name) || !same(c.member.c_str(), signal_name))
            continue;
        if (!still_subscribed(c.id))
            continue;
        matched = true;
        // Each callback gets the user data it subscribed with: the delivering registration's data
        // belongs to another subscriber whenever a prefix entry matches too.
        c.callback(sender_name, object_path, interface_name, signal_name, parameters, c.user_data);
    }
    if (!matched)
        GWLOG(LOG_LVL_WARN, "signal not match : %p, %s, %s, signal %s", user_data, or_null(object_path),
              or_null(interface_name), or_null(signal_name));
}

}  // extern "C"
