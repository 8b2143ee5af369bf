// The bus-service thread. Its service arrives with the bus layer; the thread and its loop exist now
// so that start-up and shutdown already run in their final order.
#include "bus/gwagent_dbus.h"

#include <condition_variable>
#include <mutex>

#include "gwbus/log.h"

gwagent_dbus_ctx g_gwagent_dbus_ctx = {nullptr, nullptr, nullptr};

namespace {

std::mutex g_mu;
std::condition_variable g_cv;
bool g_running = false;

gboolean announce_running(gpointer)
{
    std::lock_guard<std::mutex> lock(g_mu);
    g_running = true;
    g_cv.notify_all();
    return G_SOURCE_REMOVE;
}

gpointer dbus_thread_main(gpointer)
{
    GMainContext *context = g_gwagent_dbus_ctx.context;
    g_main_context_push_thread_default(context);
    GSource *idle = g_idle_source_new();
    g_source_set_callback(idle, announce_running, nullptr, nullptr);
    g_source_attach(idle, context);
    g_source_unref(idle);
    g_main_loop_run(g_gwagent_dbus_ctx.loop);
    g_main_context_pop_thread_default(context);
    return nullptr;
}

}  // namespace

extern "C" int gwagent_dbus_init(void)
{
    if (g_gwagent_dbus_ctx.thread)
        return -1;
    g_gwagent_dbus_ctx.context = g_main_context_new();
    g_gwagent_dbus_ctx.loop = g_main_loop_new(g_gwagent_dbus_ctx.context, FALSE);
    {
        std::lock_guard<std::mutex> lock(g_mu);
        g_running = false;
    }
    g_gwagent_dbus_ctx.thread = g_thread_new("gwagent-mainLoop", dbus_thread_main, nullptr);
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
    g_gwagent_dbus_ctx = {nullptr, nullptr, nullptr};
}
