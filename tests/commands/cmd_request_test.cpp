// The request object every handler answers through: parameter reading and the result words.
#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "commands/cmd_request.h"
#include "core/agent.h"
#include "platform/records.h"

namespace {

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

}  // namespace
