// Device information from the configuration service, the framework version and UCI.
#include <cctype>
#include <cstring>
#include <string>

#include "core/agent.h"
#include "core/uci_text.hpp"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

namespace {

// CpuArch is the framework version from its thirteenth character on.
constexpr size_t kCpuArchOffset = 12;

void read_mngplat()
{
    ccif_MngPlatInfo_t mp{};
    if (ccif_MngPlatInfo_get(&mp) == 0) {
        copy_truncated(g_dev_info.PlatformVersion, mp.Version);
        copy_truncated(g_dev_info.Province, mp.Province);
        return;
    }
    GWLOG(LOG_LVL_ERR, "Get MngPlatInfo Failed, use default config!");
    copy_truncated(g_dev_info.PlatformVersion, "1.0");
    copy_truncated(g_dev_info.Province, "NULL");
}

void read_device()
{
    ccif_DeviceInfo_t di{};
    if (ccif_DeviceInfo_get(&di) != 0) {
        GWLOG(LOG_LVL_WARN, "Get device info failed!");
        return;
    }
    gw_dev_info &d = g_dev_info;
    copy_truncated(d.Vendor, di.Vendor);
    copy_truncated(d.ProductClass, di.ProductClass);
    copy_truncated(d.ModelName, di.ModelName);
    for (char *p = d.ModelName; *p; ++p)
        *p = static_cast<char>(toupper(static_cast<unsigned char>(*p)));
    copy_truncated(d.SWVersion, di.SWVersion);
    copy_truncated(d.HDVersion, di.HDVersion);
    copy_truncated(d.MAC, di.MAC);
    copy_truncated(d.GPONSN, di.GPONSN);
    copy_truncated(d.ManufacturerOUI, di.ManufacturerOUI);
    copy_truncated(d.SerialNumber, di.SerialNumber);
    copy_truncated(d.KernelVersion, di.KernelVersion);
    copy_truncated(d.SNPrefix, d.GPONSN[0] ? d.GPONSN : d.MAC);
    d.WiFiVersion = di.WiFiVersion;
    d.DevWiFi = di.DevWiFi;
    d.DevUSB = di.DevUSB;
    d.DevType = di.DevType;
    d.WorkMode = di.WorkMode;
    d.POTSNum = di.POTSNum;
    d.LANNum = di.LANNum;
    d.KernelBit = di.KernelBit;
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.WiFiVersion[%d]", d.WiFiVersion);
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.DevWiFi[%d]", d.DevWiFi);
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.DevUSB[%d]", d.DevUSB);
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.DevType[%d]", d.DevType);
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.WorkMode[%d]", d.WorkMode);
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.POTSNum[%d]", static_cast<int>(d.POTSNum));
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.LANNum[%d]", static_cast<int>(d.LANNum));
    GWLOG(LOG_LVL_DEBUG, "DeviceInfo.KernelBit[%d]", static_cast<int>(d.KernelBit));
}

void read_network()
{
    ccif_NetworkInfo_t ni{};
    if (ccif_NetworkInfo_get(&ni) != 0) {
        GWLOG(LOG_LVL_WARN, "Get network info failed!");
        return;
    }
    g_dev_info.UPLink = ni.UPLink;
    g_dev_info.UPLinkType = ni.UPLinkType;
    if (strcmp(ni.WANConnectionStatus, "Connected") == 0 && is_valid_ipaddr(ni.WANIPAddr)) {
        copy_truncated(g_dev_info.WANConnectionStatus, ni.WANConnectionStatus);
        copy_truncated(g_dev_info.WANIPAddr, ni.WANIPAddr);
        uci_config_set("gwagent", "global", "WANIPAddr", g_dev_info.WANIPAddr, 0);
        GWLOG(LOG_LVL_INFO, "wan v4ip %s connected.", g_dev_info.WANIPAddr);
    }
}

void read_framework_version()
{
    char version[64] = {};
    if (get_framework_version(version) != 0)
        return;
    version[sizeof version - 1] = '\0';
    copy_truncated(g_dev_info.FrameworkVersion, version);
    const size_t len = strlen(g_dev_info.FrameworkVersion);
    copy_truncated(g_dev_info.CpuArch, len > kCpuArchOffset ? g_dev_info.FrameworkVersion + kCpuArchOffset : "");
}

}  // namespace

extern "C" int gwagent_devinfo_refresh(void)
{
    read_mngplat();
    read_device();
    read_network();
    read_framework_version();
    return 0;
}

extern "C" int gwagent_devinfo_init(void)
{
    gwagent_devinfo_refresh();
    std::string status;
    const bool ok = gwagent::uci_read("gwagent", "global", "status", status);
    g_dev_info.RegisteredFlag = (ok && !status.empty() && status[0] != '0') ? '1' : '0';
    return 0;
}
