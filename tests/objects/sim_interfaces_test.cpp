// What the configuration simulator tells about itself through introspection, held against the
// service contract: interfaces at objects and collections, every method's argument and reply
// signature, and the signals with their payloads.
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "igd1_sim.hpp"

namespace {

struct NodeInfoFree {
    void operator()(GDBusNodeInfo *n) const noexcept { g_dbus_node_info_unref(n); }
};
using NodePtr = std::unique_ptr<GDBusNodeInfo, NodeInfoFree>;

std::string joined(GDBusArgInfo **args)
{
    std::string out;
    for (GDBusArgInfo **a = args; a && *a; ++a)
        out += (*a)->signature;
    return out;
}

// "in -> out" per method and "(payload)" per signal, by interface.
struct Described {
    std::map<std::string, std::map<std::string, std::string>> methods;
    std::map<std::string, std::map<std::string, std::string>> signals;
    std::vector<std::string> interfaces;  // in document order, repeats kept
    std::set<std::string> children;
};

Described describe(gwtest::Igd1Sim &sim, const std::string &path, const char *dest = "com.yvc.igd1")
{
    Described d;
    const std::string xml = sim.introspect(path, dest);
    gw::ErrorPtr err;
    NodePtr node(g_dbus_node_info_new_for_xml(xml.c_str(), gw::ErrorOut(err)));
    if (!node) {
        ADD_FAILURE() << path << ": introspection is not valid XML: " << gw::error_text(err) << "\n" << xml;
        return d;
    }
    for (GDBusInterfaceInfo **i = node->interfaces; i && *i; ++i) {
        d.interfaces.push_back((*i)->name);
        for (GDBusMethodInfo **m = (*i)->methods; m && *m; ++m)
            d.methods[(*i)->name][(*m)->name] = joined((*m)->in_args) + " -> " + joined((*m)->out_args);
        for (GDBusSignalInfo **s = (*i)->signals; s && *s; ++s)
            d.signals[(*i)->name][(*s)->name] = "(" + joined((*s)->args) + ")";
    }
    for (GDBusNodeInfo **n = node->nodes; n && *n; ++n)
        d.children.insert((*n)->path);
    return d;
}

bool has_interface(const Described &d, const std::string &iface)
{
    return std::find(d.interfaces.begin(), d.interfaces.end(), iface) != d.interfaces.end();
}

constexpr char kProps[] = "com.yvc.igd1.Properties";
constexpr char kManager[] = "com.yvc.igd1.ObjectManager";

class SimIntrospection : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sim.ready()); }
    gwtest::TempRoot root;
    gwtest::Igd1Sim sim;
};

TEST_F(SimIntrospection, ObjectsHavePropertiesAndOnlyCollectionsHaveTheManager)
{
    const std::map<std::string, std::string> properties{
        {"Get", "ss -> v"}, {"Set", "ssv -> "}, {"GetAll", "s -> a{sv}"}, {"SetValues", "sa{sv} -> "}};
    const std::map<std::string, std::string> manager{{"GetManagedObjects", " -> a{oa{sa{sv}}}"},
                                                     {"AddObject", " -> o"},
                                                     {"DeleteObject", "o -> "},
                                                     {"RemoveAllObjects", " -> "}};

    for (const char *single :
         {"/com/yvc/igd1/Info/PON", "/com/yvc/igd1/Info/Device", "/com/yvc/igd1/Config/WLAN/Devices/1/WPS"}) {
        SCOPED_TRACE(single);
        Described d = describe(sim, single);
        EXPECT_EQ(d.methods[kProps], properties);
        EXPECT_FALSE(has_interface(d, kManager)) << "a single object is no collection";
    }
    for (const char *coll : {"/com/yvc/igd1/Info/Network/WANConnectionDb", "/com/yvc/igd1/Config/LANHosts",
                             "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping"}) {
        SCOPED_TRACE(coll);
        Described d = describe(sim, coll);
        EXPECT_EQ(d.methods[kManager], manager);
    }
    // An empty collection that the profile names is still one.
    Described empty = describe(sim, "/com/yvc/igd1/Info/Network/WANConnectionDb/2/PortMapping");
    EXPECT_EQ(empty.methods[kManager], manager);

    Described pon = describe(sim, "/com/yvc/igd1/Info/PON");
    EXPECT_TRUE(has_interface(pon, "com.yvc.igd1.PONInfo"));
    EXPECT_TRUE(has_interface(pon, "org.freedesktop.DBus.Introspectable"));
}

