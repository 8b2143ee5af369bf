// VLAN binding of the WAN connections, and Layer-3 forwarding routes (IPv4 and IPv6 written once).
#include <string>
#include <vector>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/strutil.h"
#include "l3_forwarding.hpp"

using gwapi::List;

namespace {

using gwapi::release_block;
using gwapi::l3::V4;
using gwapi::l3::V6;

constexpr uint32_t kStatic = gwapi::l3::kStatic;
constexpr uint32_t kCurrent = gwapi::l3::kInForce;

template <typename T> int get_routes(const char *func, uint32_t filter, typename T::Info **info, int *count)
{
    return gwapi::l3::get_routes<T>(func, filter, filter == kStatic ? "staticRoute" : "current", info, count);
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
            GWLOG(LOG_LVL_NOTICE, "(%s) get WANConnectionInfo objects failed.", fn);
            return -1;
        }
        if (wans.count == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) WANConnectionInfo objects is 0, wan not exist.", fn);
            return 0;
        }
        auto *out = g_new0(api_VLANBindInfo_t, wans.count);
        int k = 0;
        for (const auto &w : wans) {
            api_VLANBindInfo_t &o = out[k++];
            char *end = nullptr;
            const unsigned long idx = std::strtoul(w.Index, &end, 10);
            if (w.Index[0] == '\0' || *end != '\0' || idx > UINT32_MAX)
                GWLOG(LOG_LVL_INFO, "(%s) %s Index %s is not a number.", fn, w.path, w.Index);
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

int api_releaseVLANBindInfo(api_VLANBindInfo_t *info, int /*count*/) { return release_block(info); }

int api_getLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V4>(__func__, kStatic, info, count);
}

int api_releaseLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release_block(info);
}

int api_getLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V4>(__func__, kCurrent, info, count);
}

int api_releaseLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t *info, int /*count*/) { return release_block(info); }

int api_addLayer3ForwardingStatic(const api_Layer3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::add_route<V4>(__func__, entry);
}

int api_deleteLayer3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return gwapi::l3::delete_route<V4>(__func__, index);
}

int api_getIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V6>(__func__, kStatic, info, count);
}

int api_releaseIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release_block(info);
}

int api_getIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return get_routes<V6>(__func__, kCurrent, info, count);
}

int api_releaseIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t *info, int /*count*/)
{
    return release_block(info);
}

int api_addIPv6Layer3ForwardingStatic(const api_IPv6Layer3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::add_route<V6>(__func__, entry);
}

int api_deleteIPv6Layer3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return gwapi::l3::delete_route<V6>(__func__, index);
}

}  // extern "C"
