// The command envelope and dispatch, fed through handle_server_rpc_message; answers read back from
// the plugin server's queue.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwtest.hpp"
#include "platform/records.h"

using agenttest::dispatch_command;
using agenttest::drain_answers;

namespace {

struct Call {
    int id;
    std::string seq;
    std::string cmd;
    int fd;
};
std::vector<Call> g_calls;

int fake_handler(int id, const char *seq, const char *cmd, json_t *, int fd)
{
    g_calls.push_back({id, seq, cmd, fd});
    return gwagent::answer_status(id, seq, cmd, 0, nullptr, fd) == 0 ? 42 : -1;
}

// Rows the built table does not have yet (or never will, such as right 1), sorted.
const cmd_entry kFakeMain[] = {
    {"FTTO_DEV_NTI_GET", 1, 0, fake_handler}, {"FTTO_MASTER_NTI_GET", 0, 2, fake_handler},
    {"GET_GUEST_SSID", 0, 0, fake_handler},   {"GET_VOIP_STATUS", 1, 0, fake_handler},
    {"QUERY_CPU_INFO", 1, 0, fake_handler},   {"SET_WIFI_VOIP", 0, 2, fake_handler},
    {"SET_WMM_SWITCH", 0, 2, fake_handler},   {"ZZ_FORBIDDEN", 0, 1, fake_handler},
};
const cmd_entry kFakeNas[] = {
    {"COPY", 0, 2, fake_handler},
    {"LIST", 0, 2, fake_handler},
    {"LIST_WIFI", 0, 2, fake_handler},
    {"RENAME", 0, 1, fake_handler},
};
const gwagent::CmdTables kFakeTables{kFakeMain, std::size(kFakeMain), kFakeNas, std::size(kFakeNas)};

class Dispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        gwagent_queues_init();
        agenttest::drain_plugin_queue();
        memset(&g_dev_info, 0, sizeof g_dev_info);
        memset(app_domain_info, 0, sizeof app_domain_info);
        agenttest::set_capable_device();
        g_calls.clear();
    }
    void TearDown() override { agenttest::drain_plugin_queue(); }
    gwtest::LogCapture log;
};

std::string expected_wrap(int id, const std::string &answer)
{
    return "{\"Result\":0,\"ID\":" + std::to_string(id) + ",\"return_Parameter\":\"" + agenttest::b64(answer) + "\"}";
}

}  // namespace

