// GET_LAN_NET_INFO_EX: the online hosts with their link and limits.
#include <cstdio>

#include "commands/cmd_lanhost.h"

namespace {

std::string entry(const ccif_LANHost_t &h)
{
    char text[1024];
    std::snprintf(text, sizeof text, "%s:%s:%s:%s:%d:%d:%u:%u:%u", h.DevName, h.MAC, h.IP, h.ConnectInterface,
                  h.Speedupstate, h.RSSI, h.OnlineTime, h.UsBandwidth, h.DsBandwidth);
    return text;
}

}  // namespace

extern "C" int cmd_GET_LAN_NET_INFO_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    return gwagent::answer_online_host_entries(r, "OBJECT_NO_EXIST", "Info", entry);
}
