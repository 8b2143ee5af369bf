// Downloads against a loopback HTTP server: size rule, attempts, failures.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/util.h"
#include "gwtest.hpp"
#include "http_server.hpp"

namespace {

enum class Server { Serves, NotFound, HangsUp, Refuses };

struct DownloadCase {
    const char *name;
    Server server;
    const char *body;  // what the server serves
    bool writable;     // false: the destination's directory does not exist
    int rc;
    double size;                                          // -1: not asked for
    int requests;                                         // -1: no server to count them
    const char *file;                                     // the destination afterwards, nullptr: not checked
    std::vector<std::pair<std::string, unsigned>> lines;  // log line ($D: the destination) and its count
};
GW_ROW_PRINTS_AS(DownloadCase, name)

// The minimum size is 6 bytes; a shorter body or a transfer error is tried three times in all. Each
// destination starts as an older, longer file, which a download truncates.
// clang-format off
const DownloadCase kCases[] = {
    {"SixBytesSucceedOnTheFirstAttempt", Server::Serves, "123456", true, 0, 6, 1, "123456",
     {{"fopen($D), Download No 0 times.", 1}, {"Download No ", 1}, {"Response code is: 200", 1}, {"Download size: 6 bytes.", 1}}},
    // The last attempt's bytes are left for the caller.
    {"FiveBytesAreRetriedAndFailAfterThreeAttempts", Server::Serves, "12345", true, -1, 5, 3, "12345",
     {{"Download No ", 3}, {"Download No 2 times.", 1}, {"Download size: 5 bytes.", 3}}},
    {"ErrorPageCountsAsADownload", Server::NotFound, "", true, 0, 9, 1, "not found", {{"Response code is: 404", 1}}},
    {"HangUpIsATransferErrorEachTime", Server::HangsUp, "", true, -1, -1, 3, nullptr, {{"download failed, 52:", 3}}},
    {"RefusedConnectionFailsAfterThreeAttempts", Server::Refuses, "", true, -1, -1, -1, nullptr, {{"download failed, 7:", 3}}},
    {"UnwritableDestinationStopsAtOnce", Server::Serves, "123456", false, -1, -1, 0, nullptr,
     {{"fopen($D) error : No such file or directory", 1}, {"Download No ", 1}}},
};
// clang-format on

class Download : public ::testing::TestWithParam<DownloadCase> {
protected:
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
    gwtest::HttpServer server;
};

TEST_P(Download, AnswersAndAttempts)
{
    const DownloadCase &c = GetParam();
    const std::string dest = root.path(c.writable ? "/tmp/pkg.ipk" : "/no/such/dir/pkg.ipk");
    if (c.writable)
        root.write("/tmp/pkg.ipk", std::string(100, 'o'));
    std::string url = server.url("/pkg.ipk");
    if (c.server == Server::Serves)
        server.serve("/pkg.ipk", c.body);
    else if (c.server == Server::HangsUp)
        server.hang_up("/pkg.ipk");
    else if (c.server == Server::Refuses) {
        gwtest::HttpServer gone;
        url = gone.url("/pkg.ipk");
    }
    double size = -1;
    EXPECT_EQ(comm_download_file(url.c_str(), dest.c_str(), 6, c.size >= 0 ? &size : nullptr), c.rc);
    EXPECT_EQ(size, c.size);
    if (c.requests >= 0) {
        EXPECT_EQ(server.requests("/pkg.ipk"), c.requests);
    }
    if (c.file) {
        EXPECT_EQ(root.read("/tmp/pkg.ipk"), c.file);
    }
    for (auto [line, count] : c.lines) {
        const size_t at = line.find("$D");
        if (at != std::string::npos)
            line.replace(at, 2, dest);
        EXPECT_EQ(logs.count(line), count) << line;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, Download, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<DownloadCase> &info) { return info.param.name; });

TEST(DownloadArguments, NullUrlOrDestinationFails)
{
    gwtest::TempRoot root;
    EXPECT_EQ(comm_download_file(nullptr, root.path("/tmp/pkg.ipk").c_str(), 6, nullptr), -1);
    EXPECT_EQ(comm_download_file("http://127.0.0.1:1/x", nullptr, 6, nullptr), -1);
}

}  // namespace
