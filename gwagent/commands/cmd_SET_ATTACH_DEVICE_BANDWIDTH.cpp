// SET_ATTACH_DEVICE_BANDWIDTH: a host's up and down limits, whatever its state, in one write.
#include <cstdlib>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"

extern "C" int cmd_SET_ATTACH_DEVICE_BANDWIDTH(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                               int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char mac[13] = {}, us[12] = {}, ds[12] = {};
    if (!r.required("MAC", mac) || !r.required("UsBandwidth", us) || !r.required("DsBandwidth", ds))
        return r.fail("parameter_error");
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "%s get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.", cmd_type);
        return r.fail("object_not_exist");
    }
    const ccif_LANHost_t *h = hosts.find(mac, false);
    if (!h)
        return r.fail("NOT_MATCH_LANHost");
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "UsBandwidth", g_variant_new_uint32(static_cast<guint32>(std::atoi(us))));
    g_variant_builder_add(&b, "{sv}", "DsBandwidth", g_variant_new_uint32(static_cast<guint32>(std::atoi(ds))));
    if (ccif_LANHost_setv(h->path, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set LANHost.UsBandwidth failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
