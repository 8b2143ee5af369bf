// Storage, log upload, speed test and report commands against the simulator.

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include <gw/ubox.h>

#include "command_steps.hpp"
#include "commands/cmd_check_hardware.h"
#include "commands/cmd_device_speed.h"
#include "commands/cmd_lan_reports.h"
#include "commands/cmd_vpn_traffic.h"
#include "commands/cmd_zep_log.h"
#include "core/fifo_buffer.h"
#include "gwbus/bus.h"
#include "http_server.hpp"
#include "platform/conn.h"
#include "platform/records.h"

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

// The storage commands through the storage dispatch, against the simulator's NAS on a real directory
// tree below its storage directory ("/mnt" of the gateway).
namespace storage {

constexpr const char *kStorageTypes[] = {"COPY", "CREATE_FOLDER", "GET_DISC_INF", "GET_FILE_NUM",
                                         "LIST", "MOVE",          "REMOVE",       "RENAME"};

class StorageCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        gw::VariantPtr dir = sim.control("StorageDir", nullptr, "(s)");
        ASSERT_TRUE(dir);
        const char *text = nullptr;
        g_variant_get(dir.get(), "(&s)", &text);
        storage_ = text;
        mkdir("/usb1");
        mkdir("/usb1/docs");
        mkdir("/usb1/docs/old");
        file("/usb1/docs/a.txt", "hello");
    }
    void mkdir(const std::string &rel) { ASSERT_EQ(::mkdir((storage_ + rel).c_str(), 0755), 0) << rel; }
    void file(const std::string &rel, const std::string &content)
    {
        std::ofstream(storage_ + rel) << content;
        // 2024-01-02 03:04:05 UTC
        const utimbuf t{1704164645, 1704164645};
        ::utime((storage_ + rel).c_str(), &t);
    }
    bool exists(const std::string &rel) const
    {
        struct stat st {};
        return ::lstat((storage_ + rel).c_str(), &st) == 0;
    }
    std::string nas(const std::string &command)
    {
        agenttest::dispatch_command(21, command, "SetPluginParameterValues", "NAS");
        const auto answers = agenttest::drain_answers();
        EXPECT_EQ(answers.size(), 1u) << command;
        return answers.empty() ? std::string() : answers[0];
    }
    std::string storage_;
};

TEST_F(StorageCommands, ActionsChangeTheTreeAndListsDescribeIt)
{
    const struct {
        std::string command, answer;
    } steps[] = {
        {cmd("CREATE_FOLDER", R"("FolderName":"/mnt/usb1/new")"), ok("CREATE_FOLDER")},
        {cmd("COPY", R"("FileName":"/mnt/usb1/docs/a.txt","NewFolderName":"/mnt/usb1/new")"), ok("COPY")},
        {cmd("RENAME", R"("CurrFileName":"/mnt/usb1/new/a.txt","NewFileName":"/mnt/usb1/new/b.txt")"), ok("RENAME")},
        {cmd("MOVE", R"("FileName":"/mnt/usb1/new/b.txt","NewFolderName":"/mnt/usb1/docs")"), ok("MOVE")},
        {cmd("REMOVE", R"("FileName":"/mnt/usb1/new")"), ok("REMOVE")},
        {cmd("GET_FILE_NUM", R"("FolderName":"/mnt/usb1/docs")"), ok("GET_FILE_NUM", R"("FileNum":3)")},
        // Entries 0 and 1 of a.txt, b.txt, old; copies, renames and moves keep the modification time.
        {cmd("LIST", R"("FolderName":"/mnt/usb1/docs","StartIndex":0,"EndIndex":1)"),
         ok("LIST", R"("FileList":[{"FileName":"a.txt","PhysicalFolderName":"/mnt/usb1/docs/a.txt","IsFolder":"0",)"
                    R"("FileSize":"5","ModifiedTime":"2024-01-02 03:04:05"},{"FileName":"b.txt",)"
                    R"("PhysicalFolderName":"/mnt/usb1/docs/b.txt","IsFolder":"0","FileSize":"5",)"
                    R"("ModifiedTime":"2024-01-02 03:04:05"}])")},
        {cmd("LIST", R"("FolderName":"/mnt/usb1/docs/old","StartIndex":0,"EndIndex":9)"),
         ok("LIST", R"("FileList":[])")},
    };
    for (const auto &s : steps)
        EXPECT_EQ(nas(s.command), s.answer) << s.command;
    // A folder is marked as one (its size and time are the file system's).
    gwagent::JsonPtr third =
        agenttest::parse(nas(cmd("LIST", R"("FolderName":"/mnt/usb1/docs","StartIndex":2,"EndIndex":2)")));
    json_t *entry = json_array_get(json_object_get(third.get(), "FileList"), 0);
    EXPECT_STREQ(json_string_value(json_object_get(entry, "FileName")), "old");
    EXPECT_STREQ(json_string_value(json_object_get(entry, "IsFolder")), "1");
    EXPECT_TRUE(exists("/usb1/docs/a.txt"));
    EXPECT_TRUE(exists("/usb1/docs/b.txt"));
    EXPECT_FALSE(exists("/usb1/new"));
}

