#include "commands/cmd_answer.h"

#include <cstdio>

#include "gwbus/log.h"

namespace gwagent {

int answer_members(int id, const char *sequence_id, const char *cmd_type,
                   std::initializer_list<std::pair<const char *, std::string>> members, int fd)
{
    JsonPtr answer(build_json_head(cmd_type, sequence_id, 0));
    if (!answer)
        return answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    for (const auto &[key, value] : members) {
        if (json_object_set_new(answer.get(), key, json_string(value.c_str())) != 0)
            return answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    }
    return answer_json(id, answer.get(), fd);
}

bool required_string(json_t *cmd, const char *cmd_type, const char *param, char *dst, size_t keep)
{
    if (get_string_json_value(cmd, param, JSON_STRING, dst, keep + 1) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "%s json string missing Parameter %s", cmd_type, param);
    GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
    return false;
}

int answer_method_result(int id, const char *sequence_id, const char *cmd_type, const char *method, int rc,
                         int status, const char *errmsg, int fd)
{
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s() failed, t_ret = %d.", method, rc);
        return answer_status(id, sequence_id, cmd_type, 1, "callMethod_failed", fd);
    }
    if (status != 0) {
        GWLOG(LOG_LVL_WARN, "%s() return failed, status = %d, %s.", method, status, errmsg ? errmsg : "");
        return answer_status(id, sequence_id, cmd_type, 1, errmsg && *errmsg ? errmsg : "callMethod_failed", fd);
    }
    return answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}

std::string two_decimals(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

}  // namespace gwagent
