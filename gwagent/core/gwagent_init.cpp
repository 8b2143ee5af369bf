// Start-up steps of the agent: signals, the pid, ubus.
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

extern "C" int gwagent_store_pid(void)
{
    char pid[16];
    snprintf(pid, sizeof pid, "%ld", static_cast<long>(getpid()) % 1000000000L);
    return uci_config_set("gwagent", "global", "pid", pid, 0) == 0 ? 0 : -1;
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
