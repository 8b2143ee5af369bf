// The plug-in and framework orders against the simulator: what is refused in the agent, what the
// plug-in host and the framework service are asked, and the answers built from their replies.

#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "command_steps.hpp"
#include "commands/cmd_plugin_handle.h"
#include "commands/cmd_zep.h"
#include "gwbus/util.h"

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

// The plug-in commands against the simulator's plug-in host: what is refused in the agent, what the
// host is asked, and the answers built from its replies.
namespace plugin {

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

}  // namespace plugin

// The framework's upgrade and restore orders: what is refused in the agent, and what reaches the
// framework service of the configuration simulator.
namespace zep {

constexpr const char *kUp = "OXA_ZEP_UPGRADE";
constexpr const char *kRestore = "OXA_ZEP_RESTORE";

std::string order(const std::string &module, const std::string &version, const std::string &up_mode,
                  const std::string &url, const std::string &extra = "")
{
    return R"("ModuleName":")" + module + R"(","Version":")" + version + R"(","RunMode":"1","FileSize":1024,)" +
           R"("UpMode":")" + up_mode + R"(","URL":")" + url + "\"" + extra;
}

class ZepCommands : public agenttest::CommandTest {
protected:
    void TearDown() override
    {
        uloop_timeout_cancel(&g_timeout_oxa_framework_restore0);
        CommandTest::TearDown();
    }
};

struct UpgradeCase {
    const char *current;  // running framework version
    std::string params;
    std::string answer;
    const char *call;  // arguments the framework service got, "" when it was not called
};

TEST_F(ZepCommands, UpgradeOrdersAreCheckedThenHandedToTheFrameworkService)
{
    const std::string url = "http://10.0.0.1/fw/zep_V2.1.0_vnd_arm.bin";
    const UpgradeCase cases[] = {
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "0", url), ok(kUp),
         "('http://10.0.0.1/fw/zep_V2.1.0_vnd_arm.bin', byte 0x00)"},
        {"V2.0.0_vnd_arm", order("all", "V2.1.0", "3", url), ok(kUp),
         "('http://10.0.0.1/fw/zep_V2.1.0_vnd_arm.bin', byte 0x03)"},
        // Only the low 8 bits go to the service; the checks read the whole value.
        {"V2.1.0_vnd_arm", order("zep", "V2.1.0", "257", url), fail(kUp, "version too lower"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "257", url), ok(kUp),
         "('http://10.0.0.1/fw/zep_V2.1.0_vnd_arm.bin', byte 0x01)"},
        // An equal version is not newer.
        {"V2.1.0_vnd_arm", order("zep", "V2.1.0", "1", url), fail(kUp, "version too lower"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "2", "http://h/zep_V2.1.0_other_mips.bin"),
         fail(kUp, "invalid vendor or arch"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "2", "http://h/zep_V2.1.0.bin"), fail(kUp, "no vendor or arch"), ""},
        // A file name without the order's version gives an empty tag.
        {"V2.0.0_vnd_arm", order("zep", "V9", "1", url), fail(kUp, "version too lower"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V9", "2", url), fail(kUp, "no vendor or arch"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "0", ""), fail(kUp, "invalid url or file"), ""},
        {"V2.0.0_vnd_arm", order("zep", "V2.1.0", "0", "", R"(,"Block":"true")"), fail(kUp, "invalid url or file"), ""},
        // "true" skips every check.
        {"V2.1.0_vnd_arm", order("zep", "V2.1.0", "3", "/tmp/anything", R"(,"Block":"true")"), ok(kUp),
         "('/tmp/anything', byte 0x03)"},
        {"V2.1.0_vnd_arm", order("zep", "V2.1.0", "1", url, R"(,"Block":"false")"), fail(kUp, "version too lower"), ""},
        {"V2.0.0_vnd_arm", order("ALL", "V2.1.0", "0", url), fail(kUp, "invalid_ModuleName"), ""},
        {"V2.0.0_vnd_arm", order("plugin", "V2.1.0", "0", url), fail(kUp, "invalid_ModuleName"), ""},
        {"V2.0.0_vnd_arm",
         R"("ModuleName":"zep","Version":"V2.1.0","RunMode":"1","FileSize":"1024","UpMode":"0",)"
         R"("URL":"http://h/zep_V2.1.0_vnd_arm.bin")",
         fail(kUp, "missing parameters"), ""},
        {"V2.0.0_vnd_arm", R"("ModuleName":"zep","Version":"V2.1.0","RunMode":"1","FileSize":1024,"UpMode":"0")",
         fail(kUp, "missing parameters"), ""},
    };
    for (const UpgradeCase &c : cases) {
        SCOPED_TRACE(c.params + " on " + c.current);
        sim.reset_counts();
        copy_truncated(g_dev_info.FrameworkVersion, c.current);
        EXPECT_EQ(run(cmd(kUp, c.params)), c.answer);
        EXPECT_EQ(sim.last_args("Upgrade"), c.call);
    }
}

