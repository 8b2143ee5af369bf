// Downloads against a loopback HTTP server: size rule, attempts, failures.
#include <string>

#include <gtest/gtest.h>

#include "gwbus/util.h"
#include "gwtest.hpp"
#include "http_server.hpp"

namespace {

class Download : public ::testing::Test {
protected:
    std::string dest() const { return root.path("/tmp/pkg.ipk"); }
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
    gwtest::HttpServer server;
};

TEST_F(Download, SixBytesSucceedOnTheFirstAttempt)
{
    server.serve("/pkg.ipk", "123456");
    double size = -1;
    EXPECT_EQ(comm_download_file(server.url("/pkg.ipk").c_str(), dest().c_str(), 6, &size), 0);
    EXPECT_EQ(size, 6.0);
    EXPECT_EQ(server.requests("/pkg.ipk"), 1);
    EXPECT_EQ(root.read("/tmp/pkg.ipk"), "123456");
    EXPECT_TRUE(logs.contains("fopen(" + dest() + "), Download No 0 times."));
    EXPECT_TRUE(logs.contains("Response code is: 200"));
    EXPECT_TRUE(logs.contains("Download size: 6 bytes."));
    EXPECT_FALSE(logs.contains("Download No 1 times."));
}

TEST_F(Download, FiveBytesAreRetriedAndFailAfterThreeAttempts)
{
    server.serve("/short", "12345");
    double size = -1;
    EXPECT_EQ(comm_download_file(server.url("/short").c_str(), dest().c_str(), 6, &size), -1);
    EXPECT_EQ(server.requests("/short"), 3);
    EXPECT_EQ(size, 5.0);
    EXPECT_EQ(logs.count("Download No "), 3u);
    EXPECT_TRUE(logs.contains("Download No 2 times."));
    EXPECT_EQ(logs.count("Download size: 5 bytes."), 3u);
    // The last attempt's bytes are left for the caller.
    EXPECT_EQ(root.read("/tmp/pkg.ipk"), "12345");
}

TEST_F(Download, ErrorPageCountsAsADownload)
{
    double size = 0;
    EXPECT_EQ(comm_download_file(server.url("/missing").c_str(), dest().c_str(), 6, &size), 0);
    EXPECT_EQ(size, 9.0);
    EXPECT_EQ(root.read("/tmp/pkg.ipk"), "not found");
    EXPECT_TRUE(logs.contains("Response code is: 404"));
}

TEST_F(Download, TruncatesAnOlderFile)
{
    root.write("/tmp/pkg.ipk", std::string(100, 'o'));
    server.serve("/pkg.ipk", "abcdefgh");
    EXPECT_EQ(comm_download_file(server.url("/pkg.ipk").c_str(), dest().c_str(), 6, nullptr), 0);
    EXPECT_EQ(root.read("/tmp/pkg.ipk"), "abcdefgh");
}

TEST_F(Download, HangUpIsATransferErrorEachTime)
{
    server.hang_up("/drop");
    EXPECT_EQ(comm_download_file(server.url("/drop").c_str(), dest().c_str(), 6, nullptr), -1);
    EXPECT_EQ(server.requests("/drop"), 3);
    EXPECT_EQ(logs.count("download failed, 52:"), 3u);
}

TEST_F(Download, RefusedConnectionFailsAfterThreeAttempts)
{
    int port = 0;
    {
        gwtest::HttpServer gone;
        port = gone.port();
    }
    std::string url = "http://127.0.0.1:" + std::to_string(port) + "/x";
    EXPECT_EQ(comm_download_file(url.c_str(), dest().c_str(), 6, nullptr), -1);
    EXPECT_EQ(logs.count("download failed, 7:"), 3u);
}

TEST_F(Download, UnwritableDestinationStopsAtOnce)
{
    server.serve("/pkg.ipk", "123456");
    std::string bad = root.path("/no/such/dir/pkg.ipk");
    EXPECT_EQ(comm_download_file(server.url("/pkg.ipk").c_str(), bad.c_str(), 6, nullptr), -1);
    EXPECT_EQ(server.requests("/pkg.ipk"), 0);
    EXPECT_TRUE(logs.contains("fopen(" + bad + ") error : No such file or directory"));
    EXPECT_EQ(logs.count("Download No "), 1u);
}

TEST_F(Download, NullArgumentsFail)
{
    EXPECT_EQ(comm_download_file(nullptr, dest().c_str(), 6, nullptr), -1);
    EXPECT_EQ(comm_download_file(server.url("/x").c_str(), nullptr, 6, nullptr), -1);
}

}  // namespace
