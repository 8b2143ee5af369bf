// The built handlers against the simulator: device, LAN host, WAN, history, voice, FTTO and registration
// members, and the start-up reads of the configuration service.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <jansson.h>

#include "command_rows.hpp"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "core/crypto.h"
#include "gwbus/log.h"
#include "gwbus/util.h"
#include "platform/conn.h"
#include "platform/records.h"

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

// Device and Ethernet port members: single properties, system and PON readings, LAN addressing, port
// status and traffic, host speed-up and registration, against the simulator's default profile.
namespace device {

constexpr const char *kLed = "/com/yvc/igd1/Config/Peripheral/LED";
constexpr const char *kSleep = "/com/yvc/igd1/Config/Power/SleepTimer";
constexpr const char *kPon = "/com/yvc/igd1/Info/PON";
constexpr const char *kDhcp = "/com/yvc/igd1/Config/DHCPServer";
constexpr const char *kEth = "/com/yvc/igd1/Config/EthernetConfig/";

class DeviceCommands : public agenttest::RowTest {};

TEST_F(DeviceCommands, ReadingsAnswerInTheirOwnFormOrTheirFailureWord)
{
    // clang-format off
    play({
        {cmd("GET_LED_STATUS"), ok("GET_LED_STATUS", R"("LEDStatus":"ON")")},
        {cmd("GET_SLEEP_MODE"), ok("GET_SLEEP_MODE", R"("Switch":"OFF")")},
        {cmd("GET_PRECONFIG_INFO"), ok("GET_PRECONFIG_INFO", R"("Province":"GD")")},
        {cmd("QUERY_CPU_INFO"), ok("QUERY_CPU_INFO", R"("Percent":"12")")},
        {cmd("QUERY_MEM_INFO"), ok("QUERY_MEM_INFO", R"("Percent":"43")")},
        {cmd("GET_LED_STATUS"), ok("GET_LED_STATUS", R"("LEDStatus":"OFF")"), nullptr, "*", {{kLed, "com.yvc.igd1.LED", "LEDStatus", "byte 0"}}},
        // The prefix is added only for the two registration states.
        {cmd("GET_PON_STATUS"), ok("GET_PON_STATUS", R"("PonStatus":"")")},
        {cmd("GET_PON_STATUS"), ok("GET_PON_STATUS", R"("PonStatus":"PON_STATUS_NO_REG_NO_AUTH")"), nullptr, "*", {{kPon, "com.yvc.igd1.PONInfo", "PONStatus", "'NO_REG_NO_AUTH'"}}},
        {cmd("GET_PON_STATUS"), ok("GET_PON_STATUS", R"("PonStatus":"PON_STATUS_REG_AUTH")"), nullptr, "*", {{kPon, "com.yvc.igd1.PONInfo", "PONStatus", "'REG_AUTH'"}}},
        {cmd("GET_LED_STATUS"), fail("GET_LED_STATUS", "NO_LEDStatus"), "Get"},
        {cmd("GET_SLEEP_MODE"), fail("GET_SLEEP_MODE", "NO_Switch"), nullptr, "*", {{kSleep, "com.yvc.igd1.SleepTimer", "Switch", "'yes'"}}},
        {cmd("QUERY_MEM_INFO"), fail("QUERY_MEM_INFO", "NO_MEMUsage"), "Get"},
        {cmd("GET_PON_STATUS"), fail("GET_PON_STATUS", "NO_PONStatus"), "Get"},
        {cmd("GET_HG_SYSTEM_INFO"), ok("GET_HG_SYSTEM_INFO", R"("SWVersion":"V1.2.3","HDVersion":"HW2.0","ProductClass":"HG6543C","UPLink":"1",)"
                                                             R"("MAC":"A4B1C2D3E4F5","GPONSN":"YVCG12345678","RUNNINGTIME":"86400")")},
        {cmd("GET_HG_SYSTEM_INFO"), fail("GET_HG_SYSTEM_INFO", "NO_DeviceInfo"), "GetAll"},
        {cmd("GET_HG_SYSTEM_INFO"), fail("GET_HG_SYSTEM_INFO", "GET_UPLink_FAILED"), "Get"},
        {cmd("GET_PONINFORM_REQ"), ok("GET_PONINFORM_REQ", R"("Temperature":"45.50","Voltage":"3.30","Current":"12.10","TXPower":"2.10","RXPower":"-18.40")")},
        // 123456789 >> 10 and 987654321 >> 10.
        {cmd("GET_PON_TRAFFIC"), ok("GET_PON_TRAFFIC", R"("Traffic":"120563/964506")")},
        {cmd("GET_PON_TRAFFIC"), fail("GET_PON_TRAFFIC", "NO_PONInfo"), "GetAll"},
        {cmd("GET_LAN_PARAMETER"), ok("GET_LAN_PARAMETER", R"("LocalIP":"192.168.1.1","Submask":"255.255.255.0","EnableDHCPServer":"1",)"
                                                           R"("DHCPStartIP":"192.168.1.2","DHCPEndIP":"192.168.1.254","DHCPDuration":"86400")")},
    });
    // clang-format on
    expect_logged({"get LED.LEDStatus failed."});
}

TEST_F(DeviceCommands, SettingsWriteExactOnOffAndRefuseOtherSpellings)
{
    // clang-format off
    play({
        {cmd("SET_LED_STATUS", R"("LEDStatus":"OFF")"), ok("SET_LED_STATUS")},
        {cmd("SET_SLEEP_MODE", R"("Switch":"ON")"), ok("SET_SLEEP_MODE")},
        {cmd("SET_LAN_PARAMETER", R"("LocalIP":"10.0.0.1","Submask":"255.0.0.0","DHCPStartIP":"10.0.0.10","DHCPEndIP":"10.0.0.99",)"
                                  R"("EnableDHCPServer":"0x","DHCPDuration":"3600s")"), ok("SET_LAN_PARAMETER")},
    });
    EXPECT_EQ(sim.get_property(kLed, "com.yvc.igd1.LED", "LEDStatus"), "0x00");
    EXPECT_EQ(sim.get_property(kSleep, "com.yvc.igd1.SleepTimer", "Switch"), "true");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "LocalIP"), "'10.0.0.1'");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "DHCPServerEnable"), "false");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "DHCPDuration"), "3600");
    const unsigned sets = sim.call_count("Set");
    play({
        {cmd("SET_LED_STATUS", R"("LEDStatus":"on")"), fail("SET_LED_STATUS", "parameter_error")},
        {cmd("SET_SLEEP_MODE", R"("Switch":"OFFF")"), fail("SET_SLEEP_MODE", "parameter_error")},
        {cmd("SET_LED_STATUS"), fail("SET_LED_STATUS", "parameter_error")},
        {cmd("SET_LAN_PARAMETER", R"("LocalIP":"10.0.0.1")"), fail("SET_LAN_PARAMETER", "parameter_error")},
    });
    EXPECT_EQ(sim.call_count("Set"), sets) << "refused values reach no bus call";
    play({{cmd("SET_LED_STATUS", R"("LEDStatus":"ON")"), fail("SET_LED_STATUS", "SET_FAILED"), "Set"}});
    // clang-format on
    expect_logged({"LEDStatus on is invalide, should be ON or OFF.", "Switch OFFF is invalide, should be ON or OFF.",
                   "SET_LED_STATUS json string missing Parameter LEDStatus", "set LED.LEDStatus failed.",
                   "SET_LAN_PARAMETER json string missing Parameter Submask"});
}

