// The firewall families (L2TP VPN, network acceleration, traffic control) with their profiles, the L2TP
// status and its subscriptions by name, IP sets and iptables.
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"

namespace apitest {
namespace {

// ---- the three families, one set of cases ----------------------------------------------------------

struct L2TPVPNCase {
    using Api = api_FirewallL2TPVPN_t;
    static constexpr const char *kPath = "/com/yvc/igd1/Firewall/L2TPVPN";
    static constexpr const char *kIface = "com.yvc.igd1.L2TPVPN";
    static constexpr const char *kProfileIface = "com.yvc.igd1.L2TPVPNProfile";
    static constexpr auto add = api_addFirewallL2TPVPN;
    static constexpr auto del = api_deleteFirewallL2TPVPN;
    static constexpr auto get = api_getFirewallL2TPVPN;
    static constexpr auto release = api_releaseFirewallL2TPVPN;
    static constexpr auto profile = api_getFirewallL2TPVPNProfile;
    static constexpr auto status = api_getFirewallL2TPVPNProfileStatus;
    static constexpr auto release_status = api_releaseFirewallL2TPVPNProfileStatus;
    static constexpr auto all_status = api_getFirewallL2TPVPNAllProfileStatus;
    static constexpr auto release_all_status = api_releaseFirewallL2TPVPNAllProfileStatus;
    static Api entry(const char *name)
    {
        Api e{};
        std::strcpy(e.Name, name);
        std::strcpy(e.InsAddress, "203.0.113.7");
        std::strcpy(e.UserName, "branch");
        std::strcpy(e.Password, "s3cret");
        e.DestPort = 1702;
        e.Enable = 1;
        e.Operate = 2;
        return e;
    }
    static std::string object(const char *name)
    {
        return std::string("{\"") + kIface + "\": {\"Name\": \"'" + name +
               "'\", \"InsAddress\": \"'192.0.2.5'\", \"UserName\": \"'u5'\", \"Password\": \"'p5'\", "
               "\"DestPort\": \"uint32 1705\", \"Enable\": \"byte 0\", \"Operate\": \"byte 1\"}}";
    }
    static void expect_fields(gwtest::Igd1Sim &s, const std::string &p, const Api &a)
    {
        apitest::expect_fields(s, p, kIface,
                               {prop("Name", a.Name), prop("InsAddress", a.InsAddress), prop("UserName", a.UserName),
                                prop("Password", a.Password), prop("DestPort", a.DestPort), prop("Enable", a.Enable),
                                prop("Operate", a.Operate)});
    }
};

struct NetworkAccelerationCase {
    using Api = api_FirewallNetworkAcceleration_t;
    static constexpr const char *kPath = "/com/yvc/igd1/Firewall/NetworkAcceleration";
    static constexpr const char *kIface = "com.yvc.igd1.NetworkAcceleration";
    static constexpr const char *kProfileIface = "com.yvc.igd1.NetworkAccelerationProfile";
    static constexpr auto add = api_addFirewallNetworkAcceleration;
    static constexpr auto del = api_deleteFirewallNetworkAcceleration;
    static constexpr auto get = api_getFirewallNetworkAcceleration;
    static constexpr auto release = api_releaseFirewallNetworkAcceleration;
    static constexpr auto profile = api_getNetworkAccelerationProfile;
    static constexpr auto status = api_getNetworkAccelerationProfileStatus;
    static constexpr auto release_status = api_releaseNetworkAccelerationProfileStatus;
    static constexpr auto all_status = api_getNetworkAccelerationAllProfileStatus;
    static constexpr auto release_all_status = api_releaseNetworkAccelerationAllProfileStatus;
    static Api entry(const char *name)
    {
        Api e{};
        std::strcpy(e.Name, name);
        std::strcpy(e.WANName, "2_TR069_R_VID_46");
        e.Enable = 1;
        e.Operate = 3;
        return e;
    }
    static std::string object(const char *name)
    {
        return std::string("{\"") + kIface + "\": {\"Name\": \"'" + name +
               "'\", \"WANName\": \"'3_OTHER_B_VID_45'\", \"Enable\": \"byte 0\", \"Operate\": \"byte 1\"}}";
    }
    static void expect_fields(gwtest::Igd1Sim &s, const std::string &p, const Api &a)
    {
        apitest::expect_fields(
            s, p, kIface,
            {prop("Name", a.Name), prop("WANName", a.WANName), prop("Enable", a.Enable), prop("Operate", a.Operate)});
    }
};

struct TrafficControlCase {
    using Api = api_FirewallTrafficControl_t;
    static constexpr const char *kPath = "/com/yvc/igd1/Firewall/TrafficControl";
    static constexpr const char *kIface = "com.yvc.igd1.TrafficControl";
    static constexpr const char *kProfileIface = "com.yvc.igd1.TrafficControlProfile";
    static constexpr auto add = api_addFirewallTrafficControl;
    static constexpr auto del = api_deleteFirewallTrafficControl;
    static constexpr auto get = api_getFirewallTrafficControl;
    static constexpr auto release = api_releaseFirewallTrafficControl;
    static constexpr auto profile = api_getTrafficControlProfile;
    static constexpr auto status = api_getTrafficControlProfileStatus;
    static constexpr auto release_status = api_releaseTrafficControlProfileStatus;
    static constexpr auto all_status = api_getTrafficControlAllProfileStatus;
    static constexpr auto release_all_status = api_releaseTrafficControlAllProfileStatus;
    static Api entry(const char *name)
    {
        Api e{};
        std::strcpy(e.Name, name);
        e.Enable = 1;
        e.Operate = 2;
        e.Target = 3;
        e.Priority = 4;
        return e;
    }
    static std::string object(const char *name)
    {
        return std::string("{\"") + kIface + "\": {\"Name\": \"'" + name +
               "'\", \"Enable\": \"byte 0\", \"Operate\": \"byte 1\", \"Target\": \"byte 2\", "
               "\"Priority\": \"byte 7\"}}";
    }
    static void expect_fields(gwtest::Igd1Sim &s, const std::string &p, const Api &a)
    {
        apitest::expect_fields(s, p, kIface,
                               {prop("Name", a.Name), prop("Enable", a.Enable), prop("Operate", a.Operate),
                                prop("Target", a.Target), prop("Priority", a.Priority)});
    }
};

template <typename C> class FirewallFamily : public ApiSim {
protected:
    using Api = typename C::Api;
    std::string name_of(unsigned n) { return fixture_str(s(), at(C::kPath, n), C::kIface, "Name"); }
    std::vector<std::string> instances() { return fixture_paths(s(), std::string(C::kPath) + "/", C::kIface); }
    void limit(unsigned max)
    {
        set_prop(C::kPath, C::kProfileIface, "MaxProfileNumber", "uint32 " + std::to_string(max));
    }
    void status_reply(const std::string &reply)
    {
        s().override_reply(C::kPath, C::kProfileIface, "GetProfileStatus", reply);
    }
};

using Families = ::testing::Types<L2TPVPNCase, NetworkAccelerationCase, TrafficControlCase>;
TYPED_TEST_SUITE(FirewallFamily, Families);

TYPED_TEST(FirewallFamily, GetListsEveryInstanceWithItsIndexAndFields)
{
    using C = TypeParam;
    this->s().set_object(at(C::kPath, 5), C::object("fifth"));
    typename C::Api *list = nullptr;
    int count = 0;
    ASSERT_EQ(C::get(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0].Index, 1u);
    C::expect_fields(this->s(), at(C::kPath, 1), list[0]);
    EXPECT_EQ(list[1].Index, 5u);
    EXPECT_STREQ(list[1].Name, "fifth");
    C::expect_fields(this->s(), at(C::kPath, 5), list[1]);
    EXPECT_EQ(C::release(list, count), 0);

    this->fail("GetManagedObjects", C::kPath);
    expect_no_list(-1, C::get);
    this->remove_matching(std::string(C::kPath) + "/");
    expect_no_list(0, C::get);
    expect_null_refused(C::get, C::release);
}

TYPED_TEST(FirewallFamily, AddWritesANewInstanceAndReturnsItsIndex)
{
    using C = TypeParam;
    typename C::Api e = C::entry("fresh");
    e.Index = 1;  // ignored: the name decides
    ASSERT_EQ(C::add(&e), 2);
    // What was written is the entry itself.
    C::expect_fields(this->s(), at(C::kPath, 2), e);
    typename C::Api *list = nullptr;
    int count = 0;
    ASSERT_EQ(C::get(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[1].Index, 2u);
    C::expect_fields(this->s(), at(C::kPath, 2), list[1]);
    EXPECT_EQ(C::release(list, count), 0);
    EXPECT_EQ(this->instances().size(), 2u);
}

TYPED_TEST(FirewallFamily, AddOfAKnownNameReturnsItsIndexAndChangesNothing)
{
    using C = TypeParam;
    gwtest::LogCapture log;
    this->s().set_object(at(C::kPath, 3), C::object("third"));
    this->s().control("ResetCounts", nullptr);
    const gwtest::Json before = this->s().state();
    const typename C::Api e = C::entry("third");
    EXPECT_EQ(C::add(&e), 3);
    EXPECT_EQ(this->s().call_count("AddObject"), 0u);
    EXPECT_EQ(this->s().call_count("SetValues"), 0u);
    const gwtest::Json after = this->s().state();
    EXPECT_TRUE(json_equal(before.get(), after.get()));
    EXPECT_TRUE(log.contains("third exist, do not add."));
}

TYPED_TEST(FirewallFamily, AddAtTheProfileLimitIsMinusTwo)
{
    using C = TypeParam;
    this->limit(1);
    const typename C::Api e = C::entry("over");
    EXPECT_EQ(C::add(&e), -2);
    EXPECT_EQ(this->s().call_count("AddObject"), 0u);
    this->limit(2);
    EXPECT_EQ(C::add(&e), 2);
    const typename C::Api more = C::entry("more");
    EXPECT_EQ(C::add(&more), -2);
    // A known name is found before the limit is looked at.
    EXPECT_EQ(C::add(&e), 2);
    this->limit(0);  // no limit
    EXPECT_EQ(C::add(&more), 3);
    EXPECT_EQ(this->instances().size(), 3u);
}

TYPED_TEST(FirewallFamily, FailedAddsLeaveNoInstanceBehind)
{
    using C = TypeParam;
    const typename C::Api e = C::entry("fresh");
    typename C::Api unnamed = C::entry("");
    EXPECT_EQ(C::add(nullptr), -1);
    EXPECT_EQ(C::add(&unnamed), -1);
    EXPECT_EQ(this->s().call_count("*"), 0u);
    this->fail("GetManagedObjects", C::kPath);
    EXPECT_EQ(C::add(&e), -1);
    this->fail("GetAll", C::kPath);
    EXPECT_EQ(C::add(&e), -1);
    this->fail("AddObject", C::kPath);
    EXPECT_EQ(C::add(&e), -1);
    this->fail("SetValues");
    EXPECT_EQ(C::add(&e), -1);
    EXPECT_EQ(this->instances().size(), 1u);
    EXPECT_FALSE(this->s().exists(at(C::kPath, 2)));
}

TYPED_TEST(FirewallFamily, DeleteByNameIsMinusTwoForAnUnknownName)
{
    using C = TypeParam;
    this->s().set_object(at(C::kPath, 4), C::object("fourth"));
    EXPECT_EQ(C::del("nobody"), -2);
    EXPECT_EQ(C::del(nullptr), -1);
    EXPECT_EQ(C::del(""), -1);
    EXPECT_EQ(this->s().call_count("DeleteObject"), 0u);
    this->fail("GetManagedObjects", C::kPath);
    EXPECT_EQ(C::del("fourth"), -1);
    this->fail("DeleteObject", C::kPath);
    EXPECT_EQ(C::del("fourth"), -1);
    EXPECT_TRUE(this->s().exists(at(C::kPath, 4)));

    ASSERT_EQ(C::del("fourth"), 0);
    EXPECT_FALSE(this->s().exists(at(C::kPath, 4)));
    EXPECT_TRUE(this->s().exists(at(C::kPath, 1)));
    EXPECT_TRUE(this->s().exists(C::kPath));  // the profile stays
    EXPECT_EQ(C::del("fourth"), -2);
}

TYPED_TEST(FirewallFamily, ProfileCountsComeFromTheProfileObject)
{
    using C = TypeParam;
    this->set_prop(C::kPath, C::kProfileIface, "ProfileNumberOfEntries", "uint32 3");
    this->limit(16);
    api_FirewallProfile_t p{};
    ASSERT_EQ(C::profile(&p), 0);
    EXPECT_EQ(p.ProfileNumberOfEntries, 3u);
    EXPECT_EQ(p.MaxProfileNumber, 16u);
    EXPECT_EQ(C::profile(nullptr), -1);
    this->fail("GetAll", C::kPath);
    EXPECT_EQ(C::profile(&p), -1);
}

// The profiles as one line: "name status enable [address protocol port status, ...]; ...".
std::string profiles_text(const api_FirewallProfileStatus_t *list, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        const api_FirewallProfileStatus_t &p = list[i];
        out += (i ? "; " : "") + std::string(p.Name) + " " + std::to_string(p.Status) + " " + std::to_string(p.Enable) +
               " [";
        for (int r = 0; r < p.RuleNum; ++r)
            out += (r ? ", " : "") + std::string(p.Rules[r].Address) + " " + p.Rules[r].Protocol + " " +
                   std::to_string(p.Rules[r].Port) + " " + std::to_string(p.Rules[r].Status);
        out += p.RuleNum == 0 && p.Rules ? "block]" : "]";
    }
    return out;
}

TYPED_TEST(FirewallFamily, ProfileStatusCarriesEachProfileWithItsRules)
{
    using C = TypeParam;
    // An element holds one profile or, as the service sends it, an array of profiles; others are skipped.
    const struct {
        const char *reply;
        const char *want;
    } cases[] = {
        {"(@av [<('office', uint32 1, uint32 1, [('198.51.100.20', 'UDP', uint32 1701, uint32 1), "
         "('198.51.100.21', 'TCP', uint32 443, uint32 0)])>, <('odd', 'element')>, "
         "<('home', uint32 0, uint32 0, @a(ssuu) [])>], uint32 0, '')",
         "office 1 1 [198.51.100.20 UDP 1701 1, 198.51.100.21 TCP 443 0]; home 0 0 []"},
        {"(@av [<[('office', uint32 1, uint32 1, [('198.51.100.20', 'UDP', uint32 1701, uint32 1)]), "
         "('home', uint32 0, uint32 1, @a(ssuu) [])]>, <@a(suua(ssuu)) []>, "
         "<[('guest', uint32 2, uint32 0, [('203.0.113.9', 'TCP', uint32 443, uint32 0)])]>], uint32 0, '')",
         "office 1 1 [198.51.100.20 UDP 1701 1]; home 0 1 []; guest 2 0 [203.0.113.9 TCP 443 0]"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.reply);
        this->status_reply(c.reply);
        api_FirewallProfileStatus_t *list = nullptr;
        int count = 0;
        ASSERT_EQ(C::status("office", &list, &count), 0);
        EXPECT_EQ(this->last_args("GetProfileStatus"), "('office',)");
        EXPECT_EQ(profiles_text(list, count), c.want);
        EXPECT_EQ(C::release_status(list, count), 0);
        ASSERT_EQ(C::all_status(&list, &count), 0);
        EXPECT_EQ(this->last_args("GetProfileStatus"), "('',)");
        EXPECT_EQ(profiles_text(list, count), c.want);
        EXPECT_EQ(C::release_all_status(list, count), 0);
    }
    EXPECT_EQ(C::release_status(nullptr, 0), -1);
    EXPECT_EQ(C::release_all_status(nullptr, 0), -1);
}

TYPED_TEST(FirewallFamily, ProfileStatusRefusalsAndFailuresGiveNoList)
{
    using C = TypeParam;
    api_FirewallProfileStatus_t *list = reinterpret_cast<api_FirewallProfileStatus_t *>(&list);
    int count = -1;
    EXPECT_EQ(C::status(nullptr, &list, &count), -1);
    EXPECT_EQ(C::status("", &list, &count), -1);
    EXPECT_EQ(C::status("office", nullptr, &count), -1);
    EXPECT_EQ(C::all_status(&list, nullptr), -1);
    EXPECT_EQ(this->s().call_count("GetProfileStatus"), 0u);

    this->status_reply("(@av [<('office', uint32 1, uint32 1, @a(ssuu) [])>], uint32 4, 'busy')");
    EXPECT_EQ(C::status("office", &list, &count), -1);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    this->status_reply("");
    this->fail("GetProfileStatus", C::kPath);
    EXPECT_EQ(C::all_status(&list, &count), -1);
    EXPECT_EQ(list, nullptr);

    // The service knows no profiles.
    count = -1;
    ASSERT_EQ(C::all_status(&list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
}

// ---- L2TP VPN status and its subscriptions -----------------------------------------------------------

constexpr const char *kL2 = "/com/yvc/igd1/Firewall/L2TPVPN";
constexpr const char *kL2Iface = "com.yvc.igd1.L2TPVPN";
constexpr const char *kStatusSignal = "L2TPVPNStatusNotify";

using L2tpStatus = ApiSim;

TEST_F(L2tpStatus, StatusIsAskedOfTheNamedInstance)
{
    s().set_object(at(kL2, 2), L2TPVPNCase::object("home"));
    s().override_reply(at(kL2, 2), kL2Iface, "GetL2TPVPNStatus", "(('home', uint32 2), uint32 0, '')");
    api_FirewallL2TPVPNStatus_t st{};
    ASSERT_EQ(api_getFirewallL2TPVPNStatus("home", &st), 0);
    EXPECT_STREQ(st.Name, "home");
    EXPECT_EQ(st.Status, 2u);

    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("nobody", &st), -2);
    EXPECT_EQ(s().call_count("GetL2TPVPNStatus"), 0u);
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_getFirewallL2TPVPNStatus(nullptr, &st), -1);
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("", &st), -1);
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("home", nullptr), -1);
    EXPECT_EQ(s().call_count("*"), 0u);

