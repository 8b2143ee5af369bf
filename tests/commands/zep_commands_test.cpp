// The framework's upgrade and restore orders: what is refused in the agent, and what reaches the
// framework service of the configuration simulator.
#include <sys/stat.h>

#include <string>

#include "command_steps.hpp"
#include "commands/cmd_zep.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

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

}  // namespace
