// Method wrappers against the stand-in service: the code/message convention, argument tuples as sent,
// list replies copied into records, failures.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "standin.hpp"

namespace {

constexpr char kSys[] = "/com/yvc/igd1/Orvane/System com.yvc.igd1.SysCmd ";
constexpr char kNas[] = "/com/yvc/igd1/Storage/NAS com.yvc.igd1.NASAccess ";

std::string text(GVariant *v)
{
    gw::GCharPtr s(v ? g_variant_print(v, TRUE) : g_strdup("NULL"));
    return s.get();
}

class Methods : public ::testing::Test {
protected:
    void SetUp() override { g_logLevel = 7; }
    gwtest::StandIn svc;
    gwtest::LogCapture log;
};

// The (code, message) convention: 0 leaves both outputs alone, a refusal gives the code and a copy of a
// non-empty message, a failed call is -1 with both outputs alone.
TEST_F(Methods, CodeAndMessageOfTheReplyReachTheCaller)
{
    struct Case {
        const char *name;
        GVariant *reply;  // null: the call fails
        int rc, status;
        const char *msg;
    };
    // clang-format off
    const Case cases[] = {
        {"done",             g_variant_new("(us)", 0u, "ignored"),        0, 0, nullptr},
        {"refused",          g_variant_new("(us)", 5u, "busy upgrading"), 0, 5, "busy upgrading"},
        {"refused no text",  g_variant_new("(us)", 7u, ""),               0, 7, nullptr},
        {"failed",           nullptr,                                    -1, 0, nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.reply)
            svc.reply(std::string(kSys) + "Reboot", c.reply);
        else
            svc.fail(std::string(kSys) + "Reboot");
        int status = 0;
        char *msg = nullptr;
        EXPECT_EQ(mth_Reboot(&status, &msg), c.rc);
        gw::GCharPtr owned(msg);
        EXPECT_EQ(status, c.status);
        EXPECT_STREQ(msg, c.msg);
    }
    EXPECT_TRUE(log.contains("Reboot begin"));
    EXPECT_TRUE(log.contains("call method Reboot failed."));
    svc.unfail(std::string(kSys) + "Reboot");
    EXPECT_EQ(mth_Reboot(nullptr, nullptr), 0) << "out-parameters are optional";
}

TEST_F(Methods, ReplyOfTheWrongTypeIsAFailure)
{
    svc.reply(std::string(kSys) + "Reboot", g_variant_new("(s)", "no code"));
    EXPECT_EQ(-1, mth_Reboot(nullptr, nullptr));
    svc.reply(std::string(kNas) + "GetDiscInfo", g_variant_new("(asus)", nullptr, 0u, ""));
    mth_DiscInfo_t *discs = nullptr;
    int count = -1;
    EXPECT_EQ(-1, mth_GetDiscInfo(&discs, &count, nullptr, nullptr));
    EXPECT_EQ(nullptr, discs);
    EXPECT_TRUE(log.contains("call method GetDiscInfo failed."));
}

TEST_F(Methods, ArgumentsGoOutAsTheServiceExpects)
{
    const std::string reg = std::string(kSys) + "Register";
    svc.reply(reg, g_variant_new("(us)", 0u, ""));
    ASSERT_EQ(0, mth_Register("user01", "pa55", "GD", nullptr, nullptr));
    EXPECT_EQ("('user01', 'pa55', 'GD')", text(svc.last_args(reg).get()));

    const char *pppoe = "/com/yvc/igd1/Orvane/PPPoE/1";
    const std::string acc = std::string(pppoe) + " com.yvc.igd1.PPPoE SetPPPOEAccount";
    svc.reply(acc, g_variant_new("(us)", 0u, ""));
    ASSERT_EQ(0, mth_SetPPPOEAccount(pppoe, "INTERNET_R_VID_41", "acct", "secret", "AlwaysOn", 30, nullptr, nullptr));
    EXPECT_EQ("(('INTERNET_R_VID_41', 'acct', 'secret', 'AlwaysOn', uint32 30),)", text(svc.last_args(acc).get()));

    const std::string ping = "/com/yvc/igd1/Diagnostics/IPPing com.yvc.igd1.IPPingDiagnostics StartIPPingDiagnostics";
    svc.reply(ping, g_variant_new("(is)", -3, "no route"));
    mth_IPPingParam_t p{};
    p.WANIndex = 2;
    std::memset(p.Host, 'h', sizeof p.Host);  // filled to the last byte: sent cut, never over-read
    p.NumberOfRepetitions = 4;
    p.Timeout = 1000;
    p.DataBlockSize = 56;
    p.DSCP = 0;
    int status = 0;
    char *msg = nullptr;
    ASSERT_EQ(0, mth_StartIPPingDiagnostics(&p, &status, &msg));
    EXPECT_EQ(-3, status);
    EXPECT_STREQ("no route", msg);
    g_free(msg);
    gw::VariantPtr args = svc.last_args(ping);
    ASSERT_TRUE(g_variant_is_of_type(args.get(), G_VARIANT_TYPE("((usuuuu))")));
    const char *host = nullptr;
    g_variant_get(args.get(), "((u&suuuu))", nullptr, &host, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(std::string(sizeof p.Host, 'h'), host);
}

TEST_F(Methods, BadTextIsRefusedBeforeTheBus)
{
    EXPECT_EQ(-1, mth_Remove("\xff\xfe not utf-8", nullptr, nullptr));
    EXPECT_EQ(0u, svc.count(std::string(kNas) + "Remove"));
    EXPECT_TRUE(log.contains("call method Remove failed."));
    EXPECT_EQ(-1, mth_SetPPPOEAction("not a path", "wan", "Connect", nullptr, nullptr));
}

TEST_F(Methods, PathReplyIsCutIntoTheBuffer)
{
    const std::string key =
        "/com/yvc/igd1/Info/Network/WANConnectionDb com.yvc.igd1.WANConnectManager GetWANConnByName";
    svc.reply(key, g_variant_new("(ous)", "/com/yvc/igd1/Info/Network/WANConnectionDb/3", 0u, ""));
    char path[256] = "";
    ASSERT_EQ(0, mth_GetWANConnByName("2_INTERNET_R_VID_41", path, sizeof path, nullptr, nullptr));
    EXPECT_STREQ("/com/yvc/igd1/Info/Network/WANConnectionDb/3", path);
    EXPECT_EQ("('2_INTERNET_R_VID_41',)", text(svc.last_args(key).get()));
    char small[8];
    ASSERT_EQ(0, mth_GetWANConnByName("x", small, sizeof small, nullptr, nullptr));
    EXPECT_STREQ("/com/yv", small);
}

TEST_F(Methods, DiscAndFolderListsAreCopiedIntoRecords)
{
    svc.reply(std::string(kNas) + "GetDiscInfo",
              g_variant_new_parsed("([('usb1_1', 'USB2.0-and-a-very-long-interface-name', '1G', '3G', '4G'), "
                                   "('usb2_1', 'USB3.0', '0', '8G', '8G')], uint32 0, '')"));
    mth_DiscInfo_t *discs = nullptr;
    int count = 0;
    ASSERT_EQ(0, mth_GetDiscInfo(&discs, &count, nullptr, nullptr));
    ASSERT_EQ(2, count);
    EXPECT_STREQ("usb1_1", discs[0].DiscName);
    EXPECT_STREQ("USB2.0-and-a-very-long-interfac", discs[0].ConnectInterface);  // 31 kept
    EXPECT_STREQ("4G", discs[0].TotalSize);
    EXPECT_STREQ("USB3.0", discs[1].ConnectInterface);
    g_free(discs);

    const std::string lf = std::string(kNas) + "ListFolder";
    svc.reply(lf, g_variant_new_parsed("([('a.txt', '/mnt/usb1_1/a.txt', false, uint64 5000000000, '2024-01-02'), "
                                       "('dir', '/mnt/usb1_1/dir', true, uint64 0, '2024-01-03')], uint32 0, '')"));
    mth_FolderEntry_t *entries = nullptr;
    ASSERT_EQ(0, mth_ListFolder("/mnt/usb1_1", 1, 20, &entries, &count, nullptr, nullptr));
    ASSERT_EQ(2, count);
    EXPECT_STREQ("a.txt", entries[0].FileName);
    EXPECT_FALSE(entries[0].IsFolder);
    EXPECT_EQ(5000000000ull, entries[0].FileSize);
    EXPECT_TRUE(entries[1].IsFolder);
    EXPECT_STREQ("2024-01-03", entries[1].ModifiedTime);
    EXPECT_EQ("('/mnt/usb1_1', uint32 1, uint32 20)", text(svc.last_args(lf).get()));
    g_free(entries);
}

TEST_F(Methods, RefusedListFailsTheCallAllocatesNothingAndPassesItsCodeAndText)
{
    svc.reply(std::string(kNas) + "GetDiscInfo",
              g_variant_new_parsed("([('usb1_1', 'USB', '1G', '3G', '4G')], uint32 3, 'no disc')"));
    mth_DiscInfo_t *discs = reinterpret_cast<mth_DiscInfo_t *>(0x1);
    int count = -1, status = 0;
    char *msg = nullptr;
    ASSERT_EQ(-1, mth_GetDiscInfo(&discs, &count, &status, &msg));
    EXPECT_EQ(nullptr, discs);
    EXPECT_EQ(0, count);
    EXPECT_EQ(3, status);
    EXPECT_STREQ("no disc", msg);
    g_free(msg);
}

TEST_F(Methods, OnlineHostsAreParsedAsLANHostRecords)
{
    svc.reply("/com/yvc/igd1/Config/LANHosts com.yvc.igd1.LANHostManager GetOnlineDeviceList",
              g_variant_new_parsed("({objectpath '/com/yvc/igd1/Config/LANHosts/1': {'com.yvc.igd1.LANHost': "
                                   "{'MAC': <'A0B1C2D3E4F5'>, 'HostClass': <'ONLINE'>, 'RSSI': <int32 -61>}}, "
                                   "objectpath '/com/yvc/igd1/Config/LANHosts/4': {'com.yvc.igd1.LANHost': "
                                   "{'HostClass': <'BLOCK'>, 'MAC': <'001122334455'>}}}, uint32 0, '')"));
    ccif_LANHost_t *hosts = nullptr;
    int count = 0;
    ASSERT_EQ(0, mth_GetOnlineDeviceList(&hosts, &count, nullptr, nullptr));
    ASSERT_EQ(2, count);
    EXPECT_STREQ("/com/yvc/igd1/Config/LANHosts/1", hosts[0].path);
    EXPECT_STREQ("A0B1C2D3E4F5", hosts[0].MAC);
    EXPECT_EQ(-61, hosts[0].RSSI);
    EXPECT_STREQ("BLOCK", hosts[1].HostClass);
    EXPECT_STREQ("001122334455", hosts[1].MAC);
    g_free(hosts);
}

TEST_F(Methods, AttachSpeedupIsSentToTheHostFoundByMAC)
{
    svc.reply("/com/yvc/igd1/Config/LANHosts com.yvc.igd1.LANHostManager GetLANHostPathbyMAC",
              g_variant_new("(ous)", "/com/yvc/igd1/Config/LANHosts/9", 0u, ""));
    const std::string key = "/com/yvc/igd1/Config/LANHosts/9 com.yvc.igd1.LANHost SetAttachSpeedup";
    svc.reply(key, g_variant_new("(us)", 0u, ""));
    ASSERT_EQ(0, mth_SetAttachSpeedup("A0B1C2D3E4F5", 1, nullptr, nullptr));
    EXPECT_EQ("('A0B1C2D3E4F5', byte 0x01)", text(svc.last_args(key).get()));
}

TEST_F(Methods, HistoryTrafficGivesBaseAndSamples)
{
    const std::string key = "/com/yvc/igd1/Info/PON com.yvc.igd1.PONInfo GetPONHistoryTraffic";
    svc.reply(key, g_variant_new_parsed("('1700000000', ['10,20', '11,21', '12,22'], uint32 0, '')"));
    char *base = nullptr;
    char **samples = nullptr;
    int n = 0;
    ASSERT_EQ(0, mth_GetPONHistoryTraffic(0, 3, &base, &samples, &n, nullptr, nullptr));
    EXPECT_STREQ("1700000000", base);
    ASSERT_EQ(3, n);
    EXPECT_STREQ("11,21", samples[1]);
    EXPECT_EQ(nullptr, samples[3]);
    EXPECT_EQ("(uint32 0, uint32 3)", text(svc.last_args(key).get()));
    g_free(base);
    g_hgu_freeStrList(samples);
}

TEST_F(Methods, IPSetReturnsTheServiceCodeAndClearsOutputs)
{
    const std::string add = "/com/yvc/igd1/Firewall/IPSet com.yvc.igd1.IPSet AddIPSet";
    svc.reply(add, g_variant_new("(is)", 2, "exists"));
    char *entries[] = {const_cast<char *>("10.0.0.1"), const_cast<char *>("10.0.0.2"), nullptr};
    mth_IPSet_t set{};
    std::strcpy(set.Name, "blk");
    set.Type = 1;
    set.Timeout = 60;
    std::strcpy(set.Family, "inet");
    set.MaxElem = 1024;
    set.Entries = entries;
    char *msg = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(2, mth_IPSet_AddIPSet(&set, 1, &msg));
    EXPECT_STREQ("exists", msg);
    g_free(msg);
    EXPECT_EQ("([('blk', uint32 1, uint32 60, 'inet', uint32 1024, ['10.0.0.1', '10.0.0.2'])],)",
              text(svc.last_args(add).get()));

    const std::string check = "/com/yvc/igd1/Firewall/IPSet com.yvc.igd1.IPSet CheckIPSetEntry";
    svc.reply(check, g_variant_new("(iis)", 1, 0, ""));
    int result = 9;
    msg = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(0, mth_IPSet_CheckIPSetEntry("blk", "10.0.0.1", &result, &msg));
    EXPECT_EQ(1, result);
    EXPECT_EQ(nullptr, msg);

    svc.fail(check);
    result = 9;
    EXPECT_EQ(-1, mth_IPSet_CheckIPSetEntry("blk", "10.0.0.1", &result, &msg));
    EXPECT_EQ(0, result);
}

TEST(FrameworkServices, AgentStatusAndPluginHostCalls)
{
    gwtest::StandIn agent("com.yvc.gwagent1");
    gwtest::LogCapture log;
    agent.reply("/com/yvc/gwagent1 com.yvc.gwagent1 GetStatus", g_variant_new("(suu)", "plat.example.net", 8443u, 2u));
    char addr[8];
    uint32_t port = 0, status = 0;
    ASSERT_EQ(0, mth_gwagent_GetStatus(addr, sizeof addr, &port, &status));
    EXPECT_STREQ("plat.ex", addr);
    EXPECT_EQ(8443u, port);
    EXPECT_EQ(2u, status);
    agent.fail("/com/yvc/gwagent1 com.yvc.gwagent1 GetStatus");
    EXPECT_EQ(-1, mth_gwagent_GetStatus(addr, sizeof addr, &port, &status));
    EXPECT_TRUE(log.contains("call method com.yvc.gwagent1.GetStatus failed."));

    gwtest::StandIn host("com.yvc.appframework1");
    host.reply("/com/yvc/appframework1 com.yvc.appframework1.AppAgent List",
               g_variant_new_parsed("({'libfoo': <('libfoo_arm', '1.0')>, 'bar': <('bar_arm', '2.1', uint32 1, 4242)>, "
                                    "'odd': <42>},)"));
    mth_PluginInfo_t *plugins = nullptr;
    int count = 0;
    ASSERT_EQ(0, mth_Plugin_List(&plugins, &count));
    ASSERT_EQ(2, count);
    EXPECT_STREQ("libfoo", plugins[0].Name);
    EXPECT_EQ(1, plugins[0].IsLibrary);
    EXPECT_STREQ("bar_arm", plugins[1].DisplayName);
    EXPECT_EQ(4242, plugins[1].Pid);
    EXPECT_EQ(1, plugins[1].Running);
    g_free(plugins);
}

}  // namespace
