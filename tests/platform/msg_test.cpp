// The message server exchange, the pushd FIFO and the hand-over of pushes from other threads.
#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <utility>

#include <glib.h>
#include <jansson.h>

#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform/records.h"
#include "platform_util.hpp"

namespace {

plat::Bytes frame_of(const std::string &text)
{
    // Built in one go: inserting into a 4-byte vector trips a false -Warray-bounds of GCC 12 at -O2.
    const uint32_t be = htonl(static_cast<uint32_t>(text.size()));
    plat::Bytes b(4 + text.size());
    memcpy(b.data(), &be, 4);
    memcpy(b.data() + 4, text.data(), text.size());
    return b;
}

std::string body(const plat::Bytes &frame)
{
    return frame.size() > 4 ? std::string(frame.begin() + 4, frame.end()) : "";
}

std::string field(const std::string &json, const char *key)
{
    json_error_t err;
    json_t *root = json_loads(json.c_str(), 0, &err);
    const char *v = root ? json_string_value(json_object_get(root, key)) : nullptr;
    std::string r = v ? v : "<none>";
    json_decref(root);
    return r;
}

class MsgServer : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        copy_truncated(g_dev_info.WANIPAddr, "192.0.2.7");
        root_->write("/etc/config/gwagent", "config message 'message'\n\toption address '127.0.0.1'\n\toption port '" +
                                                std::to_string(peer_.port()) + "'\n");
    }
    plat::TcpPeer peer_;
};

TEST(MsgTime, SpacesBecomeZeros)
{
    struct tm tm {};
    char out[15];
    for (const auto &[year, text] : {std::pair<int, const char *>{2024, "20240305070809"}, {999, "09990305070809"}}) {
        tm.tm_year = year - 1900;
        tm.tm_mon = 2;
        tm.tm_mday = 5;
        tm.tm_hour = 7;
        tm.tm_min = 8;
        tm.tm_sec = 9;
        gwagent_msg_time_text(&tm, out);
        EXPECT_STREQ(out, text);
    }
}

TEST_F(MsgServer, ReportIsSignedFramedAndAcknowledged)
{
    const std::string report = "{\"CmdType\":\"OXA_VER_REP\"}";
    EXPECT_EQ(gwagent_message_push(report.c_str(), static_cast<int>(report.size())), 0);
    ASSERT_TRUE(peer_.accept_agent());
    const plat::Bytes frame = peer_.recv_frame();
    uint32_t be;
    ASSERT_GE(frame.size(), 4u);
    memcpy(&be, frame.data(), 4);
    EXPECT_EQ(ntohl(be), frame.size() - 4);
    const std::string text = body(frame);
    const std::string ts = field(text, "time");
    ASSERT_EQ(ts.size(), 14u);
    // base64 of {"CmdType":"OXA_VER_REP"}
    const std::string b64 = "eyJDbWRUeXBlIjoiT1hBX1ZFUl9SRVAifQ==";
    gchar *md5 = g_compute_checksum_for_string(
        G_CHECKSUM_MD5, (ts + b64 + "A1B2C3D4E5F6" + "YVCT12" + "0123456789ABCDEF0123456789ABCDEF").c_str(), -1);
    EXPECT_EQ(text, "{\"RPCMethod\":\"MessagePush\",\"MAC\":\"A1B2C3D4E5F6\",\"time\":\"" + ts + "\",\"MD5\":\"" +
                        std::string(md5) + "\",\"Message\":\"" + b64 + "\"}");
    g_free(md5);
    EXPECT_TRUE(g_timeout_msg_ack.pending);

    // Four bytes or fewer are no acknowledgement.
    peer_.send_raw({0, 0, 0, 0});
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("read no messsage, return and wait!"); }));
    EXPECT_TRUE(g_timeout_msg_ack.pending);
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 1);

    // An empty object acknowledges although it has no Result.
    peer_.send_raw(frame_of("{}"));
    ASSERT_TRUE(peer_.closed_by_agent());
    EXPECT_FALSE(g_timeout_msg_ack.pending);
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 0);
    EXPECT_TRUE(log_.contains("Failed to get result from message server."));
}

