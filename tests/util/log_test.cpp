// Threshold, tables, tag selection and the syslog hand-off of the logging front end.
#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
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
        // The level thread of an open log connects to the system bus: the private one, never the machine's.
        gwtest::PrivateBus::instance();
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

TEST_F(Log, OpenTakesTheLevelFromUciExceptForTheAgent)
{
    struct Case {
        const char *uci_level;  // nullptr: none configured
        const char *tag;
        int level;
        const char *line;  // logged, or nullptr
    };
    const Case cases[] = {
        {"warning", "ZEP[plughost]", 3, "Module ZEP[plughost] get log level num failed!"},
        {"warn", "ZEP[plughost]", 4, nullptr},
        {nullptr, "ZEP[plughost]", 5, "Module ZEP[plughost] get log_level failed!"},
        {"err", "ZEP[gwagent]", 5, nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + (c.uci_level ? c.uci_level : "-"));
        api_sysLogClose();
        gwtest::TempRoot fresh;
        if (c.uci_level)
            fresh.write("/etc/config/log",
                        std::string("config temp 'temp'\n\toption log_level '") + c.uci_level + "'\n");
        g_logLevel = 5;
        logs.clear();
        api_sysLogOpen(c.tag);
        EXPECT_EQ(g_logLevel, c.level);
        if (c.line) {
            EXPECT_TRUE(logs.contains(c.line));
        }
    }
    // At warn, notices are dropped and warnings reach syslog.
    api_sysLogClose();
    set_uci_level("warn");
    api_sysLogOpen("ZEP[plughost]");
    api_sysLogPrint(5, "dropped");
    api_sysLogPrint(4, "kept");
    EXPECT_FALSE(syslog_has("dropped"));
    EXPECT_TRUE(syslog_has("kept", 4));
}

// The syslog tags a process opens, from its tag and the command line of pid 1.
TEST_F(Log, ContainerProcessesLogAsPluginsAndTagsAreBounded)
{
    const std::string procd("/sbin/procd\0", 12);
    const std::string long_tag = "ZEP[" + std::string(100, 'a') + "]";
    struct Case {
        const char *cmdline;  // nullptr: unreadable
        size_t cmdline_size;
        const char *tag;
        std::vector<std::string> idents;
        const char *line;
    };
    // clang-format off
    const Case cases[] = {
        {"/sbin/init.lxc\0/usr/bin/demo\0", 29, "demo", {"demo", "PLUGIN[demo]"}, "Log open success, moduleName: demo, logTagName: PLUGIN[demo]!"},
        {"/sbin/init.lxc -- /opt/plugins/speedtest\n", 41, "x", {"x", "PLUGIN[speedtest]"}, nullptr},
        {"/sbin/procd\0", 12, "tool", {"tool"}, "Parse the cmdline failed!"},
        {nullptr, 0, "tool", {"tool"}, "Open pid 1 cmdline file failed!"},
        {"/sbin/procd\0", 12, "", {"default"}, nullptr},
        {"/sbin/procd\0", 12, nullptr, {"default"}, nullptr},
        {"/sbin/procd\0", 12, long_tag.c_str(), {long_tag.substr(0, 63)}, nullptr},
    };
    // clang-format on
    for (const Case &c : cases) {
        SCOPED_TRACE(c.tag ? c.tag : "(null)");
        api_sysLogClose();
        fake_syslog::reset();
        logs.clear();
        gwtest::TempRoot fresh;
        fresh.write("/etc/config/log", "config temp 'temp'\n\toption log_level 'debug'\n");
        if (c.cmdline)
            fresh.write("/proc/1/cmdline", std::string(c.cmdline, c.cmdline_size));
        api_sysLogOpen(c.tag);
        std::vector<std::string> idents;
        for (const auto &o : fake_syslog::opens())
            idents.push_back(o.ident);
        EXPECT_EQ(idents, c.idents);
        EXPECT_EQ(fake_syslog::closes(), static_cast<int>(c.idents.size()) - 1);
        if (c.line) {
            EXPECT_TRUE(logs.contains(c.line));
        }
    }
    EXPECT_EQ(fake_syslog::opens().back().facility, LOG_USER);
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

TEST(LogTables, LookupsBothWays)
{
    const char *priorities[] = {"emerg", "alert", "crit", "err", "warn", "notice", "info", "debug"};
    for (int level = 0; level <= 7; ++level) {
        EXPECT_STREQ(api_sysLogGetPriorityText(level), priorities[level]);
        EXPECT_EQ(api_sysLogGetPriorityNum(priorities[level]), level);
    }
    for (const auto &[name, num] :
         std::vector<std::pair<const char *, int>>{{"kern", 0}, {"auth", 32}, {"authpriv", 80}, {"local7", 184}}) {
        EXPECT_EQ(api_sysLogGetFacilityNum(name), num);
        EXPECT_STREQ(api_sysLogGetFacilityText(num), name);
    }
    EXPECT_STREQ(api_sysLogGetPriorityText(9), "<unknown>");
    EXPECT_STREQ(api_sysLogGetPriorityText(-1), "<unknown>");
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
