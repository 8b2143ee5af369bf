// GET_STA_TRAFFIC: bytes each online host sent and received, in KiB.
#include <cinttypes>
#include <cstdio>

#include "commands/cmd_lanhost.h"

namespace {

std::string entry(const ccif_LANHost_t &h)
{
    char text[96];
    std::snprintf(text, sizeof text, "%s:%" PRIu64 ":%" PRIu64, h.MAC, h.TxBytes >> 10, h.RxBytes >> 10);
    return text;
}

}  // namespace

extern "C" int cmd_GET_STA_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    return gwagent::answer_online_host_entries(r, "object_not_exist", "TrafficList", entry);
}
