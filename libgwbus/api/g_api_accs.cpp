// PON uplink, WAN connections and their diagnostics.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace {

int read_pon(const char *func, ccif_PONInfo_t *pon)
{
    if (ccif_PONInfo_get(pon) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PONInfo failed.", func);
        return -1;
    }
    return 0;
}

int read_network(const char *func, ccif_NetworkInfo_t *net)
{
    if (ccif_NetworkInfo_get(net) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get NetworkInfo failed.", func);
        return -1;
    }
    return 0;
}

// Subscribes the caller's callback once the service has accepted the start: the subscription id or -1.
int subscribe_result(const char *func, const char *what, int rc, int status, char *errmsg, const char *path,
                     const char *iface, const char *member, h_dbus_signal_cb callback)
{
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s failed, %d,%d : %s", func, what, rc, status, msg ? msg.get() : "");
        return -1;
    }
    const long id = h_dbus_SubscribeSignal(nullptr, path, iface, member, callback, nullptr);
    if (id <= 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) subscribe %s failed.", func, member);
        return -1;
    }
    return static_cast<int>(id);
}

}  // namespace

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
        GWLOG(LOG_LVL_NOTICE, "(%s) get WANConnectionInfo objects failed.", __func__);
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
        GWLOG(LOG_LVL_NOTICE, "(%s) GetInternetConnIndex failed, %d,%d : %s", __func__, rc, status,
              errmsg ? errmsg : "");
        g_free(errmsg);
        return -1;
    }
    ccif_WANConnectionInfo_t wan{};
    if (ccif_WANConnectionInfo_get(path, &wan) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get %s failed.", __func__, path);
        return -1;
    }
    char *end = nullptr;
    const unsigned long v = std::strtoul(wan.Index, &end, 10);
    if (!wan.Index[0] || *end != '\0' || v > UINT32_MAX) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Index [%s] of %s is not a number.", __func__, wan.Index, path);
        return -1;
    }
    *index = static_cast<uint32_t>(v);
    return 0;
}

int api_getPONIfPhyStatus(char *status, int size)
{
    API_ENTER();
    ccif_PONInfo_t pon{};
    if (!status || size <= 0 || read_pon(__func__, &pon) != 0)
        return -1;
    copy_truncated(status, static_cast<size_t>(size), pon.PONStatus);
    return 0;
}

int api_getPONIfUpTime(uint32_t *uptime)
{
    API_ENTER();
    ccif_NetworkInfo_t net{};
    if (!uptime || read_network(__func__, &net) != 0)
        return -1;
    *uptime = net.PONDuration;
    return 0;
}

int api_getPONIfRegisterStatus(int *registered)
{
    API_ENTER();
    ccif_PONInfo_t pon{};
    if (!registered || read_pon(__func__, &pon) != 0)
        return -1;
    *registered = std::strcmp(pon.PONStatus, "O5") == 0 ? 1 : 0;
    return 0;
}

int api_getUplinkIfStats(api_UplinkIfStats_t *stats)
{
    API_ENTER();
    ccif_PONInfo_t pon{};
    ccif_NetworkInfo_t net{};
    if (!stats || read_pon(__func__, &pon) != 0 || read_network(__func__, &net) != 0)
        return -1;
    api_UplinkIfStats_t s{};
    s.UPLink = net.UPLink;
    s.UPLinkType = net.UPLinkType;
    s.Temperature = pon.Temperature;
    s.Voltage = pon.Voltage;
    s.Current = pon.Current;
    s.TXPower = pon.TXPower;
    s.RXPower = pon.RXPower;
    s.UpSpeed = pon.UpSpeed;
    s.DownSpeed = pon.DownSpeed;
    s.BytesSent = pon.BytesSent;
    s.BytesReceived = pon.BytesReceived;
    *stats = s;
    return 0;
}

int api_getWANIfStats(uint32_t wan_index, api_WANIfStats_t *stats)
{
    API_ENTER();
    if (!stats)
        return -1;
    ccif_WANConnectionInfo_t wan{};
    const int rc = gwapi::find_wan(__func__, wan_index, &wan);
    if (rc != 0)
        return rc;
    stats->UpTime = wan.UpTime;
    stats->RxBytes = wan.RxBytes;
    stats->TxBytes = wan.TxBytes;
    stats->RxPkts = wan.RxPkts;
    stats->TxPkts = wan.TxPkts;
    return 0;
}

int api_getWANIfInfo(uint32_t wan_index, api_WANIfInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    return gwapi::find_wan(__func__, wan_index, info);
}

int api_getWANIfStatus(uint32_t wan_index, api_WANIfStatus_t *status)
{
    API_ENTER();
    if (!status)
        return -1;
    ccif_WANConnectionInfo_t wan{};
    const int rc = gwapi::find_wan(__func__, wan_index, &wan);
    if (rc != 0)
        return rc;
    copy_truncated(status->ConnectionStatus, wan.ConnectionStatus);
    copy_truncated(status->IPv6ConnectionStatus, wan.IPv6ConnectionStatus);
    copy_truncated(status->LastConnectionError, wan.LastConnectionError);
    copy_truncated(status->LastIPv6ConnectionError, wan.LastIPv6ConnectionError);
    status->UpTime = wan.UpTime;
    return 0;
}

int api_startIPPingDiagnostics(const mth_IPPingParam_t *param, h_dbus_signal_cb callback)
{
    API_ENTER();
    if (!param || !callback)
        return -1;
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_StartIPPingDiagnostics(param, &status, &errmsg);
    return subscribe_result(__func__, "startIPPingDiagnostics", rc, status, errmsg, "/com/yvc/igd1/Diagnostics/IPPing",
                            "com.yvc.igd1.IPPingDiagnostics", "IPPingResponse", callback);
}

int api_startTraceRouteDiagnostics(const mth_TraceRouteParam_t *param, h_dbus_signal_cb callback)
{
    API_ENTER();
    if (!param || !callback)
        return -1;
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_StartTraceRouteDiagnostics(param, &status, &errmsg);
    return subscribe_result(__func__, "startTraceRouteDiagnostics", rc, status, errmsg,
                            "/com/yvc/igd1/Diagnostics/TraceRoute", "com.yvc.igd1.TraceRouteDiagnostics",
                            "TraceRouteResponse", callback);
}

}  // extern "C"
