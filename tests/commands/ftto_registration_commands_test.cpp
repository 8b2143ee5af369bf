// FTTO topology and optics against the simulator's FTTO master profile, registration state and the restart
// command.
#include <string>

#include "command_rows.hpp"
#include "platform/conn.h"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

class FttoCommands : public agenttest::RowTest {};

TEST_F(FttoCommands, FttoMasterNamesSlavesAfterTheirLanHostsAndFailsWithoutThem)
{
    sim.load_profile("ftto_master.json");
    const std::string gateway =
        R"("DevType":11,"WorkMode":1,"GateWay":{"UPLink":1,"UPLinkType":1,"Distance":0,"LOID":"loid0001",)"
        R"("WANIP":"100.64.12.34","Model":"HG6543C"},"SlaveInfo":[)";
    // clang-format off
    play({
        {cmd("FTTO_MASTER_NTI_GET"), ok("FTTO_MASTER_NTI_GET",
            R"("DevType":11,"WorkMode":1,"GateWay":{"UPLink":1,"UPLinkType":1,"LOID":"loid0001","SN":"YVCG12345678",)"
            R"("MAC":"A4B1C2D3E4F5","WANIP":"100.64.12.34","Model":"HG6543C","Name":"Living room gateway"},"AllowSlaveNum":8,"SlaveNum":2,"SlaveInfo":[)"
            R"({"UPLink":1,"UPLinkType":0,"Port":2,"Distance":0,"LOID":"","SN":"YVCS00000001",)"
            R"("MAC":"A0:B1:C2:D3:E4:F1","WANIP":"192.168.1.21","Model":"SL100","Name":"phone-anna"},)"
            R"({"UPLink":0,"UPLinkType":0,"Port":3,"Distance":0,"LOID":"","SN":"YVCS00000002",)"
            R"("MAC":"a4-b1-c2-d3-e4-99","WANIP":"","Model":"SL200","Name":""}])")},
        {cmd("FTTO_DEV_NTI_GET"), ok("FTTO_DEV_NTI_GET", gateway +
            R"({"UPLink":1,"UPLinkType":0,"Distance":0,"LOID":"","WANIP":"192.168.1.21","Model":"SL100"},)"
            R"({"UPLink":0,"UPLinkType":0,"Distance":0,"LOID":"","WANIP":"","Model":"SL200"}])")},
        {cmd("FTTO_MASTER_LAN_PONINFO_GET"), ok("FTTO_MASTER_LAN_PONINFO_GET", R"("Temperature":"40.00","Voltage":"3.30","Current":"12.25","TXPower":"1.50")")},
        {cmd("FTTO_MASTER_LAN_PONINFO_GET"), fail("FTTO_MASTER_LAN_PONINFO_GET", "api_return_fail"), "GetAll", "/com/yvc/igd1/FTTO/LanOptic"},
    });
    sim.set_reply("GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    play({
        {cmd("FTTO_MASTER_NTI_GET"), fail("FTTO_MASTER_NTI_GET", "api_return_fail")},
        // The device view goes on without slaves, but not without a readable device.
        {cmd("FTTO_DEV_NTI_GET"), ok("FTTO_DEV_NTI_GET", gateway + "]")},
        {cmd("FTTO_DEV_NTI_GET"), fail("FTTO_DEV_NTI_GET", "api_return_fail"), "GetAll", "/com/yvc/igd1/Info/Device"},
    });
    // clang-format on
    expect_logged({"api_getFTTOMasterNTI api failed, return -1."});
}

TEST_F(FttoCommands, FttoMasterOnlyCommandsAreRefusedOnASlaveBeforeAnyBusCall)
{
    g_dev_info.DevType = 12;
    const unsigned calls = sim.call_count("*");
    EXPECT_EQ(run_plain("FTTO_MASTER_NTI_GET"), fail("FTTO_MASTER_NTI_GET", "API_ONLY_SUPPORT_FTTO_MasterDev"));
    EXPECT_EQ(sim.call_count("*"), calls);
    EXPECT_NE(run_plain("FTTO_DEV_NTI_GET").find(R"("Status":"0")"), std::string::npos);
}

TEST_F(FttoCommands, RegistrationStatePairsBecomeMembersWithoutRewritingTheAnswer)
{
    struct Case {
        const char *reply;
        std::string answer;
    };
    // clang-format off
    const Case cases[] = {
        {"", ok("REGISTER_GETSTAT", R"("Result":"1","Progress":"100")")},
        {"(uint32 2, 'Result=0&Progress=40&Info')", head("REGISTER_GETSTAT", "2") + R"(,"Result":"0","Progress":"40","Info":""})"},
        {"(uint32 500, 'Result=1')", fail("REGISTER_GETSTAT", "NO_STATUS_RETURN")},
        {"(uint32 0, '')", fail("REGISTER_GETSTAT", "")},
        {R"((uint32 0, 'Status=0&Info=a"b\\c&CmdType=X&Result=1&Result=2'))", ok("REGISTER_GETSTAT", R"("Info":"a\"b\\c","Result":"1")")},
    };
    // clang-format on
    for (const Case &c : cases) {
        sim.set_reply("RegisterGetStat", c.reply);
        EXPECT_EQ(run_plain("REGISTER_GETSTAT"), c.answer) << c.reply;
    }
    sim.set_reply("RegisterGetStat", "");
    play({{cmd("REGISTER_GETSTAT"), fail("REGISTER_GETSTAT", "callMethod_failed"), "RegisterGetStat"}});
    expect_logged({"registration state repeats member CmdType, kept the first."});
}

TEST_F(FttoCommands, RestartAnswersFirstThenLeavesThePluginServerAndBootsAgain)
{
    EXPECT_EQ(run_plain("Start_BootRegister"), ok("Start_BootRegister"));
    ASSERT_TRUE(g_timeout_plugin_disconnect.pending);
    ASSERT_TRUE(g_timeout_relogin.pending);
    const int64_t disconnect = uloop_timeout_remaining64(&g_timeout_plugin_disconnect);
    const int64_t relogin = uloop_timeout_remaining64(&g_timeout_relogin);
    uloop_timeout_cancel(&g_timeout_plugin_disconnect);
    uloop_timeout_cancel(&g_timeout_relogin);
    EXPECT_GT(disconnect, 0);
    EXPECT_LE(disconnect, 1000);
    EXPECT_GT(relogin, 1000);
    EXPECT_LE(relogin, 5000);
    EXPECT_EQ(g_timeout_plugin_disconnect.cb, ucf_timeout_plugin_disconnect_cb);
    EXPECT_EQ(g_timeout_relogin.cb, ucf_timeout_relogin_cb);
}

}  // namespace
