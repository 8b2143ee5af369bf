// SET_ATTACH_SPEEDUP: switches the speed-up of one attached host.
#include <memory>

#include "commands/cmd_answer.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"

extern "C" int cmd_SET_ATTACH_SPEEDUP(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char mac[13] = {};
    int speedup = 0;
    if (!gwagent::required_string(cmd, cmd_type, "MAC", mac, 12))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    if (get_json_value(cmd, "Speedup", JSON_INTEGER, &speedup) != 0) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter Speedup", cmd_type);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_SetAttachSpeedup(mac, static_cast<uint8_t>(speedup != 0), &status, &errmsg);
    std::unique_ptr<char, decltype(&g_free)> msg(errmsg, g_free);
    return gwagent::answer_method_result(id, sequence_id, cmd_type, "mth_SetAttachSpeedup", rc, status, errmsg, fd);
}