TEST_F(StorageCommands, DiscListIsCopiedInOrderAndEmptyWithoutDisc)
{
    sim.set_reply("GetDiscInfo",
                  "([('usb1_1', 'USB2.0', '1G', '3G', '4G'), ('usb2_1', 'USB3.0', '0', '8G', '8G')], uint32 0, '')");
    EXPECT_EQ(nas(cmd("GET_DISC_INF")),
              ok("GET_DISC_INF",
                 R"("DiscList":[{"DiscName":"usb1_1","ConnectInterface":"USB2.0","UsedSize":"1G",)"
                 R"("FreeSize":"3G","TotalSize":"4G"},{"DiscName":"usb2_1","ConnectInterface":"USB3.0",)"
                 R"("UsedSize":"0","FreeSize":"8G","TotalSize":"8G"}])"));
    sim.set_reply("GetDiscInfo", "");
    EXPECT_EQ(nas(cmd("REMOVE", R"("FileName":"/mnt/usb1")")), ok("REMOVE"));
    EXPECT_EQ(nas(cmd("GET_DISC_INF")), ok("GET_DISC_INF", R"("DiscList":[])"));
}

TEST_F(StorageCommands, PathsLeavingTheStorageAreRefusedWithTheServiceText)
{
    ASSERT_EQ(::symlink("/etc", (storage_ + "/usb1/out").c_str()), 0);
    const struct {
        std::string command, answer;
    } rows[] = {
        {cmd("CREATE_FOLDER", R"("FolderName":"/mnt/usb1/../../x")"),
         fail("CREATE_FOLDER", "path /mnt/usb1/../../x leaves the storage")},
        {cmd("REMOVE", R"("FileName":"/etc/passwd")"), fail("REMOVE", "path /etc/passwd is not on the storage")},
        {cmd("COPY", R"("FileName":"/mnt/usb1/out/passwd","NewFolderName":"/mnt/usb1")"),
         fail("COPY", "path /mnt/usb1/out/passwd leaves the storage")},
        {cmd("MOVE", R"("FileName":"/mnt/usb1/docs/a.txt","NewFolderName":"/mnt/usb1/out")"),
         fail("MOVE", "path /mnt/usb1/out leaves the storage")},
        {cmd("RENAME", R"("CurrFileName":"/mnt/usb1/docs/a.txt","NewFileName":"mnt/usb1/a.txt")"),
         fail("RENAME", "path mnt/usb1/a.txt is not on the storage")},
        {cmd("GET_FILE_NUM", R"("FolderName":"/mnt/usb1/out")"),
         fail("GET_FILE_NUM", "path /mnt/usb1/out leaves the storage")},
        // A refused list fails the call; the service's text is not shown.
        {cmd("LIST", R"("FolderName":"/mnt/..","StartIndex":0,"EndIndex":9)"), fail("LIST", "callMethod_failed")},
    };
    for (const auto &r : rows)
        EXPECT_EQ(nas(r.command), r.answer) << r.command;
    EXPECT_TRUE(exists("/usb1/docs/a.txt"));
    EXPECT_FALSE(exists("/usb1/a.txt"));
}

