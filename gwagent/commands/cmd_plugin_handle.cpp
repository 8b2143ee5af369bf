// Calls of the plug-in host's AppAgent service: one synchronous call each, on the shared system bus.
#include "commands/cmd_plugin_handle.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/holders.hpp"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kBus = "com.yvc.appframework1";
constexpr const char *kPath = "/com/yvc/appframework1";
constexpr const char *kIface = "com.yvc.appframework1.AppAgent";
constexpr size_t kFirstFileMax = 127;

enum class CallResult { Ok, NoBus, Failed };

// One call of the host; on failure the bus error text goes to `error` when given.
CallResult host_call(const char *method, GVariant *args, const char *reply_type, gw::VariantPtr &reply,
                     std::string *error = nullptr)
{
    gw::VariantPtr params = gw::adopt_variant(args);
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        GWLOG(LOG_LVL_WARN, "g_bus_get_sync failed, %s", gw::error_text(err));
        return CallResult::NoBus;
    }
    reply.reset(g_dbus_connection_call_sync(conn.get(), kBus, kPath, kIface, method, params.release(),
                                            G_VARIANT_TYPE(reply_type), G_DBUS_CALL_FLAGS_NONE, -1, nullptr,
                                            gw::ErrorOut(err)));
    if (!reply) {
        if (error)
            *error = gw::error_text(err);
        return CallResult::Failed;
    }
    return CallResult::Ok;
}

int queue_request(const char *method, const char *what, const char *url)
{
    if (!url)
        return -1;
    GWLOG(LOG_LVL_INFO, "plugin %s request : %s", what, url);
    gw::VariantPtr reply;
    std::string error;
    const CallResult r = host_call(method, g_variant_new("(s)", url), "(i)", reply, &error);
    if (r != CallResult::Ok) {
        if (r == CallResult::Failed)
            GWLOG(LOG_LVL_WARN, "g_dbus_connection_call_sync failed, %s", error.c_str());
        return -1;
    }
    gint32 code = 0;
    g_variant_get(reply.get(), "(i)", &code);
    GWLOG(LOG_LVL_INFO, "plugin %s ret [%d].", what, code);
    return code;
}

bool valid_text(const char *s) { return s && g_utf8_validate(s, -1, nullptr); }

}  // namespace

extern "C" int g_plughost_Install(const char *url)
{
    return valid_text(url) ? queue_request("Install", "install", url) : -1;
}

extern "C" int g_plughost_Upgrade(const char *url)
{
    return valid_text(url) ? queue_request("Upgrade", "upgrade", url) : -1;
}

extern "C" int g_plughost_GetStatus(const char *name, char *state, size_t state_size)
{
    if (!valid_text(name) || !*name || !state || state_size == 0)
        return -1;
    gw::VariantPtr reply;
    if (host_call("GetStatus", g_variant_new("(s)", name), "(s)", reply) != CallResult::Ok)
        return -1;
    const char *s = nullptr;
    g_variant_get(reply.get(), "(&s)", &s);
    copy_truncated(state, state_size, s);
    return 0;
}

