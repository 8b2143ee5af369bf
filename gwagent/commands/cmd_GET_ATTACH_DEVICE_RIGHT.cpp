// GET_ATTACH_DEVICE_RIGHT: the MACs refused internet access.
#include "commands/cmd_blacklist.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::BlackList list;
    if (!list.read()) {
        GWLOG(LOG_LVL_WARN, "get AccessControlBlackList failed.");
        return r.fail("object_not_exist");
    }
    std::string joined;
    for (const auto &b : list) {
        if (!joined.empty())
            joined += '/';
        joined += b.MAC;
    }
    return r.members({{"MACList", joined}});
}
