// LAN host members: filters by MAC regardless of case, online rules, names, blacklist and bandwidth
// limits, and long host lists that stay valid answers.
#include <jansson.h>

#include "command_fixture.hpp"
#include "commands/cmd_table.h"

namespace {

constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts";
constexpr const char *kHost = "com.yvc.igd1.LANHost";

class HostCommands : public agenttest::CommandTest {};

TEST_F(HostCommands, HostInfoListsOnlineHostsAndMatchesMacsWithoutCase)
{
    const std::string anna = "phone-anna:A0B1C2D3E4F1:192.168.1.101:0:::SSID1:0:-52:3600:0:0";
    const std::string ben = "laptop-ben:a0b1c2d3e4f2:192.168.1.102:0:::LAN1:0:0:7200:2048:10240";
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":[]})"),
              head("GET_LAN_HOST_INFO") + R"(,"Num":2,"Info":")" + anna + "/" + ben + "\"}");
    // Lower-case request against an upper-case host; the offline host is never listed.
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":["a0b1c2d3e4f1","A0B1C2D3E4F3"]})"),
              head("GET_LAN_HOST_INFO") + R"(,"Num":1,"Info":")" + anna + "\"}");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":["000000000000"]})"),
              head("GET_LAN_HOST_INFO") + R"(,"Num":0,"Info":""})");
}

TEST_F(HostCommands, MacParameterMustBeAnArray)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":"A0B1C2D3E4F1"})"),
              failure("GET_LAN_HOST_INFO", "parameter_error"));
    EXPECT_TRUE(log.contains("GET_LAN_HOST_INFO Parameter MAC json type is invalid, should be array"));
    EXPECT_EQ(run(R"({"CmdType":"GET_STA_TRAFFIC","SequenceId":"1"})"), failure("GET_STA_TRAFFIC", "parameter_error"));
    EXPECT_TRUE(log.contains("GET_STA_TRAFFIC json string missing Parameter MAC"));
    sim.fail_next("GetManagedObjects");
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":[]})"),
              failure("GET_LAN_HOST_INFO", "OBJECT_NO_EXIST"));
}

TEST_F(HostCommands, NetInfoAndStationTrafficUseTheirOwnEntryFormats)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_LAN_NET_INFO_EX","SequenceId":"1","MAC":["A0B1C2D3E4F2"]})"),
              head("GET_LAN_NET_INFO_EX") +
                  R"(,"Num":1,"Info":"laptop-ben:a0b1c2d3e4f2:192.168.1.102:LAN1:0:0:7200:2048:10240"})");
    // 654321 >> 10 = 638, 123456 >> 10 = 120; 111111 >> 10 = 108, 999999 >> 10 = 976.
    EXPECT_EQ(run(R"({"CmdType":"GET_STA_TRAFFIC","SequenceId":"1","MAC":[]})"),
              head("GET_STA_TRAFFIC") + R"(,"Num":2,"TrafficList":"A0B1C2D3E4F1:638:120/a0b1c2d3e4f2:108:976"})");
}

TEST_F(HostCommands, AttachNamesListOnlineHostsOrEveryListedOne)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_ATTCH_NAME","SequenceId":"1","MAC":[]})"),
              head("GET_ATTCH_NAME") + R"(,"NameList":[{"MAC":"A0B1C2D3E4F1","Name":"phone-anna","DevType":"Phone"},)"
                                       R"({"MAC":"a0b1c2d3e4f2","Name":"laptop-ben","DevType":"PC"}]})");
    EXPECT_EQ(run(R"({"CmdType":"GET_ATTCH_NAME","SequenceId":"1","MAC":["a0b1c2d3e4f3"]})"),
              head("GET_ATTCH_NAME") +
                  R"(,"NameList":[{"MAC":"A0b1C2d3E4f3","Name":"tablet-old","DevType":"Phone"}]})");
}