TEST_F(StorageCommands, BadParametersAnswerParameterErrorWithoutACall)
{
    const struct {
        std::string command, answer, log;
    } rows[] = {
        {cmd("LIST", R"("FolderName":"/mnt/usb1","StartIndex":0)"), fail("LIST", "parameter_error"),
         "LIST json string missing Parameter EndIndex"},
        {cmd("LIST", R"("FolderName":"/mnt/usb1","StartIndex":"0","EndIndex":3)"), fail("LIST", "parameter_error"),
         "LIST json string missing Parameter StartIndex"},
        {cmd("LIST", R"("FolderName":"/mnt/usb1","StartIndex":-1,"EndIndex":3)"), fail("LIST", "parameter_error"),
         "LIST index out of range"},
        {cmd("COPY", R"("FileName":"/mnt/usb1/docs/a.txt")"), fail("COPY", "parameter_error"),
         "COPY json string missing Parameter NewFolderName"},
        // Both missing parameters are named.
        {cmd("RENAME"), fail("RENAME", "parameter_error"), "RENAME json string missing Parameter NewFileName"},
        {cmd("RENAME"), fail("RENAME", "parameter_error"), "RENAME json string missing Parameter CurrFileName"},
        {cmd("GET_FILE_NUM", R"("FolderName":7)"), fail("GET_FILE_NUM", "parameter_error"),
         "GET_FILE_NUM json string missing Parameter FolderName"},
    };
    for (const auto &r : rows) {
        log.clear();
        EXPECT_EQ(nas(r.command), r.answer) << r.command;
        EXPECT_TRUE(log.contains(r.log)) << r.log;
    }
    EXPECT_EQ(sim.call_count("*"), 0u);
}

TEST_F(StorageCommands, ServiceRefusalsAndFailedCalls)
{
    // A refusal's text is the answer; without a text the action still counts as failed.
    sim.set_reply("Copy", "(uint32 3, 'disk full')");
    EXPECT_EQ(nas(cmd("COPY", R"("FileName":"/mnt/usb1/docs/a.txt","NewFolderName":"/mnt/usb1")")),
              fail("COPY", "disk full"));
    EXPECT_TRUE(log.contains("mth_Copy() return failed, status = 3, disk full."));
    sim.set_reply("Remove", "(uint32 3, '')");
    EXPECT_EQ(nas(cmd("REMOVE", R"("FileName":"/mnt/usb1/docs/a.txt")")), fail("REMOVE", "callMethod_failed"));
    EXPECT_TRUE(exists("/usb1/docs/a.txt"));
    sim.set_reply("GetFileNum", "(uint32 0, uint32 5, 'no such folder')");
    EXPECT_EQ(nas(cmd("GET_FILE_NUM", R"("FolderName":"/mnt/usb1/x")")), fail("GET_FILE_NUM", "no such folder"));
    sim.set_reply("GetDiscInfo", "([('usb1', 'USB', '1', '2', '3')], uint32 2, 'busy')");
    EXPECT_EQ(nas(cmd("GET_DISC_INF")), fail("GET_DISC_INF", "callMethod_failed"));
    sim.fail_next("Rename");
    EXPECT_EQ(nas(cmd("RENAME", R"("CurrFileName":"/mnt/usb1/docs/a.txt","NewFileName":"/mnt/usb1/docs/c")")),
              fail("RENAME", "callMethod_failed"));
    EXPECT_TRUE(log.contains("mth_Rename() failed, t_ret = -1."));
}

TEST_F(StorageCommands, TextParametersAreCutTo63Characters)
{
    const std::string name = "/mnt/usb1/" + std::string(70, 'f');
    EXPECT_EQ(nas(cmd("CREATE_FOLDER", R"("FolderName":")" + name + "\"")), ok("CREATE_FOLDER"));
    EXPECT_EQ(sim.last_args("CreateFolder"), "('" + name.substr(0, 63) + "',)");
    EXPECT_TRUE(exists("/usb1/" + std::string(53, 'f')));
}