TEST_F(DeviceCommands, PortsAnswerByIndexWithDecimalCountersAndTheirWords)
{
    // clang-format off
    play({
        {cmd("GET_LAN_STATUS", R"("Index":0)"), ok("GET_LAN_STATUS", R"("StatusInfo":[{"Index":1,"Status":"up"},{"Index":2,"Status":"up"},)"
                                                                     R"({"Index":3,"Status":"down"},{"Index":4,"Status":"down"}])")},
        {cmd("GET_LAN_STATUS", R"("Index":3)"), ok("GET_LAN_STATUS", R"("StatusInfo":[{"Index":3,"Status":"down"}])")},
        {cmd("GET_LAN_STATUS", R"("Index":9)"), ok("GET_LAN_STATUS", R"("StatusInfo":[])")},
        {cmd("GET_LAN_TRAFFIC", R"("Index":2)"), ok("GET_LAN_TRAFFIC", R"("Traffic":[{"Index":2,"Status":"up","LANTXByte":"2000000","LANRXByte":"6000000"}])")},
        {cmd("GET_LAN_TRAFFIC", R"("Index":4)"), ok("GET_LAN_TRAFFIC", R"("Traffic":[{"Index":4,"Status":"down","LANTXByte":"18446744073709551615","LANRXByte":"12000000"}])"),
         nullptr, "*", {{std::string(kEth) + "4", "com.yvc.igd1.EthernetConfig", "BytesSent", "uint64 18446744073709551615"}}},
        // Only the exact text "Up" reads as up.
        {cmd("GET_LAN_STATUS", R"("Index":1)"), ok("GET_LAN_STATUS", R"("StatusInfo":[{"Index":1,"Status":"down"}])"),
         nullptr, "*", {{std::string(kEth) + "1", "com.yvc.igd1.EthernetConfig", "Status", "'up'"}}},
        {cmd("GET_LAN_STATUS"), fail("GET_LAN_STATUS", "parameter_error")},
        {cmd("GET_LAN_TRAFFIC", R"("Index":"1")"), fail("GET_LAN_TRAFFIC", "parameter_error")},
        {cmd("GET_LAN_TRAFFIC", R"("Index":-1)"), fail("GET_LAN_TRAFFIC", "parameter_error")},
        {cmd("GET_LAN_STATUS", R"("Index":0)"), fail("GET_LAN_STATUS", "api_return_fail"), "GetManagedObjects"},
    });
    // clang-format on
    expect_logged({"api_getEthernetConfigInfo api failed, return -1."});
}

