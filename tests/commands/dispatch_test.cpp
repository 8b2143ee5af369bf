// The command framework: parameter accessors and answer builders, the request object, the command
// tables, and the envelope and dispatch fed through handle_server_rpc_message with the answers read
// back from the plugin server's queue.

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "commands/cmd_json.h"
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwtest.hpp"
#include "platform/records.h"

// Parameter accessors and answer builders: return codes, cuts, byte-exact answers.
namespace accessors {

namespace {

const char *kRequest =
    "{\"Name\":\"abcdefghij\",\"Index\":\"3\",\"Count\":3,\"Big\":4294967297,\"Neg\":-5,\"Ratio\":0.25,"
    "\"On\":true,\"Off\":false,\"Gone\":null,\"List\":[1]}";

}  // namespace

TEST(StringAccessor, CopiesAndCutsStringsNullLeavesTheDefaultMissingAndMistypedFail)
{
    auto j = agenttest::parse(kRequest);
    char cut[5] = {};
    EXPECT_EQ(get_string_json_value(j.get(), "Name", JSON_STRING, cut, sizeof cut), 0);
    EXPECT_STREQ(cut, "abcd");
    gwtest::LogCapture log;
    char buf[16] = "default";
    EXPECT_EQ(get_string_json_value(j.get(), "Gone", JSON_STRING, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "default");
    EXPECT_EQ(get_string_json_value(j.get(), "Missing", JSON_STRING, buf, sizeof buf), -1);
    EXPECT_EQ(get_string_json_value(j.get(), "Count", JSON_STRING, buf, sizeof buf), -1);
    EXPECT_TRUE(log.contains("invalid JSON type (3) for Count, should be 2"));
    EXPECT_STREQ(buf, "default");
    // A matching non-string type is accepted but nothing is copied.
    EXPECT_EQ(get_string_json_value(j.get(), "List", JSON_ARRAY, buf, sizeof buf), 0);
    EXPECT_TRUE(log.contains("json type is not string."));
    EXPECT_STREQ(buf, "default");
}

// Return codes tell a missing member (-1) and text (-2) from other types (-3); only a success stores,
// and only the low 32 bits of an integer.
TEST(ValueAccessor, ReturnCodesAndStoredValues)
{
    auto j = agenttest::parse(kRequest);
    gwtest::LogCapture log;
    struct Case {
        const char *key;
        json_type type;
        int rc;
        int value;
    };
    const Case cases[] = {
        {"Missing", JSON_INTEGER, -1, 77}, {"Index", JSON_INTEGER, -2, 77}, {"Ratio", JSON_INTEGER, -3, 77},
        {"Gone", JSON_INTEGER, -3, 77},    {"Off", JSON_TRUE, -3, 77},      {"Count", JSON_INTEGER, 0, 3},
        {"Neg", JSON_INTEGER, 0, -5},      {"Big", JSON_INTEGER, 0, 1},     {"On", JSON_TRUE, 0, 1},
        {"Off", JSON_FALSE, 0, 0},         {"List", JSON_ARRAY, 0, 77},
    };
    for (const Case &c : cases) {
        int v = 77;
        EXPECT_EQ(get_json_value(j.get(), c.key, c.type, &v), c.rc) << c.key;
        EXPECT_EQ(v, c.value) << c.key;
    }
    double d = 0;
    EXPECT_EQ(get_json_value(j.get(), "Ratio", JSON_REAL, &d), 0);
    EXPECT_DOUBLE_EQ(d, 0.25);
    EXPECT_TRUE(log.contains("Index : JSON type 2 invalid, should be 3"));
    EXPECT_TRUE(log.contains("not supported json type : 1"));
}

TEST(AnswerBuilder, FailureCarriesFailReasonSuccessDoesNot)
{
    gwagent::CharPtr fail(build_error_json("SET_ONT_NAME", "00000001", 1, "SET_FAILED"));
    ASSERT_TRUE(fail);
    EXPECT_STREQ(
        fail.get(),
        "{\"CmdType\":\"SET_ONT_NAME\",\"SequenceId\":\"00000001\",\"Status\":\"1\",\"FailReason\":\"SET_FAILED\"}");
    gwagent::CharPtr ok(build_error_json("SET_ONT_NAME", "00000001", 0, "ignored"));
    ASSERT_TRUE(ok);
    EXPECT_STREQ(ok.get(), "{\"CmdType\":\"SET_ONT_NAME\",\"SequenceId\":\"00000001\",\"Status\":\"0\"}");
}

TEST(AnswerBuilder, HeadKeepsMemberOrderWhenExtended)
{
    gwagent::JsonPtr head(build_json_head("GET_X", "s", 0));
    ASSERT_TRUE(head);
    json_object_set_new(head.get(), "Zeta", json_string("1"));
    json_object_set_new(head.get(), "Alpha", json_integer(2));
    gwagent::CharPtr text(gw_json_dump_compact(head.get()));
    EXPECT_STREQ(text.get(),
                 "{\"CmdType\":\"GET_X\",\"SequenceId\":\"s\",\"Status\":\"0\",\"Zeta\":\"1\",\"Alpha\":2}");
    ucf_json_decref(nullptr);
}

TEST(AnswerBuilder, InvalidUtf8GivesNullNotABrokenText)
{
    EXPECT_EQ(build_error_json("GET_\xff", "1", 1, "x"), nullptr);
    EXPECT_EQ(build_json_head("GET", "\xc3", 0), nullptr);
}

}  // namespace accessors

// The request object every handler answers through: parameter reading and the result words.
namespace request {

using agenttest::drain_answers;
using agenttest::parse;

struct RequestTest : ::testing::Test {
    void SetUp() override
    {
        gwagent_queues_init();
        agenttest::drain_plugin_queue();
    }
    std::string only_answer()
    {
        const auto answers = drain_answers();
        EXPECT_EQ(answers.size(), 1u);
        return answers.empty() ? std::string() : answers[0];
    }
};

TEST_F(RequestTest, ParametersKeepTheirTypeCutTheirTextAndNullKeepsTheDefault)
{
    auto cmd = parse(R"({"Name":"abcdefgh","Index":"3","Port":7,"Empty":null,"Neg":-4})");
    gwagent::Request r{5, "9", "X", cmd.get(), -1};
    char name[5] = {};
    EXPECT_TRUE(r.required("Name", name));
    EXPECT_STREQ(name, "abcd");
    int n = 11;
    EXPECT_FALSE(r.required_int("Index", n)) << "a number sent as text is a parameter failure";
    EXPECT_EQ(n, 11);
    EXPECT_FALSE(r.required_int("Missing", n));
    EXPECT_TRUE(r.required_int("Port", n));
    EXPECT_EQ(n, 7);
    EXPECT_TRUE(r.optional_int("Neg", n));
    EXPECT_EQ(n, -4);
    EXPECT_TRUE(r.optional_int("Absent", n));
    EXPECT_TRUE(r.optional_int("Empty", n));
    EXPECT_EQ(n, -4);
    char keep[8] = "dflt";
    EXPECT_TRUE(r.optional("Empty", keep, 7));
    EXPECT_TRUE(r.optional("Absent", keep, 7));
    EXPECT_STREQ(keep, "dflt");
    EXPECT_FALSE(r.optional("Port", keep, 7)) << "present with the wrong type";
}

TEST_F(RequestTest, LibraryResultsMapToTheirWords)
{
    const struct {
        int rc;
        const char *answer;
    } rows[] = {
        {0, R"({"CmdType":"SET_X","SequenceId":"12345678","Status":"0"})"},
        {-1, R"({"CmdType":"SET_X","SequenceId":"12345678","Status":"1","FailReason":"CAPI return fail!"})"},
        {-10, R"({"CmdType":"SET_X","SequenceId":"12345678","Status":"1","FailReason":"Parse input params fail!"})"},
        {-2, R"({"CmdType":"SET_X","SequenceId":"12345678","Status":"1","FailReason":"undefine"})"},
        {3, R"({"CmdType":"SET_X","SequenceId":"12345678","Status":"1","FailReason":"undefine"})"},
    };
    for (const auto &row : rows) {
        gwagent::Request r{1, "12345678", "SET_X", nullptr, -1};
        EXPECT_EQ(r.capi_result(row.rc), 0);
        EXPECT_EQ(only_answer(), row.answer) << row.rc;
    }
}

TEST_F(RequestTest, MembersAndMethodOutcomesAnswerOnce)
{
    gwagent::Request r{1, "7", "GET_Y", nullptr, -1};
    r.members({{"Name", "a\"b"}, {"Port", "3"}});
    EXPECT_EQ(only_answer(), R"({"CmdType":"GET_Y","SequenceId":"7","Status":"0","Name":"a\"b","Port":"3"})");
    r.method_result("Do", -1, 0, nullptr);
    EXPECT_EQ(only_answer(), R"({"CmdType":"GET_Y","SequenceId":"7","Status":"1","FailReason":"callMethod_failed"})");
    r.method_result("Do", 0, 4, "busy");
    EXPECT_EQ(only_answer(), R"({"CmdType":"GET_Y","SequenceId":"7","Status":"1","FailReason":"busy"})");
    r.method_result("Do", 0, 4, "");
    EXPECT_EQ(only_answer(), R"({"CmdType":"GET_Y","SequenceId":"7","Status":"1","FailReason":"callMethod_failed"})");
}

}  // namespace request

