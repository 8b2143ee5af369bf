// SET_LOG_LEVEL: a temporary log level for all framework processes.
#include <cstdio>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "gwbus/util.h"

namespace {

constexpr int kMinDuration = 60;
constexpr int kMaxDuration = 3600;
constexpr int kMaxLevel = 7;

}  // namespace

extern "C" int cmd_SET_LOG_LEVEL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int duration = 0;
    int level = 0;
    if (!r.required_int("Duration", duration) || !r.required_int("Level", level))
        return r.fail("parameter_error");
    if (duration < kMinDuration || duration > kMaxDuration) {
        GWLOG(LOG_LVL_WARN, "Parameter Duration error %d", duration);
        return r.fail("parameter_error");
    }
    if (level < 0 || level > kMaxLevel) {
        GWLOG(LOG_LVL_WARN, "Parameter Level error %d", level);
        return r.fail("parameter_error");
    }
    char duration_text[16];
    snprintf(duration_text, sizeof duration_text, "%d", duration);
    if (uci_config_set("log", "temp", "log_level", api_sysLogGetPriorityText(level), 0) != 0 ||
        uci_config_set("log", "temp", "log_duration", duration_text, 0) != 0) {
        GWLOG(LOG_LVL_WARN, "change log config failed!");
        return r.fail("config_failed");
    }
    gwagent_log_level_restore_after(duration * 1000);
    api_sysLogEmitSignal(level, duration);
    return r.ok();
}
