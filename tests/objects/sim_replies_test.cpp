// The accessors against replies that the configuration simulator is told to give: hand-built
// property maps, wrong types, overlong texts, refused writes, and collections it numbers itself.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "gwbus/strutil.h"
#include "igd1_sim.hpp"

namespace {

constexpr char kMappings[] = "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping";
constexpr char kMapping1[] = "/com/yvc/igd1/Info/Network/WANConnectionDb/1/PortMapping/1";
constexpr char kFlows[] = "/com/yvc/igd1/Transfer/TrafficQoSFlow";

class SimReplies : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ready());
        sim.reset();
    }
    gwtest::TempRoot root;
    gwtest::Igd1Sim sim;
};

TEST_F(SimReplies, WrongTypesAndOutOfRangeValuesLeaveOnlyTheirFieldsEmpty)
{
    gwtest::LogCapture log;
    sim.override_reply(
        kMapping1, "*", "GetAll",
        "({'PortMappingEnabled': <'yes'>, 'PortMappingLeaseDuration': <int32 -1>, 'RemoteHost': <uint32 7>,"
        " 'ExternalPort': <uint64 4294967296>, 'InternalPort': <uint16 22>, 'PortMappingProtocol': <'UDP'>,"
        " 'InternalClient': <@as ['192.168.1.8']>, 'PortMappingDescription': <'ok'>},)");
    ccif_PortMapping_t rec{};
    ASSERT_EQ(ccif_PortMapping_get(kMapping1, &rec), 0);
    EXPECT_FALSE(rec.PortMappingEnabled);
    EXPECT_EQ(rec.PortMappingLeaseDuration, 0u);
    EXPECT_STREQ(rec.RemoteHost, "");
    EXPECT_EQ(rec.ExternalPort, 0u);
    EXPECT_EQ(rec.InternalPort, 22u) << "a narrower unsigned integer is widened";
    EXPECT_STREQ(rec.PortMappingProtocol, "UDP");
    EXPECT_STREQ(rec.InternalClient, "");
    EXPECT_STREQ(rec.PortMappingDescription, "ok");
    EXPECT_TRUE(log.contains("property PortMappingEnabled of com.yvc.igd1.PortMapping has type s, expected b."));
    EXPECT_TRUE(log.contains("property RemoteHost of com.yvc.igd1.PortMapping has type u, expected s."));
    EXPECT_TRUE(log.contains("property InternalClient of com.yvc.igd1.PortMapping has type as, expected s."));
    EXPECT_TRUE(
        log.contains("property PortMappingLeaseDuration of com.yvc.igd1.PortMapping value -1 is out of range."));
    EXPECT_TRUE(log.contains("property ExternalPort of com.yvc.igd1.PortMapping value 4294967296 is out of range."));
}

// A text cut inside a multi-byte character would leave a record that can never be written back.
TEST_F(SimReplies, CutTextEndsOnACharacterBoundaryAndWritesBack)
{
    // "TCPUD" then a 2-byte character: 7 bytes for a field of 7, the cut falls inside the character.
    sim.set_object(kMapping1, R"({"com.yvc.igd1.PortMapping": {"PortMappingProtocol": "'TCPUD\u00e9'"}})");
    ccif_PortMapping_t rec{};
    ASSERT_EQ(ccif_PortMapping_get(kMapping1, &rec), 0);
    EXPECT_STREQ(rec.PortMappingProtocol, "TCPUD");
    EXPECT_TRUE(g_utf8_validate(rec.PortMappingProtocol, -1, nullptr));
    ASSERT_EQ(ccif_PortMapping_set(&rec), 0);
    EXPECT_EQ(sim.prop_text(kMapping1, "com.yvc.igd1.PortMapping", "PortMappingProtocol"), "'TCPUD'");
}

// With the clean-up refused too, the add still fails and says so; nothing claims success.
TEST_F(SimReplies, AddedObjectWhoseWriteAndCleanUpAreRefusedStillFails)
{
    sim.fail_next("SetValues");
    sim.fail_next("DeleteObject");
    ccif_TrafficQoSClassification_t cls{};
    copy_truncated(cls.RemoteAddress, "203.0.113.5");
    EXPECT_EQ(ccif_TrafficQoSClassification_add_obj((std::string(kFlows) + "/1").c_str(), &cls), -1);
    EXPECT_STREQ(cls.path, "");
    EXPECT_TRUE(sim.exists(std::string(kFlows) + "/1/Classification/1")) << "the object that was there stays";
}

