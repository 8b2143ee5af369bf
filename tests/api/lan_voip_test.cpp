#include <string>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kEth = "/com/yvc/igd1/Config/EthernetConfig";

class LanVoip : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Config/EthernetConfig/");
        remove_matching("/Info/VoIP/");
        port(1, "Up");
        port(3, "NoLink");
    }
    void port(unsigned n, const char *status)
    {
        s().set_object(std::string(kEth) + "/" + std::to_string(n),
                       std::string(R"({"com.yvc.igd1.EthernetConfig": {"Enable": "true", "Status": "')") + status +
                           R"('", "BytesSent": "uint64 12345678901"}})");
    }
};

TEST_F(LanVoip, GatewayNameReadsAndWritesDevName)
{
    EXPECT_EQ(api_setGatewayName("attic gateway"), 0);
    char name[8];
    EXPECT_EQ(api_getGatewayName(name, sizeof name), 0);
    EXPECT_STREQ(name, "attic g");
    EXPECT_EQ(api_getGatewayName(nullptr, 8), -1);
    fail("Get", kDevice);
    EXPECT_EQ(api_getGatewayName(name, sizeof name), -1);
    set_prop(kDevice, kDeviceIface, "DevName", "uint32 7");
    EXPECT_EQ(api_getGatewayName(name, sizeof name), -1);
}

TEST_F(LanVoip, EthernetPortsAreListedAndReleased)
{
    api_EthernetConfigInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getEthernetConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(info[0].Status, "Up");
    EXPECT_EQ(info[0].BytesSent, 12345678901ull);
    EXPECT_STREQ(info[1].path, (std::string(kEth) + "/3").c_str());
    EXPECT_EQ(api_releaseEthernetConfigInfo(info, count), 0);
    EXPECT_EQ(api_releaseEthernetConfigInfo(nullptr, 0), -1);

    fail("GetManagedObjects", kEth);
    EXPECT_EQ(api_getEthernetConfigInfo(&info, &count), -1);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(LanVoip, HistoryTrafficPerPortOrForAll)
{
    s().control("SetReplyOverride", g_variant_new("(ssss)", "*", "*", "GetLANHistoryTraffic",
                                                  "('2026-12-07 00:00:00', ['10,20', '15,26'], uint32 0, '')"));
    api_LANHistoryTraffic_t *t = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANHistoryTraffic(3, 0, 2, &t, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(t[0].index, 3u);
    EXPECT_STREQ(t[0].TrafficBase, "2026-12-07 00:00:00");
    ASSERT_EQ(t[0].HistoryNum, 2);
    EXPECT_STREQ(t[0].History[1], "15,26");
    EXPECT_EQ(api_releaseLANHistoryTraffic(t, count), 0);

    ASSERT_EQ(api_getLANHistoryTraffic(0, 0, 2, &t, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(api_releaseLANHistoryTraffic(t, count), 0);

    EXPECT_EQ(api_getLANHistoryTraffic(2, 0, 2, &t, &count), -2);
    EXPECT_EQ(api_releaseLANHistoryTraffic(nullptr, 0), -1);
}

TEST_F(LanVoip, HistoryTrafficFailureOnOnePortFreesTheOthers)
{
    api_LANHistoryTraffic_t *t = nullptr;
    int count = -1;
    fail("GetLANHistoryTraffic", std::string(kEth) + "/3");
    EXPECT_EQ(api_getLANHistoryTraffic(0, 0, 2, &t, &count), -1);
    EXPECT_EQ(t, nullptr);
    EXPECT_EQ(count, 0);

    s().control("SetReplyOverride",
                g_variant_new("(ssss)", "*", "*", "GetLANHistoryTraffic", "('', @as [], uint32 5, 'busy')"));
    gwtest::LogCapture log;
    EXPECT_EQ(api_getLANHistoryTraffic(1, 0, 2, &t, &count), -1);
    EXPECT_TRUE(log.contains("busy"));
}

TEST_F(LanVoip, VoiceLinesCarryTheirNumberFromThePath)
{
    s().set_object("/com/yvc/igd1/Info/VoIP/2", R"({"com.yvc.igd1.VoIPInfo": {"PhoneNumber": "'+8610555'",)"
                                                R"( "PasswordIndicator": "'1'", "LineStatus": "'Up'"}})");
    api_VoIPInfo_t *lines = nullptr;
    int count = 0;
    ASSERT_EQ(api_getVoIPInfo(&lines, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(lines[0].Index, 2u);
    EXPECT_STREQ(lines[0].Username, "+8610555");
    EXPECT_STREQ(lines[0].Status, "Up");
    EXPECT_EQ(api_releaseVoIPInfo(lines, count), 0);

    remove_matching("/Info/VoIP/");
    lines = reinterpret_cast<api_VoIPInfo_t *>(0x1);
    EXPECT_EQ(api_getVoIPInfo(&lines, &count), 0);
    EXPECT_EQ(lines, nullptr);
    EXPECT_EQ(count, 0);

    s().set_object("/com/yvc/igd1/Info/VoIP", R"({"com.yvc.igd1.VoIPServer": {"ServerAddress": "'sip.test'",)"
                                              R"( "ServerPort": "uint32 5062"}})");
    api_VoIPServerInfo_t server{};
    ASSERT_EQ(api_getVoIPServerInfo(&server), 0);
    EXPECT_STREQ(server.ServerAddress, "sip.test");
    EXPECT_EQ(server.ServerPort, 5062u);
    fail("GetAll", "/com/yvc/igd1/Info/VoIP");
    EXPECT_EQ(api_getVoIPServerInfo(&server), -1);
}

}  // namespace
}  // namespace apitest
