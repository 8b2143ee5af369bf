// The configuration service simulator, exercised over a private bus as a client sees it.
#include <gio/gio.h>

#include <unistd.h>

#include <memory>
#include <string>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"

namespace {

class Igd1Sim : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim_ = std::make_unique<gwtest::Igd1Sim>();
        ASSERT_TRUE(sim_->ready());
        gw::ErrorPtr err;
        conn_.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        ASSERT_TRUE(conn_) << gw::error_text(err);
        sim_->reset();
    }

    // Returns the reply printed with types, or "ERROR: <dbus error name>".
    std::string call(const char *path, const char *iface, const char *method, GVariant *args,
                     const char *dest = "com.yvc.igd1")
    {
        return sim_->call(path, iface, method, args, dest);
    }

    std::string control(const char *method, GVariant *args)
    {
        return call("/com/yvc/igd1sim", "com.yvc.igd1sim.Control", method, args);
    }

    gwtest::TempRoot root_;
    std::unique_ptr<gwtest::Igd1Sim> sim_;
    gw::ConnectionPtr conn_;
};

TEST_F(Igd1Sim, SetValuesIsVisibleToGetAllInProfileOrder)
{
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "Switch", g_variant_new_boolean(TRUE));
    EXPECT_EQ(call("/com/yvc/igd1/Config/Power/SleepTimer", "com.yvc.igd1.Properties", "SetValues",
                   g_variant_new("(sa{sv})", "com.yvc.igd1.SleepTimer", &b)),
              "()");
    EXPECT_EQ(call("/com/yvc/igd1/Config/Power/SleepTimer", "com.yvc.igd1.Properties", "GetAll",
                   g_variant_new("(s)", "com.yvc.igd1.SleepTimer")),
              "({'Switch': <true>},)");
    std::string dhcp = call("/com/yvc/igd1/Config/DHCPServer", "com.yvc.igd1.Properties", "GetAll",
                            g_variant_new("(s)", "com.yvc.igd1.DHCPServer"));
    EXPECT_EQ(dhcp.find("'DHCPServerEnable'"), 2u) << dhcp;
    EXPECT_LT(dhcp.find("'LocalIP'"), dhcp.find("'DHCPDuration'"));
}

TEST_F(Igd1Sim, CollectionsNumberChildrenFromOneAndReuseNothingBelowTheHighest)
{
    const char *coll = "/com/yvc/igd1/Info/Network/WANConnectionDb/2/PortMapping";
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "GetManagedObjects", nullptr), "(@a{oa{sa{sv}}} {},)");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "AddObject", nullptr),
              std::string("(objectpath '") + coll + "/1',)");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "AddObject", nullptr),
              std::string("(objectpath '") + coll + "/2',)");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "DeleteObject",
                   g_variant_new("(o)", "/com/yvc/igd1/Info/Network/WANConnectionDb/2/PortMapping/1")),
              "()");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "AddObject", nullptr),
              std::string("(objectpath '") + coll + "/3',)");
    // Only a child of the collection may be deleted there.
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "DeleteObject",
                   g_variant_new("(o)", "/com/yvc/igd1/Info/Network/WANConnectionDb/2")),
              "ERROR: com.yvc.igd1.Error.Failed");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "RemoveAllObjects", nullptr), "()");
    EXPECT_EQ(call(coll, "com.yvc.igd1.ObjectManager", "GetManagedObjects", nullptr), "(@a{oa{sa{sv}}} {},)");
}

