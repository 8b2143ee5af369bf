// The distribution server exchange against a scripted UDP peer on loopback, and its timers fired
// by hand.
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <string>

#include <jansson.h>

#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"
#include "platform_util.hpp"

namespace {

std::string field(const std::string &json, const char *key)
{
    json_error_t err;
    json_t *root = json_loads(json.c_str(), 0, &err);
    const char *v = root ? json_string_value(json_object_get(root, key)) : nullptr;
    std::string r = v ? v : "<none>";
    json_decref(root);
    return r;
}

uint32_t g_tick = 1000;
uint32_t tick() { return ++g_tick; }

const std::string kShared = "0123456789abcdef0123456789abcdef";

class Distr : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
        copy_truncated(d.addrs[0], "127.0.0.1");
        d.addr_count = 1;
        d.port = static_cast<uint16_t>(peer_.port());
    }

    // Connects and answers Boot; returns the Register text the agent sends next.
    std::string boot(const std::string &extra = ",\"SharedPasswd\":\"" + kShared + "\"")
    {
        EXPECT_EQ(ucf_connect_distr_srv(), 0);
        const std::string req = peer_.recv_text();
        peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(req, "MessageID") + "\",\"ChallengeCode\":\"cc-42\"" +
                        extra + "}");
        std::string next;
        plat::pump_until([&] { return app_domain_info[DOMAIN_DISTR].stage != DOMAIN_STAGE_BOOT; });
        return peer_.recv_text();
    }

    // Through Register; returns the first heartbeat text.
    std::string registered(const std::string &reg_extra = ",\"Interval\":61")
    {
        const std::string reg = boot();
        peer_.send_text("{\"Result\":2,\"MessageID\":\"" + field(reg, "MessageID") + "\"" + reg_extra + "}");
        plat::pump_until([&] { return app_domain_info[DOMAIN_DISTR].stage == DOMAIN_STAGE_RUNNING; });
        return peer_.recv_text();
    }

    // Answers the last heartbeat and waits for the agent to take it.
    void answer_hb(const std::string &hb, const std::string &extra = "")
    {
        const uint32_t before = g_cc_stm.HbRecvTime;
        gwagent_set_clock(tick);
        peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(hb, "MessageID") + "\"" + extra + "}");
        ASSERT_TRUE(plat::pump_until([&] { return g_cc_stm.HbRecvTime != before; }));
    }

    plat::UdpPeer peer_;
};

TEST_F(Distr, BootRequestCarriesEveryDeviceValueInOrder)
{
    copy_truncated(g_dev_info.SWVersion, "V1.2");
    copy_truncated(g_dev_info.HDVersion, "HW3");
    copy_truncated(g_dev_info.FrameworkVersion, "V9.1");
    copy_truncated(g_dev_info.WANIPAddr, "192.0.2.7");
    copy_truncated(g_dev_info.Province, "GD");
    copy_truncated(g_dev_info.CpuArch, "armv7");
    g_dev_info.WiFiVersion = 6;
    g_dev_info.DevWiFi = 2;
    g_dev_info.UPLink = 1;
    g_dev_info.UPLinkType = 3;
    g_dev_info.DevType = 4;
    g_dev_info.WorkMode = 5;
    g_dev_info.KernelBit = 32;
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    const std::string boot = peer_.recv_text();
    const std::string mid = field(boot, "MessageID");
    ASSERT_EQ(mid.size(), 12u);
    EXPECT_EQ(boot,
              "{\"RPCMethod\":\"Boot\",\"MessageID\":\"" + mid +
                  "\",\"Vendor\":\"ACME\",\"Model\":\"HG100\",\"FirmwareVer\":\"V1.2\",\"HardwareVer\":\"HW3\","
                  "\"ZepVer\":\"V9.1\",\"IPAddr\":\"192.0.2.7\",\"MAC\":\"A1B2C3D4E5F6\",\"GPONSN\":\"YVCT12345678\","
                  "\"Province\":\"GD\",\"OS\":\"OXA\",\"WiFiVer\":\"6\",\"WiFiBand\":\"2\",\"UPLink\":\"1\","
                  "\"UPLinkType\":\"3\",\"DevType\":\"4\",\"WorkMode\":\"5\",\"DevName\":\"\",\"KernelBit\":\"32\","
                  "\"CpuArch\":\"armv7\",\"Flag\":\"0\"}");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].status, DOMAIN_STATUS_CONNECTED);
    EXPECT_TRUE(g_timeout_distr_boot0.pending);
}

