// GET_ATTACH_DEVICE_RIGHT: the MACs refused internet access.
#include "commands/cmd_answer.h"
#include "commands/cmd_blacklist.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    gwagent::BlackList list;
    if (!list.read()) {
        GWLOG(LOG_LVL_WARN, "get AccessControlBlackList failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    std::string joined;
    for (const auto &b : list) {
        if (!joined.empty())
            joined += '/';
        joined += b.MAC;
    }
    return gwagent::answer_members(id, sequence_id, cmd_type, {{"MACList", joined}}, fd);
}