// Properties keep their profile types; methods find objects by name and by MAC without regard to case.
TEST_F(Igd1Sim, CallsWithoutSideEffectsAnswerAsTheProfileSays)
{
    const struct {
        const char *path, *iface, *method, *args, *reply;
    } cases[] = {
        // clang-format off
        {"/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties", "Get", "('com.yvc.igd1.DeviceInfo', 'DevWiFi')", "(<byte 0x02>,)"},
        {"/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties", "Get", "('com.yvc.igd1.DeviceInfo', 'POTSNum')", "(<uint32 1>,)"},
        {"/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties", "Get", "('com.yvc.igd1.DeviceInfo', 'NoSuchProperty')", "ERROR: com.yvc.igd1.Error.Failed"},
        {"/com/yvc/igd1/Info/Network/WANConnectionDb", "com.yvc.igd1.WANConnectManager", "GetWANConnByName", "('2_TR069_R_VID_46',)", "(objectpath '/com/yvc/igd1/Info/Network/WANConnectionDb/2', uint32 0, '')"},
        {"/com/yvc/igd1/Info/Network/WANConnectionDb", "com.yvc.igd1.WANConnectManager", "GetWANConnByName", "('nope',)", "(objectpath '/', uint32 1, 'not found')"},
        {"/com/yvc/igd1/Config/LANHosts", "com.yvc.igd1.LANHostManager", "GetLANHostPathbyMAC", "('a0b1c2d3e4f3',)", "(objectpath '/com/yvc/igd1/Config/LANHosts/3', uint32 0, '')"},
        {"/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd", "Register", "('a', 'b')", "ERROR: org.freedesktop.DBus.Error.InvalidArgs"},
        // clang-format on
    };
    for (const auto &c : cases)
        EXPECT_EQ(call(c.path, c.iface, c.method, g_variant_new_parsed(c.args)), c.reply) << c.method << " " << c.args;
}

TEST_F(Igd1Sim, ControlMakesCallsFailReturnCodesAndOverrideReplies)
{
    control("FailNext",
            g_variant_new("(sssssu)", "*", "com.yvc.igd1.Properties", "GetAll", "org.test.Error.Busy", "busy", 1));
    EXPECT_EQ(call("/com/yvc/igd1/Info/PON", "com.yvc.igd1.Properties", "GetAll",
                   g_variant_new("(s)", "com.yvc.igd1.PONInfo")),
              "ERROR: org.test.Error.Busy");
    EXPECT_NE(call("/com/yvc/igd1/Info/PON", "com.yvc.igd1.Properties", "GetAll",
                   g_variant_new("(s)", "com.yvc.igd1.PONInfo"))
                  .rfind("ERROR", 0),
              0u);

    control("SetResult", g_variant_new("(sus)", "Reboot", 5, "busy rebooting"));
    EXPECT_EQ(call("/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd", "Reboot", nullptr),
              "(uint32 5, 'busy rebooting')");

    control("SetReplyOverride", g_variant_new("(ssss)", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties",
                                              "GetAll", "('wrong type',)"));
    EXPECT_EQ(call("/com/yvc/igd1/Info/Device", "com.yvc.igd1.Properties", "GetAll",
                   g_variant_new("(s)", "com.yvc.igd1.DeviceInfo")),
              "('wrong type',)");
    EXPECT_EQ(control("CallCount", g_variant_new("(s)", "GetAll")), "(uint32 3,)");
}

TEST_F(Igd1Sim, NasAccessStaysInsideItsStorage)
{
    const char *nas = "/com/yvc/igd1/Storage/NAS";
    const char *iface = "com.yvc.igd1.NASAccess";
    EXPECT_EQ(call(nas, iface, "CreateFolder", g_variant_new("(s)", "/mnt/usb1/photos")), "(uint32 0, '')");
    EXPECT_TRUE(root_.exists("/mnt/usb1/photos"));
    ASSERT_EQ(::symlink("/etc", root_.path("/mnt/usb1/out").c_str()), 0);
    for (const char *bad : {"/mnt/../escape", "/mnt/usb1/../../escape", "/etc/escape", "mnt/usb1/x", "/mnt/usb1/out/x"})
        EXPECT_EQ(call(nas, iface, "CreateFolder", g_variant_new("(s)", bad)).rfind("(uint32 1, 'path ", 0), 0u) << bad;
    EXPECT_FALSE(root_.exists("/escape"));
    // Count and list refusals come back in the reply's code and text, with an empty payload.
    EXPECT_EQ(call(nas, iface, "GetFileNum", g_variant_new("(s)", "/mnt/usb1")), "(uint32 2, uint32 0, '')");
    EXPECT_EQ(call(nas, iface, "GetFileNum", g_variant_new("(s)", "/mnt/usb1/out")),
              "(uint32 0, uint32 1, 'path /mnt/usb1/out leaves the storage')");
    EXPECT_EQ(call(nas, iface, "ListFolder", g_variant_new("(suu)", "/mnt/..", 0u, 9u)),
              "(@a(ssbts) [], uint32 1, 'path /mnt/.. leaves the storage')");
    EXPECT_EQ(call(nas, iface, "GetDiscInfo", nullptr).rfind("([('usb1', 'USB', '", 0), 0u);
}

