// The device speed report (its timer fired here) and the hardware check (its result signal emitted by
// the simulator), against the default profile.
#include <string>

#include <gw/ubox.h>

#include "command_steps.hpp"
#include "commands/cmd_check_hardware.h"
#include "commands/cmd_device_speed.h"
#include "commands/cmd_lan_reports.h"
#include "commands/cmd_vpn_traffic.h"
#include "core/fifo_buffer.h"
#include "gwbus/bus.h"
#include "platform/conn.h"
#include "platform/records.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

constexpr char kHost[] = "/com/yvc/igd1/Config/LANHosts/";
constexpr char kHostIface[] = "com.yvc.igd1.LANHost";

uint32_t g_clock = 1700000000u;
uint32_t test_clock() { return g_clock; }

class ReportCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        copy_truncated(g_dev_info.MAC, "A1B2C3D4E5F6");
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        gwagent_set_clock(test_clock);
    }
    void TearDown() override
    {
        gwagent::device_speed_reset();
        gwagent::check_hardware_reset();
        gwagent::lan_reports_reset();
        gwagent::vpn_traffic_reset();
        gwagent_set_clock(nullptr);
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        CommandTest::TearDown();
    }
    void counter(int host, const char *name, unsigned long long value)
    {
        sim.set_property(kHost + std::to_string(host), kHostIface, name, "uint64 " + std::to_string(value));
    }
    // Fires a report timer; the texts pushed to the message server since the last call.
    std::vector<std::string> fire(struct uloop_timeout *t = gwagent::device_speed_timer())
    {
        uloop_timeout_cancel(t);
        t->cb(t);
        return pushed();
    }
    std::vector<std::string> pushed()
    {
        std::vector<std::string> pushed;
        void *p = nullptr;
        while (fifo_buffer_get(&g_msg_srv_fifo_buf, &p, nullptr) == 0) {
            pushed.emplace_back(static_cast<char *>(p));
            free(p);
        }
        return pushed;
    }
};

TEST_F(ReportCommands, DeviceSpeedParametersAreCheckedBeforeAnythingChanges)
{
    const std::string ds = "DEVICE_SPEED";
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"10","List":[])")), ok(ds));
    for (const char *params : {R"("Time":"10","List":[])", R"("Enable":1,"List":[])", R"("Enable":1,"Time":"10")",
                               R"("Enable":1,"Time":"-5","List":[])", R"("Enable":1,"Time":"99999999999","List":[])",
                               R"("Enable":1,"Time":"10","List":{})",
                               R"("Enable":1,"Time":"10","List":[{"MAC":"A0B1C2D3E4F1"},{"Mac":"x"}])"})
        EXPECT_EQ(run(cmd(ds, params)), fail(ds, "parameter_error")) << params;
    EXPECT_TRUE(log.contains("DEVICE_SPEED Time : -5 is invalid."));
    EXPECT_TRUE(log.contains("DEVICE_SPEED Parameter List json type is invalid, should be array"));
    // The running report was left alone.
    EXPECT_EQ(run_plain("GET_DEVICE_SPEED"), ok("GET_DEVICE_SPEED", R"("Enable":1)"));
    EXPECT_TRUE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, DeviceSpeedReportsRatesOfListedHostsAndTheGateway)
{
    const std::string ds = "DEVICE_SPEED";
    // The gateway's own MAC, in another case, adds the gateway.
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"10","List":[{"MAC":"a0b1c2d3e4f1"},{"MAC":"a1b2c3d4e5f6"}])")), ok(ds));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::device_speed_timer()) + 500) / 1000, 10);
    counter(1, "TxBytes", 654321 + 102400);  // 100 KiB in 10 s: 80 kbps
    counter(1, "RxBytes", 123456 + 56320);   // 55 KiB: 5 KiB/s cut to whole, 40 kbps
    sim.set_property("/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "BytesSent", "uint64 124480789");
    sim.set_property("/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "BytesReceived", "uint64 5");
    EXPECT_EQ(fire(), std::vector<std::string>{
                          R"({"CmdType":" DEVICE_SPEED","GateWay":{"MAC":"A1B2C3D4E5F6","UsBandwidth":"800kbps",)"
                          R"("DsBandwidth":"0kbps"},"Device":[{"DevName":"phone-anna","DevMAC":"A0B1C2D3E4F1",)"
                          R"("UsBandwidth":"80kbps","DsBandwidth":"40kbps"}]})"});
    EXPECT_TRUE(gwagent::device_speed_timer()->pending);

    // A new request replaces the report whole: every online host, first rates 0, no gateway.
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"5","List":[])")), ok(ds));
    EXPECT_EQ(fire(), std::vector<std::string>{
                          R"({"CmdType":" DEVICE_SPEED","Device":[{"DevName":"phone-anna","DevMAC":"A0B1C2D3E4F1",)"
                          R"("UsBandwidth":"0kbps","DsBandwidth":"0kbps"},{"DevName":"laptop-ben",)"
                          R"("DevMAC":"a0b1c2d3e4f2","UsBandwidth":"0kbps","DsBandwidth":"0kbps"}]})"});

    ASSERT_EQ(run(cmd(ds, R"("Enable":0,"Time":"5","List":[])")), ok(ds));
    EXPECT_EQ(run_plain("GET_DEVICE_SPEED"), ok("GET_DEVICE_SPEED", R"("Enable":0)"));
    EXPECT_FALSE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, DeviceSpeedWithTimeZeroEndsAtTheFirstExpiryWithoutAReport)
{
    ASSERT_EQ(run(cmd("DEVICE_SPEED", R"("Enable":1,"Time":"0","List":[])")), ok("DEVICE_SPEED"));
    EXPECT_EQ(fire(), std::vector<std::string>{});
    EXPECT_TRUE(log.contains("disable DEVICE_SPEED report."));
    EXPECT_FALSE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, LanDeviceAccessForwardsEachSignalWhileSubscribed)
{
    const std::string access = "LAN_DEVICE_ACCESS", get = "GET_LAN_DEVICE_ACCESS";
    EXPECT_EQ(run(cmd(access, R"("Enable":0)")), fail(access, "DISABLE_FAILED"));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    EXPECT_EQ(run(cmd(access, R"("Enable":"1")")), fail(access, "parameter_error"));
    EXPECT_EQ(run(cmd(access, R"("Enable":1)")), ok(access));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    auto emit = [&](const char *payload) {
        sim.control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Config/LANHosts",
                                                "com.yvc.igd1.LANHostManager", "LanDeviceAccess", payload));
    };
    emit("(@a{sv} {},)");
    emit("('dev-1', 'A0B1C2D3E4F1', '192.168.1.20', 'LAN1', byte 1, byte 0, 'phone \"x\"', 'Android', '2024-01-02')");
    ASSERT_TRUE(gwtest::wait_until([] { return fifo_buffer_get_num(&g_msg_srv_fifo_buf) > 0; }));
    EXPECT_EQ(pushed(), std::vector<std::string>{R"({"CmdType":"LAN_DEVICE_ACCESS","Info":"dev-1:A0B1C2D3E4F1:)"
                                                 R"(192.168.1.20:LAN1:1:0:phone \"x\":Android:2024-01-02"})"});
    EXPECT_TRUE(log.contains("get info from LanDeviceAccess is invalid."));
    EXPECT_EQ(run(cmd(access, R"("Enable":0)")), ok(access));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