TEST_F(Distr, BootStoresSharedPasswordAndRegistersWithCheckSN)
{
    const std::string reg = boot();
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].stage, DOMAIN_STAGE_REGISTER);
    EXPECT_FALSE(g_timeout_distr_boot0.pending);
    EXPECT_EQ(std::string(g_dev_info.ChallengeCode), "cc-42");
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('1'));
    EXPECT_EQ(uci("gwagent", "global", "status"), "1");
    // Stored XORed with 0x50: '0' (0x30) becomes 0x60 '`', 'a' (0x61) becomes '1'.
    EXPECT_EQ(uci("gwagent", "global", "shared"), "`abcdefghi123456`abcdefghi123456");
    char check[33] = {};
    ASSERT_EQ(calc_check_sn(check, sizeof check), 0);
    EXPECT_EQ(reg,
              "{\"RPCMethod\":\"Register\",\"DevRND\":\"" + std::string(g_dev_info.DevRND) + "\",\"MessageID\":\"" +
                  field(reg, "MessageID") +
                  "\",\"MAC\":\"A1B2C3D4E5F6\",\"GPONSN\":\"YVCT12345678\",\"VendorCode\":\"ACME01\",\"CheckSN\":\"" +
                  check + "\",\"PPPoEName\":\"\",\"LOID\":\"\"}");
}

TEST_F(Distr, RegisteredAgentReadsSharedPasswordBackFromUci)
{
    g_dev_info.RegisteredFlag = '1';
    root_->write("/etc/config/gwagent", "config global 'global'\n\toption shared '`abcdefghi123456`abcdefghi123456'\n");
    boot("");
    EXPECT_EQ(std::string(g_dev_info.SharedPasswd), kShared);
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].stage, DOMAIN_STAGE_REGISTER);
}

TEST_F(Distr, OverlongStoredSharedPasswordIsLostNotOverflowed)
{
    g_dev_info.RegisteredFlag = '1';
    root_->write("/etc/config/gwagent", "config global 'global'\n\toption shared '" + std::string(5000, 'a') + "'\n");
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    const std::string req = peer_.recv_text();
    peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(req, "MessageID") + "\",\"ChallengeCode\":\"c\"}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].boot_err == 1; }));
    EXPECT_TRUE(log_.contains("SharedPasswd lose. need to Boot, get SharedPasswd again."));
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
}

TEST_F(Distr, ShortSharedPasswordTurnsBootIntoFailure)
{
    const std::string short_pw = kShared.substr(1);
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    const std::string req = peer_.recv_text();
    peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(req, "MessageID") +
                    "\",\"ChallengeCode\":\"c\",\"SharedPasswd\":\"" + short_pw + "\"}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].boot_err == 1; }));
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
    EXPECT_EQ(uci("gwagent", "global", "status"), "0");
    EXPECT_EQ(uci("gwagent", "global", "shared"), "<none>");
    EXPECT_EQ(std::string(app_domain_info[DOMAIN_DISTR].last_error), "boot failed");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].stage, DOMAIN_STAGE_IDLE);
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 60);
}

TEST_F(Distr, RepliesThatDoNotBelongAreIgnored)
{
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    const std::string req = peer_.recv_text();
    peer_.send_text("{\"Result\":0,\"MessageID\":\"ffffffffffff\",\"ChallengeCode\":\"c\"}");
    peer_.send_text("not json");
    peer_.send_raw({0, 0, 0, 4, '$', '$', 1, 0, 1, 2, 3});
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("No match ack packet"); }));
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("UDP packet unpack error !"); }));
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].stage, DOMAIN_STAGE_BOOT);
    EXPECT_TRUE(g_timeout_distr_boot0.pending);
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].boot_err, 0);
}

