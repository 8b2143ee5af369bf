// The VPN traffic report: VPN_STATUC_TRAFFIC switches on a uloop timer that pushes the counters of the
// IPSec and VxLAN tunnels to the message server.
#include <cstring>
#include <string>

#include <gw/ubox.h>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "commands/cmd_vpn_traffic.h"
#include "core/holders.hpp"
#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "platform/conn.h"

namespace {

struct VpnTraffic {
    bool enabled = false;
    int interval = 0;
};

VpnTraffic g_vpn;
struct uloop_timeout g_timeout_vpn_traffic = {};

// One tunnel of either kind: index, state and counters (bytes in KiB).
template <typename T> json_t *tunnel(const T &t)
{
    json_t *e = json_object();
    json_object_set_new(e, "Index", json_integer(t.Index));
    json_object_set_new(e, "Enable", json_integer(t.Enable ? 1 : 0));
    json_object_set_new(e, "Status", json_string(t.Status));
    json_object_set_new(e, "RxPkts", json_string(std::to_string(t.RxPkts).c_str()));
    json_object_set_new(e, "TxPkts", json_string(std::to_string(t.TxPkts).c_str()));
    json_object_set_new(e, "RxBytes", json_string(std::to_string(t.RxBytes / 1024).c_str()));
    json_object_set_new(e, "TxBytes", json_string(std::to_string(t.TxBytes / 1024).c_str()));
    return e;
}

// Adds "<kind>Num" and "<kind>List" from a tunnel list; a list that cannot be read leaves both out.
template <typename T, int (*Get)(T **, int *), int (*Release)(T *, int)>
void add_tunnels(json_t *report, const char *num_key, const char *list_key)
{
    gwagent::ApiList<T, Release> list;
    if (Get(&list.items, &list.count) != 0)
        return;
    json_t *array = json_array();
    for (int i = 0; i < list.count; ++i)
        json_array_append_new(array, tunnel(list.items[i]));
    json_object_set_new(report, num_key, json_integer(list.count));
    json_object_set_new(report, list_key, array);
}

}  // namespace

extern "C" void report_VPN_STATUC_TRAFFIC(void)
{
    api_VPNInfo_t vpn{};
    if (api_getVPN(&vpn) != 0) {
        GWLOG(LOG_LVL_WARN, "get VPN failed, no VPN_STATUC_TRAFFIC report.");
        return;
    }
    gwagent::JsonPtr report(json_object());
    json_t *r = report.get();
    json_object_set_new(r, "CmdType", json_string("VPN_STATUC_TRAFFIC"));
    json_object_set_new(r, "Enable", json_integer(vpn.Enable ? 1 : 0));
    json_object_set_new(r, "VPNType", json_string(vpn.VPNType));
    json_object_set_new(r, "VPNNum", json_integer(vpn.VPNNum));
    if (!vpn.Enable) {
        json_object_set_new(r, "IPSecNum", json_integer(0));
        json_object_set_new(r, "IPSecList", json_array());
        json_object_set_new(r, "VxLANNum", json_integer(0));
        json_object_set_new(r, "VxLANList", json_array());
    } else {
        add_tunnels<api_VPNIPSecInfo_t, api_getVPNIPSecAll, api_releaseVPNIPSecAll>(r, "IPSecNum", "IPSecList");
        add_tunnels<api_VPNVxLANInfo_t, api_getVPNVxLANAll, api_releaseVPNVxLANAll>(r, "VxLANNum", "VxLANList");
    }
    gwagent::CharPtr text(gw_json_dump_compact(r));
    if (!text)
        return;
    GWLOG(LOG_LVL_DEBUG, "%s %s", "VPN_STATUC_TRAFFIC", text.get());
    gwagent_message_push(text.get(), static_cast<int>(std::strlen(text.get())));
}

namespace {

void vpn_traffic_cb(struct uloop_timeout *t)
{
    report_VPN_STATUC_TRAFFIC();
    uloop_timeout_set(t, g_vpn.interval * 1000);
}

bool all_digits(const char *s)
{
    if (!*s)
        return false;
    for (; *s; ++s)
        if (*s < '0' || *s > '9')
            return false;
    return true;
}

}  // namespace

extern "C" int cmd_VPN_STATUC_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int enable = 0;
    char time_text[16] = {};
    bool ok = r.required_int("Enable", enable);
    if (ok && enable != 0 && enable != 1) {
        GWLOG(LOG_LVL_WARN, "%s Enable error:%d", cmd_type, enable);
        ok = false;
    }
    if (get_string_json_value(cmd, "Time", JSON_STRING, time_text, sizeof time_text) != 0 || !all_digits(time_text)) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter Time %s", cmd_type, time_text);
        ok = false;
    }
    int interval = 0;
    if (ok && !gwagent::interval_seconds(time_text, interval))
        ok = false;
    // A report every 0 seconds would keep the loop busy.
    if (ok && enable == 1 && interval == 0) {
        GWLOG(LOG_LVL_WARN, "%s Time is 0, need > 0!", cmd_type);
        ok = false;
    }
    if (!ok)
        return r.fail("Parse input params fail!");
    if (enable == 1 || g_vpn.enabled) {
        uloop_timeout_cancel(&g_timeout_vpn_traffic);
        g_vpn.enabled = enable == 1;
        if (g_vpn.enabled) {
            g_vpn.interval = interval;
            g_timeout_vpn_traffic.cb = vpn_traffic_cb;
            uloop_timeout_set(&g_timeout_vpn_traffic, interval * 1000);
        }
    }
    if (uci_config_set("gwagent", "vpn_traffic", "enable", enable == 1 ? "1" : "0", 0) != 0 ||
        uci_config_set("gwagent", "vpn_traffic", "time", time_text, 1) != 0)
        GWLOG(LOG_LVL_WARN, "store vpn_traffic settings failed.");
    return r.ok();
}

extern "C" int cmd_GET_VPN_STATUC_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Enable", json_integer(g_vpn.enabled ? 1 : 0)) != 0)
        return r.fail("Create json fail!");
    return r.answer(answer.get());
}

namespace gwagent {

struct uloop_timeout *vpn_traffic_timer() { return &g_timeout_vpn_traffic; }

void vpn_traffic_reset()
{
    uloop_timeout_cancel(&g_timeout_vpn_traffic);
    g_vpn = VpnTraffic{};
}

}  // namespace gwagent
