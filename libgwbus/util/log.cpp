// Syslog front end with a process-wide threshold that follows "LogLevelChanged" broadcasts.
#include "gwbus/log.h"

#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include <gio/gio.h>

#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

int g_logLevel = 7;

const gw_log_code_t logPriorityCode[] = {
    {"alert", 1}, {"crit", 2},   {"debug", 7}, {"emerg", 0}, {"err", 3},
    {"info", 6},  {"notice", 5}, {"warn", 4},  {"", -1},
};

const gw_log_code_t logFacilityCode[] = {
    {"auth", 32},    {"authpriv", 80}, {"cron", 72},    {"daemon", 24},  {"ftp", 88},     {"kern", 0},
    {"lpr", 48},     {"mail", 16},     {"news", 56},    {"syslog", 40},  {"user", 8},     {"uucp", 64},
    {"local0", 128}, {"local1", 136},  {"local2", 144}, {"local3", 152}, {"local4", 160}, {"local5", 168},
    {"local6", 176}, {"local7", 184},  {"", -1},
};

namespace {

constexpr size_t kTagMax = 63;
constexpr const char *kSignalIface = "com.yvc.gwagent1";
constexpr const char *kSignalPath = "/com/yvc/gwagent1";
constexpr const char *kSignalName = "LogLevelChanged";

// Open/close and the thread handle are serialised by this mutex; printing never takes it.
std::mutex s_state_mu;
std::atomic<bool> s_opened{false};
char s_tag[kTagMax + 1];
// openlog keeps the pointer, so the identity lives in static storage.
char s_ident[kTagMax + 1 + 16];
int s_duration;

struct LogLoop {
    GMainContext *context = nullptr;
    GMainLoop *loop = nullptr;
    GThread *thread = nullptr;
};
LogLoop s_loop;

// The sink is called under this lock, so that removing it guarantees no call is still running.
// Recursive: a sink that logs re-enters it on the same thread.
std::recursive_mutex s_sink_mu;
gw_log_sink_fn s_sink;
void *s_sink_user;

const char *code_text(const gw_log_code_t *table, int n)
{
    if (n < 0)
        return "<unknown>";
    for (const gw_log_code_t *c = table; c->c_val != -1; ++c)
        if (c->c_val == n)
            return c->c_name;
    return "<unknown>";
}

int code_num(const gw_log_code_t *table, const char *name)
{
    if (!name)
        return -1;
    for (const gw_log_code_t *c = table; c->c_val != -1; ++c)
        if (std::strcmp(c->c_name, name) == 0)
            return c->c_val;
    return -1;
}

bool stderr_copy_enabled()
{
    const char *v = std::getenv("GW_LOG_STDERR");
    return v && std::strcmp(v, "1") == 0;
}

// Plug-in containers run "/sbin/init.lxc ... /path/to/<plugin>" as pid 1.
void detect_container_tag()
{
    std::string path = gw::RootPath("/proc/1/cmdline");
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        GWLOG(LOG_LVL_ERR, "Open pid 1 cmdline file failed!");
        return;
    }
    char buf[128] = {0};
    size_t n = std::fread(buf, 1, sizeof buf - 1, f);
    std::fclose(f);
    buf[n] = '\0';
    const char *name = nullptr;
    if (n > 0 && std::strstr(buf, "/sbin/init.lxc")) {
        for (size_t i = n; i-- > 0;) {
            if (buf[i] == '\n')
                buf[i] = '\0';
            if (buf[i] == '/') {
                name = buf + i + 1;
                break;
            }
        }
    }
    if (!name || !*name) {
        GWLOG(LOG_LVL_ERR, "Parse the cmdline failed!");
        return;
    }
    closelog();
    std::snprintf(s_ident, sizeof s_ident, "PLUGIN[%.*s]", static_cast<int>(kTagMax - 8), name);
    openlog(s_ident, LOG_CONS | LOG_NDELAY, LOG_USER);
}

void on_log_level_changed(GDBusConnection *, const gchar *, const gchar *, const gchar *, const gchar *, GVariant *,
                          gpointer)
{
    char name[256] = {0};
    if (uci_config_get_n("log", "temp", "log_level", name, sizeof name) != 0) {
        g_logLevel = 3;
        GWLOG(LOG_LVL_ERR, "get log_level failed!");
    } else {
        int num = api_sysLogGetPriorityNum(name);
        if (num < 0) {
            g_logLevel = 3;
            GWLOG(LOG_LVL_ERR, "get log level num failed!");
        } else {
            g_logLevel = num;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "g_logLevel change to %s(%d)!", api_sysLogGetPriorityText(g_logLevel), g_logLevel);
}

gpointer log_main_loop(gpointer data)
{
    auto *ll = static_cast<LogLoop *>(data);
    g_main_context_push_thread_default(ll->context);
    guint sub = 0;
    gw::ErrorPtr err;
    // Subscribed while the context is the thread default, so the handler runs on this thread.
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        GWLOG(LOG_LVL_ERR, "Connect the system bus failed, %s!", gw::error_text(err));
    } else {
        sub = g_dbus_connection_signal_subscribe(conn.get(), nullptr, kSignalIface, kSignalName, kSignalPath, nullptr,
                                                 G_DBUS_SIGNAL_FLAGS_NONE, on_log_level_changed, nullptr, nullptr);
        if (sub == 0)
            GWLOG(LOG_LVL_ERR, "Subscribe signal failed!");
    }
    g_main_loop_run(ll->loop);
    if (sub)
        g_dbus_connection_signal_unsubscribe(conn.get(), sub);
    conn.reset();
    // Drain what the unsubscription left queued on this context before it goes away.
    while (g_main_context_iteration(ll->context, FALSE)) {
    }
    g_main_context_pop_thread_default(ll->context);
    return nullptr;
}

