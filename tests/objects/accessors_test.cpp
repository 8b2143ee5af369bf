// The accessors against the configuration simulator on the private bus: the PortMapping family in
// full, path checks, empty and failing collections, and the special writes of some kinds.
#include <string>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "gwtest.hpp"
#include "model.hpp"

namespace {

constexpr char kWan1[] = "/com/yvc/igd1/Info/Network/WANConnectionDb/1";
constexpr char kMappings[] = "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping";
constexpr char kPm[] = "com.yvc.igd1.PortMapping";

// WAN connection 1 with three mappings; the second has its properties in reverse order and an extra
// property, the third a protocol of seven characters.
constexpr char kWanWithMappings[] = R"({
  "/com/yvc/igd1/Info/Network/WANConnectionDb/1": {"com.yvc.igd1.WANConnectionInfo": {"WANName": "'1_INTERNET_R_VID_100'"}},
  "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1": {"com.yvc.igd1.PortMapping": {
      "PortMappingEnabled": "true", "PortMappingLeaseDuration": "uint32 0", "RemoteHost": "''",
      "ExternalPort": "uint32 8080", "InternalPort": "uint32 80", "PortMappingProtocol": "'TCP'",
      "InternalClient": "'192.168.1.20'", "PortMappingDescription": "'web'"}},
  "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/2": {"com.yvc.igd1.PortMapping": {
      "Colour": "'blue'",
      "PortMappingDescription": "'ssh'", "InternalClient": "'192.168.1.21'", "PortMappingProtocol": "'UDP'",
      "InternalPort": "uint32 22", "ExternalPort": "uint32 2222", "RemoteHost": "'10.1.1.1'",
      "PortMappingLeaseDuration": "uint32 60", "PortMappingEnabled": "false"}},
  "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/3": {"com.yvc.igd1.PortMapping": {
      "PortMappingProtocol": "'TCPUDPX'", "ExternalPort": "uint32 53"}}
})";

class Accessors : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(model.ready());
        model.load(kWanWithMappings);
    }
    gwtest::TempRoot root;
    gwtest::Model model;
};