TEST_F(DeviceCommands, SpeedupAndRegisterCallTheirMethodAndPassRefusalsOn)
{
    // clang-format off
    play({
        {cmd("SET_ATTACH_SPEEDUP", R"("MAC":"a0b1c2d3e4f1","Speedup":1)"), ok("SET_ATTACH_SPEEDUP")},
        {cmd("SET_ATTACH_SPEEDUP", R"("MAC":"A0B1C2D3E4F1")"), fail("SET_ATTACH_SPEEDUP", "parameter_error")},
        {cmd("SET_ATTACH_SPEEDUP", R"("MAC":"001122334455","Speedup":0)"), fail("SET_ATTACH_SPEEDUP", "not found")},
        {cmd("SET_ATTACH_SPEEDUP", R"("MAC":"A0B1C2D3E4F1","Speedup":0)"), fail("SET_ATTACH_SPEEDUP", "callMethod_failed"), "SetAttachSpeedup"},
        {cmd("REGISTER", R"("USERID":"u1","PASSWORD":"p1","Province":"GD")"), ok("REGISTER")},
        {cmd("REGISTER", R"("USERID":"u1","PASSWORD":"p1")"), fail("REGISTER", "parameter_error")},
    });
    EXPECT_EQ(sim.call_count("SetAttachSpeedup"), 2u) << "a missing parameter reaches no bus call";
    EXPECT_EQ(sim.call_count("Register"), 1u);
    play({{cmd("REGISTER", R"("USERID":"u1","PASSWORD":"p1","Province":"GD")"), fail("REGISTER", "callMethod_failed"), "Register"}});
    // clang-format on
    expect_logged({"mth_Register() failed, t_ret = -1."});
}

}  // namespace device

// LAN host members: filters by MAC regardless of case, online rules, names, blacklist and bandwidth
// limits, and long host lists that stay valid answers.
namespace host {

constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts";
constexpr const char *kHost = "com.yvc.igd1.LANHost";

class HostCommands : public agenttest::RowTest {
protected:
    std::string host(int n, const char *name)
    {
        return sim.get_property(std::string(kHosts) + "/" + std::to_string(n), kHost, name);
    }
};

TEST_F(HostCommands, ListsShowOnlineHostsInTheirOwnFormatsAndMatchMacsWithoutCase)
{
    const std::string anna = "phone-anna:A0B1C2D3E4F1:192.168.1.101:0:::SSID1:0:-52:3600:0:0";
    const std::string ben = "laptop-ben:a0b1c2d3e4f2:192.168.1.102:0:::LAN1:0:0:7200:2048:10240";
    // clang-format off
    play({
        {cmd("GET_LAN_HOST_INFO", R"("MAC":[])"), ok("GET_LAN_HOST_INFO", R"("Num":2,"Info":")" + anna + "/" + ben + "\"")},
        // Lower-case request against an upper-case host; the offline host is never listed.
        {cmd("GET_LAN_HOST_INFO", R"("MAC":["a0b1c2d3e4f1","A0B1C2D3E4F3"])"), ok("GET_LAN_HOST_INFO", R"("Num":1,"Info":")" + anna + "\"")},
        {cmd("GET_LAN_HOST_INFO", R"("MAC":["000000000000"])"), ok("GET_LAN_HOST_INFO", R"("Num":0,"Info":"")")},
        {cmd("GET_LAN_NET_INFO_EX", R"("MAC":["A0B1C2D3E4F2"])"), ok("GET_LAN_NET_INFO_EX", R"("Num":1,"Info":"laptop-ben:a0b1c2d3e4f2:192.168.1.102:LAN1:0:0:7200:2048:10240")")},
        // 654321 >> 10 = 638, 123456 >> 10 = 120; 111111 >> 10 = 108, 999999 >> 10 = 976.
        {cmd("GET_STA_TRAFFIC", R"("MAC":[])"), ok("GET_STA_TRAFFIC", R"("Num":2,"TrafficList":"A0B1C2D3E4F1:638:120/a0b1c2d3e4f2:108:976")")},
        {cmd("GET_ATTCH_NAME", R"("MAC":[])"), ok("GET_ATTCH_NAME", R"("NameList":[{"MAC":"A0B1C2D3E4F1","Name":"phone-anna","DevType":"Phone"},)"
                                                                     R"({"MAC":"a0b1c2d3e4f2","Name":"laptop-ben","DevType":"PC"}])")},
        {cmd("GET_ATTCH_NAME", R"("MAC":["a0b1c2d3e4f3"])"), ok("GET_ATTCH_NAME", R"("NameList":[{"MAC":"A0b1C2d3E4f3","Name":"tablet-old","DevType":"Phone"}])")},
        {cmd("GET_LAN_HOST_INFO", R"("MAC":"A0B1C2D3E4F1")"), fail("GET_LAN_HOST_INFO", "parameter_error")},
        {cmd("GET_STA_TRAFFIC"), fail("GET_STA_TRAFFIC", "parameter_error")},
        {cmd("GET_LAN_HOST_INFO", R"("MAC":[])"), fail("GET_LAN_HOST_INFO", "OBJECT_NO_EXIST"), "GetManagedObjects"},
    });
    // clang-format on
    expect_logged({"GET_LAN_HOST_INFO Parameter MAC json type is invalid, should be array",
                   "GET_STA_TRAFFIC json string missing Parameter MAC"});
}

