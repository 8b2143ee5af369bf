// The agent's bus service as other processes see it: its methods and properties byte for byte, the
// upgrade results it reports, the signals it turns into queue words, and the end of the service when
// its name is taken away.
#include <cstdio>
#include <initializer_list>
#include <string>

#include "agent_bus_fixture.hpp"

namespace {

using agentbus::AgentBusTest;

constexpr const char *kProps = "com.yvc.igd1.Properties";
constexpr const char *kMngPlat = "/com/yvc/igd1/Info/MngPlat";
constexpr const char *kNetwork = "/com/yvc/igd1/Info/Network";
// Emitted after each case: the words before it are what the case wrote.
constexpr const char *kSentinelPayload = "('com.yvc.igd1.MngPlatInfo', @a{sv} {}, @as [])";

TEST_F(AgentBusTest, StatusMethodAndPropertiesAnswerFromThePublishedState)
{
    start();
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    snprintf(d.server, sizeof d.server, "distr.example");
    snprintf(d.addrs[1], sizeof d.addrs[1], "10.1.2.3");
    d.addr_index = 1;
    d.port = 7686;
    d.status = DOMAIN_STATUS_HEARTBEAT;
    snprintf(d.last_error, sizeof d.last_error, "bad \"key\"\\");
    d.common_err = 2;
    d.boot_err = 1;
    d.hb_err = 3;
    d.cmd_err = 5;
    g_cc_stm.HbSendTime = 1700000000;
    g_cc_stm.HbRecvTime = 1700000002;
    uloop_timeout_set(&g_timeout_relogin, 600000);
    uloop_timeout_set(&g_timeout_plugin_hb, 30000);
    const int fd = g_fd_udp_distr.fd;

    // Nothing is seen before the main thread publishes.
    EXPECT_EQ(call("GetStatus", nullptr), "('', uint32 0, uint32 0)");
    gwagent_status_publish();
    EXPECT_EQ(call("GetStatus", nullptr), "('10.1.2.3', uint32 7686, uint32 4)");
    EXPECT_EQ(property("HbSendTime"), "1700000000");
    EXPECT_EQ(property("HbRecvTime"), "1700000002");
    EXPECT_EQ(property("PlatformConnectInfo"),
              "{\"server\":\"distr.example\",\"ip\":\"10.1.2.3\",\"port\":7686,\"fd\":" + std::to_string(fd) +
                  ",\"status\":4,\"errmsg\":\"bad \\\"key\\\"\\\\\",\"errcnt\":2,\"bootErr\":1,\"registerErr\":0,"
                  "\"hbErr\":3,\"cmdErr\":5}");
    int relogin = 0, nexthb = 0, nextphb = 0;
    ASSERT_EQ(sscanf(property("TimerInfo").c_str(), "{\"relogin\":%d,\"nexthb\":%d,\"nextphb\":%d}", &relogin, &nexthb,
                     &nextphb),
              3)
        << property("TimerInfo");
    EXPECT_GT(relogin, 590000);
    EXPECT_LE(relogin, 600000);
    EXPECT_EQ(nexthb, -1) << "a timer that is not armed";
    EXPECT_GT(nextphb, 20000);
    EXPECT_LE(nextphb, 30000);

    // A status of 6 or more is not a status the platform knows.
    for (const uint8_t status : {5, 6, 9}) {
        d.status = status;
        gwagent_status_publish();
        EXPECT_EQ(call("GetStatus", nullptr),
                  std::string("('10.1.2.3', uint32 7686, uint32 ") + (status < 6 ? "5" : "0") + ")");
    }
    EXPECT_EQ(property("Missing"), "ERROR: org.freedesktop.DBus.Error.InvalidArgs");
    EXPECT_EQ(call("Unknown", nullptr), "ERROR: org.freedesktop.DBus.Error.UnknownMethod");
}

TEST_F(AgentBusTest, IntrospectionListsTheInterfaceTheServiceDispatches)
{
    start();
    EXPECT_STREQ(gwagent_dbus_introspection(),
                 "<node><interface name=\"com.yvc.gwagent1\">"
                 "<method name=\"UpgRep\"><arg name=\"modname\" type=\"s\" direction=\"in\"/>"
                 "<arg name=\"taskno\" type=\"u\" direction=\"in\"/><arg name=\"result\" type=\"i\" direction=\"in\"/>"
                 "</method><method name=\"GetStatus\"><arg name=\"srvip\" type=\"s\" direction=\"out\"/>"
                 "<arg name=\"port\" type=\"u\" direction=\"out\"/><arg name=\"status\" type=\"u\" direction=\"out\"/>"
                 "</method><signal name=\"LogLevelChanged\"/>"
                 "<property name=\"HbSendTime\" type=\"u\" access=\"read\"/>"
                 "<property name=\"HbRecvTime\" type=\"u\" access=\"read\"/>"
                 "<property name=\"TimerInfo\" type=\"s\" access=\"read\"/>"
                 "<property name=\"PlatformConnectInfo\" type=\"s\" access=\"read\"/>"
                 "</interface></node>");
    // No property can be written.
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    gw::VariantPtr r(g_dbus_connection_call_sync(
        conn.get(), GWAGENT_DBUS_NAME, GWAGENT_DBUS_PATH, "org.freedesktop.DBus.Properties", "Set",
        g_variant_new("(ssv)", GWAGENT_DBUS_IFACE, "HbSendTime", g_variant_new_uint32(1)), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    EXPECT_FALSE(r);
    // Wrong argument types never reach the handler.
    EXPECT_EQ(call("UpgRep", g_variant_new("(sus)", "demo", 1u, "x")), "ERROR: org.freedesktop.DBus.Error.InvalidArgs");
}

struct UpgRepCase {
    const char *modname;
    int result;
    const char *zep_line;  // "" when the framework log gets nothing
    const char *log_line;
    const char *report;
};

TEST_F(AgentBusTest, UpgRepLogsAndReportsEveryResult)
{
    root.write("/etc/openwrt_version", "V3.4.5_vnd_arm\n");
    root.write("/usr/lib/opkg/info/demo.control", "Package: demo\nVersion: 4.2\n");
    // Where a name climbing out of the package database would read from.
    root.write("/usr/lib/etc/demo.control", "Package: demo\nVersion: 6.6\n");
    start();
    const UpgRepCase cases[] = {
        {"zep_arm", 3, "zep_arm upgrade failed. errno = 3", "zep_arm upgrad failed. errno = 3",
         R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"zep_arm","Version":"V3.4.5_vnd_arm","Result":3}})"},
        {"zepcore", 0, "zepcore upgrade success.", "zepcore upgrade success.",
         R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"zepcore","Version":"V3.4.5_vnd_arm","Result":0}})"},
        {"demo_arm", 3, "", "demo_arm upgrad failed. errno = 3",
         R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"demo_arm","Version":"4.2","Result":3}})"},
        {"demo", 0, "", "demo upgrade success.",
         R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"demo","Version":"4.2","Result":0}})"},
        {"../../etc/demo_arm", 0, "", "invalid package name [../../etc/demo], no version read.",
         R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"../../etc/demo_arm","Version":"","Result":0}})"},
    };
    for (const UpgRepCase &c : cases) {
        SCOPED_TRACE(c.modname);
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        log.clear();
        const std::string before = root.exists("/hgutmp/zepsrv.log") ? root.read("/hgutmp/zepsrv.log") : "";
        EXPECT_EQ(call("UpgRep", g_variant_new("(sui)", c.modname, 17u, c.result)), "()");
        EXPECT_EQ(report_head(), c.report);
        EXPECT_TRUE(log.contains(c.log_line));
        const std::string after = root.exists("/hgutmp/zepsrv.log") ? root.read("/hgutmp/zepsrv.log") : "";
        const std::string added = after.substr(before.size());
        if (*c.zep_line) {
            EXPECT_NE(added.find(c.zep_line), std::string::npos) << added;
        } else {
            EXPECT_EQ(added, "");
        }
    }
}

