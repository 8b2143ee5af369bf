// The firewall NetworkAcceleration profile: its entry counts and the status of its profiles.
#include "firewall_family.hpp"

using gwapi::NetworkAccelerationFamily;

extern "C" {

int api_getNetworkAccelerationProfile(api_FirewallProfile_t *profile)
{
    API_ENTER();
    return NetworkAccelerationFamily::profile(__func__, profile);
}

int api_getNetworkAccelerationProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    if (gwapi::empty(name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Name can not be NULL.", __func__);
        return -1;
    }
    return NetworkAccelerationFamily::profile_status(__func__, name, list, count);
}

int api_releaseNetworkAccelerationProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return NetworkAccelerationFamily::release_status(list, count);
}

int api_getNetworkAccelerationAllProfileStatus(api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    return NetworkAccelerationFamily::profile_status(__func__, "", list, count);
}

int api_releaseNetworkAccelerationAllProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return NetworkAccelerationFamily::release_status(list, count);
}

}  // extern "C"
