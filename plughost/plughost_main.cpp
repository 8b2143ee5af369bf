#include <glib-unix.h>
#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"

extern "C" const char *plughost_build_version(void);

static gboolean on_term(gpointer loop)
{
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_REMOVE;
}

int main()
{
    api_sysLogOpen("ZEP[plughost]");
    GWLOG(LOG_LVL_NOTICE, "plughost %s start", plughost_build_version());
    gw::MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    g_unix_signal_add(SIGTERM, on_term, loop.get());
    g_unix_signal_add(SIGINT, on_term, loop.get());
    g_main_loop_run(loop.get());
    GWLOG(LOG_LVL_NOTICE, "plughost exit");
    api_sysLogClose();
    return 0;
}
