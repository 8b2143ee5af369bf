// SET_LAN_PARAMETER: replaces the LAN address and the DHCP pool, writing the whole object back.
#include <cstdlib>

#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char local_ip[16] = {}, submask[16] = {}, start_ip[16] = {}, end_ip[16] = {}, enable[8] = {}, duration[8] = {};
    if (!r.required("LocalIP", local_ip) || !r.required("Submask", submask) || !r.required("DHCPStartIP", start_ip) ||
        !r.required("DHCPEndIP", end_ip) || !r.required("EnableDHCPServer", enable) ||
        !r.required("DHCPDuration", duration))
        return r.fail("parameter_error");

    ccif_DHCPServer_t dhcp{};
    if (ccif_DHCPServer_get(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "get DHCPServer failed.");
        return r.fail("NO_DHCPServer");
    }
    copy_truncated(dhcp.LocalIP, local_ip);
    copy_truncated(dhcp.Submask, submask);
    copy_truncated(dhcp.DHCPStartIP, start_ip);
    copy_truncated(dhcp.DHCPEndIP, end_ip);
    dhcp.DHCPServerEnable = enable[0] == '0' ? FALSE : TRUE;
    dhcp.DHCPDuration = static_cast<uint32_t>(std::atoi(duration));
    if (ccif_DHCPServer_set(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "set DHCPServer failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
