// gwagent: start-up in order, the uloop main loop, shutdown.
#include <glib.h>

#include "bus/gwagent_dbus.h"
#include "bus/gwagent_mq.h"
#include "bus/gwagent_status.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "platform/conn.h"
#include "platform/records.h"

namespace {

// SIGTERM leaves the loop; the pause gives answers already handed to the kernel time to leave.
constexpr gulong kTermPauseUs = 500 * 1000;
constexpr int kTermCheckMs = 1000;
// SIGTERM ends the process within this, whatever the main loop waits on (the init system's grace).
constexpr unsigned kTermGraceMs = 3000;
// No synchronous bus call may hold the loop longer than this (the bus default is 25 s).
constexpr int kBusCallTimeoutMs = 10000;

// uloop_run clears its cancel flag on entry, so a SIGTERM that arrived during start-up would be
// lost, and one that lands between the loop's flag check and its wait is seen only at the next
// event. This timer looks at the signal's own flag at once when the loop starts, then every second.
struct uloop_timeout g_term_check = {};

void term_check_cb(struct uloop_timeout *t)
{
    if (g_ucf_terminate)
        uloop_end();
    else
        uloop_timeout_set(t, kTermCheckMs);
}

}  // namespace

int main()
{
    write_zep_log("gwagent start");
    g_hgu_set_call_timeout(kBusCallTimeoutMs);
    ucf_term_watchdog_start(kTermGraceMs);
    gwagent_signal_handler();
    gwagent_global_init();
    gwagent_conn_init();
    gwagent_mq_open();
    gwagent_status_start();
    gwagent_ubus_init();
    gwagent_dbus_init();
    ucf_connect_pushd_srv();
    gwagent_remote_run();
    gwagent_log_init();

    g_term_check.cb = term_check_cb;
    uloop_timeout_set(&g_term_check, 0);
    uloop_run_timeout(-1);

    if (g_ucf_terminate)
        g_usleep(kTermPauseUs);
    gwagent_close();
    gwagent_close_pushd();
    gwagent_msg_handoff_done();
    uloop_done();
    gwagent_dbus_done();
    // After the bus thread, its last writer, has ended.
    gwagent_status_stop();
    gwagent_mq_close();
    GWLOG(LOG_LVL_NOTICE, "gwagent exit");
    api_sysLogClose();
    return 0;
}
