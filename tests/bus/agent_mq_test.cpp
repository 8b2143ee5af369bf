// The local message queue: its pipe, and what the main loop does with each word written into it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "agent_bus_fixture.hpp"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kMngPlat = "/com/yvc/igd1/Info/MngPlat";
constexpr const char *kNetwork = "/com/yvc/igd1/Info/Network";
constexpr const char *kReconnect = "=== Start connect the distribute platform use udp ===";

class AgentQueue : public agentbus::AgentBusTest {
protected:
    void SetUp() override
    {
        AgentBusTest::SetUp();
        // A known address: a reconnect goes no further than its log line.
        app_domain_info[DOMAIN_DISTR].addr_count = 1;
    }
    void TearDown() override
    {
        uloop_timeout_cancel(&g_timeout_mod_upgrade);
        AgentBusTest::TearDown();
    }
    // One message as an outside writer sends it, then the main loop's read of the pipe.
    void deliver(const std::string &text)
    {
        const int fd = open(root.path(GWAGENT_MQ_FIFO).c_str(), O_WRONLY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(fd);
        log.clear();
        ucf_gwagentMQ_cb(&g_fd_mq_read, ULOOP_READ);
    }
    size_t position(const std::string &needle)
    {
        const auto lines = log.lines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].find(needle) != std::string::npos)
                return i;
        return std::string::npos;
    }
};

TEST_F(AgentQueue, PipeIsOwnerOnlyWhateverTheUmaskAndReplacesWhatWasThere)
{
    for (const mode_t mask : {mode_t(0), mode_t(0277)}) {
        gwagent_mq_close();
        unlink(root.path(GWAGENT_MQ_FIFO).c_str());
        root.write(GWAGENT_MQ_FIFO, "stale file");
        const mode_t saved = umask(mask);
        const int rc = gwagent_mq_open();
        umask(saved);
        ASSERT_EQ(rc, 0);
        struct stat st {};
        ASSERT_EQ(stat(root.path(GWAGENT_MQ_FIFO).c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, 0600u) << "umask " << mask;
    }
    // The agent's own write end keeps the pipe open after an outside writer leaves.
    deliver("NET_INFO_CHANGE");
    EXPECT_EQ(gwagent_mq_write("MNG_PLAT_INFO_CHANGE", 20), 0);
    EXPECT_EQ(read_queue(20), "MNG_PLAT_INFO_CHANGE");
}

TEST_F(AgentQueue, ProvinceChangeIsStoredAndReconnectsOnlyAnExistingConnection)
{
    copy_truncated(g_dev_info.Province, "BJ");
    deliver("MNG_PLAT_INFO_CHANGE");
    EXPECT_STREQ(g_dev_info.Province, "GD");
    EXPECT_TRUE(log.contains("Province changed from [BJ] to [GD]."));
    EXPECT_FALSE(log.contains(kReconnect)) << "no connection to renew";

    sim.set_property(kMngPlat, "com.yvc.igd1.MngPlatInfo", "Province", "'SH'");
    app_domain_info[DOMAIN_DISTR].status = DOMAIN_STATUS_HEARTBEAT;
    deliver("MNG_PLAT_INFO_CHANGE");
    EXPECT_STREQ(g_dev_info.Province, "SH");
    EXPECT_TRUE(log.contains(kReconnect));

    // Unchanged, or unreadable: nothing happens.
    app_domain_info[DOMAIN_DISTR].status = DOMAIN_STATUS_HEARTBEAT;
    deliver("MNG_PLAT_INFO_CHANGE");
    EXPECT_FALSE(log.contains(kReconnect));
    sim.fail_next("GetAll", 1, kMngPlat);
    sim.set_property(kMngPlat, "com.yvc.igd1.MngPlatInfo", "Province", "'ZJ'");
    deliver("MNG_PLAT_INFO_CHANGE");
    EXPECT_TRUE(log.contains("ccif_MngPlatInfo_get failed."));
    EXPECT_STREQ(g_dev_info.Province, "SH");
}

TEST_F(AgentQueue, NetworkChangesMarkTheAddressReportOrReconnect)
{
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    struct Case {
        const char *stored_ip;
        const char *stored_status;
        uint8_t platform;
        const char *log_line;  // "" when the step must not log a reconnect decision
        bool reconnect;
        uint8_t addr_report;
    };
    const Case cases[] = {
        // A new address is marked for the next heartbeat; "Connected" again with the link up reconnects,
        // since the address must be carried.
        {"100.64.0.1", "Connected", DOMAIN_STATUS_HEARTBEAT, "", false, 1},
        {"100.64.0.1", "Disconnected", DOMAIN_STATUS_HEARTBEAT, "WANConnectionStatus changed to Connected", true, 1},
        // Same address, link already up: the Connected signal is ignored.
        {"100.64.12.34", "Disconnected", DOMAIN_STATUS_HEARTBEAT, "platform status : 4, ignore Connected signal.",
         false, 0},
        // No platform connection yet: Connected starts one (closing marks the address for the next heartbeat).
        {"100.64.12.34", "Disconnected", DOMAIN_STATUS_IDLE, "WANConnectionStatus changed to Connected", true, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.stored_ip) + " " + c.stored_status + " " + std::to_string(c.platform));
        copy_truncated(g_dev_info.WANIPAddr, c.stored_ip);
        copy_truncated(g_dev_info.WANConnectionStatus, c.stored_status);
        g_cc_stm.addr_report = 0;
        d.status = c.platform;
        deliver("NET_INFO_CHANGE");
        EXPECT_STREQ(g_dev_info.WANIPAddr, "100.64.12.34");
        EXPECT_STREQ(g_dev_info.WANConnectionStatus, "Connected");
        EXPECT_EQ(g_cc_stm.addr_report, c.addr_report);
        EXPECT_EQ(log.contains(kReconnect), c.reconnect);
        if (*c.log_line) {
            EXPECT_TRUE(log.contains(c.log_line));
        }
    }
    sim.fail_next("GetAll", 1, kNetwork);
    deliver("NET_INFO_CHANGE");
    EXPECT_TRUE(log.contains("ccif_NetworkInfo_get failed."));
}

