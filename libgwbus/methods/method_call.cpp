// The method table and the generic caller.
#include "method_call.hpp"

#include <cstring>

#include "../bus/bus_internal.hpp"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

namespace gw::methods {
namespace {

constexpr char kIgd[] = "com.yvc.igd1";
constexpr char kSys[] = "/com/yvc/igd1/Orvane/System";
constexpr char kWanDb[] = "/com/yvc/igd1/Info/Network/WANConnectionDb";
constexpr char kHosts[] = "/com/yvc/igd1/Config/LANHosts";
constexpr char kWiFi[] = "/com/yvc/igd1/Info/WiFi";
constexpr char kIPSet[] = "/com/yvc/igd1/Firewall/IPSet";
constexpr char kNas[] = "/com/yvc/igd1/Storage/NAS";
constexpr char kAppBus[] = "com.yvc.appframework1";

// Order follows enum Id.
constexpr Row kRows[] = {
    {"Reboot", kIgd, kSys, "com.yvc.igd1.SysCmd", "Reboot", "()", "(us)", Code::U},
    {"Restore", kIgd, kSys, "com.yvc.igd1.SysCmd", "Restore", "()", "(us)", Code::U},
    {"Register", kIgd, kSys, "com.yvc.igd1.SysCmd", "Register", "(sss)", "(us)", Code::U},
    {"RegisterGetStat", kIgd, kSys, "com.yvc.igd1.SysCmd", "RegisterGetStat", "()", "(us)", Code::U},
    {"CheckHardwareStart", kIgd, kSys, "com.yvc.igd1.SysCmd", "CheckHardwareStart", "()", "(us)", Code::U},
    {"GetLog", kIgd, kSys, "com.yvc.igd1.SysCmd", "GetLog", "(sss)", "(us)", Code::U},
    {"GetUpgradeVersion", kIgd, kSys, "com.yvc.igd1.SysCmd", "GetUpgradeVersion", "()", "(ssus)", Code::U},
    {"InformNotifyVersion", kIgd, kSys, "com.yvc.igd1.SysCmd", "InformNotifyVersion", "()", "(us)", Code::U},
    {"InformUpgrade", kIgd, kSys, "com.yvc.igd1.SysCmd", "InformUpgrade", "()", "(us)", Code::U},
    {"GetDeviceDefaultSSID1Name", kIgd, kSys, "com.yvc.igd1.SysCmd", "GetDeviceDefaultSSID1Name", "()", "(sus)",
     Code::U},
    {"GetDeviceDefaultSSID1Password", kIgd, kSys, "com.yvc.igd1.SysCmd", "GetDeviceDefaultSSID1Password", "()", "(sus)",
     Code::U},
    {"GetWANConnByName", kIgd, kWanDb, "com.yvc.igd1.WANConnectManager", "GetWANConnByName", "(s)", "(ous)", Code::U},
    {"GetInternetConnIndex", kIgd, kWanDb, "com.yvc.igd1.WANConnectManager", "GetInternetConnIndex", "()", "(ous)",
     Code::U},
    {"GetLANHostPathbyMAC", kIgd, kHosts, "com.yvc.igd1.LANHostManager", "GetLANHostPathbyMAC", "(s)", "(ous)",
     Code::U},
    {"GetOnlineDeviceList", kIgd, kHosts, "com.yvc.igd1.LANHostManager", "GetOnlineDeviceList", "()",
     "(a{oa{sa{sv}}}us)", Code::U},
    {"GetOnlineDevicesSnapShot", kIgd, kHosts, "com.yvc.igd1.LANHostManager", "GetOnlineDevicesSnapShot", "()",
     "(a{oa{sa{sv}}}us)", Code::U},
    {"SetAttachSpeedup", kIgd, nullptr, "com.yvc.igd1.LANHost", "SetAttachSpeedup", "(sy)", "(us)", Code::U},
    {"KickOutDevice", kIgd, kWiFi, "com.yvc.igd1.WiFiInfo", "KickOutDevice", "(ss)", "(us)", Code::U},
    {"GetWLANNeighbor", kIgd, kWiFi, "com.yvc.igd1.WiFiInfo", "GetWLANNeighbor", "(s)", "(us)", Code::U},
    {"GetWiFiRoamingRecordsByMac", kIgd, "/com/yvc/igd1/Info/WiFiRoaming", "com.yvc.igd1.WiFiRoaming",
     "GetWiFiRoamingRecordsByMac", "(s)", "(a(ssssiiiu)us)", Code::U},
    {"GetPONHistoryTraffic", kIgd, "/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "GetPONHistoryTraffic", "(uu)",
     "(sasus)", Code::U},
    {"GetLANHistoryTraffic", kIgd, nullptr, "com.yvc.igd1.EthernetConfig", "GetLANHistoryTraffic", "(uu)", "(sasus)",
     Code::U},
    {"GetIPSecVPNHistoryTraffic", kIgd, nullptr, "com.yvc.igd1.VPN.IPSec", "GetIPSecVPNHistoryTraffic", "(uu)",
     "(sasus)", Code::U},
    {"GetL2TPVPNHistoryTraffic", kIgd, nullptr, "com.yvc.igd1.VPN.L2TP.Client", "GetL2TPVPNHistoryTraffic", "(uu)",
     "(sasus)", Code::U},
    {"GetVxLANVPNHistoryTraffic", kIgd, nullptr, "com.yvc.igd1.VPN.VxLAN", "GetVxLANVPNHistoryTraffic", "(uu)",
     "(sasus)", Code::U},
    {"SetPPPOEAccount", kIgd, nullptr, "com.yvc.igd1.PPPoE", "SetPPPOEAccount", "((ssssu))", "(us)", Code::U},
    {"SetPPPOEAction", kIgd, nullptr, "com.yvc.igd1.PPPoE", "SetPPPOEAction", "(ss)", "(us)", Code::U},
    {"StartIPPingDiagnostics", kIgd, "/com/yvc/igd1/Diagnostics/IPPing", "com.yvc.igd1.IPPingDiagnostics",
     "StartIPPingDiagnostics", "((usuuuu))", "(is)", Code::I},
    {"StartTraceRouteDiagnostics", kIgd, "/com/yvc/igd1/Diagnostics/TraceRoute", "com.yvc.igd1.TraceRouteDiagnostics",
     "StartTraceRouteDiagnostics", "((usuuuuu))", "(is)", Code::I},
    {"RunIPTables", kIgd, "/com/yvc/igd1/Firewall/IPTables", "com.yvc.igd1.IPTables", "RunIPTables", "(s)", "(asis)",
     Code::I},
    {"RunIP6Tables", kIgd, "/com/yvc/igd1/Firewall/IP6Tables", "com.yvc.igd1.IP6Tables", "RunIP6Tables", "(s)",
     "(asis)", Code::I},
    {"AddIPSet", kIgd, kIPSet, "com.yvc.igd1.IPSet", "AddIPSet", "(a(suusuas))", "(is)", Code::I},
    {"DeleteIPSetEntry", kIgd, kIPSet, "com.yvc.igd1.IPSet", "DeleteIPSetEntry", "(a(suusuas))", "(is)", Code::I},
    {"DeleteIPSet", kIgd, kIPSet, "com.yvc.igd1.IPSet", "DeleteIPSet", "(su)", "(is)", Code::I},
    {"CheckIPSetEntry", kIgd, kIPSet, "com.yvc.igd1.IPSet", "CheckIPSetEntry", "(ss)", "(iis)", Code::I},
    {"GetIPSetName", kIgd, kIPSet, "com.yvc.igd1.IPSet", "GetIPSetName", "()", "(asis)", Code::I},
    {"GetIPSetConf", kIgd, kIPSet, "com.yvc.igd1.IPSet", "GetIPSetConf", "(as)", "(avis)", Code::I},
    {"GetIPSetAllConf", kIgd, kIPSet, "com.yvc.igd1.IPSet", "GetIPSetAllConf", "()", "(avis)", Code::I},
    {"GetIPSetInfo", kIgd, kIPSet, "com.yvc.igd1.IPSet", "GetIPSetInfo", "(as)", "(avis)", Code::I},
    {"GetIPSetAllInfo", kIgd, kIPSet, "com.yvc.igd1.IPSet", "GetIPSetAllInfo", "()", "(avis)", Code::I},
    {"GetDiscInfo", kIgd, kNas, "com.yvc.igd1.NASAccess", "GetDiscInfo", "()", "(a(sssss)us)", Code::U},
    {"GetFileNum", kIgd, kNas, "com.yvc.igd1.NASAccess", "GetFileNum", "(s)", "(uus)", Code::U},
    {"ListFolder", kIgd, kNas, "com.yvc.igd1.NASAccess", "ListFolder", "(suu)", "(a(ssbts)us)", Code::U},
    {"CreateFolder", kIgd, kNas, "com.yvc.igd1.NASAccess", "CreateFolder", "(s)", "(us)", Code::U},
    {"Remove", kIgd, kNas, "com.yvc.igd1.NASAccess", "Remove", "(s)", "(us)", Code::U},
    {"Rename", kIgd, kNas, "com.yvc.igd1.NASAccess", "Rename", "(ss)", "(us)", Code::U},
    {"Move", kIgd, kNas, "com.yvc.igd1.NASAccess", "Move", "(ss)", "(us)", Code::U},
    {"Copy", kIgd, kNas, "com.yvc.igd1.NASAccess", "Copy", "(ss)", "(us)", Code::U},
    {"Mount", kIgd, nullptr, "com.yvc.igd1.USB.FileSystem", "Mount", "(a{sv})", "(sus)", Code::U},
    {"Unmount", kIgd, nullptr, "com.yvc.igd1.USB.FileSystem", "Unmount", "(s)", "(us)", Code::U},
    {"SetLabel", kIgd, nullptr, "com.yvc.igd1.USB.FileSystem", "SetLabel", "(s)", "(us)", Code::U},
    {"Format", kIgd, nullptr, "com.yvc.igd1.USB.FileSystem", "Format", "(s)", "(us)", Code::U},
    {"GetSlaveAllInfo", kIgd, "/com/yvc/igd1/FTTO/Master", "com.yvc.igd1.SlaveManager", "GetSlaveAllInfo", "()",
     "(a(uuuussssssu)us)", Code::U},
    {"GetL2TPVPNStatus", kIgd, nullptr, "com.yvc.igd1.L2TPVPN", "GetL2TPVPNStatus", "()", "((su)us)", Code::U},
    {"GetProfileStatus", kIgd, "/com/yvc/igd1/Firewall/L2TPVPN", "com.yvc.igd1.L2TPVPNProfile", "GetProfileStatus",
     "(s)", "(avus)", Code::U},
    {"GetProfileStatus", kIgd, "/com/yvc/igd1/Firewall/NetworkAcceleration", "com.yvc.igd1.NetworkAccelerationProfile",
     "GetProfileStatus", "(s)", "(avus)", Code::U},
    {"GetProfileStatus", kIgd, "/com/yvc/igd1/Firewall/TrafficControl", "com.yvc.igd1.TrafficControlProfile",
     "GetProfileStatus", "(s)", "(avus)", Code::U},
    {"List", kAppBus, "/com/yvc/appframework1", "com.yvc.appframework1.AppAgent", "List", "()", "(a{sv})", Code::None},
    {"GetStatus", kAppBus, "/com/yvc/appframework1", "com.yvc.appframework1.AppAgent", "GetStatus", "(s)", "(s)",
     Code::None},
    {"Restore", "com.yvc.zep1", "/com/yvc/zep1", "com.yvc.zep1.framework", "Restore", "()", "(u)", Code::None},
    {"Upgrade", "com.yvc.zep1", "/com/yvc/zep1", "com.yvc.zep1.framework", "Upgrade", "(sy)", "(u)", Code::None},
    {"com.yvc.gwagent1.GetStatus", "com.yvc.gwagent1", "/com/yvc/gwagent1", "com.yvc.gwagent1", "GetStatus", "()",
     "(suu)", Code::None},
};
static_assert(sizeof kRows / sizeof kRows[0] == kRowCount, "one row per method id");

}  // namespace

const Row &row(Id id) noexcept { return kRows[id]; }

int call(Id id, const char *path, GVariant *args, VariantPtr &reply) noexcept
{
    const Row &r = kRows[id];
    VariantPtr params = adopt_variant(args);
    GWLOG(LOG_LVL_DEBUG, "%s begin", r.name);
    const char *at = path ? path : r.path;
    const bool no_args = std::strcmp(r.args, "()") == 0;
    if (!at || (params && !g_variant_is_of_type(params.get(), G_VARIANT_TYPE(r.args))) || (!params && !no_args)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        GWLOG(LOG_LVL_WARN, "call method %s failed.", r.name);
        return -1;
    }
    VariantPtr out;
    std::string got;
    int rc = bus::call(r.bus, at, r.iface, r.method, params.release(), G_VARIANT_TYPE(r.reply), &out,
                       HGU_DEFAULT_TIMEOUT, &got);
    if (rc == bus::kWrongReplyType)
        GWLOG(LOG_LVL_WARN, "return variant type(%s) is not correct type %s", got.c_str(), r.reply);
    if (rc != 0 || !out) {
        GWLOG(LOG_LVL_WARN, "call method %s failed.", r.name);
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "Method %s : %s", r.method, bus::print_variant(out.get()).c_str());
    reply = std::move(out);
    return 0;
}

int pass_refusal(Id id, GVariant *reply, int *status, char **errmsg) noexcept
{
    const Row &r = kRows[id];
    if (r.code == Code::None || !reply)
        return 0;
    const size_t n = g_variant_n_children(reply);
    VariantPtr code_v(g_variant_get_child_value(reply, n - 2));
    VariantPtr text_v(g_variant_get_child_value(reply, n - 1));
    const int code =
        r.code == Code::U ? static_cast<int>(g_variant_get_uint32(code_v.get())) : g_variant_get_int32(code_v.get());
    if (code == 0)
        return 0;
    if (status)
        *status = code;
    const char *text = g_variant_get_string(text_v.get(), nullptr);
    if (errmsg && text && *text)
        *errmsg = g_strdup(text);
    return code;
}

bool texts_valid(Id id, std::initializer_list<const char *> texts) noexcept
{
    for (const char *t : texts) {
        if (t && !g_utf8_validate(t, -1, nullptr)) {
            GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
            GWLOG(LOG_LVL_WARN, "call method %s failed.", kRows[id].name);
            return false;
        }
    }
    return true;
}

int simple(Id id, const char *path, GVariant *args, int *status, char **errmsg, VariantPtr *reply_out) noexcept
{
    VariantPtr reply;
    if (call(id, path, args, reply) != 0)
        return -1;
    pass_refusal(id, reply.get(), status, errmsg);
    if (reply_out)
        *reply_out = std::move(reply);
    return 0;
}

void copy_struct(GVariant *tuple, const Field *fields, size_t n_fields, void *record) noexcept
{
    char *base = static_cast<char *>(record);
    const size_t n = g_variant_n_children(tuple);
    for (size_t i = 0; i < n && i < n_fields; ++i) {
        VariantPtr v(g_variant_get_child_value(tuple, i));
        const Field &f = fields[i];
        char *dst = base + f.offset;
        if (g_variant_get_type_string(v.get())[0] != f.type) {
            GWLOG(LOG_LVL_WARN, "member %d has type %s, expected %c.", static_cast<int>(i),
                  g_variant_get_type_string(v.get()), f.type);
            continue;
        }
        switch (f.type) {
        case 's':
            copy_truncated(dst, f.size, g_variant_get_string(v.get(), nullptr));
            break;
        case 'b': {
            gboolean b = g_variant_get_boolean(v.get());
            std::memcpy(dst, &b, sizeof b);
            break;
        }
        case 'y': {
            uint8_t y = g_variant_get_byte(v.get());
            std::memcpy(dst, &y, sizeof y);
            break;
        }
        case 'u': {
            uint32_t u = g_variant_get_uint32(v.get());
            std::memcpy(dst, &u, sizeof u);
            break;
        }
        case 'i': {
            int32_t x = g_variant_get_int32(v.get());
            std::memcpy(dst, &x, sizeof x);
            break;
        }
        case 't': {
            uint64_t t = g_variant_get_uint64(v.get());
            std::memcpy(dst, &t, sizeof t);
            break;
        }
        default:
            break;
        }
    }
}

int copy_array(GVariant *array, const Field *fields, size_t n_fields, size_t record_size, void **out,
               int *count) noexcept
{
    const size_t n = array ? g_variant_n_children(array) : 0;
    if (n == 0) {
        *out = nullptr;
        *count = 0;
        return 0;
    }
    char *block = static_cast<char *>(g_try_malloc0_n(n, record_size));
    if (!block) {
        GWLOG(LOG_LVL_ERR, "malloc for %d records failed.", static_cast<int>(n));
        return -1;
    }
    for (size_t i = 0; i < n; ++i) {
        VariantPtr element(g_variant_get_child_value(array, i));
        copy_struct(element.get(), fields, n_fields, block + i * record_size);
    }
    *out = block;
    *count = static_cast<int>(n);
    return 0;
}

}  // namespace gw::methods
