// The agent's own reports, read back from the message queue; the gateway and the plug-in host are
// the configuration simulator's.
#include <signal.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <jansson.h>

#include "core/agent.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "igd1_sim.hpp"
#include "platform/conn.h"
#include "platform/records.h"
#include "platform_util.hpp"

namespace {

constexpr const char *kHost = "/com/yvc/appframework1";
constexpr const char *kHostIface = "com.yvc.appframework1.AppAgent";

// The "PluginList" the fixture's plug-ins must give, written out by hand from the profile: one object
// per entry in profile order, a library package or a running one "RUNNING", any other "STOPPED".
std::string fixture_plugin_list()
{
    const std::string file = gwtest::source_dir() + "/sim/igd1/profiles/default.json";
    json_error_t err;
    json_t *profile = json_load_file(file.c_str(), 0, &err);
    if (!profile) {
        ADD_FAILURE() << file << ": " << err.text;
        return "";
    }
    std::string out = "[";
    size_t i = 0;
    json_t *p = nullptr;
    json_array_foreach(json_object_get(profile, "plugins"), i, p)
    {
        const bool running =
            json_is_true(json_object_get(p, "Library")) || json_integer_value(json_object_get(p, "Running")) != 0;
        out += std::string(i ? "," : "") + "{\"Name\":\"" + json_string_value(json_object_get(p, "Name")) +
               "\",\"Version\":\"" + json_string_value(json_object_get(p, "Version")) + "\",\"State\":\"" +
               (running ? "RUNNING" : "STOPPED") + "\"}";
    }
    json_decref(profile);
    return out + "]";
}

// The simulator answers every call of the member with exactly this GLib text ("" removes it).
void override_reply(const std::string &member, const std::string &reply)
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(conn) << gw::error_text(err);
    gw::VariantPtr r(g_dbus_connection_call_sync(
        conn.get(), "com.yvc.igd1", "/com/yvc/igd1sim", "com.yvc.igd1sim.Control", "SetReplyOverride",
        g_variant_new("(ssss)", kHost, kHostIface, member.c_str(), reply.c_str()), nullptr, G_DBUS_CALL_FLAGS_NONE,
        10000, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(r) << gw::error_text(err);
}

class Reports : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        ASSERT_TRUE(gwtest::Igd1Sim::fresh().ready());
        copy_truncated(g_dev_info.WANIPAddr, "");  // reports stay queued
    }
    std::string head()
    {
        void *p = nullptr;
        if (fifo_buffer_get_head(&g_msg_srv_fifo_buf, &p, nullptr) != 0)
            return "<empty>";
        return static_cast<char *>(p);
    }
    void control(const std::string &name, const std::string &text)
    {
        root_->write("/usr/lib/opkg/info/" + name + ".control", text);
    }
};

TEST_F(Reports, VersionReportListsPluginPackagesOnly)
{
    root_->write("/etc/openwrt_version", "V3.4.5\n");
    control("beta", "Package: beta\nVersion: 2.1\npluginClass: x\n");
    control("alpha", "Package: alpha\nVersion: 1.0\npluginClass: y\n");
    control("base", "Package: base\nVersion: 9\n");
    ASSERT_EQ(msg_OXA_VER_REP(), 0);
    EXPECT_EQ(head(),
              "{\"CmdType\":\"OXA_VER_REP\",\"Info\":{\"ZepVer\":\"V3.4.5\",\"PluginList\":\"alpha:1.0/beta:2.1\"}}");
}

// A ubus that hangs is killed after a bounded wait; the caller gets a failure and the loop goes on.
TEST_F(Reports, HungUbusIsKilledAfterABoundedWait)
{
    const std::string bin = root_->dir() + "/bin";
    root_->write("/bin/ubus", "#!/bin/sh\necho $$ > \"$GW_ROOT/ubus.pid\"\nexec sleep 60\n");
    chmod((bin + "/ubus").c_str(), 0755);
    const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    const int rc = gwagent_ubus_call("yvproxy", "task_request", "{}");
    setenv("PATH", old_path.c_str(), 1);
    EXPECT_EQ(rc, -1);
    EXPECT_TRUE(log_.contains("ubus call yvproxy task_request did not end in 3000 ms, killed."));
    const pid_t pid = static_cast<pid_t>(std::atoi(root_->read("/ubus.pid").c_str()));
    ASSERT_GT(pid, 0);
    EXPECT_NE(kill(pid, 0), 0) << "the child was reaped";
}

