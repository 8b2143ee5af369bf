// The four synchronous primitives on the system bus.
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "bus_internal.hpp"
#include "gwbus/bus.h"
#include "gwbus/log.h"

namespace gw::bus {

// GLib keeps its shared bus connection only while someone holds a reference: dropped after every
// call, each call would open a new connection and every signal subscription would die with it. The
// library therefore keeps one reference for the life of the process, and fetches a fresh one only
// once the kept connection has been closed.
ConnectionPtr system_bus()
{
    static std::mutex kept_mutex;
    static GDBusConnection *kept = nullptr;
    {
        std::lock_guard<std::mutex> lock(kept_mutex);
        if (kept && !g_dbus_connection_is_closed(kept))
            return ConnectionPtr(G_DBUS_CONNECTION(g_object_ref(kept)));
    }
    ErrorPtr err;
    ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, ErrorOut(err)));
    if (!conn) {
        if (err && err->message)
            GWLOG(LOG_LVL_WARN, "g_bus_get_sync failed, %s", err->message);
        else
            GWLOG(LOG_LVL_WARN, "g_bus_get_sync failed");
        return conn;
    }
    std::lock_guard<std::mutex> lock(kept_mutex);
    if (kept != conn.get()) {
        if (kept)
            g_object_unref(kept);
        kept = G_DBUS_CONNECTION(g_object_ref(conn.get()));
    }
    return conn;
}

std::string print_variant(GVariant *v)
{
    if (!v)
        return "NULL";
    GCharPtr text(g_variant_print(v, TRUE));
    return text ? text.get() : "NULL";
}

bool names_valid(const char *bus_name, const char *object_path, const char *interface_name, const char *member)
{
    if (!bus_name || !g_dbus_is_name(bus_name)) {
        GWLOG(LOG_LVL_WARN, "the bus name [%s] is invalid.", bus_name ? bus_name : "NULL");
        return false;
    }
    if (!object_path || !g_variant_is_object_path(object_path)) {
        GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", object_path ? object_path : "NULL");
        return false;
    }
    if (!interface_name || !g_dbus_is_interface_name(interface_name)) {
        GWLOG(LOG_LVL_WARN, "the interface name [%s] is invalid.", interface_name ? interface_name : "NULL");
        return false;
    }
    if (member && !g_dbus_is_member_name(member)) {
        GWLOG(LOG_LVL_WARN, "the member name [%s] is invalid.", member);
        return false;
    }
    return true;
}

// GDBus reports a reply of the wrong type only in its error text ("Method 'Get' returned type '(s)',
// but expected '(v)'", quotes and wording vary): the first balanced tuple in it is what came back.
static std::string returned_type(const char *message)
{
    const char *p = message ? std::strchr(message, '(') : nullptr;
    if (!p)
        return message ? message : "";
    int depth = 0;
    for (const char *q = p; *q; ++q) {
        depth += *q == '(' ? 1 : *q == ')' ? -1 : 0;
        if (depth == 0)
            return std::string(p, q + 1);
    }
    return p;
}

namespace {

std::atomic<int> g_call_timeout{HGU_DEFAULT_TIMEOUT};

// The unit of work of the calling thread, and whether one of its calls timed out.
thread_local bool t_in_scope = false;
thread_local bool t_scope_timed_out = false;

}  // namespace

