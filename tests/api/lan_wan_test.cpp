// LAN address and DHCP pool, LAN hosts by MAC, class and interface, black lists, Ethernet ports and
// their traffic history, the gateway name, voice lines, the Internet connection and its port mappings.
#include <arpa/inet.h>
#include <cstring>
#include <set>
#include <string>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kDhcp = "/com/yvc/igd1/Config/DHCPServer";
constexpr const char *kDhcpIface = "com.yvc.igd1.DHCPServer";
constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts/";
constexpr const char *kHostIface = "com.yvc.igd1.LANHost";
constexpr const char *kEth = "/com/yvc/igd1/Config/EthernetConfig/";
constexpr const char *kEthIface = "com.yvc.igd1.EthernetConfig";

std::string lower(std::string s)
{
    for (auto &c : s)
        c = static_cast<char>(g_ascii_tolower(c));
    return s;
}

bool inet_pton4(const std::string &text, uint32_t *out)
{
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1)
        return false;
    *out = ntohl(a.s_addr);
    return true;
}

std::string dotted(uint32_t v)
{
    return std::to_string(v >> 24) + "." + std::to_string((v >> 16) & 255) + "." + std::to_string((v >> 8) & 255) +
           "." + std::to_string(v & 255);
}

using LanAddr = ApiSim;

TEST_F(LanAddr, AddressAndPoolComeFromTheDhcpServer)
{
    api_LANHostIP_t ip{};
    api_LANDHCPInfo_t d{};
    ASSERT_EQ(api_getLANHostIP(&ip), 0);
    ASSERT_EQ(api_getLANDHCPInfo(&d), 0);
    expect_fields(s(), kDhcp, kDhcpIface,
                  {prop("LocalIP", ip.LocalIP), prop("Submask", ip.Submask),
                   prop("DHCPServerEnable", d.DHCPServerEnable), prop("DHCPStartIP", d.DHCPStartIP),
                   prop("DHCPEndIP", d.DHCPEndIP), prop("DHCPDuration", d.DHCPDuration)});

    EXPECT_EQ(api_getLANHostIP(nullptr), -1);
    fail("GetAll", kDhcp);
    EXPECT_EQ(api_getLANHostIP(&ip), -1);
    fail("GetAll", kDhcp);
    EXPECT_EQ(api_getLANDHCPInfo(&d), -1);
}

TEST_F(LanAddr, WritesOnlyTheChangedPropertiesAndReadsThemBack)
{
    ASSERT_EQ(api_setLANHostIP("10.0.0.1", "255.255.0.0"), 0);
    expect_fields(s(), kDhcp, kDhcpIface, {prop("LocalIP", "10.0.0.1"), prop("Submask", "255.255.0.0")});
    EXPECT_EQ(last_args("SetValues").find("DHCPStartIP"), std::string::npos);

    const api_LANDHCPInfo_t pool{FALSE, "10.0.0.100", "10.0.0.200", 3600};
    ASSERT_EQ(api_setLANDHCPInfo(&pool), 0);
    expect_fields(s(), kDhcp, kDhcpIface,
                  {prop("DHCPServerEnable", 0), prop("DHCPStartIP", "10.0.0.100"), prop("DHCPEndIP", "10.0.0.200"),
                   prop("DHCPDuration", 3600), prop("LocalIP", "10.0.0.1")});

    fail("SetValues", kDhcp);
    EXPECT_EQ(api_setLANHostIP("10.0.0.2", "255.255.0.0"), -1);
    EXPECT_EQ(fixture_str(s(), kDhcp, kDhcpIface, "LocalIP"), "10.0.0.1");
}

