// L2TP below /com/yvc/igd1/VPN/L2TP: the L2TP object, its clients with their remote subnets, the server
// with its accounts, and the clients' traffic history.
#include <cstdio>
#include <cstring>
#include <string>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"
#include "hgu_vpn_comm.hpp"

using gwapi::List;

namespace {

constexpr const char *kL2TP = "/com/yvc/igd1/VPN/L2TP";
constexpr const char *kClients = "/com/yvc/igd1/VPN/L2TP/1/Client";

const gwapi::HistorySource kHistory = {kClients, "VPN_L2TPClient", "GetL2TPVPNHistoryTraffic",
                                       ccif_GetL2TPVPNHistoryTraffic};

void to_client(const api_VPNL2TPClientEntry_t &e, ccif_VPN_L2TPClient_t *c)
{
    c->Enable = e.Enable ? TRUE : FALSE;
    copy_truncated(c->ServerIP, gwapi::fixed_text(e.ServerIP).c_str());
    c->ServerPort = e.ServerPort;
    copy_truncated(c->Name, gwapi::fixed_text(e.Name).c_str());
    c->EnableNAT = e.EnableNAT ? TRUE : FALSE;
    copy_truncated(c->UserName, gwapi::fixed_text(e.UserName).c_str());
    copy_truncated(c->Password, gwapi::fixed_text(e.Password).c_str());
    copy_truncated(c->WANInterface, gwapi::fixed_text(e.WANInterface).c_str());
}

}  // namespace

extern "C" {

// ---- the L2TP object ----------------------------------------------------------------------------------

int api_getVPNL2TP(uint32_t index, api_VPNL2TPInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) L2TP index %u is invalide.", __func__, index);
        return -1;
    }
    const std::string path = gwapi::instance_path(kL2TP, index);
    api_VPNL2TPInfo_t rec{};
    if (ccif_VPN_L2TP_get(path.c_str(), &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path.c_str());
        return -1;
    }
    rec.Index = index;
    *info = rec;
    return 0;
}

int api_setVPNL2TP(uint32_t index, const api_VPNL2TPEntry_t *entry)
{
    API_ENTER();
    if (!entry || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) L2TP index %u or entry is invalide.", __func__, index);
        return -1;
    }
    ccif_VPN_L2TP_t rec{};
    rec.Index = index;
    rec.Enable = entry->Enable ? TRUE : FALSE;
    copy_truncated(rec.L2TPType, gwapi::fixed_text(entry->L2TPType).c_str());
    char label[32];
    std::snprintf(label, sizeof label, "L2TP.%u", index);
    if (ccif_VPN_L2TP_set(label, &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set %s failed.", __func__, label);
        return -1;
    }
    return 0;
}

// ---- clients ------------------------------------------------------------------------------------------

int api_getVPNL2TPClientAll(api_VPNL2TPClientInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::vpn_get_all(__func__, "VPN_L2TPClient", ccif_VPN_L2TPClient_get_objs, list, count);
}

int api_releaseVPNL2TPClientAll(api_VPNL2TPClientInfo_t *list, int /*count*/) { return gwapi::release_block(list); }

int api_getVPNL2TPClient(uint32_t index, api_VPNL2TPClientInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) L2TP client index %u is invalide.", __func__, index);
        return -1;
    }
    const std::string path = gwapi::instance_path(kClients, index);
    api_VPNL2TPClientInfo_t rec{};
    if (ccif_VPNL2TPClient_get(path.c_str(), &rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path.c_str());
        return -1;
    }
    rec.Index = index;
    *info = rec;
    return 0;
}

