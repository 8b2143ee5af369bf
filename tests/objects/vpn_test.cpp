// The VPN family: add-versus-update by index, sub-collections below a tunnel, and deletes that stay
// inside their collection.
#include <string>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "gwbus/strutil.h"
#include "gwtest.hpp"
#include "model.hpp"

namespace {

constexpr char kIPSec[] = "/com/yvc/igd1/VPN/IPSec";
constexpr char kIface[] = "com.yvc.igd1.VPN.IPSec";

constexpr char kTwoTunnels[] = R"({
  "/com/yvc/igd1/VPN/IPSec/1": {"com.yvc.igd1.VPN.IPSec": {"Enable": "true", "Name": "'office'", "RemoteIP": "'203.0.113.1'"}},
  "/com/yvc/igd1/VPN/IPSec/2": {"com.yvc.igd1.VPN.IPSec": {"Enable": "false", "Name": "'lab'"}},
  "/com/yvc/igd1/VPN/IPSec/1/LocalSubnets/1": {"com.yvc.igd1.VPN.IPSec.LocalSubnets": {
      "LocalIPAddress": "'192.168.1.0'", "LocalSubnetMask": "'255.255.255.0'"}},
  "/com/yvc/igd1/VPN/IPSec/1/RemoteSubnets/1": {"com.yvc.igd1.VPN.IPSec.RemoteSubnets": {
      "DestIPAddress": "'10.8.0.0'", "DestSubnetMask": "'255.255.0.0'"}}
})";

class Vpn : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(model.ready());
        model.load(kTwoTunnels);
    }
    static ccif_IPSec_t tunnel(uint32_t index, const char *name)
    {
        ccif_IPSec_t t{};
        t.Index = index;
        t.Enable = TRUE;
        copy_truncated(t.Name, name);
        copy_truncated(t.IPSecType, "site");
        t.IKESAPeriod = 28800;
        t.DPDRetry = 3;
        return t;
    }
    gwtest::TempRoot root;
    gwtest::Model model;
};