TEST_F(HostCommands, SetAttachNameWritesNameAndTypeInOneWrite)
{
    const unsigned writes = sim.call_count("SetValues");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTCH_NAME","SequenceId":"1","MAC":"A0B1C2D3E4F3","Name":"kitchen \"tab\"","DevType":"Pad"})"),
        head("SET_ATTCH_NAME") + "}");
    EXPECT_EQ(sim.call_count("SetValues"), writes + 1);
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/3", kHost, "DevName"), "'kitchen \"tab\"'");
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/3", kHost, "DevType"), "'Pad'");
    // An empty type leaves the type alone.
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTCH_NAME","SequenceId":"1","MAC":"a0b1c2d3e4f3","Name":"tab","DevType":""})"),
              head("SET_ATTCH_NAME") + "}");
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/3", kHost, "DevType"), "'Pad'");
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTCH_NAME","SequenceId":"1","MAC":"FFFFFFFFFFFF","Name":"x","DevType":""})"),
              failure("SET_ATTCH_NAME", "NOT_MATCH_LANHost"));
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTCH_NAME","SequenceId":"1","MAC":"A0B1C2D3E4F3","Name":"x"})"),
              failure("SET_ATTCH_NAME", "parameter_error"));
    sim.fail_next("SetValues");
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTCH_NAME","SequenceId":"1","MAC":"A0B1C2D3E4F3","Name":"x","DevType":""})"),
              failure("SET_ATTCH_NAME", "SET_FAILED"));
}

TEST_F(HostCommands, BlacklistAddsDeletesAndRefusesDuplicates)
{
    EXPECT_EQ(run_plain("GET_ATTACH_DEVICE_RIGHT"), head("GET_ATTACH_DEVICE_RIGHT") + R"(,"MACList":"A0B1C2D3E4F4"})");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"a0b1c2d3e4f4","InternetAccessRight":0})"),
        failure("SET_ATTACH_DEVICE_RIGHT", "EXIST"));
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"A0B1C2D3E4F1","InternetAccessRight":1})"),
        failure("SET_ATTACH_DEVICE_RIGHT", "NOT_MATCH_AccessControlBlackList"));
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"A0B1C2D3E4F1","InternetAccessRight":0})"),
        head("SET_ATTACH_DEVICE_RIGHT") + "}");
    EXPECT_EQ(run_plain("GET_ATTACH_DEVICE_RIGHT"),
              head("GET_ATTACH_DEVICE_RIGHT") + R"(,"MACList":"A0B1C2D3E4F4/A0B1C2D3E4F1"})");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"a0b1c2d3e4f4","InternetAccessRight":1})"),
        head("SET_ATTACH_DEVICE_RIGHT") + "}");
    EXPECT_EQ(run_plain("GET_ATTACH_DEVICE_RIGHT"), head("GET_ATTACH_DEVICE_RIGHT") + R"(,"MACList":"A0B1C2D3E4F1"})");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"A0B1C2D3E4F1","InternetAccessRight":"0"})"),
        failure("SET_ATTACH_DEVICE_RIGHT", "parameter_error"));
    sim.fail_next("DeleteObject");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"A0B1C2D3E4F1","InternetAccessRight":2})"),
        failure("SET_ATTACH_DEVICE_RIGHT", "DEL_FAILED"));
    sim.fail_next("AddObject");
    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_RIGHT","SequenceId":"1","MAC":"A0B1C2D3E4F2","InternetAccessRight":0})"),
        failure("SET_ATTACH_DEVICE_RIGHT", "ADD_FAILED"));
}

TEST_F(HostCommands, BandwidthOfOnlineHostsAndLimitsOfAnyHost)
{
    EXPECT_EQ(run(R"({"CmdType":"GET_ATTACH_DEVICE_BANDWIDTH","SequenceId":"1","MAC":"A0B1C2D3E4F2"})"),
              head("GET_ATTACH_DEVICE_BANDWIDTH") + R"(,"UsBandwidth":"2048","DsBandwidth":"10240"})");
    EXPECT_EQ(run(R"({"CmdType":"GET_ATTACH_DEVICE_BANDWIDTH_EX","SequenceId":"1","MAC":"a0b1c2d3e4f1"})"),
              head("GET_ATTACH_DEVICE_BANDWIDTH_EX") +
                  R"(,"UsBandwidth":"0","DsBandwidth":"0","UsGuaranteeBandwidth":"0","DsGuaranteeBandwidth":"0"})");
    EXPECT_EQ(run(R"({"CmdType":"GET_ATTACH_DEVICE_BANDWIDTH","SequenceId":"1","MAC":"A0B1C2D3E4F3"})"),
              failure("GET_ATTACH_DEVICE_BANDWIDTH", "NOT_MATCH_LANHost"))
        << "an offline host has no bandwidth to show";

    EXPECT_EQ(
        run(R"({"CmdType":"SET_ATTACH_DEVICE_BANDWIDTH","SequenceId":"1","MAC":"A0B1C2D3E4F3","UsBandwidth":"512","DsBandwidth":"4096"})"),
        head("SET_ATTACH_DEVICE_BANDWIDTH") + "}");
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/3", kHost, "UsBandwidth"), "512");
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/3", kHost, "DsBandwidth"), "4096");
}

