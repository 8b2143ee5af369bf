// History traffic and voice, against the simulator's default profile.
#include <string>

#include "command_rows.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

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

}  // namespace