    s().override_reply(at(kL2, 2), kL2Iface, "GetL2TPVPNStatus", "(('home', uint32 0), uint32 3, 'down')");
    st = {};
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("home", &st), -1);
    EXPECT_STREQ(st.Name, "");
    fail("GetL2TPVPNStatus", at(kL2, 2));
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("home", &st), -1);
    fail("GetManagedObjects", kL2);
    EXPECT_EQ(api_getFirewallL2TPVPNStatus("home", &st), -1);
}

std::vector<std::pair<std::string, uint32_t>> g_first, g_second;

void on_first(const char *name, uint32_t status) { g_first.emplace_back(name, status); }

void on_second(const char *name, uint32_t status) { g_second.emplace_back(name, status); }

void on_first_once(const char *name, uint32_t status)
{
    g_first.emplace_back(name, status);
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus(name), 0);
}

class L2tpSubscription : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        g_first.clear();
        g_second.clear();
    }
    void TearDown() override
    {
        for (const char *n : {"office", "home"})
            api_unsubscribeFirewallL2TPVPNStatus(n);
    }
    void emit(const std::string &payload)
    {
        s().control("EmitSignal",
                    g_variant_new("(ssss)", at(kL2, 1).c_str(), kL2Iface, kStatusSignal, payload.c_str()));
    }
    void emit(const char *name, uint32_t status)
    {
        emit("(('" + std::string(name) + "', uint32 " + std::to_string(status) + "), uint32 0, '')");
    }
    // Signals arrive in order: once a probe on another signal hears the next one, every earlier status
    // signal has been handed out.
    void settle()
    {
        static int heard;
        heard = 0;
        const long probe = h_dbus_SubscribeSignal(
            nullptr, nullptr, "com.yvc.igd1.SysCmd", "CheckHardwareStatus",
            [](const char *, const char *, const char *, const char *, GVariant *, void *) { ++heard; }, nullptr);
        ASSERT_GT(probe, 0);
        s().control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                                "CheckHardwareStatus", "({'Status': <uint32 0>},)"));
        EXPECT_TRUE(gwtest::wait_until([] { return heard > 0; }));
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(probe));
    }
    static bool bus_subscribed()
    {
        for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
            if (e->interface_name && std::strcmp(e->interface_name, kL2Iface) == 0 && e->member &&
                std::strcmp(e->member, kStatusSignal) == 0)
                return true;
        return false;
    }
    using Calls = std::vector<std::pair<std::string, uint32_t>>;
};