int call(const char *bus_name, const char *object_path, const char *interface_name, const char *method,
         GVariant *parameters, const GVariantType *reply_type, VariantPtr *reply, int timeout_ms, std::string *got_type)
{
    VariantPtr params = adopt_variant(parameters);
    if (!names_valid(bus_name, object_path, interface_name, method))
        return -1;
    if (!method) {
        GWLOG(LOG_LVL_WARN, "the member name [NULL] is invalid.");
        return -1;
    }
    if (params && !g_variant_is_of_type(params.get(), G_VARIANT_TYPE_TUPLE)) {
        GWLOG(LOG_LVL_WARN, "method %s parameters %s are not a tuple.", method,
              g_variant_get_type_string(params.get()));
        return -1;
    }
    if (t_in_scope && t_scope_timed_out) {
        GWLOG(LOG_LVL_WARN, "call %s.%s at %s skipped, an earlier call timed out.", interface_name, method,
              object_path);
        return -1;
    }
    ConnectionPtr conn = system_bus();
    if (!conn)
        return -1;
    if (timeout_ms == HGU_DEFAULT_TIMEOUT)
        timeout_ms = g_call_timeout.load();
    ErrorPtr err;
    VariantPtr out(g_dbus_connection_call_sync(conn.get(), bus_name, object_path, interface_name, method, params.get(),
                                               reply_type, G_DBUS_CALL_FLAGS_NONE, timeout_ms, nullptr, ErrorOut(err)));
    if (!out) {
        if (err && g_error_matches(err.get(), G_IO_ERROR, G_IO_ERROR_TIMED_OUT))
            t_scope_timed_out = t_in_scope;
        if (reply_type && err && g_error_matches(err.get(), G_IO_ERROR, G_IO_ERROR_INVALID_ARGUMENT)) {
            if (got_type)
                *got_type = returned_type(err->message);
            return kWrongReplyType;
        }
        GWLOG(LOG_LVL_WARN, "call %s.%s at %s failed, %s", interface_name, method, object_path, error_text(err));
        return -1;
    }
    if (reply)
        *reply = std::move(out);
    return 0;
}

}  // namespace gw::bus

using gw::VariantPtr;
using gw::bus::print_variant;