struct SignalCase {
    const char *path;
    const char *iface;
    const char *member;
    const char *payload;
    const char *word;  // what the signal writes to the queue
    const char *log_line;
};

class AgentSignals : public AgentBusTest {
protected:
    // Each case's signal, then the sentinel: the queue must hold the case's word and the sentinel's.
    void expect(std::initializer_list<SignalCase> cases)
    {
        for (const SignalCase &c : cases) {
            SCOPED_TRACE(std::string(c.path) + " " + c.member + " " + c.payload);
            log.clear();
            emit(c.path, c.iface, c.member, c.payload);
            emit(kMngPlat, kProps, "PropertiesChanged", kSentinelPayload);
            const std::string want = std::string(c.word) + "MNG_PLAT_INFO_CHANGE";
            EXPECT_EQ(read_queue(want.size()), want);
            if (*c.log_line) {
                EXPECT_TRUE(log.contains(c.log_line));
            }
        }
    }
};

TEST_F(AgentSignals, ConfigurationSignalsBecomeQueueWords)
{
    start();
    expect({
        {kMngPlat, kProps, "PropertiesChanged", kSentinelPayload, "MNG_PLAT_INFO_CHANGE", ""},
        {kNetwork, kProps, "PropertiesChanged", "('com.yvc.igd1.NetworkInfo', @a{sv} {}, @as [])", "NET_INFO_CHANGE",
         ""},
        {kNetwork, kProps, "PropertiesChanged", "('com.yvc.igd1.MngPlatInfo', @a{sv} {}, @as [])", "",
         "wrong interface name [com.yvc.igd1.MngPlatInfo] for properties changed signal"},
        {kMngPlat, kProps, "PropertiesChanged", "('com.yvc.igd1.NetworkInfo', @a{sv} {}, @as [])", "",
         "wrong interface name [com.yvc.igd1.NetworkInfo] for properties changed signal"},
        {kNetwork, kProps, "PropertiesChanged", "('com.yvc.igd1.NetworkInfo',)", "",
         "parms type of properties changed signal : (s) is not correct."},
        {kMngPlat, kProps, "PropertiesChanged", "", "", "properties changed signal parms is null."},
        // Not an FTTO device: neither FTTO signal is listened to.
        {"/com/yvc/igd1/FTTO/Slave", "com.yvc.igd1.SlaveControl", "FTTOSlaveSignal", "(byte 1,)", "", ""},
        {"/com/yvc/igd1/FTTO/Master", "com.yvc.igd1.SlaveManager", "SlaveDeviceAccess", "(@a{sv} {},)", "", ""},
    });
    EXPECT_EQ(gwagent_dbus_slave_access_pending(), 0);
}

