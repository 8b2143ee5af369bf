// The firewall L2TPVPN profile: its entry counts and the status of its profiles.
#include "firewall_family.hpp"

using gwapi::L2TPVPNFamily;

extern "C" {

int api_getFirewallL2TPVPNProfile(api_FirewallProfile_t *profile)
{
    API_ENTER();
    return L2TPVPNFamily::profile(__func__, profile);
}

int api_getFirewallL2TPVPNProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    if (gwapi::empty(name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Name can not be NULL.", __func__);
        return -1;
    }
    return L2TPVPNFamily::profile_status(__func__, name, list, count);
}

int api_releaseFirewallL2TPVPNProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return L2TPVPNFamily::release_status(list, count);
}

int api_getFirewallL2TPVPNAllProfileStatus(api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    return L2TPVPNFamily::profile_status(__func__, "", list, count);
}

int api_releaseFirewallL2TPVPNAllProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return L2TPVPNFamily::release_status(list, count);
}

}  // extern "C"
