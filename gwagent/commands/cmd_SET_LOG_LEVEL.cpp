// SET_LOG_LEVEL: a temporary log level for all framework processes.
#include <cstdio>

#include "commands/cmd_json.h"
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
    int duration = 0;
    int level = 0;
    if (get_json_value(cmd, "Duration", JSON_INTEGER, &duration) != 0 ||
        get_json_value(cmd, "Level", JSON_INTEGER, &level) != 0) {
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    if (duration < kMinDuration || duration > kMaxDuration) {
        GWLOG(LOG_LVL_WARN, "Parameter Duration error %d", duration);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    if (level < 0 || level > kMaxLevel) {
        GWLOG(LOG_LVL_WARN, "Parameter Level error %d", level);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    char duration_text[16];
    snprintf(duration_text, sizeof duration_text, "%d", duration);
    if (uci_config_set("log", "temp", "log_level", api_sysLogGetPriorityText(level), 0) != 0 ||
        uci_config_set("log", "temp", "log_duration", duration_text, 0) != 0) {
        GWLOG(LOG_LVL_WARN, "change log config failed!");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "config_failed", fd);
    }
    g_timeout_syslog.cb = ucf_timeout_syslog_cb;
    uloop_timeout_set(&g_timeout_syslog, duration * 1000);
    api_sysLogEmitSignal(level, duration);
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}
