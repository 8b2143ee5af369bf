// VLAN binding of the WAN connections, Layer-3 static routes (IPv4 and IPv6), the VPN switch, VxLAN tunnels
// with their traffic history, and the IPv6 LAN side.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kWanIface = "com.yvc.igd1.WANConnectionInfo";
constexpr const char *kV4 = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config";
constexpr const char *kV4Iface = "com.yvc.igd1.Layer3ForwardingIPv4Config";
constexpr const char *kV6 = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config";
constexpr const char *kV6Iface = "com.yvc.igd1.Layer3ForwardingIPv6Config";
constexpr const char *kVpn = "/com/yvc/igd1/VPN";
constexpr const char *kVpnIface = "com.yvc.igd1.VPN";
constexpr const char *kVxLAN = "/com/yvc/igd1/VPN/VxLAN";
constexpr const char *kVxIface = "com.yvc.igd1.VPN.VxLAN";
constexpr const char *kVxHistory = "GetVxLANVPNHistoryTraffic";

std::set<uint32_t> numbers(const std::vector<std::string> &paths)
{
    std::set<uint32_t> out;
    for (const auto &p : paths)
        out.insert(static_cast<uint32_t>(std::stoul(p.substr(p.rfind('/') + 1))));
    return out;
}

// ---- VLAN binding ------------------------------------------------------------------------------------

using VlanBind = ApiSim;

TEST_F(VlanBind, OneRecordPerConnectionWithItsBindingFields)
{
    const auto wans = fixture_paths(s(), std::string(kWanDb) + "/", kWanIface);
    ASSERT_EQ(wans.size(), 3u);
    api_VLANBindInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVLANBindInfo(&info, &count), 0);
    ASSERT_EQ(count, static_cast<int>(wans.size()));
    for (int i = 0; i < count; ++i) {
        const api_VLANBindInfo_t &b = info[i];
        expect_fields(s(), wans[static_cast<size_t>(i)], kWanIface,
                      {prop("Index", std::to_string(b.Index)), prop("WANName", b.WANName), prop("IfName", b.IfName),
                       prop("ServiceList", b.ServiceList), prop("LanInterface", b.LanInterface),
                       prop("VLANMode", b.VLANMode), prop("VLANID", b.VLANID), prop("VLAN8021P", b.VLAN8021P),
                       prop("MulticastVlan", b.MulticastVlan)});
    }
    EXPECT_EQ(api_releaseVLANBindInfo(info, count), 0);
}

TEST_F(VlanBind, OddIndexIsZeroNoConnectionIsEmptyAndFailureLeavesNothing)
{
    set_prop(std::string(kWanDb) + "/2", kWanIface, "Index", "'2a'");
    set_prop(std::string(kWanDb) + "/3", kWanIface, "VLANID", "uint32 4094");
    api_VLANBindInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVLANBindInfo(&info, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(info[0].Index, 1u);
    EXPECT_EQ(info[1].Index, 0u);
    EXPECT_EQ(info[1].VLANID, 46u);
    EXPECT_EQ(info[2].VLANID, 4094u);
    EXPECT_EQ(api_releaseVLANBindInfo(info, count), 0);

    fail("GetManagedObjects", kWanDb);
    expect_no_list(-1, api_getVLANBindInfo);
    remove_matching("/WANConnectionDb/");
    expect_no_list(0, api_getVLANBindInfo);
    expect_null_refused(api_getVLANBindInfo, api_releaseVLANBindInfo);
}

// ---- IPv4 routes -------------------------------------------------------------------------------------

// Beside the profile's static route 1: a route the gateway made itself (2), a disabled static route (3) and
// a static route that is enabled but not in force (4).
class Routes4 : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        route(2, "true", "Enabled", "false", "'192.168.1.0'", "'255.255.255.0'", "'0.0.0.0'");
        route(3, "false", "Disabled", "true", "'172.20.0.0'", "'255.255.0.0'", "'10.20.30.1'");
        route(4, "true", "Error", "true", "'172.21.0.0'", "'255.255.0.0'", "'10.20.30.1'");
        s().control("ResetCounts", nullptr);
    }
    void route(unsigned n, const char *enable, const char *status, const char *is_static, const char *dest,
               const char *mask, const char *gw)
    {
        s().set_object(at(kV4, n), std::string("{\"") + kV4Iface + "\": {\"Enable\": \"" + enable +
                                       "\", \"Status\": \"'" + status + "'\", \"StaticRoute\": \"" + is_static +
                                       "\", \"Type\": \"'Network'\", \"DestIPAddress\": \"" + dest +
                                       "\", \"DestSubnetMask\": \"" + mask + "\", \"GatewayIPAddress\": \"" + gw +
                                       "\", \"Interface\": \"'" + kWanDb + "/2'\"}}");
    }
    std::string str(unsigned n, const char *name) { return fixture_str(s(), at(kV4, n), kV4Iface, name); }
    int64_t num(unsigned n, const char *name) { return fixture_num(s(), at(kV4, n), kV4Iface, name); }
    // The entry equal to route n.
    api_Layer3ForwardingEntry_t entry_of(unsigned n)
    {
        api_Layer3ForwardingEntry_t e{};
        e.Enable = 1;
        std::strcpy(e.DestIPAddress, str(n, "DestIPAddress").c_str());
        std::strcpy(e.DestSubnetMask, str(n, "DestSubnetMask").c_str());
        std::strcpy(e.GatewayIPAddress, str(n, "GatewayIPAddress").c_str());
        std::strcpy(e.Interface, str(n, "Interface").c_str());
        return e;
    }
    size_t route_count() { return fixture_paths(s(), std::string(kV4) + "/", kV4Iface).size(); }
};

