// WAN members: counts and names, one connection by name, PPPoE accounts with the password cipher,
// PPPoE diagnosis, and the delayed reboot and reset.
#include <string>
#include <utility>
#include <vector>

#include "command_fixture.hpp"
#include "core/crypto.h"
#include "gwbus/log.h"

namespace {

constexpr const char *kWan1 = "/com/yvc/igd1/Info/Network/WANConnectionDb/1";
constexpr const char *kWanIface = "com.yvc.igd1.WANConnectionInfo";

class WanCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        copy_truncated(g_dev_info.SNPrefix, "YVCG12");
        copy_truncated(g_dev_info.SharedPasswd, "0123456789abcdef0123456789abcdef");
    }
    static std::string key() { return std::string("YVCG12") + "0123456789abcdef0123456789abcdef"; }
};

TEST_F(WanCommands, WanNumberAddsBothKindsAndNamesEveryConnection)
{
    EXPECT_EQ(run_plain("QUERY_WAN_NUM"),
              head("QUERY_WAN_NUM") +
                  R"(,"NUM":"3","Description":"1_INTERNET_R_VID_41/2_TR069_R_VID_46/3_OTHER_B_VID_45"})");
    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run_plain("QUERY_WAN_NUM"), failure("QUERY_WAN_NUM", "NO_WANConnectionInfo"));
}

TEST_F(WanCommands, WanInfoByNameSplitsDnsListsAndShowsNanWithoutVlan)
{
    EXPECT_EQ(
        run(R"({"CmdType":"QUERY_WAN_INFO","SequenceId":"1","WANName":"1_INTERNET_R_VID_41"})"),
        head("QUERY_WAN_INFO") +
            R"(,"INDEX":"1","IFNAME":"ppp0","SERVICELIST":"INTERNET","CONNECTIONTYPE":"IP_Routed","VLANID":"41",)"
            R"("8021P":"0","CONNECTIONSTATUS":"Connected","IPADDRESS":"100.64.12.34","SUBNETMASK":"255.255.255.0",)"
            R"("GATEWAY":"100.64.12.1","DNS1":"61.139.2.69","DNS2":"218.6.200.139","IPV6_CONNECTIONSTATUS":"Connected",)"
            R"("IPV6_IPADDRESS":"2001:db8::1","IPV6_PREFIXLENGTH":"64","IPV6_GATEWAY":"fe80::1","IPV6_DNS1":"2001:db8::53",)"
            R"("IPV6_DNS2":"","IPV6_PRIFIX":"2001:db8:1::/64","Protocol":"2","LanInterface":"LAN1,LAN2,LAN3,LAN4,SSID1,SSID5"})");
    sim.set_property(kWan1, kWanIface, "VLANMode", "byte 0");
    const std::string untagged =
        run(R"({"CmdType":"QUERY_WAN_INFO","SequenceId":"1","WANName":"1_INTERNET_R_VID_41"})");
    EXPECT_NE(untagged.find(R"("VLANID":"NaN")"), std::string::npos) << untagged;
}

TEST_F(WanCommands, WanInfoRefusesAnEmptyNameWithoutABusCallAndReportsUnknownNames)
{
    const unsigned lookups = sim.call_count("GetWANConnByName");
    EXPECT_EQ(run(R"({"CmdType":"QUERY_WAN_INFO","SequenceId":"1","WANName":""})"),
              failure("QUERY_WAN_INFO", "parameter_error"));
    EXPECT_EQ(sim.call_count("GetWANConnByName"), lookups);
    EXPECT_EQ(run(R"({"CmdType":"QUERY_WAN_INFO","SequenceId":"1","WANName":"nope"})"),
              failure("QUERY_WAN_INFO", "GET_PATH_FAILED"));
    sim.fail_next("GetAll");
    EXPECT_EQ(run(R"({"CmdType":"QUERY_WAN_INFO","SequenceId":"1","WANName":"2_TR069_R_VID_46"})"),
              failure("QUERY_WAN_INFO", "object_not_exist"));
}

