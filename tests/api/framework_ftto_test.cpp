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

}  // namespace
}  // namespace apitest