TEST_F(MsgServer, QueuedReportsGoOneAfterTheOther)
{
    gwagent_message_push("{\"n\":1}", 7);
    gwagent_message_push("{\"n\":2}", 7);
    ASSERT_TRUE(peer_.accept_agent());
    const std::string first = body(peer_.recv_frame());
    EXPECT_EQ(field(first, "Message"), "eyJuIjoxfQ==");
    peer_.send_raw(frame_of("{\"Result\":0}"));
    const std::string second = body(peer_.recv_frame());
    EXPECT_EQ(field(second, "Message"), "eyJuIjoyfQ==");
}

TEST_F(MsgServer, EleventhReportDiscardsTheOldest)
{
    copy_truncated(g_dev_info.WANIPAddr, "");
    for (int i = 0; i < 11; ++i) {
        const std::string r = "{\"n\":" + std::to_string(i) + "}";
        EXPECT_EQ(gwagent_message_push(r.c_str(), static_cast<int>(r.size())), -1);
    }
    EXPECT_EQ(log_.count("message queue full, clear it."), 1u);
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 10);
    void *head = nullptr;
    ASSERT_EQ(fifo_buffer_get_head(&g_msg_srv_fifo_buf, &head, nullptr), 0);
    EXPECT_STREQ(static_cast<char *>(head), "{\"n\":1}");
}

TEST_F(MsgServer, FiveTimeoutsDropTheReportAndReconnectOnlyForMore)
{
    gwagent_message_push("{\"n\":1}", 7);
    ASSERT_TRUE(peer_.accept_agent());
    peer_.recv_frame();
    for (int i = 1; i <= 3; ++i) {
        ucf_timeout_msg_ack_cb(&g_timeout_msg_ack);
        EXPECT_EQ(field(body(peer_.recv_frame()), "Message"), "eyJuIjoxfQ==") << i;
    }
    ucf_timeout_msg_ack_cb(&g_timeout_msg_ack);
    ASSERT_TRUE(peer_.accept_agent());
    EXPECT_EQ(field(body(peer_.recv_frame()), "Message"), "eyJuIjoxfQ==");
    ucf_timeout_msg_ack_cb(&g_timeout_msg_ack);
    EXPECT_EQ(app_domain_info[DOMAIN_MSG].reply_timeout_cnt, 0);
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 0);
    EXPECT_EQ(g_fd_message.fd, -1);
    EXPECT_TRUE(peer_.closed_by_agent());
}

TEST_F(MsgServer, MissingAddressOrPortFailsAndKeepsTheQueue)
{
    root_->write("/etc/config/gwagent", "config message 'message'\n\toption address '127.0.0.1'\n");
    EXPECT_EQ(gwagent_message_push("{}", 2), -1);
    EXPECT_TRUE(log_.contains("the port of message server is invaild."));
    EXPECT_EQ(fifo_buffer_get_num(&g_msg_srv_fifo_buf), 1);
}

TEST_F(MsgServer, PushFromAnotherThreadConnectsOnTheMainLoop)
{
    int ret = 99;
    std::thread t([&] { ret = gwagent_message_push("{\"from\":\"bus\"}", 14); });
    t.join();
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(g_fd_message.fd, -1);
    ASSERT_TRUE(peer_.accept_agent());
    EXPECT_EQ(field(body(peer_.recv_frame()), "Message"), "eyJmcm9tIjoiYnVzIn0=");
}

