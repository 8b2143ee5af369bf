#include <cstring>
#include <string>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kWmmDb = "/com/yvc/igd1/Transfer/WMMConfiguration";
constexpr const char *kCfg = "com.yvc.igd1.WMMConfiguration";
constexpr const char *kSvc = "com.yvc.igd1.WMMServiceIPSet";

class Wmm : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Transfer/WMMConfiguration/");
        set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
        config(1, "SSID1", true, true);
        config(2, "SSID5", false, true);
        service(1, 1, "voice", "VO", "5060");
        service(1, 2, "video", "VI", "554");
    }
    static std::string cfg(unsigned n) { return std::string(kWmmDb) + "/" + std::to_string(n); }
    static std::string svc(unsigned c, unsigned n) { return cfg(c) + "/WMMServiceIPSet/" + std::to_string(n); }
    void config(unsigned n, const char *ssid, bool wmm, bool uapsd)
    {
        char json[256];
        std::snprintf(json, sizeof json,
                      R"({"%s": {"WMMEnable": "%s", "WMMSupportedSSID": "'%s'", "UAPSDSupported": "%s"}})", kCfg,
                      wmm ? "true" : "false", ssid, uapsd ? "true" : "false");
        s().set_object(cfg(n), json);
    }
    void service(unsigned c, unsigned n, const char *name, const char *ac, const char *port)
    {
        char json[512];
        std::snprintf(json, sizeof json,
                      R"({"%s": {"ServiceName": "'%s'", "ACLevel": "'%s'", "TargetIP": "'203.0.113.5'",)"
                      R"( "TargetPort": "'%s'", "SourceIP": "''", "SourcePort": "''", "Protocol": "'UDP'"}})",
                      kSvc, name, ac, port);
        s().set_object(svc(c, n), json);
    }
    static api_WMMServiceIPSet_t entry(const char *name, const char *ac, const char *port)
    {
        api_WMMServiceIPSet_t e{};
        std::strcpy(e.ServiceName, name);
        std::strcpy(e.ACLevel, ac);
        std::strcpy(e.TargetIP, "203.0.113.5");
        std::strcpy(e.TargetPort, port);
        std::strcpy(e.Protocol, "UDP");
        return e;
    }
};

TEST_F(Wmm, SsidNamesFollowTheRadioCount)
{
    for (const char *ok : {"SSID1", "SSID4", "SSID5", "SSID8"})
        EXPECT_EQ(isVaildWMMSSID(ok), 0) << ok;
    for (const char *bad : {"SSID0", "SSID9", "SSID10", "SSID", "ssid1", "SSID1 ", ""})
        EXPECT_EQ(isVaildWMMSSID(bad), -1) << bad;
    EXPECT_EQ(isVaildWMMSSID(nullptr), -1);

    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 1");
    EXPECT_EQ(isVaildWMMSSID("SSID4"), 0);
    EXPECT_EQ(isVaildWMMSSID("SSID5"), -1);

    gwtest::LogCapture log;
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    EXPECT_EQ(isVaildWMMSSID("SSID1"), -1);
    EXPECT_TRUE(log.contains("Device does not support WMM"));

    fail("Get", kDevice);
    EXPECT_EQ(isVaildWMMSSID("SSID1"), 0);
}

TEST_F(Wmm, EveryFunctionChecksTheWiFiCapability)
{
    api_WMMServiceIPSet_t e = entry("voice", "VO", "5060");
    api_WMMIPSetInfo_t *info = nullptr;
    int count = 0;
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    EXPECT_EQ(api_setWMMEnable("SSID1", FALSE, FALSE), -50);
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &e), -50);
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), -50);
    EXPECT_EQ(api_getWMMIPSetInfo("", "", &info, &count), -50);
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
    fail("Get", kDevice);
    EXPECT_EQ(api_setWMMEnable("SSID1", FALSE, FALSE), -1);
    EXPECT_EQ(s().prop_text(cfg(1), kCfg, "WMMEnable"), "true");
    EXPECT_EQ(s().exists(svc(1, 1)), true);
}

TEST_F(Wmm, EnableWritesOnlyTheDifferingPropertiesUapsdFirst)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWMMEnable("SSID1", TRUE, TRUE), 0);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setWMMEnable) " + cfg(1) + ".WMMEnable need not change."));

    EXPECT_EQ(api_setWMMEnable("SSID5", TRUE, TRUE), 0);
    EXPECT_EQ(s().call_count("SetValues"), 1u);
    const std::string one = last_args("SetValues");
    EXPECT_NE(one.find("WMMEnable"), std::string::npos) << one;
    EXPECT_EQ(one.find("UAPSDSupported"), std::string::npos) << one;

    // Without a name every configuration is brought to the values.
    EXPECT_EQ(api_setWMMEnable("", FALSE, FALSE), 0);
    const std::string both = last_args("SetValues");
    EXPECT_LT(both.find("UAPSDSupported"), both.find("WMMEnable")) << both;
    EXPECT_EQ(s().prop_text(cfg(1), kCfg, "WMMEnable"), "false");
    EXPECT_EQ(s().prop_text(cfg(2), kCfg, "UAPSDSupported"), "false");
}

TEST_F(Wmm, EnableOfUnknownSsidAddsAConfigurationAndRefusesBadNames)
{
    EXPECT_EQ(api_setWMMEnable("SSID3", TRUE, FALSE), 0);
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMSupportedSSID"), "'SSID3'");
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMEnable"), "true");
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "UAPSDSupported"), "false");
    EXPECT_EQ(api_setWMMEnable("SSID9", TRUE, FALSE), -1);
    EXPECT_EQ(s().call_count("AddObject"), 1u);
}

