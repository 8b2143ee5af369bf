// Layer-3 forwarding routes, written once for both address families; used by the route families of
// g_api_trans and g_api_L3_forwarding.
#ifndef GWBUS_API_L3_FORWARDING_HPP
#define GWBUS_API_L3_FORWARDING_HPP

#include <string>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

namespace gwapi {
namespace l3 {

struct V4 {
    using Rec = ccif_Layer3ForwardingIPv4Config_t;
    using Info = api_Layer3ForwardingInfo_t;
    using Entry = api_Layer3ForwardingEntry_t;
    static constexpr const char *kName = "IPv4";
    static constexpr const char *kKind = "Layer3ForwardingIPv4Config";
    static constexpr const char *kIface = "com.yvc.igd1.Layer3ForwardingIPv4Config";
    static constexpr const char *kCollection = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config";
    static int list(Rec **r, int *n) { return ccif_Layer3ForwardingIPv4Config_get_objs(r, n); }
    static int get(const char *path, Rec *r) { return ccif_Layer3ForwardingIPv4Config_get(path, r); }
    static int add(Rec *r) { return ccif_Layer3ForwardingIPv4Config_add_obj(r); }
    static int set(Rec *r) { return ccif_Layer3ForwardingIPv4Config_set(r); }
    static int del(const char *path) { return ccif_Layer3ForwardingIPv4Config_del_obj(path); }
    static bool same(const Rec &r, const Entry &e)
    {
        return std::strcmp(r.DestIPAddress, e.DestIPAddress) == 0 &&
               std::strcmp(r.DestSubnetMask, e.DestSubnetMask) == 0 &&
               std::strcmp(r.GatewayIPAddress, e.GatewayIPAddress) == 0 && std::strcmp(r.Interface, e.Interface) == 0;
    }
    static void to_rec(const Entry &e, Rec *r)
    {
        copy_truncated(r->DestIPAddress, e.DestIPAddress);
        copy_truncated(r->DestSubnetMask, e.DestSubnetMask);
        copy_truncated(r->GatewayIPAddress, e.GatewayIPAddress);
        copy_truncated(r->Interface, e.Interface);
    }
    static void to_info(const Rec &r, Info *i)
    {
        copy_truncated(i->DestIPAddress, r.DestIPAddress);
        copy_truncated(i->DestSubnetMask, r.DestSubnetMask);
        copy_truncated(i->GatewayIPAddress, r.GatewayIPAddress);
        copy_truncated(i->Interface, r.Interface);
    }
};

struct V6 {
    using Rec = ccif_Layer3ForwardingIPv6Config_t;
    using Info = api_IPv6Layer3ForwardingInfo_t;
    using Entry = api_IPv6Layer3ForwardingEntry_t;
    static constexpr const char *kName = "IPv6";
    static constexpr const char *kKind = "Layer3ForwardingIPv6Config";
    static constexpr const char *kIface = "com.yvc.igd1.Layer3ForwardingIPv6Config";
    static constexpr const char *kCollection = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config";
    static int list(Rec **r, int *n) { return ccif_Layer3ForwardingIPv6Config_get_objs(r, n); }
    static int get(const char *path, Rec *r) { return ccif_Layer3ForwardingIPv6Config_get(path, r); }
    static int add(Rec *r) { return ccif_Layer3ForwardingIPv6Config_add_obj(r); }
    static int set(Rec *r) { return ccif_Layer3ForwardingIPv6Config_set(r); }
    static int del(const char *path) { return ccif_Layer3ForwardingIPv6Config_del_obj(path); }
    static bool same(const Rec &r, const Entry &e)
    {
        return std::strcmp(r.DestIPPrefix, e.DestIPPrefix) == 0 && std::strcmp(r.NextHop, e.NextHop) == 0 &&
               std::strcmp(r.Interface, e.Interface) == 0;
    }
    static void to_rec(const Entry &e, Rec *r)
    {
        copy_truncated(r->DestIPPrefix, e.DestIPPrefix);
        copy_truncated(r->NextHop, e.NextHop);
        copy_truncated(r->Interface, e.Interface);
    }
    static void to_info(const Rec &r, Info *i)
    {
        copy_truncated(i->DestIPPrefix, r.DestIPPrefix);
        copy_truncated(i->NextHop, r.NextHop);
        copy_truncated(i->Interface, r.Interface);
    }
};

// Route selection of a listing; any other value keeps every route.
enum Filter : uint32_t { kStatic = 1, kOther = 2, kInForce = 3 };

template <typename T> bool keeps(uint32_t filter, const typename T::Rec &r)
{
    switch (filter) {
    case kStatic:
        return r.StaticRoute;
    case kOther:
        return !r.StaticRoute;
    case kInForce:
        return r.Enable && std::strcmp(r.Status, "Enabled") == 0;
    default:
        return true;
    }
}

// The routes the filter keeps, in list order; `none` names what was looked for in the empty-result line.
template <typename T>
int get_routes(const char *func, uint32_t filter, const char *none, typename T::Info **info, int *count)
{
    return gwapi::guarded(func, [&]() -> int {
        if (!info || !count)
            return -1;
        *info = nullptr;
        *count = 0;
        List<typename T::Rec> routes;
        if (gwapi::list(T::list, routes) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, T::kKind);
            return -1;
        }
        int n = 0;
        for (const auto &r : routes)
            n += keeps<T>(filter, r) ? 1 : 0;
        if (n == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) Layer3Forwarding not %s.", func, none);
            return 0;
        }
        auto *out = g_new0(typename T::Info, n);
        int k = 0;
        for (const auto &r : routes) {
            if (!keeps<T>(filter, r))
                continue;
            typename T::Info &o = out[k++];
            o.Index = index_from_path(func, r.path);
            o.Enable = r.Enable ? 1 : 0;
            copy_truncated(o.Status, r.Status);
            o.StaticRoute = r.StaticRoute ? 1 : 0;
            copy_truncated(o.Type, r.Type);
            T::to_info(r, &o);
        }
        *info = out;
        *count = n;
        return 0;
    });
}

