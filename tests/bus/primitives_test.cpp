// The four primitives against the stand-in service on the private bus.
#include <gtest/gtest.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "standin.hpp"

namespace {

constexpr char kBus[] = "com.yvc.igd1";
constexpr char kPath[] = "/com/yvc/igd1/Info/Device";
constexpr char kIface[] = "com.yvc.igd1.DeviceInfo";

std::string text(GVariant *v)
{
    gw::GCharPtr s(g_variant_print(v, TRUE));
    return s.get();
}

class Primitives : public ::testing::Test {
protected:
    void SetUp() override { g_logLevel = 7; }
    gwtest::StandIn svc;
    gwtest::LogCapture log;
};

TEST_F(Primitives, GetPropertyUnboxesTheValueAndLogsBothEnds)
{
    svc.set_prop(kPath, kIface, "SWVersion", g_variant_new_string("V1.2.3"));
    GVariant *raw = nullptr;
    ASSERT_EQ(0, g_hgu_GetProperty(kBus, kPath, kIface, "SWVersion", &raw));
    gw::VariantPtr v(raw);
    ASSERT_TRUE(g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING));
    EXPECT_STREQ("V1.2.3", g_variant_get_string(v.get(), nullptr));
    EXPECT_TRUE(
        log.contains("GetProperty : com.yvc.igd1, /com/yvc/igd1/Info/Device, com.yvc.igd1.DeviceInfo, SWVersion"));
    EXPECT_TRUE(log.contains("property SWVersion = 'V1.2.3'"));
    EXPECT_EQ(1u, svc.count("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo Get SWVersion"));
}

TEST_F(Primitives, GetPropertyOfWrongReplyTypeFailsAndLeavesOutParameter)
{
    const std::string key = "/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo Get SWVersion";
    svc.reply(key, g_variant_new("(s)", "not boxed"));
    GVariant *sentinel = reinterpret_cast<GVariant *>(0x1);
    GVariant *out = sentinel;
    EXPECT_EQ(-1, g_hgu_GetProperty(kBus, kPath, kIface, "SWVersion", &out));
    EXPECT_EQ(sentinel, out);
    EXPECT_TRUE(log.contains("return variant type[(s)] is not correct type (v)"));
}

TEST_F(Primitives, BusErrorIsLoggedWithItsTextAndFails)
{
    svc.fail("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo Get MAC", "com.yvc.igd1.Error.Busy", "device is busy");
    GVariant *out = nullptr;
    EXPECT_EQ(-1, g_hgu_GetProperty(kBus, kPath, kIface, "MAC", &out));
    EXPECT_EQ(nullptr, out);
    EXPECT_TRUE(log.contains("device is busy"));
}

TEST_F(Primitives, GetAllReturnsTheMapAndRejectsOtherTypes)
{
    svc.set_prop(kPath, kIface, "POTSNum", g_variant_new_uint32(2));
    svc.set_prop(kPath, kIface, "DevType", g_variant_new_byte(1));
    GVariant *raw = nullptr;
    ASSERT_EQ(0, g_hgu_GetAllProperty(kBus, kPath, kIface, &raw));
    gw::VariantPtr map(raw);
    EXPECT_EQ("{'POTSNum': <uint32 2>, 'DevType': <byte 0x01>}", text(map.get()));
    EXPECT_TRUE(log.contains("GetProperties : com.yvc.igd1, /com/yvc/igd1/Info/Device, com.yvc.igd1.DeviceInfo"));

    svc.reply("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo GetAll", g_variant_new("(a{ss})", nullptr));
    raw = nullptr;
    EXPECT_EQ(-1, g_hgu_GetAllProperty(kBus, kPath, kIface, &raw));
    EXPECT_EQ(nullptr, raw);
    EXPECT_TRUE(log.contains("return variant type((a{ss})) is not correct type (a{sv})"));
}

TEST_F(Primitives, SetPropertyConsumesAFloatingValueAndSendsSsv)
{
    ASSERT_EQ(0, g_hgu_SetProperty(kBus, kPath, kIface, "DevName", g_variant_new_string("gateway-1")));
    gw::VariantPtr args = svc.last_args("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo Set DevName");
    ASSERT_TRUE(args);
    EXPECT_EQ("('com.yvc.igd1.DeviceInfo', 'DevName', <'gateway-1'>)", text(args.get()));
    EXPECT_TRUE(log.contains("SetProperty : com.yvc.igd1, /com/yvc/igd1/Info/Device, com.yvc.igd1.DeviceInfo, "
                             "property DevName, value 'gateway-1'"));

    GVariant *raw = nullptr;
    ASSERT_EQ(0, g_hgu_GetProperty(kBus, kPath, kIface, "DevName", &raw));
    gw::VariantPtr v(raw);
    EXPECT_STREQ("gateway-1", g_variant_get_string(v.get(), nullptr));
}

TEST_F(Primitives, SetPropertyRejectsNullValueWithoutBusTraffic)
{
    EXPECT_EQ(-1, g_hgu_SetProperty(kBus, kPath, kIface, "DevName", nullptr));
    EXPECT_TRUE(log.contains("The variant is null."));
    EXPECT_EQ(0u, svc.count("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo Set DevName"));
}