TEST_F(Reports, UpgradeReportReadsTheModulesPackage)
{
    control("demo", "Package: demo\nVersion: 4.2\n");
    const std::string bin = root_->dir() + "/bin";
    root_->write("/bin/ubus", "#!/bin/sh\nprintf '%s|' \"$@\" > \"$GW_ROOT/ubus.args\"\n");
    chmod((bin + "/ubus").c_str(), 0755);
    const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    EXPECT_EQ(msg_OXA_UPG_REP("demo_arm", 3), 0);
    setenv("PATH", old_path.c_str(), 1);
    EXPECT_EQ(head(),
              "{\"CmdType\":\"OXA_UPG_REP\",\"Info\":{\"PkgName\":\"demo_arm\",\"Version\":\"4.2\",\"Result\":3}}");
    EXPECT_EQ(root_->read("/ubus.args"),
              "-s|" + root_->dir() +
                  "/var/run/ubus/"
                  "ubus.sock|call|yvtask|task_upgrade_result_response|{\"pkgname\":\"demo_arm\",\"result\":3}|");
}

// The Register request reads the internet connection's PPPoE user and the LOID when it is made and
// keeps them; the device report carries the kept LOID.
TEST_F(Reports, RegisterReadsPppoeNameAndLoidAndTheDeviceReportCarriesTheLoid)
{
    gwtest::Igd1Sim &sim = gwtest::Igd1Sim::fresh();
    sim.set_property("/com/yvc/igd1/Info/Network/WANConnectionDb/1", "com.yvc.igd1.WANConnectionInfo", "ConnectionType",
                     "'PPPoE_Routed'");
    char *text = nullptr;
    ASSERT_EQ(distr_srv_register_json_req(&text), 0);
    std::unique_ptr<char, decltype(&free)> owned(text, free);
    json_error_t err;
    json_t *req = json_loads(text, 0, &err);
    ASSERT_NE(req, nullptr) << text;
    EXPECT_STREQ(json_string_value(json_object_get(req, "PPPoEName")), "user@isp");
    EXPECT_STREQ(json_string_value(json_object_get(req, "LOID")), "loid0001");
    json_decref(req);
    EXPECT_STREQ(g_dev_info.PPPoEName, "user@isp");
    EXPECT_STREQ(g_dev_info.LOID, "loid0001");
    g_dev_info.DevType = 4;
    g_dev_info.WorkMode = 1;
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    EXPECT_EQ(head().rfind("{\"CmdType\":\"DEVICE_INFO_REP\",\"DevType\":\"4\",\"WorkMode\":\"1\","
                           "\"GateWay\":{\"LOID\":\"loid0001\",",
                           0),
              0u)
        << head();

    // Both reads failing: empty values, each failure logged, nothing stale kept.
    sim.set_property("/com/yvc/igd1/Info/Network/WANConnectionDb/1", "com.yvc.igd1.WANConnectionInfo", "ConnectionType",
                     "'IP_Routed'");
    sim.fail_next("GetAll", 1, "/com/yvc/igd1/Info/PON");
    ASSERT_EQ(distr_srv_register_json_req(&text), 0);
    owned.reset(text);
    EXPECT_NE(std::string(text).find("\"PPPoEName\":\"\",\"LOID\":\"\"}"), std::string::npos) << text;
    EXPECT_TRUE(log_.contains("get internet PPPoEName failed."));
    EXPECT_TRUE(log_.contains("get loid failed."));
}

TEST_F(Reports, DeviceReportOfType11WithoutSlavesCarriesAnEmptyList)
{
    g_dev_info.DevType = 11;
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    EXPECT_NE(head().find("\"SlaveInfo\":[]"), std::string::npos);
}

