// IPv6 LAN side: the DHCPv6 server, the LAN address and prefix configuration, router advertisements.
#include "api_common.hpp"
#include "gwbus/api.h"

namespace {

// A lifetime the address cannot keep: preferred longer than valid.
bool lifetimes_valid(const char *func, uint32_t preferred, uint32_t valid)
{
    if (preferred <= valid)
        return true;
    GWLOG(LOG_LVL_NOTICE, "(%s) PreferredLifeTime %u is longer than ValidLifeTime %u.", func, preferred, valid);
    return false;
}

template <typename R> int read(const char *func, const char *what, int (*get)(R *), R *out)
{
    if (!out)
        return -1;
    R rec{};
    if (get(&rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", func, what);
        return -1;
    }
    *out = rec;
    return 0;
}

template <typename R> int write(const char *func, const char *what, int (*set)(const R *), const R *in)
{
    if (set(in) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", func, what);
        return -1;
    }
    return 0;
}

}  // namespace

extern "C" {

int api_getDHCPv6Server(api_DHCPv6Server_t *info)
{
    API_ENTER();
    return read(__func__, "DHCPv6Server", ccif_DHCPv6Server_get, info);
}

int api_setDHCPv6Server(const api_DHCPv6Server_t *info)
{
    API_ENTER();
    if (!info || !lifetimes_valid(__func__, info->PreferredLifeTime, info->ValidLifeTime))
        return -1;
    return write(__func__, "DHCPv6Server", ccif_DHCPv6Server_set, info);
}

int api_getIPv6LANConfig(api_IPv6LANConfig_t *info)
{
    API_ENTER();
    return read(__func__, "IPv6LANConfig", ccif_IPv6LANConfig_get, info);
}

int api_setIPv6LANConfig(const api_IPv6LANConfig_t *info)
{
    API_ENTER();
    if (!info || !lifetimes_valid(__func__, info->PreferredLifeTime, info->ValidLifeTime))
        return -1;
    return write(__func__, "IPv6LANConfig", ccif_IPv6LANConfig_set, info);
}

int api_getRouterAdvertisement(api_RouterAdvertisement_t *info)
{
    API_ENTER();
    return read(__func__, "RouterAdvertisement", ccif_RouterAdvertisement_get, info);
}

int api_setRouterAdvertisement(const api_RouterAdvertisement_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    if (info->MinRtrAdvInterval >= info->MaxRtrAdvInterval) {
        GWLOG(LOG_LVL_NOTICE, "(%s) MinRtrAdvInterval %u is not below MaxRtrAdvInterval %u.", __func__,
              info->MinRtrAdvInterval, info->MaxRtrAdvInterval);
        return -1;
    }
    return write(__func__, "RouterAdvertisement", ccif_RouterAdvertisement_set, info);
}

}  // extern "C"
