// SET_ATTACH_DEVICE_RIGHT: right 0 blocks the MAC (adds it to the blacklist), any other right frees it.
#include "commands/cmd_answer.h"
#include "commands/cmd_blacklist.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                           int fd)
{
    char mac[13] = {};
    int right = 0;
    if (!gwagent::required_string(cmd, cmd_type, "MAC", mac, 12))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    if (get_json_value(cmd, "InternetAccessRight", JSON_INTEGER, &right) != 0) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter InternetAccessRight", cmd_type);
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    gwagent::BlackList list;
    if (!list.read()) {
        GWLOG(LOG_LVL_WARN, "get AccessControlBlackList failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    const ccif_AccessControlBlackList_t *blocked = list.find(mac);
    if (right != 0) {
        if (!blocked)
            return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NOT_MATCH_AccessControlBlackList", fd);
        if (ccif_AccessControlBlackList_del_obj(blocked->path) != 0) {
            GWLOG(LOG_LVL_WARN, "delete AccessControlBlackList %s failed.", blocked->path);
            return gwagent::answer_status(id, sequence_id, cmd_type, 1, "DEL_FAILED", fd);
        }
        return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
    }
    if (blocked)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "EXIST", fd);
    ccif_AccessControlBlackList_t entry {};
    copy_truncated(entry.MAC, mac);
    if (ccif_AccessControlBlackList_add_obj(&entry) != 0) {
        GWLOG(LOG_LVL_WARN, "add AccessControlBlackList %s failed.", mac);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "ADD_FAILED", fd);
    }
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}
