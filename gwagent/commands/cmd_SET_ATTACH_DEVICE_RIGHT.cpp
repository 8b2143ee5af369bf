// SET_ATTACH_DEVICE_RIGHT: right 0 blocks the MAC (adds it to the blacklist), any other right frees it.
#include "commands/cmd_blacklist.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char mac[13] = {};
    int right = 0;
    if (!r.required("MAC", mac))
        return r.fail("parameter_error");
    if (!r.required_int("InternetAccessRight", right))
        return r.fail("parameter_error");
    gwagent::BlackList list;
    if (!list.read()) {
        GWLOG(LOG_LVL_WARN, "get AccessControlBlackList failed.");
        return r.fail("object_not_exist");
    }
    const ccif_AccessControlBlackList_t *blocked = list.find(mac);
    if (right != 0) {
        if (!blocked)
            return r.fail("NOT_MATCH_AccessControlBlackList");
        if (ccif_AccessControlBlackList_del_obj(blocked->path) != 0) {
            GWLOG(LOG_LVL_WARN, "delete AccessControlBlackList %s failed.", blocked->path);
            return r.fail("DEL_FAILED");
        }
        return r.ok();
    }
    if (blocked)
        return r.fail("EXIST");
    ccif_AccessControlBlackList_t entry{};
    copy_truncated(entry.MAC, mac);
    if (ccif_AccessControlBlackList_add_obj(&entry) != 0) {
        GWLOG(LOG_LVL_WARN, "add AccessControlBlackList %s failed.", mac);
        return r.fail("ADD_FAILED");
    }
    return r.ok();
}
