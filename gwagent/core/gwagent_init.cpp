// Start-up of the agent: signals, the global records, the pid, ubus.
#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <gw/ubus.h>

#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

#define GWAGENT_ARCH_TAG "arm_velmar_V32085_O"

extern "C" int set_signal_handler(int sig, void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;
    return sigaction(sig, &sa, nullptr);
}

extern "C" void gwagent_signal_handler(void)
{
    set_signal_handler(SIGUSR1, ucf_sig_handler);
    set_signal_handler(SIGTERM, ucf_sig_handler);
}

extern "C" void gwagent_set_srv_cb(void)
{
    // The stage rows belong to the connection layer, which installs them when it starts; only the
    // address report is decided here: the first heartbeat after start carries the WAN address.
    g_cc_stm.addr_report = 1;
}

extern "C" int gwagent_store_pid(void)
{
    char pid[16];
    snprintf(pid, sizeof pid, "%ld", static_cast<long>(getpid()) % 1000000000L);
    return uci_config_set("gwagent", "global", "pid", pid, 0) == 0 ? 0 : -1;
}

extern "C" int gwagent_global_init(void)
{
    api_sysLogOpen("ZEP[gwagent]");
    GWLOG(LOG_LVL_NOTICE, "======== gwagent start ========");
    GWLOG(LOG_LVL_DEBUG, "%s, %s", GWAGENT_ARCH_TAG, __DATE__ " " __TIME__);

    uloop_init();
    srand(static_cast<unsigned>(time(nullptr)));

    if (gwagent_store_pid() != 0)
        GWLOG(LOG_LVL_WARN, "set gwagent.global.pid failed.");

    gwagent_queues_init();

    memset(app_domain_info, 0, sizeof app_domain_info);
    memset(&g_dev_info, 0, sizeof g_dev_info);
    memset(&g_cc_stm, 0, sizeof g_cc_stm);
    gwagent_set_srv_cb();

    gwagent_set_dns();
    gwagent_distr_endpoint_init();
    gwagent_devinfo_init();
    gwagent_vendor_register_init();
    return 0;
}

extern "C" const char *gwagent_ubus_socket(char *out, size_t size)
{
    // The default socket, below the run-time root like every other system path.
    const std::string socket = ubus_socket ? std::string(ubus_socket) : gw::RootPath(UBUS_UNIX_SOCKET);
    if (!out || socket.size() >= size)
        return nullptr;
    memcpy(out, socket.c_str(), socket.size() + 1);
    return out;
}

extern "C" int gwagent_ubus_init(void)
{
    char socket[PATH_MAX];
    ctx = gwagent_ubus_socket(socket, sizeof socket) ? ubus_connect(socket) : nullptr;
    if (!ctx) {
        GWLOG(LOG_LVL_WARN, "Connection to ubus failed");
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "Connected to ubus, id=%08x", ctx->local_id);
    return 0;
}
