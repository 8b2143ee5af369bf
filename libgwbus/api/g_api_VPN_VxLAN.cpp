// VxLAN tunnels below /com/yvc/igd1/VPN/VxLAN and their traffic history.
#include <string>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"
#include "hgu_vpn_comm.hpp"

namespace {

constexpr const char *kVxLAN = "/com/yvc/igd1/VPN/VxLAN";

std::string tunnel_path(uint32_t index) { return gwapi::instance_path(kVxLAN, index); }

const gwapi::HistorySource kHistory = {kVxLAN, "VPNVxLAN", "GetVxLANVPNHistoryTraffic", ccif_GetVxLANVPNHistoryTraffic};

}  // namespace

extern "C" {

int api_getVPNVxLANAll(api_VPNVxLANInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::vpn_get_all(__func__, "VPNVxLAN", ccif_VPNVxLAN_get_objs, list, count);
}

int api_releaseVPNVxLANAll(api_VPNVxLANInfo_t *list, int /*count*/) { return gwapi::release_block(list); }

int api_getVPNVxLAN(uint32_t index, api_VPNVxLANInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) VxLAN index %u is invalide.", __func__, index);
        return -1;
    }
    const std::string path = tunnel_path(index);
    api_VPNVxLANInfo_t rec{};
    if (ccif_VPNVxLAN_get(path.c_str(), &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path.c_str());
        return -1;
    }
    copy_truncated(rec.path, path.c_str());
    rec.Index = index;
    *info = rec;
    return 0;
}

int api_setVPNVxLAN(uint32_t index, const api_VPNVxLANInfo_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    api_VPNVxLANInfo_t rec = *entry;
    rec.Index = index;
    rec.path[0] = '\0';
    char label[32];
    std::snprintf(label, sizeof label, "VxLAN.%u", index);
    if (ccif_VPNVxLAN_set(label, &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set VxLAN.%u failed.", __func__, index);
        return -1;
    }
    uint32_t written = 0;
    if (!gwapi::path_index(rec.path, &written) || written == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VxLAN index from %s failed.", __func__, rec.path);
        return -1;
    }
    return static_cast<int>(written);
}

int api_deleteVPNVxLAN(uint32_t index)
{
    API_ENTER();
    if (index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) VxLAN index 0 is invalide.", __func__);
        return -1;
    }
    const std::string path = tunnel_path(index);
    if (ccif_VPNVxLAN_rm_obj(path.c_str()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) delete %s failed.", __func__, path.c_str());
        return -1;
    }
    return 0;
}

int api_clearVPNVxLAN(void)
{
    API_ENTER();
    if (ccif_VPNVxLAN_clear() != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s failed.", __func__, kVxLAN);
        return -1;
    }
    return 0;
}

int api_getVxLANVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                  int *count)
{
    API_ENTER();
    return gwapi::history_traffic(__func__, kHistory, ccif_VPNVxLAN_get_objs, index, start, num, traffic, count);
}

int api_releaseVxLANVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count)
{
    return api_releaseVpnHistoryTraffic(traffic, count);
}

}  // extern "C"
