// The agent's log level: forced debug, a temporary level for a while, or errors only.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/agent.h"
#include "core/uci_text.hpp"
#include "gwbus/log.h"
#include "gwbus/util.h"

namespace {

constexpr int kTempSeconds = 300;
constexpr int kRestoreRetryMs = 60000;

}  // namespace

extern "C" void gwagent_log_init(void)
{
    std::string debug, level_name, duration_text;
    if (!gwagent::uci_read("log", "default", "log_debug", debug))
        GWLOG(LOG_LVL_ERR, "get log_debug failed!");
    if (!gwagent::uci_read("log", "temp", "log_level", level_name))
        GWLOG(LOG_LVL_ERR, "get log_level failed!");
    if (!gwagent::uci_read("log", "temp", "log_duration", duration_text))
        GWLOG(LOG_LVL_ERR, "get log_duration failed!");

    int level = LOG_LVL_ERR;
    int duration = 0;
    if (debug == "on") {
        level = LOG_LVL_DEBUG;
    } else if (atoi(duration_text.c_str()) != 0) {
        const int named = api_sysLogGetPriorityNum(level_name.c_str());
        if (named < 0) {
            // An unknown name would silence the agent for five minutes; stay at errors instead.
            GWLOG(LOG_LVL_WARN, "log_level %s is unknown, use %s.", level_name.c_str(),
                  api_sysLogGetPriorityText(LOG_LVL_ERR));
        } else {
            level = named;
            duration = kTempSeconds;
            gwagent_log_level_restore_after(kTempSeconds * 1000);
        }
    }

    const char *name = api_sysLogGetPriorityText(level);
    if (uci_config_set("log", "temp", "log_level", name, 0) != 0)
        GWLOG(LOG_LVL_ERR, "set log_level %s failed!", name);
    char text[16];
    snprintf(text, sizeof text, "%d", duration);
    if (uci_config_set("log", "temp", "log_duration", text, 0) != 0)
        GWLOG(LOG_LVL_ERR, "set log_duration %s failed!", text);
    api_sysLogEmitSignal(level, duration);
}

extern "C" void gwagent_log_level_restore_after(int ms)
{
    g_timeout_syslog.cb = ucf_timeout_syslog_cb;
    uloop_timeout_set(&g_timeout_syslog, ms);
}

extern "C" void ucf_timeout_syslog_cb(struct uloop_timeout *t)
{
    GWLOG(LOG_LVL_NOTICE, "log config restore to default LOG_ERR!");
    if (uci_config_set("log", "temp", "log_level", api_sysLogGetPriorityText(LOG_LVL_ERR), 0) != 0) {
        GWLOG(LOG_LVL_ERR, "log level restore failed!");
        return;
    }
    if (uci_config_set("log", "temp", "log_duration", "0", 0) != 0) {
        GWLOG(LOG_LVL_ERR, "log duration restore failed!");
        uloop_timeout_set(t, kRestoreRetryMs);
        return;
    }
    api_sysLogEmitSignal(LOG_LVL_ERR, 0);
}