TEST_F(L2tpSubscription, NullArgumentsAreRefused)
{
    EXPECT_EQ(api_subscribeFirewallL2TPVPNStatus(nullptr, on_first), -1);
    EXPECT_EQ(api_subscribeFirewallL2TPVPNStatus("", on_first), -1);
    EXPECT_EQ(api_subscribeFirewallL2TPVPNStatus("office", nullptr), -1);
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus(nullptr), -1);
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus(""), -1);
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus("office"), -1);
    EXPECT_FALSE(bus_subscribed());
}

TEST_F(L2tpSubscription, ANameSubscribedTwiceKeepsItsFirstCallback)
{
    gwtest::LogCapture log;
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("office", on_first), 0);
    EXPECT_EQ(api_subscribeFirewallL2TPVPNStatus("office", on_second), 0);
    EXPECT_TRUE(log.contains("(api_subscribeFirewallL2TPVPNStatus) office has subscribed."));
    emit("office", 2);
    ASSERT_TRUE(gwtest::wait_until([] { return !g_first.empty(); }));
    settle();
    EXPECT_EQ(g_first, (Calls{{"office", 2}}));
    EXPECT_TRUE(g_second.empty());
}

TEST_F(L2tpSubscription, EachSignalReachesTheSubscriberOfItsNameOnce)
{
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("office", on_first), 0);
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("home", on_second), 0);
    emit("home", 1);
    emit("office", 3);
    emit("guest", 5);
    emit("('office', uint32 9)");  // not a status payload
    settle();
    EXPECT_EQ(g_first, (Calls{{"office", 3}}));
    EXPECT_EQ(g_second, (Calls{{"home", 1}}));
}

