// Device capability getters and their lazily filled cache.
#include <atomic>
#include <climits>
#include <cstdint>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"

namespace {

constexpr char kDeviceInfoPath[] = "/com/yvc/igd1/Info/Device";
constexpr char kDeviceInfoInterface[] = "com.yvc.igd1.DeviceInfo";

// Accepted values of a capability, or any value when the list is empty.
struct Capability {
    const char *property;
    int allowed[4];
    int n_allowed;
    bool logged;
};

enum CapIndex { kDevWiFi, kWiFiVersion, kDevUSB, kPOTSNum, kDevType, kWorkMode, kCapCount };

constexpr Capability kCaps[kCapCount] = {
    {"DevWiFi", {0, 1, 2}, 3, true}, {"WiFiVersion", {0, 4, 5, 6}, 4, true},
    {"DevUSB", {0, 1}, 2, true},     {"POTSNum", {}, 0, true},
    {"DevType", {}, 0, false},       {"WorkMode", {}, 0, false},
};

std::atomic<int> g_cache[kCapCount] = {{-1}, {-1}, {-1}, {-1}, {-1}, {-1}};

// Any unsigned or signed integer the service sends; false for other types.
bool integer_value(GVariant *v, int64_t &out)
{
    switch (g_variant_classify(v)) {
    case G_VARIANT_CLASS_BYTE:
        out = g_variant_get_byte(v);
        return true;
    case G_VARIANT_CLASS_UINT16:
        out = g_variant_get_uint16(v);
        return true;
    case G_VARIANT_CLASS_INT16:
        out = g_variant_get_int16(v);
        return true;
    case G_VARIANT_CLASS_UINT32:
        out = g_variant_get_uint32(v);
        return true;
    case G_VARIANT_CLASS_INT32:
        out = g_variant_get_int32(v);
        return true;
    case G_VARIANT_CLASS_UINT64:
        out = static_cast<int64_t>(g_variant_get_uint64(v));
        return true;
    case G_VARIANT_CLASS_INT64:
        out = g_variant_get_int64(v);
        return true;
    default:
        return false;
    }
}

int read_int_property(const char *path, const char *interface_name, const char *property)
{
    GVariant *raw = nullptr;
    if (g_hgu_GetProperty(HGU_BUS_NAME, path, interface_name, property, &raw) != 0)
        return -1;
    gw::VariantPtr v(raw);
    int64_t n = 0;
    if (!integer_value(v.get(), n) || n < 0 || n > INT_MAX) {
        GWLOG(LOG_LVL_WARN, "%s.%s has unexpected value %s", interface_name, property,
              g_variant_get_type_string(v.get()));
        return -1;
    }
    return static_cast<int>(n);
}

int read_capability(CapIndex idx)
{
    const Capability &c = kCaps[idx];
    int n = read_int_property(kDeviceInfoPath, kDeviceInfoInterface, c.property);
    if (n < 0 || c.n_allowed == 0)
        return n;
    for (int i = 0; i < c.n_allowed; ++i)
        if (c.allowed[i] == n)
            return n;
    GWLOG(LOG_LVL_WARN, "DeviceInfo.%s value %d is out of range", c.property, n);
    return -1;
}

int cached_capability(CapIndex idx)
{
    int v = g_cache[idx].load();
    if (v < 0) {
        v = read_capability(idx);
        g_cache[idx].store(v);
    }
    if (kCaps[idx].logged)
        GWLOG(LOG_LVL_DEBUG, "check_device_capability : DeviceInfo.%s[%d].", kCaps[idx].property, v);
    return v;
}

}  // namespace

extern "C" {

int getDeviceWiFi(void) { return read_capability(kDevWiFi); }
int getDeviceWiFiVersion(void) { return read_capability(kWiFiVersion); }
int getDeviceUSB(void) { return read_capability(kDevUSB); }
int getDevicePOTSNum(void) { return read_capability(kPOTSNum); }
int getDevType(void) { return read_capability(kDevType); }
int getWorkMode(void) { return read_capability(kWorkMode); }

int getLANHostOnlineNumber(void)
{
    return read_int_property("/com/yvc/igd1/Config/LANHosts", "com.yvc.igd1.LANHostManager", "LANHostOnlineNumber");
}

int g_api_getDevWiFi(void) { return cached_capability(kDevWiFi); }
int g_api_getDevWiFiVersion(void) { return cached_capability(kWiFiVersion); }
int g_api_getDevUSB(void) { return cached_capability(kDevUSB); }
int g_api_getDevPOTSNum(void) { return cached_capability(kPOTSNum); }
int g_api_getDevType(void) { return cached_capability(kDevType); }
int g_api_getWorkMode(void) { return cached_capability(kWorkMode); }

}  // extern "C"