TEST_F(Primitives, SetMultiPropertySendsTheMapInOneSetValues)
{
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&b, "{sv}", "RemoteHost", g_variant_new_string("10.0.0.1"));
    g_variant_builder_add(&b, "{sv}", "ExternalPort", g_variant_new_uint32(8080));
    const char *path = "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1";
    ASSERT_EQ(0, g_hgu_SetMultiProperty(kBus, path, "com.yvc.igd1.PortMapping", g_variant_builder_end(&b)));
    gw::VariantPtr args = svc.last_args(std::string(path) + " com.yvc.igd1.PortMapping SetValues");
    ASSERT_TRUE(args);
    EXPECT_EQ("('com.yvc.igd1.PortMapping', {'RemoteHost': <'10.0.0.1'>, 'ExternalPort': <uint32 8080>})",
              text(args.get()));
}

TEST_F(Primitives, SetMultiPropertyRejectsANonMap)
{
    EXPECT_EQ(-1, g_hgu_SetMultiProperty(kBus, kPath, kIface, g_variant_new_string("x")));
    EXPECT_EQ(0u, svc.count("/com/yvc/igd1/Info/Device com.yvc.igd1.DeviceInfo SetValues"));
}

TEST_F(Primitives, CallMethodReturnsTheReplyTupleOrDropsIt)
{
    const char *path = "/com/yvc/igd1/Orvane/System";
    const std::string key = std::string(path) + " com.yvc.igd1.SysCmd Register";
    svc.reply(key, g_variant_new("(us)", 0u, ""));
    GVariant *raw = nullptr;
    ASSERT_EQ(0, g_hgu_CallMethod(kBus, path, "com.yvc.igd1.SysCmd", "Register",
                                  g_variant_new("(sss)", "user", "pw", "GD"), &raw, -1));
    gw::VariantPtr reply(raw);
    EXPECT_EQ("(uint32 0, '')", text(reply.get()));
    EXPECT_EQ("('user', 'pw', 'GD')", text(svc.last_args(key).get()));
    EXPECT_TRUE(log.contains("Method Register : com.yvc.igd1 , /com/yvc/igd1/Orvane/System, com.yvc.igd1.SysCmd, "
                             "parameters ('user', 'pw', 'GD'), timeout -1"));

    EXPECT_EQ(0, g_hgu_CallMethod(kBus, path, "com.yvc.igd1.SysCmd", "Register", g_variant_new("(sss)", "a", "b", "c"),
                                  nullptr, -1));
    EXPECT_EQ(2u, svc.count(key));
}

TEST_F(Primitives, CallMethodWithoutParametersLogsNull)
{
    const char *path = "/com/yvc/igd1/Orvane/System";
    svc.reply(std::string(path) + " com.yvc.igd1.SysCmd Reboot", g_variant_new("(us)", 0u, ""));
    EXPECT_EQ(0, g_hgu_CallMethod(kBus, path, "com.yvc.igd1.SysCmd", "Reboot", nullptr, nullptr, -1));
    EXPECT_TRUE(log.contains("parameters NULL, timeout -1"));
}

TEST_F(Primitives, GetManagedObjectsRequiresItsReplyType)
{
    const char *path = "/com/yvc/igd1/Config/WLAN/Devices";
    const std::string key = std::string(path) + " com.yvc.igd1.ObjectManager GetManagedObjects";
    svc.reply(key, g_variant_new("(as)", nullptr));
    GVariant *raw = nullptr;
    EXPECT_EQ(-1, g_hgu_CallMethod(kBus, path, HGU_OBJECT_MANAGER_INTERFACE, "GetManagedObjects", nullptr, &raw, -1));
    EXPECT_EQ(nullptr, raw);
    EXPECT_TRUE(log.contains("return variant type((as)) is not correct type (a{oa{sa{sv}}})"));

    svc.reply(key, g_variant_new_parsed("({objectpath '/com/yvc/igd1/Config/WLAN/Devices/1': "
                                        "{'com.yvc.igd1.WLANConfiguration': {'SSID': <'home'>}}},)"));
    ASSERT_EQ(0, g_hgu_CallMethod(kBus, path, HGU_OBJECT_MANAGER_INTERFACE, "GetManagedObjects", nullptr, &raw, -1));
    gw::VariantPtr reply(raw);
    EXPECT_TRUE(g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(a{oa{sa{sv}}})")));
}

TEST_F(Primitives, MalformedNamesFailBeforeAnyBusCall)
{
    GVariant *out = nullptr;
    EXPECT_EQ(-1, g_hgu_GetProperty(kBus, "no/leading/slash", kIface, "MAC", &out));
    EXPECT_EQ(-1, g_hgu_GetProperty(kBus, nullptr, kIface, "MAC", &out));
    EXPECT_EQ(-1, g_hgu_GetProperty(nullptr, kPath, kIface, "MAC", &out));
    EXPECT_EQ(-1, g_hgu_CallMethod(kBus, kPath, "not an interface", "Reboot", nullptr, nullptr, -1));
    EXPECT_EQ(-1, g_hgu_CallMethod(kBus, kPath, kIface, "Bad-Name", nullptr, nullptr, -1));
    EXPECT_EQ(-1, g_hgu_CallMethod(kBus, kPath, kIface, "Reboot", g_variant_new_string("not a tuple"), nullptr, -1));
    EXPECT_EQ(nullptr, out);
    EXPECT_TRUE(log.contains("the path [no/leading/slash] is invalid object path."));
}

TEST_F(Primitives, UnknownServiceFails)
{
    EXPECT_EQ(-1, g_hgu_CallMethod("com.yvc.nobody", "/x", "com.yvc.nobody.X", "Ping", nullptr, nullptr, -1));
}

}  // namespace
