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
        GWLOG(LOG_LVL_NOTICE, "(%s) get LanOpticInfo failed.", __func__);
        return -1;
    }
    *info = optic;
    return 0;
}

}  // extern "C"

namespace {

// 0 on an FTTO master, -21 elsewhere, -1 when the type cannot be read.
int master_only(const char *func)
{
    const int is = check_is_ftto();
    if (is < 0)
        return -1;
    if (is == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) API only support FTTO Master device.", func);
        return -21;
    }
    return 0;
}

int count_out(const char *func, int *num, int (*getter)(void))
{
    if (!num)
        return -1;
    if (const int rc = master_only(func))
        return rc;
    const int v = getter();
    if (v < 0)
        return -1;
    *num = v;
    return 0;
}

}  // namespace

extern "C" {

int api_getFTTOSlaveAllInfo(api_FTTOSlaveInfo_t **slaves, int *count)
{
    API_ENTER();
    if (!slaves || !count)
        return -1;
    *slaves = nullptr;
    *count = 0;
    if (const int rc = master_only(__func__))
        return rc;
    return g_api_getFTTOSlaveAllInfo(slaves, count);
}

int api_releaseFTTOSlaveAllInfo(api_FTTOSlaveInfo_t *slaves, int count)
{
    (void)count;
    if (!slaves)
        return -1;
    g_free(slaves);
    return 0;
}

int api_getAllowSlaveNum(int *num)
{
    API_ENTER();
    return count_out(__func__, num, getAllowSlaveNum);
}

int api_getSlaveNum(int *num)
{
    API_ENTER();
    return count_out(__func__, num, getSlaveNum);
}

int api_getSlaveOnlineNum(int *num)
{
    API_ENTER();
    return count_out(__func__, num, getSlaveOnlineNum);
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
