// Voice server and voice lines.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/strutil.h"

extern "C" {

int api_getVoIPServerInfo(api_VoIPServerInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_VoIPServer_t s{};
    if (ccif_VoIPServer_get(&s) != 0) {
        GWLOG(5, "(%s) get VoIPServer failed.", __func__);
        return -1;
    }
    *info = s;
    return 0;
}

int api_getVoIPInfo(api_VoIPInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_VoIPInfo_t> lines;
    if (gwapi::list(ccif_VoIPInfo_get_objs, lines) != 0) {
        GWLOG(5, "(%s) get VoIPInfo objects failed.", __func__);
        return -1;
    }
    if (lines.count == 0)
        return 0;
    auto *out = g_new0(api_VoIPInfo_t, lines.count);
    int i = 0;
    for (const auto &l : lines) {
        api_VoIPInfo_t &o = out[i++];
        if (!gwapi::path_index(l.path, &o.Index))
            GWLOG(6, "(%s) VoIPInfo path %s has no index.", __func__, l.path);
        copy_truncated(o.Username, l.PhoneNumber);
        copy_truncated(o.PasswordIndicator, l.PasswordIndicator);
        copy_truncated(o.Status, l.LineStatus);
    }
    *info = out;
    *count = lines.count;
    return 0;
}

int api_releaseVoIPInfo(api_VoIPInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

}  // extern "C"
