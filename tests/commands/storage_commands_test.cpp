// The storage commands through the storage dispatch, against the simulator's NAS on a real directory
// tree below its storage directory ("/mnt" of the gateway).
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <fstream>
#include <string>
#include <vector>

#include "command_steps.hpp"

namespace {

using agenttest::cmd;
using agenttest::fail;
using agenttest::ok;

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

}  // namespace