TEST_F(Reports, DeviceReportOfAnFttoMasterCarriesItsSlaves)
{
    auto &sim = gwtest::Igd1Sim::fresh();
    sim.load_profile("ftto_master.json");
    g_dev_info.DevType = 11;
    g_dev_info.WorkMode = 1;
    copy_truncated(g_dev_info.LOID, "loid-1");
    copy_truncated(g_dev_info.SerialNumber, "SN77");
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    const std::string rep = head();
    const std::string want = R"({"CmdType":"DEVICE_INFO_REP","DevType":"11","WorkMode":"1","GateWay":{"LOID":"loid-1",)"
                             R"("SN":"SN77","MAC":"A1B2C3D4E5F6","Name":"Living room gateway"},)"
                             R"("AllowSlaveNum":8,"SlaveNum":2,"SlaveInfo":[)"
                             R"({"UPLink":1,"UPLinkType":0,"LOID":"","SN":"YVCS00000001","MAC":"A0:B1:C2:D3:E4:F1",)"
                             R"("WANIP":"192.168.1.21","Name":"phone-anna"},)"
                             R"({"UPLink":0,"UPLinkType":0,"LOID":"","SN":"YVCS00000002","MAC":"a4-b1-c2-d3-e4-99",)"
                             R"("WANIP":"","Name":""}],"PluginList":)";
    EXPECT_EQ(rep.substr(0, want.size()), want) << rep;

    // An unreadable slave list leaves the counts out and the list empty; the report still goes.
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    sim.set_reply("GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
    const std::string cut = head();
    EXPECT_NE(cut.find(R"("Name":"Living room gateway"},"SlaveInfo":[],"PluginList":)"), std::string::npos) << cut;
    EXPECT_EQ(cut.find("SlaveNum"), std::string::npos) << cut;
    EXPECT_TRUE(log_.contains("get FTTO slave list failed."));
}

// The report's plug-in list from the plug-in host's List reply: a failed call or a reply of another
// shape gives an empty list (and says so), a version cut inside a character is sent empty.
TEST_F(Reports, DeviceReportListsThePluginHostsPlugins)
{
    g_dev_info.DevType = 4;
    g_dev_info.WorkMode = 1;
    copy_truncated(g_dev_info.LOID, "loid-1");
    copy_truncated(g_dev_info.SerialNumber, "SN77");
    EXPECT_EQ(fixture_plugin_list(), "[{\"Name\":\"speedtest\",\"Version\":\"1.2.0\",\"State\":\"RUNNING\"},"
                                     "{\"Name\":\"parental\",\"Version\":\"0.9.3\",\"State\":\"STOPPED\"},"
                                     "{\"Name\":\"libyvcore\",\"Version\":\"2.0.1\",\"State\":\"RUNNING\"}]");
    // 62 ASCII bytes and then a two-byte character: the 63-byte version field ends in half of it.
    const std::string cut_version = std::string(62, '1') + "\u00e9";
    struct Case {
        const char *what;
        std::string reply;  // "": the fixture's; "fail": the call fails
        std::string list;
        size_t failures_logged;
    };
    // clang-format off
    const Case cases[] = {
        {"the fixture's", "", fixture_plugin_list(), 0},
        {"failed call", "fail", "[]", 1},
        {"reply of the wrong type", "(int32 1,)", "[]", 1},
        {"no plug-ins", "(@a{sv} {},)", "[]", 0},
        {"version cut inside a character",
         "({'alpha': <('alpha_arm', '" + cut_version + "', uint32 1, 5)>, 'beta': <('beta_arm', '" + std::string(62, '2') + "', uint32 0, 0)>},)",
         "[{\"Name\":\"alpha\",\"Version\":\"\",\"State\":\"RUNNING\"},{\"Name\":\"beta\",\"Version\":\"" + std::string(62, '2') + "\",\"State\":\"STOPPED\"}]", 0},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        log_.clear();
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        if (c.reply == "fail")
            gwtest::Igd1Sim::fresh().fail_next("List", 1, kHost, kHostIface);
        else if (!c.reply.empty())
            override_reply("List", c.reply);
        ASSERT_EQ(msg_DEVICE_INFO_REP(), 0);
        EXPECT_EQ(head(), "{\"CmdType\":\"DEVICE_INFO_REP\",\"DevType\":\"4\",\"WorkMode\":\"1\",\"GateWay\":{\"LOID\":\"loid-1\","
                          "\"SN\":\"SN77\",\"MAC\":\"A1B2C3D4E5F6\",\"Name\":\"Living room gateway\"},\"PluginList\":" + c.list + "}");
        EXPECT_EQ(log_.count("get plugin list failed."), c.failures_logged);
    }
}

}  // namespace
