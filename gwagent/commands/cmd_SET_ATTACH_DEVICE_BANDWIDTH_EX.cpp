// SET_ATTACH_DEVICE_BANDWIDTH_EX: a host's limits and guaranteed rates; a limit (0 is none) may not
// be below its guarantee.
#include <cctype>
#include <cstdlib>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"

namespace {

bool digits_only(const char *s)
{
    if (!*s)
        return false;
    for (; *s; ++s)
        if (!std::isdigit(static_cast<unsigned char>(*s)))
            return false;
    return true;
}

}  // namespace

extern "C" int cmd_SET_ATTACH_DEVICE_BANDWIDTH_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                                  int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    const char *names[] = {"UsBandwidth", "DsBandwidth", "UsGuaranteeBandwidth", "DsGuaranteeBandwidth"};
    char mac[13] = {};
    char text[4][12] = {};
    if (!r.required("MAC", mac))
        return r.fail("parameter_error");
    unsigned long value[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (!r.required(names[i], text[i]))
            return r.fail("parameter_error");
        if (!digits_only(text[i])) {
            GWLOG(LOG_LVL_WARN, "%s %s is invalid,should be digits.", names[i], text[i]);
            return r.fail("InValid_Parm_Value");
        }
        value[i] = std::strtoul(text[i], nullptr, 10);
    }
    for (int i = 0; i < 2; ++i) {
        if (value[i] != 0 && value[i] < value[i + 2]) {
            GWLOG(LOG_LVL_WARN, "%s %lu is bigger than %s %lu", names[i + 2], value[i + 2], names[i], value[i]);
            return r.fail("InValid_Parm_Value");
        }
    }
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "%s get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.", cmd_type);
        return r.fail("object_not_exist");
    }
    const ccif_LANHost_t *found = hosts.find(mac, false);
    if (!found)
        return r.fail("NOT_MATCH_LANHost");
    ccif_LANHost_t h = *found;
    h.UsBandwidth = static_cast<uint32_t>(value[0]);
    h.DsBandwidth = static_cast<uint32_t>(value[1]);
    h.UsGuaranteeBandwidth = static_cast<uint32_t>(value[2]);
    h.DsGuaranteeBandwidth = static_cast<uint32_t>(value[3]);
    if (ccif_LANHost_set(&h) != 0) {
        GWLOG(LOG_LVL_WARN, "set LANHost bandwidth failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
