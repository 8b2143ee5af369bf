// Two LAN reports: LAN_DEVICE_ACCESS forwards the service's LanDeviceAccess signal (devices joining the
// LAN) to the message server; SET_LAN_SPEED reports the LAN port rates on a uloop timer.
#include <cstdio>
#include <cstring>
#include <string>

#include <gw/ubox.h>

#include "commands/cmd_lan_reports.h"
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/holders.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "platform/conn.h"

namespace {

// ---- LAN device access ----------------------------------------------------------------------------

constexpr char kHostsPath[] = "/com/yvc/igd1/Config/LANHosts";
constexpr char kHostsIface[] = "com.yvc.igd1.LANHostManager";
constexpr char kAccess[] = "LanDeviceAccess";
constexpr size_t kAccessReportMax = 1024;

unsigned access_subscription() { return check_dbus_SubscribeSignal_Enable(nullptr, kHostsPath, kHostsIface, kAccess); }

// ---- LAN port speed --------------------------------------------------------------------------------

constexpr int kMaxPorts = 32;

struct PortCounters {
    uint64_t sent = 0, received = 0;
};

struct LanSpeed {
    bool enabled = false;
    int interval = 0;
    int ports = 0;  // known LAN ports, 0 until read
    bool selected[kMaxPorts] = {};
    PortCounters baseline[kMaxPorts] = {};
};

LanSpeed g_lan;
struct uloop_timeout g_timeout_lan_speed = {};

using PortList = gwagent::ApiList<api_EthernetConfigInfo_t, api_releaseEthernetConfigInfo>;

bool read_ports(PortList &ports) { return api_getEthernetConfigInfo(&ports.items, &ports.count) == 0; }

void take_baseline(const PortList &ports)
{
    for (int i = 0; i < ports.count && i < kMaxPorts; ++i)
        g_lan.baseline[i] = {ports.items[i].BytesSent, ports.items[i].BytesReceived};
}

// kbps over the interval; a counter that went back (a port reset) counts from 0 rather than wrapping.
unsigned long long port_rate(uint64_t now, uint64_t before, int interval)
{
    const uint64_t bytes = now >= before ? now - before : now;
    return static_cast<unsigned long long>(bytes * 8 / static_cast<uint64_t>(interval) / 1024);
}

void lan_speed_report(struct uloop_timeout *t)
{
    PortList ports;
    if (!read_ports(ports)) {
        GWLOG(LOG_LVL_WARN, "capi getEthernetConfigInfo fail!");
    } else if (g_lan.interval == 0) {
        GWLOG(LOG_LVL_WARN, "time is 0, LAN_SPEED not enable!");
    } else {
        gwagent::JsonPtr report(json_object());
        json_t *traffic = json_array();
        json_object_set_new(report.get(), "CmdType", json_string("LAN_SPEED"));
        json_object_set_new(report.get(), "Traffic", traffic);
        for (int i = 0; i < ports.count && i < kMaxPorts; ++i) {
            const api_EthernetConfigInfo_t &p = ports.items[i];
            if (g_lan.selected[i]) {
                char up[32], down[32];
                std::snprintf(up, sizeof up, "%llukbps",
                              port_rate(p.BytesSent, g_lan.baseline[i].sent, g_lan.interval));
                std::snprintf(down, sizeof down, "%llukbps",
                              port_rate(p.BytesReceived, g_lan.baseline[i].received, g_lan.interval));
                json_t *e = json_object();
                json_object_set_new(e, "Index", json_integer(i + 1));
                json_object_set_new(e, "UsBandwidth", json_string(up));
                json_object_set_new(e, "DsBandwidth", json_string(down));
                json_array_append_new(traffic, e);
            }
        }
        take_baseline(ports);
        gwagent::CharPtr text(gw_json_dump_compact(report.get()));
        if (text) {
            GWLOG(LOG_LVL_DEBUG, "%s", text.get());
            gwagent_message_push(text.get(), static_cast<int>(std::strlen(text.get())));
        }
    }
    uloop_timeout_set(t, g_lan.interval * 1000);
}

void store_lan_speed_settings()
{
    char time_text[16];
    std::snprintf(time_text, sizeof time_text, "%d", g_lan.interval);
    std::string lans;
    for (int i = 0; i < g_lan.ports; ++i)
        lans += g_lan.selected[i] ? '1' : '0';
    if (uci_config_set("gwagent", "lan_speed_traffic", "enable", g_lan.enabled ? "1" : "0", 0) != 0 ||
        uci_config_set("gwagent", "lan_speed_traffic", "time", time_text, 1) != 0 ||
        uci_config_set("gwagent", "lan_speed_traffic", "lans", lans.c_str(), 1) != 0)
        GWLOG(LOG_LVL_WARN, "store lan_speed_traffic settings failed.");
}

}  // namespace