TEST_F(HostCommands, GuaranteedRatesMayNotExceedANonZeroLimit)
{
    const std::string ok =
        R"({"CmdType":"SET_ATTACH_DEVICE_BANDWIDTH_EX","SequenceId":"1","MAC":"a0b1c2d3e4f1",)"
        R"("UsBandwidth":"0","DsBandwidth":"800","UsGuaranteeBandwidth":"300","DsGuaranteeBandwidth":"800"})";
    EXPECT_EQ(run(ok), head("SET_ATTACH_DEVICE_BANDWIDTH_EX") + "}") << "UsBandwidth 0 means no limit";
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/1", kHost, "UsGuaranteeBandwidth"), "300");
    EXPECT_EQ(sim.get_property(std::string(kHosts) + "/1", kHost, "DsBandwidth"), "800");

    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_DEVICE_BANDWIDTH_EX","SequenceId":"1","MAC":"a0b1c2d3e4f1",)"
                  R"("UsBandwidth":"100","DsBandwidth":"0","UsGuaranteeBandwidth":"300","DsGuaranteeBandwidth":"0"})"),
              failure("SET_ATTACH_DEVICE_BANDWIDTH_EX", "InValid_Parm_Value"));
    EXPECT_TRUE(log.contains("UsGuaranteeBandwidth 300 is bigger than UsBandwidth 100"));
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_DEVICE_BANDWIDTH_EX","SequenceId":"1","MAC":"a0b1c2d3e4f1",)"
                  R"("UsBandwidth":"1k","DsBandwidth":"0","UsGuaranteeBandwidth":"0","DsGuaranteeBandwidth":"0"})"),
              failure("SET_ATTACH_DEVICE_BANDWIDTH_EX", "InValid_Parm_Value"));
    EXPECT_TRUE(log.contains("UsBandwidth 1k is invalid,should be digits."));
    EXPECT_EQ(run(R"({"CmdType":"SET_ATTACH_DEVICE_BANDWIDTH_EX","SequenceId":"1","MAC":"FFFFFFFFFFFF",)"
                  R"("UsBandwidth":"0","DsBandwidth":"0","UsGuaranteeBandwidth":"0","DsGuaranteeBandwidth":"0"})"),
              failure("SET_ATTACH_DEVICE_BANDWIDTH_EX", "NOT_MATCH_LANHost"));
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
    const std::string answer = run(R"({"CmdType":"GET_LAN_HOST_INFO","SequenceId":"1","MAC":[]})");
    ASSERT_FALSE(answer.empty()) << "the answer must not be dropped for length";
    EXPECT_LE(answer.size(), static_cast<size_t>(CMD_RESP_MAX));
    gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
    ASSERT_TRUE(parsed) << answer.substr(0, 200);
    const int num = static_cast<int>(json_integer_value(json_object_get(parsed.get(), "Num")));
    const std::string info = json_string_value(json_object_get(parsed.get(), "Info"));
    EXPECT_GT(num, 10);
    EXPECT_LT(num, 152);
    size_t slashes = 0;
    for (char c : info)
        slashes += c == '/';
    EXPECT_EQ(slashes + 1, static_cast<size_t>(num)) << "Num counts the entries actually sent";
    EXPECT_EQ(info.substr(info.size() - 6), ":0:0:0") << "the last entry is whole";
}

}  // namespace