// The index of the equal static route (switched on if it was off) or of the new route; -1.
template <typename T> int add_route(const char *func, const typename T::Entry *entry)
{
    return gwapi::guarded(func, [&]() -> int {
        if (!entry)
            return -1;
        List<typename T::Rec> routes;
        if (gwapi::list(T::list, routes) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get %s objects failed.", func, T::kKind);
            return -1;
        }
        for (const auto &r : routes) {
            if (!r.StaticRoute || !T::same(r, *entry))
                continue;
            if (!r.Enable &&
                g_hgu_SetProperty(HGU_BUS_NAME, r.path, T::kIface, "Enable", g_variant_new_boolean(TRUE)) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) %s StaticRoute exist, but set enable failed", func, T::kName);
                return -1;
            }
            GWLOG(LOG_LVL_NOTICE, "(%s) %s StaticRoute found, do not add.", func, T::kName);
            return static_cast<int>(index_from_path(func, r.path));
        }
        GWLOG(LOG_LVL_NOTICE, "(%s) %s StaticRoute not found, can add.", func, T::kName);
        typename T::Rec rec{};
        rec.Enable = entry->Enable ? TRUE : FALSE;
        T::to_rec(*entry, &rec);
        if (T::add(&rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) add %s failed.", func, T::kKind);
            return -1;
        }
        uint32_t index = 0;
        if (!gwapi::path_index(rec.path, &index) || index == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get new Layer3Forwarding index is failed.", func);
            return -1;
        }
        return static_cast<int>(index);
    });
}

// Index 0 adds. Otherwise the route with that index is overwritten, or, when it cannot be read, the
// entry is added as a new route. Returns the index of the route written, which is what callers answer
// with, and which differs from the one asked for when a new route was made; -1.
template <typename T> int set_route(const char *func, uint32_t index, const typename T::Entry *entry)
{
    if (index == 0)
        return add_route<T>(func, entry);
    return gwapi::guarded(func, [&]() -> int {
        if (!entry)
            return -1;
        const std::string path = instance_path(T::kCollection, index);
        typename T::Rec current{};
        // Routes the gateway made itself are not ours to rewrite.
        if (T::get(path.c_str(), &current) == 0 && !current.StaticRoute) {
            GWLOG(LOG_LVL_NOTICE, "(%s) %s.%u is not a static route.", func, T::kKind, index);
            return -1;
        }
        typename T::Rec rec{};
        copy_truncated(rec.path, path.c_str());
        rec.Enable = entry->Enable ? TRUE : FALSE;
        T::to_rec(*entry, &rec);
        uint32_t written = 0;
        if (T::set(&rec) < 0 || !gwapi::path_index(rec.path, &written) || written == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", func, T::kKind);
            return -1;
        }
        return static_cast<int>(written);
    });
}

// Only a static route is deleted: -1 for index 0, an unreadable route or one that is not static.
template <typename T> int delete_route(const char *func, uint32_t index)
{
    return gwapi::guarded(func, [&]() -> int {
        if (index == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) %s index 0 is invalide.", func, T::kKind);
            return -1;
        }
        const std::string path = instance_path(T::kCollection, index);
        typename T::Rec rec{};
        if (T::get(path.c_str(), &rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get %s.%u failed.", func, T::kKind, index);
            return -1;
        }
        // Routes the gateway made itself are not ours to remove.
        if (!rec.StaticRoute) {
            GWLOG(LOG_LVL_NOTICE, "(%s) %s.%u is not a static route.", func, T::kKind, index);
            return -1;
        }
        if (T::del(path.c_str()) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) delete %s.%u failed.", func, T::kKind, index);
            return -1;
        }
        return 0;
    });
}

}  // namespace l3
}  // namespace gwapi

#endif