TEST_F(LanAddr, MalformedAddressesAreRefusedBeforeAnyWrite)
{
    const struct {
        const char *ip, *mask;
    } bad_lan[] = {{nullptr, "255.255.255.0"},
                   {"192.168.1.1", nullptr},
                   {"192.168.1", "255.255.255.0"},
                   {"192.168.1.256", "255.255.255.0"},
                   {"192.168.1.1.", "255.255.255.0"},
                   {"192.1x.1.1", "255.0.0.0"},
                   {"1.2.3.4", "255.0.255.0"},
                   {"1.2.3.4", "0.0.0.0"},
                   {"", "255.255.255.0"},
                   {"1.2.3.4", "1234.0.0.0"}};
    for (const auto &c : bad_lan)
        EXPECT_EQ(api_setLANHostIP(c.ip, c.mask), -1) << (c.ip ? c.ip : "NULL") << " " << (c.mask ? c.mask : "NULL");

    const api_LANDHCPInfo_t bad_pool[] = {{TRUE, "192.168.1.200", "192.168.1.100", 60},
                                          {TRUE, "192.168.1.2", "192.168.1.254", 0},
                                          {TRUE, "192.168.1", "192.168.1.254", 60},
                                          {TRUE, "", "192.168.1.254", 60}};
    for (const auto &p : bad_pool)
        EXPECT_EQ(api_setLANDHCPInfo(&p), -1) << p.DHCPStartIP << "-" << p.DHCPEndIP << " " << p.DHCPDuration;
    EXPECT_EQ(api_setLANDHCPInfo(nullptr), -1);

    // Ends outside the LAN subnet, derived from the fixture's own address and mask.
    uint32_t lan = 0, mask = 0;
    ASSERT_TRUE(inet_pton4(fixture_str(s(), kDhcp, kDhcpIface, "LocalIP"), &lan));
    ASSERT_TRUE(inet_pton4(fixture_str(s(), kDhcp, kDhcpIface, "Submask"), &mask));
    const std::string inside = dotted((lan & mask) | 2);
    const std::string outside = dotted(((lan & mask) + ~mask + 1) | 2);
    api_LANDHCPInfo_t off_net{TRUE, "", "", 60};
    std::strcpy(off_net.DHCPStartIP, inside.c_str());
    std::strcpy(off_net.DHCPEndIP, outside.c_str());
    EXPECT_EQ(api_setLANDHCPInfo(&off_net), -1) << inside << "-" << outside;
    std::strcpy(off_net.DHCPStartIP, outside.c_str());
    EXPECT_EQ(api_setLANDHCPInfo(&off_net), -1);
    fail("GetAll", kDhcp);
    std::strcpy(off_net.DHCPEndIP, dotted((lan & mask) | 9).c_str());
    std::strcpy(off_net.DHCPStartIP, inside.c_str());
    EXPECT_EQ(api_setLANDHCPInfo(&off_net), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_EQ(api_setLANDHCPInfo(&off_net), 0);
    EXPECT_EQ(fixture_str(s(), kDhcp, kDhcpIface, "DHCPEndIP"), dotted((lan & mask) | 9));
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(s().call_count("Set"), 0u);
}

TEST_F(LanAddr, UnterminatedPoolTextsAreCutToTheirFields)
{
    api_LANDHCPInfo_t p{};
    std::memset(p.DHCPStartIP, '1', sizeof p.DHCPStartIP);
    std::strcpy(p.DHCPEndIP, "192.168.1.9");
    p.DHCPDuration = 60;
    EXPECT_EQ(api_setLANDHCPInfo(&p), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
}

class LanHosts : public ApiSim {
protected:
    std::string host_str(const std::string &path, const char *name) { return fixture_str(s(), path, kHostIface, name); }
};

TEST_F(LanHosts, GettersByMacReturnEachHostsOwnFields)
{
    const auto paths = fixture_paths(s(), kHosts, kHostIface);
    ASSERT_GE(paths.size(), 3u);
    for (const auto &p : paths) {
        SCOPED_TRACE(p);
        // The lookup ignores case: ask with the other case than the one stored.
        const std::string mac = lower(host_str(p, "MAC"));
        api_LANHostStats_t st{};
        api_LANHostSpeed_t sp{};
        api_LANHostSpeedLimit_t lim{};
        ASSERT_EQ(api_getLANHostStats(mac.c_str(), &st), 0);
        ASSERT_EQ(api_getLANHostSpeed(mac.c_str(), &sp), 0);
        ASSERT_EQ(api_getLANHostSpeedLimitInfo(mac.c_str(), &lim), 0);
        expect_fields(s(), p, kHostIface,
                      {prop("MAC", st.MAC), prop("OnlineTime", st.OnlineTime), prop("RxBytes", st.RxBytes),
                       prop("TxBytes", st.TxBytes), prop("UpSpeed", sp.UpSpeed), prop("DownSpeed", sp.DownSpeed),
                       prop("UsBandwidth", lim.UsBandwidth), prop("DsBandwidth", lim.DsBandwidth),
                       prop("UsGuaranteeBandwidth", lim.UsGuaranteeBandwidth),
                       prop("DsGuaranteeBandwidth", lim.DsGuaranteeBandwidth)});
    }
}

TEST_F(LanHosts, UnknownMacIsMinusTwoAndAFailedListMinusOne)
{
    gwtest::LogCapture log;
    api_LANHostStats_t st{};
    api_LANHostSpeed_t sp{};
    api_LANHostSpeedLimit_t lim{};
    EXPECT_EQ(api_getLANHostStats("00000000FFFF", &st), -2);
    EXPECT_TRUE(log.contains("(api_getLANHostStats) LANHost 00000000FFFF no match object."));
    EXPECT_EQ(api_getLANHostSpeed("00000000FFFF", &sp), -2);
    EXPECT_EQ(api_getLANHostSpeedLimitInfo("00000000FFFF", &lim), -2);
    EXPECT_EQ(api_setLANHostName("00000000FFFF", "x"), -2);
    EXPECT_EQ(api_setLANHostSpeedLimit("00000000FFFF", &lim), -2);
    EXPECT_EQ(api_getLANHostStats(nullptr, &st), -1);
    EXPECT_EQ(api_getLANHostSpeed("", &sp), -1);
    fail("GetManagedObjects", "*", 3);
    EXPECT_EQ(api_getLANHostStats("A0B1C2D3E4F1", &st), -1);
    EXPECT_EQ(api_setLANHostType("A0B1C2D3E4F1", "PC"), -1);
    EXPECT_EQ(api_getLANHostSpeed("A0B1C2D3E4F1", &sp), -1);
    EXPECT_TRUE(log.contains("(api_getLANHostSpeed) get LANHost objects failed."));
    EXPECT_EQ(s().call_count("SetValues"), 0u);
}

TEST_F(LanHosts, ByInterfaceKeepsExactlyTheHostsOnThatInterface)
{
    const auto paths = fixture_paths(s(), kHosts, kHostIface);
    for (const char *ifname : {"SSID1", "LAN1"}) {
        SCOPED_TRACE(ifname);
        std::set<std::string> want;
        for (const auto &p : paths)
            if (host_str(p, "ConnectInterface") == ifname)
                want.insert(host_str(p, "MAC"));
        ASSERT_FALSE(want.empty());
        api_LANHostInfo_t *hosts = nullptr;
        int count = -1;
        ASSERT_EQ(api_getLANHostInfoByInterface(ifname, &hosts, &count), 0);
        std::set<std::string> got;
        for (int i = 0; i < count; ++i)
            got.insert(hosts[i].MAC);
        EXPECT_EQ(got, want);
        EXPECT_EQ(count, static_cast<int>(want.size()));
        EXPECT_EQ(api_releaseLANHostInfo(hosts, count), 0);
    }
    expect_no_list<api_LANHostInfo_t>(0, [](auto l, auto c) { return api_getLANHostInfoByInterface("ssid1", l, c); });
    EXPECT_EQ(api_releaseLANHostInfo(nullptr, 0), -1);
    api_LANHostInfo_t *hosts = nullptr;
    int count = 0;
    EXPECT_EQ(api_getLANHostInfoByInterface(nullptr, &hosts, &count), -1);
    fail("GetManagedObjects");
    expect_no_list<api_LANHostInfo_t>(-1, [](auto l, auto c) { return api_getLANHostInfoByInterface("SSID1", l, c); });
}

TEST_F(LanHosts, SettersWriteTheMatchedHostOnly)
{
    const std::string target = std::string(kHosts) + "2";
    const std::string other = std::string(kHosts) + "1";
    const std::string mac = host_str(target, "MAC");
    const std::string other_name = host_str(other, "DevName");
    ASSERT_EQ(api_setLANHostName(lower(mac).c_str(), "study desk"), 0);
    EXPECT_EQ(host_str(target, "DevName"), "study desk");
    EXPECT_EQ(host_str(other, "DevName"), other_name);
    ASSERT_EQ(api_setLANHostType(mac.c_str(), "STB"), 0);
    EXPECT_EQ(host_str(target, "DevType"), "STB");

    // Names are cut to the field, not refused.
    const std::string long_name(300, 'n');
    ASSERT_EQ(api_setLANHostName(mac.c_str(), long_name.c_str()), 0);
    EXPECT_EQ(host_str(target, "DevName"), long_name.substr(0, 255));

    const api_LANHostSpeedLimit_t lim{4096, 8192, 1024, 0};
    ASSERT_EQ(api_setLANHostSpeedLimit(mac.c_str(), &lim), 0);
    expect_fields(s(), target, kHostIface,
                  {prop("UsBandwidth", 4096), prop("DsBandwidth", 8192), prop("UsGuaranteeBandwidth", 1024),
                   prop("DsGuaranteeBandwidth", 0)});

    s().control("ResetCounts", nullptr);
    const api_LANHostSpeedLimit_t over{1000, 0, 2000, 5000};
    EXPECT_EQ(api_setLANHostSpeedLimit(mac.c_str(), &over), -1);
    const api_LANHostSpeedLimit_t over_ds{0, 1000, 0, 1001};
    EXPECT_EQ(api_setLANHostSpeedLimit(mac.c_str(), &over_ds), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);

    fail("SetValues", target);
    EXPECT_EQ(api_setLANHostType(mac.c_str(), "TV"), -1);
    EXPECT_EQ(host_str(target, "DevType"), "STB");
}

struct ListCase {
    const char *name;
    const char *collection;
    const char *iface;
    int (*add)(const char *);
    int (*del)(const char *);
};
GW_ROW_PRINTS_AS(ListCase, name)

const ListCase kLists[] = {
    {"access", "/com/yvc/igd1/Network/AccessControlBlackList/", "com.yvc.igd1.AccessControlBlackList",
     api_addLANHostToBlackList, api_deleteLANHostFromBlackList},
    {"storage", "/com/yvc/igd1/Network/StorageBlackList/", "com.yvc.igd1.StorageBlackList",
     api_addLANHostToStorageBlackList, api_deleteLANHostFromStorageBlackList},
};

class BlackLists : public ApiSim, public ::testing::WithParamInterface<ListCase> {
protected:
    std::set<std::string> macs()
    {
        std::set<std::string> out;
        for (const auto &p : fixture_paths(s(), GetParam().collection, GetParam().iface))
            out.insert(fixture_str(s(), p, GetParam().iface, "MAC"));
        return out;
    }
};

TEST_P(BlackLists, AddIsIdempotentWithoutRegardToCase)
{
    const auto &c = GetParam();
    const auto before = macs();
    ASSERT_EQ(before.size(), 1u);
    const std::string listed = *before.begin();

    EXPECT_EQ(c.add(lower(listed).c_str()), 0);
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_EQ(macs(), before);

    ASSERT_EQ(c.add("00AA00BB00CC"), 0);
    auto want = before;
    want.insert("00AA00BB00CC");
    EXPECT_EQ(macs(), want);
    EXPECT_EQ(c.add(nullptr), -1);
    EXPECT_EQ(c.add(""), -1);
}

TEST_P(BlackLists, DeleteRemovesTheMatchOrSaysMinusTwo)
{
    const auto &c = GetParam();
    const std::string listed = *macs().begin();
    gwtest::LogCapture log;
    EXPECT_EQ(c.del("00AA00BB00CC"), -2);
    EXPECT_TRUE(log.contains("00AA00BB00CC no match object."));
    EXPECT_EQ(s().call_count("DeleteObject"), 0u);
    ASSERT_EQ(c.del(lower(listed).c_str()), 0);
    EXPECT_TRUE(macs().empty());
    EXPECT_EQ(c.del(listed.c_str()), -2);
}

TEST_P(BlackLists, FailuresLeaveTheListAsItWas)
{
    const auto &c = GetParam();
    const auto before = macs();
    fail("GetManagedObjects");
    EXPECT_EQ(c.add("00AA00BB00CC"), -1);
    fail("GetManagedObjects");
    EXPECT_EQ(c.del(before.begin()->c_str()), -1);
    fail("DeleteObject");
    EXPECT_EQ(c.del(before.begin()->c_str()), -1);
    EXPECT_EQ(macs(), before);
    // A failed write of the new entry removes the half-made object again.
    fail("SetValues");
    fail("Set");
    EXPECT_EQ(c.add("00AA00BB00CC"), -1);
    EXPECT_EQ(macs(), before);
    EXPECT_EQ(fixture_paths(s(), c.collection, c.iface).size(), before.size());
}

INSTANTIATE_TEST_SUITE_P(Both, BlackLists, ::testing::ValuesIn(kLists),
                         [](const ::testing::TestParamInfo<ListCase> &i) { return std::string(i.param.name); });

using Ethernet = ApiSim;

TEST_F(Ethernet, EachPortReportsItsOwnFieldsAndCounters)
{
    const auto paths = fixture_paths(s(), kEth, kEthIface);
    ASSERT_GE(paths.size(), 2u);
    for (const auto &p : paths) {
        SCOPED_TRACE(p);
        const uint32_t port = static_cast<uint32_t>(std::stoul(p.substr(p.rfind('/') + 1)));
        api_LANEthernetInfo_t info{};
        ASSERT_EQ(api_getLANEthernetInfo(port, &info), 0);
        api_LANEthernetStats_t st{};
        ASSERT_EQ(api_getLANEthernetStats(port, &st), 0);
        EXPECT_EQ(info.Index, port);
        expect_fields(s(), p, kEthIface,
                      {prop("Enable", info.Enable), prop("Status", info.Status), prop("MAC", info.MAC),
                       prop("IfName", info.IfName), prop("MaxBitRate", info.MaxBitRate), prop("BitRate", info.BitRate),
                       prop("DuplexMode", info.DuplexMode), prop("BytesSent", st.BytesSent),
                       prop("BytesReceived", st.BytesReceived), prop("PacketsSent", st.PacketsSent),
                       prop("PacketsReceived", st.PacketsReceived)});
    }
}

TEST_F(Ethernet, MissingPortIsMinusTwoAndAFailedListMinusOne)
{
    const uint32_t missing = static_cast<uint32_t>(fixture_paths(s(), kEth, kEthIface).size()) + 1;
    api_LANEthernetInfo_t info{};
    api_LANEthernetStats_t st{};
    EXPECT_EQ(api_getLANEthernetInfo(missing, &info), -2);
    EXPECT_EQ(api_getLANEthernetStats(0, &st), -2);
    EXPECT_EQ(api_setLANEthernetEnable(missing, FALSE), -2);
    EXPECT_EQ(api_getLANEthernetInfo(1, nullptr), -1);
    fail("GetManagedObjects", "*", 2);
    EXPECT_EQ(api_getLANEthernetStats(1, &st), -1);
    EXPECT_EQ(api_setLANEthernetEnable(1, FALSE), -1);
    EXPECT_EQ(s().call_count("Set"), 0u);
}

TEST_F(Ethernet, EnableWritesOnlyAChange)
{
    const std::string p2 = std::string(kEth) + "2";
    ASSERT_EQ(fixture_num(s(), p2, kEthIface, "Enable"), 1);
    EXPECT_EQ(api_setLANEthernetEnable(2, TRUE), 0);
    EXPECT_EQ(s().call_count("Set"), 0u);
    ASSERT_EQ(api_setLANEthernetEnable(2, FALSE), 0);
    EXPECT_EQ(fixture_num(s(), p2, kEthIface, "Enable"), 0);
    EXPECT_EQ(fixture_num(s(), std::string(kEth) + "1", kEthIface, "Enable"), 1);
    fail("Set", p2);
    EXPECT_EQ(api_setLANEthernetEnable(2, TRUE), -1);
    EXPECT_EQ(fixture_num(s(), p2, kEthIface, "Enable"), 0);
}

constexpr const char *kLanHosts = "/com/yvc/igd1/Config/LANHosts";

class HostsAndWan : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Config/LANHosts/");
        host(1, "A4B1C2D3E4F5", "ONLINE", "phone");
        host(2, "001122aabbcc", "OFFLINE", "laptop");
        host(3, "00AA00BB00CC", "BLOCK", "tv");
        host(4, "0A0B0C0D0E0F", "ONLINE", "tablet");
    }
    void host(unsigned n, const char *mac, const char *cls, const char *name)
    {
        char json[256];
        std::snprintf(json, sizeof json,
                      R"({"com.yvc.igd1.LANHost": {"MAC": "'%s'", "HostClass": "'%s'", "HostName": "'%s'"}})", mac, cls,
                      name);
        s().set_object(std::string(kLanHosts) + "/" + std::to_string(n), json);
    }
};

