// WLAN switches, the gateway name and the Ethernet ports.
#include <cstdio>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kWiFiInfoPath = "/com/yvc/igd1/Info/WiFi";
constexpr const char *kWiFiInfoIface = "com.yvc.igd1.WiFiInfo";
constexpr const char *kDevicePath = "/com/yvc/igd1/Info/Device";
constexpr const char *kDeviceIface = "com.yvc.igd1.DeviceInfo";

int set_bool(const char *path, const char *iface, const char *prop, gboolean v)
{
    return g_hgu_SetProperty(HGU_BUS_NAME, path, iface, prop, g_variant_new_boolean(v));
}

}  // namespace

extern "C" {

int api_setWLANSSIDSwitch(uint32_t ssid_index, gboolean on)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    if (ssid_index < 1 || ssid_index > 8) {
        GWLOG(5, "(%s) ssidIndex %u is invalide, should be 1--8", __func__, ssid_index);
        return -1;
    }
    if (on) {
        ccif_WiFiInfo_t wifi{};
        if (ccif_WiFiInfo_get(&wifi) != 0) {
            GWLOG(5, "(%s) get WiFiInfo failed.", __func__);
            return -1;
        }
        const bool five = ssid_index >= 5;
        const gboolean radio_on = five ? wifi.Enable5G : wifi.Enable2G;
        if (!radio_on && set_bool(kWiFiInfoPath, kWiFiInfoIface, five ? "Enable5G" : "Enable2G", TRUE) != 0) {
            GWLOG(5, "(%s) set %s failed.", __func__, five ? "Enable5G" : "Enable2G");
            return -1;
        }
    }
    char path[CCIF_PATH_SIZE];
    std::snprintf(path, sizeof path, "/com/yvc/igd1/Config/WLAN/Devices/%u", ssid_index);
    if (set_bool(path, "com.yvc.igd1.WLANConfiguration", "Enable", on ? TRUE : FALSE) != 0) {
        GWLOG(5, "(%s) set %s Enable failed.", __func__, path);
        return -1;
    }
    return 0;
}

int api_setWLANHardwareSwitch(const char *radio, gboolean on)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    if (!radio) {
        GWLOG(5, "(%s) radioType is null.", __func__);
        return -1;
    }
    const bool five = std::strcmp(radio, "5G") == 0;
    if (!five && std::strcmp(radio, "2.4G") != 0) {
        GWLOG(5, "(%s) radioType %s is invalide, should be 2.4G or 5G.", __func__, radio);
        return -1;
    }
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(5, "(%s) get WiFiInfo failed.", __func__);
        return -1;
    }
    if (five && !wifi.DualBand) {
        GWLOG(5, "(%s) not supported 5G, should be 2.4G.", __func__);
        return -1;
    }
    const gboolean want = on ? TRUE : FALSE;
    const gboolean have = (five ? wifi.Enable5G : wifi.Enable2G) ? TRUE : FALSE;
    if (have == want) {
        GWLOG(5, "(%s) %s switch need not change.", __func__, five ? "5G" : "2.4G");
        return 0;
    }
    if (set_bool(kWiFiInfoPath, kWiFiInfoIface, five ? "Enable5G" : "Enable2G", want) != 0) {
        GWLOG(5, "(%s) set %s failed.", __func__, five ? "Enable5G" : "Enable2G");
        return -1;
    }
    return 0;
}

int api_getGatewayName(char *name, int size)
{
    API_ENTER();
    if (!name || size <= 0)
        return -1;
    GVariant *raw = nullptr;
    if (g_hgu_GetProperty(HGU_BUS_NAME, kDevicePath, kDeviceIface, "DevName", &raw) != 0) {
        GWLOG(5, "(%s) get DevName failed.", __func__);
        return -1;
    }
    gw::VariantPtr v = gw::adopt_variant(raw);
    if (!g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING)) {
        GWLOG(5, "(%s) DevName is not a string.", __func__);
        return -1;
    }
    copy_truncated(name, static_cast<size_t>(size), g_variant_get_string(v.get(), nullptr));
    return 0;
}

int api_setGatewayName(const char *name)
{
    API_ENTER();
    if (!name)
        return -1;
    if (g_hgu_SetProperty(HGU_BUS_NAME, kDevicePath, kDeviceIface, "DevName", g_variant_new_string(name)) != 0) {
        GWLOG(5, "(%s) set DevName failed.", __func__);
        return -1;
    }
    return 0;
}

int api_getEthernetConfigInfo(api_EthernetConfigInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_EthernetConfig_t> ports;
    if (gwapi::list(ccif_EthernetConfig_get_objs, ports) != 0) {
        GWLOG(5, "(%s) get EthernetConfig objects failed.", __func__);
        return -1;
    }
    *count = ports.count;
    *info = ports.items.release();
    return 0;
}

int api_releaseEthernetConfigInfo(api_EthernetConfigInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

}  // extern "C"

namespace {

// Copies the hosts that pass keep(); count 0 gives NULL.
template <typename Keep>
int filter_hosts(const char *func, Keep keep, api_LANHostInfo_t **info, int *count)
{
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(5, "(%s) get LANHost objects failed.", func);
        return -1;
    }
    int n = 0;
    for (const auto &h : hosts)
        n += keep(h) ? 1 : 0;
    if (n == 0)
        return 0;
    auto *out = g_new0(api_LANHostInfo_t, n);
    int i = 0;
    for (const auto &h : hosts)
        if (keep(h))
            out[i++] = h;
    *info = out;
    *count = n;
    return 0;
}

}  // namespace

extern "C" {

int api_getLANHostInfo(api_LANHostInfo_t **info, int *count)
{
    API_ENTER();
    return filter_hosts(__func__, [](const ccif_LANHost_t &) { return true; }, info, count);
}

int api_getLANHostInfoByClass(const char *host_class, api_LANHostInfo_t **info, int *count)
{
    API_ENTER();
    if (gwapi::empty(host_class))
        return -1;
    return filter_hosts(
        __func__, [host_class](const ccif_LANHost_t &h) { return std::strcmp(h.HostClass, host_class) == 0; }, info,
        count);
}

int api_getLANHostInfoByMAC(const char *mac, api_LANHostInfo_t *info)
{
    API_ENTER();
    if (gwapi::empty(mac) || !info)
        return -1;
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(5, "(%s) get LANHost objects failed.", __func__);
        return -1;
    }
    for (const auto &h : hosts) {
        if (gwapi::mac_equal(h.MAC, mac)) {
            *info = h;
            return 0;
        }
    }
    GWLOG(5, "(%s) LANHost %s no match object.", __func__, mac);
    return -2;
}

int api_releaseLANHostInfo(api_LANHostInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

}  // extern "C"
