// Firewall NetworkAcceleration instances, keyed by Name.
#include "firewall_family.hpp"

using gwapi::NetworkAccelerationFamily;

extern "C" {

int api_addFirewallNetworkAcceleration(const api_FirewallNetworkAcceleration_t *entry)
{
    API_ENTER();
    return NetworkAccelerationFamily::add(__func__, entry);
}

int api_deleteFirewallNetworkAcceleration(const char *name)
{
    API_ENTER();
    return NetworkAccelerationFamily::del(__func__, name);
}

int api_getFirewallNetworkAcceleration(api_FirewallNetworkAcceleration_t **list, int *count)
{
    API_ENTER();
    return NetworkAccelerationFamily::get(__func__, list, count);
}

int api_releaseFirewallNetworkAcceleration(api_FirewallNetworkAcceleration_t *list, int /*count*/)
{
    return NetworkAccelerationFamily::release(list);
}

}  // extern "C"
