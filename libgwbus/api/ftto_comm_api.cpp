// FTTO topology: the gateway's own node and its slaves.
#include "ftto_comm_api.hpp"

#include <cctype>
#include <cstring>

#include <glib.h>

#include "api_common.hpp"
#include "gwbus/bus.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"

namespace {

// Slaves report MACs with separators, LAN hosts without; compare the hex digits only.
bool same_mac_digits(const char *a, const char *b)
{
    for (;;) {
        while (*a && !std::isxdigit(static_cast<unsigned char>(*a)))
            ++a;
        while (*b && !std::isxdigit(static_cast<unsigned char>(*b)))
            ++b;
        if (!*a || !*b)
            return !*a && !*b;
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
        ++a;
        ++b;
    }
}

}  // namespace

namespace gwapi {

int ftto_self(const char *func, api_FTTONTI_t *nti)
{
    ccif_DeviceInfo_t dev{};
    if (ccif_DeviceInfo_get(&dev) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DeviceInfo failed.", func);
        return -1;
    }
    ccif_NetworkInfo_t net{};
    if (ccif_NetworkInfo_get(&net) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get NetworkInfo failed.", func);
        return -1;
    }
    nti->DevType = dev.DevType;
    nti->WorkMode = dev.WorkMode;
    api_FTTONode_t &gw = nti->GateWay;
    gw.UPLink = net.UPLink;
    gw.UPLinkType = net.UPLinkType;
    copy_truncated(gw.SN, dev.SerialNumber);
    copy_truncated(gw.MAC, dev.MAC);
    copy_truncated(gw.WANIP, net.WANIPAddr);
    copy_truncated(gw.Model, dev.ModelName);
    copy_truncated(gw.Name, dev.DevName);
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) == 0)
        copy_truncated(gw.LOID, pon.LOID);
    else
        GWLOG(LOG_LVL_NOTICE, "(%s) get PONInfo failed, LOID left empty.", func);
    return 0;
}

int ftto_slaves(const char *func, api_FTTONTI_t *nti)
{
    const int allow = getAllowSlaveNum();
    if (allow < 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get AllowSlaveNum failed.", func);
        return -1;
    }
    mth_SlaveInfo_t *raw = nullptr;
    int count = 0;
    if (g_api_getFTTOSlaveAllInfo(&raw, &count) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get slave list failed.", func);
        return -1;
    }
    Block<mth_SlaveInfo_t> slaves(raw);
    nti->AllowSlaveNum = static_cast<uint32_t>(allow);
    if (!slaves || count <= 0)
        return 0;
    List<ccif_LANHost_t> hosts;
    if (list(ccif_LANHost_get_objs, hosts) != 0)
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed, slave names left empty.", func);
    auto *nodes = static_cast<api_FTTONode_t *>(g_malloc0_n(static_cast<size_t>(count), sizeof(api_FTTONode_t)));
    for (int i = 0; i < count; ++i) {
        const mth_SlaveInfo_t &s = slaves[i];
        api_FTTONode_t &n = nodes[i];
        n.UPLink = s.LinkStatus;
        n.Port = s.PortNum;
        copy_truncated(n.SN, s.SN);
        copy_truncated(n.MAC, s.MAC);
        copy_truncated(n.WANIP, s.IPAddress);
        copy_truncated(n.Model, s.ModelName);
        for (const ccif_LANHost_t &h : hosts)
            if (same_mac_digits(h.MAC, s.MAC)) {
                copy_truncated(n.Name, h.DevName);
                break;
            }
    }
    nti->SlaveInfo = nodes;
    nti->SlaveNum = static_cast<uint32_t>(count);
    return 0;
}

void ftto_release(api_FTTONTI_t *nti)
{
    g_free(nti->SlaveInfo);
    *nti = api_FTTONTI_t{};
}

}  // namespace gwapi

namespace {

int manager_count(const char *func, uint32_t ccif_FTTO_SlaveManager_t::*field)
{
    ccif_FTTO_SlaveManager_t mgr{};
    if (ccif_FTTO_SlaveManager_get(&mgr) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get SlaveManager failed.", func);
        return -1;
    }
    const uint32_t v = mgr.*field;
    return v > 0x7fffffffu ? -1 : static_cast<int>(v);
}

}  // namespace

extern "C" {

int check_is_ftto(void)
{
    const int type = getDevType();
    if (type < 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DevType failed.", __func__);
        return -1;
    }
    return type == API_DEVTYPE_FTTO_MASTER ? 1 : 0;
}

int getAllowSlaveNum(void) { return manager_count(__func__, &ccif_FTTO_SlaveManager_t::AllowSlaveNum); }
int getSlaveNum(void) { return manager_count(__func__, &ccif_FTTO_SlaveManager_t::SlaveNum); }
int getSlaveOnlineNum(void) { return manager_count(__func__, &ccif_FTTO_SlaveManager_t::SlaveOnlineNum); }

int g_api_getFTTOSlaveAllInfo(mth_SlaveInfo_t **slaves, int *count)
{
    if (!slaves || !count)
        return -1;
    *slaves = nullptr;
    *count = 0;
    mth_SlaveInfo_t *raw = nullptr;
    int n = 0, status = 0;
    char *errmsg = nullptr;
    const int rc = mth_SlaveManager_GetSlaveAllInfo(&raw, &n, &status, &errmsg);
    gwapi::Block<mth_SlaveInfo_t> list(raw);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetSlaveAllInfo failed, %d,%d : %s", __func__, rc, status, errmsg ? errmsg : "");
        return -1;
    }
    if (n <= 0 || !list)
        return 0;
    *slaves = list.release();
    *count = n;
    return 0;
}

}  // extern "C"
