// WLAN: SSIDs, radios, WPS, the guest SSID, neighbour scans and the hosts on each SSID.
#include <cstdio>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kWiFiInfoPath = "/com/yvc/igd1/Info/WiFi";
constexpr const char *kWiFiInfoIface = "com.yvc.igd1.WiFiInfo";
constexpr uint32_t kSSIDMax = 8;
constexpr uint32_t kFirst5G = 5;

struct SsidPath {
    char text[CCIF_PATH_SIZE];
    explicit SsidPath(uint32_t index)
    {
        std::snprintf(text, sizeof text, "/com/yvc/igd1/Config/WLAN/Devices/%u", index);
    }
};

struct WpsPath {
    char text[CCIF_PATH_SIZE];
    explicit WpsPath(uint32_t index)
    {
        std::snprintf(text, sizeof text, "/com/yvc/igd1/Config/WLAN/Devices/%u/WPS", index);
    }
};

// The WiFi capability, then the SSID index.
int check_ssid(const char *func, uint32_t index)
{
    if (const int rc = gwapi::check_wifi(func); rc != 0)
        return rc;
    if (index < 1 || index > kSSIDMax) {
        GWLOG(LOG_LVL_NOTICE, "(%s) ssidIndex %u is invalide, should be 1--8", func, index);
        return -1;
    }
    return 0;
}

int read_ssid(const char *func, uint32_t index, ccif_WLANConfiguration_t *w)
{
    const SsidPath path(index);
    if (ccif_WLANConfiguration_get(path.text, w) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WLANConfiguration from %s failed.", func, path.text);
        return -1;
    }
    return 0;
}

int write_ssid(const char *func, uint32_t index, gwapi::PropMap &map)
{
    const SsidPath path(index);
    if (ccif_WLANConfiguration_setv(path.text, map.end()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set WLANConfiguration of %s failed.", func, path.text);
        return -1;
    }
    return 0;
}

// The WiFi capability, then the radio text; *index receives the radio's first SSID.
int check_radio(const char *func, const char *radio, uint32_t *index)
{
    if (const int rc = gwapi::check_wifi(func); rc != 0)
        return rc;
    if (!radio) {
        GWLOG(LOG_LVL_NOTICE, "(%s) radioType is null.", func);
        return -1;
    }
    if (std::strcmp(radio, "2.4G") == 0)
        *index = 1;
    else if (std::strcmp(radio, "5G") == 0)
        *index = kFirst5G;
    else {
        GWLOG(LOG_LVL_NOTICE, "(%s) radioType %s is invalide, should be 2.4G or 5G.", func, radio);
        return -1;
    }
    return 0;
}

// Key of a protected SSID: 8 to 63 printable ASCII characters.
bool valid_key(const char *pwd)
{
    if (!pwd)
        return false;
    const size_t n = std::strlen(pwd);
    if (n < 8 || n > 63)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (pwd[i] < 0x20 || pwd[i] > 0x7e)
            return false;
    return true;
}

// The encryption mode a protected guest SSID gets when it was open.
constexpr uint8_t kGuestProtectedMode = 5;

// The 2.4G guest SSID: its index (1..4), -1 when the SSIDs cannot be listed, -2 when none is a guest.
int find_guest(const char *func, ccif_WLANConfiguration_t *guest)
{
    gwapi::List<ccif_WLANConfiguration_t> ssids;
    if (gwapi::list(ccif_WLANConfiguration_get_objs, ssids) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WLANConfiguration objects failed.", func);
        return -1;
    }
    for (const auto &w : ssids) {
        uint32_t index = 0;
        if (w.IsGuest && gwapi::path_index(w.path, &index) && index >= 1 && index < kFirst5G) {
            if (guest)
                *guest = w;
            return static_cast<int>(index);
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) no guest SSID.", func);
    return -2;
}

// Switches on the radio an SSID belongs to when it is off.
int radio_on_for(const char *func, uint32_t index)
{
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiInfo failed.", func);
        return -1;
    }
    const bool five = index >= kFirst5G;
    if (five ? wifi.Enable5G : wifi.Enable2G)
        return 0;
    const char *prop = five ? "Enable5G" : "Enable2G";
    if (g_hgu_SetProperty(HGU_BUS_NAME, kWiFiInfoPath, kWiFiInfoIface, prop, g_variant_new_boolean(TRUE)) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set WiFiInfo.%s failed.", func, prop);
        return -1;
    }
    return 0;
}

int set_wps(const char *func, uint32_t index, gboolean enable)
{
    if (const int rc = check_ssid(func, index); rc != 0)
        return rc;
    ccif_WPS_t wps{};
    copy_truncated(wps.path, WpsPath(index).text);
    wps.Enable = enable;
    if (ccif_WPS_set(&wps) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s Enable failed.", func, wps.path);
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

int api_getWLANSSIDInfo(uint32_t ssid_index, api_WLANSSIDInfo_t *info)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!info)
        return -1;
    ccif_WLANConfiguration_t w{};
    if (read_ssid(__func__, ssid_index, &w) != 0)
        return -1;
    *info = api_WLANSSIDInfo_t{};
    info->Index = ssid_index;
    copy_truncated(info->SSID, w.SSID);
    info->Enable = w.Enable ? TRUE : FALSE;
    copy_truncated(info->BSSID, w.BSSID);
    copy_truncated(info->IfName, w.IfName);
    info->EncryptionMode = w.EncryptionMode;
    info->SSIDAdvertisementEnabled = w.SSIDAdvertisementEnabled ? TRUE : FALSE;
    copy_truncated(info->RadioType, w.RadioType);
    copy_truncated(info->Standard, w.Standard);
    info->IsGuest = w.IsGuest ? TRUE : FALSE;
    info->PortIsolation = w.PortIsolation ? TRUE : FALSE;
    info->MaxSta = w.MaxSta;
    info->OnlineSta = w.OnlineSta;
    return 0;
}

int api_getWLANSSIDStats(uint32_t ssid_index, api_WLANSSIDStats_t *stats)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!stats)
        return -1;
    ccif_WLANConfiguration_t w{};
    if (read_ssid(__func__, ssid_index, &w) != 0)
        return -1;
    stats->TotalBytesSent = w.TotalBytesSent;
    stats->TotalBytesReceived = w.TotalBytesReceived;
    stats->TotalPacketsSent = w.TotalPacketsSent;
    stats->TotalPacketsReceived = w.TotalPacketsReceived;
    stats->ErrorsSent = w.ErrorsSent;
    stats->ErrorsReceived = w.ErrorsReceived;
    stats->DiscardPacketsSent = w.DiscardPacketsSent;
    stats->DiscardPacketsReceived = w.DiscardPacketsReceived;
    return 0;
}

