// Device and Ethernet port members: single properties, system and PON readings, LAN addressing, port
// status and traffic, host speed-up and registration, against the simulator's default profile.
#include "command_rows.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

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

}  // namespace