TEST_F(ReportCommands, LanSpeedReportsTheSelectedPortsOnItsTimer)
{
    const std::string set = "SET_LAN_SPEED", get = "GET_LAN_SPEED";
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"0")")), fail(set, "Parse input params fail!"));
    EXPECT_EQ(run(cmd(set, R"("Time":"10")")), fail(set, "Parse input params fail!"));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    // A negative time is taken as its size; indexes outside 1..32 select nothing.
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"-10","List":[{"index":2},{"index":40}])")), ok(set));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::lan_speed_timer()) + 500) / 1000, 10);
    const char *port2 = "/com/yvc/igd1/Config/EthernetConfig/2";
    sim.set_property(port2, "com.yvc.igd1.EthernetConfig", "BytesSent", "uint64 2012800");  // 12800 B in 10 s
    // A counter that went back (the port was reset) counts from 0.
    sim.set_property(port2, "com.yvc.igd1.EthernetConfig", "BytesReceived", "uint64 2560");
    EXPECT_EQ(fire(gwagent::lan_speed_timer()),
              std::vector<std::string>{
                  R"({"CmdType":"LAN_SPEED","Traffic":[{"Index":2,"UsBandwidth":"10kbps","DsBandwidth":"2kbps"}]})"});
    EXPECT_TRUE(gwagent::lan_speed_timer()->pending);

    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"5","List":[{"index":40}])")), ok(set));
    EXPECT_EQ(fire(gwagent::lan_speed_timer()), std::vector<std::string>{R"({"CmdType":"LAN_SPEED","Traffic":[]})"});
    EXPECT_EQ(run(cmd(set, R"("Enable":0,"Time":"5")")), ok(set));
    EXPECT_FALSE(gwagent::lan_speed_timer()->pending);
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