int api_setVPNL2TPClient(uint32_t index, const api_VPNL2TPClientEntry_t *entry)
{
    API_ENTER();
    if (!entry)
        return -1;
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        ccif_VPN_L2TPClient_t rec{};
        to_client(*entry, &rec);
        if (index != 0) {
            // A list that cannot be read is a failure, not a reason to add a second client.
            List<ccif_VPN_L2TPClient_t> clients;
            if (gwapi::list(ccif_VPN_L2TPClient_get_objs, clients) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) get VPN_L2TPClient objects failed.", fn);
                return -1;
            }
            for (const auto &c : clients) {
                uint32_t n = 0;
                if (!gwapi::path_index(c.path, &n) || n != index)
                    continue;
                copy_truncated(rec.path, c.path);
                if (ccif_VPN_L2TPClient_update(&rec) != 0) {
                    GWLOG(LOG_LVL_NOTICE, "(%s) update %s failed.", fn, c.path);
                    return -1;
                }
                return static_cast<int>(index);
            }
        }
        if (ccif_VPN_L2TPClient_add(&rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) add obj for %s failed.", fn, kClients);
            return -1;
        }
        uint32_t written = 0;
        if (!gwapi::path_index(rec.path, &written) || written == 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get L2TP client index from %s failed.", fn, rec.path);
            return -1;
        }
        return static_cast<int>(written);
    });
}

int api_deleteVPNL2TPClient(uint32_t index)
{
    API_ENTER();
    if (index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) L2TP client index 0 is invalide.", __func__);
        return -1;
    }
    const std::string path = gwapi::instance_path(kClients, index);
    if (ccif_VPN_L2TPClient_del_obj(path.c_str()) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) delete %s failed.", __func__, path.c_str());
        return -1;
    }
    return 0;
}

int api_clearVPNL2TPClient(void)
{
    API_ENTER();
    if (ccif_VPN_L2TPClient_clear() != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects %s failed.", __func__, kClients);
        return -1;
    }
    return 0;
}

// ---- client remote subnets ------------------------------------------------------------------------------

int api_getVPNL2TPClientRemoteSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::subnets_get_all(__func__, gwapi::kL2TPClientRemoteSubnets, index, list, count);
}

int api_releaseVPNL2TPClientRemoteSubnetsAll(api_VPNSubnetInfo_t *list, int /*count*/)
{
    return gwapi::release_block(list);
}

int api_setVPNL2TPClientRemoteSubnets(uint32_t index, const api_VPNSubnetEntry_t *entry)
{
    API_ENTER();
    return gwapi::subnets_set(__func__, gwapi::kL2TPClientRemoteSubnets, index, entry);
}

int api_deleteVPNL2TPClientRemoteSubnets(uint32_t index, const char *address)
{
    API_ENTER();
    return gwapi::subnets_delete(__func__, gwapi::kL2TPClientRemoteSubnets, index, address);
}

int api_clearVPNL2TPClientRemoteSubnets(uint32_t index)
{
    API_ENTER();
    return gwapi::subnets_clear(__func__, gwapi::kL2TPClientRemoteSubnets, index);
}

// ---- server and accounts ------------------------------------------------------------------------------

int api_getVPNL2TPServer(api_VPNL2TPServerInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    api_VPNL2TPServerInfo_t rec{};
    if (ccif_VPN_L2TPServer_get(&rec) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VPN_L2TPServer failed.", __func__);
        return -1;
    }
    *info = rec;
    return 0;
}

int api_setVPNL2TPServer(const api_VPNL2TPServerInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    if (ccif_VPN_L2TPServer_set(info) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set VPN_L2TPServer failed.", __func__);
        return -1;
    }
    return 0;
}

int api_getVPNL2TPServerAccountAll(api_VPNL2TPServerAccountInfo_t **list, int *count)
{
    API_ENTER();
    return gwapi::vpn_get_all(__func__, "VPN_L2TPServerAccount", ccif_VPN_L2TPServerAccount_get_objs, list, count);
}

int api_releaseVPNL2TPServerAccountAll(api_VPNL2TPServerAccountInfo_t *list, int /*count*/)
{
    return gwapi::release_block(list);
}