TEST_F(Accessors, GetObjsListsMappingsInReplyOrderWithTheirPaths)
{
    gwtest::LogCapture log;
    ccif_PortMapping_t *pm = nullptr;
    int count = 0;
    ASSERT_EQ(ccif_PortMapping_get_objs(kWan1, &pm, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(model.count("GetManagedObjects", kMappings), 1u);
    EXPECT_STREQ(pm[0].path, "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1");
    EXPECT_EQ(pm[0].ExternalPort, 8080u);
    EXPECT_TRUE(pm[0].PortMappingEnabled);
    EXPECT_STREQ(pm[1].path, "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/2");
    EXPECT_STREQ(pm[1].PortMappingDescription, "ssh");
    EXPECT_STREQ(pm[1].RemoteHost, "10.1.1.1");
    EXPECT_EQ(pm[1].PortMappingLeaseDuration, 60u);
    EXPECT_FALSE(pm[1].PortMappingEnabled);
    EXPECT_STREQ(pm[2].PortMappingProtocol, "TCPUDP");
    EXPECT_EQ(log.count("key string is not match key [Colour]."), 1u);
    g_free(pm);
}

TEST_F(Accessors, BadPathsFailBeforeAnyBusCall)
{
    gwtest::LogCapture log;
    model.clear();
    ccif_PortMapping_t rec{};
    EXPECT_EQ(ccif_PortMapping_get("/com/yvc/igd1/Info/Device", &rec), -1);
    EXPECT_TRUE(log.contains("the object path is invalid."));
    EXPECT_EQ(ccif_PortMapping_get(nullptr, &rec), -1);
    EXPECT_TRUE(log.contains("the path is null."));
    EXPECT_EQ(ccif_PortMapping_get("/com/yvc/igd1//x", &rec), -1);
    EXPECT_TRUE(log.contains("the path [/com/yvc/igd1//x] is invalid object path."));
    EXPECT_EQ(ccif_PortMapping_get(
                  ("/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/" + std::string(250, '9')).c_str(), &rec),
              -1);
    // One level short: DeleteObject would go to WANConnectionDb and remove the connection itself.
    EXPECT_EQ(ccif_PortMapping_del_obj(kWan1), -1);
    EXPECT_EQ(ccif_PortMapping_set(&rec), -1);
    EXPECT_TRUE(log.contains("The Params pObj or pObj->path is null."));
    EXPECT_EQ(ccif_PortMapping_set(nullptr), -1);

    ccif_PortMapping_t *pm = nullptr;
    int count = 0;
    EXPECT_EQ(ccif_PortMapping_get_objs("/com/yvc/igd1/Config/LANHosts/1", &pm, &count), -1);
    EXPECT_EQ(ccif_PortMapping_get_objs(kWan1, nullptr, &count), -1);
    EXPECT_TRUE(log.contains("the parameter is invalid."));
    EXPECT_EQ(
        ccif_PortMapping_add_obj(("/com/yvc/igd1/Info/Network/WANConnectionDb/" + std::string(230, '1')).c_str(), &rec),
        -1);
    EXPECT_EQ(ccif_WLANConfiguration_setv("/com/yvc/igd1/Config/WLAN", g_variant_new_parsed("@a{sv} {'SSID': <'x'>}")),
              -1);
    EXPECT_EQ(ccif_WLANConfiguration_setv("/com/yvc/igd1/Config/WLAN/Devices/1", nullptr), -1);
    EXPECT_TRUE(log.contains("The variant is null."));
    EXPECT_EQ(ccif_WPS_get("/com/yvc/igd1/Config/WLAN/Devices/1", nullptr), -1);
    // A collection, a child of the wrong kind, a parent level or a path that climbs is no object of the kind.
    ccif_WLANConfiguration_t wlan{};
    ccif_TrafficQoSClassification_t cls{};
    EXPECT_EQ(ccif_PortMapping_get((std::string(kMappings) + "/").c_str(), &rec), -1);
    EXPECT_EQ(ccif_WLANConfiguration_get("/com/yvc/igd1/Config/WLAN/Devices", &wlan), -1);
    EXPECT_EQ(ccif_WLANConfiguration_get("/com/yvc/igd1/Config/WLAN/Devices/1/WPS", &wlan), -1);
    EXPECT_EQ(ccif_TrafficQoSClassification_del_obj("/com/yvc/igd1/Transfer/TrafficQoSFlow/1/Classification"), -1);
    EXPECT_EQ(ccif_TrafficQoSClassification_del_obj("/com/yvc/igd1/Transfer/TrafficQoSFlow/1/../1"), -1);
    EXPECT_TRUE(log.contains("the path [/com/yvc/igd1/Transfer/TrafficQoSFlow/1/../1] is invalid object path."));
    EXPECT_EQ(ccif_TrafficQoSClassification_add_obj("/com/yvc/igd1/Transfer/TrafficQoSFlow", &cls), -1);
    copy_truncated(cls.path, "/com/yvc/igd1/Transfer/TrafficQoSFlow/1");
    EXPECT_EQ(ccif_TrafficQoSClassification_set(&cls), -1);
    EXPECT_EQ(ccif_WLANConfiguration_setv("/com/yvc/igd1/Config/WLAN/Devices/x y",
                                          g_variant_new_parsed("@a{sv} {'SSID': <'x'>}")),
              -1);

    EXPECT_EQ(model.total_calls(), 0u);
    EXPECT_EQ(pm, nullptr);
}

TEST_F(Accessors, EmptyCollectionIsCountZeroNullAndSuccess)
{
    model.load(
        R"({"/com/yvc/igd1/Info/Network/WANConnectionDb/2": {"com.yvc.igd1.WANConnectionInfo": {"WANName": "'2'"}}})");
    ccif_PortMapping_t *pm = reinterpret_cast<ccif_PortMapping_t *>(0x1);
    int count = 42;
    ASSERT_EQ(ccif_PortMapping_get_objs("/com/yvc/igd1/Info/Network/WANConnectionDb/2", &pm, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(pm, nullptr);
}

// A refused call fails, says which, and leaves what the caller passed in as it was.
TEST_F(Accessors, RefusedCallsLeaveTheOutputsAlone)
{
    gwtest::LogCapture log;
    model.fail("GetManagedObjects", kMappings);
    ccif_PortMapping_t *pm = nullptr;
    int count = 7;
    EXPECT_EQ(ccif_PortMapping_get_objs(kWan1, &pm, &count), -1);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(pm, nullptr);
    EXPECT_TRUE(log.contains("GetManagedObjects failed with ret(-1)"));

    model.fail("AddObject");
    ccif_PortMapping_t rec{};
    EXPECT_EQ(ccif_PortMapping_add_obj(kWan1, &rec), -1);
    EXPECT_TRUE(log.contains("add PortMapping failed, ret = -1"));
    EXPECT_EQ(model.count("SetValues"), 0u);

    model.fail("GetAll");
    ccif_DeviceInfo_t dev{};
    copy_truncated(dev.SWVersion, "V1.0");
    EXPECT_EQ(ccif_DeviceInfo_get(&dev), -1);
    EXPECT_STREQ(dev.SWVersion, "V1.0");
    EXPECT_EQ(model.count("GetAll", "/com/yvc/igd1/Info/Device"), 1u);
}

TEST_F(Accessors, WrongReplyTypesFailCleanly)
{
    const std::string one = std::string(kMappings) + "/1";
    model.raw("GetAll", one, g_variant_new_parsed("('not a map',)"));
    model.raw("GetManagedObjects", kMappings, g_variant_new_parsed("(@a{sv} {},)"));
    model.raw("AddObject", kMappings, g_variant_new_parsed("('/com/yvc/igd1/x',)"));

    ccif_PortMapping_t rec{};
    copy_truncated(rec.RemoteHost, "unchanged");
    EXPECT_EQ(ccif_PortMapping_get(one.c_str(), &rec), -1);
    EXPECT_STREQ(rec.RemoteHost, "unchanged");

    ccif_PortMapping_t *pm = nullptr;
    int count = 0;
    EXPECT_EQ(ccif_PortMapping_get_objs(kWan1, &pm, &count), -1);
    EXPECT_EQ(pm, nullptr);

    gwtest::LogCapture log;
    EXPECT_EQ(ccif_PortMapping_add_obj(kWan1, &rec), -1);
    EXPECT_TRUE(log.contains("add PortMapping failed, reply type (s) is not (o)"));
    EXPECT_EQ(model.count("SetValues"), 0u);
    EXPECT_STREQ(rec.path, "");
}

TEST_F(Accessors, SetWritesTheWritablePropertiesInOrder)
{
    ccif_PortMapping_t rec{};
    copy_truncated(rec.path, "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1");
    rec.PortMappingEnabled = TRUE;
    rec.PortMappingLeaseDuration = 99;
    copy_truncated(rec.RemoteHost, "");
    rec.ExternalPort = 8443;
    rec.InternalPort = 443;
    copy_truncated(rec.PortMappingProtocol, "TCP");
    copy_truncated(rec.InternalClient, "192.168.1.30");
    copy_truncated(rec.PortMappingDescription, "tls");
    ASSERT_EQ(ccif_PortMapping_set(&rec), 0);
    EXPECT_EQ(model.count("SetValues", rec.path), 1u);
    EXPECT_EQ(model.last_args("SetValues"),
              "('com.yvc.igd1.PortMapping', {'RemoteHost': <''>, 'ExternalPort': <uint32 8443>, "
              "'InternalPort': <uint32 443>, 'PortMappingProtocol': <'TCP'>, 'InternalClient': <'192.168.1.30'>, "
              "'PortMappingDescription': <'tls'>, 'PortMappingEnabled': <true>})");
    EXPECT_EQ(model.prop_text(rec.path, kPm, "PortMappingLeaseDuration"), "uint32 0") << "never written";
}

TEST_F(Accessors, SetRefusesTextThatIsNotUtf8)
{
    gwtest::LogCapture log;
    ccif_PortMapping_t rec{};
    copy_truncated(rec.path, "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1");
    copy_truncated(rec.PortMappingDescription, "caf\xe9");
    EXPECT_EQ(ccif_PortMapping_set(&rec), -1);
    EXPECT_TRUE(log.contains("property PortMappingDescription of com.yvc.igd1.PortMapping is not valid UTF-8."));
    EXPECT_EQ(model.count("SetValues"), 0u);
}

TEST_F(Accessors, AddObjWritesTheNewObjectAndStoresItsPath)
{
    ccif_PortMapping_t rec{};
    rec.ExternalPort = 21;
    copy_truncated(rec.PortMappingProtocol, "TCP");
    ASSERT_EQ(ccif_PortMapping_add_obj(kWan1, &rec), 0);
    EXPECT_STREQ(rec.path, "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/4");
    EXPECT_EQ(model.calls(),
              (std::vector<std::string>{"AddObject /com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping",
                                        "SetValues /com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/4"}));
    EXPECT_EQ(model.prop_text(rec.path, kPm, "ExternalPort"), "uint32 21");
}

TEST_F(Accessors, AddObjWhoseWriteFailsLeavesNoObject)
{
    gwtest::LogCapture log;
    model.fail("SetValues");
    ccif_PortMapping_t rec{};
    rec.ExternalPort = 21;
    EXPECT_EQ(ccif_PortMapping_add_obj(kWan1, &rec), -1);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/4"));
    EXPECT_EQ(model.count("DeleteObject", kMappings), 1u);
    EXPECT_EQ(model.last_args("DeleteObject"),
              "(objectpath '/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/4',)");
    EXPECT_STREQ(rec.path, "") << "the record keeps no path of an object that is gone";
    EXPECT_TRUE(log.contains("update obj for /com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/4 fail!"));
}

TEST_F(Accessors, DelObjCallsDeleteObjectAtTheCollection)
{
    const std::string third = std::string(kMappings) + "/3";
    ASSERT_EQ(ccif_PortMapping_del_obj(third.c_str()), 0);
    EXPECT_EQ(model.calls(),
              (std::vector<std::string>{"DeleteObject /com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping"}));
    EXPECT_EQ(model.last_args("DeleteObject"), "(objectpath '" + third + "',)");
    EXPECT_FALSE(model.exists(third));
    EXPECT_TRUE(model.exists(std::string(kMappings) + "/2"));

    model.fail("DeleteObject");
    EXPECT_EQ(ccif_PortMapping_del_obj((std::string(kMappings) + "/2").c_str()), -1);
}

TEST_F(Accessors, SetvSendsTheCallersMapUnchanged)
{
    model.load(R"({"/com/yvc/igd1/Config/LANHosts/3": {"com.yvc.igd1.LANHost": {"MAC": "'A0B1C2D3E4F5'"}}})");
    ASSERT_EQ(ccif_LANHost_setv("/com/yvc/igd1/Config/LANHosts/3",
                                g_variant_new_parsed("@a{sv} {'DevName': <'tv'>, 'DevType': <'STB'>}")),
              0);
    EXPECT_EQ(model.last_args("SetValues"), "('com.yvc.igd1.LANHost', {'DevName': <'tv'>, 'DevType': <'STB'>})");
    EXPECT_EQ(ccif_LANHost_setv("/com/yvc/igd1/Config/LANHosts/3", g_variant_new_parsed("('not', 'a map')")), -1);
}

TEST_F(Accessors, LanHostManagerWritesEnableStatsWithSet)
{
    model.load(R"({"/com/yvc/igd1/Config/LANHosts": {"com.yvc.igd1.LANHostManager": {"EnableStats": "false",
        "LANHostMaxNumber": "uint32 64", "LANHostNumber": "uint32 5", "LANHostOnlineNumber": "uint32 3"}}})");
    ccif_LANHostManager_t rec{};
    ASSERT_EQ(ccif_LANHostManager_get(&rec), 0);
    EXPECT_EQ(rec.LANHostOnlineNumber, 3u);
    rec.EnableStats = TRUE;
    ASSERT_EQ(ccif_LANHostManager_set(&rec), 0);
    EXPECT_EQ(model.count("SetValues"), 0u);
    EXPECT_EQ(model.last_args("Set"), "('com.yvc.igd1.LANHostManager', 'EnableStats', <true>)");
}

TEST_F(Accessors, Layer3SetUpdatesAnExistingRouteAndAddsAMissingOne)
{
    model.load(R"({"/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config/1": {"com.yvc.igd1.Layer3ForwardingIPv4Config": {
        "Enable": "true", "Status": "'Enabled'", "StaticRoute": "true", "Type": "'Static'",
        "DestIPAddress": "'10.0.0.0'", "DestSubnetMask": "'255.0.0.0'", "GatewayIPAddress": "'192.168.1.254'",
        "Interface": "'br0'"}}})");
    ccif_Layer3ForwardingIPv4Config_t rec{};
    copy_truncated(rec.path, "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config/1");
    copy_truncated(rec.DestIPAddress, "10.0.0.0");
    copy_truncated(rec.DestSubnetMask, "255.255.0.0");
    copy_truncated(rec.GatewayIPAddress, "192.168.1.1");
    copy_truncated(rec.Interface, "br0");
    ASSERT_EQ(ccif_Layer3ForwardingIPv4Config_set(&rec), 0);
    EXPECT_EQ(model.count("AddObject"), 0u);
    EXPECT_EQ(model.prop_text(rec.path, "com.yvc.igd1.Layer3ForwardingIPv4Config", "DestSubnetMask"), "'255.255.0.0'");
    EXPECT_EQ(model.last_args("SetValues"),
              "('com.yvc.igd1.Layer3ForwardingIPv4Config', {'DestIPAddress': <'10.0.0.0'>, 'DestSubnetMask': "
              "<'255.255.0.0'>, 'GatewayIPAddress': <'192.168.1.1'>, 'Interface': <'br0'>, 'Enable': <false>})");

    copy_truncated(rec.path, "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config/9");
    ASSERT_EQ(ccif_Layer3ForwardingIPv4Config_set(&rec), 0);
    EXPECT_EQ(model.count("AddObject", "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config"), 1u);
    EXPECT_STREQ(rec.path, "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config/2");
    EXPECT_EQ(model.prop_text(rec.path, "com.yvc.igd1.Layer3ForwardingIPv4Config", "GatewayIPAddress"),
              "'192.168.1.1'");
}

