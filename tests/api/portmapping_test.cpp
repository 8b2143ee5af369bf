#include <cstring>
#include <string>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

const std::string kWan9 = std::string(kWanDb) + "/9";

class PortMapping : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/PortMapping/");
        s().set_object(kWan9, R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'9'", "WANName": "'9_TR069_R'"}})");
    }
    void add_mapping(unsigned n, bool enabled, unsigned ext, unsigned in, const char *proto, const char *client,
                     const std::string &wan = kWan9)
    {
        char json[512];
        std::snprintf(
            json, sizeof json,
            R"({"com.yvc.igd1.PortMapping": {"PortMappingEnabled": "%s", "PortMappingLeaseDuration":)"
            R"( "uint32 %u", "RemoteHost": "''", "ExternalPort": "uint32 %u", "InternalPort": "uint32 %u",)"
            R"( "PortMappingProtocol": "'%s'", "InternalClient": "'%s'", "PortMappingDescription": "'m%u'"}})",
            enabled ? "true" : "false", n * 10, ext, in, proto, client, n);
        s().set_object(wan + "/PortMapping/" + std::to_string(n), json);
    }
    std::string pm(unsigned n) const { return kWan9 + "/PortMapping/" + std::to_string(n); }
    static api_PortMappingEntry_t entry(unsigned ext, unsigned in, const char *proto, const char *client,
                                        const char *desc = "new")
    {
        api_PortMappingEntry_t e{};
        e.PortMappingEnabled = TRUE;
        e.ExternalPort = ext;
        e.InternalPort = in;
        std::strcpy(e.PortMappingProtocol, proto);
        std::strcpy(e.InternalClient, client);
        std::strcpy(e.PortMappingDescription, desc);
        return e;
    }
};

TEST_F(PortMapping, GetGroupsMappingsOfEachConnectionWithIndexFromPath)
{
    add_mapping(3, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(7, false, 2222, 22, "BOTH", "192.168.1.21");
    gwtest::LogCapture log;
    api_PortMappingInfo_t *info = nullptr;
    int count = -1;
    ASSERT_EQ(api_getPortMappingInfo(&info, &count), 0);
    ASSERT_EQ(count, 1);
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info[0].WANName, "9_TR069_R");
    ASSERT_EQ(info[0].PortMappingNum, 2u);
    const api_PortMappingItem_t &a = info[0].PortMapping[0];
    const api_PortMappingItem_t &b = info[0].PortMapping[1];
    EXPECT_EQ(a.Index, 3u);
    EXPECT_TRUE(a.PortMappingEnabled);
    EXPECT_EQ(a.PortMappingLeaseDuration, 30u);
    EXPECT_EQ(a.ExternalPort, 8080u);
    EXPECT_EQ(a.InternalPort, 80u);
    EXPECT_STREQ(a.PortMappingProtocol, "TCP");
    EXPECT_STREQ(a.InternalClient, "192.168.1.20");
    EXPECT_STREQ(a.PortMappingDescription, "m3");
    EXPECT_EQ(b.Index, 7u);
    EXPECT_FALSE(b.PortMappingEnabled);
    EXPECT_STREQ(b.PortMappingProtocol, "BOTH");
    EXPECT_TRUE(log.contains("====== enter api_getPortMappingInfo"));
    EXPECT_EQ(api_releasePortMappingInfo(info, count), 0);
}

TEST_F(PortMapping, GetWithoutAnyMappingGivesNullAndCountZero)
{
    gwtest::LogCapture log;
    expect_no_list(0, api_getPortMappingInfo);
    EXPECT_TRUE(log.contains("(api_getPortMappingInfo) no PortMappingInfo."));
    EXPECT_EQ(api_releasePortMappingInfo(nullptr, 0), -1);
}

TEST_F(PortMapping, FailedBusCallsGiveMinusOneOrSkipTheConnection)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    fail("GetManagedObjects", kWanDb);
    expect_no_list(-1, api_getPortMappingInfo);
    EXPECT_TRUE(log.contains("(api_getPortMappingInfo) get WANConnectionInfo objects failed."));

    // The only connection with mappings cannot be listed: it gives no element.
    fail("GetManagedObjects", kWan9 + "/PortMapping");
    expect_no_list(0, api_getPortMappingInfo);

    api_PortMappingEntry_t e = entry(1, 1, "UDP", "192.168.1.9");
    fail("GetManagedObjects", kWan9 + "/PortMapping");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    fail("AddObject");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    EXPECT_TRUE(log.contains("(api_addPortMapping) AddObject " + kWan9 + "/PortMapping failed."));
    fail("SetValues");
    EXPECT_EQ(api_setPortMapping(9, 1, &e), -1);
    fail("DeleteObject");
    EXPECT_EQ(api_deletePortMapping(9, 1), -1);
    EXPECT_TRUE(log.contains("(api_deletePortMapping) DeleteObject " + pm(1) + " failed."));
    fail("Set");
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), -1);
    EXPECT_TRUE(log.contains("PortMapping found, set PortMappingEnabled failed"));
    EXPECT_EQ(s().prop_text(pm(1), kPM, "PortMappingEnabled"), "true");
}

