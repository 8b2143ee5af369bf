// VLAN binding of the WAN connections, and Layer-3 forwarding routes (IPv4 and IPv6 written once).
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

using gwapi::List;

namespace {

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

enum class Which { Static, Current };

template <typename T>
bool keeps(Which which, const typename T::Rec &r)
{
    if (which == Which::Static)
        return r.StaticRoute;
    return r.Enable && std::strcmp(r.Status, "Enabled") == 0;
}

template <typename T>
uint32_t route_index(const char *func, const char *path)
{
    uint32_t index = 0;
    if (!gwapi::path_index(path, &index))
        GWLOG(6, "(%s) %s is invalide path", func, path);
    return index;
}

template <typename T>
int get_routes(const char *func, Which which, typename T::Info **info, int *count)
{
    return gwapi::guarded(func, [&]() -> int {
        if (!info || !count)
            return -1;
        *info = nullptr;
        *count = 0;
        List<typename T::Rec> routes;
        if (gwapi::list(T::list, routes) != 0) {
            GWLOG(5, "(%s) get %s objects failed.", func, T::kKind);
            return -1;
        }
        int n = 0;
        for (const auto &r : routes)
            n += keeps<T>(which, r) ? 1 : 0;
        if (n == 0) {
            GWLOG(5, "(%s) Layer3Forwarding not %s.", func, which == Which::Static ? "staticRoute" : "current");
            return 0;
        }
        auto *out = g_new0(typename T::Info, n);
        int k = 0;
        for (const auto &r : routes) {
            if (!keeps<T>(which, r))
                continue;
            typename T::Info &o = out[k++];
            o.Index = route_index<T>(func, r.path);
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

template <typename T>
int add_route(const char *func, const typename T::Entry *entry)
{
    return gwapi::guarded(func, [&]() -> int {
        if (!entry)
            return -1;
        List<typename T::Rec> routes;
        if (gwapi::list(T::list, routes) != 0) {
            GWLOG(5, "(%s) get %s objects failed.", func, T::kKind);
            return -1;
        }
        for (const auto &r : routes) {
            if (!r.StaticRoute || !T::same(r, *entry))
                continue;
            if (!r.Enable && g_hgu_SetProperty(HGU_BUS_NAME, r.path, T::kIface, "Enable",
                                               g_variant_new_boolean(TRUE)) != 0) {
                GWLOG(5, "(%s) %s StaticRoute exist, but set enable failed", func, T::kName);
                return -1;
            }
            GWLOG(5, "(%s) %s StaticRoute found, do not add.", func, T::kName);
            return static_cast<int>(route_index<T>(func, r.path));
        }
        GWLOG(5, "(%s) %s StaticRoute not found, can add.", func, T::kName);
        typename T::Rec rec{};
        rec.Enable = entry->Enable ? TRUE : FALSE;
        T::to_rec(*entry, &rec);
        if (T::add(&rec) != 0) {
            GWLOG(5, "(%s) add %s failed.", func, T::kKind);
            return -1;
        }
        uint32_t index = 0;
        if (!gwapi::path_index(rec.path, &index) || index == 0) {
            GWLOG(5, "(%s) get new Layer3Forwarding index is failed.", func);
            return -1;
        }
        return static_cast<int>(index);
    });
}

template <typename T>
int delete_route(const char *func, uint32_t index)
{
    if (index == 0) {
        GWLOG(5, "(%s) %s index 0 is invalide.", func, T::kKind);
        return -1;
    }
    const std::string path = std::string(T::kCollection) + "/" + std::to_string(index);
    typename T::Rec rec{};
    if (T::get(path.c_str(), &rec) != 0) {
        GWLOG(5, "(%s) get %s.%u failed.", func, T::kKind, index);
        return -1;
    }
    // Routes the gateway made itself are not ours to remove.
    if (!rec.StaticRoute) {
        GWLOG(5, "(%s) %s.%u is not a static route.", func, T::kKind, index);
        return -1;
    }
    if (T::del(path.c_str()) != 0) {
        GWLOG(5, "(%s) delete %s.%u failed.", func, T::kKind, index);
        return -1;
    }
    return 0;
}

template <typename I>
int release(I *info)
{
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

}  // namespace

extern "C" {

int api_getVLANBindInfo(api_VLANBindInfo_t **info, int *count)
{
    API_ENTER();
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        if (!info || !count)
            return -1;
        *info = nullptr;
        *count = 0;
        List<ccif_WANConnectionInfo_t> wans;
        if (gwapi::list(ccif_WANConnectionInfo_get_objs, wans) != 0) {
            GWLOG(5, "(%s) get WANConnectionInfo objects failed.", fn);
            return -1;
        }
        if (wans.count == 0) {
            GWLOG(5, "(%s) WANConnectionInfo objects is 0, wan not exist.", fn);
            return 0;
        }
        auto *out = g_new0(api_VLANBindInfo_t, wans.count);
        int k = 0;
        for (const auto &w : wans) {
            api_VLANBindInfo_t &o = out[k++];
            char *end = nullptr;
            const unsigned long idx = std::strtoul(w.Index, &end, 10);
            if (w.Index[0] == '\0' || *end != '\0' || idx > UINT32_MAX)
                GWLOG(6, "(%s) %s Index %s is not a number.", fn, w.path, w.Index);
            else
                o.Index = static_cast<uint32_t>(idx);
            copy_truncated(o.WANName, w.WANName);
            copy_truncated(o.IfName, w.IfName);
            copy_truncated(o.ServiceList, w.ServiceList);
            copy_truncated(o.LanInterface, w.LanInterface);
            o.VLANMode = w.VLANMode;
            o.VLANID = w.VLANID;
            o.VLAN8021P = w.VLAN8021P;
            o.MulticastVlan = w.MulticastVlan;
        }
        *info = out;
        *count = wans.count;
        return 0;
    });
}

int api_releaseVLANBindInfo(api_VLANBindInfo_t *info, int /*count*/)
{
    return release(info);
}

int api_getLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V4>(__func__, Which::Static, info, count);
}

int api_releaseLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release(info);
}

int api_getLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V4>(__func__, Which::Current, info, count);
}

int api_releaseLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release(info);
}

int api_addLayer3ForwardingStatic(const api_Layer3ForwardingEntry_t *entry)
{
    API_ENTER();
    return add_route<V4>(__func__, entry);
}

int api_deleteLayer3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return delete_route<V4>(__func__, index);
}

int api_getIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V6>(__func__, Which::Static, info, count);
}

int api_releaseIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release(info);
}

int api_getIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V6>(__func__, Which::Current, info, count);
}

int api_releaseIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release(info);
}

int api_addIPv6Layer3ForwardingStatic(const api_IPv6Layer3ForwardingEntry_t *entry)
{
    API_ENTER();
    return add_route<V6>(__func__, entry);
}

int api_deleteIPv6Layer3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return delete_route<V6>(__func__, index);
}

}  // extern "C"