int api_getWLANWPSStatus(uint32_t ssid_index, gboolean *enable)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!enable)
        return -1;
    const WpsPath path(ssid_index);
    ccif_WPS_t wps{};
    if (ccif_WPS_get(path.text, &wps) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path.text);
        return -1;
    }
    *enable = wps.Enable ? TRUE : FALSE;
    return 0;
}

int api_getWLANHardwareSwitch(const char *radio, gboolean *on)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, radio, &first); rc != 0)
        return rc;
    if (!on)
        return -1;
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiInfo failed.", __func__);
        return -1;
    }
    const bool five = first == kFirst5G;
    if (five && !wifi.DualBand) {
        GWLOG(LOG_LVL_NOTICE, "(%s) not supported 5G, should be 2.4G.", __func__);
        return -1;
    }
    *on = (five ? wifi.Enable5G : wifi.Enable2G) ? TRUE : FALSE;
    return 0;
}

int api_getWLANRadioInfo(const char *radio, api_WLANRadioInfo_t *info)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, radio, &first); rc != 0)
        return rc;
    if (!info)
        return -1;
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiInfo failed.", __func__);
        return -1;
    }
    ccif_WLANConfiguration_t w{};
    if (read_ssid(__func__, first, &w) != 0)
        return -1;
    *info = api_WLANRadioInfo_t{};
    copy_truncated(info->RadioType, radio);
    info->Enable = (first == kFirst5G ? wifi.Enable5G : wifi.Enable2G) ? TRUE : FALSE;
    info->Channel = w.Channel;
    info->AutoChannelEnable = w.AutoChannelEnable ? TRUE : FALSE;
    copy_truncated(info->ChannelsInUse, w.ChannelsInUse);
    info->TransmitPower = w.TransmitPower;
    copy_truncated(info->FrequencyWidth, w.FrequencyWidth);
    copy_truncated(info->Standard, w.Standard);
    return 0;
}