TEST_F(Wmm, EnableWalkStopsAtTheFirstFailedWriteAndNeedsObjects)
{
    fail("SetValues");
    EXPECT_EQ(api_setWMMEnable(nullptr, FALSE, FALSE), -1);
    EXPECT_EQ(s().prop_text(cfg(2), kCfg, "UAPSDSupported"), "true");
    remove_matching("/Transfer/WMMConfiguration/");
    EXPECT_EQ(api_setWMMEnable(nullptr, FALSE, FALSE), -1);
}

TEST_F(Wmm, ServiceSetWritesChangesAddsMissingAndRefusesEmptyNames)
{
    gwtest::LogCapture log;
    api_WMMServiceIPSet_t same = entry("voice", "VO", "5060");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &same), 0);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) SSID1.voice need not change."));

    api_WMMServiceIPSet_t moved = entry("voice", "VO", "5070");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &moved), 0);
    EXPECT_EQ(s().prop_text(svc(1, 1), kSvc, "TargetPort"), "'5070'");
    const std::string args = last_args("SetValues");
    EXPECT_NE(args.find("TargetPort"), std::string::npos) << args;
    EXPECT_EQ(args.find("ACLevel"), std::string::npos) << args;

    api_WMMServiceIPSet_t game = entry("game", "VI", "3074");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID5", &game), 0);
    EXPECT_EQ(s().prop_text(svc(2, 1), kSvc, "ServiceName"), "'game'");

    EXPECT_EQ(api_setWMMServiceIPSet("SSID2", &game), 0);
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMSupportedSSID"), "'SSID2'");
    EXPECT_EQ(s().prop_text(svc(3, 1), kSvc, "TargetPort"), "'3074'");

    api_WMMServiceIPSet_t unnamed = entry("", "VI", "1");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &unnamed), -1);
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", nullptr), -1);
    EXPECT_EQ(api_setWMMServiceIPSet("", &game), -1);
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) WMMSupportedSSID can not be NULL."));
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) ServiceName can not be NULL."));
}

TEST_F(Wmm, DeleteClearsOneServiceOneConfigurationOrAll)
{
    service(2, 1, "game", "VI", "3074");
    gwtest::LogCapture log;
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID1", "video"), 0);
    EXPECT_FALSE(s().exists(svc(1, 2)));
    EXPECT_TRUE(s().exists(svc(1, 1)));
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID1", "video"), -1);
    EXPECT_TRUE(log.contains("(api_deleteWMMServiceIPSet) WMMSupportedSSID or ServiceName no match object."));
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID7", ""), -1);
    EXPECT_TRUE(log.contains("(api_deleteWMMServiceIPSet) WMMSupportedSSID no match object."));

    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID5", nullptr), 0);
    EXPECT_FALSE(s().exists(svc(2, 1)));
    EXPECT_TRUE(s().exists(svc(1, 1)));

    service(2, 1, "game", "VI", "3074");
    fail("RemoveAllObjects", cfg(1) + "/WMMServiceIPSet");
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), -1);
    EXPECT_TRUE(log.contains("RemoveAllObjects " + cfg(1) + ".WMMServiceIPSet failed."));
    EXPECT_TRUE(s().exists(svc(2, 1)));
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), 0);
    EXPECT_FALSE(s().exists(svc(1, 1)));
    EXPECT_FALSE(s().exists(svc(2, 1)));
    EXPECT_TRUE(s().exists(cfg(2)));
}

TEST_F(Wmm, GetReturnsConfigurationsWithTheirServices)
{
    api_WMMIPSetInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getWMMIPSetInfo("", "", &info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(info[0].WMMSupportedSSID, "SSID1");
    EXPECT_TRUE(info[0].UAPSDSupported);
    ASSERT_EQ(info[0].ServiceNum, 2u);
    EXPECT_STREQ(info[0].Service[1].ServiceName, "video");
    EXPECT_STREQ(info[0].Service[1].TargetPort, "554");
    EXPECT_STREQ(info[1].WMMSupportedSSID, "SSID5");
    EXPECT_FALSE(info[1].WMMEnable);
    EXPECT_EQ(info[1].ServiceNum, 0u);
    EXPECT_EQ(info[1].Service, nullptr);
    EXPECT_EQ(api_releaseWMMIPSetInfo(info, count), 0);

    ASSERT_EQ(api_getWMMIPSetInfo("SSID1", "video", &info, &count), 0);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(info[0].ServiceNum, 1u);
    EXPECT_STREQ(info[0].Service[0].ACLevel, "VI");
    EXPECT_EQ(api_releaseWMMIPSetInfo(info, count), 0);
    EXPECT_EQ(api_releaseWMMIPSetInfo(nullptr, 0), -1);
}

TEST_F(Wmm, GetFailsWholeWithoutPartialResult)
{
    api_WMMIPSetInfo_t *info = nullptr;
    int count = -1;
    EXPECT_EQ(api_getWMMIPSetInfo("SSID2", "", &info, &count), -1);
    EXPECT_EQ(api_getWMMIPSetInfo("SSID1", "none", &info, &count), -1);
    fail("GetManagedObjects", cfg(2) + "/WMMServiceIPSet");
    EXPECT_EQ(api_getWMMIPSetInfo("", "", &info, &count), -1);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);

    remove_matching("/Transfer/WMMConfiguration/");
    EXPECT_EQ(api_getWMMIPSetInfo(nullptr, nullptr, &info, &count), 0);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace apitest