TEST_F(AgentQueue, WordsReadTogetherAreEachHandledOnceInTheirOrder)
{
    copy_truncated(g_dev_info.WANIPAddr, "100.64.12.34");
    copy_truncated(g_dev_info.WANConnectionStatus, "Connected");
    copy_truncated(g_dev_info.Province, "GD");
    deliver("NET_INFO_CHANGENET_INFO_CHANGEMNG_PLAT_INFO_CHANGENET_INFO_CHANGE");
    EXPECT_EQ(log.count("handle NET_INFO_CHANGE message."), 1u);
    EXPECT_EQ(log.count("handle MNG_PLAT_INFO_CHANGE message."), 1u);
    EXPECT_LT(position("handle MNG_PLAT_INFO_CHANGE message."), position("handle NET_INFO_CHANGE message."));
    deliver("HELLO");
    EXPECT_FALSE(log.contains("handle "));
}

TEST_F(AgentQueue, FttoChangeReportsTheTopology)
{
    sim.load_profile("ftto_master.json");
    g_dev_info.DevType = 11;
    g_dev_info.WorkMode = 1;
    deliver("FTTO_DEVICE_CHANGE");
    EXPECT_EQ(report_head(),
              R"({"CmdType":"FTTO_MASTER_NTI_REP","DevType":11,"WorkMode":1,"GateWay":{"UPLink":1,"UPLinkType":1,)"
              R"("LOID":"loid0001","SN":"YVCG12345678","MAC":"A4B1C2D3E4F5","WANIP":"100.64.12.34","Model":"HG6543C",)"
              R"("Name":"Living room gateway"},"AllowSlaveNum":8,"SlaveNum":2,"SlaveInfo":[)"
              R"({"UPLink":1,"UPLinkType":0,"Port":2,"Distance":0,"LOID":"","SN":"YVCS00000001",)"
              R"("MAC":"A0:B1:C2:D3:E4:F1","WANIP":"192.168.1.21","Model":"SL100","Name":"phone-anna"},)"
              R"({"UPLink":0,"UPLinkType":0,"Port":3,"Distance":0,"LOID":"","SN":"YVCS00000002",)"
              R"("MAC":"a4-b1-c2-d3-e4-99","WANIP":"","Model":"SL200","Name":""}]})");

    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    sim.fail_next("GetSlaveAllInfo");
    deliver("FTTO_DEVICE_CHANGE");
    EXPECT_TRUE(log.contains("api_getFTTOMasterNTI failed, return -1."));
    EXPECT_EQ(report_head(), "<empty>");
}

TEST_F(AgentQueue, ModuleUpgradeIsReportedOnceForTheLastModuleASecondLater)
{
    root.write("/usr/lib/opkg/info/beta.control", "Package: beta\nVersion: 2.1\n");
    struct Case {
        const char *text;
        const char *module;  // "" when nothing gets reported
    };
    const Case cases[] = {
        {"MOD_UPGRD_END", ""},
        {"MOD_UPGRD_END,", ""},
        {"MOD_UPGRD_END,../../etc/beta", ""},
        {"MOD_UPGRD_END,beta_arm", "beta_arm"},
        // A word read together with the message ends the name.
        {"MOD_UPGRD_END,beta_armNET_INFO_CHANGE", "beta_arm"},
        {"MOD_UPGRD_END,alphaMOD_UPGRD_END,beta", "beta"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        uloop_timeout_cancel(&g_timeout_mod_upgrade);
        deliver(c.text);
        EXPECT_EQ(g_timeout_mod_upgrade.pending, *c.module != '\0');
        if (*c.module) {
            EXPECT_STREQ(gwagent_mq_pending_module(), c.module);
        }
    }

    // Two messages within the second: the later one is reported, once.
    uloop_timeout_cancel(&g_timeout_mod_upgrade);
    deliver("MOD_UPGRD_END,alpha");
    deliver("MOD_UPGRD_END,beta_arm");
    ASSERT_TRUE(g_timeout_mod_upgrade.pending);
    EXPECT_GT(uloop_timeout_remaining64(&g_timeout_mod_upgrade), 900);
    EXPECT_LE(uloop_timeout_remaining64(&g_timeout_mod_upgrade), 1000);
    fifo_buffer_clear(&g_msg_srv_fifo_buf);
    uloop_timeout_cancel(&g_timeout_mod_upgrade);
    g_timeout_mod_upgrade.cb(&g_timeout_mod_upgrade);
    EXPECT_EQ(report_head(), R"({"CmdType":"OXA_UPG_REP","Info":{"PkgName":"beta_arm","Version":"2.1","Result":0}})");
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 1u);
}

}  // namespace