TEST_F(WanCommands, PppoeAccountPasswordLeavesEncryptedWithTheSessionKey)
{
    const std::string answer = run(R"({"CmdType":"GET_PPPOE_ACCOUNT","SequenceId":"1","WANName":"3_OTHER_B_VID_45"})");
    char secret[1025] = {};
    ASSERT_EQ(en_aes256_ecb1(key().c_str(), "secret2", secret, sizeof secret), 0);
    EXPECT_EQ(answer, head("GET_PPPOE_ACCOUNT") + R"(,"Account":"iptv@isp","Password":")" + secret +
                          R"(","DialMode":"OnDemand","IdleTime":600})");
    char plain[64] = {};
    ASSERT_EQ(de_aes256_ecb1(key().c_str(), secret, plain, sizeof plain), 0);
    EXPECT_STREQ(plain, "secret2");
    EXPECT_EQ(run(R"({"CmdType":"GET_PPPOE_ACCOUNT","SequenceId":"1","WANName":"2_TR069_R_VID_46"})"),
              failure("GET_PPPOE_ACCOUNT", "NOT_PPPoE_ROUTED_WAN"));
}

TEST_F(WanCommands, PppoeAccountIsSetWithTheDecryptedPrintablePassword)
{
    char secret[1025] = {};
    ASSERT_EQ(en_aes256_ecb1(key().c_str(), "n3w pass!", secret, sizeof secret), 0);
    EXPECT_EQ(run(std::string(R"({"CmdType":"SET_PPPOE_ACCOUNT","SequenceId":"1","WANName":"1_INTERNET_R_VID_41",)") +
                  R"("Account":"new@isp","Password":")" + secret + R"(","DialMode":"AlwaysOn","IdleTime":0})"),
              head("SET_PPPOE_ACCOUNT") + "}");
    EXPECT_EQ(sim.call_count("SetPPPOEAccount"), 1u);

    ASSERT_EQ(en_aes256_ecb1(key().c_str(), "bad\x01pw", secret, sizeof secret), 0);
    EXPECT_EQ(run(std::string(R"({"CmdType":"SET_PPPOE_ACCOUNT","SequenceId":"1","WANName":"1_INTERNET_R_VID_41",)") +
                  R"("Account":"new@isp","Password":")" + secret + R"(","DialMode":"AlwaysOn","IdleTime":0})"),
              failure("SET_PPPOE_ACCOUNT", "PWD_CHAR_INVALID"));
    EXPECT_TRUE(log.contains("passwd contains invalid characters."));
    EXPECT_EQ(run(R"({"CmdType":"SET_PPPOE_ACCOUNT","SequenceId":"1","WANName":"1_INTERNET_R_VID_41",)"
                  R"("Account":"a","Password":"zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz","DialMode":"AlwaysOn","IdleTime":0})"),
              failure("SET_PPPOE_ACCOUNT", "PWD_CHAR_INVALID"))
        << "a password that is not hex does not decrypt";
    EXPECT_EQ(sim.call_count("SetPPPOEAccount"), 1u);
}

TEST_F(WanCommands, PppoeDiagnosisNeedsARoutedPppoeConnection)
{
    EXPECT_EQ(run(R"({"CmdType":"PPPOE_DIAG_REQ_BY_WAN","SequenceId":"1","WANName":"1_INTERNET_R_VID_41"})"),
              failure("PPPOE_DIAG_REQ_BY_WAN", "NOT_PPPoE_ROUTED_WAN"));
    EXPECT_TRUE(log.contains("1_INTERNET_R_VID_41 is not PPPoE_Routed wan."));
    sim.set_property(kWan1, kWanIface, "ConnectionType", "'PPPoE_Routed'");
    sim.set_property(kWan1, kWanIface, "IPv6ConnectionStatus", "'Connecting'");
    sim.set_property(kWan1, kWanIface, "LastIPv6ConnectionError", "'ERROR_AUTHENTICATION_FAILURE'");
    EXPECT_EQ(
        run(R"({"CmdType":"PPPOE_DIAG_REQ_BY_WAN","SequenceId":"1","WANName":"1_INTERNET_R_VID_41"})"),
        head("PPPOE_DIAG_REQ_BY_WAN") +
            R"(,"ConnectionStatus":"0","WANStatus":"Connected","DialReason":"ERROR_NONE","ConnectionStatus1":"1",)"
            R"("WANStatus1":"Connecting","DialReason1":"ERROR_AUTHENTICATION_FAILURE","Protocol":"2"})");
    EXPECT_EQ(run(R"({"CmdType":"PPPOE_DIAG_REQ_BY_WAN","SequenceId":"1","WANName":"nope"})"),
              failure("PPPOE_DIAG_REQ_BY_WAN", "WAN_NO_EXIST"));
}

