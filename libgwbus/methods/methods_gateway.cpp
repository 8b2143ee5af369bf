// Method wrappers of the system, WAN, LAN host, WiFi, traffic history, PPPoE and diagnostics objects.
#include <cstring>
#include <string>

#include "../objects/object_engine.hpp"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "method_call.hpp"

using namespace gw::methods;
using gw::VariantPtr;

namespace {

const char *s_or_empty(const char *s) { return s ? s : ""; }

// A record's text field, even when the caller filled it to the last byte.
template <size_t N> std::string bounded(const char (&field)[N]) { return std::string(field, strnlen(field, N)); }

// Replies that lead with one string (s or o): copied into a caller buffer.
int leading_string_to_buffer(Id id, GVariant *args, char *buf, size_t size, int *status, char **errmsg)
{
    VariantPtr reply;
    if (simple(id, nullptr, args, status, errmsg, &reply) != 0)
        return -1;
    if (buf && size) {
        VariantPtr first(g_variant_get_child_value(reply.get(), 0));
        copy_truncated(buf, size, g_variant_get_string(first.get(), nullptr));
    }
    return 0;
}

int host_list(Id id, ccif_LANHost_t **hosts, int *count, int *status, char **errmsg)
{
    if (!hosts || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    VariantPtr reply;
    if (simple(id, nullptr, nullptr, status, errmsg, &reply) != 0)
        return -1;
    const gw::objects::Kind *kind = gw::objects::find_kind("LANHost");
    VariantPtr managed(g_variant_get_child_value(reply.get(), 0));
    void *block = nullptr;
    int n = 0;
    if (!kind || gw::objects::parse_managed(*kind, managed.get(), &block, &n) != 0) {
        GWLOG(LOG_LVL_WARN, "call method %s failed.", row(id).name);
        return -1;
    }
    *hosts = static_cast<ccif_LANHost_t *>(block);
    *count = n;
    return 0;
}

// (s as u s): the base text and the samples.
int history(Id id, const char *path, uint32_t start, uint32_t num, char **base, char ***samples, int *sample_count,
            int *status, char **errmsg)
{
    VariantPtr reply;
    if (simple(id, path, g_variant_new("(uu)", start, num), status, errmsg, &reply) != 0)
        return -1;
    if (base) {
        VariantPtr b(g_variant_get_child_value(reply.get(), 0));
        *base = g_strdup(g_variant_get_string(b.get(), nullptr));
    }
    if (samples) {
        VariantPtr list(g_variant_get_child_value(reply.get(), 1));
        char **l = nullptr;
        int n = var2value_strings(list.get(), &l);
        if (n < 0) {
            if (base) {
                g_free(*base);
                *base = nullptr;
            }
            return -1;
        }
        *samples = l;
        if (sample_count)
            *sample_count = n;
    }
    return 0;
}

}  // namespace

extern "C" {

int mth_Reboot(int *status, char **errmsg) { return simple(kReboot, nullptr, nullptr, status, errmsg); }
int mth_Restore(int *status, char **errmsg) { return simple(kRestore, nullptr, nullptr, status, errmsg); }
int mth_RegisterGetStat(int *status, char **errmsg)
{
    // The text is the registration state itself, so it is handed out with every code.
    VariantPtr reply;
    if (call(kRegisterGetStat, nullptr, nullptr, reply) != 0)
        return -1;
    uint32_t code = 0;
    const char *text = nullptr;
    g_variant_get(reply.get(), "(u&s)", &code, &text);
    if (status)
        *status = static_cast<int>(code);
    if (errmsg && text && *text)
        *errmsg = g_strdup(text);
    return 0;
}
int mth_CheckHardwareStart(int *status, char **errmsg)
{
    return simple(kCheckHardwareStart, nullptr, nullptr, status, errmsg);
}
int mth_InformNotifyVersion(int *status, char **errmsg)
{
    return simple(kInformNotifyVersion, nullptr, nullptr, status, errmsg);
}
int mth_InformUpgrade(int *status, char **errmsg) { return simple(kInformUpgrade, nullptr, nullptr, status, errmsg); }

int mth_Register(const char *user_id, const char *password, const char *province, int *status, char **errmsg)
{
    if (!texts_valid(kRegister, {user_id, password, province}))
        return -1;
    return simple(kRegister, nullptr,
                  g_variant_new("(sss)", s_or_empty(user_id), s_or_empty(password), s_or_empty(province)), status,
                  errmsg);
}

int mth_GetLog(const char *start_time, const char *end_time, const char *upload_path, int *status, char **errmsg)
{
    if (!texts_valid(kGetLog, {start_time, end_time, upload_path}))
        return -1;
    return simple(kGetLog, nullptr,
                  g_variant_new("(sss)", s_or_empty(start_time), s_or_empty(end_time), s_or_empty(upload_path)), status,
                  errmsg);
}

int mth_GetUpgradeVersion(char **version, char **url, int *status, char **errmsg)
{
    VariantPtr reply;
    if (simple(kGetUpgradeVersion, nullptr, nullptr, status, errmsg, &reply) != 0)
        return -1;
    const char *v = nullptr, *u = nullptr;
    g_variant_get(reply.get(), "(&s&sus)", &v, &u, nullptr, nullptr);
    if (version)
        *version = g_strdup(v);
    if (url)
        *url = g_strdup(u);
    return 0;
}

int mth_GetDeviceDefaultSSID1Name(char *ssid, size_t size, int *status, char **errmsg)
{
    return leading_string_to_buffer(kGetDeviceDefaultSSID1Name, nullptr, ssid, size, status, errmsg);
}

int mth_GetDeviceDefaultSSID1Password(char *password, size_t size, int *status, char **errmsg)
{
    return leading_string_to_buffer(kGetDeviceDefaultSSID1Password, nullptr, password, size, status, errmsg);
}

int mth_GetWANConnByName(const char *wan_name, char *path, size_t size, int *status, char **errmsg)
{
    if (!texts_valid(kGetWANConnByName, {wan_name}))
        return -1;
    return leading_string_to_buffer(kGetWANConnByName, g_variant_new("(s)", s_or_empty(wan_name)), path, size, status,
                                    errmsg);
}

int mth_GetInternetConnIndex(char *path, size_t size, int *status, char **errmsg)
{
    return leading_string_to_buffer(kGetInternetConnIndex, nullptr, path, size, status, errmsg);
}

int mth_GetLANHostPathbyMAC(const char *mac, char *path, size_t size, int *status, char **errmsg)
{
    if (!texts_valid(kGetLANHostPathbyMAC, {mac}))
        return -1;
    return leading_string_to_buffer(kGetLANHostPathbyMAC, g_variant_new("(s)", s_or_empty(mac)), path, size, status,
                                    errmsg);
}

int mth_GetOnlineDeviceList(ccif_LANHost_t **hosts, int *count, int *status, char **errmsg)
{
    return host_list(kGetOnlineDeviceList, hosts, count, status, errmsg);
}

int mth_GetOnlineDevicesSnapShot(ccif_LANHost_t **hosts, int *count, int *status, char **errmsg)
{
    return host_list(kGetOnlineDevicesSnapShot, hosts, count, status, errmsg);
}

int mth_SetAttachSpeedup(const char *mac, uint8_t on, int *status, char **errmsg)
{
    char path[CCIF_PATH_SIZE] = "";
    int lookup_status = 0;
    if (mth_GetLANHostPathbyMAC(mac, path, sizeof path, &lookup_status, errmsg) != 0)
        return -1;
    if (lookup_status != 0) {
        if (status)
            *status = lookup_status;
        return 0;
    }
    return simple(kSetAttachSpeedup, path, g_variant_new("(sy)", s_or_empty(mac), on), status, errmsg);
}

int mth_KickOutDevice(const char *mac, const char *ssid_path, int *status, char **errmsg)
{
    if (!texts_valid(kKickOutDevice, {mac, ssid_path}))
        return -1;
    return simple(kKickOutDevice, nullptr, g_variant_new("(ss)", s_or_empty(mac), s_or_empty(ssid_path)), status,
                  errmsg);
}

int mth_GetWLANNeighbor(const char *band, int *status, char **errmsg)
{
    if (!texts_valid(kGetWLANNeighbor, {band}))
        return -1;
    return simple(kGetWLANNeighbor, nullptr, g_variant_new("(s)", s_or_empty(band)), status, errmsg);
}

int mth_GetWiFiRoamingRecordsByMac(const char *mac, mth_WiFiRoamingRecord_t **records, int *count, int *status,
                                   char **errmsg)
{
    using R = mth_WiFiRoamingRecord_t;
    static constexpr Field kFields[] = {
        GW_F(R, StaMAC, 's'),   GW_F(R, FromBSSID, 's'), GW_F(R, ToBSSID, 's'), GW_F(R, RoamTime, 's'),
        GW_F(R, FromRSSI, 'i'), GW_F(R, ToRSSI, 'i'),    GW_F(R, Channel, 'i'), GW_F(R, Result, 'u'),
    };
    if (!records || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    if (!texts_valid(kGetWiFiRoamingRecordsByMac, {mac}))
        return -1;
    VariantPtr reply;
    if (simple(kGetWiFiRoamingRecordsByMac, nullptr, g_variant_new("(s)", s_or_empty(mac)), status, errmsg, &reply) !=
        0)
        return -1;
    VariantPtr list(g_variant_get_child_value(reply.get(), 0));
    return copy_array(list.get(), kFields, G_N_ELEMENTS(kFields), sizeof(R), reinterpret_cast<void **>(records), count);
}

int mth_GetPONHistoryTraffic(uint32_t start, uint32_t num, char **base, char ***samples, int *sample_count, int *status,
                             char **errmsg)
{
    return history(kGetPONHistoryTraffic, nullptr, start, num, base, samples, sample_count, status, errmsg);
}

int ccif_GetLANHistoryTraffic(const char *port_path, uint32_t start, uint32_t num, char **base, char ***samples,
                              int *sample_count, int *status, char **errmsg)
{
    return history(kGetLANHistoryTraffic, port_path, start, num, base, samples, sample_count, status, errmsg);
}

int ccif_GetIPSecVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***samples,
                                   int *sample_count, int *status, char **errmsg)
{
    return history(kGetIPSecVPNHistoryTraffic, path, start, num, base, samples, sample_count, status, errmsg);
}

int ccif_GetL2TPVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***samples,
                                  int *sample_count, int *status, char **errmsg)
{
    return history(kGetL2TPVPNHistoryTraffic, path, start, num, base, samples, sample_count, status, errmsg);
}

int ccif_GetVxLANVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***samples,
                                   int *sample_count, int *status, char **errmsg)
{
    return history(kGetVxLANVPNHistoryTraffic, path, start, num, base, samples, sample_count, status, errmsg);
}