TEST_F(Routes4, StaticListHoldsTheStaticRoutesWithIndexAndFields)
{
    api_Layer3ForwardingInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLayer3ForwardingStaticConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, 3);
    const unsigned want[] = {1, 3, 4};
    for (int i = 0; i < count; ++i) {
        const api_Layer3ForwardingInfo_t &r = info[i];
        EXPECT_EQ(r.Index, want[i]);
        EXPECT_EQ(r.StaticRoute, 1u);
        expect_fields(s(), at(kV4, want[i]), kV4Iface,
                      {prop("Enable", r.Enable), prop("Status", r.Status), prop("Type", r.Type),
                       prop("DestIPAddress", r.DestIPAddress), prop("DestSubnetMask", r.DestSubnetMask),
                       prop("GatewayIPAddress", r.GatewayIPAddress), prop("Interface", r.Interface)});
    }
    EXPECT_EQ(api_releaseLayer3ForwardingStaticConfigInfo(info, count), 0);
}

TEST_F(Routes4, CurrentListHoldsTheEnabledRoutesInForceStaticOrNot)
{
    api_Layer3ForwardingInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLayer3ForwardingCurrent(&info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(info[0].Index, 1u);
    EXPECT_EQ(info[1].Index, 2u);
    EXPECT_EQ(info[1].StaticRoute, 0u);
    EXPECT_STREQ(info[1].DestIPAddress, "192.168.1.0");
    EXPECT_STREQ(info[1].Status, "Enabled");
    EXPECT_EQ(api_releaseLayer3ForwardingCurrent(info, count), 0);
}

TEST_F(Routes4, EmptyOrFailedListsGiveNoBlock)
{
    fail("GetManagedObjects", kV4);
    expect_no_list(-1, api_getLayer3ForwardingStaticConfigInfo);
    fail("GetManagedObjects", kV4);
    expect_no_list(-1, api_getLayer3ForwardingCurrent);

    // Only routes that are neither static nor in force.
    for (unsigned n : {1u, 3u, 4u})
        s().remove_object(at(kV4, n));
    set_prop(at(kV4, 2), kV4Iface, "Status", "'Disabled'");
    expect_no_list(0, api_getLayer3ForwardingStaticConfigInfo);
    expect_no_list(0, api_getLayer3ForwardingCurrent);
    expect_null_refused(api_getLayer3ForwardingStaticConfigInfo, api_releaseLayer3ForwardingStaticConfigInfo);
    expect_null_refused(api_getLayer3ForwardingCurrent, api_releaseLayer3ForwardingCurrent);
}

TEST_F(Routes4, AddingAnEqualStaticRouteReturnsItsIndexAndEnablesItOnly)
{
    gwtest::LogCapture log;
    const size_t before = route_count();
    api_Layer3ForwardingEntry_t e = entry_of(3);
    e.Enable = 0;  // the existing route is switched on whatever the entry says
    EXPECT_EQ(api_addLayer3ForwardingStatic(&e), 3);
    EXPECT_EQ(num(3, "Enable"), 1);
    EXPECT_TRUE(log.contains("(api_addLayer3ForwardingStatic) IPv4 StaticRoute found, do not add."));
    EXPECT_EQ(s().call_count("Set"), 1u);

    s().control("ResetCounts", nullptr);
    const api_Layer3ForwardingEntry_t first = entry_of(1);
    EXPECT_EQ(api_addLayer3ForwardingStatic(&first), 1);
    EXPECT_EQ(s().call_count("Set"), 0u);
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_EQ(route_count(), before);

    // Set enable of the found route fails: nothing is added instead.
    set_prop(at(kV4, 3), kV4Iface, "Enable", "false");
    fail("Set", at(kV4, 3));
    EXPECT_EQ(api_addLayer3ForwardingStatic(&e), -1);
    EXPECT_EQ(num(3, "Enable"), 0);
    EXPECT_EQ(route_count(), before);
}

TEST_F(Routes4, ANewRouteIsAddedWithTheEntryFields)
{
    // Equal to route 2, which is not static: that one does not count.
    api_Layer3ForwardingEntry_t e = entry_of(2);
    e.Enable = 0;
    ASSERT_EQ(api_addLayer3ForwardingStatic(&e), 5);
    expect_fields(s(), at(kV4, 5), kV4Iface,
                  {prop("DestIPAddress", "192.168.1.0"), prop("DestSubnetMask", "255.255.255.0"),
                   prop("GatewayIPAddress", "0.0.0.0"), prop("Interface", std::string(kWanDb) + "/2"),
                   prop("Enable", 0)});
    EXPECT_EQ(num(2, "Enable"), 1);

    api_Layer3ForwardingEntry_t other{};
    other.Enable = 7;  // any nonzero value is on
    std::strcpy(other.DestIPAddress, "10.99.0.0");
    std::strcpy(other.DestSubnetMask, "255.255.0.0");
    std::strcpy(other.GatewayIPAddress, "100.64.12.1");
    std::strcpy(other.Interface, "/com/yvc/igd1/Info/Network/WANConnectionDb/1");
    ASSERT_EQ(api_addLayer3ForwardingStatic(&other), 6);
    EXPECT_EQ(s().prop_text(at(kV4, 6), kV4Iface, "Enable"), "true");
    EXPECT_EQ(str(6, "DestIPAddress"), "10.99.0.0");
}

TEST_F(Routes4, FailedAddsLeaveNoRouteBehind)
{
    const size_t before = route_count();
    api_Layer3ForwardingEntry_t e = entry_of(1);
    std::strcpy(e.DestIPAddress, "10.77.0.0");
    EXPECT_EQ(api_addLayer3ForwardingStatic(nullptr), -1);
    fail("GetManagedObjects", kV4);
    EXPECT_EQ(api_addLayer3ForwardingStatic(&e), -1);
    fail("AddObject", kV4);
    EXPECT_EQ(api_addLayer3ForwardingStatic(&e), -1);
    fail("SetValues");
    EXPECT_EQ(api_addLayer3ForwardingStatic(&e), -1);
    EXPECT_EQ(route_count(), before);
    EXPECT_FALSE(s().exists(at(kV4, 5)));
}

TEST_F(Routes4, DeleteRemovesAStaticRouteAndNothingElse)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(0), -1);
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(9), -1);
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(2), -1);
    EXPECT_TRUE(s().exists(at(kV4, 2)));
    EXPECT_TRUE(log.contains("(api_deleteLayer3ForwardingStatic) Layer3ForwardingIPv4Config.2 is not a static route."));
    EXPECT_EQ(s().call_count("DeleteObject"), 0u);

    fail("DeleteObject", kV4);
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(3), -1);
    EXPECT_TRUE(s().exists(at(kV4, 3)));
    fail("GetAll", at(kV4, 3));
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(3), -1);
    EXPECT_TRUE(s().exists(at(kV4, 3)));

    ASSERT_EQ(api_deleteLayer3ForwardingStatic(3), 0);
    EXPECT_FALSE(s().exists(at(kV4, 3)));
    EXPECT_TRUE(s().exists(at(kV4, 1)));
    EXPECT_TRUE(s().exists(at(kV4, 4)));
    EXPECT_EQ(api_deleteLayer3ForwardingStatic(3), -1);
}