TEST_F(L2tpSubscription, UnsubscribeStopsDeliveryAndTheLastNameEndsTheBusSubscription)
{
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("office", on_first), 0);
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("home", on_second), 0);
    EXPECT_TRUE(bus_subscribed());
    ASSERT_EQ(api_unsubscribeFirewallL2TPVPNStatus("office"), 0);
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus("office"), -1);
    EXPECT_TRUE(bus_subscribed());
    emit("office", 1);
    emit("home", 4);
    settle();
    EXPECT_TRUE(g_first.empty());
    EXPECT_EQ(g_second, (Calls{{"home", 4}}));

    ASSERT_EQ(api_unsubscribeFirewallL2TPVPNStatus("home"), 0);
    EXPECT_FALSE(bus_subscribed());
    emit("home", 6);
    settle();
    EXPECT_EQ(g_second.size(), 1u);

    // A fresh subscription after the last one ended is served again.
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("home", on_first), 0);
    emit("home", 7);
    settle();
    EXPECT_EQ(g_first, (Calls{{"home", 7}}));
}

TEST_F(L2tpSubscription, ACallbackMayUnsubscribeItself)
{
    ASSERT_EQ(api_subscribeFirewallL2TPVPNStatus("office", on_first_once), 0);
    emit("office", 1);
    emit("office", 2);
    settle();
    EXPECT_EQ(g_first, (Calls{{"office", 1}}));
    EXPECT_FALSE(bus_subscribed());
    EXPECT_EQ(api_unsubscribeFirewallL2TPVPNStatus("office"), -1);
}

