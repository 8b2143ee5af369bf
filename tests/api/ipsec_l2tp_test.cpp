// IPSec tunnels with their local and remote subnets, L2TP clients with their remote subnets, the L2TP
// server and its accounts, the traffic history of both, and the VPN object functions beneath them.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "../../libgwbus/api/hgu_vpn_comm.hpp"
#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kIPSec = "/com/yvc/igd1/VPN/IPSec";
constexpr const char *kIPSecIface = "com.yvc.igd1.VPN.IPSec";
constexpr const char *kLocalIface = "com.yvc.igd1.VPN.IPSec.LocalSubnets";
constexpr const char *kRemoteIface = "com.yvc.igd1.VPN.IPSec.RemoteSubnets";
constexpr const char *kL2TP = "/com/yvc/igd1/VPN/L2TP";
constexpr const char *kL2TPIface = "com.yvc.igd1.VPN.L2TP";
constexpr const char *kClients = "/com/yvc/igd1/VPN/L2TP/1/Client";
constexpr const char *kClientIface = "com.yvc.igd1.VPN.L2TP.Client";
constexpr const char *kClientSubIface = "com.yvc.igd1.VPN.L2TP.Client.RemoteSubnets";
constexpr const char *kServer = "/com/yvc/igd1/VPN/L2TP/1/Server";
constexpr const char *kServerIface = "com.yvc.igd1.VPN.L2TP.Server";
constexpr const char *kAccounts = "/com/yvc/igd1/VPN/L2TP/1/Server/Account";
constexpr const char *kAccountIface = "com.yvc.igd1.VPN.L2TP.Server.Account";
constexpr const char *kIPSecHistory = "GetIPSecVPNHistoryTraffic";
constexpr const char *kL2TPHistory = "GetL2TPVPNHistoryTraffic";

api_VPNSubnetEntry_t subnet(const char *address, const char *mask)
{
    api_VPNSubnetEntry_t e{};
    std::strcpy(e.Address, address);
    std::strcpy(e.Mask, mask);
    return e;
}

class VpnSim : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        const std::string profile = gwtest::source_dir() + "/sim/igd1/profiles/vpn.json";
        s().control("LoadProfile", g_variant_new("(s)", profile.c_str()));
        s().control("ResetCounts", nullptr);
    }
    // Instance numbers directly below a collection that carry the interface.
    std::set<uint32_t> children(const std::string &collection, const char *iface)
    {
        std::set<uint32_t> direct;
        for (const auto &p : fixture_paths(s(), collection + "/", iface))
            if (p.find('/', collection.size() + 1) == std::string::npos)
                direct.insert(static_cast<uint32_t>(std::stoul(p.substr(collection.size() + 1))));
        return direct;
    }
    std::string str(const std::string &path, const char *iface, const char *name)
    {
        return fixture_str(s(), path, iface, name);
    }
    int64_t num(const std::string &path, const char *iface, const char *name)
    {
        return fixture_num(s(), path, iface, name);
    }
    unsigned writes()
    {
        return s().call_count("SetValues") + s().call_count("AddObject") + s().call_count("DeleteObject") +
               s().call_count("RemoveAllObjects");
    }
};

// ---- IPSec tunnels -------------------------------------------------------------------------------------

class IPSecTunnels : public VpnSim {
protected:
    static api_VPNIPSecInfo_t entry()
    {
        api_VPNIPSecInfo_t e{};
        e.Enable = TRUE;
        std::strcpy(e.Status, "Up");  // read-only: never written
        std::strcpy(e.IPSecType, "remote-access");
        std::strcpy(e.Name, "store");
        std::strcpy(e.RemoteIP, "192.0.2.77");
        std::strcpy(e.ExchangeMode, "main");
        std::strcpy(e.IKEPreshareKey, "s3cret");
        std::strcpy(e.AHAuthenticationAlgorithm, "sha1");
        e.IKESAPeriod = 1000;
        e.IPSecSATrafficPeriod = 77;
        e.DPDEnable = TRUE;
        e.DPDRetry = 9;
        return e;
    }
    void expect_written(unsigned n)
    {
        const std::string p = at(kIPSec, n);
        expect_stored(s(), p, kIPSecIface, {prop("Enable", "true"), prop("DPDEnable", "true")});
        expect_fields(s(), p, kIPSecIface,
                      {prop("IPSecType", "remote-access"), prop("Name", "store"), prop("RemoteIP", "192.0.2.77"),
                       prop("IKEPreshareKey", "s3cret"), prop("AHAuthenticationAlgorithm", "sha1"),
                       prop("IKESAPeriod", 1000), prop("IPSecSATrafficPeriod", 77), prop("DPDRetry", 9)});
        EXPECT_NE(s().prop_text(p, kIPSecIface, "Status"), "'Up'");
    }
    std::set<uint32_t> tunnels() { return children(kIPSec, kIPSecIface); }
};

