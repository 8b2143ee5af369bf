// QUERY_WAN_NUM: how many WAN connections there are, and their names.
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_QUERY_WAN_NUM(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_WANConnectManager_t mgr{};
    if (ccif_WANConnectManager_get(&mgr) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectManager failed.");
        return r.fail("NO_WANConnectManager");
    }
    gwagent::ObjList<ccif_WANConnectionInfo_t> wans;
    if (!wans.read(ccif_WANConnectionInfo_get_objs)) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo failed.");
        return r.fail("NO_WANConnectionInfo");
    }
    std::string names;
    for (const ccif_WANConnectionInfo_t &w : wans) {
        if (&w != wans.begin())
            names += '/';
        names += w.WANName;
    }
    const unsigned long num =
        static_cast<unsigned long>(mgr.WANPPPConnectionNumberOfEntries) + mgr.WANIPConnectionNumberOfEntries;
    return r.members({{"NUM", std::to_string(num)}, {"Description", names}});
}
