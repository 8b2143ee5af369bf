#include "commands/cmd_bandwidth.h"

#include "commands/cmd_lanhost.h"
#include "gwbus/log.h"

namespace gwagent {

int answer_bandwidth(const Request &r, bool with_guarantee)
{
    char mac[13] = {};
    if (!r.required("MAC", mac))
        return r.fail("parameter_error");
    HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "%s get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.", r.cmd_type());
        return r.fail("object_not_exist");
    }
    const ccif_LANHost_t *h = hosts.find(mac, true);
    if (!h)
        return r.fail("NOT_MATCH_LANHost");
    if (!with_guarantee)
        return r.members(
            {{"UsBandwidth", std::to_string(h->UsBandwidth)}, {"DsBandwidth", std::to_string(h->DsBandwidth)}});
    return r.members({{"UsBandwidth", std::to_string(h->UsBandwidth)},
                      {"DsBandwidth", std::to_string(h->DsBandwidth)},
                      {"UsGuaranteeBandwidth", std::to_string(h->UsGuaranteeBandwidth)},
                      {"DsGuaranteeBandwidth", std::to_string(h->DsGuaranteeBandwidth)}});
}

}  // namespace gwagent