TEST_F(SimReplies, SimulatorAddsOnlyInCollections)
{
    const std::string flow = std::string(kFlows) + "/1";
    EXPECT_EQ(sim.call(flow, "com.yvc.igd1.ObjectManager", "AddObject", nullptr), "ERROR: com.yvc.igd1.Error.Failed");
    EXPECT_FALSE(sim.exists(flow + "/1"));
    EXPECT_EQ(sim.call(flow + "/Classification", "com.yvc.igd1.ObjectManager", "AddObject", nullptr),
              "(objectpath '" + flow + "/Classification/2',)");
    EXPECT_EQ(sim.call("/com/yvc/igd1/Network/StorageBlackList", "com.yvc.igd1.ObjectManager", "AddObject", nullptr),
              "(objectpath '/com/yvc/igd1/Network/StorageBlackList/2',)");
}

TEST_F(SimReplies, CollectionNumberedFromOneListsInOrderWithPathsAndIndexes)
{
    sim.control("RemoveObject", g_variant_new("(s)", "/com/yvc/igd1/Transfer/FastPathSpeedUp/1"));
    ccif_FastPathSpeedUp_t rule{};
    std::vector<std::string> made;
    for (unsigned port : {1001u, 1002u, 1003u}) {
        rule = {};
        rule.DestPort = port;
        copy_truncated(rule.Protocol, "TCP");
        ASSERT_EQ(ccif_FastPathSpeedUp_add_obj(&rule), 0);
        made.push_back(rule.path);
    }
    EXPECT_EQ(made, (std::vector<std::string>{"/com/yvc/igd1/Transfer/FastPathSpeedUp/1",
                                              "/com/yvc/igd1/Transfer/FastPathSpeedUp/2",
                                              "/com/yvc/igd1/Transfer/FastPathSpeedUp/3"}));
    ASSERT_EQ(ccif_FastPathSpeedUp_del_obj(made[1].c_str()), 0);
    ASSERT_EQ(ccif_FastPathSpeedUp_add_obj(&rule), 0);
    EXPECT_STREQ(rule.path, "/com/yvc/igd1/Transfer/FastPathSpeedUp/4") << "numbers below the highest are not reused";

    ccif_FastPathSpeedUp_t *all = nullptr;
    int count = 0;
    ASSERT_EQ(ccif_FastPathSpeedUp_get_objs(&all, &count), 0);
    ASSERT_EQ(count, 3);
    EXPECT_STREQ(all[0].path, "/com/yvc/igd1/Transfer/FastPathSpeedUp/1");
    EXPECT_EQ(all[0].DestPort, 1001u);
    EXPECT_STREQ(all[1].path, "/com/yvc/igd1/Transfer/FastPathSpeedUp/3");
    EXPECT_EQ(all[1].DestPort, 1003u);
    EXPECT_STREQ(all[2].path, "/com/yvc/igd1/Transfer/FastPathSpeedUp/4");
    EXPECT_EQ(all[2].DestPort, 1003u);
    g_free(all);

    // VPN records carry the instance number of their path.
    sim.control("RemoveObject", g_variant_new("(s)", "/com/yvc/igd1/VPN/IPSec/1"));
    ccif_IPSec_t tunnel{};
    for (const char *name : {"a", "b"}) {
        tunnel = {};
        copy_truncated(tunnel.Name, name);
        ASSERT_EQ(ccif_IPSec_set(name, &tunnel), 0);
    }
    ccif_IPSec_t *tunnels = nullptr;
    ASSERT_EQ(ccif_IPSec_get_objs(&tunnels, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(tunnels[0].Index, 1u);
    EXPECT_STREQ(tunnels[0].Name, "a");
    EXPECT_EQ(tunnels[1].Index, 2u);
    EXPECT_STREQ(tunnels[1].path, "/com/yvc/igd1/VPN/IPSec/2");
    g_free(tunnels);
}

}  // namespace

namespace {

// The checks above trust LastArgs to describe a call made after the reset, not one before it.
TEST(SimControl, ResetForgetsTheLastArguments)
{
    gwtest::TempRoot root;
    gwtest::Igd1Sim sim;
    ASSERT_TRUE(sim.ready());
    ASSERT_EQ(ccif_PortMapping_del_obj(kMapping1), 0);
    auto last = [&sim] {
        gw::VariantPtr r = sim.control("LastArgs", g_variant_new("(s)", "DeleteObject"), "(s)");
        const char *text = "?";
        if (r)
            g_variant_get(r.get(), "(&s)", &text);
        return std::string(text);
    };
    EXPECT_EQ(last(), "(objectpath '" + std::string(kMapping1) + "',)");
    sim.control("ResetCounts", nullptr);
    EXPECT_EQ(last(), "");
    ASSERT_EQ(ccif_PortMapping_del_obj((std::string(kMappings) + "/2").c_str()), 0);
    sim.reset();
    EXPECT_EQ(last(), "");
}

}  // namespace