extern "C" int g_plughost_List(plughost_entry **entries, int *count)
{
    if (!entries || !count)
        return -1;
    gw::VariantPtr reply;
    std::string error;
    if (host_call("List", nullptr, "(a{sv})", reply, &error) != CallResult::Ok) {
        GWLOG(LOG_LVL_ERR, "List plugin error, %s.", error.c_str());
        return -1;
    }
    gw::VariantPtr dict(g_variant_get_child_value(reply.get(), 0));
    const size_t n = g_variant_n_children(dict.get());
    GWLOG(LOG_LVL_DEBUG, "plugin list count(%d)", static_cast<int>(n));
    *entries = nullptr;
    *count = 0;
    if (n == 0)
        return 0;
    auto *out = static_cast<plughost_entry *>(calloc(n, sizeof(plughost_entry)));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "malloc failed.");
        return -1;
    }
    int used = 0;
    for (size_t i = 0; i < n; ++i) {
        const char *key = nullptr;
        GVariant *raw = nullptr;
        g_variant_get_child(dict.get(), i, "{&sv}", &key, &raw);
        const gw::VariantPtr value(raw);
        plughost_entry &e = out[used];
        const char *display = nullptr, *version = nullptr;
        if (strncmp(key, "lib", 3) == 0 && g_variant_is_of_type(value.get(), G_VARIANT_TYPE("(ss)"))) {
            g_variant_get(value.get(), "(&s&s)", &display, &version);
        } else if (g_variant_is_of_type(value.get(), G_VARIANT_TYPE("(ssui)"))) {
            guint32 running = 0;
            gint32 pid = 0;
            g_variant_get(value.get(), "(&s&sui)", &display, &version, &running, &pid);
            snprintf(e.state, sizeof e.state, "%u", running);
            e.pid = pid;
            GWLOG(LOG_LVL_DEBUG, "plugin %s, status %u.", key, running);
        } else {
            GWLOG(LOG_LVL_WARN, "plugin %s has an entry of type %s, skipped.", key,
                  g_variant_get_type_string(value.get()));
            continue;
        }
        GWLOG(LOG_LVL_DEBUG, "plugin name : %s", display);
        copy_truncated(e.name, key);
        copy_truncated(e.version, version);
        ++used;
    }
    if (used == 0) {
        free(out);
        return 0;
    }
    *entries = out;
    *count = used;
    return 0;
}

extern "C" int g_plughost_Inst_Query(const char *name, char *state, size_t state_size, int *percent)
{
    if (!valid_text(name) || !state || state_size == 0 || !percent)
        return -1;
    gw::VariantPtr reply;
    std::string error;
    if (host_call("InstQuery", g_variant_new("(s)", name), "(si)", reply, &error) != CallResult::Ok) {
        GWLOG(LOG_LVL_WARN, "query install progress error, %s.", error.c_str());
        return -1;
    }
    const char *s = nullptr;
    gint32 p = 0;
    g_variant_get(reply.get(), "(&si)", &s, &p);
    copy_truncated(state, state_size, s);
    *percent = p;
    GWLOG(LOG_LVL_INFO, "query install progress of plugin %s, status %s : %d.", name, state, p);
    return 0;
}

extern "C" int g_plughost_Operate(const char *name, const char *method, char **error)
{
    if (error)
        *error = nullptr;
    if (!valid_text(name) || !method)
        return -1;
    // The platform's Action becomes the method name: one the bus cannot carry is refused here.
    if (!g_dbus_is_member_name(method)) {
        GWLOG(LOG_LVL_ERR, "plugin %s error, %s.", method, "invalid method name");
        if (error)
            *error = strdup("invalid method name");
        return PLUGHOST_CALL_ERROR;
    }
    gw::VariantPtr reply;
    std::string text;
    const CallResult r = host_call(method, g_variant_new("(s)", name), "(i)", reply, &text);
    if (r == CallResult::NoBus)
        return -1;
    if (r == CallResult::Failed) {
        GWLOG(LOG_LVL_ERR, "plugin %s error, %s.", method, text.c_str());
        if (error)
            *error = strdup(text.c_str());
        return PLUGHOST_CALL_ERROR;
    }
    gint32 code = 0;
    g_variant_get(reply.get(), "(i)", &code);
    GWLOG(LOG_LVL_INFO, "plugin %s ret [%d].", method, code);
    return code;
}

extern "C" int is_app_installed(const char *name)
{
    if (!name || !*name || strchr(name, '/') || name[0] == '.')
        return 0;
    const std::string base = std::string("/usr/lib/opkg/info/") + name;
    struct stat st {};
    if (stat(gw::RootPath(base + ".control").c_str(), &st) != 0) {
        GWLOG(LOG_LVL_DEBUG, "%s control file is not exist.", name);
        return 0;
    }
    const gwagent::FilePtr list(fopen(gw::RootPath(base + ".list").c_str(), "r"));
    if (!list)
        return 1;
    char line[kFirstFileMax + 2] = {};
    if (!fgets(line, sizeof line, list.get()))
        return 1;
    line[strcspn(line, "\r\n")] = '\0';
    line[kFirstFileMax] = '\0';
    if (stat(gw::RootPath(line).c_str(), &st) != 0) {
        GWLOG(LOG_LVL_DEBUG, "file %s is not exist.", line);
        return 0;
    }
    return 1;
}