TEST_F(Igd1Sim, SpeedTestRequestedFinishesWithResultsOnItsTimer)
{
    const char *st = "/com/yvc/igd1/Network/SpeedTestTry";
    const char *iface = "com.yvc.igd1.SpeedTestTry";
    control("SetSpeedTest", g_variant_new("(us)", 60000u, "3"));
    call(st, "com.yvc.igd1.Properties", "Set",
         g_variant_new("(ssv)", iface, "DiagnosticsState", g_variant_new_string("Requested")));
    EXPECT_EQ(call(st, "com.yvc.igd1.Properties", "Get", g_variant_new("(ss)", iface, "Status")),
              "(<'STAT_TESTING'>,)");
    control("FinishSpeedTest", nullptr);
    EXPECT_EQ(call(st, "com.yvc.igd1.Properties", "Get", g_variant_new("(ss)", iface, "DiagnosticsState")),
              "(<'Completed'>,)");
    EXPECT_EQ(call(st, "com.yvc.igd1.Properties", "Get", g_variant_new("(ss)", iface, "Failcode")), "(<'3'>,)");
    control("SetSpeedTest", g_variant_new("(us)", 20u, "0"));
    call(st, "com.yvc.igd1.Properties", "Set",
         g_variant_new("(ssv)", iface, "DiagnosticsState", g_variant_new_string("Requested")));
    EXPECT_TRUE(gwtest::wait_until([&] {
        return call(st, "com.yvc.igd1.Properties", "Get", g_variant_new("(ss)", iface, "Status")) ==
               "(<'STAT_TEST_FINISHED'>,)";
    }));
}

void on_signal(GDBusConnection *, const char *, const char *path, const char *, const char *member, GVariant *params,
               gpointer user)
{
    gw::GCharPtr text(g_variant_print(params, TRUE));
    *static_cast<std::string *>(user) = std::string(path) + " " + member + " " + text.get();
}

TEST_F(Igd1Sim, EmitsRequestedSignals)
{
    std::string seen;
    guint id =
        g_dbus_connection_signal_subscribe(conn_.get(), nullptr, "com.yvc.igd1.VoIPInfo", "NotifyVoiceCallInfo",
                                           nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, on_signal, &seen, nullptr);
    control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Info/VoIP/1", "com.yvc.igd1.VoIPInfo",
                                        "NotifyVoiceCallInfo", "({'CallNumber': <'10086'>},)"));
    EXPECT_TRUE(gwtest::wait_until([&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "/com/yvc/igd1/Info/VoIP/1 NotifyVoiceCallInfo ({'CallNumber': <'10086'>},)");
    g_dbus_connection_signal_unsubscribe(conn_.get(), id);
}

TEST_F(Igd1Sim, IntrospectionShowsMethodsSignalsAndChildren)
{
    std::string xml = call("/com/yvc/igd1/Orvane/System", "org.freedesktop.DBus.Introspectable", "Introspect", nullptr);
    EXPECT_NE(xml.find("<interface name=\"com.yvc.igd1.SysCmd\">"), std::string::npos) << xml;
    EXPECT_NE(xml.find("<method name=\"GetUpgradeVersion\"><arg direction=\"out\" type=\"s\"/>"), std::string::npos);
    EXPECT_NE(xml.find("<signal name=\"CheckHardwareStatus\">"), std::string::npos);
    std::string top = call("/com/yvc/igd1", "org.freedesktop.DBus.Introspectable", "Introspect", nullptr);
    EXPECT_NE(top.find("<node name=\"Info\"/>"), std::string::npos) << top;
}

TEST_F(Igd1Sim, FrameworkServiceAnswersOnItsOwnName)
{
    EXPECT_EQ(call("/com/yvc/zep1", "com.yvc.zep1.framework", "Restore", nullptr, "com.yvc.zep1"), "(uint32 0,)");
    EXPECT_EQ(call("/com/yvc/zep1", "com.yvc.igd1.Properties", "Get",
                   g_variant_new("(ss)", "com.yvc.zep1.framework", "ZepVersion"), "com.yvc.zep1"),
              "(<'V1.0.0'>,)");
}

TEST_F(Igd1Sim, StopsCleanlyOnSigterm)
{
    int status = sim_->stop();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
