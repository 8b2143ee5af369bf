// The shape the three firewall families share (L2TP VPN, network acceleration, traffic control):
// instances keyed by Name below the family's collection, a profile with the entry limit, and the
// profile status method. Each family unit instantiates Family<Traits> with its own records.
#ifndef GWBUS_API_FIREWALL_FAMILY_HPP
#define GWBUS_API_FIREWALL_FAMILY_HPP

#include <cstring>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"

namespace gwapi {

// Traits: Obj (mth record), Api (api record), kKind, list/add/del (mth_Firewall_<family>_*), profile
// (ccif profile getter), status (its GetProfileStatus wrapper), to_obj/to_api (field copies).
template <typename T> struct Family {
    using Obj = typename T::Obj;
    using Api = typename T::Api;

    static uint32_t index_of(const char *func, const char *path)
    {
        uint32_t index = 0;
        if (!path_index(path, &index))
            GWLOG(LOG_LVL_INFO, "(%s) %s is invalide path", func, path);
        return index;
    }

    static int list_objs(const char *func, List<Obj> &out)
    {
        if (list(T::list, out) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, T::kKind);
            return -1;
        }
        return 0;
    }

    // The instance with that Name: 0, -1 when the list fails, -2 when none has it.
    static int find(const char *func, const char *name, Obj *found)
    {
        List<Obj> objs;
        if (list_objs(func, objs) != 0)
            return -1;
        for (const auto &o : objs) {
            if (std::strcmp(o.Name, name) == 0) {
                *found = o;
                return 0;
            }
        }
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s no match object.", func, T::kKind, name);
        return -2;
    }

    static int add(const char *func, const Api *entry)
    {
        return guarded(func, [&]() -> int {
            if (!entry || empty(entry->Name)) {
                GWLOG(LOG_LVL_NOTICE, "(%s) Name can not be NULL.", func);
                return -1;
            }
            List<Obj> objs;
            if (list_objs(func, objs) != 0)
                return -1;
            for (const auto &o : objs) {
                if (std::strcmp(o.Name, entry->Name) == 0) {
                    GWLOG(LOG_LVL_NOTICE, "(%s) %s %s exist, do not add.", func, T::kKind, entry->Name);
                    return static_cast<int>(index_of(func, o.path));
                }
            }
            ccif_Firewall_L2TPVPNProfile_t prof{};
            if (T::profile(&prof) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) get %sProfile failed.", func, T::kKind);
                return -1;
            }
            if (prof.MaxProfileNumber != 0 && static_cast<uint32_t>(objs.count) >= prof.MaxProfileNumber) {
                GWLOG(LOG_LVL_NOTICE, "(%s) %s exceeds the maximum limit %u.", func, T::kKind, prof.MaxProfileNumber);
                return -2;
            }
            Obj obj{};
            T::to_obj(*entry, &obj);
            if (T::add(&obj) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s failed.", func, T::kKind);
                return -1;
            }
            uint32_t index = 0;
            if (!path_index(obj.path, &index) || index == 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) get new %s index from %s failed.", func, T::kKind, obj.path);
                return -1;
            }
            GWLOG(LOG_LVL_NOTICE, "(%s) AddObject %s success.", func, obj.path);
            return static_cast<int>(index);
        });
    }

    static int del(const char *func, const char *name)
    {
        return guarded(func, [&]() -> int {
            if (empty(name)) {
                GWLOG(LOG_LVL_NOTICE, "(%s) Name can not be NULL.", func);
                return -1;
            }
            Obj found{};
            const int rc = find(func, name, &found);
            if (rc != 0)
                return rc;
            if (T::del(found.path) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) DeleteObject %s failed.", func, found.path);
                return -1;
            }
            return 0;
        });
    }

    static int get(const char *func, Api **out, int *count)
    {
        return guarded(func, [&]() -> int {
            if (!out || !count)
                return -1;
            *out = nullptr;
            *count = 0;
            List<Obj> objs;
            if (list_objs(func, objs) != 0)
                return -1;
            if (objs.count == 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) %s objects is 0.", func, T::kKind);
                return 0;
            }
            auto *block = g_new0(Api, objs.count);
            int k = 0;
            for (const auto &o : objs) {
                block[k].Index = index_of(func, o.path);
                T::to_api(o, &block[k]);
                ++k;
            }
            *out = block;
            *count = objs.count;
            return 0;
        });
    }

    static int release(Api *list)
    {
        if (!list)
            return -1;
        g_free(list);
        return 0;
    }

    static int profile(const char *func, api_FirewallProfile_t *out)
    {
        if (!out)
            return -1;
        ccif_Firewall_L2TPVPNProfile_t prof{};
        if (T::profile(&prof) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get %sProfile failed.", func, T::kKind);
            return -1;
        }
        out->ProfileNumberOfEntries = prof.ProfileNumberOfEntries;
        out->MaxProfileNumber = prof.MaxProfileNumber;
        return 0;
    }

    // name "" asks for every profile.
    static int profile_status(const char *func, const char *name, api_FirewallProfileStatus_t **out, int *count)
    {
        return guarded(func, [&]() -> int {
            if (!name || !out || !count)
                return -1;
            *out = nullptr;
            *count = 0;
            mth_ProfileStatus_t *raw = nullptr;
            int n = 0;
            int status = 0;
            char *msg = nullptr;
            const int rc = T::status(name, &raw, &n, &status, &msg);
            gw::GCharPtr msg_owner(msg);
            if (rc != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) GetProfileStatus %s failed.", func, name);
                return -1;
            }
            struct RawFree {
                mth_ProfileStatus_t *p;
                int n;
                ~RawFree() { mth_releaseProfileStatus(p, n); }
            } raw_free{raw, n};
            if (status != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) GetProfileStatus %s refused, %d : %s", func, name, status, msg ? msg : "");
                return -1;
            }
            if (!raw || n == 0)
                return 0;
            auto *block = g_new0(api_FirewallProfileStatus_t, n);
            for (int i = 0; i < n; ++i) {
                api_FirewallProfileStatus_t &d = block[i];
                copy_truncated(d.Name, raw[i].Name);
                d.Status = raw[i].Status;
                d.Enable = raw[i].Enable;
                if (raw[i].rule_count > 0 && raw[i].rules) {
                    d.Rules = g_new0(api_FirewallProfileRule_t, raw[i].rule_count);
                    d.RuleNum = raw[i].rule_count;
                    for (int j = 0; j < d.RuleNum; ++j) {
                        copy_truncated(d.Rules[j].Address, raw[i].rules[j].Address);
                        copy_truncated(d.Rules[j].Protocol, raw[i].rules[j].Protocol);
                        d.Rules[j].Port = raw[i].rules[j].Port;
                        d.Rules[j].Status = raw[i].rules[j].Status;
                    }
                }
            }
            *out = block;
            *count = n;
            return 0;
        });
    }

    static int release_status(api_FirewallProfileStatus_t *list, int count)
    {
        if (!list)
            return -1;
        for (int i = 0; i < count; ++i)
            g_free(list[i].Rules);
        g_free(list);
        return 0;
    }
};