TEST_F(IPSecTunnels, ListGivesEachTunnelItsIndexAndFields)
{
    api_VPNIPSecInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVPNIPSecAll(&list, &count), 0);
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        const api_VPNIPSecInfo_t &t = list[i];
        EXPECT_EQ(t.Index, static_cast<uint32_t>(i + 1));
        EXPECT_EQ(t.path, at(kIPSec, t.Index));
        expect_fields(s(), t.path, kIPSecIface,
                      {prop("Enable", t.Enable), prop("Name", t.Name), prop("WANInterface", t.WANInterface),
                       prop("IKEPreshareKey", t.IKEPreshareKey), prop("IKESAPeriod", t.IKESAPeriod),
                       prop("DPDThreshold", t.DPDThreshold)});
    }
    expect_fields(s(), at(kIPSec, 2), kIPSecIface, {prop("Status", list[1].Status), prop("TxBytes", list[1].TxBytes)});
    EXPECT_EQ(api_releaseVPNIPSecAll(list, count), 0);

    fail("GetManagedObjects", kIPSec);
    expect_no_list(-1, api_getVPNIPSecAll);
    remove_matching("/VPN/IPSec/");
    expect_no_list(0, api_getVPNIPSecAll);
    expect_null_refused(api_getVPNIPSecAll, api_releaseVPNIPSecAll);
}

TEST_F(IPSecTunnels, GetByIndexReadsThatTunnelOnly)
{
    api_VPNIPSecInfo_t t{};
    ASSERT_EQ(api_getVPNIPSec(2, &t), 0);
    EXPECT_EQ(t.Index, 2u);
    EXPECT_EQ(t.path, at(kIPSec, 2));
    expect_fields(s(), t.path, kIPSecIface,
                  {prop("Name", t.Name), prop("LocalIP", t.LocalIP), prop("IPSecSATimePeriod", t.IPSecSATimePeriod)});
    EXPECT_EQ(s().call_count("GetAll"), 1u);

    EXPECT_EQ(api_getVPNIPSec(0, &t), -1);
    EXPECT_EQ(api_getVPNIPSec(3, &t), -1);
    EXPECT_EQ(api_getVPNIPSec(1, nullptr), -1);
    fail("GetAll", at(kIPSec, 1));
    EXPECT_EQ(api_getVPNIPSec(1, &t), -1);
}

TEST_F(IPSecTunnels, SetUpdatesAReadableTunnelElseAddsOneAndAnswersItsIndex)
{
    api_VPNIPSecInfo_t e = entry();
    std::strcpy(e.WANInterface, "3_VOIP_R_VID_45");
    ASSERT_EQ(api_setIPSec(2, &e), 2);
    expect_written(2);
    EXPECT_EQ(str(at(kIPSec, 2), kIPSecIface, "WANInterface"), "3_VOIP_R_VID_45");
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    // An empty WANInterface leaves the stored one alone; the entry's own Index and path choose nothing.
    const std::string wan1 = str(at(kIPSec, 1), kIPSecIface, "WANInterface");
    e = entry();
    e.Index = 2;
    std::strcpy(e.path, at(kIPSec, 2).c_str());
    ASSERT_EQ(api_setIPSec(1, &e), 1);
    expect_written(1);
    EXPECT_EQ(str(at(kIPSec, 1), kIPSecIface, "WANInterface"), wan1);

    ASSERT_EQ(api_setIPSec(0, &e), 3);
    expect_written(3);
    // Tunnel 5 does not exist: a new tunnel is made, and its index is the answer.
    ASSERT_EQ(api_setIPSec(5, &e), 4);
    expect_written(4);
    EXPECT_FALSE(s().exists(at(kIPSec, 5)));
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(api_setIPSec(1, nullptr), -1);
}

TEST_F(IPSecTunnels, FailedWritesLeaveNoHalfTunnel)
{
    const api_VPNIPSecInfo_t e = entry();
    const std::string name = str(at(kIPSec, 1), kIPSecIface, "Name");
    fail("SetValues");
    EXPECT_EQ(api_setIPSec(1, &e), -1);
    EXPECT_EQ(str(at(kIPSec, 1), kIPSecIface, "Name"), name);
    fail("SetValues");
    EXPECT_EQ(api_setIPSec(0, &e), -1);
    EXPECT_EQ(s().call_count("DeleteObject"), 1u);
    fail("SetValues");
    EXPECT_EQ(api_setIPSec(7, &e), -1);
    fail("AddObject", kIPSec);
    EXPECT_EQ(api_setIPSec(0, &e), -1);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1, 2}));
    EXPECT_FALSE(s().exists(at(kIPSec, 3)));
}

TEST_F(IPSecTunnels, DeleteTakesOneTunnelWithItsSubnetsAndClearTakesAll)
{
    EXPECT_EQ(api_deleteIPSec(0), -1);
    EXPECT_EQ(s().call_count("DeleteObject"), 0u);
    ASSERT_EQ(api_deleteIPSec(2), 0);
    EXPECT_EQ(last_args("DeleteObject"), "(objectpath '" + at(kIPSec, 2) + "',)");
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1}));
    EXPECT_FALSE(s().exists(at(kIPSec, 2) + "/RemoteSubnets/1"));
    EXPECT_EQ(api_deleteIPSec(2), -1);
    fail("DeleteObject", kIPSec);
    EXPECT_EQ(api_deleteIPSec(1), -1);
    EXPECT_EQ(tunnels(), (std::set<uint32_t>{1}));

    fail("RemoveAllObjects", kIPSec);
    EXPECT_EQ(api_clearIPSec(), -1);
    EXPECT_EQ(tunnels().size(), 1u);
    ASSERT_EQ(api_clearIPSec(), 0);
    EXPECT_TRUE(tunnels().empty());
    EXPECT_TRUE(s().exists("/com/yvc/igd1/VPN"));
    EXPECT_TRUE(s().exists(at(kL2TP, 1)));
}

