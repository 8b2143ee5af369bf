// The log upload and speed test commands: Get_Log and the speed test against the simulator, GET_ZEP_LOG
// against a loopback HTTP server that receives the archive, unzipped here by an independent reader.
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "command_steps.hpp"
#include "commands/cmd_zep_log.h"
#include "http_server.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

constexpr char kSpeedTest[] = "/com/yvc/igd1/Network/SpeedTestTry";
constexpr char kSpeedIface[] = "com.yvc.igd1.SpeedTestTry";

class LogCommands : public agenttest::CommandTest {
protected:
    std::string speed(const char *name) { return sim.prop_text(kSpeedTest, kSpeedIface, name); }
};

TEST_F(LogCommands, GetLogHandsItsThreeTextsToTheService)
{
    const std::string get = "Get_Log";
    const std::string all = R"("StartTime":"20240101000000123","EndTime":"20240102000000","UploadPath":"http://u/l")";
    EXPECT_EQ(run(cmd(get, all)), ok(get));
    // StartTime and EndTime keep 15 characters.
    EXPECT_EQ(sim.last_args("GetLog"), "('202401010000001', '20240102000000', 'http://u/l')");
    EXPECT_EQ(run(cmd(get, R"("StartTime":"1","UploadPath":"http://u/l")")), fail(get, "parameter_error"));
    EXPECT_TRUE(log.contains("Get_Log json string missing Parameter EndTime"));
    sim.set_reply("GetLog", "(uint32 2, 'upload busy')");
    EXPECT_EQ(run(cmd(get, all)), fail(get, "upload busy"));
    sim.set_reply("GetLog", "");
    sim.fail_next("GetLog");
    EXPECT_EQ(run(cmd(get, all)), fail(get, "callMethod_failed"));
    EXPECT_EQ(sim.call_count("GetLog"), 3u);
}

TEST_F(LogCommands, SpeedTestRequestWritesTheRecordOrRefuses)
{
    const std::string st = "HTTP_SPEED_TEST_OVER_TESTSERVER";
    const std::string urls = R"("testURL":"http://t","reportURL":"http://r")";
    const struct {
        std::string params, answer;
    } refused[] = {
        {urls + R"(,"testMode":"downloadMode")", fail(st, "parameter_error")},
        {urls + R"(,"testMode":"fastMode","downloadURL":"http://d")", fail(st, "parameter_error")},
        {R"("reportURL":"http://r","testMode":"serverMode")", fail(st, "parameter_error")},
    };
    for (const auto &r : refused)
        EXPECT_EQ(run(cmd(st, r.params)), r.answer) << r.params;
    EXPECT_EQ(sim.call_count("*"), 0u);

    // Server mode needs no download URL; the WAN is the internet connection's and the source "APP".
    EXPECT_EQ(run(cmd(st, urls + R"(,"testMode":"serverMode")")), ok(st));
    EXPECT_EQ(speed("DiagnosticsState"), "'Requested'");
    EXPECT_EQ(speed("TestMode"), "'ServerMode'");
    EXPECT_EQ(speed("TestURL"), "'http://t'");
    EXPECT_EQ(speed("ReportURL"), "'http://r'");
    EXPECT_EQ(speed("DownloadURL"), "''");
    EXPECT_EQ(speed("WANName"), "'1_INTERNET_R_VID_41'");
    EXPECT_EQ(speed("Source"), "'APP'");
    // A running test is left alone.
    EXPECT_EQ(run(cmd(st, R"("testURL":"http://other","reportURL":"http://r","testMode":"serverMode")")),
              fail(st, "Wait_For_Completed"));
    EXPECT_EQ(speed("TestURL"), "'http://t'");

    sim.set_property(kSpeedTest, kSpeedIface, "DiagnosticsState", "'Completed'");
    EXPECT_EQ(run(cmd(st, urls + R"(,"testMode":"downloadMode","downloadURL":"http://d","WANName":"w2",)"
                                 R"("Source":"PLATFORM-LONG")")),
              ok(st));
    EXPECT_EQ(speed("TestMode"), "'DownloadMode'");
    EXPECT_EQ(speed("DownloadURL"), "'http://d'");
    EXPECT_EQ(speed("WANName"), "'w2'");
    EXPECT_EQ(speed("Source"), "'PLATFORM'");
}

TEST_F(LogCommands, SpeedTestFailuresHaveTheirOwnWords)
{
    const std::string st = "HTTP_SPEED_TEST_OVER_TESTSERVER";
    const std::string request = cmd(st, R"("testURL":"http://t","reportURL":"http://r","testMode":"serverMode")");
    sim.fail_next("GetInternetConnIndex");
    EXPECT_EQ(run(request), fail(st, "NO_WANNAME"));
    sim.fail_next("SetValues");
    EXPECT_EQ(run(request), fail(st, "SET_FAILED"));
    sim.remove_object(kSpeedTest);
    EXPECT_EQ(run(request), fail(st, "NO_SpeedTestTry"));
    EXPECT_EQ(run_plain("QUERY_SPEEDTEST_STAT_OVER_TESTSERVER"),
              fail("QUERY_SPEEDTEST_STAT_OVER_TESTSERVER", "NO_SpeedTestTry"));
}

TEST_F(LogCommands, SpeedTestQueryReportsTheFinishedTestAndItsStatus)
{
    const std::string q = "QUERY_SPEEDTEST_STAT_OVER_TESTSERVER";
    sim.control("SetSpeedTest", g_variant_new("(us)", 60000u, "3"));
    ASSERT_EQ(run(cmd("HTTP_SPEED_TEST_OVER_TESTSERVER",
                      R"("testURL":"http://t","reportURL":"http://r","testMode":"serverMode","WANName":"w1")")),
              ok("HTTP_SPEED_TEST_OVER_TESTSERVER"));
    const std::string running = run_plain(q);
    EXPECT_EQ(running.substr(0, running.find(R"(,"pppoeIP")")),
              R"({"CmdType":")" + q + R"(","SequenceId":"1","Status":"0","status":"STAT_TESTING")");
    sim.control("FinishSpeedTest", nullptr);
    const std::string members = R"("status":"STAT_TEST_FINISHED","pppoeIP":"100.64.12.7","pppoeName":"w1",)"
                                R"("cspeed":"93.6","aspeed":"91.2","bspeed":"1.8","maxspeed":"97.4",)"
                                R"("starttime":"2026-01-05 10:00:00","endtime":"2026-01-05 10:00:15",)"
                                R"("totalsize":"175112192","backgroundsize":"3276800","failcode":"3"})";
    EXPECT_EQ(run_plain(q), R"({"CmdType":")" + q + R"(","SequenceId":"1","Status":"1",)" + members);
    const struct {
        const char *failcode, *status, *answer_status;
    } rows[] = {{"'0'", "'STAT_TEST_FINISHED'", "0"},
                {"'x'", "'STAT_TEST_FINISHED'", "0"},
                {"'3'", "'STAT_TESTING'", "0"},
                {"'3'", "'STAT_TEST_FINISHED'", "1"}};
    for (const auto &r : rows) {
        sim.set_property(kSpeedTest, kSpeedIface, "Failcode", r.failcode);
        sim.set_property(kSpeedTest, kSpeedIface, "Status", r.status);
        const std::string a = run_plain(q);
        EXPECT_EQ(a.substr(0, a.find(R"(,"status")")),
                  R"({"CmdType":")" + q + R"(","SequenceId":"1","Status":")" + r.answer_status + "\"")
            << r.failcode << r.status;
        EXPECT_EQ(a.find("FailReason"), std::string::npos);
    }
}

// The log upload runs beside the main loop: these tests run the loop until the answer comes.
class ZepLogUpload : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        uloop_init();
    }
    void TearDown() override
    {
        gwagent::zep_log_cancel();
        CommandTest::TearDown();
    }
    void write(const std::string &abs, const std::string &content) { root.write(abs, content); }
    std::string upload(const std::string &path = "/log")
    {
        return cmd("GET_ZEP_LOG", R"("UploadPath":")" + server.url(path) + "\"");
    }
    // Runs the loop until an answer is queued (at most 20 s) and returns every answer.
    std::vector<std::string> answers_after_loop()
    {
        std::vector<std::string> got;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (got.empty() && std::chrono::steady_clock::now() < end) {
            uloop_run_timeout(20);
            got = agenttest::drain_answers();
        }
        return got;
    }
    // The members of the zip archive as "name=content" lines, read by python3's zipfile.
    std::string unzip(const std::string &zip)
    {
        const std::string file = root.path("/received.zip");
        std::ofstream(file, std::ios::binary) << zip;
        const char *argv[] = {"python3", "-c",
                              "import sys, zipfile\n"
                              "with zipfile.ZipFile(sys.argv[1]) as z:\n"
                              "    for i in z.infolist():\n"
                              "        print(i.filename + '=' + z.read(i).decode())\n",
                              file.c_str(), nullptr};
        gchar *out = nullptr;
        gint status = -1;
        EXPECT_TRUE(g_spawn_sync(nullptr, const_cast<char **>(argv), nullptr, G_SPAWN_SEARCH_PATH, nullptr, nullptr,
                                 &out, nullptr, &status, nullptr));
        EXPECT_EQ(status, 0);
        gw::GCharPtr text(out);
        return text ? text.get() : "";
    }
    // The data of the multipart part named "file" of the last upload.
    std::string file_part(const std::string &path = "/log")
    {
        const std::string head = server.last_head(path);
        const std::string body = server.last_body(path);
        const size_t b = head.find("boundary=");
        if (b == std::string::npos)
            return "";
        const std::string boundary = "--" + head.substr(b + 9, head.find("\r\n", b) - b - 9);
        const size_t part = body.find("name=\"file\"");
        const size_t data = body.find("\r\n\r\n", part);
        const size_t end = body.find("\r\n" + boundary, data);
        if (part == std::string::npos || data == std::string::npos || end == std::string::npos)
            return "";
        return body.substr(data + 4, end - data - 4);
    }
    gwtest::HttpServer server;
};

TEST_F(ZepLogUpload, UploadPathMustBePlainHttp)
{
    for (const char *params : {R"("UploadPath":"https://secure/log")", "", R"("UploadPath":5)"})
        EXPECT_EQ(run(cmd("GET_ZEP_LOG", params)), fail("GET_ZEP_LOG", "parameter_error")) << params;
    EXPECT_FALSE(gwagent::zep_log_uploading());
}

TEST_F(ZepLogUpload, LogFilesAreListedFixedFirstThenTheDirectoriesUpTo64)
{
    write("/hgutmp/zepsrv.log", "s");
    write("/map/var/zepmg.log", "m");
    write("/tmp/orvane/zep/o.log", "o");
    write("/var/log/plugin/p.log", "p");
    ASSERT_EQ(::mkdir(root.path("/var/log/plugin/sub").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(root.path("/hgutmp/zepsrv.log").c_str(), root.path("/var/log/plugin/link").c_str()), 0);
    EXPECT_EQ(gwagent::zep_log_files(), (std::vector<std::string>{"/map/var/zepmg.log", "/hgutmp/zepsrv.log",
                                                                  "/var/log/plugin/p.log", "/tmp/orvane/zep/o.log"}));
    for (int i = 0; i < 70; ++i)
        write("/var/log/zep/" + std::to_string(i) + ".log", "z");
    const std::vector<std::string> files = gwagent::zep_log_files();
    ASSERT_EQ(files.size(), 64u);
    EXPECT_EQ(files[1], "/hgutmp/zepsrv.log");
    EXPECT_EQ(files[63].rfind("/var/log/zep/", 0), 0u);
}

TEST_F(ZepLogUpload, ArchiveIsPostedAsTheFilePartAndRemoved)
{
    server.serve("/log", "ok");
    write("/hgutmp/zepsrv.log", "event line\n");
    write("/var/log/zep/gwagent.log", "agent line\n");
    ASSERT_EQ(agenttest::dispatch_command(21, upload()), 0);
    EXPECT_TRUE(gwagent::zep_log_uploading());
    EXPECT_EQ(answers_after_loop(), std::vector<std::string>{ok("GET_ZEP_LOG")});
    EXPECT_FALSE(gwagent::zep_log_uploading());
    EXPECT_EQ(server.requests("/log"), 1);
    EXPECT_EQ(server.last_head("/log").rfind("POST /log HTTP/1.1\r\n", 0), 0u);
    EXPECT_EQ(server.last_head("/log").find("Expect:"), std::string::npos);
    EXPECT_NE(server.last_body("/log").find("filename=\"log.zip\""), std::string::npos);
    // Members are stored under the paths the agent read them from.
    EXPECT_EQ(unzip(file_part()), root.path("/hgutmp/zepsrv.log") + "=event line\n\n" +
                                      root.path("/var/log/zep/gwagent.log") + "=agent line\n\n");
    EXPECT_FALSE(root.exists("/tmp/log.zip"));
}

TEST_F(ZepLogUpload, NoLogsGiveAnArchiveWithoutMembers)
{
    server.serve("/log", "ok");
    agenttest::dispatch_command(21, upload());
    EXPECT_EQ(answers_after_loop(), std::vector<std::string>{ok("GET_ZEP_LOG")});
    EXPECT_EQ(unzip(file_part()), "");
    EXPECT_TRUE(log.contains("Open dir error..."));
}

TEST_F(ZepLogUpload, FailingServerAnswersUploadLogFailedAndLeavesNoArchive)
{
    write("/hgutmp/zepsrv.log", "event line\n");
    server.hang_up("/gone");
    server.serve("/refused", "no", 500);
    for (const char *path : {"/gone", "/refused"}) {
        agenttest::dispatch_command(21, upload(path));
        EXPECT_EQ(answers_after_loop(), std::vector<std::string>{fail("GET_ZEP_LOG", "Upload log failed")}) << path;
        EXPECT_FALSE(root.exists("/tmp/log.zip")) << path;
    }
    EXPECT_TRUE(log.contains("curl_easy_perform() failed, "));
}

TEST_F(ZepLogUpload, SlowUploadKeepsTheLoopRunningAndRefusesASecondOne)
{
    server.serve("/slow", "ok");
    server.delay("/slow", 1500);
    agenttest::dispatch_command(21, upload("/slow"));
    // The loop serves other work (a heartbeat timer here) while the upload waits for the server.
    static int beats;
    beats = 0;
    struct uloop_timeout beat = {};
    beat.cb = [](struct uloop_timeout *t) {
        ++beats;
        uloop_timeout_set(t, 100);
    };
    uloop_timeout_set(&beat, 100);
    EXPECT_EQ(run(upload("/slow")), fail("GET_ZEP_LOG", "Upload log running"));
    EXPECT_EQ(answers_after_loop(), std::vector<std::string>{ok("GET_ZEP_LOG")});
    uloop_timeout_cancel(&beat);
    EXPECT_GE(beats, 5);
    EXPECT_EQ(server.requests("/slow"), 1);
}

}  // namespace
