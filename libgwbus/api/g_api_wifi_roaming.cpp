// WiFi roaming: the report switch, the records of one station, and roaming events on an FTTO master.
#include <mutex>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kRoamingPath = "/com/yvc/igd1/Info/WiFiRoaming";
constexpr const char *kRoamingIface = "com.yvc.igd1.WiFiRoaming";
constexpr const char *kRoamingSignal = "TerminalDeviceRoaming";

// The one subscriber of roaming events. The decoder runs on the thread of the default main context.
struct Slot {
    api_RoamingEventCb callback = nullptr;
    void *user_data = nullptr;
    unsigned id = 0;
};
std::mutex g_slot_mutex;
Slot g_slot;

void roaming_decoder(const char *, const char *, const char *, const char *member, GVariant *parameters, void *)
{
    if (!parameters) {
        GWLOG(LOG_LVL_NOTICE, "signal %s parameters is null", member ? member : kRoamingSignal);
        return;
    }
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssssiiiu)"))) {
        GWLOG(LOG_LVL_NOTICE, "signal %s has type %s, ignored.", member ? member : kRoamingSignal,
              g_variant_get_type_string(parameters));
        return;
    }
    api_WiFiRoamingRecord_t r{};
    const char *sta = nullptr, *from = nullptr, *to = nullptr, *when = nullptr;
    g_variant_get(parameters, "(&s&s&s&siiiu)", &sta, &from, &to, &when, &r.FromRSSI, &r.ToRSSI, &r.Channel, &r.Result);
    copy_truncated(r.StaMAC, sta);
    copy_truncated(r.FromBSSID, from);
    copy_truncated(r.ToBSSID, to);
    copy_truncated(r.RoamTime, when);
    Slot s;
    {
        std::lock_guard<std::mutex> lock(g_slot_mutex);
        s = g_slot;
    }
    GWLOG(LOG_LVL_INFO, "signal %s: %s from %s to %s", kRoamingSignal, r.StaMAC, r.FromBSSID, r.ToBSSID);
    if (s.callback)
        s.callback(&r, s.user_data);
}

// 0 on an FTTO master, -21 elsewhere, -1 when the type cannot be read.
int check_ftto_master(const char *func)
{
    const int type = getDevType();
    if (type < 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DevType failed.", func);
        return -1;
    }
    if (type != API_DEVTYPE_FTTO_MASTER) {
        GWLOG(LOG_LVL_NOTICE, "(%s) API only support FTTO Master device.", func);
        return -21;
    }
    return 0;
}

}  // namespace

extern "C" {

int api_getWiFiRoaming(gboolean *enable_report)
{
    API_ENTER();
    if (!enable_report)
        return -1;
    ccif_WiFiRoaming_t r{};
    if (ccif_WiFiRoaming_get(&r) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WiFiRoaming failed.", __func__);
        return -1;
    }
    *enable_report = r.EnableReport ? TRUE : FALSE;
    return 0;
}

int api_setWiFiRoamingEnableReport(gboolean enable_report)
{
    API_ENTER();
    ccif_WiFiRoaming_t r{};
    r.EnableReport = enable_report ? TRUE : FALSE;
    if (ccif_WiFiRoaming_set(&r) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set WiFiRoaming.EnableReport failed.", __func__);
        return -1;
    }
    return 0;
}

int api_getWiFiRoamingRecordsByMac(const char *mac, api_WiFiRoamingRecord_t **records, int *count)
{
    API_ENTER();
    if (gwapi::empty(mac) || !records || !count)
        return -1;
    *records = nullptr;
    *count = 0;
    mth_WiFiRoamingRecord_t *raw = nullptr;
    int n = 0;
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetWiFiRoamingRecordsByMac(mac, &raw, &n, &status, &errmsg);
    gwapi::Block<mth_WiFiRoamingRecord_t> block(raw);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetWiFiRoamingRecordsByMac %s failed, %d,%d : %s", __func__, mac, rc, status,
              msg ? msg.get() : "");
        return -1;
    }
    *count = block ? n : 0;
    *records = block.release();
    return 0;
}

int api_releaseWiFiRoamingRecordsByMac(api_WiFiRoamingRecord_t *records, int count)
{
    (void)count;
    if (!records)
        return -1;
    g_free(records);
    return 0;
}

int api_subscribeRoamingEvent(api_RoamingEventCb callback, void *user_data)
{
    API_ENTER();
    if (const int rc = check_ftto_master(__func__); rc != 0)
        return rc;
    if (callback && !user_data) {
        GWLOG(LOG_LVL_NOTICE, "(%s) user data is null.", __func__);
        return -1;
    }
    std::lock_guard<std::mutex> lock(g_slot_mutex);
    if (!callback) {
        if (g_slot.id == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) unsubscribe %s signal which SubID is wrong.", __func__, kRoamingSignal);
            return -1;
        }
        h_dbus_UnSubscribeSignal(g_slot.id);
        g_slot = Slot{};
        return 0;
    }
    if (g_slot.id != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe %s signal has exist, first unsubscribe it.", __func__, kRoamingSignal);
        h_dbus_UnSubscribeSignal(g_slot.id);
        g_slot = Slot{};
    }
    const long id =
        h_dbus_SubscribeSignal(nullptr, kRoamingPath, kRoamingIface, kRoamingSignal, roaming_decoder, nullptr);
    if (id <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe %s signal failed.", __func__, kRoamingSignal);
        return -1;
    }
    g_slot = Slot{callback, user_data, static_cast<unsigned>(id)};
    return 0;
}

}  // extern "C"