// ---- IP sets -----------------------------------------------------------------------------------------

constexpr const char *kIPSet = "/com/yvc/igd1/Firewall/IPSet";
constexpr const char *kIPSetIface = "com.yvc.igd1.IPSet";

class IpSets : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        std::memset(sets_, 0, sizeof sets_);
        std::strcpy(sets_[0].Name, "blk");
        sets_[0].Type = 1;
        sets_[0].Timeout = 300;
        std::strcpy(sets_[0].Family, "inet");
        sets_[0].MaxElem = 1024;
        sets_[0].Entries = entries_;
        std::strcpy(sets_[1].Name, "allow");
        sets_[1].Type = 2;
        std::strcpy(sets_[1].Family, "inet6");
    }
    // The last arguments of member equal `want` (GLib text), compared as values.
    void expect_args(const char *member, const char *type, const char *want)
    {
        const std::string got = last_args(member);
        gw::VariantPtr g(g_variant_parse(G_VARIANT_TYPE(type), got.c_str(), nullptr, nullptr, nullptr));
        gw::VariantPtr w(g_variant_parse(G_VARIANT_TYPE(type), want, nullptr, nullptr, nullptr));
        ASSERT_TRUE(g) << got;
        ASSERT_TRUE(w) << want;
        EXPECT_TRUE(g_variant_equal(g.get(), w.get())) << got;
    }
    void reply(const char *member, const std::string &text) { s().override_reply(kIPSet, kIPSetIface, member, text); }
    char e1_[16] = "1.2.3.4";
    char e2_[16] = "5.6.7.8";
    char *entries_[3] = {e1_, e2_, nullptr};
    api_IPSet_t sets_[2];
};