// ---- IPSec subnets -------------------------------------------------------------------------------------

using IPSecSubnets = VpnSim;

TEST_F(IPSecSubnets, ListsCarryIndexAddressAndMask)
{
    const std::string local = at(kIPSec, 1) + "/LocalSubnets";
    api_VPNSubnetInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getIPSecLocalSubnetsAll(1, &list, &count), 0);
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list[i].Index, static_cast<uint32_t>(i + 1));
        expect_fields(s(), at(local, list[i].Index), kLocalIface,
                      {prop("LocalIPAddress", list[i].Address), prop("LocalSubnetMask", list[i].Mask)});
    }
    EXPECT_EQ(api_releaseIPSecLocalSubnetsAll(list, count), 0);

    const std::string remote = at(kIPSec, 2) + "/RemoteSubnets";
    ASSERT_EQ(api_getIPSecReMoteSubnetsAll(2, &list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[1].Index, 3u);
    expect_fields(s(), at(remote, 3), kRemoteIface,
                  {prop("DestIPAddress", list[1].Address), prop("DestSubnetMask", list[1].Mask)});
    EXPECT_EQ(api_releaseIPSecReMoteSubnetsAll(list, count), 0);

    // Tunnel 2 has no local subnets; tunnel 0 is no tunnel.
    expect_no_list<api_VPNSubnetInfo_t>(0, [](auto l, auto c) { return api_getIPSecLocalSubnetsAll(2, l, c); });
    EXPECT_EQ(api_getIPSecLocalSubnetsAll(0, &list, &count), -1);
    fail("GetManagedObjects", remote);
    expect_no_list<api_VPNSubnetInfo_t>(-1, [](auto l, auto c) { return api_getIPSecReMoteSubnetsAll(2, l, c); });
    EXPECT_EQ(api_getIPSecLocalSubnetsAll(1, nullptr, &count), -1);
    EXPECT_EQ(api_releaseIPSecLocalSubnetsAll(nullptr, 0), -1);
    EXPECT_EQ(api_releaseIPSecReMoteSubnetsAll(nullptr, 0), -1);
}

TEST_F(IPSecSubnets, SetWithAnExistingAddressUpdatesItsMaskInsteadOfAdding)
{
    const std::string local = at(kIPSec, 1) + "/LocalSubnets";
    const std::string address = str(at(local, 2), kLocalIface, "LocalIPAddress");
    const api_VPNSubnetEntry_t e = subnet(address.c_str(), "255.255.254.0");
    ASSERT_EQ(api_setIPSecLocalSubnet(1, &e), 0);
    EXPECT_EQ(str(at(local, 2), kLocalIface, "LocalSubnetMask"), "255.255.254.0");
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_EQ(s().call_count("SetValues"), 1u);
    EXPECT_EQ(children(local, kLocalIface), (std::set<uint32_t>{1, 2}));

    const std::string remote = at(kIPSec, 2) + "/RemoteSubnets";
    const api_VPNSubnetEntry_t r = subnet("10.99.0.0", "255.255.0.0");
    ASSERT_EQ(api_setIPSecRemoteSubnet(2, &r), 0);
    EXPECT_EQ(children(remote, kRemoteIface), (std::set<uint32_t>{1, 3, 4}));
    expect_fields(s(), at(remote, 4), kRemoteIface,
                  {prop("DestIPAddress", "10.99.0.0"), prop("DestSubnetMask", "255.255.0.0")});
    // The first remote subnet of a tunnel that had none.
    ASSERT_EQ(api_setIPSecRemoteSubnet(1, &r), 0);
    EXPECT_EQ(str(at(kIPSec, 1) + "/RemoteSubnets/2", kRemoteIface, "DestIPAddress"), "10.99.0.0");
}

TEST_F(IPSecSubnets, RefusedInputMakesNoChange)
{
    api_VPNSubnetEntry_t e = subnet("192.168.9.0", "255.255.255.0");
    EXPECT_EQ(api_setIPSecLocalSubnet(0, &e), -1);
    EXPECT_EQ(api_setIPSecLocalSubnet(1, nullptr), -1);
    EXPECT_EQ(api_setIPSecLocalSubnet(9, &e), -1);  // no such tunnel
    EXPECT_FALSE(s().exists(at(kIPSec, 9)));
    api_VPNSubnetEntry_t blank = subnet("", "255.255.255.0");
    EXPECT_EQ(api_setIPSecRemoteSubnet(1, &blank), -1);
    api_VPNSubnetEntry_t bad = subnet("10.\xff.0.0", "255.0.0.0");
    EXPECT_EQ(api_setIPSecRemoteSubnet(1, &bad), -1);
    EXPECT_EQ(writes(), 0u);

    // A field filled to its last byte is cut to 45 characters, not read past.
    std::memset(e.Address, 'a', sizeof e.Address);
    std::memset(e.Mask, 'm', sizeof e.Mask);
    ASSERT_EQ(api_setIPSecLocalSubnet(1, &e), 0);
    expect_fields(s(), at(kIPSec, 1) + "/LocalSubnets/3", kLocalIface,
                  {prop("LocalIPAddress", std::string(45, 'a')), prop("LocalSubnetMask", std::string(45, 'm'))});
}

