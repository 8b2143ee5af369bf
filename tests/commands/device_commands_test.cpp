// Device members: the single-property table, system and PON readings, LAN addressing, against the
// simulator's default profile.
#include "command_fixture.hpp"

namespace {

constexpr const char *kLed = "/com/yvc/igd1/Config/Peripheral/LED";
constexpr const char *kSleep = "/com/yvc/igd1/Config/Power/SleepTimer";
constexpr const char *kPon = "/com/yvc/igd1/Info/PON";
constexpr const char *kDhcp = "/com/yvc/igd1/Config/DHCPServer";

class DeviceCommands : public agenttest::CommandTest {};

TEST_F(DeviceCommands, QueriesAnswerTheirPropertyInTheirOwnForm)
{
    EXPECT_EQ(run_plain("GET_LED_STATUS"), head("GET_LED_STATUS") + R"(,"LEDStatus":"ON"})");
    EXPECT_EQ(run_plain("GET_SLEEP_MODE"), head("GET_SLEEP_MODE") + R"(,"Switch":"OFF"})");
    EXPECT_EQ(run_plain("GET_PRECONFIG_INFO"), head("GET_PRECONFIG_INFO") + R"(,"Province":"GD"})");
    EXPECT_EQ(run_plain("QUERY_CPU_INFO"), head("QUERY_CPU_INFO") + R"(,"Percent":"12"})");
    EXPECT_EQ(run_plain("QUERY_MEM_INFO"), head("QUERY_MEM_INFO") + R"(,"Percent":"43"})");
    sim.set_property(kLed, "com.yvc.igd1.LED", "LEDStatus", "byte 0");
    EXPECT_EQ(run_plain("GET_LED_STATUS"), head("GET_LED_STATUS") + R"(,"LEDStatus":"OFF"})");
}

TEST_F(DeviceCommands, PonStatusIsPrefixedOnlyForTheTwoRegistrationStates)
{
    EXPECT_EQ(run_plain("GET_PON_STATUS"), head("GET_PON_STATUS") + R"(,"PonStatus":""})");
    sim.set_property(kPon, "com.yvc.igd1.PONInfo", "PONStatus", "'NO_REG_NO_AUTH'");
    EXPECT_EQ(run_plain("GET_PON_STATUS"), head("GET_PON_STATUS") + R"(,"PonStatus":"PON_STATUS_NO_REG_NO_AUTH"})");
    sim.set_property(kPon, "com.yvc.igd1.PONInfo", "PONStatus", "'REG_AUTH'");
    EXPECT_EQ(run_plain("GET_PON_STATUS"), head("GET_PON_STATUS") + R"(,"PonStatus":"PON_STATUS_REG_AUTH"})");
}

TEST_F(DeviceCommands, FailedOrMistypedReadsAnswerTheMembersFailureWord)
{
    sim.fail_next("Get");
    EXPECT_EQ(run_plain("GET_LED_STATUS"), failure("GET_LED_STATUS", "NO_LEDStatus"));
    EXPECT_TRUE(log.contains("get LED.LEDStatus failed."));
    sim.set_property(kSleep, "com.yvc.igd1.SleepTimer", "Switch", "'yes'");
    EXPECT_EQ(run_plain("GET_SLEEP_MODE"), failure("GET_SLEEP_MODE", "NO_Switch"));
    sim.fail_next("Get");
    EXPECT_EQ(run_plain("QUERY_MEM_INFO"), failure("QUERY_MEM_INFO", "NO_MEMUsage"));
    sim.fail_next("Get");
    EXPECT_EQ(run_plain("GET_PON_STATUS"), failure("GET_PON_STATUS", "NO_PONStatus"));
}

TEST_F(DeviceCommands, SettingsWriteExactOnOffAndRefuseOtherSpellings)
{
    EXPECT_EQ(run(R"({"CmdType":"SET_LED_STATUS","SequenceId":"1","LEDStatus":"OFF"})"), head("SET_LED_STATUS") + "}");
    EXPECT_EQ(sim.get_property(kLed, "com.yvc.igd1.LED", "LEDStatus"), "0x00");
    EXPECT_EQ(run(R"({"CmdType":"SET_SLEEP_MODE","SequenceId":"1","Switch":"ON"})"), head("SET_SLEEP_MODE") + "}");
    EXPECT_EQ(sim.get_property(kSleep, "com.yvc.igd1.SleepTimer", "Switch"), "true");

    const unsigned sets = sim.call_count("Set");
    EXPECT_EQ(run(R"({"CmdType":"SET_LED_STATUS","SequenceId":"1","LEDStatus":"on"})"),
              failure("SET_LED_STATUS", "parameter_error"));
    EXPECT_TRUE(log.contains("LEDStatus on is invalide, should be ON or OFF."));
    EXPECT_EQ(run(R"({"CmdType":"SET_SLEEP_MODE","SequenceId":"1","Switch":"OFFF"})"),
              failure("SET_SLEEP_MODE", "parameter_error"));
    EXPECT_TRUE(log.contains("Switch OFFF is invalide, should be ON or OFF."));
    EXPECT_EQ(run(R"({"CmdType":"SET_LED_STATUS","SequenceId":"1"})"), failure("SET_LED_STATUS", "parameter_error"));
    EXPECT_TRUE(log.contains("SET_LED_STATUS json string missing Parameter LEDStatus"));
    EXPECT_EQ(sim.call_count("Set"), sets) << "refused values reach no bus call";

    sim.fail_next("Set");
    EXPECT_EQ(run(R"({"CmdType":"SET_LED_STATUS","SequenceId":"1","LEDStatus":"ON"})"),
              failure("SET_LED_STATUS", "SET_FAILED"));
    EXPECT_TRUE(log.contains("set LED.LEDStatus failed."));
}

TEST_F(DeviceCommands, SystemInfoCombinesDeviceInfoAndUplink)
{
    EXPECT_EQ(run_plain("GET_HG_SYSTEM_INFO"),
              head("GET_HG_SYSTEM_INFO") +
                  R"(,"SWVersion":"V1.2.3","HDVersion":"HW2.0","ProductClass":"HG6543C","UPLink":"1",)"
                  R"("MAC":"A4B1C2D3E4F5","GPONSN":"YVCG12345678","RUNNINGTIME":"86400"})");
    sim.fail_next("GetAll");
    EXPECT_EQ(run_plain("GET_HG_SYSTEM_INFO"), failure("GET_HG_SYSTEM_INFO", "NO_DeviceInfo"));
    sim.fail_next("Get");
    EXPECT_EQ(run_plain("GET_HG_SYSTEM_INFO"), failure("GET_HG_SYSTEM_INFO", "GET_UPLink_FAILED"));
}

TEST_F(DeviceCommands, PonReadingsAndTrafficInKib)
{
    EXPECT_EQ(run_plain("GET_PONINFORM_REQ"),
              head("GET_PONINFORM_REQ") +
                  R"(,"Temperature":"45.50","Voltage":"3.30","Current":"12.10","TXPower":"2.10","RXPower":"-18.40"})");
    // 123456789 >> 10 and 987654321 >> 10.
    EXPECT_EQ(run_plain("GET_PON_TRAFFIC"), head("GET_PON_TRAFFIC") + R"(,"Traffic":"120563/964506"})");
    sim.fail_next("GetAll");
    EXPECT_EQ(run_plain("GET_PON_TRAFFIC"), failure("GET_PON_TRAFFIC", "NO_PONInfo"));
}

TEST_F(DeviceCommands, LanParameterReadsAndWritesTheWholeDhcpObject)
{
    EXPECT_EQ(run_plain("GET_LAN_PARAMETER"),
              head("GET_LAN_PARAMETER") +
                  R"(,"LocalIP":"192.168.1.1","Submask":"255.255.255.0","EnableDHCPServer":"1",)"
                  R"("DHCPStartIP":"192.168.1.2","DHCPEndIP":"192.168.1.254","DHCPDuration":"86400"})");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_LAN_PARAMETER","SequenceId":"1","LocalIP":"10.0.0.1","Submask":"255.0.0.0",)"
            R"("DHCPStartIP":"10.0.0.10","DHCPEndIP":"10.0.0.99","EnableDHCPServer":"0x","DHCPDuration":"3600s"})"),
        head("SET_LAN_PARAMETER") + "}");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "LocalIP"), "'10.0.0.1'");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "DHCPServerEnable"), "false");
    EXPECT_EQ(sim.get_property(kDhcp, "com.yvc.igd1.DHCPServer", "DHCPDuration"), "3600");
    EXPECT_EQ(run(R"({"CmdType":"SET_LAN_PARAMETER","SequenceId":"1","LocalIP":"10.0.0.1"})"),
              failure("SET_LAN_PARAMETER", "parameter_error"));
    EXPECT_TRUE(log.contains("SET_LAN_PARAMETER json string missing Parameter Submask"));
}

}  // namespace
