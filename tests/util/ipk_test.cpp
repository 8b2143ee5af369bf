// Control-file extraction from real and hostile packages.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "gwbus/util.h"
#include "gwtest.hpp"
#include "ipk_builder.hpp"

namespace {

using gwtest::TarMember;

struct Freer {
    void operator()(char *p) const noexcept { std::free(p); }
};
using Owned = std::unique_ptr<char, Freer>;

std::set<std::string> list_tree(const std::string &dir, const std::string &rel = "")
{
    std::set<std::string> out;
    DIR *d = opendir((dir + rel).c_str());
    if (!d)
        return out;
    while (dirent *e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..")
            continue;
        std::string path = rel.empty() ? n : rel + "/" + n;
        struct stat st {};
        ::lstat((dir + "/" + path).c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            out.insert(path + "/");
            auto sub = list_tree(dir + "/", path);
            out.insert(sub.begin(), sub.end());
        } else {
            out.insert(path);
        }
    }
    closedir(d);
    return out;
}

std::string noise(size_t n)
{
    std::string s(n, '\0');
    unsigned x = 88172645u;
    for (auto &c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

class Ipk : public ::testing::Test {
protected:
    std::string write_ipk(const gwtest::IpkSpec &spec)
    {
        std::string p = root.path("/tmp/demo.ipk");
        gwtest::write_bytes(p, gwtest::make_ipk(spec));
        return p;
    }
    // The temporary directory of an extraction, from the returned control path.
    static std::string dir_of(const std::string &control) { return control.substr(0, control.rfind('/')); }

    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

TEST_F(Ipk, ControlFileOfARealPackage)
{
    gwtest::IpkSpec spec;
    spec.control = "Package: demo\nVersion: 1.2.3\nArchitecture: arm_cortex-a9\n";
    spec.postinst = "#!/bin/sh\nexit 0\n";
    Owned control(extract_control_file_from_ipk(write_ipk(spec).c_str()));
    ASSERT_TRUE(control);
    std::string path = control.get();
    std::string tmp = root.path("/tmp/");
    ASSERT_EQ(path.compare(0, tmp.size(), tmp), 0) << path;
    EXPECT_TRUE(std::regex_match(path.substr(tmp.size()), std::regex("[0-9a-f]{8}-[A-Za-z0-9]{6}/control"))) << path;
    std::string dir = dir_of(path);
    EXPECT_EQ(list_tree(dir), (std::set<std::string>{"control", "control.tar.gz"}));
    EXPECT_EQ(root.read(path.substr(root.dir().size())), spec.control);
    char *version = nullptr;
    ASSERT_EQ(comm_get_file_kv(path.c_str(), "Version", &version), 0);
    Owned v(version);
    EXPECT_STREQ(v.get(), "1.2.3");
    // Modification times come from the package.
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000000);
    EXPECT_TRUE(logs.contains("extract file end. ret = 0"));
    EXPECT_EQ(remove_directory(dir.c_str()), 0);
}

TEST_F(Ipk, SmallFileIsRefused)
{
    std::string p = root.path("/tmp/tiny.ipk");
    gwtest::write_bytes(p, std::string(511, 'x'));
    EXPECT_EQ(extract_control_file_from_ipk(p.c_str()), nullptr);
    EXPECT_TRUE(logs.contains(p + " is invalid, size 511"));
    EXPECT_EQ(extract_control_file_from_ipk(root.path("/tmp/none.ipk").c_str()), nullptr);
    EXPECT_EQ(extract_control_file_from_ipk(nullptr), nullptr);
}

TEST_F(Ipk, GarbageGivesAPathButNoFile)
{
    std::string p = root.path("/tmp/junk.ipk");
    gwtest::write_bytes(p, std::string(4096, '\x5a'));
    Owned control(extract_control_file_from_ipk(p.c_str()));
    ASSERT_TRUE(control);
    EXPECT_NE(::access(control.get(), F_OK), 0);
    EXPECT_TRUE(logs.contains("failed to extract " + dir_of(control.get()) + "/control.tar.gz"));
    EXPECT_EQ(remove_directory(dir_of(control.get()).c_str()), 0);
}

TEST_F(Ipk, HostileMembersNeverLeaveTheTemporaryDirectory)
{
    gwtest::IpkSpec spec;
    spec.extra_outer = {
        {"./../../etc/control", "evil1"},
        {"./control/../../../etc/control2", "evil2"},
        {"../control3", "evil3"},
        {"./controllink", "/etc", TarMember::Symlink},
        {"./controllink/control4", "evil4"},
        {"./controlhard", "/etc/passwd", TarMember::Hardlink},
        {"..control..", "harmless"},
    };
    spec.extra_control = {{"./control.d/../../../../etc/control5", "evil5"}};
    Owned control(extract_control_file_from_ipk(write_ipk(spec).c_str()));
    ASSERT_TRUE(control);
    std::string dir = dir_of(control.get());
    for (const char *p : {"/etc/control", "/etc/control2", "/tmp/control3", "/etc/control4", "/etc/control5"})
        EXPECT_FALSE(root.exists(p)) << p;
    auto tree = list_tree(dir);
    // The skipped link leaves the later member to create a plain directory of that name, inside.
    EXPECT_EQ(tree, (std::set<std::string>{"control", "control.tar.gz", "..control..", "controllink/",
                                           "controllink/control4"}));
    EXPECT_EQ(logs.count("outside the destination"), 4u);
    EXPECT_EQ(logs.count("not a regular file or directory"), 2u);
    EXPECT_EQ(remove_directory(dir.c_str()), 0);
}

TEST_F(Ipk, LinkedControlFileIsNotFollowed)
{
    root.write("/secret", "host data\n");
    gwtest::IpkSpec spec;
    // control.tar.gz whose "control" is a symbolic link to a file of the host.
    std::string inner = gwtest::make_tar_gz({{"./control", root.path("/secret"), TarMember::Symlink}});
    spec.extra_outer = {};
    std::string outer = gwtest::make_tar_gz(
        {{"./debian-binary", "2.0\n"}, {"./control.tar.gz", inner}, {"./data.tar.gz", noise(2048)}});
    std::string p = root.path("/tmp/link.ipk");
    gwtest::write_bytes(p, outer);
    Owned control(extract_control_file_from_ipk(p.c_str()));
    ASSERT_TRUE(control);
    struct stat st {};
    EXPECT_NE(::lstat(control.get(), &st), 0);
    EXPECT_TRUE(logs.contains("skip member ./control: not a regular file or directory"));
    EXPECT_EQ(remove_directory(dir_of(control.get()).c_str()), 0);
    EXPECT_EQ(root.read("/secret"), "host data\n");
}

TEST_F(Ipk, ExtractFiltersMembersAndStripsLeadingSlashes)
{
    std::string tgz = root.path("/tmp/a.tar.gz");
    gwtest::write_bytes(tgz, gwtest::make_tar_gz({{"//./control", "c1"},
                                                  {"./postinst", "p"},
                                                  {"./sub/", "", TarMember::Dir},
                                                  {"./sub/control.extra", "c2"},
                                                  {"./", "", TarMember::Dir}}));
    std::string out = root.path("/opt/out/");
    ASSERT_EQ(::mkdir(out.c_str(), 0755), 0);
    EXPECT_EQ(extract(tgz.c_str(), out.c_str(), 0), 0);
    EXPECT_EQ(list_tree(out), (std::set<std::string>{"control", "sub/", "sub/control.extra"}));
    EXPECT_EQ(root.read("/opt/out/control"), "c1");
    EXPECT_EQ(root.read("/opt/out/sub/control.extra"), "c2");
}

TEST_F(Ipk, ExtractReadsStandardInput)
{
    std::string tgz = root.path("/tmp/a.tar.gz");
    gwtest::write_bytes(tgz, gwtest::make_tar_gz({{"./control", "from stdin"}}));
    std::string out = root.path("/opt/");
    int saved = ::dup(STDIN_FILENO);
    int fd = ::open(tgz.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ::dup2(fd, STDIN_FILENO);
    ::close(fd);
    int rc = extract("-", out.c_str(), 0);
    ::dup2(saved, STDIN_FILENO);
    ::close(saved);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(root.read("/opt/control"), "from stdin");
}

TEST_F(Ipk, ExtractReportsUnreadableArchives)
{
    std::string out = root.path("/opt/");
    EXPECT_EQ(extract(root.path("/tmp/none.tar.gz").c_str(), out.c_str(), 0), 1);
    std::string junk = root.path("/tmp/junk");
    gwtest::write_bytes(junk, "this is not an archive at all, not even close.............");
    EXPECT_EQ(extract(junk.c_str(), out.c_str(), 0), 1);
    // Cut in the middle of the second member's header.
    std::string cut =
        gwtest::gzip(gwtest::make_tar({{"./control", "c"}, {"./control2", "d"}}).substr(0, 512 + 512 + 100));
    std::string tgz = root.path("/tmp/cut.tar.gz");
    gwtest::write_bytes(tgz, cut);
    EXPECT_EQ(extract(tgz.c_str(), out.c_str(), 0), 1);
    EXPECT_EQ(root.read("/opt/control"), "c");
    EXPECT_EQ(logs.count("error "), 3u);
}

}  // namespace