TEST_F(HostsAndWan, HostIsFoundByMacRegardlessOfCase)
{
    api_LANHostInfo_t h{};
    ASSERT_EQ(api_getLANHostInfoByMAC("a4b1c2d3e4f5", &h), 0);
    EXPECT_STREQ(h.HostName, "phone");
    ASSERT_EQ(api_getLANHostInfoByMAC("001122AABBCC", &h), 0);
    EXPECT_STREQ(h.HostName, "laptop");
    gwtest::LogCapture log;
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBCD", &h), -2);
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBC", &h), -2);
    EXPECT_TRUE(log.contains("(api_getLANHostInfoByMAC) LANHost 001122AABBCD no match object."));
    EXPECT_EQ(api_getLANHostInfoByMAC(nullptr, &h), -1);
    fail("GetManagedObjects", kLanHosts);
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBCC", &h), -1);
}

TEST_F(HostsAndWan, HostsAreFilteredByClass)
{
    api_LANHostInfo_t *hosts = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANHostInfoByClass("ONLINE", &hosts, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(hosts[0].HostName, "phone");
    EXPECT_STREQ(hosts[1].HostName, "tablet");
    EXPECT_EQ(api_releaseLANHostInfo(hosts, count), 0);

    ASSERT_EQ(api_getLANHostInfo(&hosts, &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(api_releaseLANHostInfo(hosts, count), 0);

    ASSERT_EQ(api_getLANHostInfoByClass("online", &hosts, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hosts, nullptr);
    EXPECT_EQ(api_releaseLANHostInfo(nullptr, 0), -1);

    fail("GetManagedObjects", kLanHosts);
    EXPECT_EQ(api_getLANHostInfo(&hosts, &count), -1);
    EXPECT_EQ(hosts, nullptr);
}

TEST_F(HostsAndWan, InternetIndexIsTheIndexOfTheResolvedConnection)
{
    remove_matching("/Info/Network/WANConnectionDb/");
    s().set_object(std::string(kWanDb) + "/4",
                   R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'12'", "ServiceList": "'TR069'"}})");
    s().set_object(std::string(kWanDb) + "/6",
                   R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'17'", "ServiceList": "'INTERNET'"}})");
    uint32_t index = 0;
    ASSERT_EQ(api_getInternetWANIndex(&index), 0);
    EXPECT_EQ(index, 17u);

    api_WANIfInfo_t *wans = nullptr;
    int count = 0;
    ASSERT_EQ(api_getWANIfList(&wans, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(wans[0].Index, "12");
    EXPECT_EQ(api_releaseWANIfList(wans, count), 0);

    set_prop(std::string(kWanDb) + "/6", "com.yvc.igd1.WANConnectionInfo", "Index", "'x7'");
    EXPECT_EQ(api_getInternetWANIndex(&index), -1);
    fail("GetInternetConnIndex");
    EXPECT_EQ(api_getInternetWANIndex(&index), -1);
    EXPECT_EQ(index, 17u);
}

constexpr const char *kEthPorts = "/com/yvc/igd1/Config/EthernetConfig";

class LanVoip : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Config/EthernetConfig/");
        remove_matching("/Info/VoIP/");
        port(1, "Up");
        port(3, "NoLink");
    }
    void port(unsigned n, const char *status)
    {
        s().set_object(std::string(kEthPorts) + "/" + std::to_string(n),
                       std::string(R"({"com.yvc.igd1.EthernetConfig": {"Enable": "true", "Status": "')") + status +
                           R"('", "BytesSent": "uint64 12345678901"}})");
    }
};

TEST_F(LanVoip, GatewayNameReadsAndWritesDevName)
{
    EXPECT_EQ(api_setGatewayName("attic gateway"), 0);
    char name[8];
    EXPECT_EQ(api_getGatewayName(name, sizeof name), 0);
    EXPECT_STREQ(name, "attic g");
    EXPECT_EQ(api_getGatewayName(nullptr, 8), -1);
    fail("Get", kDevice);
    EXPECT_EQ(api_getGatewayName(name, sizeof name), -1);
    set_prop(kDevice, kDeviceIface, "DevName", "uint32 7");
    EXPECT_EQ(api_getGatewayName(name, sizeof name), -1);
}

TEST_F(LanVoip, EthernetPortsAreListedAndReleased)
{
    api_EthernetConfigInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getEthernetConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(info[0].Status, "Up");
    EXPECT_EQ(info[0].BytesSent, 12345678901ull);
    EXPECT_STREQ(info[1].path, (std::string(kEthPorts) + "/3").c_str());
    EXPECT_EQ(api_releaseEthernetConfigInfo(info, count), 0);
    EXPECT_EQ(api_releaseEthernetConfigInfo(nullptr, 0), -1);

    fail("GetManagedObjects", kEthPorts);
    EXPECT_EQ(api_getEthernetConfigInfo(&info, &count), -1);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(LanVoip, HistoryTrafficPerPortOrForAll)
{
    s().control("SetReplyOverride", g_variant_new("(ssss)", "*", "*", "GetLANHistoryTraffic",
                                                  "('2026-12-07 00:00:00', ['10,20', '15,26'], uint32 0, '')"));
    api_LANHistoryTraffic_t *t = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANHistoryTraffic(3, 0, 2, &t, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(t[0].index, 3u);
    EXPECT_STREQ(t[0].TrafficBase, "2026-12-07 00:00:00");
    ASSERT_EQ(t[0].HistoryNum, 2);
    EXPECT_STREQ(t[0].History[1], "15,26");
    EXPECT_EQ(api_releaseLANHistoryTraffic(t, count), 0);

    ASSERT_EQ(api_getLANHistoryTraffic(0, 0, 2, &t, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(api_releaseLANHistoryTraffic(t, count), 0);

    EXPECT_EQ(api_getLANHistoryTraffic(2, 0, 2, &t, &count), -2);
    EXPECT_EQ(api_releaseLANHistoryTraffic(nullptr, 0), -1);
}

TEST_F(LanVoip, HistoryTrafficFailureOnOnePortFreesTheOthers)
{
    api_LANHistoryTraffic_t *t = nullptr;
    int count = -1;
    fail("GetLANHistoryTraffic", std::string(kEthPorts) + "/3");
    EXPECT_EQ(api_getLANHistoryTraffic(0, 0, 2, &t, &count), -1);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(count, 0);

    s().control("SetReplyOverride",
                g_variant_new("(ssss)", "*", "*", "GetLANHistoryTraffic", "('', @as [], uint32 5, 'busy')"));
    gwtest::LogCapture log;
    EXPECT_EQ(api_getLANHistoryTraffic(1, 0, 2, &t, &count), -1);
    EXPECT_TRUE(log.contains("busy"));
}

TEST_F(LanVoip, VoiceLinesCarryTheirNumberFromThePath)
{
    s().set_object("/com/yvc/igd1/Info/VoIP/2", R"({"com.yvc.igd1.VoIPInfo": {"PhoneNumber": "'+8610555'",)"
                                                R"( "PasswordIndicator": "'1'", "LineStatus": "'Up'"}})");
    api_VoIPInfo_t *lines = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVoIPInfo(&lines, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(lines[0].Index, 2u);
    EXPECT_STREQ(lines[0].Username, "+8610555");
    EXPECT_STREQ(lines[0].Status, "Up");
    EXPECT_EQ(api_releaseVoIPInfo(lines, count), 0);

    remove_matching("/Info/VoIP/");
    lines = reinterpret_cast<api_VoIPInfo_t *>(0x1);
    EXPECT_EQ(api_getVoIPInfo(&lines, &count), 0);
    EXPECT_EQ(lines, nullptr);
    EXPECT_EQ(count, 0);

    s().set_object("/com/yvc/igd1/Info/VoIP", R"({"com.yvc.igd1.VoIPServer": {"ServerAddress": "'sip.test'",)"
                                              R"( "ServerPort": "uint32 5062"}})");
    api_VoIPServerInfo_t server{};
    ASSERT_EQ(api_getVoIPServerInfo(&server), 0);
    EXPECT_STREQ(server.ServerAddress, "sip.test");
    EXPECT_EQ(server.ServerPort, 5062u);
    fail("GetAll", "/com/yvc/igd1/Info/VoIP");
    EXPECT_EQ(api_getVoIPServerInfo(&server), -1);
}

const std::string kWan9 = std::string(kWanDb) + "/9";

class PortMapping : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/PortMapping/");
        s().set_object(kWan9, R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'9'", "WANName": "'9_TR069_R'"}})");
    }
    void add_mapping(unsigned n, bool enabled, unsigned ext, unsigned in, const char *proto, const char *client,
                     const std::string &wan = kWan9)
    {
        char json[512];
        std::snprintf(
            json, sizeof json,
            R"({"com.yvc.igd1.PortMapping": {"PortMappingEnabled": "%s", "PortMappingLeaseDuration":)"
            R"( "uint32 %u", "RemoteHost": "''", "ExternalPort": "uint32 %u", "InternalPort": "uint32 %u",)"
            R"( "PortMappingProtocol": "'%s'", "InternalClient": "'%s'", "PortMappingDescription": "'m%u'"}})",
            enabled ? "true" : "false", n * 10, ext, in, proto, client, n);
        s().set_object(wan + "/PortMapping/" + std::to_string(n), json);
    }
    std::string pm(unsigned n) const { return kWan9 + "/PortMapping/" + std::to_string(n); }
    static api_PortMappingEntry_t entry(unsigned ext, unsigned in, const char *proto, const char *client,
                                        const char *desc = "new")
    {
        api_PortMappingEntry_t e{};
        e.PortMappingEnabled = TRUE;
        e.ExternalPort = ext;
        e.InternalPort = in;
        std::strcpy(e.PortMappingProtocol, proto);
        std::strcpy(e.InternalClient, client);
        std::strcpy(e.PortMappingDescription, desc);
        return e;
    }
};

TEST_F(PortMapping, GetGroupsMappingsOfEachConnectionWithIndexFromPath)
{
    add_mapping(3, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(7, false, 2222, 22, "BOTH", "192.168.1.21");
    gwtest::LogCapture log;
    api_PortMappingInfo_t *info = nullptr;
    int count = -1;
    ASSERT_EQ(api_getPortMappingInfo(&info, &count), 0);
    ASSERT_EQ(count, 1);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info[0].WANName, "9_TR069_R");
    ASSERT_EQ(info[0].PortMappingNum, 2u);
    const api_PortMappingItem_t &a = info[0].PortMapping[0];
    const api_PortMappingItem_t &b = info[0].PortMapping[1];
    EXPECT_EQ(a.Index, 3u);
    EXPECT_TRUE(a.PortMappingEnabled);
    EXPECT_EQ(a.PortMappingLeaseDuration, 30u);
    EXPECT_EQ(a.ExternalPort, 8080u);
    EXPECT_EQ(a.InternalPort, 80u);
    EXPECT_STREQ(a.PortMappingProtocol, "TCP");
    EXPECT_STREQ(a.InternalClient, "192.168.1.20");
    EXPECT_STREQ(a.PortMappingDescription, "m3");
    EXPECT_EQ(b.Index, 7u);
    EXPECT_FALSE(b.PortMappingEnabled);
    EXPECT_STREQ(b.PortMappingProtocol, "BOTH");
    EXPECT_TRUE(log.contains("====== enter api_getPortMappingInfo"));
    EXPECT_EQ(api_releasePortMappingInfo(info, count), 0);
}

TEST_F(PortMapping, GetWithoutAnyMappingGivesNullAndCountZero)
{
    gwtest::LogCapture log;
    expect_no_list(0, api_getPortMappingInfo);
    EXPECT_TRUE(log.contains("(api_getPortMappingInfo) no PortMappingInfo."));
    EXPECT_EQ(api_releasePortMappingInfo(nullptr, 0), -1);
}

TEST_F(PortMapping, FailedBusCallsGiveMinusOneOrSkipTheConnection)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    fail("GetManagedObjects", kWanDb);
    expect_no_list(-1, api_getPortMappingInfo);
    EXPECT_TRUE(log.contains("(api_getPortMappingInfo) get WANConnectionInfo objects failed."));

    // The only connection with mappings cannot be listed: it gives no element.
    fail("GetManagedObjects", kWan9 + "/PortMapping");
    expect_no_list(0, api_getPortMappingInfo);

    api_PortMappingEntry_t e = entry(1, 1, "UDP", "192.168.1.9");
    fail("GetManagedObjects", kWan9 + "/PortMapping");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    fail("AddObject");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    EXPECT_TRUE(log.contains("(api_addPortMapping) AddObject " + kWan9 + "/PortMapping failed."));
    fail("SetValues");
    EXPECT_EQ(api_setPortMapping(9, 1, &e), -1);
    fail("DeleteObject");
    EXPECT_EQ(api_deletePortMapping(9, 1), -1);
    EXPECT_TRUE(log.contains("(api_deletePortMapping) DeleteObject " + pm(1) + " failed."));
    fail("Set");
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), -1);
    EXPECT_TRUE(log.contains("PortMapping found, set PortMappingEnabled failed"));
    EXPECT_EQ(s().prop_text(pm(1), kPM, "PortMappingEnabled"), "true");
}

TEST_F(PortMapping, AddOfEqualDisabledMappingEnablesItAndAddsNothing)
{
    add_mapping(2, false, 2222, 22, "BOTH", "192.168.1.21");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(2222, 22, "BOTH", "192.168.1.21", "other text");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingEnabled"), "true");
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingDescription"), "'m2'");
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_TRUE(log.contains("(api_addPortMapping) PortMapping found, do not add."));

    // Enabling the equal mapping fails: nothing is added either.
    set_prop(pm(2), kPM, "PortMappingEnabled", "false");
    fail("Set");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    EXPECT_TRUE(log.contains("(api_addPortMapping) PortMapping exist, but set enable failed"));
    EXPECT_EQ(s().call_count("AddObject"), 0u);
}

TEST_F(PortMapping, AddOfMappingDifferingInOneKeyAddsBelowTheConnection)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(8080, 80, "UDP", "192.168.1.20");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_TRUE(s().exists(pm(2)));
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingProtocol"), "'UDP'");
    EXPECT_TRUE(log.contains("(api_addPortMapping) AddObject " + kWan9 + "/PortMapping success."));
}

TEST_F(PortMapping, SixtyFiveMappingsRefuseAddAndSetButSixtyFourAcceptAdd)
{
    for (unsigned n = 1; n <= 64; ++n)
        add_mapping(n, true, 1000 + n, 1000 + n, "TCP", "192.168.1.30");
    api_PortMappingEntry_t e = entry(5000, 5000, "TCP", "192.168.1.30");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_TRUE(s().exists(pm(65)));

    gwtest::LogCapture log;
    api_PortMappingEntry_t f = entry(6000, 6000, "TCP", "192.168.1.30");
    EXPECT_EQ(api_addPortMapping(9, &f), -2);
    EXPECT_EQ(api_setPortMapping(9, 0, &f), -2);
    EXPECT_EQ(api_setPortMapping(9, 3, &f), -2);
    EXPECT_FALSE(s().exists(pm(66)));
    EXPECT_EQ(s().prop_text(pm(3), kPM, "ExternalPort"), "uint32 1003");
    EXPECT_EQ(log.count("Portmapping exceeds the maximum limit."), 3u);
}

TEST_F(PortMapping, SetOverwritesAnExistingIndexAndOtherwiseAddsReturningTheIndex)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(4, true, 8081, 81, "TCP", "192.168.1.20");
    api_PortMappingEntry_t e = entry(9000, 90, "UDP", "192.168.1.40", "written");
    EXPECT_EQ(api_setPortMapping(9, 4, &e), 4);
    EXPECT_EQ(s().prop_text(pm(4), kPM, "ExternalPort"), "uint32 9000");
    EXPECT_EQ(s().prop_text(pm(4), kPM, "PortMappingDescription"), "'written'");
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    EXPECT_EQ(api_setPortMapping(9, 0, &e), 5);
    EXPECT_EQ(s().prop_text(pm(5), kPM, "InternalClient"), "'192.168.1.40'");
    // A mapping index that does not exist adds too.
    EXPECT_EQ(api_setPortMapping(9, 33, &e), 6);
    EXPECT_FALSE(s().exists(pm(33)));
}

TEST_F(PortMapping, ConnectionIsFoundByIndexText)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    s().set_object(std::string(kWanDb) + "/8", R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'08'"}})");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(1, 1, "TCP", "192.168.1.2");
    EXPECT_EQ(api_addPortMapping(8, &e), -1);
    EXPECT_EQ(api_addPortMapping(77, &e), -1);
    EXPECT_EQ(api_setPortMapping(77, 0, &e), -1);
    EXPECT_EQ(api_deletePortMapping(77, 1), -1);
    EXPECT_EQ(api_setPortMappingSwitch(77, 1, TRUE), -2);
    EXPECT_EQ(log.count("WanIndex no match Object."), 5u);
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    fail("GetManagedObjects", kWanDb);
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), -1);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) get WANConnectionInfo objects failed."));
}

TEST_F(PortMapping, SwitchWritesOnlyWhenTheStateDiffers)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, TRUE), 0);
    EXPECT_EQ(s().call_count("Set"), 0u);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) PortMapping found, do not set."));

    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), 0);
    EXPECT_EQ(s().prop_text(pm(1), kPM, "PortMappingEnabled"), "false");
    EXPECT_TRUE(log.contains("PortMapping found, set PortMappingEnabled success."));

    EXPECT_EQ(api_setPortMappingSwitch(9, 2, FALSE), -2);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) PortMappingIndex not exist from " + kWan9 + "."));
}

TEST_F(PortMapping, DeleteRemovesTheNumberedMapping)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(2, true, 8081, 81, "TCP", "192.168.1.20");
    EXPECT_EQ(api_deletePortMapping(9, 2), 0);
    EXPECT_FALSE(s().exists(pm(2)));
    EXPECT_TRUE(s().exists(pm(1)));
    EXPECT_EQ(api_deletePortMapping(9, 2), -1);
}

}  // namespace
}  // namespace apitest
