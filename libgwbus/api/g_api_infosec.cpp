// Device, account and connection data for information security reports.
#include <memory>

#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/strutil.h"

namespace {

int dev_info(const char *func, api_InfosecDevInfo_t *out)
{
    ccif_DeviceInfo_t dev{};
    if (ccif_DeviceInfo_get(&dev) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DeviceInfo failed.", func);
        return -1;
    }
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PONInfo failed.", func);
        return -1;
    }
    api_InfosecDevInfo_t o{};
    copy_truncated(o.Vendor, dev.Vendor);
    copy_truncated(o.ModelName, dev.ModelName);
    copy_truncated(o.ProductClass, dev.ProductClass);
    copy_truncated(o.SWVersion, dev.SWVersion);
    copy_truncated(o.HDVersion, dev.HDVersion);
    copy_truncated(o.MAC, dev.MAC);
    copy_truncated(o.SerialNumber, dev.SerialNumber);
    copy_truncated(o.GPONSN, dev.GPONSN);
    copy_truncated(o.ManufacturerOUI, dev.ManufacturerOUI);
    o.DevType = dev.DevType;
    o.UpTime = dev.UpTime;
    o.LANNum = dev.LANNum;
    copy_truncated(o.LOID, pon.LOID);
    copy_truncated(o.PONStatus, pon.PONStatus);
    *out = o;
    return 0;
}

int wan_info(const char *func, api_InfosecWANInfo_t **info, int *count)
{
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_WANConnectionInfo_t> wans;
    if (gwapi::list(ccif_WANConnectionInfo_get_objs, wans) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WANConnectionInfo objects failed.", func);
        return -1;
    }
    if (wans.count == 0)
        return 0;
    gwapi::List<ccif_PPPoE_t> accounts;
    if (gwapi::list(ccif_PPPoE_get_objs, accounts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PPPoE objects failed.", func);
        return -1;
    }
    auto *out = g_new0(api_InfosecWANInfo_t, wans.count);
    int i = 0;
    for (const auto &w : wans) {
        api_InfosecWANInfo_t &o = out[i++];
        copy_truncated(o.Index, w.Index);
        copy_truncated(o.WANName, w.WANName);
        copy_truncated(o.IfName, w.IfName);
        copy_truncated(o.ServiceList, w.ServiceList);
        copy_truncated(o.ConnectionType, w.ConnectionType);
        copy_truncated(o.ConnectionStatus, w.ConnectionStatus);
        copy_truncated(o.AddressingType, w.AddressingType);
        copy_truncated(o.IPAddress, w.IPAddress);
        copy_truncated(o.SubnetMask, w.SubnetMask);
        copy_truncated(o.Gateway, w.Gateway);
        copy_truncated(o.DNSServers, w.DNSServers);
        copy_truncated(o.MACAddress, w.MACAddress);
        o.VLANID = w.VLANID;
        copy_truncated(o.IPv6ConnectionStatus, w.IPv6ConnectionStatus);
        copy_truncated(o.IPv6IPAddress, w.IPv6IPAddress);
        for (const auto &a : accounts) {
            if (std::strcmp(a.WANName, w.WANName) == 0) {
                copy_truncated(o.PPPoEUserName, a.PPPoEUserName);
                break;
            }
        }
    }
    *info = out;
    *count = wans.count;
    return 0;
}

struct InformDeleter {
    void operator()(api_InformData_t *d) const { api_InformReleaseData(d); }
};

}  // namespace

extern "C" {

int api_getDevInfo(api_InfosecDevInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    return dev_info(__func__, info);
}

int api_getPPPoEInfo(api_PPPoEInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    *info = nullptr;
    *count = 0;
    gwapi::List<ccif_PPPoE_t> accounts;
    if (gwapi::list(ccif_PPPoE_get_objs, accounts) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get PPPoE objects failed.", __func__);
        return -1;
    }
    if (accounts.count == 0)
        return 0;
    auto *out = g_new0(api_PPPoEInfo_t, accounts.count);
    int i = 0;
    for (const auto &a : accounts) {
        api_PPPoEInfo_t &o = out[i++];
        copy_truncated(o.WANName, a.WANName);
        copy_truncated(o.PPPoEUserName, a.PPPoEUserName);
        copy_truncated(o.PPPoEPassword, a.PPPoEPassword);
        copy_truncated(o.DialMode, a.DialMode);
        o.IdleTime = a.IdleTime;
    }
    *info = out;
    *count = accounts.count;
    return 0;
}

int api_releasePPPoEInfo(api_PPPoEInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

int api_getWANInfo(api_InfosecWANInfo_t **info, int *count)
{
    API_ENTER();
    if (!info || !count)
        return -1;
    return wan_info(__func__, info, count);
}

int api_releaseWANInfo(api_InfosecWANInfo_t *info, int count)
{
    (void)count;
    if (!info)
        return -1;
    g_free(info);
    return 0;
}

int api_InformGetData(api_InformData_t **data)
{
    API_ENTER();
    if (!data)
        return -1;
    *data = nullptr;
    std::unique_ptr<api_InformData_t, InformDeleter> d(g_new0(api_InformData_t, 1));
    if (dev_info(__func__, &d->Dev) != 0)
        return -1;
    if (g_api_getEthernetConfigInfo(&d->Ethernet, &d->EthernetNum) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get EthernetConfig failed.", __func__);
        return -1;
    }
    if (g_api_getLANHostInfo(0, &d->LANHost, &d->LANHostNum) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get LANHost failed.", __func__);
        return -1;
    }
    if (wan_info(__func__, &d->WAN, &d->WANNum) != 0)
        return -1;
    *data = d.release();
    return 0;
}

int api_InformReleaseData(api_InformData_t *data)
{
    if (!data)
        return -1;
    g_free(data->Ethernet);
    g_free(data->LANHost);
    g_free(data->WAN);
    g_free(data);
    return 0;
}

}  // extern "C"