TEST_F(PortMapping, AddOfEqualDisabledMappingEnablesItAndAddsNothing)
{
    add_mapping(2, false, 2222, 22, "BOTH", "192.168.1.21");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(2222, 22, "BOTH", "192.168.1.21", "other text");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingEnabled"), "true");
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingDescription"), "'m2'");
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    EXPECT_TRUE(log.contains("(api_addPortMapping) PortMapping found, do not add."));

    // Enabling the equal mapping fails: nothing is added either.
    set_prop(pm(2), kPM, "PortMappingEnabled", "false");
    fail("Set");
    EXPECT_EQ(api_addPortMapping(9, &e), -1);
    EXPECT_TRUE(log.contains("(api_addPortMapping) PortMapping exist, but set enable failed"));
    EXPECT_EQ(s().call_count("AddObject"), 0u);
}

TEST_F(PortMapping, AddOfMappingDifferingInOneKeyAddsBelowTheConnection)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(8080, 80, "UDP", "192.168.1.20");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_TRUE(s().exists(pm(2)));
    EXPECT_EQ(s().prop_text(pm(2), kPM, "PortMappingProtocol"), "'UDP'");
    EXPECT_TRUE(log.contains("(api_addPortMapping) AddObject " + kWan9 + "/PortMapping success."));
}

TEST_F(PortMapping, SixtyFiveMappingsRefuseAddAndSetButSixtyFourAcceptAdd)
{
    for (unsigned n = 1; n <= 64; ++n)
        add_mapping(n, true, 1000 + n, 1000 + n, "TCP", "192.168.1.30");
    api_PortMappingEntry_t e = entry(5000, 5000, "TCP", "192.168.1.30");
    EXPECT_EQ(api_addPortMapping(9, &e), 0);
    EXPECT_TRUE(s().exists(pm(65)));

    gwtest::LogCapture log;
    api_PortMappingEntry_t f = entry(6000, 6000, "TCP", "192.168.1.30");
    EXPECT_EQ(api_addPortMapping(9, &f), -2);
    EXPECT_EQ(api_setPortMapping(9, 0, &f), -2);
    EXPECT_EQ(api_setPortMapping(9, 3, &f), -2);
    EXPECT_FALSE(s().exists(pm(66)));
    EXPECT_EQ(s().prop_text(pm(3), kPM, "ExternalPort"), "uint32 1003");
    EXPECT_EQ(log.count("Portmapping exceeds the maximum limit."), 3u);
}

TEST_F(PortMapping, SetOverwritesAnExistingIndexAndOtherwiseAddsReturningTheIndex)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(4, true, 8081, 81, "TCP", "192.168.1.20");
    api_PortMappingEntry_t e = entry(9000, 90, "UDP", "192.168.1.40", "written");
    EXPECT_EQ(api_setPortMapping(9, 4, &e), 4);
    EXPECT_EQ(s().prop_text(pm(4), kPM, "ExternalPort"), "uint32 9000");
    EXPECT_EQ(s().prop_text(pm(4), kPM, "PortMappingDescription"), "'written'");
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    EXPECT_EQ(api_setPortMapping(9, 0, &e), 5);
    EXPECT_EQ(s().prop_text(pm(5), kPM, "InternalClient"), "'192.168.1.40'");
    // A mapping index that does not exist adds too.
    EXPECT_EQ(api_setPortMapping(9, 33, &e), 6);
    EXPECT_FALSE(s().exists(pm(33)));
}

TEST_F(PortMapping, ConnectionIsFoundByIndexText)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    s().set_object(std::string(kWanDb) + "/8", R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'08'"}})");
    gwtest::LogCapture log;
    api_PortMappingEntry_t e = entry(1, 1, "TCP", "192.168.1.2");
    EXPECT_EQ(api_addPortMapping(8, &e), -1);
    EXPECT_EQ(api_addPortMapping(77, &e), -1);
    EXPECT_EQ(api_setPortMapping(77, 0, &e), -1);
    EXPECT_EQ(api_deletePortMapping(77, 1), -1);
    EXPECT_EQ(api_setPortMappingSwitch(77, 1, TRUE), -2);
    EXPECT_EQ(log.count("WanIndex no match Object."), 5u);
    EXPECT_EQ(s().call_count("AddObject"), 0u);

    fail("GetManagedObjects", kWanDb);
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), -1);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) get WANConnectionInfo objects failed."));
}

TEST_F(PortMapping, SwitchWritesOnlyWhenTheStateDiffers)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    gwtest::LogCapture log;
    EXPECT_EQ(api_setPortMappingSwitch(9, 1, TRUE), 0);
    EXPECT_EQ(s().call_count("Set"), 0u);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) PortMapping found, do not set."));

    EXPECT_EQ(api_setPortMappingSwitch(9, 1, FALSE), 0);
    EXPECT_EQ(s().prop_text(pm(1), kPM, "PortMappingEnabled"), "false");
    EXPECT_TRUE(log.contains("PortMapping found, set PortMappingEnabled success."));

    EXPECT_EQ(api_setPortMappingSwitch(9, 2, FALSE), -2);
    EXPECT_TRUE(log.contains("(api_setPortMappingSwitch) PortMappingIndex not exist from " + kWan9 + "."));
}

TEST_F(PortMapping, DeleteRemovesTheNumberedMapping)
{
    add_mapping(1, true, 8080, 80, "TCP", "192.168.1.20");
    add_mapping(2, true, 8081, 81, "TCP", "192.168.1.20");
    EXPECT_EQ(api_deletePortMapping(9, 2), 0);
    EXPECT_FALSE(s().exists(pm(2)));
    EXPECT_TRUE(s().exists(pm(1)));
    EXPECT_EQ(api_deletePortMapping(9, 2), -1);
}

}  // namespace
}  // namespace apitest
