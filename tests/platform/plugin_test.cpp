// The plugin server exchange against a scripted TCP peer on loopback.
#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "commands/cmd_table.h"
#include "commands/cmd_zep_log.h"
#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/strutil.h"
#include "http_server.hpp"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"
#include "platform_util.hpp"

namespace {

uint32_t fixed_clock() { return 1700000000u; }

class Plugin : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
        copy_truncated(p.server, "127.0.0.1");
        p.port = static_cast<uint16_t>(peer_.port());
        copy_truncated(g_dev_info.WANIPAddr, "192.0.2.7");
    }

    std::string next_text()
    {
        const plat::Bytes f = peer_.recv_frame();
        return plat::agent_text(f);
    }

    void reply(const std::string &text) { peer_.send_raw(plat::server_packet(text)); }

    // Connected, registered and one heartbeat answered.
    void running()
    {
        ASSERT_EQ(ucf_connect_plugin_srv(), 0);
        ASSERT_TRUE(peer_.accept_agent());
        ASSERT_EQ(plat::agent_text(peer_.recv_frame()).substr(0, 23), "{\"RPCMethod\":\"Register\"");
        reply("{\"Result\":0,\"Hb\":45,\"ConectionKeepTime\":90}");
        ASSERT_EQ(plat::agent_text(peer_.recv_frame()).substr(0, 17), "{\"RPCMethod\":\"Hb\"");
        reply("{\"Result\":0}");
        ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_PLUGIN].status == DOMAIN_STATUS_HEARTBEAT; }));
    }

    plat::TcpPeer peer_;
};

TEST_F(Plugin, RegisterAndHeartbeatTextsByteForByte)
{
    ASSERT_EQ(ucf_connect_plugin_srv(), 0);
    ASSERT_TRUE(peer_.accept_agent());
    const plat::Bytes frame = peer_.recv_frame();
    ASSERT_GT(frame.size(), 20u);
    // Header: length of what follows, "$$", default key selector, reserved, VendorCode and 6 zeros.
    uint32_t be;
    memcpy(&be, frame.data(), 4);
    EXPECT_EQ(ntohl(be), frame.size() - 4);
    EXPECT_EQ(std::string(frame.begin() + 4, frame.begin() + 20), std::string("$$\x01\x00"
                                                                              "ACME01\0\0\0\0\0\0",
                                                                              16));
    char check[33] = {};
    ASSERT_EQ(calc_check_sn(check, sizeof check), 0);
    EXPECT_EQ(plat::agent_text(frame),
              "{\"RPCMethod\":\"Register\",\"MAC\":\"A1B2C3D4E5F6\",\"GPONSN\":\"YVCT12345678\","
              "\"VendorCode\":\"ACME01\",\"CheckSN\":\"" +
                  std::string(check) + "\"}");
    EXPECT_TRUE(g_timeout_plugin_ack.pending);
    reply("{\"Result\":0,\"Hb\":30,\"ConectionKeepTime\":60}");
    EXPECT_EQ(next_text(),
              "{\"RPCMethod\":\"Hb\",\"IPAddr\":\"192.0.2.7\",\"MAC\":\"A1B2C3D4E5F6\",\"GPONSN\":\"YVCT12345678\"}");
    const gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    EXPECT_EQ(p.hb_interval, 120u);
    EXPECT_EQ(p.keep_time, 300u);
    EXPECT_EQ(p.stage, DOMAIN_STAGE_RUNNING);
    EXPECT_FALSE(g_timeout_plugin_ack.pending);
    EXPECT_EQ(plat::secs(&g_timeout_plugin_disconnect), 300);
    reply("{\"Result\":0}");
    ASSERT_TRUE(plat::pump_until([&] { return p.status == DOMAIN_STATUS_HEARTBEAT; }));
    EXPECT_EQ(plat::secs(&g_timeout_plugin_hb), 120);
    EXPECT_TRUE(g_timeout_plugin_snd.pending);
}