TEST_F(HostCommands, SetAttachNameWritesNameAndTypeInOneWrite)
{
    const unsigned writes = sim.call_count("SetValues");
    play({{cmd("SET_ATTCH_NAME", R"("MAC":"A0B1C2D3E4F3","Name":"kitchen \"tab\"","DevType":"Pad")"),
           ok("SET_ATTCH_NAME")}});
    EXPECT_EQ(sim.call_count("SetValues"), writes + 1);
    EXPECT_EQ(host(3, "DevName"), "'kitchen \"tab\"'");
    // clang-format off
    play({
        // An empty type leaves the type alone.
        {cmd("SET_ATTCH_NAME", R"("MAC":"a0b1c2d3e4f3","Name":"tab","DevType":"")"), ok("SET_ATTCH_NAME")},
        {cmd("SET_ATTCH_NAME", R"("MAC":"FFFFFFFFFFFF","Name":"x","DevType":"")"), fail("SET_ATTCH_NAME", "NOT_MATCH_LANHost")},
        {cmd("SET_ATTCH_NAME", R"("MAC":"A0B1C2D3E4F3","Name":"x")"), fail("SET_ATTCH_NAME", "parameter_error")},
        {cmd("SET_ATTCH_NAME", R"("MAC":"A0B1C2D3E4F3","Name":"x","DevType":"")"), fail("SET_ATTCH_NAME", "SET_FAILED"), "SetValues"},
    });
    // clang-format on
    EXPECT_EQ(host(3, "DevType"), "'Pad'");
    EXPECT_EQ(host(3, "DevName"), "'tab'");
}

