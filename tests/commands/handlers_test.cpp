// The built command handlers and the start-up reads of the configuration service, against igd1sim
// on the private bus.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "command_rows.hpp"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "platform/records.h"

using agenttest::dispatch_command;
using agenttest::drain_answers;

namespace {

constexpr const char *kDevice = "/com/yvc/igd1/Info/Device";
constexpr const char *kDeviceIface = "com.yvc.igd1.DeviceInfo";

std::string uci(const char *pkg, const char *sec, const char *opt)
{
    char buf[4096] = {};
    return uci_config_get(pkg, sec, opt, buf) == 0 ? std::string(buf) : std::string("<none>");
}

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

class Handlers : public agenttest::RowTest {};

}  // namespace

TEST_F(Handlers, OntNameIsReadEscapedAndWrittenCutTo255)
{
    // clang-format off
    play({
        {cmd("GET_ONT_NAME"), ok("GET_ONT_NAME", R"("Name":"Living room gateway")")},
        {cmd("GET_ONT_NAME"), fail("GET_ONT_NAME", "NO_DevName"), "Get"},
        {cmd("SET_ONT_NAME"), fail("SET_ONT_NAME", "parameter_error")},
        {cmd("SET_ONT_NAME", R"("Name":12)"), fail("SET_ONT_NAME", "parameter_error")},
    });
    EXPECT_EQ(sim.call_count("Set"), 0u);
    play({
        {cmd("SET_ONT_NAME", R"("Name":"x")"), fail("SET_ONT_NAME", "SET_FAILED"), "Set"},
        {cmd("GET_ONT_NAME"), ok("GET_ONT_NAME", R"("Name":"Living room gateway")")},
        {cmd("SET_ONT_NAME", R"("Name":"Study")"), ok("SET_ONT_NAME")},
        {cmd("GET_ONT_NAME"), ok("GET_ONT_NAME", R"("Name":"Study")")},
        {cmd("GET_ONT_NAME"), ok("GET_ONT_NAME", R"("Name":"say \"hi\" \\ bye")"), nullptr, "*", {{kDevice, kDeviceIface, "DevName", "'say \"hi\" \\\\ bye'"}}},
        {cmd("SET_ONT_NAME", R"("Name":")" + std::string(300, 'n') + "\""), ok("SET_ONT_NAME")},
    });
    // clang-format on
    EXPECT_EQ(sim.get_property(kDevice, kDeviceIface, "DevName"), "'" + std::string(255, 'n') + "'");
    expect_logged({"get DeviceInfo.DevName failed.", "SET_ONT_NAME json string missing Parameter Name",
                   "get input args from json string failed.", "set DeviceInfo.DevName failed."});
}

TEST_F(Handlers, GetCloudStatusNamesEveryStatus)
{
    const char *names[] = {"NotConnect",  "Connecting",    "Registing", "Heartbeating",
                           "Heartbeated", "RegisterError", "NotConnect"};
    for (int status = 0; status <= 6; ++status) {
        app_domain_info[DOMAIN_DISTR].status = static_cast<uint8_t>(status);
        EXPECT_EQ(
            run("{\"CmdType\":\"GET_CLOUD_STATUS\",\"SequenceId\":\"s\"}"),
            std::string("{\"CmdType\":\"GET_CLOUD_STATUS\",\"SequenceId\":\"s\",\"Status\":\"0\",\"CloudStatus\":\"") +
                names[status] + "\"}")
            << status;
    }
}