TEST_F(Dispatch, EveryEnvelopeErrorIsDroppedWithoutAnswer)
{
    const std::string good = "{\"CmdType\":\"GET_CLOUD_STATUS\",\"SequenceId\":\"1\"}";
    struct Case {
        const char *what;
        std::string message;
        const char *log_line;
    };
    const Case cases[] = {
        {"no Parameter", "{\"RPCMethod\":\"Post\",\"ID\":1,\"PluginName\":\"p\"}", "get post parameter error "},
        {"Parameter a number", "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":5}", "get post parameter error "},
        {"no ID", "{\"RPCMethod\":\"Post\",\"Parameter\":\"" + agenttest::b64(good) + "\"}", "get post id error "},
        {"ID as text", "{\"RPCMethod\":\"Post\",\"ID\":\"1\",\"Parameter\":\"" + agenttest::b64(good) + "\"}",
         "get post id error "},
        {"ID a real", "{\"RPCMethod\":\"Post\",\"ID\":1.5,\"Parameter\":\"" + agenttest::b64(good) + "\"}",
         "get post id error "},
        {"bad base64", "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"e@J!\"}", "not valid base64"},
        {"not JSON", "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"" + agenttest::b64("{\"CmdType\":") + "\"}",
         "Post Parameter is not valid json format"},
        {"JSON array", "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"" + agenttest::b64("[1,2]") + "\"}",
         "Post Parameter is not valid json format"},
        {"no CmdType",
         "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"" + agenttest::b64("{\"SequenceId\":\"1\"}") + "\"}",
         "get CmdType error"},
        {"CmdType a number",
         "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"" + agenttest::b64("{\"CmdType\":3,\"SequenceId\":\"1\"}") +
             "\"}",
         "get CmdType error"},
        {"no SequenceId",
         "{\"RPCMethod\":\"Post\",\"ID\":1,\"Parameter\":\"" + agenttest::b64("{\"CmdType\":\"GET_CLOUD_STATUS\"}") +
             "\"}",
         "get SequenceId error"},
        {"unknown RPCMethod", "{\"RPCMethod\":\"Inform\",\"ID\":1,\"Parameter\":\"" + agenttest::b64(good) + "\"}",
         "handle rpc Inform(-1)"},
        {"no RPCMethod", "{\"ID\":1,\"Parameter\":\"" + agenttest::b64(good) + "\"}", "handle rpc (null)(-1)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        log.clear();
        auto msg = agenttest::parse(c.message);
        ASSERT_TRUE(msg);
        EXPECT_EQ(agenttest::dispatch(msg.get()), -1);
        EXPECT_TRUE(drain_answers().empty());
        EXPECT_TRUE(log.contains(c.log_line)) << c.log_line;
    }
}

// Commands answered by the dispatcher itself: each one answer, byte for byte, and no handler run.
TEST_F(Dispatch, RefusalsAndCutsAreAnsweredByteForByte)
{
    struct Case {
        const char *what;
        bool fake_tables;
        bool usb;
        const char *method;
        const char *plugin;
        std::string command;
        int result;
        std::string answer;
    };
    // clang-format off
    const Case cases[] = {
        {"CmdType differing from a row only in letter case", false, true, "Post", "ZEP", R"({"CmdType":"get_cloud_status","SequenceId":"abc"})", 0,
         R"({"CmdType":"get_cloud_status","SequenceId":"abc","Status":"1","FailReason":"Invalid_CmdType"})"},
        {"SequenceId cut to eight characters", false, true, "Post", "ZEP", R"({"CmdType":"GET_CLOUD_STATUS","SequenceId":"123456789012"})", 0,
         R"({"CmdType":"GET_CLOUD_STATUS","SequenceId":"12345678","Status":"0","CloudStatus":"Heartbeated"})"},
        {"quotes in CmdType and SequenceId", false, true, "Post", "ZEP", R"({"CmdType":"A\"B\\","SequenceId":"x\"y"})", 0,
         R"({"CmdType":"A\"B\\","SequenceId":"x\"y","Status":"1","FailReason":"Invalid_CmdType"})"},
        // Seven digits and a two-byte character: the cut at 8 bytes would split it.
        {"cut inside a character", false, true, "Post", "ZEP", "{\"CmdType\":\"NOPE\",\"SequenceId\":\"1234567\xc3\xa9\"}", 0,
         R"({"CmdType":"NOPE","SequenceId":"1234567","Status":"1","FailReason":"Invalid_CmdType"})"},
        {"right 1", true, true, "Post", "ZEP", R"({"CmdType":"ZZ_FORBIDDEN","SequenceId":"q"})", 0,
         R"({"CmdType":"ZZ_FORBIDDEN","SequenceId":"q","Status":"1","FailReason":"No_Right_Execute"})"},
        {"storage without USB, known", true, false, "SetPluginParameterValues", "NAS", R"({"CmdType":"COPY","SequenceId":"7"})", 0,
         R"({"CmdType":"COPY","SequenceId":"7","Status":"1","FailReason":"NOT_SUPPORT_USB"})"},
        {"storage without USB, unknown", true, false, "SetPluginParameterValues", "NAS", R"({"CmdType":"FORMAT","SequenceId":"7"})", 0,
         R"({"CmdType":"FORMAT","SequenceId":"7","Status":"1","FailReason":"Invalid_CmdType"})"},
        // The storage path keeps the right check.
        {"storage right 1", true, true, "SetPluginParameterValues", "NAS", R"({"CmdType":"RENAME","SequenceId":"7"})", 0,
         R"({"CmdType":"RENAME","SequenceId":"7","Status":"1","FailReason":"No_Right_Execute"})"},
    };
    // clang-format on
    app_domain_info[DOMAIN_DISTR].status = DOMAIN_STATUS_HEARTBEAT;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<gwagent::ScopedCmdTables> tables;
        if (c.fake_tables)
            tables = std::make_unique<gwagent::ScopedCmdTables>(kFakeTables);
        g_dev_info.DevUSB = c.usb ? 1 : 0;
        EXPECT_EQ(dispatch_command(9, c.command, c.method, c.plugin), c.result);
        const auto answers = drain_answers();
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0], c.answer);
    }
    EXPECT_TRUE(g_calls.empty());
    EXPECT_TRUE(log.contains("Permission denied, command ZZ_FORBIDDEN"));
    EXPECT_TRUE(log.contains("Device not support usb."));
}

