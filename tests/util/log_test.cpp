// Threshold, tables, tag selection and the syslog hand-off of the logging front end.
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "fake_syslog.hpp"
#include "gwbus/log.h"
#include "gwtest.hpp"

namespace {

class Log : public ::testing::Test {
protected:
    void SetUp() override
    {
        api_sysLogClose();
        g_logLevel = 7;
        fake_syslog::reset();
    }
    void TearDown() override
    {
        api_sysLogClose();
        g_logLevel = 7;
    }
    void set_uci_level(const std::string &name)
    {
        root.write("/etc/config/log", "config temp 'temp'\n\toption log_level '" + name + "'\n");
    }
    void set_cmdline(const std::string &bytes) { root.write("/proc/1/cmdline", bytes); }

    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

bool syslog_has(const std::string &needle, int priority = -1)
{
    for (const auto &r : fake_syslog::records())
        if (r.text.find(needle) != std::string::npos && (priority < 0 || r.priority == priority))
            return true;
    return false;
}

TEST_F(Log, ClosedLogReachesSinkButNeverSyslog)
{
    for (int level = 0; level <= 7; ++level)
        api_sysLogPrint(level, "%s:%d closed line %d", "unit", 1, level);
    EXPECT_TRUE(fake_syslog::records().empty());
    EXPECT_TRUE(fake_syslog::opens().empty());
    EXPECT_EQ(logs.count("unit:1 closed line "), 8u);
}

TEST_F(Log, ThresholdFourDropsFiveAndKeepsFour)
{
    g_logLevel = 4;
    api_sysLogPrint(5, "notice %d", 5);
    api_sysLogPrint(4, "warn %d", 4);
    api_sysLogPrint(3, "err %d", 3);
    EXPECT_EQ(logs.lines(), (std::vector<std::string>{"warn 4", "err 3"}));
}

TEST_F(Log, GwlogPrefixesUnitAndLine)
{
    int line = __LINE__ + 1;
    GWLOG(LOG_LVL_ERR, "start %s", "now");
    ASSERT_EQ(logs.lines().size(), 1u);
    EXPECT_EQ(logs.lines()[0], "log_test:" + std::to_string(line) + " start now");
}

TEST_F(Log, LongLinesAreDeliveredWhole)
{
    std::string big(5000, 'x');
    api_sysLogPrint(3, "%s|end", big.c_str());
    ASSERT_EQ(logs.lines().size(), 1u);
    EXPECT_EQ(logs.lines()[0], big + "|end");
}

TEST_F(Log, SinkSeesEveryLineFromManyThreads)
{
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 250; ++i)
                api_sysLogPrint(6, "thread %d line %d", t, i);
        });
    for (auto &th : threads)
        th.join();
    EXPECT_EQ(logs.count("thread "), 1000u);
    EXPECT_EQ(logs.count("thread 3 line 249"), 1u);
}

TEST_F(Log, StderrCopyOnlyWithTheVariable)
{
    std::string path = root.path("/tmp/stderr.txt");
    int saved = ::dup(STDERR_FILENO);
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ::dup2(fd, STDERR_FILENO);
    ::close(fd);
    api_sysLogPrint(3, "not copied");
    setenv("GW_LOG_STDERR", "1", 1);
    api_sysLogPrint(3, "copied %d", 1);
    g_logLevel = 2;
    api_sysLogPrint(3, "filtered");
    unsetenv("GW_LOG_STDERR");
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    EXPECT_EQ(root.read("/tmp/stderr.txt"), "copied 1\n");
}

TEST_F(Log, OpenLineGoesToSyslogWithItsLevel)
{
    set_uci_level("debug");
    set_cmdline(std::string("/sbin/procd\0", 12));
    api_sysLogOpen("ZEP[plughost]");
    ASSERT_EQ(fake_syslog::opens().size(), 1u);
    EXPECT_EQ(fake_syslog::opens()[0].ident, "ZEP[plughost]");
    EXPECT_EQ(fake_syslog::opens()[0].option, LOG_CONS | LOG_NDELAY);
    EXPECT_EQ(fake_syslog::opens()[0].facility, LOG_USER);
    EXPECT_EQ(g_logLevel, 7);
    api_sysLogPrint(4, "%s:%d after open", "unit", 9);
    EXPECT_TRUE(syslog_has("unit:9 after open", 4));
    EXPECT_TRUE(syslog_has("Log open success, moduleName: ZEP[plughost], logTagName: ZEP[plughost]!", 7));
    // ZEP tags never look at the container command line.
    EXPECT_FALSE(logs.contains("Parse the cmdline failed!"));
}

