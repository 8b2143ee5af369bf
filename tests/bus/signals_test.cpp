// Signal subscriptions: duplicates, prefix dispatch, the sender rule, unsubscribing.
#include <atomic>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "standin.hpp"

namespace {

constexpr char kIface[] = "com.yvc.igd1.LANHostManager";
constexpr char kMember[] = "LanDeviceAccess";
constexpr char kHosts[] = "/com/yvc/igd1/Config/LANHosts";
constexpr char kConfig[] = "/com/yvc/igd1/Config";

struct Seen {
    int calls = 0;
    std::string path;
    std::string sender;
    void *user_data = nullptr;
    std::string params;
};

void record(const char *sender, const char *path, const char *, const char *, GVariant *params, void *ud)
{
    auto *s = static_cast<Seen *>(ud);
    s->calls++;
    s->path = path ? path : "";
    s->sender = sender ? sender : "";
    s->user_data = ud;
    gw::GCharPtr t(params ? g_variant_print(params, TRUE) : g_strdup("NULL"));
    s->params = t.get();
}

// A second function, so that the library sees a different callback.
void record_other(const char *sender, const char *path, const char *i, const char *m, GVariant *p, void *ud)
{
    record(sender, path, i, m, p, ud);
}

class Subscription {
public:
    explicit Subscription(long id) : id_(id) {}
    ~Subscription()
    {
        if (id_ > 0)
            h_dbus_UnSubscribeSignal(static_cast<unsigned>(id_));
    }
    long id() const { return id_; }

private:
    long id_;
};

int entries_with_id(long id)
{
    int n = 0;
    for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
        n += e->id == static_cast<uint32_t>(id);
    return n;
}

int list_length()
{
    int n = 0;
    for (h_dbus_sig_sub_t *e = g_v_sig_list0; e; e = e->next)
        ++n;
    return n;
}

class Signals : public ::testing::Test {
protected:
    void SetUp() override { g_logLevel = 7; }

    // Signals from one sender arrive in order: once the sentinel is in, every earlier delivery is done.
    void drain()
    {
        const int before = sentinel_.calls;
        svc.emit("/org/test/Sentinel", "org.test.Sentinel", "Done", nullptr);
        ASSERT_TRUE(gwtest::wait_until([&] { return sentinel_.calls > before; })) << "sentinel never arrived";
    }

    gwtest::StandIn svc;
    gwtest::LogCapture log;
    Seen sentinel_;
    Subscription sentinel_sub_{
        h_dbus_SubscribeSignal(nullptr, nullptr, "org.test.Sentinel", "Done", record, &sentinel_)};
};

TEST_F(Signals, SameSubscriptionTwiceReturnsTheSameIdAndOneEntry)
{
    Seen a;
    Subscription first(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record, &a));
    ASSERT_GT(first.id(), 0);
    const int length = list_length();
    EXPECT_EQ(first.id(), h_dbus_SubscribeSignal("com.yvc.igd1", kHosts, kIface, kMember, record, &a));
    EXPECT_EQ(length, list_length());
    EXPECT_EQ(1, entries_with_id(first.id()));
    EXPECT_TRUE(log.contains("signal subscribe warning, exist"));

    Subscription other(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record_other, &a));
    ASSERT_GT(other.id(), 0);
    EXPECT_NE(first.id(), other.id());
    EXPECT_EQ(length + 1, list_length());
    ASSERT_NE(nullptr, g_v_sig_list0);
    EXPECT_EQ(static_cast<uint32_t>(other.id()), g_v_sig_list0->id) << "newest entry goes first";
}

TEST_F(Signals, PathlessDuplicateIsOnlyAnotherPathlessEntry)
{
    Seen a;
    Subscription pathless(h_dbus_SubscribeSignal(nullptr, nullptr, kIface, kMember, record, &a));
    Subscription with_path(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record, &a));
    ASSERT_GT(pathless.id(), 0);
    ASSERT_GT(with_path.id(), 0);
    EXPECT_NE(pathless.id(), with_path.id());
    EXPECT_EQ(pathless.id(), h_dbus_SubscribeSignal(nullptr, "", kIface, kMember, record, &a));
}

TEST_F(Signals, PrefixEntryIsInvokedByTheOtherRegistrationsDelivery)
{
    Seen hosts, config;
    Subscription a(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record, &hosts));
    Subscription b(h_dbus_SubscribeSignal(nullptr, kConfig, kIface, kMember, record_other, &config));
    ASSERT_GT(a.id(), 0);
    ASSERT_GT(b.id(), 0);

    svc.emit(kHosts, kIface, kMember, g_variant_new("(s)", "AA:BB:CC:00:11:22"));
    drain();
    EXPECT_EQ(1, hosts.calls);
    EXPECT_EQ(1, config.calls);
    EXPECT_EQ(kHosts, config.path);
    EXPECT_EQ("('AA:BB:CC:00:11:22',)", config.params);
    EXPECT_EQ(&config, config.user_data) << "each callback keeps its own user data";
    EXPECT_EQ(svc.unique_name(), hosts.sender);

    // The shorter path is no prefix match for the longer entry.
    svc.emit(kConfig, kIface, kMember, g_variant_new("(s)", "x"));
    drain();
    EXPECT_EQ(1, hosts.calls);
    EXPECT_EQ(2, config.calls);
}