TEST_F(WanCommands, TwoRebootsThreeSecondsApartGiveOneCallFiveSecondsAfterTheSecond)
{
    EXPECT_EQ(run_plain("HG_COMMAND_REBOOT"), head("HG_COMMAND_REBOOT") + "}");
    ASSERT_TRUE(g_timeout_reboot.pending);
    // Three seconds later the platform asks again: the wait starts over at five seconds.
    EXPECT_EQ(run_plain("HG_COMMAND_REBOOT"), head("HG_COMMAND_REBOOT") + "}");
    const int64_t left = uloop_timeout_remaining64(&g_timeout_reboot);
    EXPECT_GT(left, 4000);
    EXPECT_LE(left, 5000);
    EXPECT_EQ(sim.call_count("Reboot"), 0u) << "nothing is called before the timer expires";
    // Expiry: exactly one call.
    uloop_timeout_cancel(&g_timeout_reboot);
    g_timeout_reboot.cb(&g_timeout_reboot);
    EXPECT_EQ(sim.call_count("Reboot"), 1u);
    EXPECT_TRUE(log.contains("call com.yvc.igd1.SysCmd.Reboot..."));
}

// The level of every line logged while it lives.
struct LevelCapture {
    LevelCapture() { gw_log_set_sink(&LevelCapture::sink, this); }
    ~LevelCapture() { gw_log_set_sink(nullptr, nullptr); }
    static void sink(int level, const char *line, void *user)
    {
        static_cast<LevelCapture *>(user)->lines.emplace_back(level, line ? line : "");
    }
    int level_of(const std::string &needle) const
    {
        for (const auto &l : lines)
            if (l.second.find(needle) != std::string::npos)
                return l.first;
        return -1;
    }
    std::vector<std::pair<int, std::string>> lines;
};

// A reboot or factory reset the service refuses later is a notable step, not an error of the agent.
TEST_F(WanCommands, LaterRebootAndResetFailuresAreNotices)
{
    struct Case {
        const char *cmd;
        uloop_timeout *timer;
        const char *member;
        const char *call;
    } const cases[] = {{"HG_COMMAND_REBOOT", &g_timeout_reboot, "Reboot", "mth_Reboot"},
                       {"HG_LOCAL_RECOVERY", &g_timeout_restore, "Restore", "mth_Restore"}};
    const int old_level = g_logLevel;
    g_logLevel = LOG_LVL_DEBUG;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cmd);
        EXPECT_EQ(run_plain(c.cmd), head(c.cmd) + "}");
        uloop_timeout_cancel(c.timer);
        LevelCapture levels;
        sim.fail_next(c.member);
        c.timer->cb(c.timer);
        EXPECT_EQ(levels.level_of(std::string(c.call) + "() failed, t_ret = -1."), LOG_LVL_NOTICE);
        sim.set_result(c.member, 5, "busy");
        c.timer->cb(c.timer);
        EXPECT_EQ(levels.level_of(std::string(c.call) + "() return failed, status = 5, busy."), LOG_LVL_NOTICE);
    }
    g_logLevel = old_level;
}

TEST_F(WanCommands, FactoryResetFailureIsOnlyLogged)
{
    EXPECT_EQ(run_plain("HG_LOCAL_RECOVERY"), head("HG_LOCAL_RECOVERY") + "}");
    ASSERT_TRUE(g_timeout_restore.pending);
    uloop_timeout_cancel(&g_timeout_restore);
    sim.fail_next("Restore");
    g_timeout_restore.cb(&g_timeout_restore);
    EXPECT_TRUE(log.contains("mth_Restore() failed, t_ret = -1."));
    EXPECT_EQ(sim.call_count("Restore"), 1u);
}

}  // namespace