TEST_F(HostCommands, BlacklistAddsDeletesAndRefusesDuplicates)
{
    const auto right = [](const char *mac, const char *value) {
        return cmd("SET_ATTACH_DEVICE_RIGHT", std::string(R"("MAC":")") + mac + R"(","InternetAccessRight":)" + value);
    };
    // clang-format off
    play({
        {cmd("GET_ATTACH_DEVICE_RIGHT"), ok("GET_ATTACH_DEVICE_RIGHT", R"("MACList":"A0B1C2D3E4F4")")},
        {right("a0b1c2d3e4f4", "0"), fail("SET_ATTACH_DEVICE_RIGHT", "EXIST")},
        {right("A0B1C2D3E4F1", "1"), fail("SET_ATTACH_DEVICE_RIGHT", "NOT_MATCH_AccessControlBlackList")},
        {right("A0B1C2D3E4F1", "0"), ok("SET_ATTACH_DEVICE_RIGHT")},
        {cmd("GET_ATTACH_DEVICE_RIGHT"), ok("GET_ATTACH_DEVICE_RIGHT", R"("MACList":"A0B1C2D3E4F4/A0B1C2D3E4F1")")},
        {right("a0b1c2d3e4f4", "1"), ok("SET_ATTACH_DEVICE_RIGHT")},
        {cmd("GET_ATTACH_DEVICE_RIGHT"), ok("GET_ATTACH_DEVICE_RIGHT", R"("MACList":"A0B1C2D3E4F1")")},
        {right("A0B1C2D3E4F1", "\"0\""), fail("SET_ATTACH_DEVICE_RIGHT", "parameter_error")},
        {right("A0B1C2D3E4F1", "2"), fail("SET_ATTACH_DEVICE_RIGHT", "DEL_FAILED"), "DeleteObject"},
        {right("A0B1C2D3E4F2", "0"), fail("SET_ATTACH_DEVICE_RIGHT", "ADD_FAILED"), "AddObject"},
    });
    // clang-format on
}

TEST_F(HostCommands, BandwidthOfOnlineHostsAndLimitsOfAnyHost)
{
    const auto limits = [](const char *mac, const char *us, const char *ds, const char *us_g, const char *ds_g) {
        return cmd("SET_ATTACH_DEVICE_BANDWIDTH_EX", std::string(R"("MAC":")") + mac + R"(","UsBandwidth":")" + us +
                                                         R"(","DsBandwidth":")" + ds + R"(","UsGuaranteeBandwidth":")" +
                                                         us_g + R"(","DsGuaranteeBandwidth":")" + ds_g + "\"");
    };
    // clang-format off
    play({
        {cmd("GET_ATTACH_DEVICE_BANDWIDTH", R"("MAC":"A0B1C2D3E4F2")"), ok("GET_ATTACH_DEVICE_BANDWIDTH", R"("UsBandwidth":"2048","DsBandwidth":"10240")")},
        {cmd("GET_ATTACH_DEVICE_BANDWIDTH_EX", R"("MAC":"a0b1c2d3e4f1")"),
         ok("GET_ATTACH_DEVICE_BANDWIDTH_EX", R"("UsBandwidth":"0","DsBandwidth":"0","UsGuaranteeBandwidth":"0","DsGuaranteeBandwidth":"0")")},
        // An offline host has no bandwidth to show.
        {cmd("GET_ATTACH_DEVICE_BANDWIDTH", R"("MAC":"A0B1C2D3E4F3")"), fail("GET_ATTACH_DEVICE_BANDWIDTH", "NOT_MATCH_LANHost")},
        {cmd("SET_ATTACH_DEVICE_BANDWIDTH", R"("MAC":"A0B1C2D3E4F3","UsBandwidth":"512","DsBandwidth":"4096")"), ok("SET_ATTACH_DEVICE_BANDWIDTH")},
        // A guaranteed rate may not exceed a non-zero limit; UsBandwidth 0 means no limit.
        {limits("a0b1c2d3e4f1", "0", "800", "300", "800"), ok("SET_ATTACH_DEVICE_BANDWIDTH_EX")},
        {limits("a0b1c2d3e4f1", "100", "0", "300", "0"), fail("SET_ATTACH_DEVICE_BANDWIDTH_EX", "InValid_Parm_Value")},
        {limits("a0b1c2d3e4f1", "1k", "0", "0", "0"), fail("SET_ATTACH_DEVICE_BANDWIDTH_EX", "InValid_Parm_Value")},
        {limits("FFFFFFFFFFFF", "0", "0", "0", "0"), fail("SET_ATTACH_DEVICE_BANDWIDTH_EX", "NOT_MATCH_LANHost")},
    });
    // clang-format on
    EXPECT_EQ(host(3, "UsBandwidth"), "512");
    EXPECT_EQ(host(3, "DsBandwidth"), "4096");
    EXPECT_EQ(host(1, "UsGuaranteeBandwidth"), "300");
    EXPECT_EQ(host(1, "DsBandwidth"), "800");
    expect_logged(
        {"UsGuaranteeBandwidth 300 is bigger than UsBandwidth 100", "UsBandwidth 1k is invalid,should be digits."});
}

TEST_F(HostCommands, LongHostListStopsAtAWholeEntryAndIsStillAnswered)
{
    // Enough online hosts with long names to pass the answer limit several times over.
    const std::string name(200, 'h');
    for (int i = 10; i < 160; ++i) {
        const std::string path = std::string(kHosts) + "/" + std::to_string(i);
        char mac[13];
        snprintf(mac, sizeof mac, "0200000000%02X", i);
        sim.set_property(path, kHost, "MAC", std::string("'") + mac + "'");
        sim.set_property(path, kHost, "HostClass", "'ONLINE'");
        sim.set_property(path, kHost, "DevName", "'" + name + std::to_string(i) + "'");
    }
    const std::string answer = run(cmd("GET_LAN_HOST_INFO", R"("MAC":[])"));
    ASSERT_FALSE(answer.empty()) << "the answer must not be dropped for length";
    EXPECT_LE(answer.size(), static_cast<size_t>(CMD_RESP_MAX));
    gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
    ASSERT_TRUE(parsed) << answer.substr(0, 200);
    const int num = static_cast<int>(json_integer_value(json_object_get(parsed.get(), "Num")));
    const std::string info = json_string_value(json_object_get(parsed.get(), "Info"));
    EXPECT_GT(num, 10);
    EXPECT_LT(num, 152);
    EXPECT_EQ(std::count(info.begin(), info.end(), '/') + 1, num) << "Num counts the entries actually sent";
    EXPECT_EQ(info.substr(info.size() - 6), ":0:0:0") << "the last entry is whole";
}

}  // namespace host