TEST_F(StorageCommands, LongListStopsAtAWholeEntryWithinTheAnswerBuffer)
{
    for (int i = 0; i < 60; ++i)
        file("/usb1/docs/" + std::to_string(100 + i) + std::string(40, 'x'), "z");
    const std::string answer = nas(cmd("LIST", R"("FolderName":"/mnt/usb1/docs","StartIndex":0,"EndIndex":99)"));
    gwagent::JsonPtr obj = agenttest::parse(answer);
    ASSERT_TRUE(obj);
    const size_t kept = json_array_size(json_object_get(obj.get(), "FileList"));
    // Each entry takes about 180 bytes: the cut leaves less than one entry of the 5632 bytes unused.
    EXPECT_LT(answer.size(), 5632u);
    EXPECT_GT(answer.size(), 5632u - 200u);
    EXPECT_GT(kept, 20u);
    EXPECT_LT(kept, 62u);
    EXPECT_STREQ(
        json_string_value(json_object_get(json_array_get(json_object_get(obj.get(), "FileList"), 0), "FileName")),
        ("100" + std::string(40, 'x')).c_str());
}

TEST_F(StorageCommands, GatewayWithoutUsbRefusesEveryStorageCommand)
{
    g_dev_info.DevUSB = 0;
    for (const char *type : kStorageTypes)
        EXPECT_EQ(nas(cmd(type, R"("FolderName":"/mnt/usb1/x")")), fail(type, "NOT_SUPPORT_USB")) << type;
    EXPECT_EQ(sim.call_count("*"), 0u);
    EXPECT_FALSE(exists("/usb1/x"));
}

}  // namespace storage

// The log upload and speed test commands: Get_Log and the speed test against the simulator, GET_ZEP_LOG
// against a loopback HTTP server that receives the archive, unzipped here by an independent reader.
namespace logs {

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

}  // namespace logs

// The device speed report (its timer fired here) and the hardware check (its result signal emitted by
// the simulator), against the default profile.
namespace report {

constexpr char kHost[] = "/com/yvc/igd1/Config/LANHosts/";
constexpr char kHostIface[] = "com.yvc.igd1.LANHost";

uint32_t g_clock = 1700000000u;
uint32_t test_clock() { return g_clock; }

class ReportCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        copy_truncated(g_dev_info.MAC, "A1B2C3D4E5F6");
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        gwagent_set_clock(test_clock);
    }
    void TearDown() override
    {
        gwagent::device_speed_reset();
        gwagent::check_hardware_reset();
        gwagent::lan_reports_reset();
        gwagent::vpn_traffic_reset();
        gwagent_set_clock(nullptr);
        fifo_buffer_clear(&g_msg_srv_fifo_buf);
        CommandTest::TearDown();
    }
    void counter(int host, const char *name, unsigned long long value)
    {
        sim.set_property(kHost + std::to_string(host), kHostIface, name, "uint64 " + std::to_string(value));
    }
    // Fires a report timer; the texts pushed to the message server since the last call.
    std::vector<std::string> fire(struct uloop_timeout *t = gwagent::device_speed_timer())
    {
        uloop_timeout_cancel(t);
        t->cb(t);
        return pushed();
    }
    std::vector<std::string> pushed()
    {
        std::vector<std::string> pushed;
        void *p = nullptr;
        while (fifo_buffer_get(&g_msg_srv_fifo_buf, &p, nullptr) == 0) {
            pushed.emplace_back(static_cast<char *>(p));
            free(p);
        }
        return pushed;
    }
};