TEST_F(ZepCommands, UpgradeRefusedByTheServiceOrLostOnTheBusAnswersOtherError)
{
    copy_truncated(g_dev_info.FrameworkVersion, "V2.0.0_vnd_arm");
    sim.fail_next("Upgrade");
    EXPECT_EQ(run(cmd(kUp, order("zep", "V2.1.0", "0", "http://h/zep_V2.1.0_vnd_arm.bin"))), fail(kUp, "other error"));
    EXPECT_EQ(sim.call_count("Upgrade"), 1u);
    const std::string zep_log = root.read("/hgutmp/zepsrv.log");
    EXPECT_NE(zep_log.find("zep download start : http://h/zep_V2.1.0_vnd_arm.bin"), std::string::npos) << zep_log;
    EXPECT_NE(zep_log.find("zep upgrade failed, because it is other error."), std::string::npos) << zep_log;

    zep_upgrade_order o{};
    copy_truncated(o.ModuleName, "zep");
    copy_truncated(o.URL, "http://h/zep_V2.1.0_vnd_arm.bin");
    copy_truncated(o.UpMode, "0");
    sim.fail_next("Upgrade");
    EXPECT_EQ(upgrade_framework_V1(&o), 99);
    EXPECT_EQ(upgrade_framework_V1(&o), 0);
    EXPECT_STREQ(zep_upgrade_result_text(0), "Success");
    EXPECT_STREQ(zep_upgrade_result_text(8), "system internal error");
    EXPECT_STREQ(zep_upgrade_result_text(10), "other error");
    EXPECT_STREQ(zep_upgrade_result_text(99), "other error");
}

TEST_F(ZepCommands, PackageFileNamesAreTakenApartAtTheirUnderscores)
{
    struct Case {
        const char *url;
        const char *version;
        const char *tag, *second, *third;
    };
    const Case cases[] = {
        {"http://h/fw/zep_V2.1.0_vnd_arm.bin", "V2.1.0", "V2.1.0_vnd_arm", "V2.1.0", "vnd_arm"},
        {"ftp://h/zep_V3_x_y.tar.gz", "V3", "V3_x_y.tar", "V3", "x_y.tar"},
        {"http://h/zep_V2.1.0.bin", "V2.1.0", "V2.1.0", "", ""},
        {"zep_V2.1.0_vnd_arm.bin", "V2.1.0", "", "", ""},
        {"http://h/zep-V2.1.0.bin", "V2.1.0", "", "", ""},
        {"http://h/zep_V2", "V2", "", "", ""},
        {"http://h/zep_V2.1.0_vnd_arm.bin", "V9", "", "", ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.url);
        zep_upgrade_order o{};
        copy_truncated(o.URL, c.url);
        copy_truncated(o.Version, c.version);
        std::string tag = "x", second = "x", third = "x";
        gwagent::get_downloadurl_info(o, tag, second, third);
        EXPECT_EQ(tag, c.tag);
        EXPECT_EQ(second, c.second);
        EXPECT_EQ(third, c.third);
    }
}

TEST_F(ZepCommands, RestoreAnswersFirstAndCallsTheServiceFiveSecondsAfterTheLastOrder)
{
    struct Case {
        std::string params;
        std::string answer;
        const char *log_line;
    };
    const Case refused[] = {
        {"", fail(kRestore, "parameter_error"), "OXA_ZEP_RESTORE json string missing Parameter Mode."},
        {R"("Mode":"0")", fail(kRestore, "parameter_error"), "OXA_ZEP_RESTORE json string missing Parameter Mode."},
        {R"("Mode":1)", fail(kRestore, "parameter_error"), "OXA_ZEP_RESTORE json string Parameter Mode(1) is invalid."},
    };
    for (const Case &c : refused) {
        SCOPED_TRACE(c.params);
        EXPECT_EQ(run(cmd(kRestore, c.params)), c.answer);
        EXPECT_TRUE(log.contains(c.log_line));
        EXPECT_FALSE(g_timeout_oxa_framework_restore0.pending);
    }

    EXPECT_EQ(run(cmd(kRestore, R"("Mode":0)")), ok(kRestore));
    ASSERT_TRUE(g_timeout_oxa_framework_restore0.pending);
    EXPECT_GT(uloop_timeout_remaining64(&g_timeout_oxa_framework_restore0), 4900);
    EXPECT_EQ(sim.call_count("Restore"), 0u) << "not before the timer";
    uloop_timeout_cancel(&g_timeout_oxa_framework_restore0);
    g_timeout_oxa_framework_restore0.cb(&g_timeout_oxa_framework_restore0);
    EXPECT_EQ(sim.call_count("Restore"), 1u);
    EXPECT_EQ(sim.call_log().back(), "/com/yvc/zep1 com.yvc.zep1.framework Restore");

    sim.fail_next("Restore");
    g_timeout_oxa_framework_restore0.cb(&g_timeout_oxa_framework_restore0);
    EXPECT_TRUE(log.contains("api_framework_Restore() failed, t_ret = -1."));
}

TEST_F(ZepCommands, NullFileIsCreatedWritableByAllAndKeepsExistingContents)
{
    const mode_t saved = umask(022);
    EXPECT_EQ(create_null_file("/hgutmp/marker"), 0);
    umask(saved);
    struct stat st {};
    ASSERT_EQ(stat(root.path("/hgutmp/marker").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
    root.write("/hgutmp/kept", "contents");
    EXPECT_EQ(create_null_file("/hgutmp/kept"), 0);
    EXPECT_EQ(root.read("/hgutmp/kept"), "contents");
    EXPECT_EQ(create_null_file("/no/such/dir/file"), -1);
    EXPECT_EQ(isBigend(), 1);
}

}  // namespace zep