// WAN members: counts and names, one connection by name, PPPoE accounts with the password cipher,
// PPPoE diagnosis, and the delayed reboot and reset.
namespace wan {

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

}  // namespace wan

// History traffic and voice, against the simulator's default profile.
namespace history {

class HistoryVoiceCommands : public agenttest::RowTest {};

TEST_F(HistoryVoiceCommands, HistoryListsOnePortOrAllAndRefusesNumbersSentAsText)
{
    const std::string samples = R"("TrafficBase":"2026-12-07 00:00:00","History":["10,20","15,26"]})";
    std::string all = R"("Traffic":[)";
    for (int port = 1; port <= 4; ++port)
        all += std::string(port > 1 ? "," : "") + R"({"index":)" + std::to_string(port) + "," + samples;
    const std::string lan_bad = fail("GET_LAN_HISTORY_TRAFFIC", "Parse input params fail!");
    const std::string pon_bad = fail("GET_PON_HISTORY_TRAFFIC", "parameter_error");
    // clang-format off
    play({
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":3,"Start":"1","Num":2)"), lan_bad},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":3,"Start":1,"Num":"2")"), lan_bad},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":"3","Start":1,"Num":2)"), lan_bad},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":0,"Num":2)"), lan_bad},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":0,"Start":-1,"Num":2)"), lan_bad},
        {cmd("GET_PON_HISTORY_TRAFFIC", R"("Start":"0","Num":3)"), pon_bad},
        {cmd("GET_PON_HISTORY_TRAFFIC", R"("Start":0,"Num":"3")"), pon_bad},
        {cmd("GET_PON_HISTORY_TRAFFIC", R"("Start":0)"), pon_bad},
    });
    EXPECT_EQ(sim.call_count("GetLANHistoryTraffic") + sim.call_count("GetPONHistoryTraffic"), 0u);
    play({
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":0,"Start":0,"Num":2)"), ok("GET_LAN_HISTORY_TRAFFIC", all + "]")},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":3,"Start":1,"Num":2)"), ok("GET_LAN_HISTORY_TRAFFIC", R"("Traffic":[{"index":3,)" + samples + "]")},
        // The library's -2 (no port has that index) is neither of the named results.
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":9,"Start":0,"Num":2)"), fail("GET_LAN_HISTORY_TRAFFIC", "undefine")},
        {cmd("GET_LAN_HISTORY_TRAFFIC", R"("index":0,"Start":0,"Num":2)"), fail("GET_LAN_HISTORY_TRAFFIC", "CAPI return fail!"), "GetLANHistoryTraffic"},
    });
    // clang-format on
    expect_logged({"api_getLANHistoryTraffic api failed"});
}

TEST_F(HistoryVoiceCommands, PonHistoryAnswersTheBaseAndSamplesOrTheServicesWord)
{
    const std::string history = cmd("GET_PON_HISTORY_TRAFFIC", R"("Start":0,"Num":3)");
    EXPECT_EQ(run(history), ok("GET_PON_HISTORY_TRAFFIC",
                               R"("TrafficBase":"2026-12-07 00:00:00","History":["100,200","150,260","120,240"])"));
    sim.set_reply("GetPONHistoryTraffic", "('', @as [], uint32 3, 'history not ready')");
    EXPECT_EQ(run(history), fail("GET_PON_HISTORY_TRAFFIC", "history not ready"));
    sim.set_reply("GetPONHistoryTraffic", "('', @as [], uint32 3, '')");
    EXPECT_EQ(run(history), fail("GET_PON_HISTORY_TRAFFIC", "callMethod_failed"));
    sim.set_reply("GetPONHistoryTraffic", "");
    play({{history, fail("GET_PON_HISTORY_TRAFFIC", "callMethod_failed"), "GetPONHistoryTraffic"}});
}