TEST_F(Plugin, IntervalsAtTheirLimitsAreKept)
{
    ASSERT_EQ(ucf_connect_plugin_srv(), 0);
    ASSERT_TRUE(peer_.accept_agent());
    peer_.recv_frame();
    reply("{\"Result\":0,\"Hb\":31,\"ConectionKeepTime\":61}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_PLUGIN].stage == DOMAIN_STAGE_RUNNING; }));
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].hb_interval, 31u);
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].keep_time, 61u);
}

TEST_F(Plugin, RegisterWithoutHbClosesAsUnknownError)
{
    ASSERT_EQ(ucf_connect_plugin_srv(), 0);
    ASSERT_TRUE(peer_.accept_agent());
    peer_.recv_frame();
    reply("{\"Result\":0,\"ConectionKeepTime\":90}");
    ASSERT_TRUE(peer_.closed_by_agent());
    const gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    EXPECT_EQ(p.status, DOMAIN_STATUS_FAILED);
    EXPECT_EQ(std::string(p.last_error), "unknow error");
    EXPECT_EQ(p.stage, DOMAIN_STAGE_IDLE);
    EXPECT_EQ(std::string(p.server), "127.0.0.1");
}

TEST_F(Plugin, RegisterTimeoutsResendThenCloseAtTheFourth)
{
    ASSERT_EQ(ucf_connect_plugin_srv(), 0);
    ASSERT_TRUE(peer_.accept_agent());
    peer_.recv_frame();
    for (int i = 1; i <= 3; ++i) {
        ucf_timeout_plugin_ack_cb(&g_timeout_plugin_ack);
        EXPECT_EQ(plat::agent_text(peer_.recv_frame()).substr(0, 23), "{\"RPCMethod\":\"Register\"") << i;
    }
    ucf_timeout_plugin_ack_cb(&g_timeout_plugin_ack);
    EXPECT_TRUE(peer_.closed_by_agent());
    EXPECT_EQ(g_fd_plugin.fd, -1);
}

TEST_F(Plugin, HeartbeatFailureStretchesTheNextOne)
{
    running();
    gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    p.hb_interval = 120;
    p.hb_err = 1;
    rpc_srv_hb_rep_chk(-1);
    EXPECT_EQ(p.hb_err, 2);
    EXPECT_EQ(plat::secs(&g_timeout_plugin_hb), 120);
    p.hb_err = 3;
    ucf_timeout_plugin_hb_ack_cb(&g_timeout_plugin_hb_ack);
    EXPECT_EQ(g_fd_plugin.fd, -1);
    EXPECT_EQ(p.hb_err, 0);
}

TEST_F(Plugin, QueuedAnswersGoOutThroughTheSender)
{
    running();
    ASSERT_EQ(send_cmd_resp("{\"CmdType\":\"X\",\"SequenceId\":\"1\",\"Status\":\"0\"}", 77, 0), 0);
    EXPECT_EQ(send_cmd_resp("not json", 78, 0), -1);
    ucf_timeout_plugin_snd_cb(&g_timeout_plugin_snd);
    // base64 of {"CmdType":"X","SequenceId":"1","Status":"0"}
    EXPECT_EQ(next_text(), "{\"Result\":0,\"ID\":77,\"return_Parameter\":"
                           "\"eyJDbWRUeXBlIjoiWCIsIlNlcXVlbmNlSWQiOiIxIiwiU3RhdHVzIjoiMCJ9\"}");
    EXPECT_EQ(fifo_buffer_get_num(&socket_plug_tx_header), 0);
    EXPECT_GT(uloop_timeout_remaining64(&g_timeout_plugin_snd), 150);
}

TEST_F(Plugin, CommandsAreDispatchedAndRearmTheIdleLimit)
{
    running();
    uloop_timeout_cancel(&g_timeout_plugin_disconnect);
    // 40 characters and more: a command; an unknown method is logged and ignored.
    reply("{\"RPCMethod\":\"Nothing\",\"ID\":5,\"PluginName\":\"x\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("CMD jsonStr : {\"RPCMethod\":\"Nothing\""); }));
    EXPECT_EQ(plat::secs(&g_timeout_plugin_disconnect), 90);
    EXPECT_GE(g_fd_plugin.fd, 0);
}

