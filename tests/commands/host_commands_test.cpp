// LAN host members: filters by MAC regardless of case, online rules, names, blacklist and bandwidth
// limits, and long host lists that stay valid answers.
#include <algorithm>

#include <jansson.h>

#include "command_rows.hpp"
#include "commands/cmd_table.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

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

}  // namespace