TEST_F(HistoryVoiceCommands, VoiceCarriesBothServersAndEveryLineAndFailsWithEitherRead)
{
    // clang-format off
    play({
        {cmd("GET_VOICE_INFO"), ok("GET_VOICE_INFO",
            R"("ServerAddress":"sip.example.net","ServerPort":"5060","SecondServerAddress":"sip2.example.net","SecondServerPort":"5060","Account":[)"
            R"({"Index":1,"Username":"+861012345678","PasswordIndicator":"1","Status":"Up"},)"
            R"({"Index":2,"Username":"+861012345679","PasswordIndicator":"0","Status":"Disabled"}])")},
        {cmd("GET_VOIP_STATUS"), ok("GET_VOIP_STATUS", R"("VOIPStatus":[{"Index":1,"Username":"+861012345678","Status":"Up"},)"
                                                       R"({"Index":2,"Username":"+861012345679","Status":"Disabled"}])")},
        {cmd("GET_VOICE_INFO"), fail("GET_VOICE_INFO", "api_return_fail"), "GetAll", "/com/yvc/igd1/Info/VoIP"},
        {cmd("GET_VOICE_INFO"), fail("GET_VOICE_INFO", "api_return_fail"), "GetManagedObjects"},
        {cmd("GET_VOIP_STATUS"), fail("GET_VOIP_STATUS", "api_return_fail"), "GetManagedObjects"},
    });
    // clang-format on
    expect_logged(
        {"GET_VOICE_INFO api failed, serverinfo return -1, info return 0.", "serverinfo return 0, info return -1."});
}

}  // namespace history

// FTTO topology and optics against the simulator's FTTO master profile, registration state and the restart
// command.
namespace ftto {

class FttoCommands : public agenttest::RowTest {};

TEST_F(FttoCommands, FttoMasterNamesSlavesAfterTheirLanHostsAndFailsWithoutThem)
{
    sim.load_profile("ftto_master.json");
    const std::string gateway =
        R"("DevType":11,"WorkMode":1,"GateWay":{"UPLink":1,"UPLinkType":1,"Distance":0,"LOID":"loid0001",)"
        R"("WANIP":"100.64.12.34","Model":"HG6543C"},"SlaveInfo":[)";
    // clang-format off
    play({
        {cmd("FTTO_MASTER_NTI_GET"), ok("FTTO_MASTER_NTI_GET",
            R"("DevType":11,"WorkMode":1,"GateWay":{"UPLink":1,"UPLinkType":1,"LOID":"loid0001","SN":"YVCG12345678",)"
            R"("MAC":"A4B1C2D3E4F5","WANIP":"100.64.12.34","Model":"HG6543C","Name":"Living room gateway"},"AllowSlaveNum":8,"SlaveNum":2,"SlaveInfo":[)"
            R"({"UPLink":1,"UPLinkType":0,"Port":2,"Distance":0,"LOID":"","SN":"YVCS00000001",)"
            R"("MAC":"A0:B1:C2:D3:E4:F1","WANIP":"192.168.1.21","Model":"SL100","Name":"phone-anna"},)"
            R"({"UPLink":0,"UPLinkType":0,"Port":3,"Distance":0,"LOID":"","SN":"YVCS00000002",)"
            R"("MAC":"a4-b1-c2-d3-e4-99","WANIP":"","Model":"SL200","Name":""}])")},
        {cmd("FTTO_DEV_NTI_GET"), ok("FTTO_DEV_NTI_GET", gateway +
            R"({"UPLink":1,"UPLinkType":0,"Distance":0,"LOID":"","WANIP":"192.168.1.21","Model":"SL100"},)"
            R"({"UPLink":0,"UPLinkType":0,"Distance":0,"LOID":"","WANIP":"","Model":"SL200"}])")},
        {cmd("FTTO_MASTER_LAN_PONINFO_GET"), ok("FTTO_MASTER_LAN_PONINFO_GET", R"("Temperature":"40.00","Voltage":"3.30","Current":"12.25","TXPower":"1.50")")},
        {cmd("FTTO_MASTER_LAN_PONINFO_GET"), fail("FTTO_MASTER_LAN_PONINFO_GET", "api_return_fail"), "GetAll", "/com/yvc/igd1/FTTO/LanOptic"},
    });
    sim.set_reply("GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    play({
        {cmd("FTTO_MASTER_NTI_GET"), fail("FTTO_MASTER_NTI_GET", "api_return_fail")},
        // The device view goes on without slaves, but not without a readable device.
        {cmd("FTTO_DEV_NTI_GET"), ok("FTTO_DEV_NTI_GET", gateway + "]")},
        {cmd("FTTO_DEV_NTI_GET"), fail("FTTO_DEV_NTI_GET", "api_return_fail"), "GetAll", "/com/yvc/igd1/Info/Device"},
    });
    // clang-format on
    expect_logged({"api_getFTTOMasterNTI api failed, return -1."});
}

