// gwagent: start-up in order, the uloop main loop, shutdown.
#include <glib.h>

#include "bus/gwagent_dbus.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"

namespace {

// SIGTERM leaves the loop; the pause gives answers already handed to the kernel time to leave.
constexpr gulong kTermPauseUs = 500 * 1000;

}  // namespace

int main()
{
    write_zep_log("gwagent start");
    gwagent_signal_handler();
    gwagent_global_init();
    gwagent_ubus_init();
    gwagent_dbus_init();
    gwagent_remote_run();
    gwagent_log_init();

    uloop_run_timeout(-1);

    if (g_ucf_terminate)
        g_usleep(kTermPauseUs);
    uloop_done();
    gwagent_dbus_done();
    GWLOG(LOG_LVL_NOTICE, "gwagent exit");
    api_sysLogClose();
    return 0;
}