// The service numbers a new tunnel itself, whatever index was asked for; index 0 is never looked up.
TEST_F(Vpn, SetUpdatesTheTunnelOfAnExistingIndexAndAddsOtherwise)
{
    struct Case {
        const char *name;
        uint32_t index;
        unsigned adds;
        int reads;  // -1: not checked
        uint32_t index_after;
        const char *line;
    };
    const Case cases[] = {
        {"lab2", 2, 0, -1, 2, "IPSec change SET_VPN_IPSEC"},
        {"new", 5, 1, -1, 3, "IPSec add SET_VPN_IPSEC"},
        {"zero", 0, 1, 0, 3, "IPSec add SET_VPN_IPSEC"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        model.load(kTwoTunnels);
        model.clear();
        gwtest::LogCapture log;
        ccif_IPSec_t t = tunnel(c.index, c.name);
        ASSERT_EQ(ccif_IPSec_set("SET_VPN_IPSEC", &t), 0);
        const std::string path = std::string(kIPSec) + "/" + std::to_string(c.index_after);
        EXPECT_EQ(model.count("AddObject", kIPSec), c.adds);
        if (c.reads >= 0) {
            EXPECT_EQ(model.count("GetAll"), static_cast<unsigned>(c.reads));
        }
        EXPECT_EQ(model.count("SetValues", path), 1u);
        EXPECT_EQ(t.Index, c.index_after);
        EXPECT_EQ(t.path, path);
        EXPECT_EQ(model.prop_text(path, kIface, "Name"), std::string("'") + c.name + "'");
        EXPECT_TRUE(log.contains(c.line));
        EXPECT_FALSE(model.exists("/com/yvc/igd1/VPN/IPSec/5"));
    }
}

TEST_F(Vpn, TunnelWriteOmitsAnEmptyWanInterfaceAndKeepsTheOrder)
{
    ccif_IPSec_t t = tunnel(1, "office");
    ASSERT_EQ(ccif_IPSec_set(nullptr, &t), 0);
    const std::string args = model.last_args("SetValues");
    EXPECT_EQ(args.find("WANInterface"), std::string::npos) << args;
    EXPECT_EQ(args.rfind("('com.yvc.igd1.VPN.IPSec', {'Enable': <true>, 'IPSecType': <'site'>, 'Name': <'office'>, "
                         "'RemoteIP': <''>, ",
                         0),
              0u)
        << args;
    EXPECT_NE(args.find("'IKESAPeriod': <uint32 28800>"), std::string::npos);
    EXPECT_NE(args.find("'DPDEnable': <false>, 'DPDThreshold': <uint32 0>, 'DPDRetry': <uint32 3>})"),
              std::string::npos);

    copy_truncated(t.WANInterface, "1_INTERNET");
    ASSERT_EQ(ccif_IPSec_set(nullptr, &t), 0);
    EXPECT_NE(model.last_args("SetValues").find("'Name': <'office'>, 'WANInterface': <'1_INTERNET'>, 'RemoteIP'"),
              std::string::npos);
}

TEST_F(Vpn, AddWhoseWriteFailsRemovesTheNewTunnel)
{
    model.fail("SetValues");
    ccif_IPSec_t t = tunnel(0, "doomed");
    EXPECT_EQ(ccif_IPSec_set("x", &t), -1);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/VPN/IPSec/3"));
    EXPECT_EQ(model.count("DeleteObject", kIPSec), 1u);
    EXPECT_EQ(t.Index, 0u);
}

TEST_F(Vpn, SubnetsLiveBelowTheirTunnel)
{
    ccif_IPSecLocalSubnets_t *ls = nullptr;
    int count = 0;
    ASSERT_EQ(ccif_IPSecLocalSubnets_get_objs("/com/yvc/igd1/VPN/IPSec/1", &ls, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(ls[0].LocalIPAddress, "192.168.1.0");
    EXPECT_EQ(ls[0].Index, 1u);

    ccif_IPSecLocalSubnets_t sub = ls[0];
    copy_truncated(sub.LocalSubnetMask, "255.255.0.0");
    ASSERT_EQ(ccif_IPSecLocalSubnets_set("/com/yvc/igd1/VPN/IPSec/1", "mask", &sub), 0);
    EXPECT_EQ(model.prop_text("/com/yvc/igd1/VPN/IPSec/1/LocalSubnets/1", "com.yvc.igd1.VPN.IPSec.LocalSubnets",
                              "LocalSubnetMask"),
              "'255.255.0.0'");
    g_free(ls);

    ccif_IPSecRemoteSubnets_t rs{};
    copy_truncated(rs.DestIPAddress, "10.9.0.0");
    copy_truncated(rs.DestSubnetMask, "255.255.0.0");
    ASSERT_EQ(ccif_IPSecRemoteSubnets_add("/com/yvc/igd1/VPN/IPSec/2", &rs), 0);
    EXPECT_STREQ(rs.path, "/com/yvc/igd1/VPN/IPSec/2/RemoteSubnets/1");

    ccif_IPSecReMoteSubnets_t *listed = nullptr;
    ASSERT_EQ(ccif_IPSecReMoteSubnets_get_objs("/com/yvc/igd1/VPN/IPSec/2", &listed, &count), 0);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(listed[0].DestIPAddress, "10.9.0.0");
    g_free(listed);

    ASSERT_EQ(ccif_IPSecRemoteSubnets_clear("/com/yvc/igd1/VPN/IPSec/1"), 0);
    EXPECT_EQ(model.count("RemoveAllObjects", "/com/yvc/igd1/VPN/IPSec/1/RemoteSubnets"), 1u);
}

TEST_F(Vpn, DeletesStayInsideTheirCollection)
{
    gwtest::LogCapture log;
    model.clear();
    EXPECT_EQ(ccif_IPSec_del("/com/yvc/igd1/VPN"), -1);
    EXPECT_EQ(ccif_IPSec_del("/com/yvc/igd1/VPN/L2TP/1"), -1);
    EXPECT_EQ(ccif_IPSec_del("/com/yvc/igd1/VPN/IPSec/1/LocalSubnets/1"), -1);
    EXPECT_EQ(ccif_IPSecLocalSubnets_del("/com/yvc/igd1/VPN/IPSec/1/RemoteSubnets/1"), -1);
    EXPECT_EQ(ccif_IPSec_get("/com/yvc/igd1/Info/Device", nullptr), -1);
    EXPECT_EQ(model.total_calls(), 0u);

    ASSERT_EQ(ccif_IPSecLocalSubnets_del("/com/yvc/igd1/VPN/IPSec/1/LocalSubnets/1"), 0);
    EXPECT_EQ(model.calls(), (std::vector<std::string>{"DeleteObject /com/yvc/igd1/VPN/IPSec/1/LocalSubnets"}));
    ASSERT_EQ(ccif_IPSec_del("/com/yvc/igd1/VPN/IPSec/2"), 0);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/VPN/IPSec/2"));
    ASSERT_EQ(ccif_IPSec_clear(), 0);
    EXPECT_FALSE(model.exists("/com/yvc/igd1/VPN/IPSec/1"));
}

TEST_F(Vpn, L2tpClientsAndAccountsFollowTheSameRules)
{
    model.load(R"({
      "/com/yvc/igd1/VPN/L2TP/1": {"com.yvc.igd1.VPN.L2TP": {"Enable": "true", "L2TPType": "'Client'"}},
      "/com/yvc/igd1/VPN/L2TP/1/Client/4": {"com.yvc.igd1.VPN.L2TP.Client": {"Name": "'c4'", "ServerPort": "uint32 1701"}}
    })");
    ccif_VPN_L2TPClient_t c{};
    c.Index = 4;
    copy_truncated(c.Name, "c4b");
    c.ServerPort = 1702;
    ASSERT_EQ(ccif_VPN_L2TPClient_set("client", &c), 0);
    EXPECT_EQ(model.count("AddObject"), 0u);
    EXPECT_EQ(model.prop_text("/com/yvc/igd1/VPN/L2TP/1/Client/4", "com.yvc.igd1.VPN.L2TP.Client", "ServerPort"),
              "uint32 1702");

    ccif_VPNL2TPClient_t read{};
    ASSERT_EQ(ccif_VPNL2TPClient_get("/com/yvc/igd1/VPN/L2TP/1/Client/4", &read), 0);
    EXPECT_EQ(read.Index, 4u);
    EXPECT_STREQ(read.Name, "c4b");

    ccif_VPN_L2TPServerAccount_t a{};
    copy_truncated(a.UserName, "alice");
    ASSERT_EQ(ccif_VPN_L2TPServerAccount_set("account", &a), 0);
    EXPECT_STREQ(a.path, "/com/yvc/igd1/VPN/L2TP/1/Server/Account/1");
    ASSERT_EQ(ccif_VPN_L2TPServerAccount_rm_obj(a.path), 0);
    EXPECT_FALSE(model.exists(a.path));
}

}  // namespace
