// Parameter accessors and answer builders: return codes, cuts, byte-exact answers.
#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "commands/cmd_json.h"
#include "gwtest.hpp"

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
