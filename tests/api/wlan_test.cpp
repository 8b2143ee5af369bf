#include <string>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kWiFi = "/com/yvc/igd1/Info/WiFi";
constexpr const char *kWiFiIface = "com.yvc.igd1.WiFiInfo";
constexpr const char *kWlanIface = "com.yvc.igd1.WLANConfiguration";

class WlanSwitch : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
        set_prop(kWiFi, kWiFiIface, "DualBand", "true");
        set_prop(kWiFi, kWiFiIface, "Enable2G", "true");
        set_prop(kWiFi, kWiFiIface, "Enable5G", "false");
        for (unsigned n : {1u, 5u})
            s().set_object(dev(n), R"({"com.yvc.igd1.WLANConfiguration": {"Enable": "false"}})");
        s().control("ResetCounts", nullptr);
    }
    static std::string dev(unsigned n) { return "/com/yvc/igd1/Config/WLAN/Devices/" + std::to_string(n); }
    size_t calls_on(const std::string &path)
    {
        size_t n = 0;
        for (const auto &line : s().call_log())
            if (line.rfind(path + " ", 0) == 0 && line.find(" Set") != std::string::npos)
                ++n;
        return n;
    }
};

TEST_F(WlanSwitch, SsidIndexMustBeOneToEight)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWLANSSIDSwitch(0, TRUE), -1);
    EXPECT_EQ(api_setWLANSSIDSwitch(9, TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANSSIDSwitch) ssidIndex 9 is invalide, should be 1--8"));
    EXPECT_EQ(s().call_count("Set"), 0u);
}

TEST_F(WlanSwitch, SwitchingOnAnSsidSwitchesItsRadioOnFirst)
{
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), 0);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "true");

    // The 2.4G radio is already on: only the SSID is written.
    EXPECT_EQ(api_setWLANSSIDSwitch(1, TRUE), 0);
    EXPECT_EQ(s().prop_text(dev(1), kWlanIface, "Enable"), "true");
    EXPECT_EQ(calls_on(kWiFi), 1u);
}

TEST_F(WlanSwitch, SwitchingOffNeverTouchesTheRadios)
{
    set_prop(dev(5), kWlanIface, "Enable", "true");
    EXPECT_EQ(api_setWLANSSIDSwitch(5, FALSE), 0);
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "false");
    EXPECT_EQ(calls_on(kWiFi), 0u);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "false");
}

TEST_F(WlanSwitch, FailedRadioReadOrWriteLeavesTheSsidAlone)
{
    fail("GetAll", kWiFi);
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), -1);
    fail("Set", kWiFi);
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), -1);
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "false");
    fail("Set", dev(1));
    EXPECT_EQ(api_setWLANSSIDSwitch(1, TRUE), -1);
}

TEST_F(WlanSwitch, DeviceWithoutWiFiRefusesBothSwitches)
{
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    EXPECT_EQ(api_setWLANSSIDSwitch(1, TRUE), -50);
    EXPECT_EQ(api_setWLANHardwareSwitch("2.4G", FALSE), -50);
    fail("Get", kDevice);
    EXPECT_EQ(api_setWLANHardwareSwitch("2.4G", FALSE), -1);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable2G"), "true");
}

TEST_F(WlanSwitch, HardwareSwitchChecksRadioTextAndBand)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWLANHardwareSwitch(nullptr, TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) radioType is null."));
    EXPECT_EQ(api_setWLANHardwareSwitch("2.4g", TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) radioType 2.4g is invalide, should be 2.4G or 5G."));

    EXPECT_EQ(api_setWLANHardwareSwitch("2.4G", TRUE), 0);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) 2.4G switch need not change."));
    EXPECT_EQ(s().call_count("Set"), 0u);

    EXPECT_EQ(api_setWLANHardwareSwitch("5G", TRUE), 0);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");

    set_prop(kWiFi, kWiFiIface, "DualBand", "false");
    EXPECT_EQ(api_setWLANHardwareSwitch("5G", FALSE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) not supported 5G, should be 2.4G."));
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");
}

}  // namespace
}  // namespace apitest