extern "C" void scb_LanDeviceAccess(const char *, const char *, const char *, const char *, GVariant *parameters,
                                    void *)
{
    if (!parameters || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssssyysss)"))) {
        GWLOG(LOG_LVL_WARN, "get info from LanDeviceAccess is invalid.");
        return;
    }
    const char *t[7] = {};
    guint8 a = 0, b = 0;
    g_variant_get(parameters, "(&s&s&s&syy&s&s&s)", &t[0], &t[1], &t[2], &t[3], &a, &b, &t[4], &t[5], &t[6]);
    char info[kAccessReportMax];
    std::snprintf(info, sizeof info, "%s:%s:%s:%s:%u:%u:%s:%s:%s", t[0], t[1], t[2], t[3], a, b, t[4], t[5], t[6]);
    gwagent::JsonPtr report(json_object());
    json_object_set_new(report.get(), "CmdType", json_string("LAN_DEVICE_ACCESS"));
    if (json_object_set_new(report.get(), "Info", json_string(info)) != 0) {
        GWLOG(LOG_LVL_WARN, "get info from LanDeviceAccess is invalid.");
        return;
    }
    gwagent::CharPtr text(gw_json_dump_compact(report.get()));
    if (text)
        gwagent_message_push(text.get(), static_cast<int>(std::strlen(text.get())));
}

extern "C" int cmd_LAN_DEVICE_ACCESS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int enable = 0;
    if (!r.required_int("Enable", enable))
        return r.fail("parameter_error");
    if (enable != 0) {
        GWLOG(LOG_LVL_NOTICE, "enable signal LanDeviceAccess.");
        const long sub =
            h_dbus_SubscribeSignal(nullptr, kHostsPath, kHostsIface, kAccess, scb_LanDeviceAccess, nullptr);
        if (sub <= 0) {
            GWLOG(LOG_LVL_WARN, "LanDeviceAccess subscribe failed.");
            return r.fail("ENABLE_FAILED");
        }
        GWLOG(LOG_LVL_NOTICE, "LanDeviceAccess subscribe success, id = %ld", sub);
        return r.ok();
    }
    const unsigned sub = access_subscription();
    if (sub == 0)
        return r.fail("DISABLE_FAILED");
    GWLOG(LOG_LVL_NOTICE, "LanDeviceAccess signal exist : %u.", sub);
    GWLOG(LOG_LVL_NOTICE, "disable signal LanDeviceAccess, id = %ld", static_cast<long>(sub));
    h_dbus_UnSubscribeSignal(sub);
    return r.ok();
}

extern "C" int cmd_GET_LAN_DEVICE_ACCESS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Enable", json_integer(access_subscription() ? 1 : 0)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}

extern "C" int cmd_SET_LAN_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int enable = 0;
    char time_text[32] = {};
    bool ok = r.required_int("Enable", enable);
    ok = r.required("Time", time_text) && ok;
    int interval = 0;
    if (ok && !gwagent::interval_seconds(time_text, interval)) {
        ok = false;
    } else if (ok && interval == 0) {
        GWLOG(LOG_LVL_WARN, "%s Time is 0, need > 0!", cmd_type);
        ok = false;
    } else if (ok && interval < 0) {
        GWLOG(LOG_LVL_WARN, "%s Time is %d, use abs %d!", cmd_type, interval, -interval);
        interval = -interval;
    }
    if (!ok)
        return r.fail("Parse input params fail!");
    bool selected[kMaxPorts] = {};
    json_t *list = json_object_get(cmd, "List");
    if (!json_is_array(list) || json_array_size(list) == 0) {
        for (bool &s : selected)
            s = true;
    } else {
        size_t i;
        json_t *item;
        json_array_foreach(list, i, item)
        {
            int index = 0;
            if (get_json_value(item, "index", JSON_INTEGER, &index) == 0 && index >= 1 && index <= kMaxPorts)
                selected[index - 1] = true;
        }
    }

    PortList ports;
    const bool have_ports = read_ports(ports);
    if (g_lan.ports == 0 && have_ports)
        g_lan.ports = ports.count < kMaxPorts ? ports.count : kMaxPorts;
    if (enable != 0 || g_lan.enabled) {
        uloop_timeout_cancel(&g_timeout_lan_speed);
        g_lan.enabled = enable != 0;
        if (g_lan.enabled) {
            g_lan.interval = interval;
            std::memcpy(g_lan.selected, selected, sizeof selected);
            take_baseline(ports);
            g_timeout_lan_speed.cb = lan_speed_report;
            uloop_timeout_set(&g_timeout_lan_speed, interval * 1000);
        }
    }
    store_lan_speed_settings();
    return r.ok();
}

extern "C" int cmd_GET_LAN_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Enable", json_integer(g_lan.enabled ? 1 : 0)) != 0)
        return r.fail("Create json fail!");
    return r.answer(answer.get());
}

namespace gwagent {

struct uloop_timeout *lan_speed_timer() { return &g_timeout_lan_speed; }

void lan_reports_reset()
{
    uloop_timeout_cancel(&g_timeout_lan_speed);
    g_lan = LanSpeed{};
    for (unsigned sub = access_subscription(); sub != 0; sub = access_subscription())
        h_dbus_UnSubscribeSignal(sub);
}

}  // namespace gwagent
