// WAN members: counts and names, one connection by name, PPPoE accounts with the password cipher,
// PPPoE diagnosis, and the delayed reboot and reset.
#include <string>
#include <utility>
#include <vector>

#include "command_rows.hpp"
#include "core/crypto.h"
#include "gwbus/log.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

constexpr const char *kWan1 = "/com/yvc/igd1/Info/Network/WANConnectionDb/1";
constexpr const char *kWanIface = "com.yvc.igd1.WANConnectionInfo";

class WanCommands : public agenttest::RowTest {
protected:
    void SetUp() override
    {
        RowTest::SetUp();
        copy_truncated(g_dev_info.SNPrefix, "YVCG12");
        copy_truncated(g_dev_info.SharedPasswd, "0123456789abcdef0123456789abcdef");
    }
    // The password field as the session key encrypts it.
    static std::string secret(const char *plain)
    {
        char out[1025] = {};
        EXPECT_EQ(en_aes256_ecb1("YVCG120123456789abcdef0123456789abcdef", plain, out, sizeof out), 0);
        return out;
    }
    static std::string wan(const char *name) { return std::string(R"("WANName":")") + name + "\""; }
};

TEST_F(WanCommands, ConnectionsAnswerByNameWithTheirWords)
{
    const std::string internet = wan("1_INTERNET_R_VID_41");
    // clang-format off
    play({
        {cmd("QUERY_WAN_NUM"), ok("QUERY_WAN_NUM", R"("NUM":"3","Description":"1_INTERNET_R_VID_41/2_TR069_R_VID_46/3_OTHER_B_VID_45")")},
        {cmd("QUERY_WAN_NUM"), fail("QUERY_WAN_NUM", "NO_WANConnectionInfo"), "GetManagedObjects"},
        {cmd("QUERY_WAN_INFO", internet), ok("QUERY_WAN_INFO",
            R"("INDEX":"1","IFNAME":"ppp0","SERVICELIST":"INTERNET","CONNECTIONTYPE":"IP_Routed","VLANID":"41",)"
            R"("8021P":"0","CONNECTIONSTATUS":"Connected","IPADDRESS":"100.64.12.34","SUBNETMASK":"255.255.255.0",)"
            R"("GATEWAY":"100.64.12.1","DNS1":"61.139.2.69","DNS2":"218.6.200.139","IPV6_CONNECTIONSTATUS":"Connected",)"
            R"("IPV6_IPADDRESS":"2001:db8::1","IPV6_PREFIXLENGTH":"64","IPV6_GATEWAY":"fe80::1","IPV6_DNS1":"2001:db8::53",)"
            R"("IPV6_DNS2":"","IPV6_PRIFIX":"2001:db8:1::/64","Protocol":"2","LanInterface":"LAN1,LAN2,LAN3,LAN4,SSID1,SSID5")")},
        {cmd("QUERY_WAN_INFO", wan("nope")), fail("QUERY_WAN_INFO", "GET_PATH_FAILED")},
        {cmd("QUERY_WAN_INFO", wan("2_TR069_R_VID_46")), fail("QUERY_WAN_INFO", "object_not_exist"), "GetAll"},
        {cmd("GET_PPPOE_ACCOUNT", wan("3_OTHER_B_VID_45")),
         ok("GET_PPPOE_ACCOUNT", R"("Account":"iptv@isp","Password":")" + secret("secret2") + R"(","DialMode":"OnDemand","IdleTime":600)")},
        {cmd("GET_PPPOE_ACCOUNT", wan("2_TR069_R_VID_46")), fail("GET_PPPOE_ACCOUNT", "NOT_PPPoE_ROUTED_WAN")},
        {cmd("PPPOE_DIAG_REQ_BY_WAN", internet), fail("PPPOE_DIAG_REQ_BY_WAN", "NOT_PPPoE_ROUTED_WAN")},
        {cmd("PPPOE_DIAG_REQ_BY_WAN", internet), ok("PPPOE_DIAG_REQ_BY_WAN",
            R"("ConnectionStatus":"0","WANStatus":"Connected","DialReason":"ERROR_NONE","ConnectionStatus1":"1",)"
            R"("WANStatus1":"Connecting","DialReason1":"ERROR_AUTHENTICATION_FAILURE","Protocol":"2")"), nullptr, "*",
         {{kWan1, kWanIface, "ConnectionType", "'PPPoE_Routed'"}, {kWan1, kWanIface, "IPv6ConnectionStatus", "'Connecting'"},
          {kWan1, kWanIface, "LastIPv6ConnectionError", "'ERROR_AUTHENTICATION_FAILURE'"}}},
        {cmd("PPPOE_DIAG_REQ_BY_WAN", wan("nope")), fail("PPPOE_DIAG_REQ_BY_WAN", "WAN_NO_EXIST")},
    });
    // clang-format on
    expect_logged({"1_INTERNET_R_VID_41 is not PPPoE_Routed wan."});
    sim.set_property(kWan1, kWanIface, "VLANMode", "byte 0");
    EXPECT_NE(run(cmd("QUERY_WAN_INFO", internet)).find(R"("VLANID":"NaN")"), std::string::npos);
    // An empty name is refused without a bus call.
    const unsigned lookups = sim.call_count("GetWANConnByName");
    play({{cmd("QUERY_WAN_INFO", wan("")), fail("QUERY_WAN_INFO", "parameter_error")}});
    EXPECT_EQ(sim.call_count("GetWANConnByName"), lookups);
}

TEST_F(WanCommands, PppoeAccountIsSetWithTheDecryptedPrintablePasswordOnly)
{
    const auto set = [](const std::string &password) {
        return cmd("SET_PPPOE_ACCOUNT", R"("WANName":"1_INTERNET_R_VID_41","Account":"new@isp","Password":")" +
                                            password + R"(","DialMode":"AlwaysOn","IdleTime":0)");
    };
    // clang-format off
    play({
        {set(secret("n3w pass!")), ok("SET_PPPOE_ACCOUNT")},
        {set(secret("bad\x01pw")), fail("SET_PPPOE_ACCOUNT", "PWD_CHAR_INVALID")},
        // A password that is not hex does not decrypt.
        {set("zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"), fail("SET_PPPOE_ACCOUNT", "PWD_CHAR_INVALID")},
    });
    // clang-format on
    EXPECT_EQ(sim.call_count("SetPPPOEAccount"), 1u);
    expect_logged({"passwd contains invalid characters."});
}

TEST_F(WanCommands, TwoRebootsThreeSecondsApartGiveOneCallFiveSecondsAfterTheSecond)
{
    EXPECT_EQ(run_plain("HG_COMMAND_REBOOT"), ok("HG_COMMAND_REBOOT"));
    ASSERT_TRUE(g_timeout_reboot.pending);
    // Three seconds later the platform asks again: the wait starts over at five seconds.
    EXPECT_EQ(run_plain("HG_COMMAND_REBOOT"), ok("HG_COMMAND_REBOOT"));
    const int64_t left = uloop_timeout_remaining64(&g_timeout_reboot);
    EXPECT_GT(left, 4000);
    EXPECT_LE(left, 5000);
    EXPECT_EQ(sim.call_count("Reboot"), 0u) << "nothing is called before the timer expires";
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

}  // namespace
