// The plug-in commands against the simulator's plug-in host: what is refused in the agent, what the
// host is asked, and the answers built from its replies.
#include <unistd.h>

#include <string>

#include "command_steps.hpp"
#include "commands/cmd_plugin_handle.h"
#include "gwbus/util.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

constexpr const char *kInstall = "OXA_APP_INSTALL";

std::string package(const std::string &name, const std::string &run_mode, const std::string &url,
                    const std::string &size = "1024")
{
    return R"("Plugin_Name":")" + name + R"(","Version":"1.0","RunMode":")" + run_mode + R"(","FileSize":)" + size +
           R"(,"URL":")" + url + "\"";
}

class PluginCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        copy_truncated(g_dev_info.CpuArch, "arm");
        root.write("/etc/config/plughost", "config stop 'stop'\n");
    }
    // The stop mark of the plug-in, "<none>" when it was never written.
    std::string stop_mark(const std::string &name)
    {
        char buf[64] = {};
        return uci_config_get("plughost", "stop", name.c_str(), buf) == 0 ? buf : "<none>";
    }
};

struct InstallCase {
    const char *type;
    std::string params;
    std::string answer;
    const char *call;  // what the host got, "" when it was not asked
    const char *mark;  // the stop mark afterwards, "<none>" when there is none
};

TEST_F(PluginCommands, InstallAndUpgradeAreCheckedThenQueuedWithTheirStopMark)
{
    GW_REQUIRE_UCI();
    const InstallCase cases[] = {
        {kInstall, package("speedtest", "stop", "http://h/speedtest_arm.ipk"), ok(kInstall),
         "('http://h/speedtest_arm.ipk',)", "1"},
        {kInstall, package("speedtest", "Stop", "http://h/speedtest_arm.ipk"), ok(kInstall),
         "('http://h/speedtest_arm.ipk',)", "1"},
        // Any other run mode clears the mark (an empty UCI value removes the option).
        {kInstall, package("speedtest", "STOP", "http://h/speedtest_arm.ipk"), ok(kInstall),
         "('http://h/speedtest_arm.ipk',)", "<none>"},
        {"OXA_APP_UPGRADE", package("parental", "run", "http://h/parental_arm.ipk") + R"(,"UpMode":"1")",
         ok("OXA_APP_UPGRADE"), "('http://h/parental_arm.ipk',)", "<none>"},
        {kInstall, package("alpha", "stop", "http://h/alpha_mips.ipk"), fail(kInstall, "Vendor_Or_Arch_Not_Match"), "",
         "<none>"},
        {kInstall, package("alpha", "stop", "http://h/beta_arm.ipk"), fail(kInstall, "Vendor_Or_Arch_Not_Match"), "",
         "<none>"},
        {kInstall, package("alpha", "stop", "http://h/alpha_arm.ipk", "\"1024\""), fail(kInstall, "Missing_Parameters"),
         "", "<none>"},
        {kInstall, R"("Plugin_Name":"alpha","Version":"1.0","RunMode":"run","FileSize":1)",
         fail(kInstall, "Missing_Parameters"), "", "<none>"},
        {kInstall, package("../alpha", "stop", "http://h/../alpha_arm.ipk"), fail(kInstall, "Missing_Parameters"), "",
         "<none>"},
    };
    for (const InstallCase &c : cases) {
        SCOPED_TRACE(c.params);
        sim.reset_counts();
        EXPECT_EQ(run(cmd(c.type, c.params)), c.answer);
        const bool upgrade = std::string(c.type) == "OXA_APP_UPGRADE";
        EXPECT_EQ(sim.last_args(upgrade ? "Upgrade" : "Install"), c.call);
        const size_t name_at = c.params.find("\"Plugin_Name\":\"") + 15;
        const std::string name = c.params.substr(name_at, c.params.find('"', name_at) - name_at);
        EXPECT_EQ(stop_mark(name), c.mark);
    }

    // The host refusing the queueing, and no room for the package.
    sim.set_result("Install", 5, "busy");
    EXPECT_EQ(run(cmd(kInstall, package("alpha", "run", "http://h/alpha_arm.ipk"))), fail(kInstall, "request failed."));
    ASSERT_EQ(rmdir(root.path("/opt/info").c_str()), 0);
    EXPECT_EQ(run(cmd(kInstall, package("beta", "run", "http://h/beta_arm.ipk"))), fail(kInstall, "Out_Of_Flash_Size"));
    EXPECT_EQ(stop_mark("beta"), "<none>");
}

