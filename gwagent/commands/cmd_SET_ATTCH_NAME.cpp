// SET_ATTCH_NAME: renames a host (and sets its type when one is given), in one write.
#include "commands/cmd_answer.h"
#include "commands/cmd_lanhost.h"
#include "gwbus/log.h"

extern "C" int cmd_SET_ATTCH_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char mac[13] = {}, name[256] = {}, dev_type[64] = {};
    if (!gwagent::required_string(cmd, cmd_type, "MAC", mac, 12) ||
        !gwagent::required_string(cmd, cmd_type, "Name", name, 255) ||
        !gwagent::required_string(cmd, cmd_type, "DevType", dev_type, 63))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    gwagent::HostList hosts;
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "SET_ATTCH_NAME get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    const ccif_LANHost_t *h = hosts.find(mac, false);
    if (!h) {
        GWLOG(LOG_LVL_WARN, "SET_ATTCH_NAME no LANHost with MAC %s.", mac);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NOT_MATCH_LANHost", fd);
    }
    // A multi-byte character split by the cut is dropped whole: a bus string must be valid UTF-8.
    for (char *text : {name, dev_type}) {
        const char *end = nullptr;
        if (!g_utf8_validate(text, -1, &end))
            text[end - text] = '\0';
    }
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "DevName", g_variant_new_string(name));
    if (dev_type[0])
        g_variant_builder_add(&b, "{sv}", "DevType", g_variant_new_string(dev_type));
    if (ccif_LANHost_setv(h->path, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set LANHost.DevName failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "SET_FAILED", fd);
    }
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}
