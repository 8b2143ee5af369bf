// GET_LAN_STATUS and GET_LAN_TRAFFIC: the Ethernet ports, one or all, as one array each.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/cmd_request.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

namespace {

// The port number is the last component of the port's object path.
long port_number(const char *path)
{
    const char *slash = std::strrchr(path, '/');
    return slash ? std::strtol(slash + 1, nullptr, 10) : 0;
}

using PortList = gwagent::ApiList<api_EthernetConfigInfo_t, api_releaseEthernetConfigInfo>;

int answer_ports(const gwagent::Request &r, const char *member, bool with_traffic)
{
    int index = 0;
    if (!r.required_int("Index", index))
        return r.fail("parameter_error");
    if (index < 0) {
        GWLOG(LOG_LVL_WARN, "%s Parameter Index %d is invalid", r.cmd_type(), index);
        return r.fail("parameter_error");
    }
    PortList ports;
    const int rc = api_getEthernetConfigInfo(&ports.items, &ports.count);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, return %d.", "api_getEthernetConfigInfo", rc);
        return r.fail("api_return_fail");
    }
    gwagent::JsonPtr answer = r.head();
    json_t *array = json_array();
    if (!answer || !array || json_object_set_new(answer.get(), member, array) != 0)
        return r.fail("create_json_fail");
    for (int i = 0; i < ports.count; ++i) {
        const api_EthernetConfigInfo_t &port = ports.items[i];
        const long number = port_number(port.path);
        if (index != 0 && number != index)
            continue;
        json_t *entry = json_object();
        if (!entry || json_array_append_new(array, entry) != 0)
            return r.fail("create_json_fail");
        bool ok =
            json_object_set_new(entry, "Index", json_integer(number)) == 0 &&
            json_object_set_new(entry, "Status", json_string(std::strcmp(port.Status, "Up") == 0 ? "up" : "down")) == 0;
        if (ok && with_traffic) {
            char tx[24], rx[24];
            std::snprintf(tx, sizeof tx, "%" PRIu64, port.BytesSent);
            std::snprintf(rx, sizeof rx, "%" PRIu64, port.BytesReceived);
            ok = json_object_set_new(entry, "LANTXByte", json_string(tx)) == 0 &&
                 json_object_set_new(entry, "LANRXByte", json_string(rx)) == 0;
        }
        if (!ok)
            return r.fail("create_json_fail");
    }
    return r.answer(answer.get());
}

}  // namespace

extern "C" int cmd_GET_LAN_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return answer_ports(gwagent::Request{id, sequence_id, cmd_type, cmd, fd}, "StatusInfo", false);
}

extern "C" int cmd_GET_LAN_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return answer_ports(gwagent::Request{id, sequence_id, cmd_type, cmd, fd}, "Traffic", true);
}
