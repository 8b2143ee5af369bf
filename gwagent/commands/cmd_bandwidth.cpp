#include "commands/cmd_bandwidth.h"

#include "commands/cmd_answer.h"
#include "commands/cmd_lanhost.h"
#include "gwbus/log.h"

namespace gwagent {

int answer_bandwidth(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, bool with_guarantee, int fd)
{
    char mac[13] = {};
    if (!required_string(cmd, cmd_type, "MAC", mac, 12))
        return answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "%s get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.", cmd_type);
        return answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    const ccif_LANHost_t *h = hosts.find(mac, true);
    if (!h)
        return answer_status(id, sequence_id, cmd_type, 1, "NOT_MATCH_LANHost", fd);
    if (!with_guarantee)
        return answer_members(id, sequence_id, cmd_type,
                              {{"UsBandwidth", std::to_string(h->UsBandwidth)},
                               {"DsBandwidth", std::to_string(h->DsBandwidth)}},
                              fd);
    return answer_members(id, sequence_id, cmd_type,
                          {{"UsBandwidth", std::to_string(h->UsBandwidth)},
                           {"DsBandwidth", std::to_string(h->DsBandwidth)},
                           {"UsGuaranteeBandwidth", std::to_string(h->UsGuaranteeBandwidth)},
                           {"DsGuaranteeBandwidth", std::to_string(h->DsGuaranteeBandwidth)}},
                          fd);
}

}  // namespace gwagent
