// Voice server, voice lines, telephone ports and call events.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

extern "C" {

int api_getVoIPServerInfo(api_VoIPServerInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_VoIPServer_t s{};
    if (ccif_VoIPServer_get(&s) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VoIPServer failed.", __func__);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) get VoIPInfo objects failed.", __func__);
        return -1;
    }
    if (lines.count == 0)
        return 0;
    auto *out = g_new0(api_VoIPInfo_t, lines.count);
    int i = 0;
    for (const auto &l : lines) {
        api_VoIPInfo_t &o = out[i++];
        if (!gwapi::path_index(l.path, &o.Index))
            GWLOG(LOG_LVL_INFO, "(%s) VoIPInfo path %s has no index.", __func__, l.path);
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

// ---- telephone ports and call events ----------------------------------------------------------------

namespace {

// Telephone ports: the count, -1 when it cannot be read.
int pots_count(const char *func)
{
    const int n = getDevicePOTSNum();
    if (n < 0)
        GWLOG(LOG_LVL_NOTICE, "(%s) get POTSNum failed.", func);
    return n;
}

}  // namespace

extern "C" {

int api_getPOTSInfo(api_POTSInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    const int ports = pots_count(__func__);
    if (ports < 0)
        return -1;
    if (ports == 0)
        return 0;
    gwapi::List<ccif_VoIPInfo_t> lines;
    if (gwapi::list(ccif_VoIPInfo_get_objs, lines) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VoIPInfo objects failed.", __func__);
        return -1;
    }
    auto *out = g_new0(api_POTSInfo_t, ports);
    for (int p = 0; p < ports; ++p) {
        api_POTSInfo_t &o = out[p];
        o.Index = static_cast<uint32_t>(p + 1);
        for (const auto &l : lines) {
            uint32_t index = 0;
            if (gwapi::path_index(l.path, &index) && index == o.Index) {
                copy_truncated(o.PhoneNumber, l.PhoneNumber);
                copy_truncated(o.LineStatus, l.LineStatus);
                break;
            }
        }
    }
    *info = out;
    *count = ports;
    return 0;
}

int api_releasePOTSInfo(api_POTSInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

long api_subscribeVoIPEvent(const char *event, h_dbus_signal_cb callback)
{
    API_ENTER();
    const int ports = pots_count(__func__);
    if (ports < 0)
        return -1;
    if (ports == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) device has no POTS.", __func__);
        return -52;
    }
    if (event && *event && std::strcmp(event, "NOTIFY_VOICE_CALL_INFO") != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) event error.", __func__);
        return -1;
    }
    if (!callback) {
        GWLOG(LOG_LVL_NOTICE, "(%s) callback is null.", __func__);
        return -1;
    }
    const long id =
        h_dbus_SubscribeSignal(nullptr, nullptr, "com.yvc.igd1.VoIPInfo", "NotifyVoiceCallInfo", callback, nullptr);
    if (id <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe NotifyVoiceCallInfo failed.", __func__);
        return -1;
    }
    return id;
}

int api_unSubscribeVoIPEvent(long id)
{
    API_ENTER();
    if (id <= 0 || id > static_cast<long>(UINT32_MAX)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) SubID %ld is wrong.", __func__, id);
        return -1;
    }
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
    return 0;
}

}  // extern "C"