TEST_F(IPSecSubnets, AFailedWriteOfANewSubnetRemovesItAgain)
{
    const std::string local = at(kIPSec, 1) + "/LocalSubnets";
    const api_VPNSubnetEntry_t e = subnet("192.168.7.0", "255.255.255.0");
    fail("SetValues");
    EXPECT_EQ(api_setIPSecLocalSubnet(1, &e), -1);
    EXPECT_EQ(s().call_count("AddObject"), 1u);
    EXPECT_EQ(s().call_count("DeleteObject"), 1u);
    EXPECT_EQ(children(local, kLocalIface), (std::set<uint32_t>{1, 2}));
    EXPECT_FALSE(s().exists(at(local, 3)));

    fail("AddObject", local);
    EXPECT_EQ(api_setIPSecLocalSubnet(1, &e), -1);
    fail("GetManagedObjects", local);
    EXPECT_EQ(api_setIPSecLocalSubnet(1, &e), -1);
    EXPECT_EQ(children(local, kLocalIface), (std::set<uint32_t>{1, 2}));
}

TEST_F(IPSecSubnets, DeleteByAddressAndClear)
{
    const std::string remote = at(kIPSec, 2) + "/RemoteSubnets";
    const std::string third = str(at(remote, 3), kRemoteIface, "DestIPAddress");
    ASSERT_EQ(api_deleteIPSecRemoteSubnets(2, third.c_str()), 0);
    EXPECT_EQ(children(remote, kRemoteIface), (std::set<uint32_t>{1}));
    // No subnet has the address: nothing changes, and that is success.
    ASSERT_EQ(api_deleteIPSecRemoteSubnets(2, "10.77.0.0"), 0);
    EXPECT_EQ(children(remote, kRemoteIface), (std::set<uint32_t>{1}));
    EXPECT_EQ(s().call_count("DeleteObject"), 1u);

    EXPECT_EQ(api_deleteIPSecRemoteSubnets(0, "10.20.0.0"), -1);
    EXPECT_EQ(api_deleteIPSecRemoteSubnets(2, nullptr), -1);
    EXPECT_EQ(api_deleteIPSecRemoteSubnets(2, ""), -1);
    fail("GetManagedObjects", remote);
    EXPECT_EQ(api_deleteIPSecRemoteSubnets(2, "10.20.0.0"), -1);
    fail("DeleteObject", remote);
    EXPECT_EQ(api_deleteIPSecRemoteSubnets(2, "10.20.0.0"), -1);
    EXPECT_EQ(children(remote, kRemoteIface), (std::set<uint32_t>{1}));

    const std::string local = at(kIPSec, 1) + "/LocalSubnets";
    ASSERT_EQ(api_deleteIPSecLocalSubnets(1, str(at(local, 1), kLocalIface, "LocalIPAddress").c_str()), 0);
    EXPECT_EQ(children(local, kLocalIface), (std::set<uint32_t>{2}));

    EXPECT_EQ(api_clearIPSecLocalSubnets(0), -1);
    EXPECT_EQ(s().call_count("RemoveAllObjects"), 0u);
    fail("RemoveAllObjects", local);
    EXPECT_EQ(api_clearIPSecLocalSubnets(1), -1);
    ASSERT_EQ(api_clearIPSecLocalSubnets(1), 0);
    EXPECT_TRUE(children(local, kLocalIface).empty());
    ASSERT_EQ(api_clearIPSecRemoteSubnets(2), 0);
    EXPECT_TRUE(children(remote, kRemoteIface).empty());
    EXPECT_TRUE(s().exists(at(kIPSec, 1)));
    EXPECT_TRUE(s().exists(at(kIPSec, 2)));
    EXPECT_TRUE(s().exists(at(kIPSec, 1) + "/RemoteSubnets/1"));
}

// ---- history -------------------------------------------------------------------------------------------

using VpnHistory = VpnSim;

