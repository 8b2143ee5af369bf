// Automatic diagnostics: the redirect setting and the monitor's fault events.
#include <mutex>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kMonitorPath = "/com/yvc/igd1/Transfer/AutoDiagnostics/Monitor";
constexpr const char *kMonitorIface = "com.yvc.igd1.Properties";
constexpr const char *kMonitorMember = "PropertiesChanged";

// The one fault-event subscriber. The decoder runs on the main-context thread, subscribers on any.
struct Slot {
    std::mutex mu;
    long sub_id = 0;
    api_FaultEventCb callback = nullptr;
    void *user_data = nullptr;
};

Slot &slot()
{
    static Slot s;
    return s;
}

void fault_decoder(const char *, const char *, const char *, const char *member, GVariant *parameters, void *)
{
    if (!parameters) {
        GWLOG(LOG_LVL_NOTICE, "signal %s parameters is null", member ? member : "");
        return;
    }
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
        GWLOG(LOG_LVL_NOTICE, "signal %s parameters type %s is wrong.", member ? member : "",
              g_variant_get_type_string(parameters));
        return;
    }
    api_FaultEventCb cb = nullptr;
    void *ud = nullptr;
    {
        Slot &s = slot();
        std::lock_guard<std::mutex> lock(s.mu);
        cb = s.callback;
        ud = s.user_data;
    }
    if (!cb)
        return;
    const char *iface = nullptr;
    GVariantIter *raw = nullptr;
    g_variant_get(parameters, "(&sa{sv}@as)", &iface, &raw, nullptr);
    gw::VariantIterPtr iter(raw);
    api_FaultEvent_t ev{};
    copy_truncated(ev.Interface, iface);
    try {
        std::vector<api_FaultProperty_t> props;
        const char *key = nullptr;
        GVariant *value = nullptr;
        while (g_variant_iter_next(iter.get(), "{&sv}", &key, &value)) {
            gw::VariantPtr v(value);
            api_FaultProperty_t p{};
            copy_truncated(p.Name, key);
            if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING)) {
                copy_truncated(p.Value, g_variant_get_string(v.get(), nullptr));
            } else {
                gw::GCharPtr text(g_variant_print(v.get(), FALSE));
                copy_truncated(p.Value, text.get());
            }
            props.push_back(p);
        }
        ev.PropertyNum = static_cast<int>(props.size());
        ev.Property = props.empty() ? nullptr : props.data();
        GWLOG(LOG_LVL_DEBUG, "signal %s of %s with %d properties.", member, ev.Interface, ev.PropertyNum);
        cb(&ev, ud);
    } catch (...) {
        GWLOG(LOG_LVL_ERR, "(%s) out of memory.", __func__);
    }
}

}  // namespace

extern "C" {

int api_getDiagInfo(api_DiagInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    if (ccif_AutoDiagnosticsRedirect_get(info) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get AutoDiagnosticsRedirect failed.", __func__);
        return -1;
    }
    return 0;
}

int api_setRedirect(gboolean enable, const char *url)
{
    API_ENTER();
    if (enable && gwapi::empty(url)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RedirectURL can not be NULL when enabled.", __func__);
        return -1;
    }
    ccif_AutoDiagnosticsRedirect_t r{};
    if (!url && ccif_AutoDiagnosticsRedirect_get(&r) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get AutoDiagnosticsRedirect failed.", __func__);
        return -1;
    }
    r.RedirectEnable = enable ? TRUE : FALSE;
    if (url)
        copy_truncated(r.RedirectURL, url);
    if (ccif_AutoDiagnosticsRedirect_set(&r) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set AutoDiagnosticsRedirect failed.", __func__);
        return -1;
    }
    return 0;
}

int api_subscribeFaultEvent(api_FaultEventCb callback, void *user_data)
{
    API_ENTER();
    if (callback && !user_data) {
        GWLOG(LOG_LVL_NOTICE, "(%s) user data can not be NULL.", __func__);
        return -1;
    }
    Slot &s = slot();
    std::lock_guard<std::mutex> lock(s.mu);
    if (!callback) {
        if (s.sub_id <= 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) unsubscribe AutoDiagnostics signal which SubID is wrong.", __func__);
            return -1;
        }
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(s.sub_id));
        s.sub_id = 0;
        s.callback = nullptr;
        s.user_data = nullptr;
        return 0;
    }
    if (s.sub_id > 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe AutoDiagnostics signal has exist, first unsubscribe it.", __func__);
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(s.sub_id));
        s.sub_id = 0;
        s.callback = nullptr;
        s.user_data = nullptr;
    }
    const long id =
        h_dbus_SubscribeSignal(nullptr, kMonitorPath, kMonitorIface, kMonitorMember, fault_decoder, nullptr);
    if (id <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe AutoDiagnostics signal failed.", __func__);
        return -1;
    }
    s.sub_id = id;
    s.callback = callback;
    s.user_data = user_data;
    return 0;
}

}  // extern "C"
