#include <string>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kZep = "/com/yvc/zep1";
constexpr const char *kOptic = "/com/yvc/igd1/FTTO/LanOptic";

using FrameworkAndFtto = ApiSim;

TEST_F(FrameworkAndFtto, ZepLogLevelIsReadAndWrittenAsAByteWithinSyslogPriorities)
{
    EXPECT_EQ(api_setZepmgLogLevel(7), 0);
    EXPECT_EQ(s().prop_text(kZep, "com.yvc.zep1.framework", "ZepLogLevel"), "byte 0x07");
    int level = -1;
    ASSERT_EQ(api_getZepmgLogLevel(&level), 0);
    EXPECT_EQ(level, 7);
    EXPECT_EQ(api_setZepmgLogLevel(8), -1);
    EXPECT_EQ(api_setZepmgLogLevel(-1), -1);
    EXPECT_EQ(s().prop_text(kZep, "com.yvc.zep1.framework", "ZepLogLevel"), "byte 0x07");
    fail("Set", kZep);
    EXPECT_EQ(api_setZepmgLogLevel(3), -1);
    fail("GetAll", kZep);
    EXPECT_EQ(api_getZepmgLogLevel(&level), -1);
}

TEST_F(FrameworkAndFtto, LanOpticInfoCarriesTheDoubles)
{
    s().set_object(kOptic, R"({"com.yvc.igd1.LanOpticInfo": {"Temperature": "41.25", "Voltage": "3.3",)"
                           R"( "Current": "12.5", "TXPower": "-2.75", "RXPower": "-18.4"}})");
    api_FTTOLanOpticInfo_t o{};
    ASSERT_EQ(api_getFTTOMasterLanOpticInfo(&o), 0);
    EXPECT_DOUBLE_EQ(o.Temperature, 41.25);
    EXPECT_DOUBLE_EQ(o.TXPower, -2.75);
    EXPECT_DOUBLE_EQ(o.RXPower, -18.4);
    fail("GetAll", kOptic);
    EXPECT_EQ(api_getFTTOMasterLanOpticInfo(&o), -1);
    EXPECT_EQ(api_getFTTOMasterLanOpticInfo(nullptr), -1);
}

TEST_F(FrameworkAndFtto, ZepInfoAndRestoreAnswerForTheFrameworkService)
{
    api_ZEPInfo_t info{};
    ASSERT_EQ(api_getZEPInfo(&info), 0);
    EXPECT_EQ("'" + std::string(info.ZepVersion) + "'", s().prop_text(kZep, "com.yvc.zep1.framework", "ZepVersion"));
    EXPECT_EQ("'" + std::string(info.GwagentVersion) + "'",
              s().prop_text(kZep, "com.yvc.zep1.framework", "GwagentVersion"));
    fail("GetAll", kZep);
    EXPECT_EQ(api_getZEPInfo(&info), -1);
    EXPECT_EQ(api_getZEPInfo(nullptr), -1);

    EXPECT_EQ(api_framework_Restore(), 0);
    EXPECT_EQ(s().call_count("Restore"), 1u);
    s().control("SetResult", g_variant_new("(sus)", "Restore", 3u, ""));
    EXPECT_EQ(api_framework_Restore(), 3);
    s().control("SetResult", g_variant_new("(sus)", "Restore", 0x80000000u, ""));
    EXPECT_EQ(api_framework_Restore(), -1) << "a refusal never reads as success or as a small code";
    fail("Restore", kZep);
    EXPECT_EQ(api_framework_Restore(), -1);
}

class FttoMaster : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        const std::string profile = gwtest::source_dir() + "/sim/igd1/profiles/ftto_master.json";
        s().control("LoadProfile", g_variant_new("(s)", profile.c_str()));
    }
};

TEST_F(FttoMaster, CountsAndSlaveListComeFromTheSlaveManager)
{
    EXPECT_EQ(check_is_ftto(), 1);
    int allow = -1, slaves = -1, online = -1;
    ASSERT_EQ(api_getAllowSlaveNum(&allow), 0);
    ASSERT_EQ(api_getSlaveNum(&slaves), 0);
    ASSERT_EQ(api_getSlaveOnlineNum(&online), 0);
    EXPECT_EQ(allow, 8);
    EXPECT_EQ(slaves, 2);
    EXPECT_EQ(online, 1);
    api_FTTOSlaveInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getFTTOSlaveAllInfo(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0].PortNum, 2u);
    EXPECT_STREQ(list[0].SN, "YVCS00000001");
    EXPECT_STREQ(list[1].MAC, "a4-b1-c2-d3-e4-99");
    EXPECT_EQ(list[1].LinkStatus, 0u);
    EXPECT_EQ(api_releaseFTTOSlaveAllInfo(list, count), 0);
    EXPECT_EQ(api_releaseFTTOSlaveAllInfo(nullptr, 0), -1);
}

TEST_F(FttoMaster, RefusedCodesAndFailuresGiveNoList)
{
    api_FTTOSlaveInfo_t *list = reinterpret_cast<api_FTTOSlaveInfo_t *>(&list);
    int count = -1;
    s().override_reply("*", "*", "GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    EXPECT_EQ(api_getFTTOSlaveAllInfo(&list, &count), -1);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    s().override_reply("*", "*", "GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 0, '')");
    ASSERT_EQ(api_getFTTOSlaveAllInfo(&list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    int n = -1;
    fail("GetAll", "/com/yvc/igd1/FTTO/Master");
    EXPECT_EQ(api_getSlaveNum(&n), -1);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(api_getSlaveNum(nullptr), -1);
}

TEST_F(FttoMaster, OtherDevicesAreRefusedBeforeTheSlaveManagerIsAsked)
{
    gwtest::LogCapture log;
    set_prop(kDevice, kDeviceIface, "DevType", "byte 12");
    EXPECT_EQ(check_is_ftto(), 0);
    s().control("ResetCounts", nullptr);
    int n = -1;
    EXPECT_EQ(api_getAllowSlaveNum(&n), -21);
    api_FTTOSlaveInfo_t *list = nullptr;
    int count = 0;
    EXPECT_EQ(api_getFTTOSlaveAllInfo(&list, &count), -21);
    EXPECT_EQ(s().call_count("GetSlaveAllInfo"), 0u);
    EXPECT_TRUE(log.contains("(api_getAllowSlaveNum) API only support FTTO Master device."));
    fail("Get", kDevice);
    fail("GetAll", kDevice);
    EXPECT_EQ(check_is_ftto(), -1);
}

}  // namespace
}  // namespace apitest