TEST_F(VpnHistory, IPSecAllTunnelsKeepsThoseThatAnswer)
{
    api_VpnHistoryTraffic_t *h = nullptr;
    int count = 0;
    ASSERT_EQ(api_getIPSecVPNHistoryTraffic(0, 3, 12, &h, &count), 0);
    EXPECT_EQ(history_text(h, count), "1 3 12 2026-12-07 00:00:00 [10,20|30,40]; 2 3 12 2026-12-07 01:00:00 [5,6]");
    EXPECT_EQ(last_args(kIPSecHistory), "(uint32 3, uint32 12)");
    EXPECT_EQ(api_releaseIPSecVPNHistoryTraffic(h, count), 0);

    // Tunnel 1's call fails and tunnel 2 refuses: what is left is returned, in tunnel order.
    set_prop(at(kIPSec, 3), kIPSecIface, "Name", "'third'");
    s().override_reply(at(kIPSec, 3), kIPSecIface, kIPSecHistory, "('base3', ['7'], uint32 0, '')");
    s().override_reply(at(kIPSec, 2), kIPSecIface, kIPSecHistory, "('', @as [], uint32 4, 'down')");
    fail(kIPSecHistory, at(kIPSec, 1));
    ASSERT_EQ(api_getIPSecVPNHistoryTraffic(0, 0, 1, &h, &count), 0);
    EXPECT_EQ(history_text(h, count), "3 0 1 base3 [7]");
    EXPECT_EQ(api_releaseVpnHistoryTraffic(h, count), 0);

    // One tunnel asked by index: its refusal or failure is the result.
    expect_no_list<api_VpnHistoryTraffic_t>(
        -1, [](auto l, auto c) { return api_getIPSecVPNHistoryTraffic(2, 0, 1, l, c); });
    fail(kIPSecHistory, at(kIPSec, 1));
    EXPECT_EQ(api_getIPSecVPNHistoryTraffic(1, 0, 1, &h, &count), -1);
    fail("GetManagedObjects", kIPSec);
    EXPECT_EQ(api_getIPSecVPNHistoryTraffic(0, 0, 1, &h, &count), -1);
    EXPECT_EQ(api_getIPSecVPNHistoryTraffic(0, 0, 1, nullptr, &count), -1);
    EXPECT_EQ(api_getIPSecVPNHistoryTraffic(0, 0, 1, &h, nullptr), -1);
    EXPECT_EQ(api_releaseIPSecVPNHistoryTraffic(nullptr, 0), -1);
}

TEST_F(VpnHistory, L2TPAsksTheClients)
{
    api_VpnHistoryTraffic_t *h = nullptr;
    int count = 0;
    ASSERT_EQ(api_getL2TPVPNHistoryTraffic(2, 1, 3, &h, &count), 0);
    EXPECT_EQ(history_text(h, count), "2 1 3 2026-12-07 03:00:00 [2,2|3,3|4,4]");
    EXPECT_EQ(api_releaseL2TPVPNHistoryTraffic(h, count), 0);
    EXPECT_EQ(s().call_log().back(), at(kClients, 2) + " " + kClientIface + " " + kL2TPHistory);

    fail(kL2TPHistory, at(kClients, 2));
    ASSERT_EQ(api_getL2TPVPNHistoryTraffic(0, 1, 3, &h, &count), 0);
    EXPECT_EQ(history_text(h, count), "1 1 3 2026-12-07 02:00:00 [1,1]");
    EXPECT_EQ(api_releaseL2TPVPNHistoryTraffic(h, count), 0);
    EXPECT_EQ(api_getL2TPVPNHistoryTraffic(0, 1, 3, nullptr, &count), -1);
    EXPECT_EQ(api_releaseL2TPVPNHistoryTraffic(nullptr, 0), -1);
}

// ---- L2TP ----------------------------------------------------------------------------------------------

class L2tp : public VpnSim {
protected:
    static api_VPNL2TPClientEntry_t client()
    {
        api_VPNL2TPClientEntry_t e{};
        e.Enable = TRUE;
        std::strcpy(e.ServerIP, "192.0.2.50");
        e.ServerPort = 1801;
        std::strcpy(e.Name, "shop");
        e.EnableNAT = TRUE;
        std::strcpy(e.UserName, "shopuser");
        std::strcpy(e.Password, "shoppw");
        std::strcpy(e.WANInterface, "1_INTERNET_R_VID_41");
        return e;
    }
    void expect_client(unsigned n)
    {
        expect_stored(s(), at(kClients, n), kClientIface, {prop("Enable", "true"), prop("EnableNAT", "true")});
        expect_fields(s(), at(kClients, n), kClientIface,
                      {prop("ServerIP", "192.0.2.50"), prop("ServerPort", 1801), prop("Name", "shop"),
                       prop("UserName", "shopuser"), prop("Password", "shoppw"),
                       prop("WANInterface", "1_INTERNET_R_VID_41")});
    }
    std::set<uint32_t> clients() { return children(kClients, kClientIface); }
    static api_VPNL2TPServerAccountInfo_t account(const char *user, const char *password)
    {
        api_VPNL2TPServerAccountInfo_t a{};
        a.Enable = TRUE;
        std::strcpy(a.UserName, user);
        std::strcpy(a.Password, password);
        return a;
    }
    std::set<uint32_t> accounts() { return children(kAccounts, kAccountIface); }
};

TEST_F(L2tp, TheL2TPObjectIsReadAndWrittenByIndex)
{
    const std::string p = at(kL2TP, 1);
    api_VPNL2TPInfo_t info{};
    ASSERT_EQ(api_getVPNL2TP(1, &info), 0);
    EXPECT_EQ(info.Index, 1u);
    expect_fields(s(), p, kL2TPIface, {prop("Enable", info.Enable), prop("L2TPType", info.L2TPType)});
    EXPECT_EQ(api_getVPNL2TP(0, &info), -1);
    EXPECT_EQ(api_getVPNL2TP(1, nullptr), -1);

    api_VPNL2TPEntry_t e{};
    e.Enable = FALSE;
    std::memset(e.L2TPType, 's', sizeof e.L2TPType);  // no terminator: cut to 12
    ASSERT_EQ(api_setVPNL2TP(1, &e), 0);
    EXPECT_EQ(s().prop_text(p, kL2TPIface, "Enable"), "false");
    EXPECT_EQ(str(p, kL2TPIface, "L2TPType"), std::string(12, 's'));
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_EQ(api_setVPNL2TP(0, &e), -1);
    EXPECT_EQ(api_setVPNL2TP(1, nullptr), -1);
    fail("SetValues", p);
    EXPECT_EQ(api_setVPNL2TP(1, &e), -1);
}

