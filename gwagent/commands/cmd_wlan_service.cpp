// The radio schedule, the service summary (schedule and LED) and the list of wireless clients.
#include <cstring>
#include <string>
#include <vector>

#include "commands/cmd_lanhost.h"
#include "commands/cmd_table.h"
#include "commands/cmd_wlan.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"

namespace {

using gwagent::Request;

// The client list stays within the answer buffer the platform's other list members use.
constexpr size_t kAnswerBudget = 5632;
constexpr const char *kTimerPath = "/com/yvc/igd1/Config/WLAN/Timer";
constexpr const char *kTimerIface = "com.yvc.igd1.WiFiTimer";

bool read_timer(ccif_WiFiTimer_t &t)
{
    if (ccif_WiFiTimer_get(&t) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "get WiFiTimer failed.");
    return false;
}

int get_hg_wifi_timer(const Request &r)
{
    ccif_WiFiTimer_t t{};
    if (!read_timer(t))
        return r.fail("NO_WiFiTimer");
    return r.members(
        {{"wifiStartTime", t.StartTime}, {"wifiEndTime", t.EndTime}, {"wifiEnable", t.Enable ? "1" : "0"}});
}

int set_hg_wifi_timer(const Request &r)
{
    char start[7] = {}, end[7] = {}, enable[8] = {};
    if (!r.required("StartTime", start) || !r.required("EndTime", end) || !r.required("Enable", enable))
        return r.fail("parameter_error");
    ccif_WiFiTimer_t t{};
    if (!read_timer(t))
        return r.fail("NO_WiFiTimer");
    gwagent::trim_to_utf8(start);
    gwagent::trim_to_utf8(end);
    // Only what the command changes is written: the whole record would cut ControlCycle to the
    // record's capacity and so lose the days of a longer cycle.
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&b, "{sv}", "StartTime", g_variant_new_string(start));
    g_variant_builder_add(&b, "{sv}", "EndTime", g_variant_new_string(end));
    g_variant_builder_add(&b, "{sv}", "Enable", g_variant_new_boolean(enable[0] != '0'));
    if (g_hgu_SetMultiProperty(HGU_BUS_NAME, kTimerPath, kTimerIface, g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set WiFiTimer failed.");
        return r.fail("SET_FAILED");
    }
    return r.ok();
}

int get_service(const Request &r)
{
    ccif_WiFiTimer_t t{};
    if (!read_timer(t))
        return r.fail("NO_WiFiTimer");
    ccif_LED_t led{};
    if (ccif_LED_get(&led) != 0) {
        GWLOG(LOG_LVL_WARN, "get LED.LEDStatus failed.");
        return r.fail("NO_LEDStatus");
    }
    return r.members({{"wifiStartTime", t.StartTime},
                      {"wifiEndTime", t.EndTime},
                      {"wifiEnable", t.Enable ? "1" : "0"},
                      {"LEDStatus", led.LEDStatus ? "ON" : "OFF"}});
}

std::string client_entry(const ccif_LANHost_t &h)
{
    std::string e = h.DevName;
    for (const char *field :
         {h.MAC, h.IP, h.ConnectInterface, h.Protocol, h.RadioType, h.FrequencyWidth, h.Antenna, h.Speed})
        e.append(":").append(field);
    return e;
}

// Bytes the text takes inside the answer, escapes included.
size_t escaped_size(const std::string &text)
{
    gwagent::JsonPtr s(json_string(text.c_str()));
    gwagent::CharPtr dumped(s ? json_dumps(s.get(), JSON_ENCODE_ANY | JSON_COMPACT) : nullptr);
    return dumped ? std::strlen(dumped.get()) - 2 : text.size() * 6;
}

int get_dev_wifi_info(const Request &r)
{
    std::vector<std::string> macs;
    gwagent::HostList hosts;
    int rc = -1;
    if (!gwagent::read_filtered_hosts(r, "OBJECT_NOT_EXIST", macs, hosts, &rc))
        return rc;
    // Whole entries only, as many as keep the answer within its buffer.
    const size_t budget = kAnswerBudget - 128 - std::string(r.cmd_type()).size();
    std::string info;
    size_t used = 0;
    int num = 0;
    for (const ccif_LANHost_t &h : hosts) {
        if (h.ConnectionType == 0 || !gwagent::host_online(h) || !gwagent::mac_in_filter(macs, h.MAC))
            continue;
        const std::string e = client_entry(h);
        const size_t size = escaped_size(e) + (num ? 1 : 0);
        if (used + size > budget) {
            GWLOG(LOG_LVL_WARN, "%s client list cut at %d entries.", r.cmd_type(), num);
            break;
        }
        info += (num ? "/" : "") + e;
        used += size;
        ++num;
    }
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Info", json_string(info.c_str())) != 0 ||
        json_object_set_new(answer.get(), "Num", json_integer(num)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}

}  // namespace

GW_WLAN_HANDLER(GET_DEV_WIFI_INFO, get_dev_wifi_info)
GW_WLAN_HANDLER(GET_HG_WIFI_TIMER, get_hg_wifi_timer)
GW_WLAN_HANDLER(GET_SERVICE, get_service)
GW_WLAN_HANDLER(SET_HG_WIFI_TIMER, set_hg_wifi_timer)
