// GET_LAN_HOST_INFO: the online hosts, optionally only those of the given MACs.
#include <cstdio>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_LAN_HOST_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    std::vector<std::string> macs;
    if (!gwagent::read_mac_filter(cmd, cmd_type, macs))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "GET_LAN_HOST_INFO get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "OBJECT_NO_EXIST", fd);
    }
    std::vector<std::string> entries;
    for (const ccif_LANHost_t &h : hosts) {
        if (!gwagent::mac_in_filter(macs, h.MAC) || !gwagent::host_online(h))
            continue;
        char entry[1024];
        std::snprintf(entry, sizeof entry, "%s:%s:%s:%d:%s:%s:%s:%d:%d:%u:%u:%u", h.DevName, h.MAC, h.IP,
                      h.ConnectDevice, h.ConnectDeviceMAC, h.ConnectDeviceSN, h.ConnectInterface, h.Speedupstate,
                      h.RSSI, h.OnlineTime, h.UsBandwidth, h.DsBandwidth);
        entries.emplace_back(entry);
    }
    return gwagent::answer_joined_entries(id, sequence_id, cmd_type, "Info", entries, 511, fd);
}