TEST_F(Dispatch, RequestIdIsRecordedAndEchoedInTheWrap)
{
    EXPECT_EQ(dispatch_command(-2147483647, "{\"CmdType\":\"get_cloud_status\",\"SequenceId\":\"abc\"}"), 0);
    EXPECT_EQ(app_domain_info[DOMAIN_PLUGIN].cmd_id, -2147483647);
    const auto wraps = agenttest::drain_plugin_queue();
    ASSERT_EQ(wraps.size(), 1u);
    EXPECT_EQ(wraps[0], expected_wrap(-2147483647, "{\"CmdType\":\"get_cloud_status\",\"SequenceId\":\"abc\","
                                                   "\"Status\":\"1\",\"FailReason\":\"Invalid_CmdType\"}"));
}

TEST_F(Dispatch, CapabilityRulesRefuseBeforeTheHandlerInTheirOrder)
{
    gwagent::ScopedCmdTables tables(kFakeTables);
    g_dev_info.DevWiFi = 0;
    g_dev_info.POTSNum = 0;
    g_dev_info.DevType = 12;
    struct Case {
        const char *cmd;
        int result;
        const char *reason;
        const char *log_line;
    };
    const Case cases[] = {
        {"GET_GUEST_SSID", -1, "NOT_SUPPORT_WIFI", "Device not support WiFi."},
        {"SET_WMM_SWITCH", -1, "NOT_SUPPORT_WIFI", "Device not support WiFi."},
        // WiFi is checked before voice.
        {"SET_WIFI_VOIP", -1, "NOT_SUPPORT_WIFI", "Device not support WiFi."},
        {"GET_VOIP_STATUS", -2, "NOT_SUPPORT_VOIP", "Device not support voip."},
        {"FTTO_MASTER_NTI_GET", -3, "API_ONLY_SUPPORT_FTTO_MasterDev", "JSON API only support FTTO master device."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.cmd);
        log.clear();
        EXPECT_EQ(dispatch_command(5, std::string("{\"CmdType\":\"") + c.cmd + "\",\"SequenceId\":\"s\"}"), c.result);
        const auto answers = drain_answers();
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0], std::string("{\"CmdType\":\"") + c.cmd +
                                  "\",\"SequenceId\":\"s\",\"Status\":\"1\",\"FailReason\":\"" + c.reason + "\"}");
        EXPECT_TRUE(log.contains(c.log_line));
    }
    EXPECT_TRUE(g_calls.empty());

    // Commands without those words still run on the same device.
    for (const char *cmd : {"QUERY_CPU_INFO", "FTTO_DEV_NTI_GET"}) {
        EXPECT_EQ(dispatch_command(6, std::string("{\"CmdType\":\"") + cmd + "\",\"SequenceId\":\"s\"}"), 42);
        EXPECT_EQ(drain_answers().size(), 1u);
    }
    ASSERT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(g_calls[0].cmd, "QUERY_CPU_INFO");
    EXPECT_EQ(g_calls[1].cmd, "FTTO_DEV_NTI_GET");
}

TEST_F(Dispatch, CapableDeviceRunsTheHandlerWithTheEnvelope)
{
    gwagent::ScopedCmdTables tables(kFakeTables);
    EXPECT_EQ(dispatch_command(11, "{\"CmdType\":\"FTTO_MASTER_NTI_GET\",\"SequenceId\":\"987654321\"}"), 42);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].id, 11);
    EXPECT_EQ(g_calls[0].seq, "98765432");
    EXPECT_EQ(g_calls[0].cmd, "FTTO_MASTER_NTI_GET");
    EXPECT_EQ(g_calls[0].fd, -1);
    EXPECT_EQ(drain_answers().size(), 1u);
}