TEST_F(Log, UciLevelWarningIsUnknownAndGivesErr)
{
    set_uci_level("warning");
    api_sysLogOpen("ZEP[plughost]");
    EXPECT_EQ(g_logLevel, 3);
    EXPECT_TRUE(logs.contains("Module ZEP[plughost] get log level num failed!"));
}

TEST_F(Log, UciLevelWarnGivesFour)
{
    set_uci_level("warn");
    api_sysLogOpen("ZEP[plughost]");
    EXPECT_EQ(g_logLevel, 4);
    api_sysLogPrint(5, "dropped");
    api_sysLogPrint(4, "kept");
    EXPECT_FALSE(syslog_has("dropped"));
    EXPECT_TRUE(syslog_has("kept", 4));
}

TEST_F(Log, MissingUciLevelKeepsThreshold)
{
    g_logLevel = 5;
    api_sysLogOpen("ZEP[plughost]");
    EXPECT_EQ(g_logLevel, 5);
    EXPECT_TRUE(logs.contains("Module ZEP[plughost] get log_level failed!"));
}

TEST_F(Log, AgentKeepsItsOwnThreshold)
{
    set_uci_level("err");
    api_sysLogOpen("ZEP[gwagent]");
    EXPECT_EQ(g_logLevel, 7);
    EXPECT_FALSE(logs.contains("Log open success"));
    EXPECT_EQ(fake_syslog::opens()[0].ident, "ZEP[gwagent]");
}

TEST_F(Log, ContainerProcessLogsAsPlugin)
{
    set_uci_level("debug");
    set_cmdline(std::string("/sbin/init.lxc\0/usr/bin/demo\0", 29));
    api_sysLogOpen("demo");
    auto opens = fake_syslog::opens();
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].ident, "demo");
    EXPECT_EQ(opens[1].ident, "PLUGIN[demo]");
    EXPECT_EQ(opens[1].facility, LOG_USER);
    EXPECT_EQ(fake_syslog::closes(), 1);
    EXPECT_TRUE(logs.contains("Log open success, moduleName: demo, logTagName: PLUGIN[demo]!"));
}

TEST_F(Log, ContainerNameEndsAtNewline)
{
    set_cmdline("/sbin/init.lxc -- /opt/plugins/speedtest\n");
    api_sysLogOpen("x");
    ASSERT_EQ(fake_syslog::opens().size(), 2u);
    EXPECT_EQ(fake_syslog::opens()[1].ident, "PLUGIN[speedtest]");
}

TEST_F(Log, OutsideContainerKeepsTagAndSaysSo)
{
    set_cmdline(std::string("/sbin/procd\0", 12));
    api_sysLogOpen("tool");
    ASSERT_EQ(fake_syslog::opens().size(), 1u);
    EXPECT_EQ(fake_syslog::opens()[0].ident, "tool");
    EXPECT_TRUE(logs.contains("Parse the cmdline failed!"));
}

TEST_F(Log, UnreadableCmdlineIsLogged)
{
    api_sysLogOpen("tool");
    EXPECT_TRUE(logs.contains("Open pid 1 cmdline file failed!"));
    EXPECT_EQ(fake_syslog::opens().size(), 1u);
}

TEST_F(Log, EmptyTagBecomesDefaultAndLongTagIsCut)
{
    set_cmdline(std::string("/sbin/procd\0", 12));
    api_sysLogOpen("");
    EXPECT_EQ(fake_syslog::opens().back().ident, "default");
    api_sysLogClose();
    api_sysLogOpen(nullptr);
    EXPECT_EQ(fake_syslog::opens().back().ident, "default");
    api_sysLogClose();
    std::string long_tag = "ZEP[" + std::string(100, 'a') + "]";
    api_sysLogOpen(long_tag.c_str());
    EXPECT_EQ(fake_syslog::opens().back().ident, long_tag.substr(0, 63));
}

