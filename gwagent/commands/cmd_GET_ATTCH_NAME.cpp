// GET_ATTCH_NAME: names and types of hosts: the online ones, or every listed one whatever its state.
#include <cstring>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_ATTCH_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::vector<std::string> macs;
    gwagent::HostList hosts;
    int rc = -1;
    if (!gwagent::read_filtered_hosts(r, "object_not_exist", macs, hosts, &rc))
        return rc;
    gwagent::JsonPtr answer = r.head();
    json_t *list = json_array();
    if (!answer || !list || json_object_set_new(answer.get(), "NameList", list) != 0)
        return r.fail("create_json_fail");
    gwagent::CharPtr empty(gw_json_dump_compact(answer.get()));
    size_t length = empty ? strlen(empty.get()) : 0;
    for (const ccif_LANHost_t &h : hosts) {
        if (macs.empty() ? !gwagent::host_online(h) : !gwagent::mac_in_filter(macs, h.MAC))
            continue;
        gwagent::JsonPtr entry(json_object());
        if (!entry)
            continue;
        json_object_set_new(entry.get(), "MAC", json_string(h.MAC));
        json_object_set_new(entry.get(), "Name", json_string(h.DevName));
        json_object_set_new(entry.get(), "DevType", json_string(h.DevType));
        gwagent::CharPtr text(gw_json_dump_compact(entry.get()));
        if (!text)
            continue;
        // A long list stops at the last whole entry that fits, so the answer stays valid JSON.
        const size_t grown = length + strlen(text.get()) + (json_array_size(list) ? 1 : 0);
        if (grown > CMD_RESP_MAX) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %zu entries to fit the answer.", cmd_type, json_array_size(list));
            break;
        }
        length = grown;
        json_array_append_new(list, entry.release());
    }
    return r.answer(answer.get());
}