int api_getVPNL2TPServerAccount(uint32_t index, api_VPNL2TPServerAccountInfo_t *info)
{
    API_ENTER();
    if (!info || index == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) L2TP server account index %u is invalide.", __func__, index);
        return -1;
    }
    List<ccif_VPN_L2TPServerAccount_t> accounts;
    if (gwapi::list(ccif_VPN_L2TPServerAccount_get_objs, accounts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VPN_L2TPServerAccount objects failed.", __func__);
        return -1;
    }
    for (const auto &a : accounts) {
        uint32_t n = 0;
        if (gwapi::path_index(a.path, &n) && n == index) {
            *info = a;
            info->Index = index;
            return 0;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) L2TP server account %u not exist.", __func__, index);
    return -1;
}

int api_setVPNL2TPServerAccount(const api_VPNL2TPServerAccountInfo_t *entry)
{
    API_ENTER();
    if (!entry || strnlen(entry->UserName, sizeof entry->UserName) == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) UserName can not be NULL.", __func__);
        return -1;
    }
    const char *const fn = __func__;
    return gwapi::guarded(fn, [&]() -> int {
        ccif_VPN_L2TPServerAccount_t rec{};
        rec.Enable = entry->Enable ? TRUE : FALSE;
        copy_truncated(rec.UserName, gwapi::fixed_text(entry->UserName).c_str());
        copy_truncated(rec.Password, gwapi::fixed_text(entry->Password).c_str());
        // A list that cannot be read is a failure: adding then could give one user two accounts.
        List<ccif_VPN_L2TPServerAccount_t> accounts;
        if (gwapi::list(ccif_VPN_L2TPServerAccount_get_objs, accounts) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) get VPN_L2TPServerAccount objects failed.", fn);
            return -1;
        }
        for (const auto &a : accounts) {
            if (std::strcmp(a.UserName, rec.UserName) != 0)
                continue;
            copy_truncated(rec.path, a.path);
            if (ccif_VPN_L2TPServerAccount_update(&rec) != 0) {
                GWLOG(LOG_LVL_NOTICE, "(%s) update %s failed.", fn, a.path);
                return -1;
            }
            return 0;
        }
        if (ccif_VPN_L2TPServerAccount_add(&rec) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) add L2TP server account %s failed.", fn, rec.UserName);
            return -1;
        }
        return 0;
    });
}

int api_deleteVPNL2TPServerAccount(const char *user_name)
{
    API_ENTER();
    if (gwapi::empty(user_name)) {
        GWLOG(LOG_LVL_NOTICE, "(%s) UserName can not be NULL.", __func__);
        return -1;
    }
    List<ccif_VPN_L2TPServerAccount_t> accounts;
    if (gwapi::list(ccif_VPN_L2TPServerAccount_get_objs, accounts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get VPN_L2TPServerAccount objects failed.", __func__);
        return -1;
    }
    for (const auto &a : accounts) {
        if (std::strcmp(a.UserName, user_name) != 0)
            continue;
        if (ccif_VPN_L2TPServerAccount_rm_obj(a.path) != 0) {
            GWLOG(LOG_LVL_NOTICE, "(%s) delete object %s failed.", __func__, a.path);
            return -1;
        }
        return 0;
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) UserName %s no match object.", __func__, user_name);
    return -1;
}

int api_clearVPNL2TPServerAccount(void)
{
    API_ENTER();
    if (ccif_VPN_L2TPServerAccount_clear() != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) RemoveAllObjects of L2TP server accounts failed.", __func__);
        return -1;
    }
    return 0;
}

// ---- history ------------------------------------------------------------------------------------------

int api_getL2TPVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                 int *count)
{
    API_ENTER();
    return gwapi::history_traffic(__func__, kHistory, ccif_VPN_L2TPClient_get_objs, index, start, num, traffic, count);
}

int api_releaseL2TPVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count)
{
    return api_releaseVpnHistoryTraffic(traffic, count);
}

}  // extern "C"
