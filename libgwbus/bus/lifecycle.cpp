// The optional "libgwbus-mainLoop" thread and the log front end.
#include <pthread.h>

#include <mutex>

#include "gwbus/bus.h"
#include "gwbus/log.h"

GMainLoop *api_loop = nullptr;

namespace {

constexpr char kThreadName[] = "libgwbus-mainLoop";
std::mutex g_life_mutex;
GThread *g_loop_thread = nullptr;

gpointer loop_thread(gpointer data)
{
    auto *loop = static_cast<GMainLoop *>(data);
    // The kernel keeps 15 characters of a thread name and some GLib versions give up on longer ones.
    char name[16];
    g_strlcpy(name, kThreadName, sizeof name);
    pthread_setname_np(pthread_self(), name);
    GWLOG(LOG_LVL_NOTICE, "start libgwbus event loop");
    g_main_loop_run(loop);
    api_loop = nullptr;
    g_main_loop_unref(loop);
    return nullptr;
}

// Quitting a loop that has not started running yet is lost (g_main_loop_run resets the flag), so the
// quit is delivered as a source that waits until the loop really runs.
gboolean quit_when_running(gpointer data)
{
    auto *loop = static_cast<GMainLoop *>(data);
    if (!g_main_loop_is_running(loop))
        return G_SOURCE_CONTINUE;
    g_main_loop_quit(loop);
    return G_SOURCE_REMOVE;
}

}  // namespace

extern "C" {

int libgwbus_init(void)
{
    std::lock_guard<std::mutex> lock(g_life_mutex);
    if (g_loop_thread) {
        GWLOG(LOG_LVL_WARN, "libgwbus event loop is already running");
        return 0;
    }
    // The loop is made before the thread starts so that libgwbus_close can never miss it.
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    api_loop = loop;
    GError *err = nullptr;
    g_loop_thread = g_thread_try_new(kThreadName, loop_thread, loop, &err);
    if (!g_loop_thread) {
        GWLOG(LOG_LVL_ERR, "create libgwbus event loop thread failed, %s",
              err && err->message ? err->message : "unknown error");
        if (err)
            g_error_free(err);
        api_loop = nullptr;
        g_main_loop_unref(loop);
        return -1;
    }
    return 0;
}

void libgwbus_close(void)
{
    GThread *thread = nullptr;
    {
        std::lock_guard<std::mutex> lock(g_life_mutex);
        thread = g_loop_thread;
        g_loop_thread = nullptr;
        if (!thread)
            return;
        GMainLoop *loop = api_loop;
        if (loop)
            g_idle_add_full(G_PRIORITY_HIGH, quit_when_running, g_main_loop_ref(loop),
                            reinterpret_cast<GDestroyNotify>(g_main_loop_unref));
    }
    if (thread == g_thread_self()) {
        // Called from a callback on the loop itself: it ends when the callback returns.
        g_thread_unref(thread);
        return;
    }
    g_thread_join(thread);
}

void g_hgu_LogOpen(const char *, const char *tag) { api_sysLogOpen(tag); }

void g_hgu_LogClose(void) { api_sysLogClose(); }

}  // extern "C"