// The built command tables against the platform's full command list: every command has a row, in
// byte-wise order, with a handler and without the forbidding right; lookups find exactly those rows.
namespace tables {

namespace {

// Every CmdType of the platform, in table order (upper case sorts before lower case).
// clang-format off
const char *const kAllCommands[] = {
    "CHECK_HARDWARE_START", "CHECK_HARDWARE_STATUS", "DEL_L3_FORWARDING_IPV4_CONFIG_INFO",
    "DEL_L3_FORWARDING_IPV6_CONFIG_INFO", "DEL_PortMapping_CONFIG", "DEL_TRAFFIC_QOS_CLASSIFICATION",
    "DEL_URL_CTRL_TEMPLATE", "DEL_VPN_IPSEC", "DEL_VPN_IPSEC_LOCALSUBNETS", "DEL_VPN_IPSEC_REMOTESUBNETS",
    "DEL_VPN_L2TP_CLIENT", "DEL_VPN_L2TP_CLIENT_REMOTESUBNETS", "DEL_VPN_L2TP_SERVER_ACCOUNT", "DEL_VPN_VXLAN",
    "DEL_WMM_SERVICE_IPSET", "DEVICE_SPEED", "FTTO_DEV_NTI_GET", "FTTO_MASTER_LAN_PONINFO_GET", "FTTO_MASTER_NTI_GET",
    "GET_ATTACH_DEVICE_BANDWIDTH", "GET_ATTACH_DEVICE_BANDWIDTH_EX", "GET_ATTACH_DEVICE_RIGHT", "GET_ATTCH_NAME",
    "GET_ATTCH_URL_CTRL", "GET_CLOUD_STATUS", "GET_DEVICE_SPEED", "GET_DEV_WIFI_INFO", "GET_GUEST_SSID",
    "GET_HG_SYSTEM_INFO", "GET_HG_WIFI_TIMER", "GET_L3_FORWARDING_IPV4_CONFIG_INFO",
    "GET_L3_FORWARDING_IPV6_CONFIG_INFO", "GET_LAN_DEVICE_ACCESS", "GET_LAN_HISTORY_TRAFFIC", "GET_LAN_HOST_INFO",
    "GET_LAN_NET_INFO_EX", "GET_LAN_PARAMETER", "GET_LAN_SPEED", "GET_LAN_STATUS", "GET_LAN_TRAFFIC",
    "GET_LED_STATUS", "GET_ONT_NAME", "GET_PONINFORM_REQ", "GET_PON_HISTORY_TRAFFIC", "GET_PON_STATUS",
    "GET_PON_TRAFFIC", "GET_PPPOE_ACCOUNT", "GET_PRECONFIG_INFO", "GET_PortMapping_LIST", "GET_SERVICE",
    "GET_SLEEP_MODE", "GET_STA_TRAFFIC", "GET_TRAFFIC_QOS_CLASSIFICATION", "GET_TRAFFIC_QOS_FLOW",
    "GET_URL_CTRL_TEMPLATE", "GET_URL_CTRL_TEMPLATES_LIST", "GET_VOICE_INFO", "GET_VOIP_STATUS", "GET_VPN",
    "GET_VPN_IPSEC", "GET_VPN_IPSEC_LOCALSUBNETS", "GET_VPN_IPSEC_REMOTESUBNETS", "GET_VPN_IPSec_HISTORY_TRAFFIC",
    "GET_VPN_IPSec_TRAFFIC", "GET_VPN_L2TP", "GET_VPN_L2TP_CLIENT", "GET_VPN_L2TP_CLIENT_REMOTESUBNETS",
    "GET_VPN_L2TP_HISTORY_TRAFFIC", "GET_VPN_L2TP_SERVER", "GET_VPN_L2TP_SERVER_ACCOUNT", "GET_VPN_L2TP_TRAFFIC",
    "GET_VPN_STATUC_TRAFFIC", "GET_VPN_VXLAN", "GET_VPN_VxLAN_HISTORY_TRAFFIC", "GET_VPN_VxLAN_TRAFFIC",
    "GET_WIFI_ADV", "GET_WIFI_HIDE", "GET_WIFI_INFO", "GET_WLAN_INTF_INFO", "GET_WMM_IPSET_INFO", "GET_ZEP_LOG",
    "Get_Log", "HG_COMMAND_REBOOT", "HG_LOCAL_RECOVERY", "HTTP_SPEED_TEST_OVER_TESTSERVER", "LAN_DEVICE_ACCESS",
    "OXA_APP_GETSTATUS", "OXA_APP_INSTALL", "OXA_APP_INST_QUERY", "OXA_APP_LIST", "OXA_APP_OPERATE",
    "OXA_APP_UPGRADE", "OXA_ZEP_RESTORE", "OXA_ZEP_UPGRADE", "PPPOE_DIAG_REQ_BY_WAN", "QUERY_CPU_INFO",
    "QUERY_MEM_INFO", "QUERY_SPEEDTEST_STAT_OVER_TESTSERVER", "QUERY_WAN_INFO", "QUERY_WAN_NUM", "REGISTER",
    "REGISTER_GETSTAT", "SET_ATTACH_DEVICE_BANDWIDTH", "SET_ATTACH_DEVICE_BANDWIDTH_EX", "SET_ATTACH_DEVICE_RIGHT",
    "SET_ATTACH_SPEEDUP", "SET_ATTCH_NAME", "SET_ATTCH_URL_CTR", "SET_GUEST_SSID", "SET_HG_WIFI_TIMER",
    "SET_L3_FORWARDING_IPV4_CONFIG_INFO", "SET_L3_FORWARDING_IPV6_CONFIG_INFO", "SET_LAN_PARAMETER", "SET_LAN_SPEED",
    "SET_LED_STATUS", "SET_LOG_LEVEL", "SET_ONT_NAME", "SET_PPPOE_ACCOUNT", "SET_PortMapping_CONFIG",
    "SET_SLEEP_MODE", "SET_TRAFFIC_QOS_CLASSIFICATION", "SET_TRAFFIC_QOS_FLOW", "SET_URL_CTRL_TEMPLATE", "SET_VPN",
    "SET_VPN_IPSEC", "SET_VPN_IPSEC_LOCALSUBNETS", "SET_VPN_IPSEC_REMOTESUBNETS", "SET_VPN_L2TP",
    "SET_VPN_L2TP_CLIENT", "SET_VPN_L2TP_CLIENT_REMOTESUBNETS", "SET_VPN_L2TP_SERVER", "SET_VPN_L2TP_SERVER_ACCOUNT",
    "SET_VPN_VXLAN", "SET_WIFI_ADV", "SET_WIFI_HIDE", "SET_WIFI_INFO", "SET_WLAN_SSID_DISABLE",
    "SET_WLAN_SSID_ENABLE", "SET_WMM_SERVICE_IPSET", "SET_WMM_SWITCH", "Start_BootRegister", "VPN_STATUC_TRAFFIC",
};
// clang-format on

const char *const kAllStorage[] = {"COPY", "CREATE_FOLDER", "GET_DISC_INF", "GET_FILE_NUM",
                                   "LIST", "MOVE",          "REMOVE",       "RENAME"};

template <size_t N>
void expect_table_is(const cmd_entry *table, size_t count, const char *const (&all)[N], int (*lookup)(const char *))
{
    ASSERT_EQ(count, N);
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(all[i]);
        EXPECT_STREQ(table[i].CmdType, all[i]);
        EXPECT_NE(table[i].right, CMD_RIGHT_FORBIDDEN);
        EXPECT_NE(table[i].handler, nullptr);
        EXPECT_EQ(lookup(all[i]), static_cast<int>(i));
    }
}

}  // namespace