// ---- IPv6 routes -------------------------------------------------------------------------------------

class Routes6 : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        route(2, "true", "Enabled", "false", "'2001:db8:1::/64'", "'::'");
        route(3, "false", "Disabled", "true", "'2001:db8:77::/48'", "'fe80::7'");
        s().control("ResetCounts", nullptr);
    }
    void route(unsigned n, const char *enable, const char *status, const char *is_static, const char *prefix,
               const char *hop)
    {
        s().set_object(at(kV6, n), std::string("{\"") + kV6Iface + "\": {\"Enable\": \"" + enable +
                                       "\", \"Status\": \"'" + status + "'\", \"StaticRoute\": \"" + is_static +
                                       "\", \"Type\": \"'Network'\", \"DestIPPrefix\": \"" + prefix +
                                       "\", \"NextHop\": \"" + hop + "\", \"Interface\": \"'" + kWanDb + "/1'\"}}");
    }
    std::string str(unsigned n, const char *name) { return fixture_str(s(), at(kV6, n), kV6Iface, name); }
    api_IPv6Layer3ForwardingEntry_t entry_of(unsigned n)
    {
        api_IPv6Layer3ForwardingEntry_t e{};
        e.Enable = 1;
        std::strcpy(e.DestIPPrefix, str(n, "DestIPPrefix").c_str());
        std::strcpy(e.NextHop, str(n, "NextHop").c_str());
        std::strcpy(e.Interface, str(n, "Interface").c_str());
        return e;
    }
};

