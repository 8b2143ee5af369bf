// Commands given as steps: one command and its only answer, played in order so later steps see what
// earlier ones wrote.
#ifndef TESTS_AGENT_COMMAND_STEPS_HPP
#define TESTS_AGENT_COMMAND_STEPS_HPP

#include <string>
#include <vector>

#include "command_fixture.hpp"

namespace agenttest {

struct Step {
    std::string command;
    std::string answer;
};

// {"CmdType":type,"SequenceId":"1",params}
inline std::string cmd(const std::string &type, const std::string &params = "")
{
    return R"({"CmdType":")" + type + R"(","SequenceId":"1")" + (params.empty() ? "" : "," + params) + "}";
}
// The success answer with its members.
inline std::string ok(const std::string &type, const std::string &members = "")
{
    return R"({"CmdType":")" + type + R"(","SequenceId":"1","Status":"0")" + (members.empty() ? "" : "," + members) +
           "}";
}
inline std::string fail(const std::string &type, const std::string &reason)
{
    return R"({"CmdType":")" + type + R"(","SequenceId":"1","Status":"1","FailReason":")" + reason + "\"}";
}

// A command test on one simulator profile.
class StepTest : public CommandTest {
protected:
    explicit StepTest(const char *profile) : profile_(profile) {}
    void SetUp() override
    {
        CommandTest::SetUp();
        sim.load_profile(profile_);
    }
    void play(const std::vector<Step> &steps)
    {
        for (const Step &s : steps)
            EXPECT_EQ(run(s.command), s.answer) << s.command;
    }

private:
    const char *profile_;
};

}  // namespace agenttest

#endif