TEST_F(FttoCommands, FttoMasterOnlyCommandsAreRefusedOnASlaveBeforeAnyBusCall)
{
    g_dev_info.DevType = 12;
    const unsigned calls = sim.call_count("*");
    EXPECT_EQ(run_plain("FTTO_MASTER_NTI_GET"), fail("FTTO_MASTER_NTI_GET", "API_ONLY_SUPPORT_FTTO_MasterDev"));
    EXPECT_EQ(sim.call_count("*"), calls);
    EXPECT_NE(run_plain("FTTO_DEV_NTI_GET").find(R"("Status":"0")"), std::string::npos);
}

TEST_F(FttoCommands, RegistrationStatePairsBecomeMembersWithoutRewritingTheAnswer)
{
    struct Case {
        const char *reply;
        std::string answer;
    };
    // clang-format off
    const Case cases[] = {
        {"", ok("REGISTER_GETSTAT", R"("Result":"1","Progress":"100")")},
        {"(uint32 2, 'Result=0&Progress=40&Info')", head("REGISTER_GETSTAT", "2") + R"(,"Result":"0","Progress":"40","Info":""})"},
        {"(uint32 500, 'Result=1')", fail("REGISTER_GETSTAT", "NO_STATUS_RETURN")},
        {"(uint32 0, '')", fail("REGISTER_GETSTAT", "")},
        {R"((uint32 0, 'Status=0&Info=a"b\\c&CmdType=X&Result=1&Result=2'))", ok("REGISTER_GETSTAT", R"("Info":"a\"b\\c","Result":"1")")},
    };
    // clang-format on
    for (const Case &c : cases) {
        sim.set_reply("RegisterGetStat", c.reply);
        EXPECT_EQ(run_plain("REGISTER_GETSTAT"), c.answer) << c.reply;
    }
    sim.set_reply("RegisterGetStat", "");
    play({{cmd("REGISTER_GETSTAT"), fail("REGISTER_GETSTAT", "callMethod_failed"), "RegisterGetStat"}});
    expect_logged({"registration state repeats member CmdType, kept the first."});
}

TEST_F(FttoCommands, RestartAnswersFirstThenLeavesThePluginServerAndBootsAgain)
{
    EXPECT_EQ(run_plain("Start_BootRegister"), ok("Start_BootRegister"));
    ASSERT_TRUE(g_timeout_plugin_disconnect.pending);
    ASSERT_TRUE(g_timeout_relogin.pending);
    const int64_t disconnect = uloop_timeout_remaining64(&g_timeout_plugin_disconnect);
    const int64_t relogin = uloop_timeout_remaining64(&g_timeout_relogin);
    uloop_timeout_cancel(&g_timeout_plugin_disconnect);
    uloop_timeout_cancel(&g_timeout_relogin);
    EXPECT_GT(disconnect, 0);
    EXPECT_LE(disconnect, 1000);
    EXPECT_GT(relogin, 1000);
    EXPECT_LE(relogin, 5000);
    EXPECT_EQ(g_timeout_plugin_disconnect.cb, ucf_timeout_plugin_disconnect_cb);
    EXPECT_EQ(g_timeout_relogin.cb, ucf_timeout_relogin_cb);
}

}  // namespace ftto

// The built command handlers and the start-up reads of the configuration service, against igd1sim
// on the private bus.
namespace handlers {

namespace {

constexpr const char *kDevice = "/com/yvc/igd1/Info/Device";
constexpr const char *kDeviceIface = "com.yvc.igd1.DeviceInfo";

std::string uci(const char *pkg, const char *sec, const char *opt)
{
    char buf[4096] = {};
    return uci_config_get(pkg, sec, opt, buf) == 0 ? std::string(buf) : std::string("<none>");
}

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
    EXPECT_TRUE(log.contains("log config restore to default LOG_ERR!"));
    EXPECT_FALSE(g_timeout_syslog.pending);
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
    std::filesystem::remove_all(root.path("/etc/config"));
    std::filesystem::remove_all(root.path("/tmp/.uci"));
    root.write("/etc/config", "");
    root.write("/tmp/.uci", "");
    EXPECT_EQ(run("{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Duration\":60,\"Level\":7}"),
              "{\"CmdType\":\"SET_LOG_LEVEL\",\"SequenceId\":\"3\",\"Status\":\"1\",\"FailReason\":\"config_failed\"}");
    EXPECT_TRUE(log.contains("change log config failed!"));
    EXPECT_FALSE(g_timeout_syslog.pending);
}

TEST_F(Handlers, DevinfoReadsTheServiceAndBuildsTheSerialPrefixFromTheSerialOrTheMac)
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
    // Without a GPON serial the prefix comes from the MAC.
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

}  // namespace handlers