TEST_F(ReportCommands, DeviceSpeedParametersAreCheckedBeforeAnythingChanges)
{
    const std::string ds = "DEVICE_SPEED";
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"10","List":[])")), ok(ds));
    for (const char *params : {R"("Time":"10","List":[])", R"("Enable":1,"List":[])", R"("Enable":1,"Time":"10")",
                               R"("Enable":1,"Time":"-5","List":[])", R"("Enable":1,"Time":"99999999999","List":[])",
                               R"("Enable":1,"Time":"10","List":{})",
                               R"("Enable":1,"Time":"10","List":[{"MAC":"A0B1C2D3E4F1"},{"Mac":"x"}])"})
        EXPECT_EQ(run(cmd(ds, params)), fail(ds, "parameter_error")) << params;
    EXPECT_TRUE(log.contains("DEVICE_SPEED Time : -5 is invalid."));
    EXPECT_TRUE(log.contains("DEVICE_SPEED Parameter List json type is invalid, should be array"));
    // The running report was left alone.
    EXPECT_EQ(run_plain("GET_DEVICE_SPEED"), ok("GET_DEVICE_SPEED", R"("Enable":1)"));
    EXPECT_TRUE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, DeviceSpeedReportsRatesOfListedHostsAndTheGateway)
{
    const std::string ds = "DEVICE_SPEED";
    // The gateway's own MAC, in another case, adds the gateway.
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"10","List":[{"MAC":"a0b1c2d3e4f1"},{"MAC":"a1b2c3d4e5f6"}])")), ok(ds));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::device_speed_timer()) + 500) / 1000, 10);
    counter(1, "TxBytes", 654321 + 102400);  // 100 KiB in 10 s: 80 kbps
    counter(1, "RxBytes", 123456 + 56320);   // 55 KiB: 5 KiB/s cut to whole, 40 kbps
    sim.set_property("/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "BytesSent", "uint64 124480789");
    sim.set_property("/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "BytesReceived", "uint64 5");
    EXPECT_EQ(fire(), std::vector<std::string>{
                          R"({"CmdType":" DEVICE_SPEED","GateWay":{"MAC":"A1B2C3D4E5F6","UsBandwidth":"800kbps",)"
                          R"("DsBandwidth":"0kbps"},"Device":[{"DevName":"phone-anna","DevMAC":"A0B1C2D3E4F1",)"
                          R"("UsBandwidth":"80kbps","DsBandwidth":"40kbps"}]})"});
    EXPECT_TRUE(gwagent::device_speed_timer()->pending);

    // A new request replaces the report whole: every online host, first rates 0, no gateway.
    ASSERT_EQ(run(cmd(ds, R"("Enable":1,"Time":"5","List":[])")), ok(ds));
    EXPECT_EQ(fire(), std::vector<std::string>{
                          R"({"CmdType":" DEVICE_SPEED","Device":[{"DevName":"phone-anna","DevMAC":"A0B1C2D3E4F1",)"
                          R"("UsBandwidth":"0kbps","DsBandwidth":"0kbps"},{"DevName":"laptop-ben",)"
                          R"("DevMAC":"a0b1c2d3e4f2","UsBandwidth":"0kbps","DsBandwidth":"0kbps"}]})"});

    ASSERT_EQ(run(cmd(ds, R"("Enable":0,"Time":"5","List":[])")), ok(ds));
    EXPECT_EQ(run_plain("GET_DEVICE_SPEED"), ok("GET_DEVICE_SPEED", R"("Enable":0)"));
    EXPECT_FALSE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, DeviceSpeedWithTimeZeroEndsAtTheFirstExpiryWithoutAReport)
{
    ASSERT_EQ(run(cmd("DEVICE_SPEED", R"("Enable":1,"Time":"0","List":[])")), ok("DEVICE_SPEED"));
    EXPECT_EQ(fire(), std::vector<std::string>{});
    EXPECT_TRUE(log.contains("disable DEVICE_SPEED report."));
    EXPECT_FALSE(gwagent::device_speed_timer()->pending);
}

TEST_F(ReportCommands, LanDeviceAccessForwardsEachSignalWhileSubscribed)
{
    const std::string access = "LAN_DEVICE_ACCESS", get = "GET_LAN_DEVICE_ACCESS";
    EXPECT_EQ(run(cmd(access, R"("Enable":0)")), fail(access, "DISABLE_FAILED"));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    EXPECT_EQ(run(cmd(access, R"("Enable":"1")")), fail(access, "parameter_error"));
    EXPECT_EQ(run(cmd(access, R"("Enable":1)")), ok(access));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    auto emit = [&](const char *payload) {
        sim.control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Config/LANHosts",
                                                "com.yvc.igd1.LANHostManager", "LanDeviceAccess", payload));
    };
    emit("(@a{sv} {},)");
    emit("('dev-1', 'A0B1C2D3E4F1', '192.168.1.20', 'LAN1', byte 1, byte 0, 'phone \"x\"', 'Android', '2024-01-02')");
    ASSERT_TRUE(gwtest::wait_until([] { return fifo_buffer_get_num(&g_msg_srv_fifo_buf) > 0; }));
    EXPECT_EQ(pushed(), std::vector<std::string>{R"({"CmdType":"LAN_DEVICE_ACCESS","Info":"dev-1:A0B1C2D3E4F1:)"
                                                 R"(192.168.1.20:LAN1:1:0:phone \"x\":Android:2024-01-02"})"});
    EXPECT_TRUE(log.contains("get info from LanDeviceAccess is invalid."));
    EXPECT_EQ(run(cmd(access, R"("Enable":0)")), ok(access));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

