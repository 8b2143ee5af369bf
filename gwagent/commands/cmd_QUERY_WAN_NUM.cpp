// QUERY_WAN_NUM: how many WAN connections there are, and their names.
#include "commands/cmd_answer.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_QUERY_WAN_NUM(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    ccif_WANConnectManager_t mgr {};
    if (ccif_WANConnectManager_get(&mgr) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectManager failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_WANConnectManager", fd);
    }
    ccif_WANConnectionInfo_t *wans = nullptr;
    int count = 0;
    if (ccif_WANConnectionInfo_get_objs(&wans, &count) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_WANConnectionInfo", fd);
    }
    std::string names;
    for (int i = 0; i < count; ++i) {
        if (i)
            names += '/';
        names += wans[i].WANName;
    }
    g_free(wans);
    const unsigned long num =
        static_cast<unsigned long>(mgr.WANPPPConnectionNumberOfEntries) + mgr.WANIPConnectionNumberOfEntries;
    return gwagent::answer_members(id, sequence_id, cmd_type, {{"NUM", std::to_string(num)}, {"Description", names}},
                                   fd);
}
