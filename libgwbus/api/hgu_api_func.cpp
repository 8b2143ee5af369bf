// Look-ups shared by the agent's commands: the Internet connection's PPPoE account, compact host and
// Ethernet port records.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

// HostClass kept by each filter value; any other value keeps every host.
const char *filter_class(int filter)
{
    switch (filter) {
    case 1:
        return "ONLINE";
    case 2:
        return "OFFLINE";
    case 3:
        return "BLOCK";
    default:
        return nullptr;
    }
}

void compact_host(const ccif_LANHost_t &h, hgu_LANHostInfo_t &o)
{
    copy_truncated(o.MAC, h.MAC);
    copy_truncated(o.HostClass, h.HostClass);
    copy_truncated(o.HostName, h.HostName);
    copy_truncated(o.DevName, h.DevName);
    copy_truncated(o.IP, h.IP);
    copy_truncated(o.DevType, h.DevType);
    copy_truncated(o.ConnectInterface, h.ConnectInterface);
    o.ConnectionType = h.ConnectionType;
    copy_truncated(o.SSIDName, h.SSIDName);
    o.Channel = h.Channel;
    copy_truncated(o.RadioType, h.RadioType);
    o.RSSI = h.RSSI;
    o.OnlineTime = h.OnlineTime;
    o.UsBandwidth = h.UsBandwidth;
    o.DsBandwidth = h.DsBandwidth;
    o.UpSpeed = h.UpSpeed;
    o.DownSpeed = h.DownSpeed;
    o.RxBytes = h.RxBytes;
    o.TxBytes = h.TxBytes;
}

void compact_port(const char *func, const ccif_EthernetConfig_t &e, hgu_EthernetInfo_t &o)
{
    if (!gwapi::path_index(e.path, &o.Index))
        GWLOG(LOG_LVL_INFO, "(%s) EthernetConfig path %s has no index.", func, e.path);
    o.Enable = e.Enable;
    copy_truncated(o.Status, e.Status);
    copy_truncated(o.MAC, e.MAC);
    copy_truncated(o.IfName, e.IfName);
    o.MaxBitRate = e.MaxBitRate;
    o.BitRate = e.BitRate;
    copy_truncated(o.DuplexMode, e.DuplexMode);
    o.BytesSent = e.BytesSent;
    o.BytesReceived = e.BytesReceived;
    o.PacketsSent = e.PacketsSent;
    o.PacketsReceived = e.PacketsReceived;
}

}  // namespace

extern "C" {

int getDefaultInternetPPPoEInfo(hgu_PPPoEInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    char path[CCIF_PATH_SIZE] = "";
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetInternetConnIndex(path, sizeof path, &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0 || !path[0]) {
        GWLOG(LOG_LVL_NOTICE, "(%s) GetInternetConnIndex failed, %d,%d : %s", __func__, rc, status,
              msg ? msg.get() : "");
        return -1;
    }
    ccif_WANConnectionInfo_t wan{};
    if (ccif_WANConnectionInfo_get(path, &wan) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path);
        return -2;
    }
    if (std::strcmp(wan.ConnectionType, "PPPoE_Routed") != 0) {
        GWLOG(LOG_LVL_NOTICE, "default internet wan %s is not PPPoE_Routed.", wan.WANName);
        return -3;
    }
    gwapi::List<ccif_PPPoE_t> accounts;
    if (gwapi::list(ccif_PPPoE_get_objs, accounts) != 0 || accounts.count == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PPPoE objects failed or none.", __func__);
        return -4;
    }
    for (const auto &a : accounts) {
        if (std::strcmp(a.WANName, wan.WANName) != 0)
            continue;
        hgu_PPPoEInfo_t out{};
        copy_truncated(out.WANName, a.WANName);
        copy_truncated(out.PPPoEUserName, a.PPPoEUserName);
        copy_truncated(out.PPPoEPassword, a.PPPoEPassword);
        copy_truncated(out.DialMode, a.DialMode);
        out.IdleTime = a.IdleTime;
        *info = out;
        return 0;
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) no PPPoE object of %s.", __func__, wan.WANName);
    return -5;
}

int g_api_getLANHostInfo(int filter, hgu_LANHostInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_LANHost_t> hosts;
    if (gwapi::list(ccif_LANHost_get_objs, hosts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost objects failed.", __func__);
        return -1;
    }
    const char *want = filter_class(filter);
    int n = 0;
    for (const auto &h : hosts)
        n += (!want || std::strcmp(h.HostClass, want) == 0) ? 1 : 0;
    if (n == 0)
        return 0;
    auto *out = g_new0(hgu_LANHostInfo_t, n);
    int i = 0;
    for (const auto &h : hosts)
        if (!want || std::strcmp(h.HostClass, want) == 0)
            compact_host(h, out[i++]);
    *info = out;
    *count = n;
    return 0;
}

int g_api_releaseLANHostInfo(hgu_LANHostInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

int g_api_getEthernetConfigInfo(hgu_EthernetInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_EthernetConfig_t> ports;
    if (gwapi::list(ccif_EthernetConfig_get_objs, ports) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get EthernetConfig objects failed.", __func__);
        return -1;
    }
    if (ports.count == 0)
        return 0;
    auto *out = g_new0(hgu_EthernetInfo_t, ports.count);
    int i = 0;
    for (const auto &p : ports)
        compact_port(__func__, p, out[i++]);
    *info = out;
    *count = ports.count;
    return 0;
}

int g_api_releaseEthernetConfigInfo(hgu_EthernetInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

}  // extern "C"
