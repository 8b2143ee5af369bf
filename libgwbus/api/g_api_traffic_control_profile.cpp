// The firewall TrafficControl profile: its entry counts and the status of its profiles.
#include "firewall_family.hpp"

using gwapi::TrafficControlFamily;

extern "C" {

int api_getTrafficControlProfile(api_FirewallProfile_t *profile)
{
    API_ENTER();
    return TrafficControlFamily::profile(__func__, profile);
}

int api_getTrafficControlProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    if (gwapi::empty(name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Name can not be NULL.", __func__);
        return -1;
    }
    return TrafficControlFamily::profile_status(__func__, name, list, count);
}

int api_releaseTrafficControlProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return TrafficControlFamily::release_status(list, count);
}

int api_getTrafficControlAllProfileStatus(api_FirewallProfileStatus_t **list, int *count)
{
    API_ENTER();
    return TrafficControlFamily::profile_status(__func__, "", list, count);
}

int api_releaseTrafficControlAllProfileStatus(api_FirewallProfileStatus_t *list, int count)
{
    return TrafficControlFamily::release_status(list, count);
}

}  // extern "C"
