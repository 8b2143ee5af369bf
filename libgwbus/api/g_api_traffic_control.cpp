// Firewall TrafficControl instances, keyed by Name.
#include "firewall_family.hpp"

using gwapi::TrafficControlFamily;

extern "C" {

int api_addFirewallTrafficControl(const api_FirewallTrafficControl_t *entry)
{
    API_ENTER();
    return TrafficControlFamily::add(__func__, entry);
}

int api_deleteFirewallTrafficControl(const char *name)
{
    API_ENTER();
    return TrafficControlFamily::del(__func__, name);
}

int api_getFirewallTrafficControl(api_FirewallTrafficControl_t **list, int *count)
{
    API_ENTER();
    return TrafficControlFamily::get(__func__, list, count);
}

int api_releaseFirewallTrafficControl(api_FirewallTrafficControl_t *list, int /*count*/)
{
    return TrafficControlFamily::release(list);
}

}  // extern "C"
