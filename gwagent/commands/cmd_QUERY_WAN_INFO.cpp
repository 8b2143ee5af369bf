// QUERY_WAN_INFO: addressing and state of one WAN connection, by name.
#include "commands/cmd_request.h"
#include "commands/cmd_wan.h"
#include "gwbus/log.h"

extern "C" int cmd_QUERY_WAN_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char name[256] = {};
    if (!r.required("WANName", name) || !name[0]) {
        if (!name[0])
            GWLOG(LOG_LVL_WARN, "%s Parameter WANName is empty", cmd_type);
        return r.fail("parameter_error");
    }
    ccif_WANConnectionInfo_t w{};
    const int rc = gwagent::wan_by_name(name, &w);
    if (rc == -1)
        return r.fail("GET_PATH_FAILED");
    if (rc != 0)
        return r.fail("object_not_exist");
    std::string dns1, dns2, dns6_1, dns6_2;
    gwagent::split_first_comma(w.DNSServers, dns1, dns2);
    gwagent::split_first_comma(w.IPv6DNSServers, dns6_1, dns6_2);
    return r.members({{"INDEX", w.Index},
                      {"IFNAME", w.IfName},
                      {"SERVICELIST", w.ServiceList},
                      {"CONNECTIONTYPE", w.ConnectionType},
                      {"VLANID", w.VLANMode == 0 ? std::string("NaN") : std::to_string(w.VLANID)},
                      {"8021P", std::to_string(w.VLAN8021P)},
                      {"CONNECTIONSTATUS", w.ConnectionStatus},
                      {"IPADDRESS", w.IPAddress},
                      {"SUBNETMASK", w.SubnetMask},
                      {"GATEWAY", w.Gateway},
                      {"DNS1", dns1},
                      {"DNS2", dns2},
                      {"IPV6_CONNECTIONSTATUS", w.IPv6ConnectionStatus},
                      {"IPV6_IPADDRESS", w.IPv6IPAddress},
                      {"IPV6_PREFIXLENGTH", w.IPv6PrefixLength},
                      {"IPV6_GATEWAY", w.IPv6Gateway},
                      {"IPV6_DNS1", dns6_1},
                      {"IPV6_DNS2", dns6_2},
                      {"IPV6_PRIFIX", w.IPv6Prefix},
                      {"Protocol", std::to_string(static_cast<int>(w.Protocol) - 1)},
                      {"LanInterface", w.LanInterface}});
}
