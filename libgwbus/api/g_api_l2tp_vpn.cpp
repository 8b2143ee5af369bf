// Firewall L2TP VPN instances, keyed by Name, their status and the status subscriptions by name.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "firewall_family.hpp"
#include "gwbus/bus.h"
#include "gwbus/raii.hpp"

using gwapi::L2TPVPNFamily;

namespace {

constexpr const char *kL2TPIface = "com.yvc.igd1.L2TPVPN";
constexpr const char *kStatusSignal = "L2TPVPNStatusNotify";

// Name and callback pairs; one bus subscription serves them all while the list is not empty. The
// lock guards against a signal dispatched on the main-context thread while a caller edits the list.
struct Subscribers {
    std::mutex mu;
    std::vector<std::pair<std::string, api_FirewallL2TPVPNStatusCb>> list;
    long sub_id = 0;
};

Subscribers &subscribers()
{
    static Subscribers *s = new Subscribers();  // signals may still arrive while the process exits
    return *s;
}

void on_status(const char *, const char *path, const char *, const char *, GVariant *params, void *)
{
    if (!params || !g_variant_is_of_type(params, G_VARIANT_TYPE("((su)us)"))) {
        GWLOG(LOG_LVL_WARN, "signal %s from %s has a wrong payload.", kStatusSignal, path ? path : "");
        return;
    }
    const char *name = nullptr;
    uint32_t status = 0;
    uint32_t code = 0;
    const char *msg = nullptr;
    g_variant_get(params, "((&su)u&s)", &name, &status, &code, &msg);
    std::vector<api_FirewallL2TPVPNStatusCb> due;
    {
        Subscribers &s = subscribers();
        std::lock_guard<std::mutex> lock(s.mu);
        for (const auto &p : s.list)
            if (p.first == name)
                due.push_back(p.second);
    }
    GWLOG(LOG_LVL_INFO, "signal %s : %s status %u, %u (%s), %zu subscriber(s).", kStatusSignal, name, status, code, msg,
          due.size());
    // Called without the lock, so a callback may unsubscribe itself.
    for (auto cb : due)
        cb(name, status);
}

}  // namespace

extern "C" {

int api_addFirewallL2TPVPN(const api_FirewallL2TPVPN_t *entry)
{
    API_ENTER();
    return L2TPVPNFamily::add(__func__, entry);
}

int api_deleteFirewallL2TPVPN(const char *name)
{
    API_ENTER();
    return L2TPVPNFamily::del(__func__, name);
}

int api_getFirewallL2TPVPN(api_FirewallL2TPVPN_t **list, int *count)
{
    API_ENTER();
    return L2TPVPNFamily::get(__func__, list, count);
}

int api_releaseFirewallL2TPVPN(api_FirewallL2TPVPN_t *list, int /*count*/) { return L2TPVPNFamily::release(list); }

int api_getFirewallL2TPVPNStatus(const char *name, api_FirewallL2TPVPNStatus_t *status)
{
    API_ENTER();
    if (gwapi::empty(name) || !status)
        return -1;
    mth_Firewall_L2TPVPN_obj_t obj{};
    const int rc = L2TPVPNFamily::find(__func__, name, &obj);
    if (rc != 0)
        return rc;
    mth_L2TPVPNStatus_t st{};
    int code = 0;
    char *msg = nullptr;
    const int call = mth_Firewall_L2TPVPN_GetL2TPVPNStatus(obj.path, &st, &code, &msg);
    gw::GCharPtr msg_owner(msg);
    if (call != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetL2TPVPNStatus of %s failed.", __func__, obj.path);
        return -1;
    }
    if (code != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetL2TPVPNStatus of %s refused, %d : %s", __func__, obj.path, code, msg ? msg : "");
        return -1;
    }
    copy_truncated(status->Name, st.Name);
    status->Status = st.Status;
    return 0;
}

int api_subscribeFirewallL2TPVPNStatus(const char *name, api_FirewallL2TPVPNStatusCb cb)
{
    API_ENTER();
    const char *const fn = __func__;
    if (gwapi::empty(name) || !cb) {
        GWLOG(LOG_LVL_NOTICE, "(%s) name or callback is null.", fn);
        return -1;
    }
    return gwapi::guarded(fn, [&]() -> int {
        Subscribers &s = subscribers();
        std::lock_guard<std::mutex> lock(s.mu);
        for (const auto &p : s.list) {
            if (p.first == name) {
                GWLOG(LOG_LVL_NOTICE, "(%s) %s has subscribed.", fn, name);
                return 0;
            }
        }
        s.list.reserve(s.list.size() + 1);
        if (s.sub_id <= 0) {
            const long id = h_dbus_SubscribeSignal(nullptr, nullptr, kL2TPIface, kStatusSignal, on_status, nullptr);
            if (id <= 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) subscribe %s failed.", fn, kStatusSignal);
                return -1;
            }
            s.sub_id = id;
        }
        s.list.emplace_back(name, cb);
        return 0;
    });
}

int api_unsubscribeFirewallL2TPVPNStatus(const char *name)
{
    API_ENTER();
    if (gwapi::empty(name))
        return -1;
    Subscribers &s = subscribers();
    std::lock_guard<std::mutex> lock(s.mu);
    for (auto it = s.list.begin(); it != s.list.end(); ++it) {
        if (it->first != name)
            continue;
        s.list.erase(it);
        if (s.list.empty() && s.sub_id > 0) {
            h_dbus_UnSubscribeSignal(static_cast<unsigned>(s.sub_id));
            s.sub_id = 0;
        }
        return 0;
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) %s is not subscribed.", __func__, name);
    return -1;
}

}  // extern "C"