TEST_F(L2tp, ClientsAreListedAndReadWithTheirIndex)
{
    api_VPNL2TPClientInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVPNL2TPClientAll(&list, &count), 0);
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list[i].Index, static_cast<uint32_t>(i + 1));
        expect_fields(s(), at(kClients, list[i].Index), kClientIface,
                      {prop("ServerIP", list[i].ServerIP), prop("ServerPort", list[i].ServerPort),
                       prop("UserName", list[i].UserName), prop("EnableNAT", list[i].EnableNAT)});
    }
    EXPECT_EQ(api_releaseVPNL2TPClientAll(list, count), 0);

    api_VPNL2TPClientInfo_t c{};
    ASSERT_EQ(api_getVPNL2TPClient(2, &c), 0);
    EXPECT_EQ(c.Index, 2u);
    expect_fields(s(), at(kClients, 2), kClientIface, {prop("Name", c.Name), prop("RxBytes", c.RxBytes)});
    EXPECT_EQ(api_getVPNL2TPClient(0, &c), -1);
    EXPECT_EQ(api_getVPNL2TPClient(3, &c), -1);

    fail("GetManagedObjects", kClients);
    expect_no_list(-1, api_getVPNL2TPClientAll);
    EXPECT_EQ(api_releaseVPNL2TPClientAll(nullptr, 0), -1);
}