TEST_F(SimIntrospection, ObjectMethodsCarryTheirArgumentAndReplySignatures)
{
    struct Group {
        const char *path;
        const char *iface;
        std::vector<std::pair<const char *, const char *>> methods;  // name, "in -> out"
    };
    // clang-format off
    const Group groups[] = {
        {"/com/yvc/igd1/Orvane/System", "SysCmd", {{"Reboot", " -> us"}, {"Restore", " -> us"},
            {"Register", "sss -> us"}, {"RegisterGetStat", " -> us"}, {"CheckHardwareStart", " -> us"},
            {"GetLog", "sss -> us"}, {"GetUpgradeVersion", " -> ssus"}, {"InformNotifyVersion", " -> us"},
            {"InformUpgrade", " -> us"}, {"GetDeviceDefaultSSID1Name", " -> sus"}}},
        {"/com/yvc/igd1/Info/Network/WANConnectionDb", "WANConnectManager", {{"GetWANConnByName", "s -> ous"},
            {"GetInternetConnIndex", " -> ous"}}},
        {"/com/yvc/igd1/Config/LANHosts", "LANHostManager", {{"GetLANHostPathbyMAC", "s -> ous"},
            {"GetOnlineDeviceList", " -> a{oa{sa{sv}}}us"}, {"GetOnlineDevicesSnapShot", " -> a{oa{sa{sv}}}us"}}},
        {"/com/yvc/igd1/Config/LANHosts/1", "LANHost", {{"SetAttachSpeedup", "sy -> us"}}},
        {"/com/yvc/igd1/Info/WiFi", "WiFiInfo", {{"KickOutDevice", "ss -> us"}, {"GetWLANNeighbor", "s -> us"}}},
        {"/com/yvc/igd1/Info/WiFiRoaming", "WiFiRoaming", {{"GetWiFiRoamingRecordsByMac", "s -> a(ssssiiiu)us"}}},
        {"/com/yvc/igd1/Info/PON", "PONInfo", {{"GetPONHistoryTraffic", "uu -> sasus"}}},
        {"/com/yvc/igd1/Config/EthernetConfig/1", "EthernetConfig", {{"GetLANHistoryTraffic", "uu -> sasus"}}},
        {"/com/yvc/igd1/VPN/IPSec/1", "VPN.IPSec", {{"GetIPSecVPNHistoryTraffic", "uu -> sasus"}}},
        {"/com/yvc/igd1/VPN/L2TP/1/Client/1", "VPN.L2TP.Client", {{"GetL2TPVPNHistoryTraffic", "uu -> sasus"}}},
        {"/com/yvc/igd1/VPN/VxLAN/1", "VPN.VxLAN", {{"GetVxLANVPNHistoryTraffic", "uu -> sasus"}}},
        {"/com/yvc/igd1/Orvane/PPPoE/1", "PPPoE", {{"SetPPPOEAccount", "(ssssu) -> us"},
            {"SetPPPOEAction", "ss -> us"}}},
        {"/com/yvc/igd1/Diagnostics/IPPing", "IPPingDiagnostics", {{"StartIPPingDiagnostics", "(usuuuu) -> is"}}},
        {"/com/yvc/igd1/Diagnostics/TraceRoute", "TraceRouteDiagnostics", {
            {"StartTraceRouteDiagnostics", "(usuuuuu) -> is"}}},
        {"/com/yvc/igd1/Firewall/IPTables", "IPTables", {{"RunIPTables", "s -> asis"}}},
        {"/com/yvc/igd1/Firewall/IP6Tables", "IP6Tables", {{"RunIP6Tables", "s -> asis"}}},
        {"/com/yvc/igd1/Firewall/IPSet", "IPSet", {{"AddIPSet", "a(suusuas) -> is"},
            {"DeleteIPSetEntry", "a(suusuas) -> is"}, {"DeleteIPSet", "su -> is"}, {"CheckIPSetEntry", "ss -> iis"},
            {"GetIPSetName", " -> asis"}, {"GetIPSetConf", "as -> avis"}, {"GetIPSetAllConf", " -> avis"},
            {"GetIPSetInfo", "as -> avis"}, {"GetIPSetAllInfo", " -> avis"}}},
        {"/com/yvc/igd1/Storage/NAS", "NASAccess", {{"GetDiscInfo", " -> a(sssss)us"}, {"GetFileNum", "s -> uus"},
            {"ListFolder", "suu -> a(ssbts)us"}, {"CreateFolder", "s -> us"}, {"Remove", "s -> us"},
            {"Rename", "ss -> us"}, {"Move", "ss -> us"}, {"Copy", "ss -> us"}}},
        {"/com/yvc/igd1/Storage/USB/Devices/1", "USB.FileSystem", {{"Mount", "a{sv} -> sus"}, {"Unmount", "s -> us"},
            {"SetLabel", "s -> us"}, {"Format", "s -> us"}}},
        {"/com/yvc/igd1/FTTO/Master", "SlaveManager", {{"GetSlaveAllInfo", " -> a(uuuussssssu)us"}}},
        {"/com/yvc/igd1/Firewall/L2TPVPN/1", "L2TPVPN", {{"GetL2TPVPNStatus", " -> (su)us"}}},
        {"/com/yvc/igd1/Firewall/L2TPVPN", "L2TPVPNProfile", {{"GetProfileStatus", "s -> avus"}}},
        {"/com/yvc/igd1/Firewall/NetworkAcceleration", "NetworkAccelerationProfile", {
            {"GetProfileStatus", "s -> avus"}}},
        {"/com/yvc/igd1/Firewall/TrafficControl", "TrafficControlProfile", {{"GetProfileStatus", "s -> avus"}}},
    };
    // clang-format on
    for (const Group &g : groups) {
        Described d = describe(sim, g.path);
        const std::string iface = std::string("com.yvc.igd1.") + g.iface;
        ASSERT_TRUE(d.methods.count(iface) || has_interface(d, iface)) << g.path << " lacks " << iface;
        for (const auto &[method, sig] : g.methods) {
            EXPECT_EQ(d.methods[iface][method], sig) << g.path << " " << iface << "." << method;
        }
    }
}

