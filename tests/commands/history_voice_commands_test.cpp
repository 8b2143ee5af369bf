// History traffic and voice, against the simulator's default profile.
#include <string>

#include "command_fixture.hpp"

namespace {

using agenttest::CommandTest;

const std::string kLanSamples = R"("TrafficBase":"2026-12-07 00:00:00","History":["10,20","15,26"]})";

class HistoryCommands : public CommandTest {};

TEST_F(HistoryCommands, LanHistoryListsOnePortOrAllOfThem)
{
    std::string all = head("GET_LAN_HISTORY_TRAFFIC") + R"(,"Traffic":[)";
    for (int port = 1; port <= 4; ++port)
        all += std::string(port > 1 ? "," : "") + R"({"index":)" + std::to_string(port) + "," + kLanSamples;
    all += "]}";
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":0,"Start":0,"Num":2})"), all);
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":3,"Start":1,"Num":2})"),
              head("GET_LAN_HISTORY_TRAFFIC") + R"(,"Traffic":[{"index":3,)" + kLanSamples + "]}");
}

// A number sent as text is a parameter failure in both history commands, with each one's own word.
TEST_F(HistoryCommands, NumbersSentAsTextAreParameterFailures)
{
    const std::string lan = failure("GET_LAN_HISTORY_TRAFFIC", "Parse input params fail!");
    for (const char *cmd : {R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":3,"Start":"1","Num":2})",
                            R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":3,"Start":1,"Num":"2"})",
                            R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":"3","Start":1,"Num":2})"})
        EXPECT_EQ(run(cmd), lan) << cmd;
    EXPECT_EQ(sim.call_count("GetLANHistoryTraffic"), 0u);
    const std::string pon = failure("GET_PON_HISTORY_TRAFFIC", "parameter_error");
    for (const char *cmd : {R"({"CmdType":"GET_PON_HISTORY_TRAFFIC","SequenceId":"1","Start":"0","Num":3})",
                            R"({"CmdType":"GET_PON_HISTORY_TRAFFIC","SequenceId":"1","Start":0,"Num":"3"})"})
        EXPECT_EQ(run(cmd), pon) << cmd;
    EXPECT_EQ(sim.call_count("GetPONHistoryTraffic"), 0u);
}

TEST_F(HistoryCommands, LanHistoryFailuresUseTheirOwnWords)
{
    const std::string bad = failure("GET_LAN_HISTORY_TRAFFIC", "Parse input params fail!");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":0,"Num":2})"), bad);
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":0,"Start":-1,"Num":2})"), bad);
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":"x","Start":0,"Num":2})"), bad);
    EXPECT_EQ(sim.call_count("GetLANHistoryTraffic"), 0u);

    // The library's -2 (no port has that index) is neither of the named results.
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":9,"Start":0,"Num":2})"),
              failure("GET_LAN_HISTORY_TRAFFIC", "undefine"));
    const std::string capi = failure("GET_LAN_HISTORY_TRAFFIC", "CAPI return fail!");
    sim.fail_next("GetLANHistoryTraffic");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HISTORY_TRAFFIC","SequenceId":"1","index":0,"Start":0,"Num":2})"), capi);
    EXPECT_TRUE(log.contains("api_getLANHistoryTraffic api failed"));
}

TEST_F(HistoryCommands, PonHistoryAnswersTheBaseAndSamplesOrTheServicesWord)
{
    const std::string cmd = R"({"CmdType":"GET_PON_HISTORY_TRAFFIC","SequenceId":"1","Start":0,"Num":3})";
    EXPECT_EQ(run(cmd), head("GET_PON_HISTORY_TRAFFIC") +
                            R"(,"TrafficBase":"2026-12-07 00:00:00","History":["100,200","150,260","120,240"]})");
    sim.set_reply("GetPONHistoryTraffic", "('', @as [], uint32 3, 'history not ready')");
    EXPECT_EQ(run(cmd), failure("GET_PON_HISTORY_TRAFFIC", "history not ready"));
    sim.set_reply("GetPONHistoryTraffic", "('', @as [], uint32 3, '')");
    EXPECT_EQ(run(cmd), failure("GET_PON_HISTORY_TRAFFIC", "callMethod_failed"));
    sim.set_reply("GetPONHistoryTraffic", "");
    sim.fail_next("GetPONHistoryTraffic");
    EXPECT_EQ(run(cmd), failure("GET_PON_HISTORY_TRAFFIC", "callMethod_failed"));
    EXPECT_EQ(run(R"({"CmdType":"GET_PON_HISTORY_TRAFFIC","SequenceId":"1","Start":0})"),
              failure("GET_PON_HISTORY_TRAFFIC", "parameter_error"));
}

class VoiceCommands : public CommandTest {};

TEST_F(VoiceCommands, VoiceInfoCarriesBothServersAndEveryLine)
{
    EXPECT_EQ(run_plain("GET_VOICE_INFO"),
              head("GET_VOICE_INFO") +
                  R"(,"ServerAddress":"sip.example.net","ServerPort":"5060","SecondServerAddress":"sip2.example.net",)"
                  R"("SecondServerPort":"5060","Account":[)"
                  R"({"Index":1,"Username":"+861012345678","PasswordIndicator":"1","Status":"Up"},)"
                  R"({"Index":2,"Username":"+861012345679","PasswordIndicator":"0","Status":"Disabled"}]})");
    EXPECT_EQ(run_plain("GET_VOIP_STATUS"),
              head("GET_VOIP_STATUS") + R"(,"VOIPStatus":[{"Index":1,"Username":"+861012345678","Status":"Up"},)"
                                        R"({"Index":2,"Username":"+861012345679","Status":"Disabled"}]})");
}

TEST_F(VoiceCommands, EitherReadFailingFailsTheAnswer)
{
    sim.fail_next("GetAll", 1, "/com/yvc/igd1/Info/VoIP");
    EXPECT_EQ(run_plain("GET_VOICE_INFO"), failure("GET_VOICE_INFO", "api_return_fail"));
    EXPECT_TRUE(log.contains("GET_VOICE_INFO api failed, serverinfo return -1, info return 0."));
    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run_plain("GET_VOICE_INFO"), failure("GET_VOICE_INFO", "api_return_fail"));
    EXPECT_TRUE(log.contains("serverinfo return 0, info return -1."));
    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run_plain("GET_VOIP_STATUS"), failure("GET_VOIP_STATUS", "api_return_fail"));
}

}  // namespace