TEST_F(IpSets, AddAndDeleteEntriesSendEverySetWithItsEntries)
{
    const char *want = "([('blk', 1, 300, 'inet', 1024, ['1.2.3.4', '5.6.7.8']), ('allow', 2, 0, 'inet6', 0, [])],)";
    ASSERT_EQ(api_addIPSets(sets_, 2), 0);
    expect_args("AddIPSet", "(a(suusuas))", want);
    ASSERT_EQ(api_deleteIPSetsEntry(sets_, 2), 0);
    expect_args("DeleteIPSetEntry", "(a(suusuas))", want);
    ASSERT_EQ(api_addIPSets(sets_ + 1, 1), 0);
    expect_args("AddIPSet", "(a(suusuas))", "([('allow', 2, 0, 'inet6', 0, [])],)");
    EXPECT_EQ(s().call_count("*"), 3u);
}

TEST_F(IpSets, BadSetListsAreRefusedBeforeAnyCall)
{
    EXPECT_EQ(api_addIPSets(nullptr, 1), -1);
    EXPECT_EQ(api_addIPSets(sets_, 0), -1);
    EXPECT_EQ(api_deleteIPSetsEntry(sets_, -1), -1);
    sets_[1].Name[0] = '\0';
    EXPECT_EQ(api_addIPSets(sets_, 2), -1);
    EXPECT_EQ(api_deleteIPSetsEntry(sets_, 2), -1);
    EXPECT_EQ(s().call_count("*"), 0u);
}

TEST_F(IpSets, RefusedOrFailedCallsAreMinusOne)
{
    s().control("SetResult", g_variant_new("(sus)", "AddIPSet", 3u, "exists"));
    EXPECT_EQ(api_addIPSets(sets_, 1), -1);
    s().control("SetResult", g_variant_new("(sus)", "DeleteIPSetEntry", 2u, "no entry"));
    EXPECT_EQ(api_deleteIPSetsEntry(sets_, 1), -1);
    s().control("SetResult", g_variant_new("(sus)", "DeleteIPSet", 1u, "in use"));
    EXPECT_EQ(api_deleteIPSets("blk"), -1);
    EXPECT_EQ(api_clearIPSets("blk"), -1);
    s().control("Reset", nullptr);
    fail("AddIPSet", kIPSet);
    EXPECT_EQ(api_addIPSets(sets_, 1), -1);
    fail("DeleteIPSet", kIPSet);
    EXPECT_EQ(api_clearIPSets("blk"), -1);
    EXPECT_EQ(api_addIPSets(sets_, 1), 0);
}

TEST_F(IpSets, DeleteRemovesTheSetAndClearEmptiesIt)
{
    ASSERT_EQ(api_deleteIPSets("blk"), 0);
    EXPECT_EQ(last_args("DeleteIPSet"), "('blk', uint32 0)");
    ASSERT_EQ(api_clearIPSets("allow"), 0);
    EXPECT_EQ(last_args("DeleteIPSet"), "('allow', uint32 1)");
    EXPECT_EQ(api_deleteIPSets(nullptr), -1);
    EXPECT_EQ(api_deleteIPSets(""), -1);
    EXPECT_EQ(api_clearIPSets(nullptr), -1);
    EXPECT_EQ(api_clearIPSets(""), -1);
    EXPECT_EQ(s().call_count("DeleteIPSet"), 2u);
}