TEST_F(Plugin, DisconnectClosesOnlyOnTheMatchingId)
{
    running();
    gwagent_set_clock(fixed_clock);
    ucf_timeout_plugin_disconnect_cb(&g_timeout_plugin_disconnect);
    EXPECT_FALSE(g_timeout_plugin_hb.pending);
    ucf_timeout_plugin_snd_cb(&g_timeout_plugin_snd);
    EXPECT_EQ(next_text(), "{\"RPCMethod\":\"Disconnect\",\"ID\":1700000000}");
    reply("{\"ID\":1700000001}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("disconnect reply : {\"ID\":1700000001}"); }));
    EXPECT_GE(g_fd_plugin.fd, 0);
    reply("{\"ID\":1700000000}");
    EXPECT_TRUE(peer_.closed_by_agent());
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].stage, DOMAIN_STAGE_IDLE);
}

TEST_F(Plugin, GarbageFramesAreDroppedAndABrokenStreamCloses)
{
    running();
    peer_.send_raw({0, 0, 0, 8, '$', '$', 1, 0, 9, 9, 9, 9});
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("TCP packet unpack error !"); }));
    EXPECT_GE(g_fd_plugin.fd, 0);
    peer_.send_raw({0, 0});
    peer_.hang_up();
    ASSERT_TRUE(plat::pump_until([] { return g_fd_plugin.fd < 0; }));
    EXPECT_EQ(fifo_buffer_get_num(&socket_plug_tx_header), 0);
}

}  // namespace

namespace {

// Missed heartbeat replies: the next heartbeat comes after n half intervals, the fourth closes.
TEST_F(Plugin, HeartbeatReplyTimeoutsShortenThenCloseAtTheFourth)
{
    running();
    gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    ASSERT_EQ(p.hb_interval, 45u);
    const int want_ms[] = {22500, 45000, 67500};
    for (int i = 0; i < 3; ++i) {
        ucf_timeout_plugin_hb_ack_cb(&g_timeout_plugin_hb_ack);
        EXPECT_EQ(p.hb_err, i + 1);
        const int64_t left = uloop_timeout_remaining64(&g_timeout_plugin_hb);
        EXPECT_TRUE(left <= want_ms[i] && left > want_ms[i] - 1000) << i << ": " << left;
        EXPECT_GE(g_fd_plugin.fd, 0);
    }
    ucf_timeout_plugin_hb_ack_cb(&g_timeout_plugin_hb_ack);
    EXPECT_TRUE(peer_.closed_by_agent());
    EXPECT_EQ(g_fd_plugin.fd, -1);
    EXPECT_EQ(p.stage, DOMAIN_STAGE_IDLE);
}

// A frame announcing more than a frame may hold is skipped whole; the frames after it still count.
TEST_F(Plugin, OversizeFrameIsSkippedAndTheStreamStaysUsable)
{
    ASSERT_EQ(ucf_connect_plugin_srv(), 0);
    ASSERT_TRUE(peer_.accept_agent());
    ASSERT_EQ(plat::agent_text(peer_.recv_frame()).substr(0, 23), "{\"RPCMethod\":\"Register\"");
    const uint32_t body = 8192;
    plat::Bytes big = {0, 0, static_cast<unsigned char>(body >> 8), static_cast<unsigned char>(body & 0xff), '$', '$',
                       1, 0};
    big.resize(4 + body, 'x');
    peer_.send_raw(big);
    reply("{\"Result\":0,\"Hb\":45,\"ConectionKeepTime\":90}");
    const std::string hb = next_text();
    EXPECT_EQ(hb.substr(0, 17), "{\"RPCMethod\":\"Hb\"") << hb;
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].hb_interval, 45u);
    EXPECT_GE(g_fd_plugin.fd, 0);
    EXPECT_TRUE(log_.contains("handle oversize packet"));
}

// A length field no peer could mean is a broken stream: the connection closes at once, so the normal
// reconnect runs, instead of discarding 2 GiB of everything that follows.
TEST_F(Plugin, FrameLengthOf2GiBClosesTheConnection)
{
    running();
    peer_.send_raw({0x80, 0, 0, 0, '$', '$', 1, 0});
    reply("{\"RPCMethod\":\"Nothing\",\"ID\":5,\"PluginName\":\"x\"}");
    EXPECT_TRUE(peer_.closed_by_agent());
    EXPECT_EQ(g_fd_plugin.fd, -1);
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].stage, DOMAIN_STAGE_IDLE);
    EXPECT_FALSE(log_.contains("CMD jsonStr"));
}