TEST_F(Accessors, DelObjsDeletesEveryChildAndClearEmptiesTheCollection)
{
    model.load(R"({
      "/com/yvc/igd1/Config/URLControlConfig/1": {"com.yvc.igd1.URLControlConfig": {"Name": "'kids'"}},
      "/com/yvc/igd1/Config/URLControlConfig/1/Duration/1": {"com.yvc.igd1.URLControlDuration": {"StartTime": "'08:00'"}},
      "/com/yvc/igd1/Config/URLControlConfig/1/Duration/2": {"com.yvc.igd1.URLControlDuration": {"StartTime": "'18:00'"}},
      "/com/yvc/igd1/Transfer/TrafficQoSFlow/1": {"com.yvc.igd1.TrafficQoSFlow": {"Flow": "uint32 0"}},
      "/com/yvc/igd1/Transfer/TrafficQoSFlow/1/Classification/1": {"com.yvc.igd1.TrafficQoSClassification": {"RemotePort": "'80'"}}
    })");
    ASSERT_EQ(ccif_URLControlDuration_del_objs("/com/yvc/igd1/Config/URLControlConfig/1"), 0);
    EXPECT_EQ(model.count("DeleteObject", "/com/yvc/igd1/Config/URLControlConfig/1/Duration"), 2u);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/Config/URLControlConfig/1/Duration/1"));
    EXPECT_FALSE(model.exists("/com/yvc/igd1/Config/URLControlConfig/1/Duration/2"));
    EXPECT_TRUE(model.exists("/com/yvc/igd1/Config/URLControlConfig/1"));

    ASSERT_EQ(ccif_TrafficQoSClassification_clear_objs("/com/yvc/igd1/Transfer/TrafficQoSFlow/1"), 0);
    EXPECT_EQ(model.count("RemoveAllObjects", "/com/yvc/igd1/Transfer/TrafficQoSFlow/1/Classification"), 1u);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/Transfer/TrafficQoSFlow/1/Classification/1"));
}

