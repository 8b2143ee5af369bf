// GET_LAN_PARAMETER: the LAN address and the DHCP server's pool.
#include "commands/cmd_answer.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_GET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    ccif_DHCPServer_t dhcp {};
    if (ccif_DHCPServer_get(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "get DHCPServer failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_DHCPServer", fd);
    }
    return gwagent::answer_members(id, sequence_id, cmd_type,
                                   {{"LocalIP", dhcp.LocalIP},
                                    {"Submask", dhcp.Submask},
                                    {"EnableDHCPServer", std::to_string(dhcp.DHCPServerEnable ? 1 : 0)},
                                    {"DHCPStartIP", dhcp.DHCPStartIP},
                                    {"DHCPEndIP", dhcp.DHCPEndIP},
                                    {"DHCPDuration", std::to_string(dhcp.DHCPDuration)}},
                                   fd);
}
