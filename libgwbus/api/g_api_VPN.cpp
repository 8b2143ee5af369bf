// The VPN switch and type, and the traffic history records the tunnel families hand out.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/strutil.h"

extern "C" {

int api_getVPN(api_VPNInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    ccif_VPN_t vpn{};
    if (ccif_VPN_get(&vpn) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VPN failed.", __func__);
        return -1;
    }
    *info = vpn;
    return 0;
}

int api_setVPN(uint32_t enable, const char *vpn_type)
{
    API_ENTER();
    if (enable > 1 || !vpn_type) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Enable %u or VPNType is invalide.", __func__, enable);
        return -1;
    }
    ccif_VPN_t vpn{};
    vpn.Enable = enable ? TRUE : FALSE;
    copy_truncated(vpn.VPNType, vpn_type);
    if (ccif_VPN_set(&vpn) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set VPN failed.", __func__);
        return -1;
    }
    return 0;
}

int api_releaseVpnHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count)
{
    if (!traffic)
        return -1;
    for (int i = 0; i < count; ++i)
        g_hgu_freeStrList(traffic[i].History);
    g_free(traffic);
    return 0;
}

}  // extern "C"
