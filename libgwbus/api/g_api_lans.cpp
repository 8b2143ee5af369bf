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
        GWLOG(LOG_LVL_NOTICE, "(%s) ssidIndex %u is invalide, should be 1--8", __func__, ssid_index);
        return -1;
    }
    if (on) {
        ccif_WiFiInfo_t wifi{};
        if (ccif_WiFiInfo_get(&wifi) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiInfo failed.", __func__);
            return -1;
        }
        const bool five = ssid_index >= 5;
        const gboolean radio_on = five ? wifi.Enable5G : wifi.Enable2G;
        if (!radio_on && set_bool(kWiFiInfoPath, kWiFiInfoIface, five ? "Enable5G" : "Enable2G", TRUE) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", __func__, five ? "Enable5G" : "Enable2G");
            return -1;
        }
    }
    char path[CCIF_PATH_SIZE];
    std::snprintf(path, sizeof path, "/com/yvc/igd1/Config/WLAN/Devices/%u", ssid_index);
    if (set_bool(path, "com.yvc.igd1.WLANConfiguration", "Enable", on ? TRUE : FALSE) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s Enable failed.", __func__, path);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) radioType is null.", __func__);
        return -1;
    }
    const bool five = std::strcmp(radio, "5G") == 0;
    if (!five && std::strcmp(radio, "2.4G") != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) radioType %s is invalide, should be 2.4G or 5G.", __func__, radio);
        return -1;
    }
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiInfo failed.", __func__);
        return -1;
    }
    if (five && !wifi.DualBand) {
        GWLOG(LOG_LVL_NOTICE, "(%s) not supported 5G, should be 2.4G.", __func__);
        return -1;
    }
    const gboolean want = on ? TRUE : FALSE;
    const gboolean have = (five ? wifi.Enable5G : wifi.Enable2G) ? TRUE : FALSE;
    if (have == want) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s switch need not change.", __func__, five ? "5G" : "2.4G");
        return 0;
    }
    if (set_bool(kWiFiInfoPath, kWiFiInfoIface, five ? "Enable5G" : "Enable2G", want) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", __func__, five ? "Enable5G" : "Enable2G");
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
        GWLOG(LOG_LVL_NOTICE, "(%s) get DevName failed.", __func__);
        return -1;
    }
    gw::VariantPtr v = gw::adopt_variant(raw);
    if (!g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) DevName is not a string.", __func__);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) set DevName failed.", __func__);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) get EthernetConfig objects failed.", __func__);
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
template <typename Keep> int filter_hosts(const char *func, Keep keep, api_LANHostInfo_t **info, int *count)
{
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed.", func);
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
    return filter_hosts(
        __func__, [](const ccif_LANHost_t &) { return true; }, info, count);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed.", __func__);
        return -1;
    }
    for (const auto &h : hosts) {
        if (gwapi::mac_equal(h.MAC, mac)) {
            *info = h;
            return 0;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) LANHost %s no match object.", __func__, mac);
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

// ---- LAN hosts by MAC and the black lists ----------------------------------------------------------

namespace {

// Finds the host with that MAC (any case): 0, -1 when the list fails, -2 when none has it.
int find_host(const char *func, const char *mac, ccif_LANHost_t *host)
{
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed.", func);
        return -1;
    }
    for (const auto &h : hosts) {
        if (gwapi::mac_equal(h.MAC, mac)) {
            *host = h;
            return 0;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) LANHost %s no match object.", func, mac);
    return -2;
}

// Writes the map to the host with that MAC.
int write_host(const char *func, const char *mac, gwapi::PropMap &map)
{
    ccif_LANHost_t h{};
    if (const int rc = find_host(func, mac, &h); rc != 0)
        return rc;
    if (ccif_LANHost_setv(h.path, map.end()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", func, h.path);
        return -1;
    }
    return 0;
}

// The two MAC lists share their shape: one template serves both.
template <typename T> struct MacList {
    const char *kind;
    int (*get_objs)(T **, int *);
    int (*add_obj)(T *);
    int (*del_obj)(const char *);
};

const MacList<ccif_AccessControlBlackList_t> kAccessList{"AccessControlBlackList", ccif_AccessControlBlackList_get_objs,
                                                         ccif_AccessControlBlackList_add_obj,
                                                         ccif_AccessControlBlackList_del_obj};
const MacList<ccif_StorageBlackList_t> kStorageList{"StorageBlackList", ccif_StorageBlackList_get_objs,
                                                    ccif_StorageBlackList_add_obj, ccif_StorageBlackList_del_obj};

// The listed entry with that MAC: 1 found, 0 none, -1 the list failed.
template <typename T> int find_listed(const char *func, const MacList<T> &l, const char *mac, T *entry)
{
    gwapi::List<T> items;
    if (gwapi::list(l.get_objs, items) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, l.kind);
        return -1;
    }
    for (const auto &e : items) {
        if (gwapi::mac_equal(e.MAC, mac)) {
            *entry = e;
            return 1;
        }
    }
    return 0;
}

template <typename T> int list_add(const char *func, const MacList<T> &l, const char *mac)
{
    if (gwapi::empty(mac)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) mac is null.", func);
        return -1;
    }
    T e{};
    const int found = find_listed(func, l, mac, &e);
    if (found < 0)
        return -1;
    if (found > 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s exist, do not add.", func, l.kind, mac);
        return 0;
    }
    T obj{};
    copy_truncated(obj.MAC, mac);
    if (l.add_obj(&obj) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s %s failed.", func, l.kind, mac);
        return -1;
    }
    return 0;
}

template <typename T> int list_delete(const char *func, const MacList<T> &l, const char *mac)
{
    if (gwapi::empty(mac)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) mac is null.", func);
        return -1;
    }
    T e{};
    const int found = find_listed(func, l, mac, &e);
    if (found < 0)
        return -1;
    if (found == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s no match object.", func, l.kind, mac);
        return -2;
    }
    if (l.del_obj(e.path) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", func, e.path);
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

int api_getLANHostInfoByInterface(const char *interface_name, api_LANHostInfo_t **info, int *count)
{
    API_ENTER();
    if (gwapi::empty(interface_name))
        return -1;
    return filter_hosts(
        __func__,
        [interface_name](const ccif_LANHost_t &h) { return std::strcmp(h.ConnectInterface, interface_name) == 0; },
        info, count);
}

int api_getLANHostStats(const char *mac, api_LANHostStats_t *stats)
{
    API_ENTER();
    if (gwapi::empty(mac) || !stats)
        return -1;
    ccif_LANHost_t h{};
    if (const int rc = find_host(__func__, mac, &h); rc != 0)
        return rc;
    copy_truncated(stats->MAC, h.MAC);
    stats->OnlineTime = h.OnlineTime;
    stats->RxBytes = h.RxBytes;
    stats->TxBytes = h.TxBytes;
    return 0;
}

int api_getLANHostSpeedLimitInfo(const char *mac, api_LANHostSpeedLimit_t *limit)
{
    API_ENTER();
    if (gwapi::empty(mac) || !limit)
        return -1;
    ccif_LANHost_t h{};
    if (const int rc = find_host(__func__, mac, &h); rc != 0)
        return rc;
    limit->UsBandwidth = h.UsBandwidth;
    limit->DsBandwidth = h.DsBandwidth;
    limit->UsGuaranteeBandwidth = h.UsGuaranteeBandwidth;
    limit->DsGuaranteeBandwidth = h.DsGuaranteeBandwidth;
    return 0;
}

int api_getLANHostSpeed(const char *mac, api_LANHostSpeed_t *speed)
{
    API_ENTER();
    if (gwapi::empty(mac) || !speed)
        return -1;
    ccif_LANHost_t h{};
    if (const int rc = find_host(__func__, mac, &h); rc != 0)
        return rc;
    speed->UpSpeed = h.UpSpeed;
    speed->DownSpeed = h.DownSpeed;
    return 0;
}

int api_setLANHostName(const char *mac, const char *name)
{
    API_ENTER();
    if (gwapi::empty(mac) || !name)
        return -1;
    char cut[sizeof(ccif_LANHost_t::DevName)];
    copy_truncated(cut, name);
    gwapi::PropMap map;
    map.add("DevName", g_variant_new_string(cut));
    return write_host(__func__, mac, map);
}

int api_setLANHostType(const char *mac, const char *dev_type)
{
    API_ENTER();
    if (gwapi::empty(mac) || !dev_type)
        return -1;
    char cut[sizeof(ccif_LANHost_t::DevType)];
    copy_truncated(cut, dev_type);
    gwapi::PropMap map;
    map.add("DevType", g_variant_new_string(cut));
    return write_host(__func__, mac, map);
}

int api_setLANHostSpeedLimit(const char *mac, const api_LANHostSpeedLimit_t *limit)
{
    API_ENTER();
    if (gwapi::empty(mac) || !limit)
        return -1;
    // A guarantee the limit cannot honour would be accepted and silently never met.
    const bool us_bad = limit->UsBandwidth != 0 && limit->UsGuaranteeBandwidth > limit->UsBandwidth;
    const bool ds_bad = limit->DsBandwidth != 0 && limit->DsGuaranteeBandwidth > limit->DsBandwidth;
    if (us_bad || ds_bad) {
        GWLOG(LOG_LVL_NOTICE, "(%s) guarantee bandwidth above the limit.", __func__);
        return -1;
    }
    gwapi::PropMap map;
    map.add("UsBandwidth", g_variant_new_uint32(limit->UsBandwidth));
    map.add("DsBandwidth", g_variant_new_uint32(limit->DsBandwidth));
    map.add("UsGuaranteeBandwidth", g_variant_new_uint32(limit->UsGuaranteeBandwidth));
    map.add("DsGuaranteeBandwidth", g_variant_new_uint32(limit->DsGuaranteeBandwidth));
    return write_host(__func__, mac, map);
}

int api_addLANHostToBlackList(const char *mac)
{
    API_ENTER();
    return list_add(__func__, kAccessList, mac);
}

int api_deleteLANHostFromBlackList(const char *mac)
{
    API_ENTER();
    return list_delete(__func__, kAccessList, mac);
}

int api_addLANHostToStorageBlackList(const char *mac)
{
    API_ENTER();
    return list_add(__func__, kStorageList, mac);
}

int api_deleteLANHostFromStorageBlackList(const char *mac)
{
    API_ENTER();
    return list_delete(__func__, kStorageList, mac);
}

}  // extern "C"

// ---- LAN Ethernet ports ------------------------------------------------------------------------------

namespace {

// The port whose path ends in that number: 0, -1 when the list fails, -2 when none has it.
int find_port(const char *func, uint32_t port, ccif_EthernetConfig_t *out)
{
    gwapi::List<ccif_EthernetConfig_t> ports;
    if (gwapi::list(ccif_EthernetConfig_get_objs, ports) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get EthernetConfig objects failed.", func);
        return -1;
    }
    for (const auto &p : ports) {
        uint32_t index = 0;
        if (gwapi::path_index(p.path, &index) && index == port) {
            *out = p;
            return 0;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) EthernetConfig %u no match object.", func, port);
    return -2;
}

}  // namespace

extern "C" {

int api_getLANEthernetInfo(uint32_t port, api_LANEthernetInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_EthernetConfig_t p{};
    if (const int rc = find_port(__func__, port, &p); rc != 0)
        return rc;
    info->Index = port;
    info->Enable = p.Enable ? TRUE : FALSE;
    copy_truncated(info->Status, p.Status);
    copy_truncated(info->MAC, p.MAC);
    copy_truncated(info->IfName, p.IfName);
    info->MaxBitRate = p.MaxBitRate;
    info->BitRate = p.BitRate;
    copy_truncated(info->DuplexMode, p.DuplexMode);
    return 0;
}

int api_getLANEthernetStats(uint32_t port, api_LANEthernetStats_t *stats)
{
    API_ENTER();
    if (!stats)
        return -1;
    ccif_EthernetConfig_t p{};
    if (const int rc = find_port(__func__, port, &p); rc != 0)
        return rc;
    stats->BytesSent = p.BytesSent;
    stats->BytesReceived = p.BytesReceived;
    stats->PacketsSent = p.PacketsSent;
    stats->PacketsReceived = p.PacketsReceived;
    return 0;
}

int api_setLANEthernetEnable(uint32_t port, gboolean enable)
{
    API_ENTER();
    ccif_EthernetConfig_t p{};
    if (const int rc = find_port(__func__, port, &p); rc != 0)
        return rc;
    const gboolean want = enable ? TRUE : FALSE;
    if ((p.Enable ? TRUE : FALSE) == want) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s Enable need not change.", __func__, p.path);
        return 0;
    }
    if (g_hgu_SetProperty(HGU_BUS_NAME, p.path, "com.yvc.igd1.EthernetConfig", "Enable", g_variant_new_boolean(want)) !=
        0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s Enable failed.", __func__, p.path);
        return -1;
    }
    return 0;
}

}  // extern "C"
