// SET_LAN_PARAMETER: replaces the LAN address and the DHCP pool, writing the whole object back.
#include <cstdlib>

#include "commands/cmd_answer.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char local_ip[16] = {}, submask[16] = {}, start_ip[16] = {}, end_ip[16] = {}, enable[8] = {}, duration[8] = {};
    using gwagent::required_string;
    if (!required_string(cmd, cmd_type, "LocalIP", local_ip, 15) ||
        !required_string(cmd, cmd_type, "Submask", submask, 15) ||
        !required_string(cmd, cmd_type, "DHCPStartIP", start_ip, 15) ||
        !required_string(cmd, cmd_type, "DHCPEndIP", end_ip, 15) ||
        !required_string(cmd, cmd_type, "EnableDHCPServer", enable, 7) ||
        !required_string(cmd, cmd_type, "DHCPDuration", duration, 7))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);

    ccif_DHCPServer_t dhcp {};
    if (ccif_DHCPServer_get(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "get DHCPServer failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_DHCPServer", fd);
    }
    copy_truncated(dhcp.LocalIP, local_ip);
    copy_truncated(dhcp.Submask, submask);
    copy_truncated(dhcp.DHCPStartIP, start_ip);
    copy_truncated(dhcp.DHCPEndIP, end_ip);
    dhcp.DHCPServerEnable = enable[0] == '0' ? FALSE : TRUE;
    dhcp.DHCPDuration = static_cast<uint32_t>(std::atoi(duration));
    if (ccif_DHCPServer_set(&dhcp) != 0) {
        GWLOG(LOG_LVL_WARN, "set DHCPServer failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "SET_FAILED", fd);
    }
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}
