// Static Layer-3 routes (IPv4 and IPv6) through both families of route functions, and the traffic QoS flows
// and classifications, against the routes_qos profile.
#include <cstring>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kV4 = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config";
constexpr const char *kV4Iface = "com.yvc.igd1.Layer3ForwardingIPv4Config";
constexpr const char *kV6 = "/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config";
constexpr const char *kV6Iface = "com.yvc.igd1.Layer3ForwardingIPv6Config";
constexpr const char *kFlows = "/com/yvc/igd1/Transfer/TrafficQoSFlow";
constexpr const char *kFlowIface = "com.yvc.igd1.TrafficQoSFlow";
constexpr const char *kClsIface = "com.yvc.igd1.TrafficQoSClassification";

// The profile lays, beside the default gateway's route 1 (static, in force):
//   IPv4 2 gateway-made in force, 3 static off, 4 static on but "Error", 5 gateway-made off,
//        6 static on with Status "enabled" (not exactly "Enabled");
//   IPv6 2 gateway-made in force, 3 static off, 4 static on but "Error";
//   QoS flow objects 1 (Flow 1), 2 (Flow 0), 3 (Flow 7), 4 (Flow 40), 5 (Flow 2), 8 (Flow 3); no Flow 4 to 6.
class RoutesQos : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        const std::string profile = gwtest::source_dir() + "/sim/igd1/profiles/routes_qos.json";
        s().control("LoadProfile", g_variant_new("(s)", profile.c_str()));
        s().control("ResetCounts", nullptr);
    }
    // Each family of functions starts from the profile again.
    void reload() { SetUp(); }
    std::string v4(unsigned n, const char *name) { return fixture_str(s(), at(kV4, n), kV4Iface, name); }
    int64_t v4num(unsigned n, const char *name) { return fixture_num(s(), at(kV4, n), kV4Iface, name); }
    std::string v6(unsigned n, const char *name) { return fixture_str(s(), at(kV6, n), kV6Iface, name); }
    api_IPv6L3ForwardingEntry_t entry6_of(unsigned n)
    {
        api_IPv6L3ForwardingEntry_t e{};
        e.Enable = 1;
        std::strcpy(e.DestIPPrefix, v6(n, "DestIPPrefix").c_str());
        std::strcpy(e.NextHop, v6(n, "NextHop").c_str());
        std::strcpy(e.Interface, v6(n, "Interface").c_str());
        return e;
    }
    size_t count_of(const std::string &collection, const char *iface)
    {
        return fixture_paths(s(), collection + "/", iface).size();
    }
    api_L3ForwardingEntry_t entry4(const char *dest, const char *mask, const char *gw, const char *ifc, uint32_t on)
    {
        api_L3ForwardingEntry_t e{};
        e.Enable = on;
        std::strcpy(e.DestIPAddress, dest);
        std::strcpy(e.DestSubnetMask, mask);
        std::strcpy(e.GatewayIPAddress, gw);
        std::strcpy(e.Interface, ifc);
        return e;
    }
    api_L3ForwardingEntry_t entry4_of(unsigned n)
    {
        return entry4(v4(n, "DestIPAddress").c_str(), v4(n, "DestSubnetMask").c_str(),
                      v4(n, "GatewayIPAddress").c_str(), v4(n, "Interface").c_str(), 1);
    }
};

std::vector<uint32_t> indexes(const api_L3ForwardingInfo_t *info, int count)
{
    std::vector<uint32_t> out;
    for (int i = 0; i < count; ++i)
        out.push_back(info[i].Index);
    return out;
}

// ---- IPv4 routes -------------------------------------------------------------------------------------

using L3Routes = RoutesQos;

