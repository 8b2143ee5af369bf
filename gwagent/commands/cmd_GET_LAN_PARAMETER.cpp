// GET_LAN_PARAMETER: the LAN address and the DHCP server's pool.
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_GET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_DHCPServer_t dhcp{};
    if (ccif_DHCPServer_get(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "get DHCPServer failed.");
        return r.fail("NO_DHCPServer");
    }
    return r.members({{"LocalIP", dhcp.LocalIP},
                      {"Submask", dhcp.Submask},
                      {"EnableDHCPServer", std::to_string(dhcp.DHCPServerEnable ? 1 : 0)},
                      {"DHCPStartIP", dhcp.DHCPStartIP},
                      {"DHCPEndIP", dhcp.DHCPEndIP},
                      {"DHCPDuration", std::to_string(dhcp.DHCPDuration)}});
}