TEST_F(Signals, SenderEntryIsSkippedWhenTheNameBelongsToAnotherAndKeptWhenNobodyOwnsIt)
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(conn);
    gw::VariantPtr params = gw::adopt_variant(g_variant_new("(s)", "m"));
    {
        // A name nobody owns cannot be asked for its owner: its entry still matches.
        Seen absent;
        Subscription c(h_dbus_SubscribeSignal("com.yvc.absent", kHosts, kIface, kMember, record, &absent));
        ASSERT_GT(c.id(), 0);
        h_dbus_sig_cb(conn.get(), ":1.5", kHosts, kIface, kMember, params.get(), nullptr);
        EXPECT_EQ(1, absent.calls);
    }
    Seen named, anyone;
    Subscription a(h_dbus_SubscribeSignal("com.yvc.igd1", kHosts, kIface, kMember, record, &named));
    Subscription b(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record_other, &anyone));
    ASSERT_GT(a.id(), 0);
    ASSERT_GT(b.id(), 0);
    h_dbus_sig_cb(conn.get(), ":1.99999", kHosts, kIface, kMember, params.get(), nullptr);
    EXPECT_EQ(0, named.calls);
    EXPECT_EQ(1, anyone.calls);

    h_dbus_sig_cb(conn.get(), svc.unique_name().c_str(), kHosts, kIface, kMember, params.get(), nullptr);
    EXPECT_EQ(1, named.calls);
    EXPECT_EQ(2, anyone.calls);
}

TEST_F(Signals, OnlyTheNamedSenderReachesASenderSubscriptionOnTheBus)
{
    Seen named;
    Subscription a(h_dbus_SubscribeSignal("com.yvc.igd1", kHosts, kIface, kMember, record, &named));
    ASSERT_GT(a.id(), 0);
    svc.emit_other(kHosts, kIface, kMember, g_variant_new("(s)", "spoof"));
    svc.emit(kHosts, kIface, kMember, g_variant_new("(s)", "real"));
    drain();
    EXPECT_EQ(1, named.calls);
    EXPECT_EQ("('real',)", named.params);
}

TEST_F(Signals, UnmatchedSignalIsLogged)
{
    gw::VariantPtr params = gw::adopt_variant(g_variant_new("()"));
    h_dbus_sig_cb(nullptr, ":1.1", "/com/yvc/igd1/Nowhere", "com.yvc.igd1.Nothing", "Nobody", params.get(), nullptr);
    EXPECT_TRUE(log.contains("signal not match : (nil), /com/yvc/igd1/Nowhere, com.yvc.igd1.Nothing, signal Nobody"));
}

TEST_F(Signals, UnsubscribeUnlinksHeadOrMiddleAndIgnoresUnknownIds)
{
    Seen s1, s2, s3;
    long id1 = h_dbus_SubscribeSignal(nullptr, kHosts, kIface, "One", record, &s1);
    long id2 = h_dbus_SubscribeSignal(nullptr, kHosts, kIface, "Two", record, &s2);
    long id3 = h_dbus_SubscribeSignal(nullptr, kHosts, kIface, "Three", record, &s3);
    ASSERT_GT(id1, 0);
    ASSERT_GT(id2, 0);
    ASSERT_GT(id3, 0);
    const int length = list_length();

    h_dbus_UnSubscribeSignal(987654u);
    EXPECT_EQ(length, list_length());

    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id2));
    EXPECT_EQ(length - 1, list_length());
    EXPECT_EQ(0, entries_with_id(id2));
    ASSERT_NE(nullptr, g_v_sig_list0);
    EXPECT_EQ(static_cast<uint32_t>(id3), g_v_sig_list0->id);

    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id3));
    EXPECT_EQ(0, entries_with_id(id3));
    EXPECT_EQ(1, entries_with_id(id1));

    svc.emit(kHosts, kIface, "Two", nullptr);
    svc.emit(kHosts, kIface, "One", nullptr);
    drain();
    EXPECT_EQ(0, s2.calls);
    EXPECT_EQ(1, s1.calls);
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id1));
    EXPECT_EQ(length - 3, list_length());
}

TEST_F(Signals, EnableCheckWantsTheExactPath)
{
    Seen s;
    Subscription a(h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, record, &s));
    Subscription pathless(h_dbus_SubscribeSignal(nullptr, nullptr, kIface, "Roaming", record, &s));
    ASSERT_GT(a.id(), 0);
    EXPECT_EQ(static_cast<unsigned>(a.id()), check_dbus_SubscribeSignal_Enable("anyone", kHosts, kIface, kMember));
    EXPECT_EQ(0u, check_dbus_SubscribeSignal_Enable(nullptr, kConfig, kIface, kMember));
    EXPECT_EQ(0u, check_dbus_SubscribeSignal_Enable(nullptr, kHosts, kIface, "Other"));
    EXPECT_EQ(0u, check_dbus_SubscribeSignal_Enable(nullptr, nullptr, kIface, "Roaming"));
    EXPECT_EQ(0u, check_dbus_SubscribeSignal_Enable(nullptr, "", kIface, "Roaming"));
}

TEST_F(Signals, BadSubscriptionRequestsAreRefused)
{
    Seen s;
    const int length = list_length();
    EXPECT_EQ(-1, h_dbus_SubscribeSignal(nullptr, kHosts, nullptr, kMember, record, &s));
    EXPECT_EQ(-1, h_dbus_SubscribeSignal(nullptr, kHosts, kIface, nullptr, record, &s));
    EXPECT_EQ(-1, h_dbus_SubscribeSignal(nullptr, kHosts, kIface, kMember, nullptr, &s));
    EXPECT_EQ(-1, h_dbus_SubscribeSignal(nullptr, "bad path", kIface, kMember, record, &s));
    EXPECT_EQ(-1, h_dbus_SubscribeSignal(nullptr, kHosts, "no dots", kMember, record, &s));
    EXPECT_EQ(length, list_length());
}

}  // namespace