TEST_F(PluginCommands, QueriesAnswerFromTheHost)
{
    const agenttest::Step steps[] = {
        {cmd("OXA_APP_GETSTATUS", R"("Plugin_Name":"speedtest")"),
         ok("OXA_APP_GETSTATUS", R"("Name":"speedtest","State":"RUNNING")")},
        {cmd("OXA_APP_GETSTATUS", R"("Plugin_Name":"parental")"),
         ok("OXA_APP_GETSTATUS", R"("Name":"parental","State":"STOPPED")")},
        {cmd("OXA_APP_GETSTATUS"), fail("OXA_APP_GETSTATUS", "Missing_Plugin_Name")},
        {cmd("OXA_APP_INST_QUERY", R"("Plugin_Name":"speedtest")"),
         ok("OXA_APP_INST_QUERY", R"("State":"SUCCESS","Percent":100)")},
        {cmd("OXA_APP_INST_QUERY", R"("Plugin_Name":7)"), fail("OXA_APP_INST_QUERY", "Missing_Plugin_Name")},
        {cmd("OXA_APP_LIST"),
         ok("OXA_APP_LIST", R"("Plugins":[{"Name":"speedtest","Version":"1.2.0","State":"1","Pid":"1201"},)"
                            R"({"Name":"parental","Version":"0.9.3","State":"0","Pid":"0"},)"
                            R"({"Name":"libyvcore","Version":"2.0.1"}])")},
        {cmd("OXA_APP_OPERATE", R"("Action":"Run","Plugin_Name":"speedtest")"), ok("OXA_APP_OPERATE")},
        // No plug-in named: all of them, which the host does not know.
        {cmd("OXA_APP_OPERATE", R"("Action":"Stop")"), fail("OXA_APP_OPERATE", "Stop:-13")},
        {cmd("OXA_APP_OPERATE", R"("Action":"Reload","Plugin_Name":"")"), fail("OXA_APP_OPERATE", "Reload:-13")},
        {cmd("OXA_APP_OPERATE", R"("Plugin_Name":"speedtest")"), fail("OXA_APP_OPERATE", "Missing_Action")},
        {cmd("OXA_APP_OPERATE", R"("Action":"Bogus","Plugin_Name":"speedtest")"),
         fail("OXA_APP_OPERATE", "GDBus.Error:org.freedesktop.DBus.Error.UnknownMethod: unknown method Bogus")},
        {cmd("OXA_APP_OPERATE", R"("Action":"Run/x","Plugin_Name":"speedtest")"),
         fail("OXA_APP_OPERATE", "invalid method name")},
    };
    for (const agenttest::Step &s : steps)
        EXPECT_EQ(run(s.command), s.answer) << s.command;
    EXPECT_EQ(sim.last_args("Stop"), "('AllPlugin',)");
    EXPECT_EQ(sim.last_args("Reload"), "('AllPlugin',)");

    // The host failing each query.
    const agenttest::Step failing[] = {
        {cmd("OXA_APP_GETSTATUS", R"("Plugin_Name":"speedtest")"), fail("OXA_APP_GETSTATUS", "request failed.")},
        {cmd("OXA_APP_INST_QUERY", R"("Plugin_Name":"speedtest")"), fail("OXA_APP_INST_QUERY", "dbus error.")},
        {cmd("OXA_APP_LIST"), fail("OXA_APP_LIST", "List_Failed")},
    };
    for (const char *member : {"GetStatus", "InstQuery", "List"})
        sim.fail_next(member);
    for (const agenttest::Step &s : failing)
        EXPECT_EQ(run(s.command), s.answer) << s.command;
}

// A list longer than its area keeps whole entries and stays JSON.
TEST_F(PluginCommands, LongPluginListIsCutBetweenEntries)
{
    std::string dict = "(@a{sv} {";
    for (int i = 0; i < 80; ++i)
        dict += std::string(i ? ", " : "") + "'plugin" + std::to_string(i) + "': <('plugin" + std::to_string(i) +
                "_arm', '" + std::string(20, 'v') + "', uint32 1, 100)>";
    dict += "},)";
    sim.set_reply("List", dict);
    const std::string answer = run(cmd("OXA_APP_LIST"));
    json_error_t err;
    gwtest::Json parsed(json_loads(answer.c_str(), 0, &err));
    ASSERT_TRUE(parsed) << answer;
    json_t *plugins = json_object_get(parsed.get(), "Plugins");
    ASSERT_TRUE(json_is_array(plugins));
    EXPECT_GT(json_array_size(plugins), 40u);
    EXPECT_LT(json_array_size(plugins), 80u);
    gwagent::CharPtr text(json_dumps(plugins, JSON_COMPACT));
    EXPECT_LE(strlen(text.get()), 5120u);
    json_t *last = json_array_get(plugins, json_array_size(plugins) - 1);
    EXPECT_STREQ(json_string_value(json_object_get(last, "Pid")), "100");
}

TEST_F(PluginCommands, InstalledMeansControlFileAndFirstListedFilePresent)
{
    EXPECT_EQ(is_app_installed("alpha"), 0);
    root.write("/usr/lib/opkg/info/alpha.control", "Package: alpha\n");
    EXPECT_EQ(is_app_installed("alpha"), 1) << "no file list to check";
    root.write("/usr/lib/opkg/info/alpha.list", "/usr/bin/alpha\n/usr/lib/alpha.so\n");
    EXPECT_EQ(is_app_installed("alpha"), 0);
    EXPECT_TRUE(log.contains("file /usr/bin/alpha is not exist."));
    root.write("/usr/bin/alpha", "");
    EXPECT_EQ(is_app_installed("alpha"), 1);
    for (const char *bad : {"", "../info/alpha", ".alpha"})
        EXPECT_EQ(is_app_installed(bad), 0) << bad;
    EXPECT_EQ(is_app_installed(nullptr), 0);
}

}  // namespace