TEST_F(Distr, RegisterFailuresRetryThreeTimesThenRelogin)
{
    const std::string reg = boot();
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    peer_.send_text("{\"Result\":7,\"MessageID\":\"" + field(reg, "MessageID") + "\"}");
    ASSERT_TRUE(plat::pump_until([&] { return d.register_err == 1; }));
    EXPECT_EQ(std::string(d.last_error), "unknow error");
    EXPECT_EQ(plat::secs(&g_timeout_distr_register1_retry), 60);
    EXPECT_EQ(d.stage, DOMAIN_STAGE_REGISTER);
    ucf_timeout_distr_register1_retry_cb(&g_timeout_distr_register1_retry);
    EXPECT_EQ(field(peer_.recv_text(), "RPCMethod"), "Register");
    ucf_timeout_distr_register1_cb(&g_timeout_distr_register1);
    ucf_timeout_distr_register1_cb(&g_timeout_distr_register1);
    EXPECT_EQ(d.stage, DOMAIN_STAGE_REGISTER);
    EXPECT_FALSE(g_timeout_relogin.pending);
    ucf_timeout_distr_register1_cb(&g_timeout_distr_register1);
    EXPECT_EQ(d.register_err, 4);
    EXPECT_EQ(d.stage, DOMAIN_STAGE_IDLE);
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 60);
}

TEST_F(Distr, RegisterCheckErrorWaitsLongAndForgetsRegistration)
{
    const std::string reg = boot();
    peer_.send_text("{\"Result\":-2,\"MessageID\":\"" + field(reg, "MessageID") + "\"}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].status == DOMAIN_STATUS_FAILED; }));
    EXPECT_EQ(g_fd_udp_distr.fd, -1);
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 9000);
    EXPECT_EQ(std::string(app_domain_info[DOMAIN_DISTR].last_error), "register check error.");
}

TEST_F(Distr, GluedRegisterReplyAndMessageServerSplitAtLastColon)
{
    const std::string reg = boot();
    peer_.send_text("{\"Result\":2,\"MessageID\":\"" + field(reg, "MessageID") +
                    "\",\"Interval\":5,\"MessageServer\":\"fe80::1:9000\"}{\"Result\":-2}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].stage == DOMAIN_STAGE_RUNNING; }));
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].hb_interval, 5u);
    EXPECT_EQ(std::string(app_domain_info[DOMAIN_MSG].server), "fe80::1");
    EXPECT_EQ(app_domain_info[DOMAIN_MSG].port, 9000);
    EXPECT_EQ(uci("gwagent", "message", "address"), "fe80::1");
    EXPECT_EQ(uci("gwagent", "message", "port"), "9000");
    EXPECT_EQ(uci("gwagent", "global", "DevRND"), std::string(g_dev_info.DevRND));
}

TEST_F(Distr, FirstHeartbeatReportsAddressAndItsSuccessQueuesVersionReport)
{
    copy_truncated(g_dev_info.WANIPAddr, "192.0.2.7");
    const std::string hb = registered();
    EXPECT_EQ(hb, "{\"RPCMethod\":\"Hb\",\"MessageID\":\"" + field(hb, "MessageID") +
                      "\",\"IPAddr\":\"192.0.2.7\",\"MAC\":\"A1B2C3D4E5F6\",\"Flag\":\"1\"}");
    EXPECT_EQ(field(hb, "MessageID")[0], '0');
    answer_hb(hb, ",\"Interval\":5,\"UpdatePush\":15");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].status, DOMAIN_STATUS_HEARTBEAT);
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].hb_interval, 61u);
    EXPECT_EQ(uci("pushd", "global", "interval"), "15");
    EXPECT_EQ(g_cc_stm.addr_report, 0);
    EXPECT_EQ(g_cc_stm.HbRecvTime, g_tick);
    EXPECT_EQ(plat::secs(&g_timeout_nexthb), 61);
    void *head = nullptr;
    ASSERT_EQ(fifo_buffer_get_head(&g_msg_srv_fifo_buf, &head, nullptr), 0);
    EXPECT_EQ(std::string(static_cast<char *>(head)),
              "{\"CmdType\":\"OXA_VER_REP\",\"Info\":{\"ZepVer\":\"\",\"PluginList\":\"\"}}");

    ucf_timeout_nexthb_cb(&g_timeout_nexthb);
    const std::string next = peer_.recv_text();
    EXPECT_EQ(next, "{\"RPCMethod\":\"Hb\",\"MessageID\":\"" + field(next, "MessageID") +
                        "\",\"MAC\":\"A1B2C3D4E5F6\",\"Flag\":\"0\"}");
    answer_hb(next, ",\"Interval\":10");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].hb_interval, 10u);
}

