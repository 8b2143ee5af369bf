// Static Layer-3 routes (IPv4 and IPv6): listing by type, add, set and delete.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "l3_forwarding.hpp"

using gwapi::release_block;
using gwapi::l3::V4;
using gwapi::l3::V6;

namespace {

// Every listing reports an empty result the same way, whatever type was asked for.
constexpr const char *kNone = "staticRoute";

}  // namespace

extern "C" {

int api_getL3ForwardingConfigInfoByType(uint32_t type, api_L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V4>(__func__, type, kNone, info, count);
}

int api_releaseL3ForwardingConfigInfo(api_L3ForwardingInfo_t *info, int /*count*/) { return release_block(info); }

int api_getL3ForwardingStaticConfigInfo(api_L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V4>(__func__, gwapi::l3::kStatic, kNone, info, count);
}

int api_releaseL3ForwardingStaticConfigInfo(api_L3ForwardingInfo_t *info, int /*count*/) { return release_block(info); }

int api_getL3ForwardingCurrent(api_L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V4>(__func__, gwapi::l3::kInForce, kNone, info, count);
}

int api_releaseL3ForwardingCurrent(api_L3ForwardingInfo_t *info, int /*count*/) { return release_block(info); }

int api_addL3ForwardingStatic(const api_L3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::add_route<V4>(__func__, entry);
}

int api_setL3ForwardingStatic(uint32_t index, const api_L3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::set_route<V4>(__func__, index, entry);
}

int api_deleteL3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return gwapi::l3::delete_route<V4>(__func__, index);
}

int api_getIPv6L3ForwardingConfigInfoByType(uint32_t type, api_IPv6L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V6>(__func__, type, kNone, info, count);
}

int api_releaseIPv6L3ForwardingConfigInfo(api_IPv6L3ForwardingInfo_t *info, int /*count*/)
{
    return release_block(info);
}

int api_getIPv6L3ForwardingStaticConfigInfo(api_IPv6L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V6>(__func__, gwapi::l3::kStatic, kNone, info, count);
}

int api_releaseIPv6L3ForwardingStaticConfigInfo(api_IPv6L3ForwardingInfo_t *info, int /*count*/)
{
    return release_block(info);
}

int api_getIPv6L3ForwardingCurrent(api_IPv6L3ForwardingInfo_t **info, int *count)
{
    API_ENTER();
    return gwapi::l3::get_routes<V6>(__func__, gwapi::l3::kInForce, kNone, info, count);
}

int api_releaseIPv6L3ForwardingCurrent(api_IPv6L3ForwardingInfo_t *info, int /*count*/) { return release_block(info); }

int api_addIPv6L3ForwardingStatic(const api_IPv6L3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::add_route<V6>(__func__, entry);
}

int api_setIPv6L3ForwardingStatic(uint32_t index, const api_IPv6L3ForwardingEntry_t *entry)
{
    API_ENTER();
    return gwapi::l3::set_route<V6>(__func__, index, entry);
}

int api_deleteIPv6L3ForwardingStatic(uint32_t index)
{
    API_ENTER();
    return gwapi::l3::delete_route<V6>(__func__, index);
}

}  // extern "C"
