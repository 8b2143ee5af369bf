// Ethernet port status and traffic, and host speed-up, against the simulator's four-port profile.
#include "command_fixture.hpp"

namespace {

class PortCommands : public agenttest::CommandTest {};

TEST_F(PortCommands, StatusListsEveryPortForIndexZeroAndOnePortOtherwise)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1","Index":0})"),
              head("GET_LAN_STATUS") + R"(,"StatusInfo":[{"Index":1,"Status":"up"},{"Index":2,"Status":"up"},)"
                                       R"({"Index":3,"Status":"down"},{"Index":4,"Status":"down"}]})");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1","Index":3})"),
              head("GET_LAN_STATUS") + R"(,"StatusInfo":[{"Index":3,"Status":"down"}]})");
    // Only the exact text "Up" reads as up.
    sim.set_property("/com/yvc/igd1/Config/EthernetConfig/1", "com.yvc.igd1.EthernetConfig", "Status", "'up'");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1","Index":1})"),
              head("GET_LAN_STATUS") + R"(,"StatusInfo":[{"Index":1,"Status":"down"}]})");
}

TEST_F(PortCommands, TrafficGivesByteCountersAsDecimalTexts)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_TRAFFIC","SequenceId":"1","Index":2})"),
              head("GET_LAN_TRAFFIC") +
                  R"(,"Traffic":[{"Index":2,"Status":"up","LANTXByte":"2000000","LANRXByte":"6000000"}]})");
    sim.set_property("/com/yvc/igd1/Config/EthernetConfig/4", "com.yvc.igd1.EthernetConfig", "BytesSent",
                     "uint64 18446744073709551615");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_TRAFFIC","SequenceId":"1","Index":4})"),
              head("GET_LAN_TRAFFIC") + R"(,"Traffic":[{"Index":4,"Status":"down",)"
                                        R"("LANTXByte":"18446744073709551615","LANRXByte":"12000000"}]})");
}

TEST_F(PortCommands, MissingOrMistypedIndexAndFailedReadsAnswerTheirWords)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1"})"), failure("GET_LAN_STATUS", "parameter_error"));
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_TRAFFIC","SequenceId":"1","Index":"1"})"),
              failure("GET_LAN_TRAFFIC", "parameter_error"));
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_TRAFFIC","SequenceId":"1","Index":-1})"),
              failure("GET_LAN_TRAFFIC", "parameter_error"));
    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1","Index":0})"),
              failure("GET_LAN_STATUS", "api_return_fail"));
    EXPECT_TRUE(log.contains("api_getEthernetConfigInfo api failed, return -1."));
}

TEST_F(PortCommands, UnknownPortAnswersAnEmptyList)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_STATUS","SequenceId":"1","Index":9})"),
              head("GET_LAN_STATUS") + R"(,"StatusInfo":[]})");
}

TEST_F(PortCommands, SpeedupCallsTheHostsMethodAndPassesRefusalsOn)
{
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_SPEEDUP","SequenceId":"1","MAC":"a0b1c2d3e4f1","Speedup":1})"),
              head("SET_ATTACH_SPEEDUP") + "}");
    EXPECT_EQ(sim.call_count("SetAttachSpeedup"), 1u);
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_SPEEDUP","SequenceId":"1","MAC":"A0B1C2D3E4F1"})"),
              failure("SET_ATTACH_SPEEDUP", "parameter_error"));
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_SPEEDUP","SequenceId":"1","MAC":"001122334455","Speedup":0})"),
              failure("SET_ATTACH_SPEEDUP", "not found"));
    sim.fail_next("SetAttachSpeedup");
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_SPEEDUP","SequenceId":"1","MAC":"A0B1C2D3E4F1","Speedup":0})"),
              failure("SET_ATTACH_SPEEDUP", "callMethod_failed"));
    EXPECT_EQ(sim.call_count("SetAttachSpeedup"), 2u);
}

TEST_F(PortCommands, RegisterNeedsAllThreeTextsAndAnswersTheMethodsOutcome)
{
    EXPECT_EQ(run(R"({"CmdType":"REGISTER","SequenceId":"1","USERID":"u1","PASSWORD":"p1","Province":"GD"})"),
              head("REGISTER") + "}");
    EXPECT_EQ(sim.call_count("Register"), 1u);
    EXPECT_EQ(run(R"({"CmdType":"REGISTER","SequenceId":"1","USERID":"u1","PASSWORD":"p1"})"),
              failure("REGISTER", "parameter_error"));
    EXPECT_EQ(sim.call_count("Register"), 1u);
    sim.fail_next("Register");
    EXPECT_EQ(run(R"({"CmdType":"REGISTER","SequenceId":"1","USERID":"u1","PASSWORD":"p1","Province":"GD"})"),
              failure("REGISTER", "callMethod_failed"));
    EXPECT_TRUE(log.contains("mth_Register() failed, t_ret = -1."));
}

}  // namespace
