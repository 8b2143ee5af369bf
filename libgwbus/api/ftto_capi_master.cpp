// FTTO master data.
#include "api_common.hpp"
#include "ftto_comm_api.hpp"
#include "gwbus/api.h"

extern "C" {

int api_getFTTOMasterLanOpticInfo(api_FTTOLanOpticInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_FTTO_LanOpticInfo_t optic{};
    if (ccif_FTTO_LanOpticInfo_get(&optic) != 0) {
        GWLOG(5, "(%s) get LanOpticInfo failed.", __func__);
        return -1;
    }
    *info = optic;
    return 0;
}

}  // extern "C"

extern "C" {

int api_getFTTOMasterNTI(api_FTTONTI_t *nti)
{
    API_ENTER();
    if (!nti)
        return -1;
    *nti = api_FTTONTI_t{};
    if (gwapi::ftto_self(__func__, nti) != 0 || gwapi::ftto_slaves(__func__, nti) != 0) {
        gwapi::ftto_release(nti);
        return -1;
    }
    return 0;
}

int api_releaseFTTOMasterNTI(api_FTTONTI_t *nti)
{
    if (!nti)
        return -1;
    gwapi::ftto_release(nti);
    return 0;
}

}  // extern "C"
