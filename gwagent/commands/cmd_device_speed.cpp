// The device speed report: DEVICE_SPEED switches it on for a list of MACs (or every host), a uloop timer
// samples the byte counters of the hosts and of the gateway and pushes their rates to the message server.
#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "commands/cmd_device_speed.h"
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/dev_info.h"
#include "core/holders.hpp"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"

namespace {

// The device part of a report stops at the last whole entry within this many characters.
constexpr size_t kDevicePartMax = 2047;

struct Rate {
    uint64_t previous = 0;
    uint32_t kbps = 0;
    bool sampled = false;

    // The first sample only keeps the counter; a counter that did not grow gives 0.
    void update(uint64_t counter, int interval)
    {
        if (!sampled || interval <= 0)
            kbps = 0;
        else if (counter > previous)
            kbps = static_cast<uint32_t>((counter - previous) / 1024 / static_cast<uint64_t>(interval) * 8);
        else
            kbps = 0;
        previous = counter;
        sampled = true;
    }
};

struct Device {
    char mac[24] = {};
    char name[64] = {};
    bool online = false;
    Rate rx, tx;
};

struct DeviceSpeed {
    bool enabled = false;
    int interval = 0;
    std::vector<std::string> macs;  // empty: every host, and no gateway entry
    bool gateway = false;
    char gateway_mac[24] = {};
    Rate sent, received;
    std::vector<Device> devices;  // in order of first sighting
};

DeviceSpeed g_speed;
void timer_cb(struct uloop_timeout *t);
struct uloop_timeout g_timeout_dev_speed = {};

bool in_list(const char *mac)
{
    for (const std::string &m : g_speed.macs)
        if (strcasecmp(m.c_str(), mac) == 0)
            return true;
    return false;
}

void calc_gateway_rate()
{
    if (!*g_speed.gateway_mac)
        copy_truncated(g_speed.gateway_mac, g_dev_info.MAC);
    g_speed.gateway = in_list(g_speed.gateway_mac);
    if (!g_speed.gateway)
        return;
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_WARN, "get PONInfo.x failed.");
        return;
    }
    g_speed.sent.update(pon.BytesSent, g_speed.interval);
    g_speed.received.update(pon.BytesReceived, g_speed.interval);
}

void calc_landev_rate()
{
    gwagent::ObjList<ccif_LANHost_t> hosts;
    if (!hosts.read(ccif_LANHost_get_objs)) {
        GWLOG(LOG_LVL_WARN, "get LANHost objects failed.");
        return;
    }
    for (const ccif_LANHost_t &h : hosts) {
        if (!g_speed.macs.empty() && !in_list(h.MAC))
            continue;
        GWLOG(LOG_LVL_DEBUG, "%s mac %s, name %s, tx %llu, rx %llu", "DEVICE_SPEED", h.MAC, h.DevName,
              static_cast<unsigned long long>(h.TxBytes), static_cast<unsigned long long>(h.RxBytes));
        Device *d = nullptr;
        for (Device &e : g_speed.devices)
            if (std::strcmp(e.mac, h.MAC) == 0)
                d = &e;
        if (!d) {
            g_speed.devices.emplace_back();
            d = &g_speed.devices.back();
            copy_truncated(d->mac, h.MAC);
        }
        copy_truncated_utf8(d->name, h.DevName);
        d->online = strcasecmp(h.HostClass, "ONLINE") == 0;
        d->tx.update(h.TxBytes, g_speed.interval);
        d->rx.update(h.RxBytes, g_speed.interval);
    }
}

void set_dev_speed_rep()
{
    calc_gateway_rate();
    calc_landev_rate();
}

std::string dump(json_t *obj)
{
    gwagent::JsonPtr held(obj);
    gwagent::CharPtr text(held ? gw_json_dump_compact(held.get()) : nullptr);
    return text ? text.get() : "";
}

std::string kbps(uint32_t v) { return std::to_string(v) + "kbps"; }

json_t *texts(std::initializer_list<std::pair<const char *, std::string>> members)
{
    json_t *obj = json_object();
    for (const auto &[k, v] : members)
        if (obj)
            json_object_set_new(obj, k, json_string(v.c_str()));
    return obj;
}

