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

TEST(StringAccessor, CopiesAndCutsStrings)
{
    auto j = agenttest::parse(kRequest);
    char buf[5] = {};
    EXPECT_EQ(get_string_json_value(j.get(), "Name", JSON_STRING, buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "abcd");
}

TEST(StringAccessor, NullLeavesTheDefaultMissingAndMistypedFail)
{
    auto j = agenttest::parse(kRequest);
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

TEST(ValueAccessor, ReturnCodesTellTextFromOtherTypes)
{
    auto j = agenttest::parse(kRequest);
    gwtest::LogCapture log;
    int v = 77;
    EXPECT_EQ(get_json_value(j.get(), "Missing", JSON_INTEGER, &v), -1);
    EXPECT_EQ(get_json_value(j.get(), "Index", JSON_INTEGER, &v), -2);
    EXPECT_TRUE(log.contains("Index : JSON type 2 invalid, should be 3"));
    EXPECT_EQ(get_json_value(j.get(), "Ratio", JSON_INTEGER, &v), -3);
    EXPECT_EQ(get_json_value(j.get(), "Gone", JSON_INTEGER, &v), -3);
    EXPECT_EQ(get_json_value(j.get(), "Off", JSON_TRUE, &v), -3);
    EXPECT_EQ(v, 77);
}

TEST(ValueAccessor, StoresIntegersRealsAndBooleans)
{
    auto j = agenttest::parse(kRequest);
    int v = 0;
    EXPECT_EQ(get_json_value(j.get(), "Count", JSON_INTEGER, &v), 0);
    EXPECT_EQ(v, 3);
    EXPECT_EQ(get_json_value(j.get(), "Neg", JSON_INTEGER, &v), 0);
    EXPECT_EQ(v, -5);
    // Only the low 32 bits are kept.
    EXPECT_EQ(get_json_value(j.get(), "Big", JSON_INTEGER, &v), 0);
    EXPECT_EQ(v, 1);
    double d = 0;
    EXPECT_EQ(get_json_value(j.get(), "Ratio", JSON_REAL, &d), 0);
    EXPECT_DOUBLE_EQ(d, 0.25);
    EXPECT_EQ(get_json_value(j.get(), "On", JSON_TRUE, &v), 0);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(get_json_value(j.get(), "Off", JSON_FALSE, &v), 0);
    EXPECT_EQ(v, 0);
    gwtest::LogCapture log;
    v = 9;
    EXPECT_EQ(get_json_value(j.get(), "List", JSON_ARRAY, &v), 0);
    EXPECT_EQ(v, 9);
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
