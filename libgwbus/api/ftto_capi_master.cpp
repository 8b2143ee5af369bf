// FTTO master data.
#include "api_common.hpp"
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
