// The agent's ubus traffic against OpenWrt's own ubusd and ubus command line (built only when the real
// libubus is used): a helper registers "yvproxy" and "yvtask" and prints every call it receives.
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gw/ubus.h>

#include "core/agent.h"
#include "gwtest.hpp"
#include "platform/conn.h"

namespace {

using namespace std::chrono_literals;

class RealUbus : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = std::make_unique<gwtest::TempRoot>();
        socket_ = root_->path("/var/run/ubus/ubus.sock");
        mkdir(root_->path("/var").c_str(), 0755);
        mkdir(root_->path("/var/run").c_str(), 0755);
        mkdir(root_->path("/var/run/ubus").c_str(), 0755);
        daemon_ = gwtest::Child({GW_UBUSD_PROGRAM, "-s", socket_});
        struct stat st {};
        for (int i = 0; i < 500 && stat(socket_.c_str(), &st) != 0; ++i)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(stat(socket_.c_str(), &st), 0) << "ubusd did not create " << socket_;
        objects_ = gwtest::Child({gwtest::build_dir() + "/tests/platform/ubus_objects", socket_}, {}, true);
        std::string line;
        ASSERT_TRUE(objects_.read_line(line, 5000ms));
        ASSERT_EQ(line, "ready");
        // The agent runs "ubus" from PATH: the real command line.
        old_path_ = getenv("PATH") ? getenv("PATH") : "";
        setenv("PATH", (std::string(GW_UBUS_BIN_DIR) + ":" + old_path_).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", old_path_.c_str(), 1);
        if (ctx) {
            ubus_free(ctx);
            ctx = nullptr;
        }
    }
    std::string next_call()
    {
        std::string line;
        return objects_.read_line(line, 5000ms) ? line : "<none>";
    }

    std::unique_ptr<gwtest::TempRoot> root_;
    std::string socket_;
    std::string old_path_;
    gwtest::Child daemon_;
    gwtest::Child objects_;
};

struct Call {
    const char *object;
    const char *method;
    const char *arg;
    const char *received;
};

// The argument reaches the object unchanged, quotes and shell syntax included.
TEST_F(RealUbus, AgentCallsReachTheRegisteredObjects)
{
    const Call calls[] = {
        {"yvproxy", "task_request", "{\"server\":\"1.2.3.4'}'; touch x; echo `id`\"}",
         "yvproxy task_request {\"server\":\"1.2.3.4'}'; touch x; echo `id`\"}"},
        {"yvtask", "task_upgrade_result_response", "{\"pkgname\":\"demo_arm\",\"result\":3}",
         "yvtask task_upgrade_result_response {\"pkgname\":\"demo_arm\",\"result\":3}"},
    };
    for (const Call &c : calls) {
        SCOPED_TRACE(c.object);
        EXPECT_EQ(gwagent_ubus_call(c.object, c.method, c.arg), 0);
        EXPECT_EQ(next_call(), c.received);
    }
}

TEST_F(RealUbus, CallsOnAbsentObjectsOrMethodsFail)
{
    // The tool's exit codes: the status for a failed lookup, its negation for a failed call.
    EXPECT_EQ(gwagent_ubus_call("yvnothing", "task_request", "{}"), 4);   // UBUS_STATUS_NOT_FOUND
    EXPECT_EQ(gwagent_ubus_call("yvtask", "no_such_method", "{}"), 253);  // -UBUS_STATUS_METHOD_NOT_FOUND
}

TEST_F(RealUbus, AgentConnectionFindsTaskdById)
{
    ASSERT_EQ(gwagent_ubus_init(), 0);
    uint32_t id = 0;
    EXPECT_EQ(ubus_lookup_id(ctx, "yvtask", &id), UBUS_STATUS_OK);
    EXPECT_NE(id, 0u);
    EXPECT_EQ(ubus_lookup_id(ctx, "yvnothing", &id), UBUS_STATUS_NOT_FOUND);
}

}  // namespace