TEST(CmdTable, BothTablesAreTheFullListsInOrderRunnableAndFoundByLookup)
{
    expect_table_is(g_cmd_array, g_cmd_array_num, kAllCommands, gwagent_get_cmdidx);
    expect_table_is(g_cmd_nas, g_cmd_nas_num, kAllStorage, gwagent_get_cmdNas);
    for (const char *miss : {"", "A", "get_ont_name", "GET_ONT_NAM", "GET_ONT_NAME ", "zzz", "Get_log", "COPY"})
        EXPECT_EQ(gwagent_get_cmdidx(miss), -1) << miss;
    EXPECT_EQ(gwagent_get_cmdNas("LIST_WIFI"), -1);
    EXPECT_EQ(gwagent_get_cmdidx(nullptr), -1);
    EXPECT_EQ(gwagent_find_cmd(g_cmd_array, 1, "CHECK_HARDWARE_START"), 0);
    EXPECT_EQ(gwagent_find_cmd(g_cmd_array, 0, "CHECK_HARDWARE_START"), -1);
}

}  // namespace tables

// The command envelope and dispatch, fed through handle_server_rpc_message; answers read back from
// the plugin server's queue.
namespace dispatch {

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
    const std::string good = R"({"CmdType":"GET_CLOUD_STATUS","SequenceId":"1"})";
    // A Post message with the given members before the base64 of parameter.
    const auto post = [](const std::string &members, const std::string &parameter) {
        return R"({"RPCMethod":"Post",)" + members + R"("Parameter":")" + agenttest::b64(parameter) + "\"}";
    };
    struct Case {
        const char *what;
        std::string message;
        const char *log_line;
    };
    // clang-format off
    const Case cases[] = {
        {"no Parameter", R"({"RPCMethod":"Post","ID":1,"PluginName":"p"})", "get post parameter error "},
        {"Parameter a number", R"({"RPCMethod":"Post","ID":1,"Parameter":5})", "get post parameter error "},
        {"no ID", post("", good), "get post id error "},
        {"ID as text", post(R"("ID":"1",)", good), "get post id error "},
        {"ID a real", post(R"("ID":1.5,)", good), "get post id error "},
        {"bad base64", R"({"RPCMethod":"Post","ID":1,"Parameter":"e@J!"})", "not valid base64"},
        {"not JSON", post(R"("ID":1,)", R"({"CmdType":)"), "Post Parameter is not valid json format"},
        {"JSON array", post(R"("ID":1,)", "[1,2]"), "Post Parameter is not valid json format"},
        {"no CmdType", post(R"("ID":1,)", R"({"SequenceId":"1"})"), "get CmdType error"},
        {"CmdType a number", post(R"("ID":1,)", R"({"CmdType":3,"SequenceId":"1"})"), "get CmdType error"},
        {"no SequenceId", post(R"("ID":1,)", R"({"CmdType":"GET_CLOUD_STATUS"})"), "get SequenceId error"},
        {"unknown RPCMethod", R"({"RPCMethod":"Inform","ID":1,"Parameter":")" + agenttest::b64(good) + "\"}", "handle rpc Inform(-1)"},
        {"no RPCMethod", R"({"ID":1,"Parameter":")" + agenttest::b64(good) + "\"}", "handle rpc (null)(-1)"},
    };
    // clang-format on
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

