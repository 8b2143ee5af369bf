// The map-parsing algorithm on its own: the rotating key match, truncation, integer widths, lists.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "object_engine.hpp"

namespace {

using gw::objects::find_kind;
using gw::objects::Kind;
using gw::objects::parse_map;

gw::VariantPtr map_of(const char *text)
{
    gw::ErrorPtr err;
    gw::VariantPtr v(g_variant_parse(G_VARIANT_TYPE_VARDICT, text, nullptr, nullptr, gw::ErrorOut(err)));
    EXPECT_TRUE(v) << text << ": " << gw::error_text(err);
    return v;
}

const Kind &kind(const char *name)
{
    const Kind *k = find_kind(name);
    EXPECT_NE(k, nullptr) << name;
    return *k;
}

constexpr char kTableOrder[] =
    "{'PortMappingEnabled': <true>, 'PortMappingLeaseDuration': <uint32 3600>, 'RemoteHost': <'10.0.0.9'>,"
    " 'ExternalPort': <uint32 8080>, 'InternalPort': <uint32 80>, 'PortMappingProtocol': <'TCP'>,"
    " 'InternalClient': <'192.168.1.20'>, 'PortMappingDescription': <'web'>}";
constexpr char kReverseOrder[] =
    "{'PortMappingDescription': <'web'>, 'InternalClient': <'192.168.1.20'>, 'PortMappingProtocol': <'TCP'>,"
    " 'InternalPort': <uint32 80>, 'ExternalPort': <uint32 8080>, 'RemoteHost': <'10.0.0.9'>,"
    " 'PortMappingLeaseDuration': <uint32 3600>, 'PortMappingEnabled': <true>}";

TEST(ObjectParsing, ReverseOrderFillsTheSameRecordAsTableOrder)
{
    ccif_PortMapping_t in_order{}, reversed{};
    ASSERT_EQ(parse_map(kind("PortMapping"), map_of(kTableOrder).get(), &in_order), 0);
    ASSERT_EQ(parse_map(kind("PortMapping"), map_of(kReverseOrder).get(), &reversed), 0);
    EXPECT_EQ(std::memcmp(&in_order, &reversed, sizeof in_order), 0);
    EXPECT_TRUE(in_order.PortMappingEnabled);
    EXPECT_EQ(in_order.PortMappingLeaseDuration, 3600u);
    EXPECT_STREQ(in_order.RemoteHost, "10.0.0.9");
    EXPECT_EQ(in_order.ExternalPort, 8080u);
    EXPECT_EQ(in_order.InternalPort, 80u);
    EXPECT_STREQ(in_order.PortMappingProtocol, "TCP");
    EXPECT_STREQ(in_order.InternalClient, "192.168.1.20");
    EXPECT_STREQ(in_order.PortMappingDescription, "web");
    EXPECT_STREQ(in_order.path, "");
}

TEST(ObjectParsing, ExtraPropertyIsLoggedOnceAndTheRestFilled)
{
    gwtest::LogCapture log;
    ccif_DHCPServer_t rec{};
    ASSERT_EQ(parse_map(kind("DHCPServer"),
                        map_of("{'DHCPServerEnable': <true>, 'LocalIP': <'192.168.1.1'>, 'Submask': <'255.255.255.0'>,"
                               " 'Vendor': <'x'>, 'DHCPStartIP': <'192.168.1.2'>, 'DHCPEndIP': <'192.168.1.254'>,"
                               " 'DHCPDuration': <uint32 86400>}")
                            .get(),
                        &rec),
              0);
    EXPECT_TRUE(rec.DHCPServerEnable);
    EXPECT_STREQ(rec.LocalIP, "192.168.1.1");
    EXPECT_STREQ(rec.Submask, "255.255.255.0");
    EXPECT_STREQ(rec.DHCPStartIP, "192.168.1.2");
    EXPECT_STREQ(rec.DHCPEndIP, "192.168.1.254");
    EXPECT_EQ(rec.DHCPDuration, 86400u);
    EXPECT_EQ(log.count("3 key string is not match key [Vendor]."), 1u);
    EXPECT_EQ(log.count("key string is not match key"), 1u);
    EXPECT_EQ(log.count("Count of property [6] is not equal the get count [7]."), 1u);
}

TEST(ObjectParsing, StringsAreCutToTheirCapacity)
{
    ccif_PortMapping_t rec{};
    ASSERT_EQ(parse_map(kind("PortMapping"), map_of("{'PortMappingProtocol': <'TCPUDPX'>}").get(), &rec), 0);
    EXPECT_STREQ(rec.PortMappingProtocol, "TCPUDP");
    EXPECT_EQ(rec.PortMappingProtocol[6], '\0');

    ccif_DeviceInfo_t dev{};
    const std::string long_name(400, 'n');
    ASSERT_EQ(parse_map(kind("DeviceInfo"),
                        map_of(("{'DevName': <'" + long_name + "'>, 'MAC': <'AABBCCDDEEFF00'>}").c_str()).get(), &dev),
              0);
    EXPECT_EQ(std::string(dev.DevName), std::string(255, 'n'));
    EXPECT_STREQ(dev.MAC, "AABBCCDDEEFF");
    EXPECT_EQ(dev.MEMUsage, 0u) << "the field after DevName must be untouched";
}

TEST(ObjectParsing, EmptyMapFailsWithTheInterfaceNamed)
{
    gwtest::LogCapture log;
    ccif_PortMapping_t rec{};
    EXPECT_EQ(parse_map(kind("PortMapping"), map_of("@a{sv} {}").get(), &rec), -1);
    EXPECT_TRUE(log.contains("get variant Count of interface com.yvc.igd1.PortMapping failed."));
    EXPECT_EQ(parse_map(kind("PortMapping"), nullptr, &rec), -1);
}

TEST(ObjectParsing, IntegerWidthsAreAcceptedWhenTheValueFits)
{
    gwtest::LogCapture log;
    ccif_DeviceInfo_t rec{};
    // y field from u, u field from y, b-like y field from i, t-like fields untouched.
    ASSERT_EQ(parse_map(kind("DeviceInfo"),
                        map_of("{'CPUUsage': <uint32 42>, 'POTSNum': <byte 2>, 'DevType': <int32 11>,"
                               " 'MEMUsage': <uint32 300>, 'WorkMode': <int32 -1>, 'UpTime': <'12'>,"
                               " 'LANNum': <3.5>}")
                            .get(),
                        &rec),
              0);
    EXPECT_EQ(rec.CPUUsage, 42u);
    EXPECT_EQ(rec.POTSNum, 2u);
    EXPECT_EQ(rec.DevType, 11u);
    EXPECT_EQ(rec.MEMUsage, 0u) << "300 does not fit a byte";
    EXPECT_EQ(rec.WorkMode, 0u) << "negative into a byte";
    EXPECT_EQ(rec.UpTime, 0u) << "a string is not a number";
    EXPECT_EQ(rec.LANNum, 0u) << "a double is not an integer";
    EXPECT_TRUE(log.contains("property MEMUsage of com.yvc.igd1.DeviceInfo value 300 is out of range."));
    EXPECT_TRUE(log.contains("property UpTime of com.yvc.igd1.DeviceInfo has type s, expected u."));
    EXPECT_TRUE(log.contains("property LANNum of com.yvc.igd1.DeviceInfo has type d, expected u."));

    ccif_LANHost_t host{};
    ASSERT_EQ(parse_map(kind("LANHost"), map_of("{'RSSI': <int32 -71>, 'Noise': <uint32 2147483648>}").get(), &host),
              0);
    EXPECT_EQ(host.RSSI, -71);
    EXPECT_EQ(host.Noise, 0) << "2^31 does not fit i";

    ccif_PONInfo_t pon{};
    ASSERT_EQ(parse_map(kind("PONInfo"), map_of("{'Temperature': <41.25>, 'Voltage': <uint32 3>}").get(), &pon), 0);
    EXPECT_DOUBLE_EQ(pon.Temperature, 41.25);
    EXPECT_DOUBLE_EQ(pon.Voltage, 3.0);
}

TEST(ObjectParsing, StringListsAreOwnedAndReleasedWithTheRecord)
{
    ccif_URLControlConfig_t rec{};
    ASSERT_EQ(parse_map(kind("URLControlConfig"),
                        map_of("{'Name': <'kids'>, 'UrlFilterList': <['a.example', 'b.example']>,"
                               " 'UrlFilterList': <['c.example']>}")
                            .get(),
                        &rec),
              0);
    ASSERT_NE(rec.UrlFilterList, nullptr);
    EXPECT_STREQ(rec.UrlFilterList[0], "c.example") << "a repeated key replaces the list without leaking it";
    EXPECT_EQ(rec.UrlFilterList[1], nullptr);
    ccif_free_obj_lists("URLControlConfig", &rec);
    EXPECT_EQ(rec.UrlFilterList, nullptr);

    ASSERT_EQ(parse_map(kind("URLControlConfig"), map_of("{'UrlFilterList': <@as []>}").get(), &rec), 0);
    EXPECT_EQ(rec.UrlFilterList, nullptr);
}

TEST(ObjectParsing, ManagedObjectsSkipChildrenWithoutTheInterface)
{
    gw::ErrorPtr err;
    gw::VariantPtr managed(g_variant_parse(
        G_VARIANT_TYPE("a{oa{sa{sv}}}"),
        "{objectpath '/com/yvc/igd1/Storage/USB/Devices/1': {'com.yvc.igd1.USB.Device': {'DeviceName': <'disk'>}},"
        " objectpath '/com/yvc/igd1/Storage/USB/Devices/2': {'com.yvc.igd1.USB.Device': @a{sv} {}},"
        " objectpath '/com/yvc/igd1/Storage/USB/Devices/3': {'com.yvc.igd1.USB.FileSystem': {'Label': <'DATA'>},"
        "                                                   'com.yvc.igd1.USB.Device': {'DeviceName': <'stick'>}}}",
        nullptr, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(managed) << gw::error_text(err);
    void *block = nullptr;
    int count = -1;
    ASSERT_EQ(gw::objects::parse_managed(kind("USB_FileSystem"), managed.get(), &block, &count), 0);
    ASSERT_EQ(count, 1) << "only records that were filled are counted";
    auto *fs = static_cast<ccif_USB_FileSystem_t *>(block);
    EXPECT_STREQ(fs[0].path, "/com/yvc/igd1/Storage/USB/Devices/3");
    EXPECT_STREQ(fs[0].Label, "DATA");
    ccif_free_objs("USB_FileSystem", block, count);

    ASSERT_EQ(gw::objects::parse_managed(kind("USB_Device"), managed.get(), &block, &count), 0);
    ASSERT_EQ(count, 2) << "an interface entry without properties is no record";
    auto *dev = static_cast<ccif_USB_Device_t *>(block);
    EXPECT_STREQ(dev[0].DeviceName, "disk");
    EXPECT_STREQ(dev[1].path, "/com/yvc/igd1/Storage/USB/Devices/3");
    EXPECT_STREQ(dev[1].DeviceName, "stick");
    ccif_free_objs("USB_Device", block, count);
}

TEST(ObjectParsing, VpnRecordsCarryTheirIndexFromThePath)
{
    gw::ErrorPtr err;
    gw::VariantPtr managed(
        g_variant_parse(G_VARIANT_TYPE("a{oa{sa{sv}}}"),
                        "{objectpath '/com/yvc/igd1/VPN/IPSec/7': {'com.yvc.igd1.VPN.IPSec': {'Name': <'t7'>}},"
                        " objectpath '/com/yvc/igd1/VPN/IPSec/x': {'com.yvc.igd1.VPN.IPSec': {'Name': <'tx'>}}}",
                        nullptr, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(managed) << gw::error_text(err);
    void *block = nullptr;
    int count = 0;
    ASSERT_EQ(gw::objects::parse_managed(kind("IPSec"), managed.get(), &block, &count), 0);
    ASSERT_EQ(count, 2);
    auto *t = static_cast<ccif_IPSec_t *>(block);
    EXPECT_EQ(t[0].Index, 7u);
    EXPECT_STREQ(t[0].Name, "t7");
    EXPECT_EQ(t[1].Index, 0u) << "a path without a decimal index gives 0";
    g_free(block);
}

}  // namespace