TEST_F(Distr, UpdatePushAppliesEvenToAFailedHeartbeat)
{
    const std::string hb = registered();
    peer_.send_text("{\"Result\":9,\"MessageID\":\"" + field(hb, "MessageID") + "\",\"UpdatePush\":30}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].hb_err == 1; }));
    EXPECT_EQ(uci("pushd", "global", "interval"), "30");
    EXPECT_EQ(std::string(app_domain_info[DOMAIN_DISTR].last_error), "distribution server HB fail.");
    // Address-report flag still set: the next try comes after half the interval.
    EXPECT_EQ(plat::secs(&g_timeout_nexthb), 30);
}

TEST_F(Distr, PushRidesOnHeartbeatAndLeavesQueueOnlyWhenAcknowledged)
{
    answer_hb(registered());
    fifo_buffer_put(&socket_distr_tx_header, strdup("{\"topic\":\"wan\",\"v\":1}"), 0);
    ucf_timeout_nexthb_cb(&g_timeout_nexthb);
    const std::string push = peer_.recv_text();
    const std::string mid = field(push, "MessageID");
    EXPECT_EQ(mid[0], '1');
    EXPECT_EQ(push, "{\"RPCMethod\": \"MessagePush\", \"MessageID\": \"" + mid +
                        "\", \"MAC\": \"A1B2C3D4E5F6\", \"Data\": {\"topic\": \"wan\", \"v\": 1}}");
    EXPECT_EQ(fifo_buffer_get_num(&socket_distr_tx_header), 1);
    // A missed reply to a push brings the next heartbeat at half of 61 s.
    ucf_timeout_distr_hb_ack_cb(&g_timeout_distr_hb_ack);
    EXPECT_EQ(plat::secs(&g_timeout_nexthb), 30);
    ucf_timeout_nexthb_cb(&g_timeout_nexthb);
    const std::string again = peer_.recv_text();
    answer_hb(again);
    EXPECT_EQ(fifo_buffer_get_num(&socket_distr_tx_header), 0);
}

TEST_F(Distr, HeartbeatFailuresReloginAfterTheFourth)
{
    answer_hb(registered());
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    for (int i = 0; i < 3; ++i)
        ucf_timeout_distr_hb_ack_cb(&g_timeout_distr_hb_ack);
    EXPECT_EQ(d.stage, DOMAIN_STAGE_RUNNING);
    EXPECT_EQ(plat::secs(&g_timeout_nexthb), 61);
    ucf_timeout_distr_hb_ack_cb(&g_timeout_distr_hb_ack);
    EXPECT_EQ(d.stage, DOMAIN_STAGE_IDLE);
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 10);
}

class Instruction : public Distr {
protected:
    void SetUp() override
    {
        Distr::SetUp();
        hb_ = registered();
        answer_hb(hb_);
    }
    std::string instruct(const std::string &key, int port)
    {
        peer_.send_text("{\"RPCMethod\":\"Connect\",\"Key\":\"" + key +
                        "\",\"ServerAddr\":\"127.0.0.1\",\"ServerPort\":\"" + std::to_string(port) +
                        "\",\"MessageID\":\"pm-0001\"}");
        return peer_.recv_text();
    }
    std::string hb_;
};

TEST_F(Instruction, AcceptedKeyAnswersAndConnectsToPluginServer)
{
    plat::TcpPeer plugin;
    char key[33] = {};
    ASSERT_EQ(calc_key_sn(key, sizeof key), 0);
    const std::string old_rnd = g_dev_info.DevRND;
    const std::string answer = instruct(key, plugin.port());
    EXPECT_NE(std::string(g_dev_info.DevRND), old_rnd);
    EXPECT_EQ(answer, "{\"Result\":0,\"MessageID\":\"pm-0001\",\"DevRND\":\"" + std::string(g_dev_info.DevRND) + "\"}");
    EXPECT_EQ(std::string(g_dev_info.LastPluginKey), key);
    ASSERT_TRUE(plugin.accept_agent());
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].stage, DOMAIN_STAGE_REGISTER);
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].port, plugin.port());

    // The server's acknowledgement of the answer carries the plugin MessageID.
    peer_.send_text("{\"Result\":1,\"MessageID\":\"pm-0001\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("rpc success."); }));
    peer_.send_text("{\"Result\":-1,\"MessageID\":\"pm-0001\"}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].cmd_err == 1; }));
    EXPECT_EQ(field(peer_.recv_text(), "MessageID"), "pm-0001");
}

TEST_F(Instruction, SameKeyAgainKeepsDevRnd)
{
    copy_truncated(g_dev_info.LastPluginKey, "not-a-real-key");
    const std::string rnd = g_dev_info.DevRND;
    const std::string answer = instruct("not-a-real-key", 1);
    EXPECT_EQ(std::string(g_dev_info.DevRND), rnd);
    EXPECT_EQ(field(answer, "DevRND"), rnd);
}

TEST_F(Instruction, WrongKeyIsRefusedAndReloginsSoon)
{
    const std::string answer = instruct("0000000000000000000000000000000f", 1);
    EXPECT_EQ(answer.rfind("{\"Result\":-1,\"MessageID\":\"pm-0001\"", 0), 0u) << answer;
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 5);
    EXPECT_EQ(g_fd_plugin.fd, -1);
}