TEST_F(Handlers, SetLogLevelStoresAnnouncesAndArmsTheRestoreTimer)
{
    GW_REQUIRE_UCI();
    EXPECT_EQ(run("{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Duration\":120,\"Level\":6}"),
              "{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Status\":\"0\"}");
    EXPECT_EQ(uci("log", "temp", "log_level"), "info");
    EXPECT_EQ(uci("log", "temp", "log_duration"), "120");
    EXPECT_EQ(g_logLevel, 6);
    ASSERT_TRUE(g_timeout_syslog.pending);
    const int64_t left = uloop_timeout_remaining64(&g_timeout_syslog);
    EXPECT_LE(left, 120000);
    EXPECT_GT(left, 110000);

    // Expiry restores the error level.
    uloop_timeout_cancel(&g_timeout_syslog);
    ucf_timeout_syslog_cb(&g_timeout_syslog);
    EXPECT_EQ(uci("log", "temp", "log_level"), "err");
    EXPECT_EQ(uci("log", "temp", "log_duration"), "0");
    EXPECT_EQ(g_logLevel, 3);
}

TEST_F(Handlers, SetLogLevelOutOfRangeOrMistypedIsAParameterError)
{
    struct Case {
        const char *params;
        const char *log_line;
    };
    const Case cases[] = {
        {"\"Duration\":59,\"Level\":3", "Parameter Duration error 59"},
        {"\"Duration\":3601,\"Level\":3", "Parameter Duration error 3601"},
        {"\"Duration\":60,\"Level\":8", "Parameter Level error 8"},
        {"\"Duration\":3600,\"Level\":-1", "Parameter Level error -1"},
        {"\"Duration\":\"120\",\"Level\":3", "get input args from json string failed."},
        {"\"Level\":3", "get input args from json string failed."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.params);
        log.clear();
        EXPECT_EQ(run(std::string("{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",") + c.params + "}"),
                  "{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Status\":\"1\",\"FailReason\":\"parameter_"
                  "error\"}");
        EXPECT_TRUE(log.contains(c.log_line));
    }
    EXPECT_FALSE(g_timeout_syslog.pending);
    EXPECT_EQ(uci("log", "temp", "log_level"), "<none>");
}

TEST_F(Handlers, SetLogLevelWithoutWritableConfigAnswersConfigFailed)
{
    // Configuration directories that are files: nothing can be saved.
    const std::string cmd = "rm -rf '" + root.path("/etc/config") + "' '" + root.path("/tmp/.uci") + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
    root.write("/etc/config", "");
    root.write("/tmp/.uci", "");
    EXPECT_EQ(run("{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Duration\":60,\"Level\":7}"),
              "{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Status\":\"1\",\"FailReason\":\"config_failed\"}");
    EXPECT_TRUE(log.contains("change log config failed!"));
    EXPECT_FALSE(g_timeout_syslog.pending);
}

TEST_F(Handlers, DevinfoReadsTheServiceAndBuildsTheSerialPrefix)
{
    sim.set_property(kDevice, kDeviceIface, "ModelName", "'hg6543c-x'");
    gwagent_devinfo_init();
    EXPECT_STREQ(g_dev_info.MAC, "A4B1C2D3E4F5");
    EXPECT_STREQ(g_dev_info.GPONSN, "YVCG12345678");
    EXPECT_STREQ(g_dev_info.SNPrefix, "YVCG12");
    EXPECT_STREQ(g_dev_info.ModelName, "HG6543C-X");
    EXPECT_STREQ(g_dev_info.PlatformVersion, "1.0");
    EXPECT_STREQ(g_dev_info.Province, "GD");
    EXPECT_EQ(g_dev_info.DevWiFi, 2);
    EXPECT_EQ(g_dev_info.POTSNum, 1u);
    EXPECT_TRUE(log.contains("DeviceInfo.KernelBit[32]"));
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
}

TEST_F(Handlers, DevinfoWithEmptyGponsnTakesThePrefixFromTheMac)
{
    sim.set_property(kDevice, kDeviceIface, "GPONSN", "''");
    gwagent_devinfo_init();
    EXPECT_STREQ(g_dev_info.SNPrefix, "A4B1C2");
}

TEST_F(Handlers, DevinfoStoresAConnectedWanAddress)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(uci_config_set("gwagent", "global", "status", "1", 0), 0);
    gwagent_devinfo_init();
    EXPECT_STREQ(g_dev_info.WANConnectionStatus, "Connected");
    EXPECT_NE(g_dev_info.WANIPAddr[0], '\0');
    EXPECT_EQ(uci("gwagent", "global", "WANIPAddr"), g_dev_info.WANIPAddr);
    EXPECT_TRUE(log.contains(std::string("wan v4ip ") + g_dev_info.WANIPAddr + " connected."));
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('1'));
}