std::string report_text()
{
    std::string text = R"({"CmdType":" DEVICE_SPEED")";
    if (g_speed.gateway) {
        const std::string gw = dump(texts({{"MAC", g_speed.gateway_mac},
                                           {"UsBandwidth", kbps(g_speed.sent.kbps)},
                                           {"DsBandwidth", kbps(g_speed.received.kbps)}}));
        if (!gw.empty())
            text += R"(,"GateWay":)" + gw;
    }
    std::string devices = R"(,"Device":[)";
    bool first = true;
    for (const Device &d : g_speed.devices) {
        if (!d.online)
            continue;
        const std::string e = dump(texts({{"DevName", d.name},
                                          {"DevMAC", d.mac},
                                          {"UsBandwidth", kbps(d.tx.kbps)},
                                          {"DsBandwidth", kbps(d.rx.kbps)}}));
        if (e.empty())
            continue;
        if (devices.size() + (first ? 0 : 1) + e.size() + 1 > kDevicePartMax) {
            GWLOG(LOG_LVL_WARN, "DEVICE_SPEED report cut to fit its device part.");
            break;
        }
        devices += (first ? "" : ",") + e;
        first = false;
    }
    return text + devices + "]}";
}

void timer_cb(struct uloop_timeout *t)
{
    if (g_speed.interval <= 0) {
        GWLOG(LOG_LVL_NOTICE, "disable DEVICE_SPEED report.");
        return;
    }
    GWLOG(LOG_LVL_DEBUG, "reset dev rate report timer %d", g_speed.interval);
    uloop_timeout_set(t, g_speed.interval * 1000);
    set_dev_speed_rep();
    const std::string text = report_text();
    gwagent_message_push(text.c_str(), static_cast<int>(text.size()));
}

void clear()
{
    uloop_timeout_cancel(&g_timeout_dev_speed);
    g_speed = DeviceSpeed{};
}

}  // namespace

extern "C" int cmd_DEVICE_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int enable = 0;
    char time_text[16] = {};
    bool ok = r.required_int("Enable", enable);
    ok = r.required("Time", time_text) && ok;
    json_t *list = json_object_get(cmd, "List");
    if (!list) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter List", cmd_type);
        ok = false;
    } else if (!json_is_array(list)) {
        GWLOG(LOG_LVL_WARN, "%s Parameter List json type is invalid, should be array", cmd_type);
        ok = false;
    }
    int interval = 0;
    if (ok && !gwagent::interval_seconds(time_text, interval))
        ok = false;
    if (ok && interval < 0) {
        GWLOG(LOG_LVL_WARN, "%s Time : %d is invalid.", cmd_type, interval);
        ok = false;
    }
    std::vector<std::string> macs;
    size_t i;
    json_t *item;
    if (ok) {
        json_array_foreach(list, i, item)
        {
            char mac[16] = {};
            if (get_string_json_value(item, "MAC", JSON_STRING, mac, sizeof mac) != 0) {
                GWLOG(LOG_LVL_WARN, "%s json string missing Parameter MAC", cmd_type);
                ok = false;
                break;
            }
            macs.emplace_back(mac);
        }
    }
    if (!ok)
        return r.fail("parameter_error");

    clear();
    if (enable == 0)
        return r.ok();
    g_speed.enabled = true;
    g_speed.interval = interval;
    g_speed.macs = std::move(macs);
    set_dev_speed_rep();
    g_timeout_dev_speed.cb = timer_cb;
    if (uloop_timeout_set(&g_timeout_dev_speed, interval * 1000) != 0) {
        clear();
        return r.fail("Failed to set report timer");
    }
    return r.ok();
}

extern "C" int cmd_GET_DEVICE_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Enable", json_integer(g_speed.enabled ? 1 : 0)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}

namespace gwagent {

struct uloop_timeout *device_speed_timer() { return &g_timeout_dev_speed; }

void device_speed_reset() { clear(); }

}  // namespace gwagent