TEST_F(L2tp, SetClientUpdatesTheListedIndexElseAddsAndAnswersTheNewIndex)
{
    const api_VPNL2TPClientEntry_t e = client();
    ASSERT_EQ(api_setVPNL2TPClient(2, &e), 2);
    expect_client(2);
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    // No client has index 4: a new one is added with the next free index.
    ASSERT_EQ(api_setVPNL2TPClient(4, &e), 3);
    expect_client(3);
    ASSERT_EQ(api_setVPNL2TPClient(0, &e), 4);
    expect_client(4);
    EXPECT_EQ(clients(), (std::set<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(api_setVPNL2TPClient(1, nullptr), -1);
}

TEST_F(L2tp, SetClientFailuresAddNothing)
{
    const api_VPNL2TPClientEntry_t e = client();
    // A client list that cannot be read must not turn an update into a second client.
    fail("GetManagedObjects", kClients);
    EXPECT_EQ(api_setVPNL2TPClient(1, &e), -1);
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    fail("SetValues");
    EXPECT_EQ(api_setVPNL2TPClient(0, &e), -1);
    EXPECT_EQ(s().call_count("DeleteObject"), 1u);
    fail("SetValues");
    EXPECT_EQ(api_setVPNL2TPClient(1, &e), -1);
    EXPECT_EQ(clients(), (std::set<uint32_t>{1, 2}));
    EXPECT_NE(str(at(kClients, 1), kClientIface, "Name"), "shop");
}

TEST_F(L2tp, DeleteAndClearClients)
{
    EXPECT_EQ(api_deleteVPNL2TPClient(0), -1);
    ASSERT_EQ(api_deleteVPNL2TPClient(2), 0);
    EXPECT_EQ(clients(), (std::set<uint32_t>{1}));
    EXPECT_FALSE(s().exists(at(kClients, 2) + "/RemoteSubnets/1"));
    EXPECT_EQ(api_deleteVPNL2TPClient(2), -1);
    fail("RemoveAllObjects", kClients);
    EXPECT_EQ(api_clearVPNL2TPClient(), -1);
    ASSERT_EQ(api_clearVPNL2TPClient(), 0);
    EXPECT_TRUE(clients().empty());
    EXPECT_TRUE(s().exists(kServer));
    EXPECT_TRUE(s().exists(at(kAccounts, 1)));
}

TEST_F(L2tp, ClientRemoteSubnetsWorkAsTheIPSecOnes)
{
    const std::string subs = at(kClients, 2) + "/RemoteSubnets";
    api_VPNSubnetInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVPNL2TPClientRemoteSubnetsAll(2, &list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[1].Index, 2u);
    expect_fields(s(), at(subs, 2), kClientSubIface,
                  {prop("DestIPAddress", list[1].Address), prop("DestSubnetMask", list[1].Mask)});
    EXPECT_EQ(api_releaseVPNL2TPClientRemoteSubnetsAll(list, count), 0);

    const std::string first = str(at(subs, 1), kClientSubIface, "DestIPAddress");
    const api_VPNSubnetEntry_t upd = subnet(first.c_str(), "255.255.128.0");
    ASSERT_EQ(api_setVPNL2TPClientRemoteSubnets(2, &upd), 0);
    EXPECT_EQ(str(at(subs, 1), kClientSubIface, "DestSubnetMask"), "255.255.128.0");
    const api_VPNSubnetEntry_t add = subnet("10.42.0.0", "255.255.0.0");
    ASSERT_EQ(api_setVPNL2TPClientRemoteSubnets(2, &add), 0);
    EXPECT_EQ(children(subs, kClientSubIface), (std::set<uint32_t>{1, 2, 3}));
    EXPECT_EQ(api_setVPNL2TPClientRemoteSubnets(0, &add), -1);
    EXPECT_EQ(api_setVPNL2TPClientRemoteSubnets(7, &add), -1);

    ASSERT_EQ(api_deleteVPNL2TPClientRemoteSubnets(2, "10.42.0.0"), 0);
    ASSERT_EQ(api_deleteVPNL2TPClientRemoteSubnets(2, "10.42.0.0"), 0);
    EXPECT_EQ(children(subs, kClientSubIface), (std::set<uint32_t>{1, 2}));
    // A list that cannot be read is a failed deletion, not one with nothing to do.
    fail("GetManagedObjects", subs);
    EXPECT_EQ(api_deleteVPNL2TPClientRemoteSubnets(2, first.c_str()), -1);
    EXPECT_EQ(children(subs, kClientSubIface), (std::set<uint32_t>{1, 2}));

    EXPECT_EQ(api_clearVPNL2TPClientRemoteSubnets(0), -1);
    ASSERT_EQ(api_clearVPNL2TPClientRemoteSubnets(2), 0);
    EXPECT_TRUE(children(subs, kClientSubIface).empty());
    EXPECT_TRUE(s().exists(at(kClients, 1) + "/RemoteSubnets/1"));
}

TEST_F(L2tp, ServerIsReadAndWritten)
{
    api_VPNL2TPServerInfo_t srv{};
    ASSERT_EQ(api_getVPNL2TPServer(&srv), 0);
    expect_fields(s(), kServer, kServerIface,
                  {prop("Enable", srv.Enable), prop("StartAddress", srv.StartAddress),
                   prop("EndAddress", srv.EndAddress), prop("MaskAddress", srv.MaskAddress),
                   prop("LanAddress", srv.LanAddress), prop("WANInterface", srv.WANInterface)});

    srv.Enable = TRUE;
    std::strcpy(srv.StartAddress, "192.168.60.10");
    std::strcpy(srv.EndAddress, "192.168.60.20");
    ASSERT_EQ(api_setVPNL2TPServer(&srv), 0);
    expect_stored(s(), kServer, kServerIface, {prop("Enable", "true")});
    expect_fields(s(), kServer, kServerIface,
                  {prop("StartAddress", "192.168.60.10"), prop("EndAddress", "192.168.60.20")});

    EXPECT_EQ(api_getVPNL2TPServer(nullptr), -1);
    EXPECT_EQ(api_setVPNL2TPServer(nullptr), -1);
    fail("GetAll", kServer);
    EXPECT_EQ(api_getVPNL2TPServer(&srv), -1);
    fail("SetValues", kServer);
    EXPECT_EQ(api_setVPNL2TPServer(&srv), -1);
}

TEST_F(L2tp, AccountsAreListedAndFoundByIndex)
{
    api_VPNL2TPServerAccountInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVPNL2TPServerAccountAll(&list, &count), 0);
    ASSERT_EQ(count, 2);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list[i].Index, static_cast<uint32_t>(i + 1));
        expect_fields(
            s(), at(kAccounts, list[i].Index), kAccountIface,
            {prop("Enable", list[i].Enable), prop("UserName", list[i].UserName), prop("Password", list[i].Password)});
    }
    EXPECT_EQ(api_releaseVPNL2TPServerAccountAll(list, count), 0);

    api_VPNL2TPServerAccountInfo_t a{};
    ASSERT_EQ(api_getVPNL2TPServerAccount(2, &a), 0);
    EXPECT_EQ(a.Index, 2u);
    EXPECT_EQ(a.UserName, str(at(kAccounts, 2), kAccountIface, "UserName"));
    EXPECT_EQ(api_getVPNL2TPServerAccount(3, &a), -1);
    EXPECT_EQ(api_getVPNL2TPServerAccount(0, &a), -1);
    fail("GetManagedObjects", kAccounts);
    EXPECT_EQ(api_getVPNL2TPServerAccount(1, &a), -1);
    EXPECT_EQ(api_releaseVPNL2TPServerAccountAll(nullptr, 0), -1);
}

TEST_F(L2tp, SetAccountWithAKnownUserNameChangesItsPassword)
{
    const std::string user = str(at(kAccounts, 2), kAccountIface, "UserName");
    api_VPNL2TPServerAccountInfo_t a = account(user.c_str(), "newpass");
    ASSERT_EQ(api_setVPNL2TPServerAccount(&a), 0);
    EXPECT_EQ(str(at(kAccounts, 2), kAccountIface, "Password"), "newpass");
    EXPECT_EQ(s().prop_text(at(kAccounts, 2), kAccountIface, "Enable"), "true");
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_EQ(accounts(), (std::set<uint32_t>{1, 2}));

    a = account("guest", "guestpw");
    ASSERT_EQ(api_setVPNL2TPServerAccount(&a), 0);
    EXPECT_EQ(accounts(), (std::set<uint32_t>{1, 2, 3}));
    expect_fields(s(), at(kAccounts, 3), kAccountIface, {prop("UserName", "guest"), prop("Password", "guestpw")});

    a = account("", "x");
    EXPECT_EQ(api_setVPNL2TPServerAccount(&a), -1);
    EXPECT_EQ(api_setVPNL2TPServerAccount(nullptr), -1);
    a = account("late", "x");
    fail("GetManagedObjects", kAccounts);
    EXPECT_EQ(api_setVPNL2TPServerAccount(&a), -1);
    fail("SetValues");
    EXPECT_EQ(api_setVPNL2TPServerAccount(&a), -1);
    EXPECT_EQ(accounts(), (std::set<uint32_t>{1, 2, 3}));
}

