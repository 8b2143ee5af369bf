// The framework event log: line format and rotation.
#include <sys/stat.h>

#include <ctime>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/log.h"
#include "gwtest.hpp"
#include "zeplog.hpp"

namespace {

timeval local_time(int y, int mo, int d, int h, int mi, int s, long usec)
{
    struct tm tm {};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    timeval tv{};
    tv.tv_sec = mktime(&tm);
    tv.tv_usec = usec;
    return tv;
}

TEST(ZepLogLine, MicrosecondsArePlainDecimal)
{
    EXPECT_EQ(gw::format_zep_line(local_time(2024, 3, 7, 9, 5, 3, 42), "install demo ok"),
              "2024-03-07 09:05:03.42 install demo ok\n");
    EXPECT_EQ(gw::format_zep_line(local_time(2024, 12, 31, 23, 59, 59, 999999), "x"), "2024-12-31 23:59:59.999999 x\n");
    EXPECT_EQ(gw::format_zep_line(local_time(2025, 1, 2, 0, 0, 0, 0), ""), "2025-01-02 00:00:00.0 \n");
}

class ZepLog : public ::testing::Test {
protected:
    void fill_log(size_t size) { root.write("/hgutmp/zepsrv.log", std::string(size, 'a')); }
    off_t size_of(const std::string &abs)
    {
        struct stat st {};
        return ::stat(root.path(abs).c_str(), &st) == 0 ? st.st_size : -1;
    }
    gwtest::TempRoot root;
};

TEST_F(ZepLog, AppendsFormattedLines)
{
    write_zep_log("download %s %d", "demo.ipk", 3);
    write_zep_log("second");
    std::string text = root.read("/hgutmp/zepsrv.log");
    std::regex want(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.(0|[1-9]\d{0,5}) download demo\.ipk 3
\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.(0|[1-9]\d{0,5}) second
)");
    EXPECT_TRUE(std::regex_match(text, want)) << text;
}

TEST_F(ZepLog, NotRotatedAt524287Bytes)
{
    fill_log(524287);
    write_zep_log("next");
    EXPECT_FALSE(root.exists("/hgutmp/zepsrv.log.old"));
    EXPECT_GT(size_of("/hgutmp/zepsrv.log"), 524287);
}

TEST_F(ZepLog, RotatedAt524288BytesBeforeTheNextLine)
{
    fill_log(524288);
    root.write("/hgutmp/zepsrv.log.old", "older generation\n");
    write_zep_log("fresh %d", 1);
    EXPECT_EQ(size_of("/hgutmp/zepsrv.log.old"), 524288);
    std::string now = root.read("/hgutmp/zepsrv.log");
    EXPECT_EQ(now.find('a'), std::string::npos);
    EXPECT_NE(now.find(" fresh 1\n"), std::string::npos);
    EXPECT_EQ(now.back(), '\n');
    EXPECT_EQ(now.find('\n'), now.size() - 1);
    EXPECT_TRUE(root.exists("/tmp/zepsrv.lock"));
}

TEST_F(ZepLog, MessageIsCutAt255Characters)
{
    std::string longer(400, 'm');
    write_zep_log("%s", longer.c_str());
    std::string line = root.read("/hgutmp/zepsrv.log");
    auto space = line.find(' ', line.find(' ') + 1);
    ASSERT_NE(space, std::string::npos);
    EXPECT_EQ(line.substr(space + 1), std::string(255, 'm') + "\n");
}

TEST_F(ZepLog, FailedRenameIsLoggedAndAppendGoesOn)
{
    gwtest::LogCapture logs;
    fill_log(524288);
    // A directory in the way of the old generation makes the rename fail.
    ASSERT_EQ(::mkdir(root.path("/hgutmp/zepsrv.log.old").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(root.path("/hgutmp/zepsrv.log.old/x").c_str(), 0755), 0);
    write_zep_log("kept");
    EXPECT_TRUE(logs.contains("rename " + root.path("/hgutmp/zepsrv.log") + " to " +
                              root.path("/hgutmp/zepsrv.log.old") + " failed, "));
    EXPECT_GT(size_of("/hgutmp/zepsrv.log"), 524288);
}

TEST_F(ZepLog, MissingDirectoryIsSilent)
{
    gwtest::LogCapture logs;
    ASSERT_EQ(::rmdir(root.path("/hgutmp").c_str()), 0);
    write_zep_log("nowhere");
    EXPECT_FALSE(root.exists("/hgutmp/zepsrv.log"));
    EXPECT_TRUE(logs.lines().empty());
}

}  // namespace