int api_getWLANNeighbor(int slot, const char *band, h_dbus_signal_cb callback, void *param)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, band, &first); rc != 0)
        return rc;
    if (slot < 0 || slot > 1 || !callback) {
        GWLOG(LOG_LVL_NOTICE, "(%s) slot %d or callback is invalid.", __func__, slot);
        return -1;
    }
    if (get_signalWLANNeighborResponseSubID() <= 0) {
        const long id = h_dbus_SubscribeSignal(nullptr, kWiFiInfoPath, kWiFiInfoIface, "WLANNeighborResponse",
                                               handle_signalWLANNeighborResponse, nullptr);
        if (id <= 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) subscribe WLANNeighborResponse failed.", __func__);
            return -1;
        }
        set_signalWLANNeighborResponseSubID(id);
    }
    // Armed before the request: the result may arrive before the reply does.
    set_signalWLANNeighborResponseCb(slot, callback, param);
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetWLANNeighbor(band, &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetWLANNeighbor failed, %d,%d : %s", __func__, rc, status, msg ? msg.get() : "");
        clear_signalWLANNeighborResponseCb(slot);
        return -1;
    }
    return 0;
}

int api_getWLANHostInfo(uint32_t ssid_index, api_LANHostInfo_t **info, int *count)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    if (ssid_index > kSSIDMax) {
        GWLOG(LOG_LVL_NOTICE, "(%s) ssidIndex %u is invalide, should be 1--8", __func__, ssid_index);
        return -1;
    }
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    char want[16];
    std::snprintf(want, sizeof want, "SSID%u", ssid_index);
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed.", __func__);
        return -1;
    }
    auto keep = [&](const ccif_LANHost_t &h) {
        return h.ConnectionType != 0 && std::strcmp(h.HostClass, "ONLINE") == 0 &&
               (ssid_index == 0 || std::strcmp(h.ConnectInterface, want) == 0);
    };
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

int GuestSSIDIndex(void)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    return find_guest(__func__, nullptr);
}

int api_getGuestSSIDInfo(api_GuestSSIDInfo_t *info)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    if (!info)
        return -1;
    ccif_WLANConfiguration_t g{};
    const int index = find_guest(__func__, &g);
    if (index < 0)
        return index;
    *info = api_GuestSSIDInfo_t{};
    info->Index = static_cast<uint32_t>(index);
    copy_truncated(info->SSID, g.SSID);
    info->Enable = g.Enable ? TRUE : FALSE;
    info->EncryptionMode = g.EncryptionMode;
    copy_truncated(info->PWD, g.PWD);
    info->Duration = g.Duration;
    info->RemainDuration = g.RemainDuration;
    return 0;
}

int api_getWLANSSIDAccessRule(uint32_t ssid_index, api_WLANAccessRule_t *rule)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!rule)
        return -1;
    ccif_WLANConfiguration_t w{};
    if (read_ssid(__func__, ssid_index, &w) != 0)
        return -1;
    rule->AccessRule = w.AccessRule;
    copy_truncated(rule->AllowdIPPort, w.AllowdIPPort);
    return 0;
}

int api_getWLANSSIDPassword(uint32_t ssid_index, char *pwd, int size)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!pwd || size <= 0)
        return -1;
    ccif_WLANConfiguration_t w{};
    if (read_ssid(__func__, ssid_index, &w) != 0)
        return -1;
    copy_truncated(pwd, static_cast<size_t>(size), w.PWD);
    return 0;
}

int api_setWLANSSIDSecurity(uint32_t ssid_index, uint8_t encryption_mode, const char *pwd)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    const bool open = encryption_mode == API_WLAN_ENCRYPTION_OPEN;
    // An open SSID with a stored key, or a protected one with a key the radio refuses, must not be written.
    if (open ? !gwapi::empty(pwd) : !valid_key(pwd)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) password does not suit EncryptionMode %u.", __func__, encryption_mode);
        return -1;
    }
    gwapi::PropMap map;
    map.add("EncryptionMode", g_variant_new_byte(encryption_mode));
    map.add("PWD", g_variant_new_string(open ? "" : pwd));
    return write_ssid(__func__, ssid_index, map);
}

int api_setWLANSSIDAdvertisement(uint32_t ssid_index, gboolean enable)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    gwapi::PropMap map;
    map.add("SSIDAdvertisementEnabled", g_variant_new_boolean(enable ? TRUE : FALSE));
    return write_ssid(__func__, ssid_index, map);
}

