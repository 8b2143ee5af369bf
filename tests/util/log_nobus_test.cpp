// Logging keeps working when no system bus can be reached.
#include <chrono>
#include <cstdlib>

#include <gtest/gtest.h>

#include "gwbus/log.h"
#include "gwtest.hpp"

namespace {

using namespace std::chrono_literals;

class LogNoBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + root.dir() + "/no_bus_here").c_str(), 1);
        g_logLevel = 7;
        root.write("/etc/config/log", "config temp 'temp'\n\toption log_level 'debug'\n");
    }
    void TearDown() override { api_sysLogClose(); }
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

TEST_F(LogNoBus, LevelThreadStartsAndStopsWithoutBus)
{
    api_sysLogOpen("ZEP[plughost]");
    ASSERT_TRUE(gwtest::wait_until([&] { return logs.contains("Connect the system bus failed, "); }, 5000ms));
    api_sysLogClose();
    api_sysLogOpen("ZEP[plughost]");
    api_sysLogClose();
    api_sysLogPrint(3, "still logging");
    EXPECT_TRUE(logs.contains("still logging"));
}

TEST_F(LogNoBus, EmitSignalReportsTheBusFailure)
{
    api_sysLogEmitSignal(6, 60);
    EXPECT_EQ(g_logLevel, 6);
    g_logLevel = 7;
    api_sysLogEmitSignal(7, 60);
    EXPECT_TRUE(logs.contains("Connect the system bus failed, "));
}

}  // namespace
