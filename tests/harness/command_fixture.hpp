// A fixture for command tests: the simulator reset to its default profile, an empty plugin queue, a
// capable device, a fresh run-time root and captured log lines.
#ifndef TESTS_AGENT_COMMAND_FIXTURE_HPP
#define TESTS_AGENT_COMMAND_FIXTURE_HPP

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "commands/cmd_system_timers.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "platform/records.h"

namespace agenttest {

class CommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.ready());
        gwagent_queues_init();
        drain_plugin_queue();
        memset(&g_dev_info, 0, sizeof g_dev_info);
        memset(app_domain_info, 0, sizeof app_domain_info);
        set_capable_device();
    }
    void TearDown() override
    {
        drain_plugin_queue();
        uloop_timeout_cancel(&g_timeout_syslog);
        uloop_timeout_cancel(&g_timeout_reboot);
        uloop_timeout_cancel(&g_timeout_restore);
        g_logLevel = 7;
    }
    // Runs one command and returns its only answer.
    std::string run(const std::string &command)
    {
        dispatch_command(21, command);
        const auto answers = drain_answers();
        EXPECT_EQ(answers.size(), 1u) << command;
        return answers.empty() ? std::string() : answers[0];
    }
    // The answer of a command without parameters.
    std::string run_plain(const std::string &cmd_type)
    {
        return run(R"({"CmdType":")" + cmd_type + R"(","SequenceId":"1"})");
    }
    static std::string head(const std::string &cmd_type, const char *status = "0")
    {
        return R"({"CmdType":")" + cmd_type + R"(","SequenceId":"1","Status":")" + status + "\"";
    }
    static std::string failure(const std::string &cmd_type, const std::string &reason)
    {
        return head(cmd_type, "1") + R"(,"FailReason":")" + reason + "\"}";
    }
    gwtest::Igd1Sim &sim = gwtest::Igd1Sim::fresh();
    gwtest::TempRoot root;
    gwtest::LogCapture log;
};

}  // namespace agenttest

#endif
