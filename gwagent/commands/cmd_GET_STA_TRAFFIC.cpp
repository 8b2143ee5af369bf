// GET_STA_TRAFFIC: bytes each online host sent and received, in KiB.
#include <cinttypes>
#include <cstdio>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_STA_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    std::vector<std::string> macs;
    if (!gwagent::read_mac_filter(cmd, cmd_type, macs))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "GET_STA_TRAFFIC get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    std::vector<std::string> entries;
    for (const ccif_LANHost_t &h : hosts) {
        if (!gwagent::mac_in_filter(macs, h.MAC) || !gwagent::host_online(h))
            continue;
        char entry[96];
        std::snprintf(entry, sizeof entry, "%s:%" PRIu64 ":%" PRIu64, h.MAC, h.TxBytes >> 10, h.RxBytes >> 10);
        entries.emplace_back(entry);
    }
    return gwagent::answer_joined_entries(id, sequence_id, cmd_type, "TrafficList", entries, 511, fd);
}
