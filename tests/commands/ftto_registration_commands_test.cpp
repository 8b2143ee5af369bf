// FTTO topology and optics against the simulator's FTTO master profile, registration state and the restart
// command.
#include <string>

#include "command_fixture.hpp"
#include "platform/conn.h"

namespace {

using agenttest::CommandTest;

class FttoCommands : public CommandTest {};

const std::string kMasterGateWay = R"("GateWay":{"UPLink":1,"UPLinkType":1,"LOID":"loid0001","SN":"YVCG12345678",)"
                                   R"("MAC":"A4B1C2D3E4F5","WANIP":"100.64.12.34","Model":"HG6543C",)"
                                   R"("Name":"Living room gateway"})";

TEST_F(FttoCommands, MasterTopologyNamesSlavesAfterTheirLanHosts)
{
    sim.load_profile("ftto_master.json");
    EXPECT_EQ(run_plain("FTTO_MASTER_NTI_GET"),
              head("FTTO_MASTER_NTI_GET") + R"(,"DevType":11,"WorkMode":1,)" + kMasterGateWay +
                  R"(,"AllowSlaveNum":8,"SlaveNum":2,"SlaveInfo":[)"
                  R"({"UPLink":1,"UPLinkType":0,"Port":2,"Distance":0,"LOID":"","SN":"YVCS00000001",)"
                  R"("MAC":"A0:B1:C2:D3:E4:F1","WANIP":"192.168.1.21","Model":"SL100","Name":"phone-anna"},)"
                  R"({"UPLink":0,"UPLinkType":0,"Port":3,"Distance":0,"LOID":"","SN":"YVCS00000002",)"
                  R"("MAC":"a4-b1-c2-d3-e4-99","WANIP":"","Model":"SL200","Name":""}]})");
    EXPECT_EQ(run_plain("FTTO_DEV_NTI_GET"),
              head("FTTO_DEV_NTI_GET") + R"(,"DevType":11,"WorkMode":1,)"
                                         R"("GateWay":{"UPLink":1,"UPLinkType":1,"Distance":0,"LOID":"loid0001",)"
                                         R"("WANIP":"100.64.12.34","Model":"HG6543C"},"SlaveInfo":[)"
                                         R"({"UPLink":1,"UPLinkType":0,"Distance":0,"LOID":"","WANIP":"192.168.1.21",)"
                                         R"("Model":"SL100"},{"UPLink":0,"UPLinkType":0,"Distance":0,"LOID":"",)"
                                         R"("WANIP":"","Model":"SL200"}]})");
}

TEST_F(FttoCommands, MasterFailsWithoutItsSlavesWhileTheDeviceViewDoesNot)
{
    sim.load_profile("ftto_master.json");
    sim.set_reply("GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    EXPECT_EQ(run_plain("FTTO_MASTER_NTI_GET"), failure("FTTO_MASTER_NTI_GET", "api_return_fail"));
    EXPECT_TRUE(log.contains("api_getFTTOMasterNTI api failed, return -1."));
    EXPECT_EQ(run_plain("FTTO_DEV_NTI_GET"),
              head("FTTO_DEV_NTI_GET") + R"(,"DevType":11,"WorkMode":1,)"
                                         R"("GateWay":{"UPLink":1,"UPLinkType":1,"Distance":0,"LOID":"loid0001",)"
                                         R"("WANIP":"100.64.12.34","Model":"HG6543C"},"SlaveInfo":[]})");
    // Without a readable device there is no topology at all.
    sim.fail_next("GetAll", 1, "/com/yvc/igd1/Info/Device");
    EXPECT_EQ(run_plain("FTTO_DEV_NTI_GET"), failure("FTTO_DEV_NTI_GET", "api_return_fail"));
}

TEST_F(FttoCommands, MasterOnlyCommandsAreRefusedOnASlave)
{
    g_dev_info.DevType = 12;
    const unsigned calls = sim.call_count("*");
    const std::string refused = run_plain("FTTO_MASTER_NTI_GET");
    EXPECT_NE(refused.find(R"("Status":"1")"), std::string::npos) << refused;
    EXPECT_NE(refused.find("API_ONLY_SUPPORT_FTTO_MasterDev"), std::string::npos) << refused;
    EXPECT_EQ(sim.call_count("*"), calls) << "refused before any bus call";
    EXPECT_NE(run_plain("FTTO_DEV_NTI_GET").find(R"("Status":"0")"), std::string::npos);
}

TEST_F(FttoCommands, LanOpticReadingsHaveTwoDecimals)
{
    EXPECT_EQ(run_plain("FTTO_MASTER_LAN_PONINFO_GET"),
              head("FTTO_MASTER_LAN_PONINFO_GET") +
                  R"(,"Temperature":"40.00","Voltage":"3.30","Current":"12.25","TXPower":"1.50"})");
    sim.fail_next("GetAll", 1, "/com/yvc/igd1/FTTO/LanOptic");
    EXPECT_EQ(run_plain("FTTO_MASTER_LAN_PONINFO_GET"), failure("FTTO_MASTER_LAN_PONINFO_GET", "api_return_fail"));
}

class RegistrationState : public CommandTest {};

TEST_F(RegistrationState, PairsBecomeMembersAfterTheReturnedStatus)
{
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"), head("REGISTER_GETSTAT") + R"(,"Result":"1","Progress":"100"})");
    sim.set_reply("RegisterGetStat", "(uint32 2, 'Result=0&Progress=40&Info')");
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"),
              head("REGISTER_GETSTAT", "2") + R"(,"Result":"0","Progress":"40","Info":""})");
}

