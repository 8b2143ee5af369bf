// SET_ATTCH_NAME: renames a host (and sets its type when one is given), in one write.
#include "commands/cmd_lanhost.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

extern "C" int cmd_SET_ATTCH_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char mac[13] = {}, name[256] = {}, dev_type[64] = {};
    if (!r.required("MAC", mac) || !r.required("Name", name) || !r.required("DevType", dev_type))
        return r.fail("parameter_error");
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "SET_ATTCH_NAME get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.");
        return r.fail("object_not_exist");
    }
    const ccif_LANHost_t *h = hosts.find(mac, false);
    if (!h) {
        GWLOG(LOG_LVL_WARN, "SET_ATTCH_NAME no LANHost with MAC %s.", mac);
        return r.fail("NOT_MATCH_LANHost");
    }
    // A multi-byte character split by the cut is dropped whole: a bus string must be valid UTF-8.
    trim_partial_utf8(name);
    trim_partial_utf8(dev_type);
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "DevName", g_variant_new_string(name));
    if (dev_type[0])
        g_variant_builder_add(&b, "{sv}", "DevType", g_variant_new_string(dev_type));
    if (ccif_LANHost_setv(h->path, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set LANHost.DevName failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