TEST_F(L3Routes, ByTypeSelectsStaticOthersInForceOrAll)
{
    const struct {
        uint32_t type;
        std::vector<uint32_t> want;
    } cases[] = {{1, {1, 3, 4, 6}}, {2, {2, 5}}, {3, {1, 2}}, {0, {1, 2, 3, 4, 5, 6}}, {4, {1, 2, 3, 4, 5, 6}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        api_L3ForwardingInfo_t *info = nullptr;
        int count = -1;
        ASSERT_EQ(api_getL3ForwardingConfigInfoByType(c.type, &info, &count), 0);
        EXPECT_EQ(indexes(info, count), c.want);
        for (int i = 0; i < count; ++i) {
            const api_L3ForwardingInfo_t &r = info[i];
            expect_fields(s(), at(kV4, r.Index), kV4Iface,
                          {prop("Enable", r.Enable), prop("StaticRoute", r.StaticRoute), prop("Status", r.Status),
                           prop("Type", r.Type), prop("DestIPAddress", r.DestIPAddress),
                           prop("DestSubnetMask", r.DestSubnetMask), prop("GatewayIPAddress", r.GatewayIPAddress),
                           prop("Interface", r.Interface)});
        }
        EXPECT_EQ(api_releaseL3ForwardingConfigInfo(info, count), 0);
    }
}

TEST_F(L3Routes, NoMatchIsAnEmptySuccessAndAFailedListLeavesNothing)
{
    gwtest::LogCapture log;
    for (unsigned n : {2u, 5u})
        s().remove_object(at(kV4, n));
    expect_no_list<api_L3ForwardingInfo_t>(0,
                                           [](auto l, auto c) { return api_getL3ForwardingConfigInfoByType(2, l, c); });
    EXPECT_TRUE(log.contains("(api_getL3ForwardingConfigInfoByType) Layer3Forwarding not staticRoute."));
    fail("GetManagedObjects", kV4);
    expect_no_list<api_L3ForwardingInfo_t>(-1,
                                           [](auto l, auto c) { return api_getL3ForwardingConfigInfoByType(1, l, c); });

    int count = 0;
    EXPECT_EQ(api_getL3ForwardingConfigInfoByType(1, nullptr, &count), -1);
    EXPECT_EQ(api_releaseL3ForwardingConfigInfo(nullptr, 0), -1);
}

TEST_F(L3Routes, AddAndSetZeroEnableTheEqualRouteOrAddOneThatDiffersOnlyInInterface)
{
    const size_t before = count_of(kV4, kV4Iface);
    api_L3ForwardingEntry_t e = entry4_of(3);
    EXPECT_EQ(api_setL3ForwardingStatic(0, &e), 3);
    EXPECT_EQ(v4num(3, "Enable"), 1);
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    std::strcpy(e.Interface, (std::string(kWanDb) + "/3").c_str());
    e.Enable = 0;
    ASSERT_EQ(api_addL3ForwardingStatic(&e), 7);
    expect_fields(s(), at(kV4, 7), kV4Iface,
                  {prop("Interface", std::string(kWanDb) + "/3"), prop("DestIPAddress", v4(3, "DestIPAddress")),
                   prop("Enable", 0)});
    EXPECT_EQ(count_of(kV4, kV4Iface), before + 1);
}

TEST_F(L3Routes, SetOverwritesAStaticRouteOrAddsForAMissingIndexAndAnswersTheIndexWritten)
{
    const size_t before = count_of(kV4, kV4Iface);
    const api_L3ForwardingEntry_t e =
        entry4("10.50.0.0", "255.255.255.0", "10.20.30.9", "/com/yvc/igd1/Info/Network/WANConnectionDb/3", 0);
    ASSERT_EQ(api_setL3ForwardingStatic(4, &e), 4);
    // Status is the service's own field: not written.
    expect_fields(s(), at(kV4, 4), kV4Iface,
                  {prop("DestIPAddress", "10.50.0.0"), prop("DestSubnetMask", "255.255.255.0"),
                   prop("GatewayIPAddress", "10.20.30.9"), prop("Interface", std::string(kWanDb) + "/3"),
                   prop("Enable", 0), prop("Status", "Error")});
    EXPECT_EQ(count_of(kV4, kV4Iface), before);

    // An index that does not exist gives a new route, and the answer is its index.
    ASSERT_EQ(api_setL3ForwardingStatic(42, &e), 7);
    EXPECT_FALSE(s().exists(at(kV4, 42)));
    EXPECT_EQ(v4(7, "DestIPAddress"), "10.50.0.0");
}

TEST_F(L3Routes, SetRefusesGatewayRoutesAndReportsFailedWrites)
{
    const api_L3ForwardingEntry_t e =
        entry4("10.70.0.0", "255.255.0.0", "100.64.12.1", "/com/yvc/igd1/Info/Network/WANConnectionDb/1", 1);
    EXPECT_EQ(api_setL3ForwardingStatic(2, &e), -1);
    EXPECT_EQ(v4(2, "DestIPAddress"), "192.168.1.0");
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    gwtest::LogCapture log;
    fail("SetValues", at(kV4, 3));
    EXPECT_EQ(api_setL3ForwardingStatic(3, &e), -1);
    EXPECT_EQ(v4(3, "DestIPAddress"), "172.20.0.0");
    EXPECT_TRUE(log.contains("(api_setL3ForwardingStatic) set Layer3ForwardingIPv4Config failed."));

    // A route that cannot be read is added anew; when that add fails too nothing stays behind.
    const size_t before = count_of(kV4, kV4Iface);
    fail("SetValues");
    EXPECT_EQ(api_setL3ForwardingStatic(42, &e), -1);
    EXPECT_EQ(count_of(kV4, kV4Iface), before);
    EXPECT_EQ(api_setL3ForwardingStatic(3, nullptr), -1);
    EXPECT_EQ(api_setL3ForwardingStatic(0, nullptr), -1);
}

// ---- IPv6 routes -------------------------------------------------------------------------------------

using L3Routes6 = RoutesQos;

TEST_F(L3Routes6, ByTypeSetAndDeleteWorkOnTheIPv6Collection)
{
    api_IPv6L3ForwardingInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getIPv6L3ForwardingConfigInfoByType(3, &info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(info[0].Index, 1u);
    EXPECT_EQ(info[1].Index, 2u);
    expect_fields(s(), at(kV6, 2), kV6Iface,
                  {prop("DestIPPrefix", info[1].DestIPPrefix), prop("NextHop", info[1].NextHop)});
    EXPECT_EQ(api_releaseIPv6L3ForwardingConfigInfo(info, count), 0);
    ASSERT_EQ(api_getIPv6L3ForwardingStaticConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(info[2].Index, 4u);
    EXPECT_EQ(api_releaseIPv6L3ForwardingStaticConfigInfo(info, count), 0);

    api_IPv6L3ForwardingEntry_t e{};
    e.Enable = 1;
    std::strcpy(e.DestIPPrefix, "2001:db8:aa::/48");
    std::strcpy(e.NextHop, "fe80::aa");
    std::strcpy(e.Interface, v6(3, "Interface").c_str());
    ASSERT_EQ(api_setIPv6L3ForwardingStatic(3, &e), 3);
    expect_fields(s(), at(kV6, 3), kV6Iface, {prop("DestIPPrefix", "2001:db8:aa::/48"), prop("NextHop", "fe80::aa")});
    expect_stored(s(), at(kV6, 3), kV6Iface, {prop("Enable", "true")});
    EXPECT_EQ(api_setIPv6L3ForwardingStatic(2, &e), -1);
    std::strcpy(e.NextHop, "fe80::ab");
    ASSERT_EQ(api_setIPv6L3ForwardingStatic(0, &e), 5);
    EXPECT_EQ(v6(5, "NextHop"), "fe80::ab");
    EXPECT_FALSE(s().exists(at(kV4, 7)));

    EXPECT_EQ(api_deleteIPv6L3ForwardingStatic(2), -1);
    // The service marks the routes it is given as static; the simulator leaves that to the test.
    EXPECT_EQ(api_deleteIPv6L3ForwardingStatic(5), -1);
    set_prop(at(kV6, 5), kV6Iface, "StaticRoute", "true");
    ASSERT_EQ(api_deleteIPv6L3ForwardingStatic(5), 0);
    EXPECT_FALSE(s().exists(at(kV6, 5)));
    EXPECT_TRUE(s().exists(at(kV4, 5)));
}

// ---- the route functions of both families ------------------------------------------------------------

// The Layer3Forwarding and the L3Forwarding functions share their route logic; every case runs on both.
template <typename Info, typename Entry> struct RouteApi {
    const char *add_name;
    const char *del_name;
    int (*get_static)(Info **, int *);
    int (*release_static)(Info *, int);
    int (*get_current)(Info **, int *);
    int (*release_current)(Info *, int);
    int (*add)(const Entry *);
    int (*del)(uint32_t);
};

// clang-format off
const RouteApi<api_L3ForwardingInfo_t, api_L3ForwardingEntry_t> kV4Apis[] = {
    {"api_addLayer3ForwardingStatic", "api_deleteLayer3ForwardingStatic", api_getLayer3ForwardingStaticConfigInfo,
     api_releaseLayer3ForwardingStaticConfigInfo, api_getLayer3ForwardingCurrent, api_releaseLayer3ForwardingCurrent,
     api_addLayer3ForwardingStatic, api_deleteLayer3ForwardingStatic},
    {"api_addL3ForwardingStatic", "api_deleteL3ForwardingStatic", api_getL3ForwardingStaticConfigInfo,
     api_releaseL3ForwardingStaticConfigInfo, api_getL3ForwardingCurrent, api_releaseL3ForwardingCurrent,
     api_addL3ForwardingStatic, api_deleteL3ForwardingStatic},
};
const RouteApi<api_IPv6L3ForwardingInfo_t, api_IPv6L3ForwardingEntry_t> kV6Apis[] = {
    {"api_addIPv6Layer3ForwardingStatic", "api_deleteIPv6Layer3ForwardingStatic",
     api_getIPv6Layer3ForwardingStaticConfigInfo, api_releaseIPv6Layer3ForwardingStaticConfigInfo,
     api_getIPv6Layer3ForwardingCurrent, api_releaseIPv6Layer3ForwardingCurrent, api_addIPv6Layer3ForwardingStatic,
     api_deleteIPv6Layer3ForwardingStatic},
    {"api_addIPv6L3ForwardingStatic", "api_deleteIPv6L3ForwardingStatic", api_getIPv6L3ForwardingStaticConfigInfo,
     api_releaseIPv6L3ForwardingStaticConfigInfo, api_getIPv6L3ForwardingCurrent, api_releaseIPv6L3ForwardingCurrent,
     api_addIPv6L3ForwardingStatic, api_deleteIPv6L3ForwardingStatic},
};
// clang-format on

using RouteFamilies = RoutesQos;

TEST_F(RouteFamilies, StaticListHoldsStaticRoutesAndCurrentTheEnabledOnesInForce)
{
    for (const auto &f : kV4Apis) {
        SCOPED_TRACE(f.add_name);
        reload();
        api_L3ForwardingInfo_t *info = nullptr;
        int count = 0;
        ASSERT_EQ(f.get_static(&info, &count), 0);
        EXPECT_EQ(indexes(info, count), (std::vector<uint32_t>{1, 3, 4, 6}));
        for (int i = 0; i < count; ++i) {
            const api_L3ForwardingInfo_t &r = info[i];
            EXPECT_EQ(r.StaticRoute, 1u);
            expect_fields(s(), at(kV4, r.Index), kV4Iface,
                          {prop("Enable", r.Enable), prop("Status", r.Status), prop("Type", r.Type),
                           prop("DestIPAddress", r.DestIPAddress), prop("DestSubnetMask", r.DestSubnetMask),
                           prop("GatewayIPAddress", r.GatewayIPAddress), prop("Interface", r.Interface)});
        }
        EXPECT_EQ(f.release_static(info, count), 0);
        ASSERT_EQ(f.get_current(&info, &count), 0);
        EXPECT_EQ(indexes(info, count), (std::vector<uint32_t>{1, 2}));
        EXPECT_EQ(info[1].StaticRoute, 0u);
        EXPECT_STREQ(info[1].DestIPAddress, "192.168.1.0");
        EXPECT_STREQ(info[1].Status, "Enabled");
        EXPECT_EQ(f.release_current(info, count), 0);

        fail("GetManagedObjects", kV4);
        expect_no_list(-1, f.get_static);
        fail("GetManagedObjects", kV4);
        expect_no_list(-1, f.get_current);
        // Only routes that are neither static nor in force.
        for (unsigned n : {1u, 3u, 4u, 6u})
            s().remove_object(at(kV4, n));
        set_prop(at(kV4, 2), kV4Iface, "Status", "'Disabled'");
        expect_no_list(0, f.get_static);
        expect_no_list(0, f.get_current);
        expect_null_refused(f.get_static, f.release_static);
        expect_null_refused(f.get_current, f.release_current);
    }
}

TEST_F(RouteFamilies, AddOfAnEqualStaticRouteReturnsItsIndexAndEnablesItOnly)
{
    for (const auto &f : kV4Apis) {
        reload();
        SCOPED_TRACE(f.add_name);
        gwtest::LogCapture log;
        const size_t before = count_of(kV4, kV4Iface);
        api_L3ForwardingEntry_t e = entry4_of(3);
        e.Enable = 0;  // the existing route is switched on whatever the entry says
        EXPECT_EQ(f.add(&e), 3);
        EXPECT_EQ(v4num(3, "Enable"), 1);
        EXPECT_TRUE(log.contains("(" + std::string(f.add_name) + ") IPv4 StaticRoute found, do not add."));
        EXPECT_EQ(s().call_count("Set"), 1u);

        s().control("ResetCounts", nullptr);
        const api_L3ForwardingEntry_t first = entry4_of(1);
        EXPECT_EQ(f.add(&first), 1);
        EXPECT_EQ(s().call_count("Set"), 0u);
        EXPECT_EQ(s().call_count("AddObject"), 0u);

        // Set enable of the found route fails: nothing is added instead.
        set_prop(at(kV4, 3), kV4Iface, "Enable", "false");
        fail("Set", at(kV4, 3));
        EXPECT_EQ(f.add(&e), -1);
        EXPECT_EQ(v4num(3, "Enable"), 0);
        EXPECT_EQ(count_of(kV4, kV4Iface), before);
    }
}

TEST_F(RouteFamilies, ANewRouteIsAddedWithTheEntryFieldsAndAFailedAddLeavesNone)
{
    for (const auto &f : kV4Apis) {
        reload();
        SCOPED_TRACE(f.add_name);
        // Equal to route 2, which is not static: that one does not count.
        api_L3ForwardingEntry_t e = entry4_of(2);
        e.Enable = 0;
        ASSERT_EQ(f.add(&e), 7);
        expect_fields(s(), at(kV4, 7), kV4Iface,
                      {prop("DestIPAddress", "192.168.1.0"), prop("DestSubnetMask", "255.255.255.0"),
                       prop("GatewayIPAddress", "0.0.0.0"), prop("Interface", std::string(kWanDb) + "/2"),
                       prop("Enable", 0)});
        EXPECT_EQ(v4num(2, "Enable"), 1);
        // Any nonzero value is on.
        const api_L3ForwardingEntry_t other =
            entry4("10.99.0.0", "255.255.0.0", "100.64.12.1", "/com/yvc/igd1/Info/Network/WANConnectionDb/1", 7);
        ASSERT_EQ(f.add(&other), 8);
        EXPECT_EQ(s().prop_text(at(kV4, 8), kV4Iface, "Enable"), "true");
        EXPECT_EQ(v4(8, "DestIPAddress"), "10.99.0.0");

        const size_t before = count_of(kV4, kV4Iface);
        api_L3ForwardingEntry_t fresh = entry4_of(1);
        std::strcpy(fresh.DestIPAddress, "10.77.0.0");
        EXPECT_EQ(f.add(nullptr), -1);
        fail("GetManagedObjects", kV4);
        EXPECT_EQ(f.add(&fresh), -1);
        fail("AddObject", kV4);
        EXPECT_EQ(f.add(&fresh), -1);
        fail("SetValues");
        EXPECT_EQ(f.add(&fresh), -1);
        EXPECT_EQ(count_of(kV4, kV4Iface), before);
        EXPECT_FALSE(s().exists(at(kV4, 9)));
    }
}

TEST_F(RouteFamilies, DeleteRemovesAStaticRouteAndNothingElse)
{
    for (const auto &f : kV4Apis) {
        reload();
        SCOPED_TRACE(f.del_name);
        gwtest::LogCapture log;
        const std::string fn = std::string("(") + f.del_name + ") ";
        EXPECT_EQ(f.del(0), -1);
        EXPECT_EQ(s().call_count("*"), 0u);
        EXPECT_EQ(f.del(9), -1);
        EXPECT_EQ(f.del(2), -1);
        EXPECT_EQ(f.del(5), -1);
        EXPECT_TRUE(s().exists(at(kV4, 2)));
        EXPECT_TRUE(s().exists(at(kV4, 5)));
        EXPECT_TRUE(log.contains(fn + "Layer3ForwardingIPv4Config.2 is not a static route."));
        EXPECT_EQ(s().call_count("DeleteObject"), 0u);

        fail("DeleteObject", kV4);
        EXPECT_EQ(f.del(6), -1);
        EXPECT_TRUE(log.contains(fn + "delete Layer3ForwardingIPv4Config.6 failed."));
        fail("GetAll", at(kV4, 6));
        EXPECT_EQ(f.del(6), -1);
        EXPECT_TRUE(s().exists(at(kV4, 6)));

        ASSERT_EQ(f.del(6), 0);
        EXPECT_FALSE(s().exists(at(kV4, 6)));
        for (unsigned n : {1u, 2u, 3u, 4u, 5u})
            EXPECT_TRUE(s().exists(at(kV4, n))) << n;
        EXPECT_TRUE(s().exists(at(kV6, 4)));
        EXPECT_EQ(f.del(6), -1);
    }
}

TEST_F(RouteFamilies, IPv6RoutesAreListedAddedAndDeletedOnTheirOwnCollection)
{
    for (const auto &f : kV6Apis) {
        reload();
        SCOPED_TRACE(f.add_name);
        api_IPv6L3ForwardingInfo_t *info = nullptr;
        int count = 0;
        ASSERT_EQ(f.get_static(&info, &count), 0);
        ASSERT_EQ(count, 3);
        const unsigned want[] = {1, 3, 4};
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(info[i].Index, want[i]);
            expect_fields(s(), at(kV6, want[i]), kV6Iface,
                          {prop("DestIPPrefix", info[i].DestIPPrefix), prop("NextHop", info[i].NextHop),
                           prop("Interface", info[i].Interface), prop("Status", info[i].Status),
                           prop("Type", info[i].Type), prop("Enable", info[i].Enable)});
        }
        EXPECT_EQ(f.release_static(info, count), 0);
        ASSERT_EQ(f.get_current(&info, &count), 0);
        ASSERT_EQ(count, 2);
        EXPECT_EQ(info[0].Index, 1u);
        EXPECT_EQ(info[1].Index, 2u);
        EXPECT_EQ(info[1].StaticRoute, 0u);
        EXPECT_EQ(f.release_current(info, count), 0);
        fail("GetManagedObjects", kV6);
        expect_no_list(-1, f.get_current);
        expect_null_refused(f.get_static, f.release_static);
        expect_null_refused(f.get_current, f.release_current);

        const api_IPv6L3ForwardingEntry_t disabled = entry6_of(3);
        EXPECT_EQ(f.add(&disabled), 3);
        EXPECT_EQ(s().prop_text(at(kV6, 3), kV6Iface, "Enable"), "true");
        EXPECT_EQ(s().call_count("AddObject"), 0u);
        const api_IPv6L3ForwardingEntry_t system_made = entry6_of(2);
        ASSERT_EQ(f.add(&system_made), 5);
        expect_fields(s(), at(kV6, 5), kV6Iface,
                      {prop("DestIPPrefix", "2001:db8:1::/64"), prop("NextHop", "::"),
                       prop("Interface", std::string(kWanDb) + "/1")});
        EXPECT_FALSE(s().exists(at(kV4, 7)));  // nothing on the IPv4 side
        api_IPv6L3ForwardingEntry_t fresh = entry6_of(1);
        std::strcpy(fresh.DestIPPrefix, "2001:db8:aa::/48");
        fail("SetValues");
        EXPECT_EQ(f.add(&fresh), -1);
        EXPECT_FALSE(s().exists(at(kV6, 6)));
        EXPECT_EQ(f.add(nullptr), -1);

        EXPECT_EQ(f.del(0), -1);
        EXPECT_EQ(f.del(2), -1);
        EXPECT_TRUE(s().exists(at(kV6, 2)));
        EXPECT_EQ(f.del(8), -1);
        fail("DeleteObject", kV6);
        EXPECT_EQ(f.del(3), -1);
        EXPECT_TRUE(s().exists(at(kV6, 3)));
        ASSERT_EQ(f.del(3), 0);
        EXPECT_FALSE(s().exists(at(kV6, 3)));
        EXPECT_TRUE(s().exists(at(kV6, 1)));
        // The IPv4 route with the same index is not touched.
        EXPECT_TRUE(s().exists(at(kV4, 3)));
    }
}

// ---- QoS flows ---------------------------------------------------------------------------------------

class QosFlows : public RoutesQos {
protected:
    int64_t flow_num(unsigned obj, const char *name) { return fixture_num(s(), at(kFlows, obj), kFlowIface, name); }
};

TEST_F(QosFlows, AFlowIsAddressedByItsNumberNotItsInstanceIndex)
{
    const struct {
        uint32_t flow;
        unsigned obj;
    } cases[] = {{0, 2}, {1, 1}, {2, 5}, {3, 8}, {7, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.flow);
        api_TrafficQoSFlowInfo_t f{};
        ASSERT_EQ(api_getTrafficQoSFlow(c.flow, &f), 0);
        EXPECT_EQ(f.Flow, c.flow);
        expect_fields(s(), at(kFlows, c.obj), kFlowIface,
                      {prop("UsStats", f.UsStats), prop("DsStats", f.DsStats), prop("UpSpeed", f.UpSpeed),
                       prop("DownSpeed", f.DownSpeed), prop("DSCPRemark", f.DSCPRemark)});

        uint64_t us = 0, ds = 0;
        ASSERT_EQ(api_getTrafficQoSStatsByFlow(c.flow, &us, &ds), 0);
        EXPECT_EQ(us, f.UsStats);
        EXPECT_EQ(ds, f.DsStats);
        uint32_t up = 0, down = 0;
        ASSERT_EQ(api_getTrafficQoSSpeedLimitByFlow(c.flow, &up, &down), 0);
        EXPECT_EQ(up, f.UpSpeed);
        EXPECT_EQ(down, f.DownSpeed);
        uint8_t dscp = 0xff;
        ASSERT_EQ(api_getTrafficQoSDSCPRemarkByFlow(c.flow, &dscp), 0);
        EXPECT_EQ(dscp, f.DSCPRemark);
    }
}

TEST_F(QosFlows, AFlowAboveSevenIsRefusedWithoutAnyBusCall)
{
    gwtest::LogCapture log;
    api_TrafficQoSFlowInfo_t f{};
    const api_TrafficQoSFlowEntry_t entry{1, 2, 3};
    api_TrafficQoSClassificationEntry_t cls{};
    std::strcpy(cls.RemotePort, "80");
    api_TrafficQoSClassificationInfo_t *list = nullptr;
    int count = 0;
    uint64_t us = 0, ds = 0;
    uint32_t up = 0, down = 0;
    uint8_t dscp = 0;
    for (uint32_t flow : {8u, 40u, UINT32_MAX}) {
        SCOPED_TRACE(flow);
        EXPECT_EQ(api_getTrafficQoSFlow(flow, &f), -1);
        EXPECT_EQ(api_setTrafficQoSFlow(flow, &entry), -1);
        EXPECT_EQ(api_getTrafficQoSStatsByFlow(flow, &us, &ds), -1);
        EXPECT_EQ(api_setTrafficQoSSpeedLimitByFlow(flow, 1, 2), -1);
        EXPECT_EQ(api_getTrafficQoSSpeedLimitByFlow(flow, &up, &down), -1);
        EXPECT_EQ(api_setTrafficQoSDSCPRemarkByFlow(flow, 8), -1);
        EXPECT_EQ(api_getTrafficQoSDSCPRemarkByFlow(flow, &dscp), -1);
        EXPECT_EQ(api_getTrafficQoSClassificationByFlow(flow, &list, &count), -1);
        EXPECT_EQ(api_addTrafficQoSClassificationToFlow(flow, &cls), -1);
        EXPECT_EQ(api_setTrafficQoSClassificationUnderFlow(flow, 1, &cls), -1);
        EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(flow, &cls), -1);
        EXPECT_EQ(api_clearTrafficQoSClassificationUnderFlow(flow), -1);
    }
    EXPECT_EQ(s().call_count("*"), 0u);
    EXPECT_EQ(log.count("flow 8 is invalide, should be 0--7"), 12u);
}

TEST_F(QosFlows, AMissingFlowFailsAndAWrongFlowNumberIsSkipped)
{
    gwtest::LogCapture log;
    api_TrafficQoSFlowInfo_t f{};
    f.UpSpeed = 99;
    EXPECT_EQ(api_getTrafficQoSFlow(4, &f), -1);
    EXPECT_EQ(f.UpSpeed, 0u);
    EXPECT_TRUE(log.contains("api_getTrafficQoSFlow Flow 4 not exist!"));
    EXPECT_TRUE(log.contains("api_getTrafficQoSFlow qos flow number 40 wrong (0~7)!"));
    EXPECT_EQ(api_setTrafficQoSSpeedLimitByFlow(5, 1, 2), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_EQ(api_getTrafficQoSFlow(0, nullptr), -1);
    EXPECT_EQ(api_setTrafficQoSFlow(0, nullptr), -1);
    uint64_t us = 0;
    EXPECT_EQ(api_getTrafficQoSStatsByFlow(0, &us, nullptr), -1);
}

TEST_F(QosFlows, AFlowMadeAfterTheMapWasReadIsFound)
{
    api_TrafficQoSFlowInfo_t f{};
    ASSERT_EQ(api_getTrafficQoSFlow(0, &f), 0);  // the map now holds flow 0
    ASSERT_EQ(api_getTrafficQoSFlow(5, &f), -1);
    s().set_object(at(kFlows, 20), std::string("{\"") + kFlowIface +
                                       "\": {\"Flow\": \"uint32 5\", \"UsStats\": \"uint64 55\", \"DsStats\": "
                                       "\"uint64 555\", \"UpSpeed\": \"uint32 50\", \"DownSpeed\": \"uint32 500\", "
                                       "\"DSCPRemark\": \"byte 12\"}}");
    ASSERT_EQ(api_getTrafficQoSFlow(5, &f), 0);
    EXPECT_EQ(f.Flow, 5u);
    EXPECT_EQ(f.UsStats, 55u);
    EXPECT_EQ(f.DownSpeed, 500u);
}

TEST_F(QosFlows, AFlowThatMovedToAnotherObjectIsFoundAgain)
{
    uint32_t up = 0, down = 0;
    ASSERT_EQ(api_getTrafficQoSSpeedLimitByFlow(3, &up, &down), 0);
    EXPECT_EQ(up, flow_num(8, "UpSpeed"));
    s().remove_object(at(kFlows, 8));
    s().set_object(at(kFlows, 9), std::string("{\"") + kFlowIface +
                                      "\": {\"Flow\": \"uint32 3\", \"UsStats\": \"uint64 0\", \"DsStats\": "
                                      "\"uint64 0\", \"UpSpeed\": \"uint32 333\", \"DownSpeed\": \"uint32 3333\", "
                                      "\"DSCPRemark\": \"byte 0\"}}");
    ASSERT_EQ(api_getTrafficQoSSpeedLimitByFlow(3, &up, &down), 0);
    EXPECT_EQ(up, 333u);
    EXPECT_EQ(down, 3333u);
    ASSERT_EQ(api_setTrafficQoSDSCPRemarkByFlow(3, 26), 0);
    EXPECT_EQ(flow_num(9, "DSCPRemark"), 26);
}

TEST_F(QosFlows, SetFlowWritesSpeedsAndRemarkButNotTheCounters)
{
    const int64_t us = flow_num(5, "UsStats");
    const api_TrafficQoSFlowEntry_t entry{7000, 9000, 46};
    ASSERT_EQ(api_setTrafficQoSFlow(2, &entry), 0);
    expect_fields(
        s(), at(kFlows, 5), kFlowIface,
        {prop("UpSpeed", 7000), prop("DownSpeed", 9000), prop("DSCPRemark", 46), prop("UsStats", us), prop("Flow", 2)});
    EXPECT_EQ(s().call_count("SetValues"), 1u);

    fail("SetValues", at(kFlows, 5));
    const api_TrafficQoSFlowEntry_t other{1, 1, 1};
    EXPECT_EQ(api_setTrafficQoSFlow(2, &other), -1);
    EXPECT_EQ(flow_num(5, "UpSpeed"), 7000);
}

TEST_F(QosFlows, SpeedLimitAndRemarkSettersWriteOnlyTheirOwnProperties)
{
    const int64_t dscp = flow_num(2, "DSCPRemark");
    const int64_t other_dscp = flow_num(1, "DSCPRemark");
    ASSERT_EQ(api_setTrafficQoSSpeedLimitByFlow(0, 10000, 20000), 0);
    expect_fields(s(), at(kFlows, 2), kFlowIface,
                  {prop("UpSpeed", 10000), prop("DownSpeed", 20000), prop("DSCPRemark", dscp)});
    const std::string args = last_args("SetValues");
    EXPECT_NE(args.find("UpSpeed"), std::string::npos) << args;
    EXPECT_EQ(args.find("DSCPRemark"), std::string::npos) << args;

    ASSERT_EQ(api_setTrafficQoSDSCPRemarkByFlow(0, 10), 0);
    expect_fields(s(), at(kFlows, 2), kFlowIface, {prop("DSCPRemark", 10), prop("UpSpeed", 10000)});
    EXPECT_EQ(flow_num(1, "DSCPRemark"), other_dscp);

    fail("SetValues", at(kFlows, 2));
    EXPECT_EQ(api_setTrafficQoSSpeedLimitByFlow(0, 1, 1), -1);
    fail("Set", at(kFlows, 2));
    EXPECT_EQ(api_setTrafficQoSDSCPRemarkByFlow(0, 0), -1);
    expect_fields(s(), at(kFlows, 2), kFlowIface, {prop("DSCPRemark", 10), prop("UpSpeed", 10000)});
}

TEST_F(QosFlows, AFailedReadLeavesTheOutputsEmpty)
{
    gwtest::LogCapture log;
    fail("GetAll", at(kFlows, 2), 3);
    api_TrafficQoSFlowInfo_t f{};
    f.DSCPRemark = 9;
    EXPECT_EQ(api_getTrafficQoSFlow(0, &f), -1);
    EXPECT_EQ(f.DSCPRemark, 0u);
    EXPECT_TRUE(log.contains(std::string("get TrafficQoSFlow.x from ") + at(kFlows, 2) + " failed."));
    uint32_t up = 1, down = 1;
    EXPECT_EQ(api_getTrafficQoSSpeedLimitByFlow(0, &up, &down), -1);
    EXPECT_EQ(up + down, 0u);
    uint8_t dscp = 1;
    EXPECT_EQ(api_getTrafficQoSDSCPRemarkByFlow(0, &dscp), -1);
    EXPECT_EQ(dscp, 0u);
}

// ---- QoS classifications -----------------------------------------------------------------------------

class QosClassifications : public RoutesQos {
protected:
    // Classifications of flow 0 live below flow object 2.
    std::string cls(unsigned n) { return at(kFlows, 2) + "/Classification/" + std::to_string(n); }
    std::string field(unsigned n, const char *name) { return fixture_str(s(), cls(n), kClsIface, name); }
    size_t count0() { return count_of(at(kFlows, 2) + "/Classification", kClsIface); }
    static api_TrafficQoSClassificationEntry_t entry(uint32_t index, const char *address, const char *port)
    {
        api_TrafficQoSClassificationEntry_t e{};
        e.Index = index;
        std::strcpy(e.RemoteAddress, address);
        std::strcpy(e.RemotePort, port);
        return e;
    }
};

TEST_F(QosClassifications, ListCarriesFlowIndexAndFieldsInServiceOrder)
{
    api_TrafficQoSClassificationInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getTrafficQoSClassificationByFlow(0, &list, &count), 0);
    ASSERT_EQ(count, 4);
    const unsigned want[] = {1, 2, 4, 5};
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list[i].Flow, 0u);
        EXPECT_EQ(list[i].Index, want[i]);
        expect_fields(s(), cls(want[i]), kClsIface,
                      {prop("RemoteAddress", list[i].RemoteAddress), prop("RemotePort", list[i].RemotePort)});
    }
    EXPECT_EQ(api_releaseTrafficQoSClassificationByFlow(list, count), 0);

    ASSERT_EQ(api_getTrafficQoSClassificationByFlow(1, &list, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(list[0].Flow, 1u);
    EXPECT_EQ(api_releaseTrafficQoSClassificationByFlow(list, count), 0);

    expect_no_list<api_TrafficQoSClassificationInfo_t>(
        0, [](auto l, auto c) { return api_getTrafficQoSClassificationByFlow(2, l, c); });
    fail("GetManagedObjects", at(kFlows, 2) + "/Classification");
    expect_no_list<api_TrafficQoSClassificationInfo_t>(
        -1, [](auto l, auto c) { return api_getTrafficQoSClassificationByFlow(0, l, c); });
    EXPECT_EQ(api_getTrafficQoSClassificationByFlow(0, nullptr, &count), -1);
    EXPECT_EQ(api_releaseTrafficQoSClassificationByFlow(nullptr, 0), -1);
}

TEST_F(QosClassifications, AddReturnsTheNewIndexAndNeedsAPort)
{
    gwtest::LogCapture log;
    const auto e = entry(0, "192.0.2.10", "3478");
    ASSERT_EQ(api_addTrafficQoSClassificationToFlow(0, &e), 6);
    expect_fields(s(), cls(6), kClsIface, {prop("RemoteAddress", "192.0.2.10"), prop("RemotePort", "3478")});
    // The flow without classifications gets its first one.
    ASSERT_EQ(api_addTrafficQoSClassificationToFlow(2, &e), 1);
    EXPECT_TRUE(s().exists(at(kFlows, 5) + "/Classification/1"));

    s().control("ResetCounts", nullptr);
    const auto no_port = entry(0, "192.0.2.10", "");
    EXPECT_EQ(api_addTrafficQoSClassificationToFlow(0, &no_port), -1);
    EXPECT_EQ(api_addTrafficQoSClassificationToFlow(0, nullptr), -1);
    EXPECT_TRUE(log.contains("input argument is empty."));
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    const size_t before = count0();
    fail("SetValues");
    EXPECT_EQ(api_addTrafficQoSClassificationToFlow(0, &e), -1);
    EXPECT_TRUE(log.contains("add TrafficQoSFlow failed."));
    EXPECT_EQ(count0(), before);
}

TEST_F(QosClassifications, SetZeroAddsAndSetNOverwritesN)
{
    const auto e = entry(0, "192.0.2.20", "5061");
    ASSERT_EQ(api_setTrafficQoSClassificationUnderFlow(0, 0, &e), 6);
    EXPECT_EQ(field(6, "RemotePort"), "5061");

    const size_t before = count0();
    const auto changed = entry(0, "192.0.2.21", "5062");
    ASSERT_EQ(api_setTrafficQoSClassificationUnderFlow(0, 2, &changed), 2);
    expect_fields(s(), cls(2), kClsIface, {prop("RemoteAddress", "192.0.2.21"), prop("RemotePort", "5062")});
    EXPECT_EQ(count0(), before);

    EXPECT_EQ(api_setTrafficQoSClassificationUnderFlow(0, 9, &changed), -1);
    EXPECT_FALSE(s().exists(cls(9)));
    const auto no_port = entry(0, "192.0.2.21", "");
    EXPECT_EQ(api_setTrafficQoSClassificationUnderFlow(0, 2, &no_port), -1);
    EXPECT_EQ(api_setTrafficQoSClassificationUnderFlow(0, 2, nullptr), -1);
    expect_fields(s(), cls(2), kClsIface, {prop("RemoteAddress", "192.0.2.21"), prop("RemotePort", "5062")});
}

TEST_F(QosClassifications, DeleteByIndexOrByTheFirstEqualAddressAndPort)
{
    gwtest::LogCapture log;
    auto by_match = entry(0, "198.51.100.7", "443");
    ASSERT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &by_match), 0);
    EXPECT_FALSE(s().exists(cls(1)));
    EXPECT_TRUE(s().exists(cls(2)));  // same address, other port
    EXPECT_TRUE(s().exists(cls(5)));  // equal to 1, but not the first
    EXPECT_EQ(count0(), 3u);

    const auto by_index = entry(4, "ignored", "");
    ASSERT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &by_index), 0);
    EXPECT_FALSE(s().exists(cls(4)));
    EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &by_index), -1);

    const auto none = entry(0, "198.51.100.8", "443");
    EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &none), -1);
    EXPECT_TRUE(log.contains("api_deleteTrafficQoSClassificationFromFlow get match TrafficQoSClassification failed."));
    const auto no_port = entry(0, "198.51.100.7", "");
    EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &no_port), -1);
    EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, nullptr), -1);

    fail("DeleteObject", at(kFlows, 2) + "/Classification");
    by_match = entry(0, "198.51.100.7", "8443");
    EXPECT_EQ(api_deleteTrafficQoSClassificationFromFlow(0, &by_match), -1);
    EXPECT_TRUE(log.contains("delete object " + cls(2) + " failed."));
    EXPECT_EQ(count0(), 2u);
    // The classification of flow 1 was never touched.
    EXPECT_TRUE(s().exists(at(kFlows, 1) + "/Classification/1"));
}

TEST_F(QosClassifications, ClearEmptiesOneFlowOnly)
{
    fail("RemoveAllObjects", at(kFlows, 2) + "/Classification");
    EXPECT_EQ(api_clearTrafficQoSClassificationUnderFlow(0), -1);
    EXPECT_EQ(count0(), 4u);
    ASSERT_EQ(api_clearTrafficQoSClassificationUnderFlow(0), 0);
    EXPECT_EQ(count0(), 0u);
    EXPECT_TRUE(s().exists(at(kFlows, 2)));
    EXPECT_TRUE(s().exists(at(kFlows, 1) + "/Classification/1"));
}

}  // namespace
}  // namespace apitest
