// Capability getters, their cache, and the pid file.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "standin.hpp"

namespace {

constexpr char kPath[] = "/com/yvc/igd1/Info/Device";
constexpr char kIface[] = "com.yvc.igd1.DeviceInfo";
const std::string kGet = std::string(kPath) + " " + kIface + " Get ";

class Capabilities : public ::testing::Test {
protected:
    void SetUp() override { g_logLevel = 7; }
    gwtest::StandIn svc;
    gwtest::LogCapture log;
};

// The cache lives as long as the process; each test uses its own capability.
TEST_F(Capabilities, CachedWiFiAsksTheBusOnceAfterSuccess)
{
    svc.set_prop(kPath, kIface, "DevWiFi", g_variant_new_byte(2));
    EXPECT_EQ(2, g_api_getDevWiFi());
    EXPECT_EQ(2, g_api_getDevWiFi());
    EXPECT_EQ(2, g_api_getDevWiFi());
    EXPECT_EQ(1u, svc.count(kGet + "DevWiFi"));
    EXPECT_TRUE(log.contains("check_device_capability : DeviceInfo.DevWiFi[2]."));
}

TEST_F(Capabilities, CachedUSBAsksAgainAfterAFailedRead)
{
    svc.fail(kGet + "DevUSB");
    EXPECT_EQ(-1, g_api_getDevUSB());
    EXPECT_EQ(-1, g_api_getDevUSB());
    EXPECT_EQ(2u, svc.count(kGet + "DevUSB"));
    svc.unfail(kGet + "DevUSB");
    svc.set_prop(kPath, kIface, "DevUSB", g_variant_new_byte(1));
    EXPECT_EQ(1, g_api_getDevUSB());
    EXPECT_EQ(1, g_api_getDevUSB());
    EXPECT_EQ(3u, svc.count(kGet + "DevUSB"));
}

TEST_F(Capabilities, ValuesOutsideTheKnownSetAreMinusOne)
{
    struct Case {
        const char *prop;
        GVariant *value;
        int (*get)();
        int want;
    };
    // clang-format off
    const Case cases[] = {
        {"WiFiVersion", g_variant_new_byte(3),   getDeviceWiFiVersion, -1},
        {"WiFiVersion", g_variant_new_byte(6),   getDeviceWiFiVersion, 6},
        {"DevWiFi",     g_variant_new_byte(3),   getDeviceWiFi,        -1},
        {"DevUSB",      g_variant_new_byte(2),   getDeviceUSB,         -1},
        {"DevType",     g_variant_new_byte(9),   getDevType,           9},
        {"WorkMode",    g_variant_new_byte(0),   getWorkMode,          0},
        {"POTSNum",     g_variant_new_uint32(2), getDevicePOTSNum,     2},
        {"DevType",     g_variant_new_string("1"), getDevType,         -1},  // a wrong type is a failed read
    };
    // clang-format on
    for (const Case &c : cases) {
        svc.set_prop(kPath, kIface, c.prop, c.value);
        EXPECT_EQ(c.get(), c.want) << c.prop;
    }
}

TEST_F(Capabilities, OnlineHostCountIsReadEveryTime)
{
    const char *hosts = "/com/yvc/igd1/Config/LANHosts";
    svc.set_prop(hosts, "com.yvc.igd1.LANHostManager", "LANHostOnlineNumber", g_variant_new_uint32(7));
    EXPECT_EQ(7, getLANHostOnlineNumber());
    EXPECT_EQ(7, getLANHostOnlineNumber());
    EXPECT_EQ(2u, svc.count(std::string(hosts) + " com.yvc.igd1.LANHostManager Get LANHostOnlineNumber"));
}

TEST(PidFile, WritesThePidWithoutNewlineAndMode0600)
{
    gwtest::TempRoot root;
    ASSERT_EQ(0, mkdir(root.path("/var").c_str(), 0755));
    ASSERT_EQ(0, mkdir(root.path("/var/run").c_str(), 0755));
    root.write("/var/run/plughost.pid", "9999999999 stale content");
    ASSERT_EQ(0, write_pid_to_file("/var/run/plughost.pid"));
    EXPECT_EQ(std::to_string(getpid()), root.read("/var/run/plughost.pid"));

    ASSERT_EQ(0, write_pid_to_file("/var/run/fresh.pid"));
    struct stat st {};
    ASSERT_EQ(0, stat(root.path("/var/run/fresh.pid").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);
}

TEST(PidFile, UnopenableFileIsMinusOne)
{
    gwtest::TempRoot root;
    gwtest::LogCapture log;
    EXPECT_EQ(-1, write_pid_to_file("/no/such/dir/x.pid"));
    EXPECT_EQ(-1, write_pid_to_file(nullptr));
    EXPECT_FALSE(root.exists("/no/such/dir/x.pid"));
}

}  // namespace