extern "C" {

void g_hgu_set_call_timeout(int timeout_ms)
{
    gw::bus::g_call_timeout.store(timeout_ms > 0 ? timeout_ms : HGU_DEFAULT_TIMEOUT);
}

void g_hgu_call_scope_begin(void)
{
    gw::bus::t_in_scope = true;
    gw::bus::t_scope_timed_out = false;
}

void g_hgu_call_scope_end(void)
{
    gw::bus::t_in_scope = false;
    gw::bus::t_scope_timed_out = false;
}

int g_hgu_call_scope_timed_out(void) { return gw::bus::t_scope_timed_out ? 1 : 0; }

int g_hgu_GetProperty(const char *bus_name, const char *object_path, const char *interface_name,
                      const char *property_name, GVariant **value)
{
    GWLOG(LOG_LVL_DEBUG, "GetProperty : %s, %s, %s, %s", bus_name ? bus_name : "NULL",
          object_path ? object_path : "NULL", interface_name ? interface_name : "NULL",
          property_name ? property_name : "NULL");
    if (!property_name || !value) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    std::string got;
    int rc = gw::bus::call(bus_name, object_path, HGU_PROPERTIES_INTERFACE, "Get",
                           g_variant_new("(ss)", interface_name ? interface_name : "", property_name),
                           G_VARIANT_TYPE("(v)"), &reply, HGU_DEFAULT_TIMEOUT, &got);
    if (rc == gw::bus::kWrongReplyType) {
        GWLOG(LOG_LVL_WARN, "return variant type[%s] is not correct type (v)", got.c_str());
        return -1;
    }
    if (rc != 0)
        return -1;
    GVariant *inner = nullptr;
    g_variant_get(reply.get(), "(v)", &inner);
    GWLOG(LOG_LVL_DEBUG, "property %s = %s", property_name, print_variant(inner).c_str());
    *value = inner;
    return 0;
}

int g_hgu_GetAllProperty(const char *bus_name, const char *object_path, const char *interface_name, GVariant **map)
{
    GWLOG(LOG_LVL_DEBUG, "GetProperties : %s, %s, %s", bus_name ? bus_name : "NULL", object_path ? object_path : "NULL",
          interface_name ? interface_name : "NULL");
    if (!map) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    std::string got;
    int rc = gw::bus::call(bus_name, object_path, HGU_PROPERTIES_INTERFACE, "GetAll",
                           g_variant_new("(s)", interface_name ? interface_name : ""), G_VARIANT_TYPE("(a{sv})"),
                           &reply, HGU_DEFAULT_TIMEOUT, &got);
    if (rc == gw::bus::kWrongReplyType) {
        GWLOG(LOG_LVL_WARN, "return variant type(%s) is not correct type (a{sv})", got.c_str());
        return -1;
    }
    if (rc != 0)
        return -1;
    GVariant *all = g_variant_get_child_value(reply.get(), 0);
    GWLOG(LOG_LVL_DEBUG, "GetProperties : %s", print_variant(all).c_str());
    *map = all;
    return 0;
}

int g_hgu_SetProperty(const char *bus_name, const char *object_path, const char *interface_name,
                      const char *property_name, GVariant *value)
{
    VariantPtr owned = gw::adopt_variant(value);
    GWLOG(LOG_LVL_DEBUG, "SetProperty : %s, %s, %s, property %s, value %s", bus_name ? bus_name : "NULL",
          object_path ? object_path : "NULL", interface_name ? interface_name : "NULL",
          property_name ? property_name : "NULL", print_variant(owned.get()).c_str());
    if (!owned) {
        GWLOG(LOG_LVL_WARN, "The variant is null.");
        return -1;
    }
    if (!property_name || !interface_name) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return gw::bus::call(bus_name, object_path, HGU_PROPERTIES_INTERFACE, "Set",
                         g_variant_new("(ssv)", interface_name, property_name, owned.get()), nullptr, nullptr,
                         HGU_DEFAULT_TIMEOUT) == 0
               ? 0
               : -1;
}

int g_hgu_SetMultiProperty(const char *bus_name, const char *object_path, const char *interface_name, GVariant *map)
{
    VariantPtr owned = gw::adopt_variant(map);
    GWLOG(LOG_LVL_DEBUG, "SetValues : %s, %s, %s, value %s", bus_name ? bus_name : "NULL",
          object_path ? object_path : "NULL", interface_name ? interface_name : "NULL",
          print_variant(owned.get()).c_str());
    if (!owned) {
        GWLOG(LOG_LVL_WARN, "The variant is null.");
        return -1;
    }
    if (!interface_name || !g_variant_is_of_type(owned.get(), G_VARIANT_TYPE_VARDICT)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return gw::bus::call(bus_name, object_path, HGU_PROPERTIES_INTERFACE, "SetValues",
                         g_variant_new("(s@a{sv})", interface_name, owned.get()), nullptr, nullptr,
                         HGU_DEFAULT_TIMEOUT) == 0
               ? 0
               : -1;
}

int g_hgu_CallMethod(const char *bus_name, const char *object_path, const char *interface_name, const char *method_name,
                     GVariant *parameters, GVariant **reply, int timeout_ms)
{
    VariantPtr params = gw::adopt_variant(parameters);
    GWLOG(LOG_LVL_DEBUG, "Method %s : %s , %s, %s, parameters %s, timeout %d", method_name ? method_name : "NULL",
          bus_name ? bus_name : "NULL", object_path ? object_path : "NULL", interface_name ? interface_name : "NULL",
          print_variant(params.get()).c_str(), timeout_ms);
    const bool managed = method_name && std::strcmp(method_name, "GetManagedObjects") == 0;
    VariantPtr out;
    std::string got;
    int rc = gw::bus::call(bus_name, object_path, interface_name, method_name, params.release(),
                           managed ? G_VARIANT_TYPE("(a{oa{sa{sv}}})") : nullptr, &out, timeout_ms, &got);
    if (rc == gw::bus::kWrongReplyType) {
        GWLOG(LOG_LVL_WARN, "return variant type(%s) is not correct type (a{oa{sa{sv}}})", got.c_str());
        return -1;
    }
    if (rc != 0)
        return -1;
    GWLOG(LOG_LVL_DEBUG, "Method %s : %s", method_name, print_variant(out.get()).c_str());
    if (reply)
        *reply = out.release();
    return 0;
}

}  // extern "C"
