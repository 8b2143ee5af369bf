// The radio and SSID switches: what is on the air, and turning SSIDs (index 0: every radio) on and off.
#include <string>

#include "commands/cmd_table.h"
#include "commands/cmd_wlan.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

namespace {

using gwagent::Request;

// Both radios in one write.
int set_radios(ccif_WiFiInfo_t wifi, bool on)
{
    wifi.Enable2G = on ? TRUE : FALSE;
    wifi.Enable5G = on ? TRUE : FALSE;
    return ccif_WiFiInfo_set(&wifi);
}

int get_wlan_intf_info(const Request &r)
{
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_WARN, "get WiFiInfo failed.");
        return r.fail("NO_WiFiInfo");
    }
    const bool dual = wifi.DualBand;
    // With every radio off no SSID is on the air, so none is read.
    if (!wifi.Enable2G && !(dual && wifi.Enable5G))
        return r.members({{"Enable", "0"}, {"Channel", dual ? "0,0" : "0"}});
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(gwagent::kFirstSsid, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d.Channel failed.", gwagent::kFirstSsid);
        return r.fail("NO_Channel1");
    }
    std::string channel = std::to_string(w.Channel);
    if (dual) {
        if (!gwagent::read_ssid(gwagent::kFirst5GSsid, w)) {
            GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d.Channel failed.", gwagent::kFirst5GSsid);
            return r.fail("NO_Channel5");
        }
        channel += "," + std::to_string(w.Channel);
    }
    return r.members({{"Enable", "1"}, {"Channel", channel}});
}

int set_wlan_ssid_enable(const Request &r)
{
    int index = 0;
    if (!gwagent::read_ssid_index(r, index))
        return r.fail("parameter_error");
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_WARN, "get WiFiInfo failed.");
        return r.fail("GET_WiFiInfo_FAILED");
    }
    if (index != 0 || !wifi.DualBand) {
        const int ssid = index != 0 ? index : gwagent::kFirstSsid;
        // The library switches the SSID's radio on first when it is off.
        if (api_setWLANSSIDSwitch(static_cast<uint32_t>(ssid), TRUE) != 0) {
            GWLOG(LOG_LVL_WARN, "enable wifi failed, idx = %d.", index);
            return r.fail("ENABLE_FAILED");
        }
        return r.ok();
    }
    if (gwagent::set_ssid_property(gwagent::kFirstSsid, "Enable", g_variant_new_boolean(TRUE)) != 0) {
        GWLOG(LOG_LVL_WARN, "enable wifi failed, idx = %d.", gwagent::kFirstSsid);
        return r.fail("ENABLE_SSID1_FAILED");
    }
    if (gwagent::set_ssid_property(gwagent::kFirst5GSsid, "Enable", g_variant_new_boolean(TRUE)) != 0) {
        GWLOG(LOG_LVL_WARN, "enable wifi failed, idx = %d.", gwagent::kFirst5GSsid);
        return r.fail("ENABLE_SSID5_FAILED");
    }
    if (!(wifi.Enable2G && wifi.Enable5G) && set_radios(wifi, true) != 0) {
        GWLOG(LOG_LVL_WARN, "enable wifi failed, idx = %d.", index);
        return r.fail("ENABLE_FAILED");
    }
    return r.ok();
}

int set_wlan_ssid_disable(const Request &r)
{
    int index = 0;
    if (!gwagent::read_ssid_index(r, index))
        return r.fail("parameter_error");
    if (index != 0) {
        // Switching an SSID off leaves its radio alone.
        if (gwagent::set_ssid_property(index, "Enable", g_variant_new_boolean(FALSE)) != 0) {
            GWLOG(LOG_LVL_WARN, "disable wifi failed, idx = %d.", index);
            return r.fail("DISABLE_FAILED");
        }
        return r.ok();
    }
    ccif_WiFiInfo_t wifi{};
    int rc = ccif_WiFiInfo_get(&wifi);
    if (rc == 0) {
        if (wifi.DualBand) {
            if (wifi.Enable2G || wifi.Enable5G)
                rc = set_radios(wifi, false);
        } else if (wifi.Enable2G) {
            wifi.Enable2G = FALSE;
            rc = ccif_WiFiInfo_set(&wifi);
        }
    }
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "disable wifi failed, idx = %d.", index);
        return r.fail("DISABLE_FAILED");
    }
    return r.ok();
}

}  // namespace

GW_WLAN_HANDLER(GET_WLAN_INTF_INFO, get_wlan_intf_info)
GW_WLAN_HANDLER(SET_WLAN_SSID_DISABLE, set_wlan_ssid_disable)
GW_WLAN_HANDLER(SET_WLAN_SSID_ENABLE, set_wlan_ssid_enable)