TEST_F(SimIntrospection, SignalsCarryTheirPayloads)
{
    struct Row {
        const char *path;
        const char *iface;
        const char *signal;
        const char *payload;  // nullptr: the payload is not part of the contract
    };
    const Row rows[] = {
        {"/com/yvc/igd1/Transfer/AutoDiagnostics/Monitor", "Properties", "PropertiesChanged", "(sa{sv}as)"},
        {"/com/yvc/igd1/Diagnostics/IPPing", "IPPingDiagnostics", "IPPingResponse", "(a{sv}us)"},
        {"/com/yvc/igd1/Diagnostics/TraceRoute", "TraceRouteDiagnostics", "TraceRouteResponse", "(a{sv}us)"},
        {"/com/yvc/igd1/Info/WiFi", "WiFiInfo", "WLANNeighborResponse", nullptr},
        {"/com/yvc/igd1/Info/WiFiRoaming", "WiFiRoaming", "TerminalDeviceRoaming", "(ssssiiiu)"},
        {"/com/yvc/igd1/Firewall/L2TPVPN/1", "L2TPVPN", "L2TPVPNStatusNotify", "((su)us)"},
        {"/com/yvc/igd1/Info/VoIP/1", "VoIPInfo", "NotifyVoiceCallInfo", "(a{sv})"},
        {"/com/yvc/igd1/Config/LANHosts", "LANHostManager", "LanDeviceAccess", nullptr},
        {"/com/yvc/igd1/Orvane/System", "SysCmd", "CheckHardwareStatus", nullptr},
    };
    for (const Row &r : rows) {
        Described d = describe(sim, r.path);
        const std::string iface = std::string("com.yvc.igd1.") + r.iface;
        ASSERT_TRUE(d.signals[iface].count(r.signal)) << r.path << " " << iface << " has no signal " << r.signal;
        if (r.payload) {
            EXPECT_EQ(d.signals[iface][r.signal], r.payload) << r.path << " " << iface << "." << r.signal;
        }
    }
}

TEST_F(SimIntrospection, EveryInterfaceIsListedOnceAndChildrenAreNodes)
{
    for (const char *path : {"/com/yvc/igd1/Transfer/AutoDiagnostics/Monitor", "/com/yvc/igd1/Config/LANHosts",
                             "/com/yvc/igd1/Storage/USB/Devices/1", "/com/yvc/igd1/Transfer/WMMConfiguration"}) {
        Described d = describe(sim, path);
        std::set<std::string> unique(d.interfaces.begin(), d.interfaces.end());
        EXPECT_EQ(unique.size(), d.interfaces.size()) << path << " lists an interface twice";
    }
    Described usb = describe(sim, "/com/yvc/igd1/Storage/USB/Devices/1");
    EXPECT_TRUE(has_interface(usb, "com.yvc.igd1.USB.Device"));
    EXPECT_TRUE(has_interface(usb, "com.yvc.igd1.USB.FileSystem"));

    Described hosts = describe(sim, "/com/yvc/igd1/Config/LANHosts");
    EXPECT_EQ(hosts.children, (std::set<std::string>{"1", "2", "3", "4"}));
    Described top = describe(sim, "/com/yvc/igd1");
    EXPECT_TRUE(top.children.count("Info") && top.children.count("Config") && top.children.count("VPN"));
    EXPECT_FALSE(has_interface(top, kManager));
}

TEST_F(SimIntrospection, FrameworkServiceDescribesUpgradeAndRestore)
{
    Described d = describe(sim, "/com/yvc/zep1", "com.yvc.zep1");
    EXPECT_EQ(d.methods["com.yvc.zep1.framework"],
              (std::map<std::string, std::string>{{"Upgrade", "sy -> u"}, {"Restore", " -> u"}}));
}

}  // namespace
