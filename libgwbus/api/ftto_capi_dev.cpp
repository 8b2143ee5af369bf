// FTTO device view: this device and the slaves it reports, on any device type.
#include "api_common.hpp"
#include "ftto_comm_api.hpp"
#include "gwbus/api.h"

extern "C" {

int api_getFTTODevNTI(api_FTTONTI_t *nti)
{
    API_ENTER();
    if (!nti)
        return -1;
    *nti = api_FTTONTI_t{};
    if (gwapi::ftto_self(__func__, nti) != 0) {
        gwapi::ftto_release(nti);
        return -1;
    }
    // A device that is not a master has no slave manager: no slaves, not a failure (a failed
    // slave read leaves the record as it was).
    gwapi::ftto_slaves(__func__, nti);
    return 0;
}

int api_releaseFTTODevNTI(api_FTTONTI_t *nti)
{
    if (!nti)
        return -1;
    gwapi::ftto_release(nti);
    return 0;
}

}  // extern "C"