TEST_F(Routes6, StaticAndCurrentListsKeepTheirOwnRoutes)
{
    api_IPv6Layer3ForwardingInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getIPv6Layer3ForwardingStaticConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(info[0].Index, 1u);
    expect_fields(s(), at(kV6, 1), kV6Iface,
                  {prop("DestIPPrefix", info[0].DestIPPrefix), prop("NextHop", info[0].NextHop),
                   prop("Interface", info[0].Interface), prop("Status", info[0].Status), prop("Type", info[0].Type),
                   prop("Enable", info[0].Enable)});
    EXPECT_EQ(info[1].Index, 3u);
    expect_fields(s(), at(kV6, 3), kV6Iface,
                  {prop("DestIPPrefix", info[1].DestIPPrefix), prop("Enable", info[1].Enable)});
    EXPECT_EQ(api_releaseIPv6Layer3ForwardingStaticConfigInfo(info, count), 0);

    ASSERT_EQ(api_getIPv6Layer3ForwardingCurrent(&info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(info[0].Index, 1u);
    EXPECT_EQ(info[1].Index, 2u);
    EXPECT_EQ(info[1].StaticRoute, 0u);
    EXPECT_EQ(api_releaseIPv6Layer3ForwardingCurrent(info, count), 0);

    fail("GetManagedObjects", kV6);
    expect_no_list(-1, api_getIPv6Layer3ForwardingCurrent);
    expect_null_refused(api_getIPv6Layer3ForwardingStaticConfigInfo, api_releaseIPv6Layer3ForwardingStaticConfigInfo);
    expect_null_refused(api_getIPv6Layer3ForwardingCurrent, api_releaseIPv6Layer3ForwardingCurrent);
}

TEST_F(Routes6, AddFindsTheEqualStaticRouteOrAddsOnTheIPv6Collection)
{
    const api_IPv6Layer3ForwardingEntry_t disabled = entry_of(3);
    EXPECT_EQ(api_addIPv6Layer3ForwardingStatic(&disabled), 3);
    EXPECT_EQ(s().prop_text(at(kV6, 3), kV6Iface, "Enable"), "true");
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    const api_IPv6Layer3ForwardingEntry_t system_made = entry_of(2);
    ASSERT_EQ(api_addIPv6Layer3ForwardingStatic(&system_made), 4);
    expect_fields(s(), at(kV6, 4), kV6Iface,
                  {prop("DestIPPrefix", "2001:db8:1::/64"), prop("NextHop", "::"),
                   prop("Interface", std::string(kWanDb) + "/1")});
    EXPECT_FALSE(s().exists(at(kV4, 2)));  // nothing on the IPv4 side

    api_IPv6Layer3ForwardingEntry_t fresh = entry_of(1);
    std::strcpy(fresh.DestIPPrefix, "2001:db8:aa::/48");
    fail("SetValues");
    EXPECT_EQ(api_addIPv6Layer3ForwardingStatic(&fresh), -1);
    EXPECT_FALSE(s().exists(at(kV6, 5)));
    EXPECT_EQ(api_addIPv6Layer3ForwardingStatic(nullptr), -1);
}

TEST_F(Routes6, DeleteTakesOnlyStaticRoutes)
{
    EXPECT_EQ(api_deleteIPv6Layer3ForwardingStatic(0), -1);
    EXPECT_EQ(api_deleteIPv6Layer3ForwardingStatic(2), -1);
    EXPECT_TRUE(s().exists(at(kV6, 2)));
    EXPECT_EQ(api_deleteIPv6Layer3ForwardingStatic(8), -1);
    fail("DeleteObject", kV6);
    EXPECT_EQ(api_deleteIPv6Layer3ForwardingStatic(3), -1);
    EXPECT_TRUE(s().exists(at(kV6, 3)));
    ASSERT_EQ(api_deleteIPv6Layer3ForwardingStatic(3), 0);
    EXPECT_FALSE(s().exists(at(kV6, 3)));
    EXPECT_TRUE(s().exists(at(kV6, 1)));
    // The IPv4 route with the same index is not touched.
    EXPECT_TRUE(s().exists(at(kV4, 1)));
}

// ---- VPN switch --------------------------------------------------------------------------------------

using VpnSettings = ApiSim;

TEST_F(VpnSettings, GetReadsSwitchTypeAndCount)
{
    api_VPNInfo_t v{};
    ASSERT_EQ(api_getVPN(&v), 0);
    expect_fields(s(), kVpn, kVpnIface,
                  {prop("Enable", v.Enable), prop("VPNType", v.VPNType), prop("VPNNum", v.VPNNum)});
    EXPECT_EQ(api_getVPN(nullptr), -1);
    fail("GetAll", kVpn);
    EXPECT_EQ(api_getVPN(&v), -1);
}

TEST_F(VpnSettings, SetWritesSwitchAndTypeButNeverTheCount)
{
    const int64_t num = fixture_num(s(), kVpn, kVpnIface, "VPNNum");
    ASSERT_EQ(api_setVPN(0, "L2TP"), 0);
    EXPECT_EQ(s().prop_text(kVpn, kVpnIface, "Enable"), "false");
    EXPECT_EQ(fixture_str(s(), kVpn, kVpnIface, "VPNType"), "L2TP");
    EXPECT_EQ(fixture_num(s(), kVpn, kVpnIface, "VPNNum"), num);
    EXPECT_EQ(last_args("SetValues").find("VPNNum"), std::string::npos);
    ASSERT_EQ(api_setVPN(1, "IPSec"), 0);
    EXPECT_EQ(s().prop_text(kVpn, kVpnIface, "Enable"), "true");

    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_setVPN(2, "IPSec"), -1);
    EXPECT_EQ(api_setVPN(1, nullptr), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    fail("SetValues", kVpn);
    EXPECT_EQ(api_setVPN(0, "VxLAN"), -1);
    EXPECT_EQ(fixture_str(s(), kVpn, kVpnIface, "VPNType"), "IPSec");
}

// ---- VxLAN tunnels -----------------------------------------------------------------------------------

class VxLan : public ApiSim {
protected:
    std::string str(unsigned n, const char *name) { return fixture_str(s(), at(kVxLAN, n), kVxIface, name); }
    int64_t num(unsigned n, const char *name) { return fixture_num(s(), at(kVxLAN, n), kVxIface, name); }
    void add_tunnel(unsigned n, const char *remote)
    {
        s().set_object(at(kVxLAN, n), std::string("{\"") + kVxIface +
                                          "\": {\"Enable\": \"true\", \"Status\": \"'Up'\", \"TunnelKey\": \"uint32 " +
                                          std::to_string(200 + n) + "\", \"TunnelRemoteIp\": \"'" + remote +
                                          "'\", \"MaxMTUSize\": \"uint32 1400\"}}");
    }
    static api_VPNVxLANInfo_t entry()
    {
        api_VPNVxLANInfo_t e{};
        e.Enable = TRUE;
        std::strcpy(e.Status, "Up");  // read-only: never written
        e.TunnelKey = 4242;
        std::strcpy(e.WANInterface, "2_TR069_R_VID_46");
        std::strcpy(e.TunnelRemoteIp, "203.0.113.9");
        e.WorkMode = 1;
        e.MaxMTUSize = 1380;
        std::strcpy(e.IPAddress, "172.17.0.1");
        std::strcpy(e.SubnetMask, "255.255.0.0");
        std::strcpy(e.AddressingType, "Static");
        e.NATEnabled = TRUE;
        std::strcpy(e.DNSServers, "172.17.0.53");
        return e;
    }
    void expect_written(unsigned n)
    {
        expect_stored(s(), at(kVxLAN, n), kVxIface,
                      {prop("Enable", "true"), prop("NATEnabled", "true"), prop("Status", "")});
        expect_fields(s(), at(kVxLAN, n), kVxIface,
                      {prop("TunnelKey", 4242), prop("WANInterface", "2_TR069_R_VID_46"),
                       prop("TunnelRemoteIp", "203.0.113.9"), prop("WorkMode", 1), prop("MaxMTUSize", 1380),
                       prop("IPAddress", "172.17.0.1"), prop("SubnetMask", "255.255.0.0"),
                       prop("AddressingType", "Static"), prop("DNSServers", "172.17.0.53")});
    }
    std::set<uint32_t> tunnels() { return numbers(fixture_paths(s(), std::string(kVxLAN) + "/", kVxIface)); }
};

TEST_F(VxLan, ListCarriesTheIndexOfEachPathAndItsFields)
{
    add_tunnel(3, "198.51.100.43");
    api_VPNVxLANInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVPNVxLANAll(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0].Index, 1u);
    EXPECT_EQ(list[0].path, at(kVxLAN, 1));
    expect_fields(s(), at(kVxLAN, 1), kVxIface,
                  {prop("TunnelKey", list[0].TunnelKey), prop("TunnelRemoteIp", list[0].TunnelRemoteIp),
                   prop("WANInterface", list[0].WANInterface), prop("MaxMTUSize", list[0].MaxMTUSize)});
    EXPECT_EQ(list[0].Enable, FALSE);
    EXPECT_EQ(list[1].Index, 3u);
    EXPECT_EQ(list[1].TunnelKey, 203u);
    EXPECT_STREQ(list[1].TunnelRemoteIp, "198.51.100.43");
    EXPECT_STREQ(list[1].Status, "Up");
    EXPECT_EQ(api_releaseVPNVxLANAll(list, count), 0);

    fail("GetManagedObjects", kVxLAN);
    expect_no_list(-1, api_getVPNVxLANAll);
    remove_matching("/VPN/VxLAN/");
    expect_no_list(0, api_getVPNVxLANAll);
    expect_null_refused(api_getVPNVxLANAll, api_releaseVPNVxLANAll);
}

TEST_F(VxLan, GetByIndexReadsThatTunnelOnly)
{
    add_tunnel(3, "198.51.100.43");
    api_VPNVxLANInfo_t t{};
    ASSERT_EQ(api_getVPNVxLAN(3, &t), 0);
    EXPECT_EQ(t.Index, 3u);
    EXPECT_EQ(t.path, at(kVxLAN, 3));
    EXPECT_EQ(t.TunnelKey, 203u);
    ASSERT_EQ(api_getVPNVxLAN(1, &t), 0);
    EXPECT_EQ(t.Index, 1u);
    expect_fields(
        s(), at(kVxLAN, 1), kVxIface,
        {prop("TunnelKey", t.TunnelKey), prop("IPAddress", t.IPAddress), prop("TunnelRemoteIp", t.TunnelRemoteIp)});
    EXPECT_EQ(api_getVPNVxLAN(0, &t), -1);
    EXPECT_EQ(api_getVPNVxLAN(2, &t), -1);
    EXPECT_EQ(api_getVPNVxLAN(1, nullptr), -1);
    fail("GetAll", at(kVxLAN, 1));
    EXPECT_EQ(api_getVPNVxLAN(1, &t), -1);
}

TEST_F(VxLan, SetUpdatesAnExistingTunnelOrAddsOneWithANewIndex)
{
    api_VPNVxLANInfo_t e = entry();
    ASSERT_EQ(api_setVPNVxLAN(1, &e), 1);
    expect_written(1);
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    // The entry's own index and path do not choose the tunnel.
    e.Index = 1;
    std::strcpy(e.path, at(kVxLAN, 1).c_str());
    e.TunnelKey = 4242;
    ASSERT_EQ(api_setVPNVxLAN(0, &e), 2);
    expect_written(2);
    ASSERT_EQ(api_setVPNVxLAN(9, &e), 3);
    expect_written(3);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1, 2, 3}));
    EXPECT_EQ(api_setVPNVxLAN(1, nullptr), -1);
}

