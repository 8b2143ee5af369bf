// VLAN binding of the WAN connections, the VPN switch, VxLAN tunnels with their traffic history, and the IPv6
// LAN side. The Layer-3 routes are tested with the other route family in l3_qos_test.cpp.
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
    EXPECT_EQ(history_text(h, count), "1 5 10 2026-12-07 00:00:00 [1,2|3,4]; 3 5 10 2026-12-08 00:00:00 [9,9]");
    EXPECT_EQ(s().call_count(kVxHistory), 3u);
    EXPECT_EQ(last_args(kVxHistory), "(uint32 5, uint32 10)");
    EXPECT_EQ(api_releaseVxLANVPNHistoryTraffic(h, count), 0);

    ASSERT_EQ(api_getVxLANVPNHistoryTraffic(3, 0, 1, &h, &count), 0);
    EXPECT_EQ(history_text(h, count), "3 0 1 2026-12-08 00:00:00 [9,9]");
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