TEST_F(AgentSignals, AnFttoSlaveInWorkMode2HearsItsSlaveSignal)
{
    start(12, 2);
    expect({
        {"/com/yvc/igd1/FTTO/Slave", "com.yvc.igd1.SlaveControl", "FTTOSlaveSignal", "(byte 1,)", "NET_INFO_CHANGE",
         ""},
        {"/com/yvc/igd1/FTTO/Slave", "com.yvc.igd1.SlaveControl", "FTTOSlaveSignal", "(byte 2,)", "",
         "SignalType 2 is invalid."},
    });
}

// Each slave-access signal writes its own word when its delay ends, not before.
TEST_F(AgentSignals, AnFttoMasterWritesOneDeviceChangePerSlaveSignalAfterTheDelay)
{
    start(11, 1);
    emit("/com/yvc/igd1/FTTO/Master", "com.yvc.igd1.SlaveManager", "SlaveDeviceAccess", "(@a{sv} {},)");
    emit("/com/yvc/igd1/FTTO/Master", "com.yvc.igd1.SlaveManager", "SlaveDeviceAccess", "(@a{sv} {},)");
    ASSERT_TRUE(gwtest::wait_until([] { return gwagent_dbus_slave_access_pending() == 2; }));
    emit(kMngPlat, kProps, "PropertiesChanged", kSentinelPayload);
    EXPECT_EQ(read_queue(20), "MNG_PLAT_INFO_CHANGE") << "nothing before the delay ends";
    gwagent_dbus_slave_access_fire();
    EXPECT_EQ(read_queue(36), "FTTO_DEVICE_CHANGEFTTO_DEVICE_CHANGE");
    EXPECT_EQ(gwagent_dbus_slave_access_pending(), 0);
}

// Another owner taking the name ends the service for good: the object and the subscriptions go.
TEST_F(AgentBusTest, LosingTheNameEndsTheService)
{
    start();
    gw::ErrorPtr err;
    gw::ConnectionPtr other(g_dbus_connection_new_for_address_sync(
        gwtest::PrivateBus::instance().address().c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(other) << gw::error_text(err);
    gw::VariantPtr r(g_dbus_connection_call_sync(
        other.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
        g_variant_new("(su)", GWAGENT_DBUS_NAME, 2u /* replace existing */), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(r) << gw::error_text(err);
    guint32 owner = 0;
    g_variant_get(r.get(), "(u)", &owner);
    EXPECT_EQ(owner, 1u) << "primary owner now";
    ASSERT_TRUE(gwtest::wait_until([] { return !gwagent_dbus_name_acquired() && !gwagent_dbus_object_registered(); }));
    EXPECT_TRUE(log.contains("Lost the name com.yvc.gwagent1 on the system bus"));
    EXPECT_TRUE(log.contains("unregister object"));
    EXPECT_EQ(log.count("unregister signal MngPlat"), 2u);
    // The signals no longer reach the queue.
    emit(kMngPlat, kProps, "PropertiesChanged", kSentinelPayload);
    EXPECT_EQ(read_queue(1, std::chrono::milliseconds(300)), "");
}

}  // namespace