gboolean quit_loop(gpointer data)
{
    g_main_loop_quit(static_cast<GMainLoop *>(data));
    return G_SOURCE_REMOVE;
}

// Caller holds s_state_mu.
void stop_log_loop_locked()
{
    if (!s_loop.thread)
        return;
    // A quit that lands before g_main_loop_run starts would be lost; an idle source on the loop's own
    // context is dispatched once it runs.
    GSource *idle = g_idle_source_new();
    g_source_set_callback(idle, quit_loop, s_loop.loop, nullptr);
    g_source_attach(idle, s_loop.context);
    g_source_unref(idle);
    g_thread_join(s_loop.thread);
    g_main_loop_unref(s_loop.loop);
    g_main_context_unref(s_loop.context);
    s_loop = LogLoop{};
}

void start_log_loop_locked()
{
    if (s_loop.thread)
        return;
    s_loop.context = g_main_context_new();
    s_loop.loop = g_main_loop_new(s_loop.context, FALSE);
    s_loop.thread = g_thread_new("log-mainLoop", log_main_loop, &s_loop);
}

void emit_line(int level, const char *line)
{
    if (s_opened.load())
        syslog(level & LOG_PRIMASK, "%s", line);
    {
        std::lock_guard<std::recursive_mutex> lock(s_sink_mu);
        if (s_sink)
            s_sink(level, line, s_sink_user);
    }
    if (stderr_copy_enabled())
        std::fprintf(stderr, "%s\n", line);
}

}  // namespace

extern "C" {

void api_sysLogPrint(int level, const char *format, ...)
{
    if (!format || level > g_logLevel)
        return;
    char small[512];
    va_list ap;
    va_start(ap, format);
    va_list again;
    va_copy(again, ap);
    int n = std::vsnprintf(small, sizeof small, format, ap);
    va_end(ap);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        va_end(again);
        emit_line(level, small);
        return;
    }
    std::string big(static_cast<size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, again);
    va_end(again);
    emit_line(level, big.c_str());
}

void api_sysLogOpen(const char *tag)
{
    std::lock_guard<std::mutex> lock(s_state_mu);
    if (s_opened.load()) {
        GWLOG(LOG_LVL_ERR, "The log has init, return now!");
        return;
    }
    copy_truncated(s_tag, (tag && *tag) ? tag : "default");
    copy_truncated(s_ident, s_tag);
    openlog(s_ident, LOG_CONS | LOG_NDELAY, LOG_USER);
    s_opened.store(true);

    if (std::strncmp(s_tag, "ZEP", 3) != 0)
        detect_container_tag();
    // The agent keeps its initial threshold until it sets its own.
    if (std::strcmp(s_tag, "ZEP[gwagent]") == 0)
        return;

    char name[256] = {0};
    if (uci_config_get_n("log", "temp", "log_level", name, sizeof name) != 0) {
        GWLOG(LOG_LVL_ERR, "Module %s get log_level failed!", s_tag);
    } else {
        int num = api_sysLogGetPriorityNum(name);
        if (num < 0) {
            GWLOG(LOG_LVL_ERR, "Module %s get log level num failed!", s_tag);
            g_logLevel = 3;
        } else {
            g_logLevel = num;
        }
    }
    start_log_loop_locked();
    GWLOG(LOG_LVL_DEBUG, "Log open success, moduleName: %s, logTagName: %s!", s_tag, s_ident);
}

void logMainLoopInit(void)
{
    std::lock_guard<std::mutex> lock(s_state_mu);
    start_log_loop_locked();
}

void api_sysLogClose(void)
{
    std::lock_guard<std::mutex> lock(s_state_mu);
    stop_log_loop_locked();
    if (s_opened.exchange(false))
        closelog();
    s_tag[0] = '\0';
    s_ident[0] = '\0';
}

void api_sysLogEmitSignal(int level, int duration_seconds)
{
    GWLOG(LOG_LVL_DEBUG, "change log level from %s to %s", api_sysLogGetPriorityText(g_logLevel),
          api_sysLogGetPriorityText(level));
    GWLOG(LOG_LVL_DEBUG, "change log duration from %d seconds to %d seconds", s_duration, duration_seconds);
    g_logLevel = level;
    s_duration = duration_seconds;

    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        GWLOG(LOG_LVL_ERR, "Connect the system bus failed, %s!", gw::error_text(err));
        return;
    }
    if (!g_dbus_connection_emit_signal(conn.get(), nullptr, kSignalPath, kSignalIface, kSignalName, nullptr,
                                       gw::ErrorOut(err))) {
        GWLOG(LOG_LVL_ERR, "Emit signal failed, %s!", gw::error_text(err));
        return;
    }
    if (!g_dbus_connection_flush_sync(conn.get(), nullptr, gw::ErrorOut(err)))
        GWLOG(LOG_LVL_ERR, "Flush sync failed, %s!", gw::error_text(err));
}

const char *api_sysLogGetPriorityText(int n) { return code_text(logPriorityCode, n); }
const char *api_sysLogGetFacilityText(int n) { return code_text(logFacilityCode, n); }
int api_sysLogGetPriorityNum(const char *name) { return code_num(logPriorityCode, name); }
int api_sysLogGetFacilityNum(const char *name) { return code_num(logFacilityCode, name); }

void gw_log_set_sink(gw_log_sink_fn sink, void *user)
{
    std::lock_guard<std::recursive_mutex> lock(s_sink_mu);
    s_sink = sink;
    s_sink_user = user;
}

}  // extern "C"