TEST_F(Dispatch, StoragePathNeedsPluginNameNasExactly)
{
    gwagent::ScopedCmdTables tables(kFakeTables);
    const std::string cmd = "{\"CmdType\":\"LIST\",\"SequenceId\":\"1\"}";
    EXPECT_EQ(dispatch_command(1, cmd, "SetPluginParameterValues", "nas"), -1);
    EXPECT_TRUE(log.contains("storage rpc : PluginName is not NAS."));
    auto no_name = agenttest::parse("{\"RPCMethod\":\"SetPluginParameterValues\",\"ID\":1,\"Parameter\":\"" +
                                    agenttest::b64(cmd) + "\"}");
    EXPECT_EQ(agenttest::dispatch(no_name.get()), -1);
    EXPECT_TRUE(log.contains("get post PluginName error."));
    auto no_id =
        agenttest::parse("{\"RPCMethod\":\"SetPluginParameterValues\",\"PluginName\":\"NAS\",\"Parameter\":\"" +
                         agenttest::b64(cmd) + "\"}");
    EXPECT_EQ(agenttest::dispatch(no_id.get()), -1);
    EXPECT_TRUE(log.contains("get rpc id error"));
    EXPECT_TRUE(drain_answers().empty());
    EXPECT_TRUE(g_calls.empty());

    EXPECT_EQ(dispatch_command(1, cmd, "SetPluginParameterValues", "NAS"), 42);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(drain_answers().size(), 1u);
    // A device without WLAN still runs a storage command that names it.
    g_dev_info.DevWiFi = 0;
    EXPECT_EQ(
        dispatch_command(4, "{\"CmdType\":\"LIST_WIFI\",\"SequenceId\":\"7\"}", "SetPluginParameterValues", "NAS"), 42);
    EXPECT_EQ(g_calls.size(), 2u);
    EXPECT_EQ(drain_answers().size(), 1u);
}

TEST(SendCmdResp, WrapsTheAnswerInBase64ByteForByte)
{
    gwagent_queues_init();
    agenttest::drain_plugin_queue();
    EXPECT_EQ(send_cmd_resp("{\"a\":1}", 3, -1), 0);
    const auto wraps = agenttest::drain_plugin_queue();
    ASSERT_EQ(wraps.size(), 1u);
    EXPECT_EQ(wraps[0], "{\"Result\":0,\"ID\":3,\"return_Parameter\":\"eyJhIjoxfQ==\"}");
}

TEST(SendCmdResp, NonJsonAnswerIsRefused)
{
    gwagent_queues_init();
    agenttest::drain_plugin_queue();
    gwtest::LogCapture log;
    EXPECT_EQ(send_cmd_resp("{\"CmdType\":\"X\",\"Name\":\"a\"b\"}", 1, -1), -1);
    EXPECT_EQ(send_cmd_resp("", 1, -1), -1);
    EXPECT_EQ(send_cmd_resp(nullptr, 1, -1), -1);
    EXPECT_TRUE(log.contains("is not json format."));
    EXPECT_EQ(fifo_buffer_get_num(&socket_plug_tx_header), 0);
}

TEST(SendCmdResp, EleventhAnswerIsDropped)
{
    gwagent_queues_init();
    agenttest::drain_plugin_queue();
    gwtest::LogCapture log;
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(send_cmd_resp("{}", i, -1), 0);
    EXPECT_EQ(send_cmd_resp("{\"late\":1}", 10, -1), -1);
    EXPECT_TRUE(log.contains("Failed to write to remote"));
    const auto wraps = agenttest::drain_plugin_queue();
    ASSERT_EQ(wraps.size(), 10u);
    EXPECT_EQ(wraps.front(), "{\"Result\":0,\"ID\":0,\"return_Parameter\":\"e30=\"}");
    EXPECT_EQ(wraps.back(), "{\"Result\":0,\"ID\":9,\"return_Parameter\":\"e30=\"}");
}

TEST(SendCmdResp, AnswerLongerThanTheBase64AreaIsRefused)
{
    gwagent_queues_init();
    agenttest::drain_plugin_queue();
    // {"k":"xxx..."} of exactly the limit, then one byte more.
    const std::string fits = "{\"k\":\"" + std::string(CMD_RESP_MAX - 8, 'x') + "\"}";
    ASSERT_EQ(fits.size(), static_cast<size_t>(CMD_RESP_MAX));
    const std::string too_long = "{\"k\":\"" + std::string(CMD_RESP_MAX - 7, 'x') + "\"}";
    EXPECT_EQ(send_cmd_resp(fits.c_str(), 1, -1), 0);
    EXPECT_EQ(send_cmd_resp(too_long.c_str(), 2, -1), -1);
    const auto answers = drain_answers();
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(answers[0], fits);
}