TEST_F(L2tp, DeleteAccountByUserNameNeedsAMatch)
{
    const std::string user = str(at(kAccounts, 1), kAccountIface, "UserName");
    ASSERT_EQ(api_deleteVPNL2TPServerAccount(user.c_str()), 0);
    EXPECT_EQ(accounts(), (std::set<uint32_t>{2}));
    EXPECT_EQ(api_deleteVPNL2TPServerAccount(user.c_str()), -1);
    EXPECT_EQ(api_deleteVPNL2TPServerAccount(""), -1);
    EXPECT_EQ(api_deleteVPNL2TPServerAccount(nullptr), -1);
    fail("RemoveAllObjects", kAccounts);
    EXPECT_EQ(api_clearVPNL2TPServerAccount(), -1);
    ASSERT_EQ(api_clearVPNL2TPServerAccount(), 0);
    EXPECT_TRUE(accounts().empty());
    // No accounts at all: nothing to match.
    EXPECT_EQ(api_deleteVPNL2TPServerAccount("auditor"), -1);
    EXPECT_TRUE(s().exists(kServer));
}

// ---- the VPN object functions --------------------------------------------------------------------------

using VpnObjects = VpnSim;

TEST_F(VpnObjects, DeleteReachesOnlyDirectChildrenOfTheCollection)
{
    EXPECT_EQ(gwapi::vpn_obj_del(kIPSec, kIPSec), -1);
    EXPECT_EQ(gwapi::vpn_obj_del(kIPSec, "/com/yvc/igd1/VPN/IPSecX/1"), -1);
    EXPECT_EQ(gwapi::vpn_obj_del(kIPSec, (at(kIPSec, 1) + "/LocalSubnets/1").c_str()), -1);
    EXPECT_EQ(gwapi::vpn_obj_del(kIPSec, (std::string(kIPSec) + "/").c_str()), -1);
    EXPECT_EQ(gwapi::vpn_obj_del(kIPSec, nullptr), -1);
    EXPECT_EQ(s().call_count("DeleteObject"), 0u);
    ASSERT_EQ(gwapi::vpn_obj_del(kIPSec, at(kIPSec, 2).c_str()), 0);
    EXPECT_FALSE(s().exists(at(kIPSec, 2)));
}

TEST_F(VpnObjects, AddHandsOutTheNewPathOrFails)
{
    char path[CCIF_PATH_SIZE] = "";
    ASSERT_EQ(gwapi::vpn_obj_add(kIPSec, path), 0);
    EXPECT_EQ(std::string(path), at(kIPSec, 3));
    EXPECT_TRUE(s().exists(path));

    std::strcpy(path, "untouched");
    fail("AddObject", kIPSec);
    EXPECT_EQ(gwapi::vpn_obj_add(kIPSec, path), -1);
    s().override_reply(kIPSec, "com.yvc.igd1.ObjectManager", "AddObject", "(objectpath '/com/yvc/igd1/Other/1',)");
    EXPECT_EQ(gwapi::vpn_obj_add(kIPSec, path), -1);
    s().override_reply(kIPSec, "com.yvc.igd1.ObjectManager", "AddObject", "('/com/yvc/igd1/VPN/IPSec/9',)");
    EXPECT_EQ(gwapi::vpn_obj_add(kIPSec, path), -1);
    EXPECT_STREQ(path, "untouched");
    EXPECT_EQ(gwapi::vpn_obj_add(kIPSec, nullptr), -1);
}

TEST_F(VpnObjects, PropertyReadStaysBelowTheVpnTree)
{
    struct Seen {
        std::string name;
    } seen;
    auto parser = [](GVariant *props, void *record) -> int {
        const char *name = nullptr;
        if (!g_variant_lookup(props, "Name", "&s", &name))
            return -1;
        static_cast<Seen *>(record)->name = name;
        return 0;
    };
    ASSERT_EQ(gwapi::vpn_property_get(at(kIPSec, 2).c_str(), kIPSecIface, &seen, parser), 0);
    EXPECT_EQ(seen.name, str(at(kIPSec, 2), kIPSecIface, "Name"));
    EXPECT_EQ(gwapi::vpn_property_get(kDevice, kDeviceIface, &seen, parser), -1);
    EXPECT_EQ(gwapi::vpn_property_get("/com/yvc/igd1/VPNX", kIPSecIface, &seen, parser), -1);
    EXPECT_EQ(s().call_count("GetAll"), 1u);
    // A parser that refuses the map fails the read.
    EXPECT_EQ(gwapi::vpn_property_get(at(kL2TP, 1).c_str(), kL2TPIface, &seen, parser), -1);
}

}  // namespace
}  // namespace apitest
