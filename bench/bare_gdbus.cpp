// The smallest program that does what the agent's bus side does at rest: one system-bus connection
// and a main loop, linked against the same libraries. The footprint benchmark's baseline.
#include <signal.h>

#include <cstdio>

#include <gio/gio.h>
#include <glib-unix.h>

#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"

namespace {

gboolean quit(gpointer loop)
{
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_REMOVE;
}

}  // namespace

int main()
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        std::fprintf(stderr, "no bus: %s\n", gw::error_text(err));
        return 1;
    }
    // Keeps the shared library loaded and initialised, as in the agent.
    char path[256];
    gw_root_path("/etc/config", path, sizeof path);
    std::printf("READY\n");
    std::fflush(stdout);
    GMainLoop *loop = g_main_loop_new(nullptr, FALSE);
    g_unix_signal_add(SIGTERM, quit, loop);
    g_main_loop_run(loop);
    g_main_loop_unref(loop);
    return 0;
}
