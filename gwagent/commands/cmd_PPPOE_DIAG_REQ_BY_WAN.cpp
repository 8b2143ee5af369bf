// PPPOE_DIAG_REQ_BY_WAN: why a PPPoE connection is or is not up, for IPv4 and IPv6.
#include <cstring>

#include "commands/cmd_request.h"
#include "commands/cmd_wan.h"
#include "gwbus/log.h"

namespace {

const char *dial_reason(const char *status, const char *last_error)
{
    if (std::strcmp(status, "Connected") == 0)
        return "ERROR_NONE";
    if (std::strcmp(status, "Unconfigured") == 0)
        return "ERROR_NO_VALID_CONNECTION";
    if (std::strcmp(status, "Connecting") == 0)
        return last_error;
    return "";
}

}  // namespace

extern "C" int cmd_PPPOE_DIAG_REQ_BY_WAN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char name[256] = {};
    if (!r.required("WANName", name) || !name[0])
        return r.fail("parameter_error");
    ccif_WANConnectionInfo_t w{};
    const int rc = gwagent::wan_by_name(name, &w);
    if (rc == -1)
        return r.fail("WAN_NO_EXIST");
    if (rc != 0)
        return r.fail("GET_WAN_FAILED");
    if (std::strcmp(w.ConnectionType, "PPPoE_Routed") != 0) {
        GWLOG(LOG_LVL_WARN, "%s is not PPPoE_Routed wan.", name);
        return r.fail("NOT_PPPoE_ROUTED_WAN");
    }
    const bool up4 = std::strcmp(w.ConnectionStatus, "Connected") == 0;
    const bool up6 = std::strcmp(w.IPv6ConnectionStatus, "Connected") == 0;
    return r.members({{"ConnectionStatus", up4 ? "0" : "1"},
                      {"WANStatus", w.ConnectionStatus},
                      {"DialReason", dial_reason(w.ConnectionStatus, w.LastConnectionError)},
                      {"ConnectionStatus1", up6 ? "0" : "1"},
                      {"WANStatus1", w.IPv6ConnectionStatus},
                      {"DialReason1", dial_reason(w.IPv6ConnectionStatus, w.LastIPv6ConnectionError)},
                      {"Protocol", std::to_string(static_cast<int>(w.Protocol) - 1)}});
}
