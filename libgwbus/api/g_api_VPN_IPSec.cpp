// IPSec tunnels below /com/yvc/igd1/VPN/IPSec, their local and remote subnets, and their traffic history.
#include <cstdio>
#include <string>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"
#include "hgu_vpn_comm.hpp"

namespace {

constexpr const char *kIPSec = "/com/yvc/igd1/VPN/IPSec";

const gwapi::HistorySource kHistory = {kIPSec, "IPSec", "GetIPSecVPNHistoryTraffic", ccif_GetIPSecVPNHistoryTraffic};

}  // namespace

extern "C" {

int api_getVPNIPSecAll(api_VPNIPSecInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::vpn_get_all(__func__, "IPSec", ccif_IPSec_get_objs, list, count);
}

int api_releaseVPNIPSecAll(api_VPNIPSecInfo_t *list, int /*count*/) { return gwapi::release_block(list); }

int api_getVPNIPSec(uint32_t index, api_VPNIPSecInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSec index %u is invalide.", __func__, index);
        return -1;
    }
    const std::string path = gwapi::instance_path(kIPSec, index);
    api_VPNIPSecInfo_t rec{};
    if (ccif_IPSec_get(path.c_str(), &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path.c_str());
        return -1;
    }
    rec.Index = index;
    *info = rec;
    return 0;
}

int api_setIPSec(uint32_t index, const api_VPNIPSecInfo_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    api_VPNIPSecInfo_t rec = *entry;
    rec.Index = index;
    rec.path[0] = '\0';
    char label[32];
    std::snprintf(label, sizeof label, "IPSec.%u", index);
    if (ccif_IPSec_set(label, &rec) != 0) {
        if (index == 0)
            GWLOG(LOG_LVL_NOTICE, "Add ipset for %s fail!", label);
        else
            GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", __func__, label);
        return -1;
    }
    uint32_t written = 0;
    if (!gwapi::path_index(rec.path, &written) || written == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get IPSec index from %s failed.", __func__, rec.path);
        return -1;
    }
    return static_cast<int>(written);
}

int api_deleteIPSec(uint32_t index)
{
    API_ENTER();
    if (index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) IPSec index 0 is invalide.", __func__);
        return -1;
    }
    const std::string path = gwapi::instance_path(kIPSec, index);
    if (gwapi::vpn_obj_del(kIPSec, path.c_str()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) delete %s failed.", __func__, path.c_str());
        return -1;
    }
    return 0;
}

int api_clearIPSec(void)
{
    API_ENTER();
    if (gwapi::vpn_obj_clear(kIPSec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s failed.", __func__, kIPSec);
        return -1;
    }
    return 0;
}

int api_getIPSecLocalSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::subnets_get_all(__func__, gwapi::kIPSecLocalSubnets, index, list, count);
}

int api_releaseIPSecLocalSubnetsAll(api_VPNSubnetInfo_t *list, int /*count*/) { return gwapi::release_block(list); }

int api_setIPSecLocalSubnet(uint32_t index, const api_VPNSubnetEntry_t *entry)
{
    API_ENTER();
    return gwapi::subnets_set(__func__, gwapi::kIPSecLocalSubnets, index, entry);
}

int api_deleteIPSecLocalSubnets(uint32_t index, const char *address)
{
    API_ENTER();
    return gwapi::subnets_delete(__func__, gwapi::kIPSecLocalSubnets, index, address);
}

int api_clearIPSecLocalSubnets(uint32_t index)
{
    API_ENTER();
    return gwapi::subnets_clear(__func__, gwapi::kIPSecLocalSubnets, index);
}

int api_getIPSecReMoteSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::subnets_get_all(__func__, gwapi::kIPSecRemoteSubnets, index, list, count);
}

int api_releaseIPSecReMoteSubnetsAll(api_VPNSubnetInfo_t *list, int /*count*/) { return gwapi::release_block(list); }

int api_setIPSecRemoteSubnet(uint32_t index, const api_VPNSubnetEntry_t *entry)
{
    API_ENTER();
    return gwapi::subnets_set(__func__, gwapi::kIPSecRemoteSubnets, index, entry);
}

int api_deleteIPSecRemoteSubnets(uint32_t index, const char *address)
{
    API_ENTER();
    return gwapi::subnets_delete(__func__, gwapi::kIPSecRemoteSubnets, index, address);
}

int api_clearIPSecRemoteSubnets(uint32_t index)
{
    API_ENTER();
    return gwapi::subnets_clear(__func__, gwapi::kIPSecRemoteSubnets, index);
}

int api_getIPSecVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                  int *count)
{
    API_ENTER();
    return gwapi::history_traffic(__func__, kHistory, ccif_IPSec_get_objs, index, start, num, traffic, count);
}

int api_releaseIPSecVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count)
{
    return api_releaseVpnHistoryTraffic(traffic, count);
}

}  // extern "C"