TEST_F(IpSets, CheckGivesTheServicesAnswer)
{
    int found = -1;
    reply("CheckIPSetEntry", "(1, 0, '')");
    ASSERT_EQ(api_checkIPSetEntry("blk", "1.2.3.4", &found), 0);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(last_args("CheckIPSetEntry"), "('blk', '1.2.3.4')");
    reply("CheckIPSetEntry", "(0, 0, '')");
    ASSERT_EQ(api_checkIPSetEntry("blk", "9.9.9.9", &found), 0);
    EXPECT_EQ(found, 0);

    found = -1;
    reply("CheckIPSetEntry", "(1, 4, 'no such set')");
    EXPECT_EQ(api_checkIPSetEntry("nope", "1.2.3.4", &found), -1);
    EXPECT_EQ(found, -1);
    reply("CheckIPSetEntry", "");
    fail("CheckIPSetEntry", kIPSet);
    EXPECT_EQ(api_checkIPSetEntry("blk", "1.2.3.4", &found), -1);
    EXPECT_EQ(found, -1);
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_checkIPSetEntry(nullptr, "1.2.3.4", &found), -1);
    EXPECT_EQ(api_checkIPSetEntry("blk", "", &found), -1);
    EXPECT_EQ(api_checkIPSetEntry("blk", "1.2.3.4", nullptr), -1);
    EXPECT_EQ(s().call_count("*"), 0u);
}

const char *kTwoSets = "([<('blk', uint32 1, uint32 300, 'inet', uint32 1024, ['1.2.3.4', '5.6.7.8'])>, "
                       "<('allow', uint32 2, uint32 0, 'inet6', uint32 0, @as [])>], 0, '')";

// The four queries share one reply layout.
struct Query {
    const char *member;
    bool by_name;
    int (*get)(const char *const *, int, api_IPSet_t **, int *);
    int (*release)(api_IPSet_t *, int);
};

int all_conf(const char *const *, int, api_IPSet_t **s, int *c) { return api_getIPSetsAllConf(s, c); }
int all_info(const char *const *, int, api_IPSet_t **s, int *c) { return api_getIPSetsAllInfo(s, c); }

const Query kQueries[] = {
    {"GetIPSetConf", true, api_getIPSetsConf, api_releaseIPSetsConf},
    {"GetIPSetAllConf", false, all_conf, api_releaseIPSetsAllConf},
    {"GetIPSetInfo", true, api_getIPSetsInfo, api_releaseIPSetsInfo},
    {"GetIPSetAllInfo", false, all_info, api_releaseIPSetsAllInfo},
};

TEST_F(IpSets, QueriesUnpackEverySetWithItsEntries)
{
    const char *names[] = {"blk", "allow"};
    for (const Query &q : kQueries) {
        SCOPED_TRACE(q.member);
        reply(q.member, kTwoSets);
        api_IPSet_t *got = nullptr;
        int count = 0;
        ASSERT_EQ(q.get(names, 2, &got, &count), 0);
        EXPECT_EQ(last_args(q.member), q.by_name ? "(['blk', 'allow'],)" : "()");
        ASSERT_EQ(count, 2);
        EXPECT_STREQ(got[0].Name, "blk");
        EXPECT_EQ(got[0].Type, 1u);
        EXPECT_EQ(got[0].Timeout, 300u);
        EXPECT_STREQ(got[0].Family, "inet");
        EXPECT_EQ(got[0].MaxElem, 1024u);
        ASSERT_NE(got[0].Entries, nullptr);
        EXPECT_STREQ(got[0].Entries[0], "1.2.3.4");
        EXPECT_STREQ(got[0].Entries[1], "5.6.7.8");
        EXPECT_EQ(got[0].Entries[2], nullptr);
        EXPECT_STREQ(got[1].Name, "allow");
        EXPECT_STREQ(got[1].Family, "inet6");
        EXPECT_EQ(got[1].Entries, nullptr);
        EXPECT_EQ(q.release(got, count), 0);
        EXPECT_EQ(q.release(nullptr, 0), -1);
    }
}