TEST_F(RegistrationState, NoStatusNoTextAndFailedCalls)
{
    sim.set_reply("RegisterGetStat", "(uint32 500, 'Result=1')");
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"), failure("REGISTER_GETSTAT", "NO_STATUS_RETURN"));
    sim.set_reply("RegisterGetStat", "(uint32 0, '')");
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"), failure("REGISTER_GETSTAT", ""));
    sim.set_reply("RegisterGetStat", "");
    sim.fail_next("RegisterGetStat");
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"), failure("REGISTER_GETSTAT", "callMethod_failed"));
}

TEST_F(RegistrationState, ServiceTextCannotBreakOrRewriteTheAnswer)
{
    sim.set_reply("RegisterGetStat", R"((uint32 0, 'Status=0&Info=a"b\\c&CmdType=X&Result=1&Result=2'))");
    EXPECT_EQ(run_plain("REGISTER_GETSTAT"), head("REGISTER_GETSTAT") + R"(,"Info":"a\"b\\c","Result":"1"})");
    EXPECT_TRUE(log.contains("registration state repeats member CmdType, kept the first."));
}

class RestartCommand : public CommandTest {
protected:
    void TearDown() override
    {
        uloop_timeout_cancel(&g_timeout_plugin_disconnect);
        uloop_timeout_cancel(&g_timeout_relogin);
        CommandTest::TearDown();
    }
};

TEST_F(RestartCommand, AnswersFirstThenLeavesThePluginServerAndBootsAgain)
{
    EXPECT_EQ(run_plain("Start_BootRegister"), head("Start_BootRegister") + "}");
    ASSERT_TRUE(g_timeout_plugin_disconnect.pending);
    ASSERT_TRUE(g_timeout_relogin.pending);
    const int64_t disconnect = uloop_timeout_remaining64(&g_timeout_plugin_disconnect);
    const int64_t relogin = uloop_timeout_remaining64(&g_timeout_relogin);
    EXPECT_GT(disconnect, 0);
    EXPECT_LE(disconnect, 1000);
    EXPECT_GT(relogin, 1000);
    EXPECT_LE(relogin, 5000);
    EXPECT_EQ(g_timeout_plugin_disconnect.cb, ucf_timeout_plugin_disconnect_cb);
    EXPECT_EQ(g_timeout_relogin.cb, ucf_timeout_relogin_cb);
}

}  // namespace