TEST_F(ReportCommands, VpnTrafficReportsTheTunnelsOnItsTimer)
{
    const std::string set = "VPN_STATUC_TRAFFIC", get = "GET_VPN_STATUC_TRAFFIC";
    for (const char *params : {R"("Enable":2,"Time":"30")", R"("Enable":1,"Time":"3O")", R"("Enable":1,"Time":"-3")",
                               R"("Enable":1,"Time":"0")", R"("Enable":1)"})
        EXPECT_EQ(run(cmd(set, params)), fail(set, "Parse input params fail!")) << params;
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"30")")), ok(set));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::vpn_traffic_timer()) + 500) / 1000, 30);
    const char *tunnel = "/com/yvc/igd1/VPN/IPSec/1";
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "Status", "'Connected'");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "RxPkts", "uint64 10");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "TxPkts", "uint64 20");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "RxBytes", "uint64 10240");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "TxBytes", "uint64 2047");
    EXPECT_EQ(fire(gwagent::vpn_traffic_timer()),
              std::vector<std::string>{
                  R"({"CmdType":"VPN_STATUC_TRAFFIC","Enable":1,"VPNType":"IPSec","VPNNum":1,"IPSecNum":1,)"
                  R"("IPSecList":[{"Index":1,"Enable":1,"Status":"Connected","RxPkts":"10","TxPkts":"20",)"
                  R"("RxBytes":"10","TxBytes":"1"}],"VxLANNum":1,"VxLANList":[{"Index":1,"Enable":0,"Status":"",)"
                  R"("RxPkts":"0","TxPkts":"0","RxBytes":"0","TxBytes":"0"}]})"});
    EXPECT_TRUE(gwagent::vpn_traffic_timer()->pending);
    // With the VPN off the lists are empty.
    sim.set_property("/com/yvc/igd1/VPN", "com.yvc.igd1.VPN", "Enable", "false");
    EXPECT_EQ(fire(gwagent::vpn_traffic_timer()),
              std::vector<std::string>{R"({"CmdType":"VPN_STATUC_TRAFFIC","Enable":0,"VPNType":"IPSec","VPNNum":1,)"
                                       R"("IPSecNum":0,"IPSecList":[],"VxLANNum":0,"VxLANList":[]})"});
    EXPECT_EQ(run(cmd(set, R"("Enable":0,"Time":"30")")), ok(set));
    EXPECT_FALSE(gwagent::vpn_traffic_timer()->pending);
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

class HardwareCheck : public ReportCommands {
protected:
    void result(const std::string &payload)
    {
        sim.control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                                "CheckHardwareStatus", payload.c_str()));
        // The handler ends its own subscription once it has the result.
        EXPECT_TRUE(gwtest::wait_until([] {
            return check_dbus_SubscribeSignal_Enable(nullptr, "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                                     "CheckHardwareStatus") == 0;
        }));
    }
    const std::string start = "CHECK_HARDWARE_START";
    const std::string status = "CHECK_HARDWARE_STATUS";
};

TEST_F(HardwareCheck, StartThenResultThenExpiry)
{
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
    EXPECT_EQ(run_plain(start), ok(start));
    EXPECT_EQ(run_plain(start), ok(start));
    EXPECT_EQ(sim.call_count("CheckHardwareStart"), 1u);
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_TESTING"));
    result("({'CPUStatus': <'OK'>, 'WIFIStatus': <'OK'>, 'LSWStatus': <'FAIL'>, 'CodecStatus': <'OK'>, "
           "'OpticStatus': <'WEAK-SIGNAL'>, 'LAN1': <'UP'>, 'LAN2': <'DOWN'>, 'FAN': <'x'>}, uint32 0, '')");
    const std::string finished =
        ok(status, R"("CPUStatus":"OK","WIFIStatus":"OK","LSWStatus":"FAIL","CodecStatus":"OK",)"
                   R"("OpticStatus":"WEAK-SI","LANNum":2,"LAN1":"UP","LAN2":"DOWN")");
    EXPECT_EQ(run_plain(status), finished);
    EXPECT_TRUE(log.contains("7 key string is not match key [FAN]."));
    g_clock += 900;
    EXPECT_EQ(run_plain(status), finished);
    g_clock += 1;
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
}

TEST_F(HardwareCheck, FailuresOfTheStartAndOfTheCheck)
{
    sim.fail_next("CheckHardwareStart");
    EXPECT_EQ(run_plain(start), fail(start, "callMethod_failed"));
    sim.set_reply("CheckHardwareStart", "(uint32 4, 'self test busy')");
    EXPECT_EQ(run_plain(start), fail(start, "self test busy"));
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
    sim.set_reply("CheckHardwareStart", "");

    EXPECT_EQ(run_plain(start), ok(start));
    result("(@a{sv} {}, uint32 5, 'optic module missing')");
    EXPECT_EQ(run_plain(status), fail(status, "optic module missing"));
    EXPECT_EQ(run_plain(start), ok(start));
    result("(@a{sv} {}, uint32 5, '')");
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_ERROR"));
}

}  // namespace