int api_setWLANStandard(uint32_t ssid_index, const char *standard)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (gwapi::empty(standard))
        return -1;
    char cut[sizeof(ccif_WLANConfiguration_t::Standard)];
    copy_truncated(cut, standard);
    gwapi::PropMap map;
    map.add("Standard", g_variant_new_string(cut));
    return write_ssid(__func__, ssid_index, map);
}

int api_setWLANRadioChannel(const char *radio, uint32_t channel)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, radio, &first); rc != 0)
        return rc;
    const bool ok = channel == 0 || (first == kFirst5G ? channel >= 36 && channel <= 177 : channel <= 14);
    if (!ok) {
        GWLOG(LOG_LVL_NOTICE, "(%s) channel %u is invalid for %s.", __func__, channel, radio);
        return -1;
    }
    gwapi::PropMap map;
    map.add("AutoChannelEnable", g_variant_new_boolean(channel == 0 ? TRUE : FALSE));
    map.add("Channel", g_variant_new_uint32(channel));
    return write_ssid(__func__, first, map);
}

int api_setWLANRadioPower(const char *radio, uint32_t power)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, radio, &first); rc != 0)
        return rc;
    if (power < 1 || power > 100) {
        GWLOG(LOG_LVL_NOTICE, "(%s) power %u is invalid, should be 1--100.", __func__, power);
        return -1;
    }
    gwapi::PropMap map;
    map.add("TransmitPower", g_variant_new_uint32(power));
    return write_ssid(__func__, first, map);
}

int api_setWLANRadioFrequencyWidth(const char *radio, const char *width)
{
    API_ENTER();
    uint32_t first = 0;
    if (const int rc = check_radio(__func__, radio, &first); rc != 0)
        return rc;
    if (gwapi::empty(width))
        return -1;
    char cut[sizeof(ccif_WLANConfiguration_t::FrequencyWidth)];
    copy_truncated(cut, width);
    gwapi::PropMap map;
    map.add("FrequencyWidth", g_variant_new_string(cut));
    return write_ssid(__func__, first, map);
}

int api_startWLANWPS(uint32_t ssid_index)
{
    API_ENTER();
    return set_wps(__func__, ssid_index, TRUE);
}

int api_stopWLANWPS(uint32_t ssid_index)
{
    API_ENTER();
    return set_wps(__func__, ssid_index, FALSE);
}

int api_setGuestSSID(const api_GuestSSIDConfig_t *config)
{
    API_ENTER();
    if (const int rc = gwapi::check_wifi(__func__); rc != 0)
        return rc;
    if (!config)
        return -1;
    char ssid[sizeof config->SSID];
    char pwd[sizeof config->PWD];
    copy_truncated(ssid, config->SSID);
    copy_truncated(pwd, config->PWD);
    if (pwd[0] && !valid_key(pwd)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) guest password is invalid.", __func__);
        return -1;
    }
    ccif_WLANConfiguration_t g{};
    const int index = find_guest(__func__, &g);
    if (index < 0)
        return index;
    gwapi::PropMap map;
    if (ssid[0])
        map.add("SSID", g_variant_new_string(ssid));
    if (pwd[0]) {
        map.add("PWD", g_variant_new_string(pwd));
        // A key on an open SSID would be stored and never asked for.
        if (g.EncryptionMode == API_WLAN_ENCRYPTION_OPEN)
            map.add("EncryptionMode", g_variant_new_byte(kGuestProtectedMode));
    }
    map.add("Duration", g_variant_new_uint64(config->Duration));
    map.add("Enable", g_variant_new_boolean(config->Enable ? TRUE : FALSE));
    if (write_ssid(__func__, static_cast<uint32_t>(index), map) != 0)
        return -1;
    if (config->Enable && radio_on_for(__func__, static_cast<uint32_t>(index)) != 0)
        return -1;
    return 0;
}

int api_setWLANSSIDAccessRule(uint32_t ssid_index, const api_WLANAccessRule_t *rule)
{
    API_ENTER();
    if (const int rc = check_ssid(__func__, ssid_index); rc != 0)
        return rc;
    if (!rule)
        return -1;
    char allowed[sizeof rule->AllowdIPPort];
    copy_truncated(allowed, rule->AllowdIPPort);
    gwapi::PropMap map;
    map.add("AccessRule", g_variant_new_uint32(rule->AccessRule));
    map.add("AllowdIPPort", g_variant_new_string(allowed));
    return write_ssid(__func__, ssid_index, map);
}

}  // extern "C"