TEST_F(VxLan, FailedWritesLeaveNoHalfTunnel)
{
    const api_VPNVxLANInfo_t e = entry();
    const int64_t key = num(1, "TunnelKey");
    fail("SetValues");
    EXPECT_EQ(api_setVPNVxLAN(1, &e), -1);
    EXPECT_EQ(num(1, "TunnelKey"), key);
    fail("SetValues");
    EXPECT_EQ(api_setVPNVxLAN(0, &e), -1);
    fail("AddObject", kVxLAN);
    EXPECT_EQ(api_setVPNVxLAN(0, &e), -1);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1}));
    EXPECT_FALSE(s().exists(at(kVxLAN, 2)));
}

TEST_F(VxLan, DeleteAndClear)
{
    add_tunnel(2, "198.51.100.42");
    add_tunnel(3, "198.51.100.43");
    EXPECT_EQ(api_deleteVPNVxLAN(0), -1);
    EXPECT_EQ(s().call_count("DeleteObject"), 0u);
    ASSERT_EQ(api_deleteVPNVxLAN(2), 0);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1, 3}));
    EXPECT_EQ(api_deleteVPNVxLAN(2), -1);
    fail("DeleteObject", kVxLAN);
    EXPECT_EQ(api_deleteVPNVxLAN(3), -1);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1, 3}));

    fail("RemoveAllObjects", kVxLAN);
    EXPECT_EQ(api_clearVPNVxLAN(), -1);
    EXPECT_EQ(tunnels().size(), 2u);
    ASSERT_EQ(api_clearVPNVxLAN(), 0);
    EXPECT_TRUE(tunnels().empty());
    EXPECT_TRUE(s().exists(kVpn));
}