TEST_F(IpSets, LongNamesAndFamiliesAreCutToTheirFields)
{
    const std::string name(70, 'n');
    const std::string family(20, 'f');
    reply("GetIPSetAllConf", "([<('" + name + "', uint32 1, uint32 0, '" + family + "', uint32 8, ['a'])>], 0, '')");
    api_IPSet_t *got = nullptr;
    int count = 0;
    ASSERT_EQ(api_getIPSetsAllConf(&got, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(got[0].Name, name.substr(0, sizeof got[0].Name - 1));
    EXPECT_EQ(got[0].Family, family.substr(0, sizeof got[0].Family - 1));
    EXPECT_EQ(got[0].MaxElem, 8u);
    EXPECT_EQ(api_releaseIPSetsAllConf(got, count), 0);

    // A caller's name that fills its whole field goes out cut, not read past its end.
    std::memset(sets_[0].Name, 'b', sizeof sets_[0].Name);
    ASSERT_EQ(api_addIPSets(sets_, 1), 0);
    const std::string sent = last_args("AddIPSet");
    EXPECT_NE(sent.find("'" + std::string(sizeof sets_[0].Name - 1, 'b') + "'"), std::string::npos) << sent;
}

TEST_F(IpSets, QueriesGiveNoPartialList)
{
    const char *names[] = {"blk"};
    for (const Query &q : kQueries) {
        SCOPED_TRACE(q.member);
        api_IPSet_t *got = reinterpret_cast<api_IPSet_t *>(&got);
        int count = -1;
        // A malformed element after a good one fails the whole list.
        reply(q.member,
              "([<('blk', uint32 1, uint32 300, 'inet', uint32 1024, ['1.2.3.4'])>, <('allow', 'x')>], 0, '')");
        EXPECT_EQ(q.get(names, 1, &got, &count), -1);
        EXPECT_EQ(got, nullptr);
        EXPECT_EQ(count, 0);
        reply(q.member, "([<('blk', uint32 1, uint32 300, 'inet', uint32 1024, ['1.2.3.4'])>], 6, 'no set')");
        EXPECT_EQ(q.get(names, 1, &got, &count), -1);
        EXPECT_EQ(got, nullptr);
        reply(q.member, "");
        fail(q.member, kIPSet);
        EXPECT_EQ(q.get(names, 1, &got, &count), -1);
        EXPECT_EQ(got, nullptr);
        // Nothing known: success with no block.
        count = -1;
        ASSERT_EQ(q.get(names, 1, &got, &count), 0);
        EXPECT_EQ(got, nullptr);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(q.get(names, 1, nullptr, &count), -1);
        EXPECT_EQ(q.get(names, 1, &got, nullptr), -1);
    }
}

TEST_F(IpSets, QueriesByNameNeedNames)
{
    const char *with_empty[] = {"blk", ""};
    const char *with_null[] = {"blk", nullptr};
    api_IPSet_t *got = nullptr;
    int count = 0;
    for (auto get : {api_getIPSetsConf, api_getIPSetsInfo}) {
        EXPECT_EQ(get(nullptr, 1, &got, &count), -1);
        EXPECT_EQ(get(with_empty, 0, &got, &count), -1);
        EXPECT_EQ(get(with_empty, 2, &got, &count), -1);
        EXPECT_EQ(get(with_null, 2, &got, &count), -1);
    }
    EXPECT_EQ(s().call_count("*"), 0u);
}

// ---- iptables ----------------------------------------------------------------------------------------

struct Tables {
    const char *path;
    const char *iface;
    const char *member;
    int (*run)(const char *, char ***, int *);
    int (*release)(char **, int);
};

const Tables kTables[] = {
    {"/com/yvc/igd1/Firewall/IPTables", "com.yvc.igd1.IPTables", "RunIPTables", api_getRunIPTables,
     api_releaseRunIPTables},
    {"/com/yvc/igd1/Firewall/IP6Tables", "com.yvc.igd1.IP6Tables", "RunIP6Tables", api_getRunIP6Tables,
     api_releaseRunIP6Tables},
};

using IpTables = ApiSim;

TEST_F(IpTables, OutputLinesOfTheCommandComeBackInOrder)
{
    for (const Tables &t : kTables) {
        SCOPED_TRACE(t.member);
        s().override_reply(t.path, t.iface, t.member, "(['-P INPUT ACCEPT', '-A INPUT -i br0 -j ACCEPT'], 0, '')");
        char **lines = nullptr;
        int count = 0;
        ASSERT_EQ(t.run("-S INPUT", &lines, &count), 0);
        EXPECT_EQ(last_args(t.member), "('-S INPUT',)");
        ASSERT_EQ(count, 2);
        EXPECT_STREQ(lines[0], "-P INPUT ACCEPT");
        EXPECT_STREQ(lines[1], "-A INPUT -i br0 -j ACCEPT");
        EXPECT_EQ(lines[2], nullptr);
        EXPECT_EQ(t.release(lines, count), 0);

        s().override_reply(t.path, t.iface, t.member, "(@as [], 0, '')");
        lines = reinterpret_cast<char **>(&lines);
        count = -1;
        ASSERT_EQ(t.run("-S FORWARD", &lines, &count), 0);
        EXPECT_EQ(lines, nullptr);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(t.release(nullptr, 0), -1);
    }
}

TEST_F(IpTables, RefusalsFailuresAndBadArgumentsGiveNoLines)
{
    for (const Tables &t : kTables) {
        SCOPED_TRACE(t.member);
        s().override_reply(t.path, t.iface, t.member, "(['partial'], 2, 'bad rule')");
        char **lines = reinterpret_cast<char **>(&lines);
        int count = -1;
        EXPECT_EQ(t.run("-A nowhere", &lines, &count), -1);
        EXPECT_EQ(lines, nullptr);
        EXPECT_EQ(count, 0);
        s().override_reply(t.path, t.iface, t.member, "");
        fail(t.member, t.path);
        EXPECT_EQ(t.run("-S", &lines, &count), -1);
        EXPECT_EQ(lines, nullptr);
        s().control("ResetCounts", nullptr);
        EXPECT_EQ(t.run(nullptr, &lines, &count), -1);
        EXPECT_EQ(t.run("", &lines, &count), -1);
        EXPECT_EQ(t.run("-S", nullptr, &count), -1);
        EXPECT_EQ(t.run("-S", &lines, nullptr), -1);
        EXPECT_EQ(s().call_count("*"), 0u);
    }
}

}  // namespace
}  // namespace apitest