class SendCmdResp : public ::testing::Test {
protected:
    void SetUp() override
    {
        gwagent_queues_init();
        agenttest::drain_plugin_queue();
    }
    gwtest::LogCapture log;
};

TEST_F(SendCmdResp, WrapsTheAnswerInBase64AndRefusesWhatIsNotJsonOrTooLong)
{
    EXPECT_EQ(send_cmd_resp("{\"a\":1}", 3, -1), 0);
    EXPECT_EQ(agenttest::drain_plugin_queue(),
              std::vector<std::string>{"{\"Result\":0,\"ID\":3,\"return_Parameter\":\"eyJhIjoxfQ==\"}"});
    // {"k":"xxx..."} of exactly the limit, then one byte more.
    const std::string fits = "{\"k\":\"" + std::string(CMD_RESP_MAX - 8, 'x') + "\"}";
    ASSERT_EQ(fits.size(), static_cast<size_t>(CMD_RESP_MAX));
    const std::string too_long = "{\"k\":\"" + std::string(CMD_RESP_MAX - 7, 'x') + "\"}";
    EXPECT_EQ(send_cmd_resp(fits.c_str(), 1, -1), 0);
    for (const char *refused : {too_long.c_str(), "{\"CmdType\":\"X\",\"Name\":\"a\"b\"}", "", (const char *)nullptr})
        EXPECT_EQ(send_cmd_resp(refused, 2, -1), -1) << (refused ? refused : "null");
    EXPECT_TRUE(log.contains("is not json format."));
    EXPECT_EQ(drain_answers(), std::vector<std::string>{fits});
}

TEST_F(SendCmdResp, EleventhAnswerIsDropped)
{
    for (int i = 0; i < 10; ++i)
        ASSERT_EQ(send_cmd_resp("{}", i, -1), 0);
    EXPECT_EQ(send_cmd_resp("{\"late\":1}", 10, -1), -1);
    EXPECT_TRUE(log.contains("Failed to write to remote"));
    const auto wraps = agenttest::drain_plugin_queue();
    ASSERT_EQ(wraps.size(), 10u);
    EXPECT_EQ(wraps.front(), "{\"Result\":0,\"ID\":0,\"return_Parameter\":\"e30=\"}");
    EXPECT_EQ(wraps.back(), "{\"Result\":0,\"ID\":9,\"return_Parameter\":\"e30=\"}");
}

}  // namespace dispatch
