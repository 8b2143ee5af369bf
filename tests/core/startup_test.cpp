// The real gwagent binary in a private root on the private bus: what it leaves in UCI and files,
// its log lines, and its exit on SIGTERM.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "agent_util.hpp"
#include "core/crypto.h"
#include "device_text.hpp"
#include "gwbus/util.h"
#include "gwtest.hpp"
#include "igd1_sim.hpp"

namespace {

using coretest::encrypt_device_text;
using coretest::uci;

using namespace std::chrono_literals;

// One agent process; its log lines go to a file through GW_LOG_STDERR.
class Agent {
public:
    explicit Agent(const gwtest::TempRoot &root) : log_path_(root.path("/hgutmp/agent-stderr.log"))
    {
        const std::string bin = gwtest::build_dir() + "/gwagent/gwagent";
        child_ = gwtest::Child({"/bin/sh", "-c", "exec \"$0\" 2>\"$1\"", bin, log_path_},
                               {{"GW_ROOT", root.dir()},
                                {"GW_LOG_STDERR", "1"},
                                {"DBUS_SYSTEM_BUS_ADDRESS", gwtest::PrivateBus::instance().address()}});
    }
    std::string log() const
    {
        std::ifstream f(log_path_);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    bool log_has(const std::string &needle) const { return log().find(needle) != std::string::npos; }
    // The last start-up step announces the log level; the loop runs after it.
    bool started()
    {
        return gwtest::wait_until([this] { return log_has("change log duration from"); }, 20s);
    }
    gwtest::Child &child() { return child_; }

private:
    std::string log_path_;
    gwtest::Child child_;
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override { gwtest::PrivateBus::instance(); }
    gwtest::TempRoot root;
};

}  // namespace

TEST_F(Startup, DefaultEndpointPidAndResolverFileWithoutAddressFile)
{
    GW_REQUIRE_UCI();
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_TRUE(agent.log_has("======== gwagent start ========"));
    EXPECT_TRUE(agent.log_has("fopen YvMngPlat.txt failed."));
    EXPECT_EQ(uci("gwagent", "distri", "port"), "7686");
    EXPECT_EQ(uci("gwagent", "distri", "address"), "127.0.0.1");
    EXPECT_EQ(uci("gwagent", "global", "pid"), std::to_string(agent.child().pid()));
    EXPECT_TRUE(root.exists("/tmp/resolv.conf"));
    struct stat st {};
    ASSERT_EQ(stat(root.path("/tmp/resolv.conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0444, 0444u);
    EXPECT_TRUE(root.exists("/hgutmp/zepsrv.log"));
    EXPECT_NE(root.read("/hgutmp/zepsrv.log").find("gwagent start"), std::string::npos);
    EXPECT_TRUE(agent.log_has("=== Start connect the distribute platform use udp ==="));
}

TEST_F(Startup, ChangedServerResetsRegistrationStatus)
{
    GW_REQUIRE_UCI();
    ASSERT_EQ(uci_config_set("gwagent", "global", "status", "1", 1), 0);
    ASSERT_EQ(uci_config_set("gwagent", "distri", "address", "127.0.0.9", 1), 0);
    root.write("/opt/info/YvMngPlat.txt", encrypt_device_text("127.0.0.5:9001"));
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_TRUE(agent.log_has("test URL[127.0.0.5] Port[9001]."));
    EXPECT_EQ(uci("gwagent", "distri", "address"), "127.0.0.5");
    EXPECT_EQ(uci("gwagent", "distri", "port"), "9001");
    EXPECT_EQ(uci("gwagent", "global", "status"), "0");
}

TEST_F(Startup, NoLogConfigurationMeansErrorsOnly)
{
    GW_REQUIRE_UCI();
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_TRUE(agent.log_has("get log_debug failed!"));
    EXPECT_EQ(uci("log", "temp", "log_level"), "err");
    EXPECT_EQ(uci("log", "temp", "log_duration"), "0");
}

TEST_F(Startup, Sigusr1IsIgnoredAndSigtermExitsCleanly)
{
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    ASSERT_EQ(kill(agent.child().pid(), SIGUSR1), 0);
    // A bounded stop: SIGTERM, then SIGKILL if the agent is still there after five seconds (the
    // agent itself pauses half a second; sanitizer builds add their exit checks).
    const int status = agent.child().stop(5000ms);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status << "\n" << agent.log();
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(Startup, SigtermDuringStartUpIsNotLost)
{
    Agent agent(root);
    ASSERT_TRUE(gwtest::wait_until([&] { return agent.log_has("======== gwagent start ========"); }, 20s))
        << agent.log();
    ASSERT_EQ(kill(agent.child().pid(), SIGTERM), 0);
    // Start-up goes on to the loop, which must see the earlier signal.
    ASSERT_TRUE(gwtest::wait_until([&] { return !agent.child().running(); }, 10s)) << agent.log();
    EXPECT_TRUE(agent.log_has("change log duration from"));
}

TEST_F(Startup, ReadsTheServiceForResolverFileAndWanAddress)
{
    GW_REQUIRE_UCI();
    ASSERT_TRUE(gwtest::Igd1Sim::fresh().ready());
    Agent agent(root);
    ASSERT_TRUE(agent.started()) << agent.log();
    EXPECT_EQ(root.read("/tmp/resolv.conf"),
              "nameserver 61.139.2.69\nnameserver 218.6.200.139\nnameserver 2001:db8::53\n");
    EXPECT_EQ(uci("system", "dnsserver", "v4dns1"), "61.139.2.69");
    EXPECT_EQ(uci("gwagent", "global", "WANIPAddr"), "100.64.12.34");
    EXPECT_TRUE(agent.log_has("wan v4ip 100.64.12.34 connected."));
    EXPECT_TRUE(agent.log_has("DeviceInfo.DevWiFi[2]"));
}
