// WAN connections.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"

extern "C" {

int api_getWANIfList(api_WANIfInfo_t **list, int *count)
{
    API_ENTER();
    if (!list || !count)
        return -1;
    *list = nullptr;
    *count = 0;
    gwapi::List<ccif_WANConnectionInfo_t> wans;
    if (gwapi::list(ccif_WANConnectionInfo_get_objs, wans) != 0) {
        GWLOG(5, "(%s) get WANConnectionInfo objects failed.", __func__);
        return -1;
    }
    *count = wans.count;
    *list = wans.items.release();
    return 0;
}

int api_releaseWANIfList(api_WANIfInfo_t *list, int count)
{
    (void)count;
    if (!list)
        return -1;
    g_free(list);
    return 0;
}

int api_getInternetWANIndex(uint32_t *index)
{
    API_ENTER();
    if (!index)
        return -1;
    char path[CCIF_PATH_SIZE] = "";
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetInternetConnIndex(path, sizeof path, &status, &errmsg);
    if (rc != 0 || status != 0 || !path[0]) {
        GWLOG(5, "(%s) GetInternetConnIndex failed, %d,%d : %s", __func__, rc, status, errmsg ? errmsg : "");
        g_free(errmsg);
        return -1;
    }
    ccif_WANConnectionInfo_t wan{};
    if (ccif_WANConnectionInfo_get(path, &wan) != 0) {
        GWLOG(5, "(%s) get %s failed.", __func__, path);
        return -1;
    }
    char *end = nullptr;
    const unsigned long v = std::strtoul(wan.Index, &end, 10);
    if (!wan.Index[0] || *end != '\0' || v > UINT32_MAX) {
        GWLOG(5, "(%s) Index [%s] of %s is not a number.", __func__, wan.Index, path);
        return -1;
    }
    *index = static_cast<uint32_t>(v);
    return 0;
}

}  // extern "C"
