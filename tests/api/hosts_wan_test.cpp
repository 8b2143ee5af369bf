#include <string>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts";

class HostsAndWan : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Config/LANHosts/");
        host(1, "A4B1C2D3E4F5", "ONLINE", "phone");
        host(2, "001122aabbcc", "OFFLINE", "laptop");
        host(3, "00AA00BB00CC", "BLOCK", "tv");
        host(4, "0A0B0C0D0E0F", "ONLINE", "tablet");
    }
    void host(unsigned n, const char *mac, const char *cls, const char *name)
    {
        char json[256];
        std::snprintf(json, sizeof json,
                      R"({"com.yvc.igd1.LANHost": {"MAC": "'%s'", "HostClass": "'%s'", "HostName": "'%s'"}})", mac, cls,
                      name);
        s().set_object(std::string(kHosts) + "/" + std::to_string(n), json);
    }
};

TEST_F(HostsAndWan, HostIsFoundByMacRegardlessOfCase)
{
    api_LANHostInfo_t h{};
    ASSERT_EQ(api_getLANHostInfoByMAC("a4b1c2d3e4f5", &h), 0);
    EXPECT_STREQ(h.HostName, "phone");
    ASSERT_EQ(api_getLANHostInfoByMAC("001122AABBCC", &h), 0);
    EXPECT_STREQ(h.HostName, "laptop");
    gwtest::LogCapture log;
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBCD", &h), -2);
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBC", &h), -2);
    EXPECT_TRUE(log.contains("(api_getLANHostInfoByMAC) LANHost 001122AABBCD no match object."));
    EXPECT_EQ(api_getLANHostInfoByMAC(nullptr, &h), -1);
    fail("GetManagedObjects", kHosts);
    EXPECT_EQ(api_getLANHostInfoByMAC("001122AABBCC", &h), -1);
}

TEST_F(HostsAndWan, HostsAreFilteredByClass)
{
    api_LANHostInfo_t *hosts = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANHostInfoByClass("ONLINE", &hosts, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(hosts[0].HostName, "phone");
    EXPECT_STREQ(hosts[1].HostName, "tablet");
    EXPECT_EQ(api_releaseLANHostInfo(hosts, count), 0);

    ASSERT_EQ(api_getLANHostInfo(&hosts, &count), 0);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(api_releaseLANHostInfo(hosts, count), 0);

    ASSERT_EQ(api_getLANHostInfoByClass("online", &hosts, &count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(hosts, nullptr);
    EXPECT_EQ(api_releaseLANHostInfo(nullptr, 0), -1);

    fail("GetManagedObjects", kHosts);
    EXPECT_EQ(api_getLANHostInfo(&hosts, &count), -1);
    EXPECT_EQ(hosts, nullptr);
}

TEST_F(HostsAndWan, InternetIndexIsTheIndexOfTheResolvedConnection)
{
    remove_matching("/Info/Network/WANConnectionDb/");
    s().set_object(std::string(kWanDb) + "/4",
                   R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'12'", "ServiceList": "'TR069'"}})");
    s().set_object(std::string(kWanDb) + "/6",
                   R"({"com.yvc.igd1.WANConnectionInfo": {"Index": "'17'", "ServiceList": "'INTERNET'"}})");
    uint32_t index = 0;
    ASSERT_EQ(api_getInternetWANIndex(&index), 0);
    EXPECT_EQ(index, 17u);

    api_WANIfInfo_t *wans = nullptr;
    int count = 0;
    ASSERT_EQ(api_getWANIfList(&wans, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(wans[0].Index, "12");
    EXPECT_EQ(api_releaseWANIfList(wans, count), 0);

    set_prop(std::string(kWanDb) + "/6", "com.yvc.igd1.WANConnectionInfo", "Index", "'x7'");
    EXPECT_EQ(api_getInternetWANIndex(&index), -1);
    fail("GetInternetConnIndex");
    EXPECT_EQ(api_getInternetWANIndex(&index), -1);
    EXPECT_EQ(index, 17u);
}

}  // namespace
}  // namespace apitest