TEST_F(ReportCommands, LanSpeedReportsTheSelectedPortsOnItsTimer)
{
    const std::string set = "SET_LAN_SPEED", get = "GET_LAN_SPEED";
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"0")")), fail(set, "Parse input params fail!"));
    EXPECT_EQ(run(cmd(set, R"("Time":"10")")), fail(set, "Parse input params fail!"));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    // A negative time is taken as its size; indexes outside 1..32 select nothing.
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"-10","List":[{"index":2},{"index":40}])")), ok(set));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::lan_speed_timer()) + 500) / 1000, 10);
    const char *port2 = "/com/yvc/igd1/Config/EthernetConfig/2";
    sim.set_property(port2, "com.yvc.igd1.EthernetConfig", "BytesSent", "uint64 2012800");  // 12800 B in 10 s
    // A counter that went back (the port was reset) counts from 0.
    sim.set_property(port2, "com.yvc.igd1.EthernetConfig", "BytesReceived", "uint64 2560");
    EXPECT_EQ(fire(gwagent::lan_speed_timer()),
              std::vector<std::string>{
                  R"({"CmdType":"LAN_SPEED","Traffic":[{"Index":2,"UsBandwidth":"10kbps","DsBandwidth":"2kbps"}]})"});
    EXPECT_TRUE(gwagent::lan_speed_timer()->pending);

    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"5","List":[{"index":40}])")), ok(set));
    EXPECT_EQ(fire(gwagent::lan_speed_timer()), std::vector<std::string>{R"({"CmdType":"LAN_SPEED","Traffic":[]})"});
    EXPECT_EQ(run(cmd(set, R"("Enable":0,"Time":"5")")), ok(set));
    EXPECT_FALSE(gwagent::lan_speed_timer()->pending);
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

TEST_F(ReportCommands, VpnTrafficReportsTheTunnelsOnItsTimer)
{
    const std::string set = "VPN_STATUC_TRAFFIC", get = "GET_VPN_STATUC_TRAFFIC";
    for (const char *params : {R"("Enable":2,"Time":"30")", R"("Enable":1,"Time":"3O")", R"("Enable":1,"Time":"-3")",
                               R"("Enable":1,"Time":"0")", R"("Enable":1)"})
        EXPECT_EQ(run(cmd(set, params)), fail(set, "Parse input params fail!")) << params;
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
    EXPECT_EQ(run(cmd(set, R"("Enable":1,"Time":"30")")), ok(set));
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":1)"));
    EXPECT_EQ((uloop_timeout_remaining64(gwagent::vpn_traffic_timer()) + 500) / 1000, 30);
    const char *tunnel = "/com/yvc/igd1/VPN/IPSec/1";
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "Status", "'Connected'");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "RxPkts", "uint64 10");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "TxPkts", "uint64 20");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "RxBytes", "uint64 10240");
    sim.set_property(tunnel, "com.yvc.igd1.VPN.IPSec", "TxBytes", "uint64 2047");
    EXPECT_EQ(fire(gwagent::vpn_traffic_timer()),
              std::vector<std::string>{
                  R"({"CmdType":"VPN_STATUC_TRAFFIC","Enable":1,"VPNType":"IPSec","VPNNum":1,"IPSecNum":1,)"
                  R"("IPSecList":[{"Index":1,"Enable":1,"Status":"Connected","RxPkts":"10","TxPkts":"20",)"
                  R"("RxBytes":"10","TxBytes":"1"}],"VxLANNum":1,"VxLANList":[{"Index":1,"Enable":0,"Status":"",)"
                  R"("RxPkts":"0","TxPkts":"0","RxBytes":"0","TxBytes":"0"}]})"});
    EXPECT_TRUE(gwagent::vpn_traffic_timer()->pending);
    // With the VPN off the lists are empty.
    sim.set_property("/com/yvc/igd1/VPN", "com.yvc.igd1.VPN", "Enable", "false");
    EXPECT_EQ(fire(gwagent::vpn_traffic_timer()),
              std::vector<std::string>{R"({"CmdType":"VPN_STATUC_TRAFFIC","Enable":0,"VPNType":"IPSec","VPNNum":1,)"
                                       R"("IPSecNum":0,"IPSecList":[],"VxLANNum":0,"VxLANList":[]})"});
    EXPECT_EQ(run(cmd(set, R"("Enable":0,"Time":"30")")), ok(set));
    EXPECT_FALSE(gwagent::vpn_traffic_timer()->pending);
    EXPECT_EQ(run_plain(get), ok(get, R"("Enable":0)"));
}