class Pushd : public plat::ConnTest {
protected:
    void SetUp() override
    {
        ConnTest::SetUp();
        ASSERT_EQ(ucf_connect_pushd_srv(), 0);
        wfd_ = open(gw::RootPath("/tmp/pushd_to_gwagent.fifo").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(wfd_, 0);
    }
    void TearDown() override
    {
        if (wfd_ >= 0)
            close(wfd_);
        ConnTest::TearDown();
    }
    void put(const std::string &text)
    {
        const plat::Bytes f = frame_of(text);
        ASSERT_EQ(write(wfd_, f.data(), f.size()), static_cast<ssize_t>(f.size()));
    }
    int wfd_ = -1;
};

TEST_F(Pushd, TopicsAreQueuedAndBeginClearsTheQueue)
{
    put("{\"topic\":\"wan\"}");
    put("{\"topic\":\"lan\"}");
    ASSERT_TRUE(plat::pump_until([] { return fifo_buffer_get_num(&socket_distr_tx_header) == 2; }));
    void *head = nullptr;
    ASSERT_EQ(fifo_buffer_get_head(&socket_distr_tx_header, &head, nullptr), 0);
    EXPECT_STREQ(static_cast<char *>(head), "{\"topic\":\"wan\"}");
    put("{\"topic\":\"begin\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("receive begin topic"); }));
    EXPECT_EQ(fifo_buffer_get_num(&socket_distr_tx_header), 0);
}

TEST_F(Pushd, FullQueueDropsNewTexts)
{
    for (int i = 0; i < 11; ++i)
        put("{\"topic\":\"t" + std::to_string(i) + "\"}");
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("socket_distr_tx_header is full, drop the package"); }));
    EXPECT_EQ(fifo_buffer_get_num(&socket_distr_tx_header), 10);
}

TEST_F(Pushd, WriterThatWritesAndLeavesLosesNothing)
{
    put("{\"topic\":\"a\"}");
    ASSERT_TRUE(plat::pump_until([] { return fifo_buffer_get_num(&socket_distr_tx_header) == 1; }));
    // The last frames and the hang-up reach the agent in one event.
    put("{\"topic\":\"b\"}");
    put("{\"topic\":\"c\"}");
    close(wfd_);
    wfd_ = -1;
    ASSERT_TRUE(plat::pump_until([] { return fifo_buffer_get_num(&socket_distr_tx_header) == 3; }));
    ASSERT_TRUE(plat::pump_until([&] { return log_.contains("the fifo connection maybe down"); }));
    ASSERT_TRUE(plat::pump_until([] { return g_fd_pushd.fd >= 0; }));
    void *head = nullptr;
    ASSERT_EQ(fifo_buffer_get_head(&socket_distr_tx_header, &head, nullptr), 0);
    EXPECT_STREQ(static_cast<char *>(head), "{\"topic\":\"a\"}");
    // The reopened pipe takes the next writer.
    wfd_ = open(gw::RootPath("/tmp/pushd_to_gwagent.fifo").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(wfd_, 0);
    put("{\"topic\":\"d\"}");
    ASSERT_TRUE(plat::pump_until([] { return fifo_buffer_get_num(&socket_distr_tx_header) == 4; }));
}

TEST_F(Pushd, FifoGetsItsModeWhateverTheUmask)
{
    close(wfd_);
    wfd_ = -1;
    gwagent_close_pushd();
    const std::string path = gw::RootPath("/tmp/pushd_to_gwagent.fifo");
    ASSERT_EQ(unlink(path.c_str()), 0);
    const mode_t old = umask(022);
    const int rc = ucf_connect_pushd_srv();
    umask(old);
    ASSERT_EQ(rc, 0);
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0620u);
}

// A FIFO removed or replaced while the agent reads the old one: the periodic check makes it again and
// the next writer's report is read.
TEST_F(Pushd, RemovedOrReplacedFifoIsMadeAgainForTheNextWriter)
{
    const std::string path = gw::RootPath("/tmp/pushd_to_gwagent.fifo");
    ASSERT_TRUE(g_timeout_pushd.pending) << "the check runs while the FIFO is open";
    for (const bool replace : {false, true}) {
        close(wfd_);
        wfd_ = -1;
        ASSERT_EQ(unlink(path.c_str()), 0);
        if (replace)
            root_->write("/tmp/pushd_to_gwagent.fifo", "not a fifo");
        uloop_timeout_cancel(&g_timeout_pushd);
        g_timeout_pushd.cb(&g_timeout_pushd);
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode));
        wfd_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(wfd_, 0) << "no reader on the new FIFO";
        const std::string topic = replace ? "replaced" : "removed";
        put("{\"topic\":\"" + topic + "\"}");
        ASSERT_TRUE(plat::pump_until([&] { return log_.contains("\"topic\":\"" + topic + "\""); })) << topic;
    }
}

}  // namespace
