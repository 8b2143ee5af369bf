// File, directory and free-space helpers.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <regex>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/util.h"
#include "gwtest.hpp"

namespace {

mode_t mode_of(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

class Files : public ::testing::Test {
protected:
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

TEST_F(Files, CopyCrossesBlockBoundariesAndRefusesWhatItCannotCopy)
{
    std::string data;
    for (int i = 0; i < 10000; ++i)
        data += static_cast<char>('a' + i % 26);
    root.write("/opt/src.bin", data);
    root.write("/opt/dst.bin", std::string(20000, 'z'));
    ASSERT_EQ(copy_file(root.path("/opt/src.bin").c_str(), root.path("/opt/dst.bin").c_str()), 0);
    EXPECT_EQ(root.read("/opt/dst.bin"), data);
    std::string missing = root.path("/opt/none");
    EXPECT_EQ(copy_file(missing.c_str(), root.path("/opt/out").c_str()), -1);
    EXPECT_TRUE(logs.contains("stat(" + missing + ") error, No such file or directory"));
    root.write("/opt/empty", "");
    EXPECT_EQ(copy_file(root.path("/opt/empty").c_str(), root.path("/opt/out").c_str()), -1);
    EXPECT_TRUE(logs.contains("size of " + root.path("/opt/empty") + " is 0"));
    EXPECT_FALSE(root.exists("/opt/out"));
    root.write("/opt/src", "x");
    std::string to = root.path("/opt/no/such/dir/dst");
    EXPECT_EQ(copy_file(root.path("/opt/src").c_str(), to.c_str()), -1);
    EXPECT_TRUE(logs.contains("open file " + to + " error, "));
}

TEST_F(Files, CreateDirectoryCases)
{
    EXPECT_EQ(create_directory(root.path("/opt").c_str(), 0755), 0);
    EXPECT_EQ(create_directory(root.path("/opt/new").c_str(), 0750), 0);
    EXPECT_EQ(mode_of(root.path("/opt/new")) & 0700, 0700u);
    std::string deep = root.path("/opt/a/b/c");
    EXPECT_EQ(create_directory(deep.c_str(), 0755), -1);
    EXPECT_TRUE(logs.contains("failed to create directory " + deep));
}

TEST_F(Files, RemoveDirectoryUnlinksLinksWithoutFollowingAndNeedsADirectory)
{
    root.write("/keep/precious", "do not delete");
    root.write("/opt/tree/a/b/file1", "1");
    root.write("/opt/tree/file2", "2");
    ASSERT_EQ(::symlink(root.path("/keep").c_str(), root.path("/opt/tree/a/link").c_str()), 0);
    ASSERT_EQ(::symlink("/nonexistent", root.path("/opt/tree/dangling").c_str()), 0);
    EXPECT_EQ(remove_directory(root.path("/opt/tree").c_str()), 0);
    EXPECT_FALSE(root.exists("/opt/tree"));
    EXPECT_EQ(root.read("/keep/precious"), "do not delete");
    EXPECT_EQ(remove_directory(root.path("/opt/none").c_str()), -1);
    root.write("/opt/plain", "x");
    EXPECT_EQ(remove_directory(root.path("/opt/plain").c_str()), -1);
    EXPECT_TRUE(root.exists("/opt/plain"));
}

TEST_F(Files, SetFileModeOnlyAddsBitsAndDoesNotFollowLinks)
{
    std::string f = root.path("/opt/f");
    root.write("/opt/f", "x");
    ASSERT_EQ(::chmod(f.c_str(), 0600), 0);
    EXPECT_EQ(ucf_set_file_mode(f.c_str(), 0044), 0);
    EXPECT_EQ(mode_of(f), 0644u);
    EXPECT_EQ(ucf_set_file_mode(f.c_str(), 0400), 0);
    EXPECT_EQ(mode_of(f), 0644u);
    EXPECT_EQ(ucf_set_file_mode(f.c_str(), 0111), 0);
    EXPECT_EQ(mode_of(f), 0755u);
    EXPECT_EQ(ucf_set_file_mode(root.path("/opt/none").c_str(), 0644), -1);
    std::string target = root.path("/opt/target");
    root.write("/opt/target", "x");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    std::string link = root.path("/opt/link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    ucf_set_file_mode(link.c_str(), 0077);
    EXPECT_EQ(mode_of(target), 0600u);
}

TEST_F(Files, StatvfsNeedsStrictlyMoreThanAvailableInOptInfo)
{
    // Other processes change the free space; retry until one pass saw a stable figure.
    std::regex logged(R"(available size (\d+) bytes, needed size (\d+) bytes)");
    bool checked = false;
    for (int attempt = 0; attempt < 50 && !checked; ++attempt) {
        struct statvfs vfs {};
        ASSERT_EQ(::statvfs(root.path("/opt/info").c_str(), &vfs), 0);
        unsigned long long avail = static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize;
        logs.clear();
        int equal = ucf_statvfs(avail);
        int below = ucf_statvfs(avail - 1);
        auto lines = logs.lines();
        ASSERT_EQ(lines.size(), 2u);
        std::smatch m0, m1;
        ASSERT_TRUE(std::regex_search(lines[0], m0, logged));
        ASSERT_TRUE(std::regex_search(lines[1], m1, logged));
        if (std::stoull(m0[1]) != avail || std::stoull(m1[1]) != avail)
            continue;
        EXPECT_EQ(equal, -1);
        EXPECT_EQ(below, 0);
        checked = true;
    }
    EXPECT_TRUE(checked);
    EXPECT_EQ(ucf_statvfs(~0ULL), -1);
    EXPECT_EQ(ucf_statvfs(0), 0);
    ASSERT_EQ(::rmdir(root.path("/opt/info").c_str()), 0);
    EXPECT_EQ(ucf_statvfs(0), -1);
}

TEST_F(Files, FrameworkVersionNeedsLeadingV)
{
    char buf[64] = "unchanged";
    EXPECT_EQ(get_framework_version(buf), -1);
    EXPECT_STREQ(buf, "unchanged");
    root.write("/etc/openwrt_version", "1.2.3\n");
    EXPECT_EQ(get_framework_version(buf), -1);
    EXPECT_STREQ(buf, "unchanged");
    root.write("/etc/openwrt_version", "V2.1.0.7\nsecond line\n");
    EXPECT_EQ(get_framework_version(buf), 0);
    EXPECT_STREQ(buf, "V2.1.0.7");
    root.write("/etc/openwrt_version", "v" + std::string(100, '9') + "\n");
    EXPECT_EQ(get_framework_version(buf), 0);
    EXPECT_EQ(std::string(buf), "v" + std::string(62, '9'));
}

TEST_F(Files, AgentVersionFromControlFile)
{
    char buf[24] = "unchanged";
    EXPECT_EQ(get_gwagent_version(buf), -1);
    EXPECT_STREQ(buf, "unchanged");
    root.write("/usr/lib/opkg/info/gwagent.control", "Package: gwagent\nVersion: 3.4.5-r1\nArchitecture: arm\n");
    EXPECT_EQ(get_gwagent_version(buf), 0);
    EXPECT_STREQ(buf, "3.4.5-r1");
    root.write("/usr/lib/opkg/info/gwagent.control", "Version: 123456789012345678901234567890\n");
    EXPECT_EQ(get_gwagent_version(buf), 0);
    EXPECT_STREQ(buf, "12345678901234567890123");
}

}  // namespace