int mth_SetPPPOEAccount(const char *pppoe_path, const char *wan_name, const char *user_name, const char *password,
                        const char *dial_mode, uint32_t idle_time, int *status, char **errmsg)
{
    if (!texts_valid(kSetPPPOEAccount, {wan_name, user_name, password, dial_mode}))
        return -1;
    return simple(kSetPPPOEAccount, pppoe_path,
                  g_variant_new("((ssssu))", s_or_empty(wan_name), s_or_empty(user_name), s_or_empty(password),
                                s_or_empty(dial_mode), idle_time),
                  status, errmsg);
}

int mth_SetPPPOEAction(const char *pppoe_path, const char *wan_name, const char *action, int *status, char **errmsg)
{
    if (!texts_valid(kSetPPPOEAction, {wan_name, action}))
        return -1;
    return simple(kSetPPPOEAction, pppoe_path, g_variant_new("(ss)", s_or_empty(wan_name), s_or_empty(action)), status,
                  errmsg);
}

int mth_StartIPPingDiagnostics(const mth_IPPingParam_t *p, int *status, char **errmsg)
{
    if (!p) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    const std::string host = bounded(p->Host);
    if (!texts_valid(kStartIPPingDiagnostics, {host.c_str()}))
        return -1;
    return simple(kStartIPPingDiagnostics, nullptr,
                  g_variant_new("((usuuuu))", p->WANIndex, host.c_str(), p->NumberOfRepetitions, p->Timeout,
                                p->DataBlockSize, p->DSCP),
                  status, errmsg);
}

int mth_StartTraceRouteDiagnostics(const mth_TraceRouteParam_t *p, int *status, char **errmsg)
{
    if (!p) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    const std::string host = bounded(p->Host);
    if (!texts_valid(kStartTraceRouteDiagnostics, {host.c_str()}))
        return -1;
    return simple(kStartTraceRouteDiagnostics, nullptr,
                  g_variant_new("((usuuuuu))", p->WANIndex, host.c_str(), p->NumberOfTries, p->Timeout,
                                p->DataBlockSize, p->DSCP, p->MaxHopCount),
                  status, errmsg);
}

}  // extern "C"