TEST_F(Instruction, MissingServerFieldsRejectTheInstruction)
{
    copy_truncated(g_dev_info.LastPluginKey, "k");
    peer_.send_text(
        "{\"RPCMethod\":\"Connect\",\"Key\":\"k\",\"ServerAddr\":\"\",\"ServerPort\":\"1\",\"MessageID\":\"m\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("No match ack packet"); }));
    EXPECT_EQ(peer_.recv_text(std::chrono::milliseconds(100)), "");
}

// The platform's CheckIP goes to ubus as one argument: quotes and shell syntax stay inert.
TEST_F(Instruction, CheckIpReachesUbusAsOneArgument)
{
    const std::string bin = root_->dir() + "/bin";
    mkdir(bin.c_str(), 0755);
    const std::string record = root_->dir() + "/argv.txt";
    {
        std::ofstream s(bin + "/ubus");
        s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << record << "'\n";
    }
    chmod((bin + "/ubus").c_str(), 0755);
    const std::string old_path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + old_path).c_str(), 1);
    const std::string marker = root_->dir() + "/pwned";
    ucf_timeout_nexthb_cb(&g_timeout_nexthb);
    const std::string hb = peer_.recv_text();
    const std::string evil = "1.2.3.4'}'; touch " + marker + "; echo \\\"$(id)\\\" `x`";
    answer_hb(hb, ",\"Check\":1,\"CheckIP\":\"" + evil + "\"");
    setenv("PATH", old_path.c_str(), 1);
    std::ifstream in(record);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all, "-s\n" + root_->dir() +
                       "/var/run/ubus/ubus.sock\ncall\nyvproxy\ntask_request\n{\"server\":\"1.2.3.4'}'; touch " +
                       marker + "; echo \\\"$(id)\\\" `x`\"}\n");
    struct stat st {};
    EXPECT_NE(stat(marker.c_str(), &st), 0);
}

TEST_F(Distr, BootCheckErrorClosesEverythingForLong)
{
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    const std::string req = peer_.recv_text();
    g_dev_info.RegisteredFlag = '1';
    peer_.send_text("{\"Result\":-2,\"MessageID\":\"" + field(req, "MessageID") + "\"}");
    ASSERT_TRUE(plat::pump_until([] { return g_fd_udp_distr.fd < 0; }));
    const gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    EXPECT_EQ(d.status, DOMAIN_STATUS_FAILED);
    EXPECT_EQ(std::string(d.last_error), "boot check error");
    EXPECT_EQ(g_dev_info.RegisteredFlag, static_cast<uint32_t>('0'));
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 9000);
    EXPECT_EQ(g_cc_stm.addr_report, 1);
    EXPECT_EQ(d.boot_err, 0);
}

TEST_F(Distr, HeartbeatErrorResultReloginsInTenSeconds)
{
    const std::string hb = registered();
    peer_.send_text("{\"Result\":-3,\"MessageID\":\"" + field(hb, "MessageID") + "\"}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_DISTR].stage == DOMAIN_STAGE_IDLE; }));
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].status, DOMAIN_STATUS_FAILED);
    EXPECT_EQ(std::string(app_domain_info[DOMAIN_DISTR].last_error), "distribution server HB err.");
    EXPECT_EQ(plat::secs(&g_timeout_relogin), 10);
}