TEST_F(Log, SecondOpenIsRefused)
{
    set_uci_level("info");
    api_sysLogOpen("ZEP[plughost]");
    api_sysLogOpen("ZEP[other]");
    EXPECT_EQ(fake_syslog::opens().size(), 1u);
    EXPECT_TRUE(logs.contains("The log has init, return now!"));
}

TEST_F(Log, CloseStopsSyslogAndAllowsReopen)
{
    set_uci_level("info");
    api_sysLogOpen("ZEP[plughost]");
    api_sysLogClose();
    EXPECT_EQ(fake_syslog::closes(), 1);
    fake_syslog::reset();
    api_sysLogPrint(3, "after close");
    EXPECT_TRUE(fake_syslog::records().empty());
    EXPECT_TRUE(logs.contains("after close"));
    api_sysLogClose();  // closing twice is harmless
    EXPECT_EQ(fake_syslog::closes(), 0);
    api_sysLogOpen("ZEP[plughost]");
    EXPECT_EQ(fake_syslog::opens().size(), 1u);
}

TEST(LogTables, PriorityRowsInOrder)
{
    const std::vector<std::pair<std::string, int>> want = {{"alert", 1}, {"crit", 2}, {"debug", 7},  {"emerg", 0},
                                                           {"err", 3},   {"info", 6}, {"notice", 5}, {"warn", 4}};
    size_t i = 0;
    for (; logPriorityCode[i].c_val != -1; ++i) {
        ASSERT_LT(i, want.size());
        EXPECT_EQ(logPriorityCode[i].c_name, want[i].first);
        EXPECT_EQ(logPriorityCode[i].c_val, want[i].second);
    }
    EXPECT_EQ(i, want.size());
    EXPECT_STREQ(logPriorityCode[i].c_name, "");
}

TEST(LogTables, FacilityRowsInOrder)
{
    const std::vector<std::pair<std::string, int>> want = {
        {"auth", 32},    {"authpriv", 80}, {"cron", 72},    {"daemon", 24},  {"ftp", 88},
        {"kern", 0},     {"lpr", 48},      {"mail", 16},    {"news", 56},    {"syslog", 40},
        {"user", 8},     {"uucp", 64},     {"local0", 128}, {"local1", 136}, {"local2", 144},
        {"local3", 152}, {"local4", 160},  {"local5", 168}, {"local6", 176}, {"local7", 184}};
    size_t i = 0;
    for (; logFacilityCode[i].c_val != -1; ++i) {
        ASSERT_LT(i, want.size());
        EXPECT_EQ(logFacilityCode[i].c_name, want[i].first);
        EXPECT_EQ(logFacilityCode[i].c_val, want[i].second);
    }
    EXPECT_EQ(i, want.size());
}

TEST(LogTables, LookupsBothWays)
{
    EXPECT_STREQ(api_sysLogGetPriorityText(9), "<unknown>");
    EXPECT_STREQ(api_sysLogGetPriorityText(-1), "<unknown>");
    EXPECT_STREQ(api_sysLogGetPriorityText(4), "warn");
    EXPECT_STREQ(api_sysLogGetPriorityText(0), "emerg");
    EXPECT_EQ(api_sysLogGetFacilityNum("local3"), 152);
    EXPECT_EQ(api_sysLogGetFacilityNum("LOCAL3"), -1);
    EXPECT_EQ(api_sysLogGetFacilityNum(nullptr), -1);
    EXPECT_EQ(api_sysLogGetFacilityNum(""), -1);
    EXPECT_STREQ(api_sysLogGetFacilityText(8), "user");
    EXPECT_STREQ(api_sysLogGetFacilityText(1), "<unknown>");
    EXPECT_STREQ(api_sysLogGetFacilityText(-1), "<unknown>");
    EXPECT_EQ(api_sysLogGetPriorityNum("warn"), 4);
    EXPECT_EQ(api_sysLogGetPriorityNum("warning"), -1);
    EXPECT_EQ(api_sysLogGetPriorityNum("Debug"), -1);
    EXPECT_EQ(api_sysLogGetPriorityNum(nullptr), -1);
}

}  // namespace