TEST_F(VxLan, HistoryOfOneTunnelOrOfAllThatAnswer)
{
    add_tunnel(2, "198.51.100.42");
    add_tunnel(3, "198.51.100.43");
    s().override_reply(at(kVxLAN, 1), kVxIface, kVxHistory, "('2026-12-07 00:00:00', ['1,2', '3,4'], uint32 0, '')");
    s().override_reply(at(kVxLAN, 2), kVxIface, kVxHistory, "('', @as [], uint32 5, 'down')");
    s().override_reply(at(kVxLAN, 3), kVxIface, kVxHistory, "('2026-12-08 00:00:00', ['9,9'], uint32 0, '')");

    api_VpnHistoryTraffic_t *h = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVxLANVPNHistoryTraffic(0, 5, 10, &h, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(h[0].Index, 1u);
    EXPECT_EQ(h[0].Start, 5u);
    EXPECT_EQ(h[0].Num, 10u);
    EXPECT_STREQ(h[0].TrafficBase, "2026-12-07 00:00:00");
    ASSERT_EQ(h[0].HistoryNum, 2);
    EXPECT_STREQ(h[0].History[0], "1,2");
    EXPECT_STREQ(h[0].History[1], "3,4");
    EXPECT_EQ(h[0].History[2], nullptr);
    EXPECT_EQ(h[1].Index, 3u);
    ASSERT_EQ(h[1].HistoryNum, 1);
    EXPECT_STREQ(h[1].History[0], "9,9");
    EXPECT_EQ(s().call_count(kVxHistory), 3u);
    EXPECT_EQ(last_args(kVxHistory), "(uint32 5, uint32 10)");
    EXPECT_EQ(api_releaseVxLANVPNHistoryTraffic(h, count), 0);

    ASSERT_EQ(api_getVxLANVPNHistoryTraffic(3, 0, 1, &h, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(h[0].Index, 3u);
    EXPECT_STREQ(h[0].TrafficBase, "2026-12-08 00:00:00");
    EXPECT_EQ(api_releaseVxLANVPNHistoryTraffic(h, count), 0);

    // One tunnel asked by index: its refusal or failure is the result.
    expect_no_list<api_VpnHistoryTraffic_t>(
        -1, [](auto l, auto c) { return api_getVxLANVPNHistoryTraffic(2, 0, 1, l, c); });
    fail(kVxHistory, at(kVxLAN, 1));
    expect_no_list<api_VpnHistoryTraffic_t>(
        -1, [](auto l, auto c) { return api_getVxLANVPNHistoryTraffic(1, 0, 1, l, c); });
}

TEST_F(VxLan, HistoryWithoutAnswersIsEmpty)
{
    const auto all = [](api_VpnHistoryTraffic_t **l, int *c) { return api_getVxLANVPNHistoryTraffic(0, 0, 24, l, c); };
    s().override_reply(at(kVxLAN, 1), kVxIface, kVxHistory, "('', @as [], uint32 1, 'no data')");
    expect_no_list<api_VpnHistoryTraffic_t>(0, all);
    fail("GetManagedObjects", kVxLAN);
    expect_no_list<api_VpnHistoryTraffic_t>(-1, all);
    remove_matching("/VPN/VxLAN/");
    expect_no_list<api_VpnHistoryTraffic_t>(0, all);
    EXPECT_EQ(s().call_count(kVxHistory), 1u);
    expect_null_refused(+all, api_releaseVxLANVPNHistoryTraffic);
    EXPECT_EQ(api_releaseVpnHistoryTraffic(nullptr, 0), -1);
}

// ---- IPv6 LAN ----------------------------------------------------------------------------------------

constexpr const char *kDhcp6 = "/com/yvc/igd1/Config/IPv6/DHCPv6Server";
constexpr const char *kDhcp6Iface = "com.yvc.igd1.DHCPv6Server";
constexpr const char *kLan6 = "/com/yvc/igd1/Config/IPv6/LAN";
constexpr const char *kLan6Iface = "com.yvc.igd1.IPv6LANConfig";
constexpr const char *kRa = "/com/yvc/igd1/Config/IPv6/RA";
constexpr const char *kRaIface = "com.yvc.igd1.RouterAdvertisement";

using Ipv6Lan = ApiSim;

TEST_F(Ipv6Lan, GettersReadTheirObjects)
{
    api_DHCPv6Server_t d{};
    api_IPv6LANConfig_t l{};
    api_RouterAdvertisement_t r{};
    ASSERT_EQ(api_getDHCPv6Server(&d), 0);
    ASSERT_EQ(api_getIPv6LANConfig(&l), 0);
    ASSERT_EQ(api_getRouterAdvertisement(&r), 0);
    expect_fields(s(), kDhcp6, kDhcp6Iface,
                  {prop("Enable", d.Enable), prop("MinAddress", d.MinAddress), prop("MaxAddress", d.MaxAddress),
                   prop("PreferredLifeTime", d.PreferredLifeTime), prop("ValidLifeTime", d.ValidLifeTime)});
    expect_fields(s(), kLan6, kLan6Iface,
                  {prop("LocalAddress", l.LocalAddress), prop("ConfigType", l.ConfigType),
                   prop("DelegatedWAN", l.DelegatedWAN), prop("Prefix", l.Prefix),
                   prop("ValidLifeTime", l.ValidLifeTime)});
    expect_fields(s(), kRa, kRaIface,
                  {prop("MaxRtrAdvInterval", r.MaxRtrAdvInterval), prop("MinRtrAdvInterval", r.MinRtrAdvInterval),
                   prop("AdvOtherConfigflag", r.AdvOtherConfigflag)});

    EXPECT_EQ(api_getDHCPv6Server(nullptr), -1);
    EXPECT_EQ(api_getIPv6LANConfig(nullptr), -1);
    EXPECT_EQ(api_getRouterAdvertisement(nullptr), -1);
    fail("GetAll", kDhcp6);
    EXPECT_EQ(api_getDHCPv6Server(&d), -1);
    fail("GetAll", kLan6);
    EXPECT_EQ(api_getIPv6LANConfig(&l), -1);
    fail("GetAll", kRa);
    EXPECT_EQ(api_getRouterAdvertisement(&r), -1);
}

TEST_F(Ipv6Lan, SettersWriteTheRecordAndRefuseImpossibleTimes)
{
    api_DHCPv6Server_t d{};
    ASSERT_EQ(api_getDHCPv6Server(&d), 0);
    std::strcpy(d.MinAddress, "::100");
    std::strcpy(d.MaxAddress, "::1ff");
    d.PreferredLifeTime = 1800;
    d.ValidLifeTime = 1800;
    d.Option17Enable = TRUE;
    ASSERT_EQ(api_setDHCPv6Server(&d), 0);
    expect_fields(s(), kDhcp6, kDhcp6Iface,
                  {prop("MinAddress", "::100"), prop("MaxAddress", "::1ff"), prop("PreferredLifeTime", 1800),
                   prop("ValidLifeTime", 1800)});
    expect_stored(s(), kDhcp6, kDhcp6Iface, {prop("Option17Enable", "true")});

    api_IPv6LANConfig_t l{};
    ASSERT_EQ(api_getIPv6LANConfig(&l), 0);
    std::strcpy(l.PrefixMode, "Static");
    std::strcpy(l.Prefix, "2001:db8:5::/64");
    ASSERT_EQ(api_setIPv6LANConfig(&l), 0);
    expect_fields(s(), kLan6, kLan6Iface, {prop("PrefixMode", "Static"), prop("Prefix", "2001:db8:5::/64")});

    api_RouterAdvertisement_t r{TRUE, 900, 899, TRUE, FALSE};
    ASSERT_EQ(api_setRouterAdvertisement(&r), 0);
    expect_fields(s(), kRa, kRaIface, {prop("MaxRtrAdvInterval", 900), prop("MinRtrAdvInterval", 899)});
    expect_stored(s(), kRa, kRaIface, {prop("AdvManagedFlag", "true")});

    s().control("ResetCounts", nullptr);
    d.PreferredLifeTime = 1801;
    EXPECT_EQ(api_setDHCPv6Server(&d), -1);
    l.PreferredLifeTime = l.ValidLifeTime + 1;
    EXPECT_EQ(api_setIPv6LANConfig(&l), -1);
    r.MinRtrAdvInterval = r.MaxRtrAdvInterval;
    EXPECT_EQ(api_setRouterAdvertisement(&r), -1);
    EXPECT_EQ(api_setDHCPv6Server(nullptr), -1);
    EXPECT_EQ(api_setIPv6LANConfig(nullptr), -1);
    EXPECT_EQ(api_setRouterAdvertisement(nullptr), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);

    r.MinRtrAdvInterval = 30;
    fail("SetValues", kRa);
    EXPECT_EQ(api_setRouterAdvertisement(&r), -1);
    EXPECT_EQ(fixture_num(s(), kRa, kRaIface, "MinRtrAdvInterval"), 899);
    d.PreferredLifeTime = 60;
    fail("SetValues", kDhcp6);
    EXPECT_EQ(api_setDHCPv6Server(&d), -1);
    EXPECT_EQ(fixture_num(s(), kDhcp6, kDhcp6Iface, "PreferredLifeTime"), 1800);
}

}  // namespace
}  // namespace apitest