TEST_F(Distr, SocketFailuresBackOffByTheMinuteUpToTen)
{
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    copy_truncated(d.addrs[0], "not an address");
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(ucf_connect_distr_srv(), -1);
        EXPECT_EQ(d.common_err, n);
        EXPECT_EQ(plat::secs(&g_timeout_relogin), n <= 5 ? n * 60 : 600) << n;
    }
    EXPECT_EQ(std::string(d.last_error), "socket open failed.");
    EXPECT_EQ(d.status, DOMAIN_STATUS_FAILED);
    EXPECT_TRUE(log_.contains("udp socket open failed, count: 6, relogin 10 minutes later."));
}

TEST_F(Distr, ReloginReusesTheResolvedAddressesAndBootsAgain)
{
    const std::string reg = boot();
    ASSERT_FALSE(reg.empty());
    ucf_timeout_relogin_cb(&g_timeout_relogin);
    const std::string again = peer_.recv_text();
    EXPECT_EQ(field(again, "RPCMethod"), "Boot");
    EXPECT_EQ(field(again, "Flag"), "1");
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].addr_count, 1);
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].stage, DOMAIN_STAGE_BOOT);
}

TEST_F(Distr, DatagramsInTheIdleStageAreDropped)
{
    const std::string hb = registered();
    app_domain_info[DOMAIN_DISTR].stage = DOMAIN_STAGE_IDLE;
    peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(hb, "MessageID") + "\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("[platform ----> local]: ("); }));
    EXPECT_TRUE(g_timeout_distr_hb_ack.pending);
    EXPECT_EQ(app_domain_info[DOMAIN_DISTR].status, DOMAIN_STATUS_REGISTERED);
}

// Every consecutive boot failure through the reply timer: 1 min for 1-3, 3-4 min for 4-6, 5-9 min
// from 7 on; relogins keep the count, only a Boot success clears it.
TEST_F(Distr, BootFailureCountSetsTheReloginBandAndOnlySuccessClearsIt)
{
    ASSERT_EQ(ucf_connect_distr_srv(), 0);
    ASSERT_EQ(field(peer_.recv_text(), "RPCMethod"), "Boot");
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    struct Band {
        int upto, lo, hi;
    };
    const Band bands[] = {{3, 1, 1}, {6, 3, 4}, {10, 5, 9}};
    int n = 0;
    for (const Band &b : bands) {
        for (++n; n <= b.upto; ++n) {
            ucf_timeout_relogin_cb(&g_timeout_relogin);
            const std::string again = peer_.recv_text();
            ASSERT_EQ(field(again, "RPCMethod"), "Boot") << n;
            ASSERT_EQ(d.stage, DOMAIN_STAGE_BOOT);
            ASSERT_TRUE(g_timeout_distr_boot0.pending);
            ucf_timeout_distr_boot0_cb(&g_timeout_distr_boot0);
            EXPECT_EQ(d.boot_err, n);
            EXPECT_EQ(d.stage, DOMAIN_STAGE_IDLE);
            const int s = plat::secs(&g_timeout_relogin);
            EXPECT_TRUE(s % 60 == 0 && s / 60 >= b.lo && s / 60 <= b.hi) << "failure " << n << ": " << s << " s";
        }
        --n;
    }
    ucf_timeout_relogin_cb(&g_timeout_relogin);
    const std::string req = peer_.recv_text();
    EXPECT_EQ(d.boot_err, 10);
    peer_.send_text("{\"Result\":0,\"MessageID\":\"" + field(req, "MessageID") +
                    "\",\"ChallengeCode\":\"c\",\"SharedPasswd\":\"" + kShared + "\"}");
    ASSERT_TRUE(plat::pump_until([&] { return d.stage == DOMAIN_STAGE_REGISTER; }));
    EXPECT_EQ(d.boot_err, 0);
}

// Whole minutes drawn uniformly: every minute of each band turns up, none outside it.
TEST_F(Distr, BootReloginDelaysCoverEveryMinuteOfTheirBand)
{
    struct Case {
        int failures;
        std::set<int> minutes;
    };
    const Case cases[] = {{2, {1}}, {5, {3, 4}}, {8, {5, 6, 7, 8, 9}}, {40, {5, 6, 7, 8, 9}}};
    for (const Case &c : cases) {
        std::set<int> seen;
        for (int i = 0; i < 400; ++i) {
            const int ms = gwagent_boot_relogin_ms(c.failures);
            ASSERT_EQ(ms % 60000, 0) << ms;
            seen.insert(ms / 60000);
        }
        EXPECT_EQ(seen, c.minutes) << c.failures;
    }
}

}  // namespace