class HardwareCheck : public ReportCommands {
protected:
    void result(const std::string &payload)
    {
        sim.control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                                "CheckHardwareStatus", payload.c_str()));
        // The handler ends its own subscription once it has the result.
        EXPECT_TRUE(gwtest::wait_until([] {
            return check_dbus_SubscribeSignal_Enable(nullptr, "/com/yvc/igd1/Orvane/System", "com.yvc.igd1.SysCmd",
                                                     "CheckHardwareStatus") == 0;
        }));
    }
    const std::string start = "CHECK_HARDWARE_START";
    const std::string status = "CHECK_HARDWARE_STATUS";
};

TEST_F(HardwareCheck, StartThenResultThenExpiry)
{
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
    EXPECT_EQ(run_plain(start), ok(start));
    EXPECT_EQ(run_plain(start), ok(start));
    EXPECT_EQ(sim.call_count("CheckHardwareStart"), 1u);
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_TESTING"));
    result("({'CPUStatus': <'OK'>, 'WIFIStatus': <'OK'>, 'LSWStatus': <'FAIL'>, 'CodecStatus': <'OK'>, "
           "'OpticStatus': <'WEAK-SIGNAL'>, 'LAN1': <'UP'>, 'LAN2': <'DOWN'>, 'FAN': <'x'>}, uint32 0, '')");
    const std::string finished =
        ok(status, R"("CPUStatus":"OK","WIFIStatus":"OK","LSWStatus":"FAIL","CodecStatus":"OK",)"
                   R"("OpticStatus":"WEAK-SI","LANNum":2,"LAN1":"UP","LAN2":"DOWN")");
    EXPECT_EQ(run_plain(status), finished);
    EXPECT_TRUE(log.contains("7 key string is not match key [FAN]."));
    g_clock += 900;
    EXPECT_EQ(run_plain(status), finished);
    g_clock += 1;
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
}

TEST_F(HardwareCheck, FailuresOfTheStartAndOfTheCheck)
{
    sim.fail_next("CheckHardwareStart");
    EXPECT_EQ(run_plain(start), fail(start, "callMethod_failed"));
    sim.set_reply("CheckHardwareStart", "(uint32 4, 'self test busy')");
    EXPECT_EQ(run_plain(start), fail(start, "self test busy"));
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_NO_TEST"));
    sim.set_reply("CheckHardwareStart", "");

    EXPECT_EQ(run_plain(start), ok(start));
    result("(@a{sv} {}, uint32 5, 'optic module missing')");
    EXPECT_EQ(run_plain(status), fail(status, "optic module missing"));
    EXPECT_EQ(run_plain(start), ok(start));
    result("(@a{sv} {}, uint32 5, '')");
    EXPECT_EQ(run_plain(status), fail(status, "ERR_CHECK_ERROR"));
}

}  // namespace report
