// UCI access below the run-time root: reads, list quoting, staged and committed writes.
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/util.h"
#include "gwtest.hpp"

namespace {

class Uci : public ::testing::Test {
protected:
    std::string get(const char *pkg, const char *sec, const char *opt)
    {
        char buf[1024] = "<untouched>";
        int rc = uci_config_get(pkg, sec, opt, buf);
        return rc == 0 ? std::string(buf) : "<rc " + std::to_string(rc) + ">";
    }
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

TEST_F(Uci, OptionsAreCopiedWholeAndListsJoinedQuotedAndCutAt255)
{
    std::string many = "config pushd 'global'\n";
    for (int i = 0; i < 40; ++i)
        many += "\tlist item 'item" + std::to_string(100 + i) + "'\n";
    std::string joined;
    for (int i = 0; i < 40; ++i)
        joined += (i ? " item" : "item") + std::to_string(100 + i);
    struct Case {
        std::string config;
        const char *option;
        std::string value;
    };
    // clang-format off
    const Case cases[] = {
        {"config pushd 'global'\n\toption server 'dis.example.net'\n\toption port '8080'\n", "server", "dis.example.net"},
        {"config pushd 'global'\n\toption server 'dis.example.net'\n\toption port '8080'\n", "port", "8080"},
        {"config pushd 'global'\n\tlist item 'a'\n\tlist item 'b c'\n\tlist item \"it's\"\n", "item", "a 'b c' it's"},
        {"config pushd 'global'\n\tlist item \"it's here\"\n\tlist item 'tab\there'\n", "item", "'it'\\''s here' 'tab\there'"},
        {many, "item", joined.substr(0, 255)},
    };
    // clang-format on
    for (const Case &c : cases) {
        root.write("/etc/config/pushd", c.config);
        EXPECT_EQ(get("pushd", "global", c.option), c.value) << c.config;
    }
}

TEST_F(Uci, MissingOptionAndNullBuffer)
{
    root.write("/etc/config/log", "config temp 'temp'\n\toption log_level 'warn'\n");
    EXPECT_EQ(get("log", "temp", "nope"), "<rc 1>");
    EXPECT_TRUE(logs.contains("uci_lookup_ptr() not found : log.temp.nope ."));
    EXPECT_EQ(get("nopkg", "temp", "log_level"), "<rc 1>");
    EXPECT_EQ(get("log", "nosec", "log_level"), "<rc 1>");
    EXPECT_EQ(uci_config_get("log", "temp", "log_level", nullptr), 1);
}

TEST_F(Uci, BoundedReadRefusesAPlainOptionLongerThanItsBufferAndCutsAList)
{
    const std::string longer(300, 'x');
    root.write("/etc/config/gwagent", "config message 'message'\n\toption address '" + longer +
                                          "'\n\toption port '8080'\n\tlist item 'abc'\n\tlist item 'def'\n");
    // Guard bytes after the buffer show that nothing is written past it.
    char buf[64 + 8];
    std::memset(buf, '#', sizeof buf);
    EXPECT_EQ(uci_config_get_n("gwagent", "message", "address", buf, 64), 1);
    EXPECT_TRUE(
        logs.contains("uci option gwagent.message.address holds 300 bytes, more than the 63 its reader takes."));
    EXPECT_EQ(std::string(buf + 64, 8), "########");
    ASSERT_EQ(uci_config_get_n("gwagent", "message", "port", buf, 64), 0);
    EXPECT_STREQ(buf, "8080");
    ASSERT_EQ(uci_config_get_n("gwagent", "message", "port", buf, 5), 0) << "exactly fits";
    EXPECT_STREQ(buf, "8080");
    EXPECT_EQ(uci_config_get_n("gwagent", "message", "port", buf, 4), 1);
    std::memset(buf, '#', sizeof buf);
    ASSERT_EQ(uci_config_get_n("gwagent", "message", "item", buf, 6), 0);
    EXPECT_STREQ(buf, "abc d");
    EXPECT_EQ(buf[6], '#');
    EXPECT_EQ(uci_config_get_n("gwagent", "message", "port", buf, 0), 1);
    EXPECT_EQ(uci_config_get_n("gwagent", "message", "port", nullptr, 64), 1);
    EXPECT_EQ(uci_config_get_n("gwagent", "message", "nope", buf, 64), 1);
}

TEST_F(Uci, UncommittedSetLeavesThePackageFileAlone)
{
    const std::string before = "config temp 'temp'\n\toption log_level 'warn'\n";
    root.write("/etc/config/log", before);
    ASSERT_EQ(uci_config_set("log", "temp", "log_level", "debug", 0), 0);
    EXPECT_EQ(root.read("/etc/config/log"), before);
    EXPECT_EQ(get("log", "temp", "log_level"), "debug");
    ASSERT_EQ(uci_config_commit("log"), 0);
    std::string after = root.read("/etc/config/log");
    EXPECT_NE(after.find("debug"), std::string::npos) << after;
    EXPECT_EQ(after.find("warn"), std::string::npos) << after;
    EXPECT_EQ(get("log", "temp", "log_level"), "debug");
}

TEST_F(Uci, CommittedSetReachesTheFileAtOnce)
{
    root.write("/etc/config/log", "config temp 'temp'\n\toption log_level 'warn'\n");
    ASSERT_EQ(uci_config_set("log", "temp", "log_level", "err", 1), 0);
    std::string after = root.read("/etc/config/log");
    EXPECT_NE(after.find("err"), std::string::npos) << after;
    EXPECT_EQ(after.find("warn"), std::string::npos) << after;
}

TEST_F(Uci, MissingSectionIsCreatedTypedAsItsName)
{
    root.write("/etc/config/plughost", "");
    ASSERT_EQ(uci_config_set("plughost", "stop", "demo", "1", 0), 0);
    std::string file = root.read("/etc/config/plughost");
    // The section is committed on its own; the option stays staged.
    EXPECT_NE(file.find("config stop 'stop'"), std::string::npos) << file;
    EXPECT_EQ(file.find("demo"), std::string::npos) << file;
    EXPECT_EQ(get("plughost", "stop", "demo"), "1");
    ASSERT_EQ(uci_config_set("plughost", "stop", "other", "0", 1), 0);
    file = root.read("/etc/config/plughost");
    EXPECT_NE(file.find("demo"), std::string::npos) << file;
    EXPECT_NE(file.find("other"), std::string::npos) << file;
}

TEST_F(Uci, MissingPackageStartsEmpty)
{
    ASSERT_EQ(uci_config_set("plughost", "stop", "demo", "1", 1), 0);
    EXPECT_EQ(get("plughost", "stop", "demo"), "1");
}

TEST_F(Uci, HostileNamesAreRefused)
{
    EXPECT_NE(uci_config_set("../../x", "s", "o", "v", 1), 0);
    EXPECT_NE(uci_config_set("", "s", "o", "v", 1), 0);
    EXPECT_NE(uci_config_set("log", "s", "o", nullptr, 1), 0);
    EXPECT_NE(uci_config_commit("../../x"), 0);
    EXPECT_NE(uci_config_commit(nullptr), 0);
    EXPECT_FALSE(root.exists("/x"));
    EXPECT_TRUE(logs.contains("uci_set() error  : "));
}

TEST_F(Uci, ValuesKeepSpacesAndQuotes)
{
    root.write("/etc/config/gwagent", "config gwagent 'main'\n");
    ASSERT_EQ(uci_config_set("gwagent", "main", "name", "it's a test", 1), 0);
    EXPECT_EQ(get("gwagent", "main", "name"), "it's a test");
}

// Processes committing one package at once (the agent, the plug-in host, plug-ins) lose none of each
// other's changes, whichever library is underneath.
TEST_F(Uci, ConcurrentCommittedSetsOfOnePackageLoseNoChange)
{
    root.write("/etc/config/race", "config race 'sec'\n");
    constexpr int kWriters = 4, kRounds = 15;
    EXPECT_EQ(gwtest::run_in_children(kWriters,
                                      [&](int w) {
                                          int bad = 0;
                                          for (int r = 0; r < kRounds; ++r) {
                                              const std::string opt = "w" + std::to_string(w) + "_" + std::to_string(r);
                                              bad += uci_config_set("race", "sec", opt.c_str(), "x", 1) != 0;
                                          }
                                          return bad;
                                      }),
              0);
    const std::string file = root.read("/etc/config/race");
    for (int w = 0; w < kWriters; ++w)
        for (int r = 0; r < kRounds; ++r)
            EXPECT_NE(file.find("option w" + std::to_string(w) + "_" + std::to_string(r) + " 'x'"), std::string::npos)
                << w << " " << r << "\n"
                << file;
}

// A change staged while another process commits the package ends up in the file or still staged. The
// library alone can drop a save that lands between a commit's two reads of the staged changes.
TEST_F(Uci, SaveDuringACommitOfThePackageIsNotLost)
{
    root.write("/etc/config/race", "config race 'sec'\n");
    constexpr int kRounds = 40;
    // Child 0 stages its options, child 1 commits its own.
    EXPECT_EQ(gwtest::run_in_children(2,
                                      [&](int w) {
                                          int bad = 0;
                                          for (int r = 0; r < kRounds; ++r) {
                                              const std::string opt = (w ? "c" : "s") + std::to_string(r);
                                              bad += uci_config_set("race", "sec", opt.c_str(), w ? "y" : "x", w) != 0;
                                          }
                                          return bad;
                                      }),
              0);
    for (int r = 0; r < kRounds; ++r) {
        EXPECT_EQ(get("race", "sec", ("s" + std::to_string(r)).c_str()), "x") << r;
        EXPECT_EQ(get("race", "sec", ("c" + std::to_string(r)).c_str()), "y") << r;
    }
}

}  // namespace