// The three families.
struct L2TPVPNTraits {
    using Obj = mth_Firewall_L2TPVPN_obj_t;
    using Api = api_FirewallL2TPVPN_t;
    static constexpr const char *kKind = "L2TPVPN";
    static constexpr auto list = mth_Firewall_L2TPVPN_get_objs;
    static constexpr auto add = mth_Firewall_L2TPVPN_add_obj;
    static constexpr auto del = mth_Firewall_L2TPVPN_del_obj;
    static constexpr auto profile = ccif_Firewall_L2TPVPNProfile_get;
    static constexpr auto status = mth_Firewall_L2TPVPNProfile_GetProfileStatus;
    static void to_obj(const Api &a, Obj *o)
    {
        copy_truncated(o->Name, a.Name);
        copy_truncated(o->InsAddress, a.InsAddress);
        copy_truncated(o->UserName, a.UserName);
        copy_truncated(o->Password, a.Password);
        o->DestPort = a.DestPort;
        o->Enable = a.Enable;
        o->Operate = a.Operate;
    }
    static void to_api(const Obj &o, Api *a)
    {
        copy_truncated(a->Name, o.Name);
        copy_truncated(a->InsAddress, o.InsAddress);
        copy_truncated(a->UserName, o.UserName);
        copy_truncated(a->Password, o.Password);
        a->DestPort = o.DestPort;
        a->Enable = o.Enable;
        a->Operate = o.Operate;
    }
};

struct NetworkAccelerationTraits {
    using Obj = mth_Firewall_NetworkAcceleration_obj_t;
    using Api = api_FirewallNetworkAcceleration_t;
    static constexpr const char *kKind = "NetworkAcceleration";
    static constexpr auto list = mth_Firewall_NetworkAcceleration_get_objs;
    static constexpr auto add = mth_Firewall_NetworkAcceleration_add_obj;
    static constexpr auto del = mth_Firewall_NetworkAcceleration_del_obj;
    static constexpr auto profile = ccif_Firewall_NetworkAccelerationProfile_get;
    static constexpr auto status = mth_Firewall_NetworkAccelerationProfile_GetProfileStatus;
    static void to_obj(const Api &a, Obj *o)
    {
        copy_truncated(o->Name, a.Name);
        copy_truncated(o->WANName, a.WANName);
        o->Enable = a.Enable;
        o->Operate = a.Operate;
    }
    static void to_api(const Obj &o, Api *a)
    {
        copy_truncated(a->Name, o.Name);
        copy_truncated(a->WANName, o.WANName);
        a->Enable = o.Enable;
        a->Operate = o.Operate;
    }
};

struct TrafficControlTraits {
    using Obj = mth_Firewall_TrafficControl_obj_t;
    using Api = api_FirewallTrafficControl_t;
    static constexpr const char *kKind = "TrafficControl";
    static constexpr auto list = mth_Firewall_TrafficControl_get_objs;
    static constexpr auto add = mth_Firewall_TrafficControl_add_obj;
    static constexpr auto del = mth_Firewall_TrafficControl_del_obj;
    static constexpr auto profile = ccif_Firewall_TrafficControlProfile_get;
    static constexpr auto status = mth_Firewall_TrafficControlProfile_GetProfileStatus;
    static void to_obj(const Api &a, Obj *o)
    {
        copy_truncated(o->Name, a.Name);
        o->Enable = a.Enable;
        o->Operate = a.Operate;
        o->Target = a.Target;
        o->Priority = a.Priority;
    }
    static void to_api(const Obj &o, Api *a)
    {
        copy_truncated(a->Name, o.Name);
        a->Enable = o.Enable;
        a->Operate = o.Operate;
        a->Target = o.Target;
        a->Priority = o.Priority;
    }
};

using L2TPVPNFamily = Family<L2TPVPNTraits>;
using NetworkAccelerationFamily = Family<NetworkAccelerationTraits>;
using TrafficControlFamily = Family<TrafficControlTraits>;

}  // namespace gwapi

#endif