TEST_F(Accessors, StringListsRoundTripAndAreReleasedWithTheBlock)
{
    model.load(R"({"/com/yvc/igd1/Config/URLControlConfig/1": {"com.yvc.igd1.URLControlConfig": {
        "Name": "'kids'", "UrlFilterEnable": "byte 1", "UrlFilterPolicy": "byte 0",
        "UrlFilterList": "['games.example', 'video.example']"}}})");
    ccif_URLControlConfig_t *cfg = nullptr;
    int count = 0;
    ASSERT_EQ(ccif_URLControlConfig_get_objs(&cfg, &count), 0);
    ASSERT_EQ(count, 1);
    ASSERT_NE(cfg[0].UrlFilterList, nullptr);
    EXPECT_STREQ(cfg[0].UrlFilterList[1], "video.example");
    cfg[0].UrlFilterPolicy = 1;
    ASSERT_EQ(ccif_URLControlConfig_set(&cfg[0]), 0);
    EXPECT_EQ(model.last_args("SetValues"),
              "('com.yvc.igd1.URLControlConfig', {'Name': <'kids'>, 'UrlFilterPolicy': <byte 0x01>, "
              "'UrlFilterEnable': <byte 0x01>})");
    ccif_free_objs("URLControlConfig", cfg, count);
}

}  // namespace