TEST_F(Handlers, DevinfoFailuresKeepDefaultsAndOldValues)
{
    strcpy(g_dev_info.MAC, "001122334455");
    sim.remove_object("/com/yvc/igd1/Info/MngPlat");
    sim.remove_object(kDevice);
    sim.set_property("/com/yvc/igd1/Info/Network", "com.yvc.igd1.NetworkInfo", "WANConnectionStatus", "'Connecting'");
    gwagent_devinfo_init();
    EXPECT_TRUE(log.contains("Get MngPlatInfo Failed, use default config!"));
    EXPECT_TRUE(log.contains("Get device info failed!"));
    EXPECT_STREQ(g_dev_info.PlatformVersion, "1.0");
    EXPECT_STREQ(g_dev_info.Province, "NULL");
    EXPECT_STREQ(g_dev_info.MAC, "001122334455");
    EXPECT_STREQ(g_dev_info.WANIPAddr, "");
}

TEST_F(Handlers, ResolverFileTakesTwoServersOfEachFamily)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(gwagent_set_dns(), 0);
    const std::string want = "nameserver 61.139.2.69\nnameserver 218.6.200.139\nnameserver 2001:db8::53\n";
    EXPECT_EQ(root.read("/tmp/resolv.conf"), want);
    EXPECT_EQ(root.read("/tmp/.uci/resolv.conf"), want);
    EXPECT_EQ(uci("system", "dnsserver", "v4dns1"), "61.139.2.69");
    EXPECT_EQ(uci("system", "dnsserver", "v4dns2"), "218.6.200.139");
    EXPECT_EQ(uci("system", "dnsserver", "v6dns1"), "2001:db8::53");

    // Unusable entries are skipped; a rewrite replaces both files.
    const std::string wan = "/com/yvc/igd1/Info/Network/WANConnectionDb/1";
    sim.set_property(wan, "com.yvc.igd1.WANConnectionInfo", "DNSServers", "'0.0.0.0,8.8.4.4,9.9.9.9'");
    sim.set_property(wan, "com.yvc.igd1.WANConnectionInfo", "IPv6DNSServers", "'::1,2001:db8::2'");
    ASSERT_EQ(gwagent_set_dns(), 0);
    EXPECT_EQ(root.read("/tmp/resolv.conf"), "nameserver 8.8.4.4\nnameserver 2001:db8::2\n");
    EXPECT_EQ(uci("system", "dnsserver", "v4dns2"), "8.8.4.4");
    EXPECT_EQ(uci("system", "dnsserver", "v6dns2"), "2001:db8::2");
}

TEST_F(Handlers, ResolverFileIsEmptiedWhenTheInternetConnectionIsUnknown)
{
    ASSERT_EQ(gwagent_set_dns(), 0);
    sim.fail_next("GetInternetConnIndex");
    // A strict umask: the read bits come from the agent, not from the default creation mode.
    unlink(root.path("/tmp/resolv.conf").c_str());
    const mode_t saved = umask(077);
    EXPECT_EQ(gwagent_set_dns(), -1);
    umask(saved);
    EXPECT_TRUE(log.contains("call GetInternetConnIndex failed, -1,0."));
    EXPECT_EQ(root.read("/tmp/resolv.conf"), "");
    struct stat st {};
    ASSERT_EQ(stat(root.path("/tmp/resolv.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0444, 0444u);
}