std::string b64_text(const std::string &bytes)
{
    std::vector<char> out(bytes.size() * 2 + 8, '\0');
    b64_encode(bytes.data(), bytes.size(), out.data(), out.size());
    return out.data();
}

// A hundred commands in one burst: every one is answered, in order, while the answer queue never holds
// more than its ten (reading stops while it is full and resumes when the sender has made room).
TEST_F(Plugin, BurstOfAHundredCommandsGetsEveryAnswerInOrder)
{
    running();
    plat::Bytes burst;
    for (int i = 0; i < 100; ++i) {
        const std::string cmd = "{\"CmdType\":\"NO_SUCH_COMMAND\",\"SequenceId\":\"" + std::to_string(i) + "\"}";
        const plat::Bytes pkt = plat::server_packet("{\"RPCMethod\":\"Post\",\"ID\":" + std::to_string(i) +
                                                    ",\"PluginName\":\"p\",\"Parameter\":\"" + b64_text(cmd) + "\"}");
        burst.insert(burst.end(), pkt.begin(), pkt.end());
    }
    peer_.send_raw(burst);
    std::vector<int> ids;
    int most_queued = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (ids.size() < 100 && std::chrono::steady_clock::now() < deadline) {
        const plat::Bytes f = peer_.recv_frame(std::chrono::milliseconds(1000));
        most_queued = std::max(most_queued, fifo_buffer_get_num(&socket_plug_tx_header));
        const std::string text = plat::agent_text(f);
        const size_t at = text.find("\"ID\":");
        if (text.rfind("{\"Result\":0,", 0) == 0 && at != std::string::npos)
            ids.push_back(std::atoi(text.c_str() + at + 5));
    }
    ASSERT_EQ(ids.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ids[static_cast<size_t>(i)], i);
    EXPECT_LE(most_queued, 10);
    EXPECT_FALSE(log_.contains("Failed to write to remote"));
    EXPECT_GE(g_fd_plugin.fd, 0);
}

// A log upload waits on its server for seconds; meanwhile the loop keeps the platform connection: the
// heartbeat due in that time goes out and its reply is taken, and the answer follows when the upload ends.
TEST_F(Plugin, HeartbeatsGoOnWhileALogUploadWaitsForItsServer)
{
    gwtest::HttpServer server;
    server.serve("/log", "ok");
    server.delay("/log", 3000);
    running();
    const std::string cmd =
        "{\"CmdType\":\"GET_ZEP_LOG\",\"SequenceId\":\"5\",\"UploadPath\":\"" + server.url("/log") + "\"}";
    reply("{\"RPCMethod\":\"Post\",\"ID\":9,\"PluginName\":\"p\",\"Parameter\":\"" + b64_text(cmd) + "\"}");
    ASSERT_TRUE(plat::pump_until([&] { return server.requests("/log") == 1; }, std::chrono::milliseconds(5000)));
    // The next heartbeat falls due while the server holds its reply back.
    uloop_timeout_set(&g_timeout_plugin_hb, 1);
    EXPECT_EQ(next_text().substr(0, 17), "{\"RPCMethod\":\"Hb\"");
    reply("{\"Result\":0}");
    ASSERT_TRUE(plat::pump_until([] { return app_domain_info[DOMAIN_PLUGIN].status == DOMAIN_STATUS_HEARTBEAT; }));
    EXPECT_TRUE(gwagent::zep_log_uploading());
    const std::string answer = "{\"CmdType\":\"GET_ZEP_LOG\",\"SequenceId\":\"5\",\"Status\":\"0\"}";
    EXPECT_EQ(plat::agent_text(peer_.recv_frame(std::chrono::milliseconds(10000))),
              "{\"Result\":0,\"ID\":9,\"return_Parameter\":\"" + b64_text(answer) + "\"}");
    EXPECT_FALSE(gwagent::zep_log_uploading());
}

}  // namespace
