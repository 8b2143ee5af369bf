// Zip archives read back with an independent reader (python3's zipfile).
#include <sys/stat.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwbus/util.h"
#include "gwtest.hpp"

namespace {

using namespace std::chrono_literals;

// One line per member: "<name> <mode in octal> <size> <md5 of the contents>", then "END".
std::vector<std::string> read_zip(const std::string &path)
{
    static const char *script =
        "import hashlib, sys, zipfile\n"
        "z = zipfile.ZipFile(sys.argv[1])\n"
        "bad = z.testzip()\n"
        "for i in z.infolist():\n"
        "    d = z.read(i)\n"
        "    print(i.filename, oct((i.external_attr >> 16) & 0o7777), len(d), hashlib.md5(d).hexdigest())\n"
        "print('END' if bad is None else 'BAD ' + bad)\n";
    gwtest::Child child({"python3", "-c", script, path}, {}, true);
    std::vector<std::string> lines;
    std::string line;
    while (child.read_line(line, 10000ms)) {
        lines.push_back(line);
        if (line == "END" || line.rfind("BAD", 0) == 0)
            break;
    }
    return lines;
}

std::string md5(const std::string &s)
{
    gw::GCharPtr sum(g_compute_checksum_for_data(G_CHECKSUM_MD5, reinterpret_cast<const guchar *>(s.data()), s.size()));
    return sum.get();
}

class Zip : public ::testing::Test {
protected:
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
};

TEST_F(Zip, RegularFilesAreStoredUnderTheirPathsWith0644)
{
    std::string big;
    for (int i = 0; i < 50000; ++i)
        big += static_cast<char>(i * 7);
    root.write("/hgutmp/a.log", "alpha\n");
    root.write("/hgutmp/big.bin", big);
    root.write("/hgutmp/empty.log", "");
    ASSERT_EQ(::chmod(root.path("/hgutmp/a.log").c_str(), 0600), 0);
    std::string a = root.path("/hgutmp/a.log"), b = root.path("/hgutmp/big.bin"), e = root.path("/hgutmp/empty.log"),
                missing = root.path("/hgutmp/missing.log"), dir = root.path("/hgutmp");
    const char *files[] = {a.c_str(), e.c_str(), missing.c_str(), dir.c_str(), b.c_str(), nullptr};
    std::string zip = root.path("/tmp/logs.zip");
    ASSERT_EQ(archive_file_zip(zip.c_str(), files), 0);

    auto lines = read_zip(zip);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], a + " 0o644 6 " + md5("alpha\n"));
    EXPECT_EQ(lines[1], b + " 0o644 50000 " + md5(big));
    EXPECT_EQ(lines[2], "END");
    EXPECT_TRUE(logs.contains("stat file  " + missing + " failed."));
    EXPECT_TRUE(logs.contains("stat file  " + dir + " failed."));
}

TEST_F(Zip, UnwritableArchiveFails)
{
    root.write("/hgutmp/a.log", "alpha\n");
    std::string a = root.path("/hgutmp/a.log");
    const char *files[] = {a.c_str(), nullptr};
    EXPECT_EQ(archive_file_zip(root.path("/no/dir/x.zip").c_str(), files), -1);
    EXPECT_EQ(archive_file_zip(nullptr, files), -1);
    EXPECT_EQ(archive_file_zip(root.path("/tmp/x.zip").c_str(), nullptr), -1);
}

TEST_F(Zip, EmptyListGivesAnEmptyArchive)
{
    const char *files[] = {nullptr};
    std::string zip = root.path("/tmp/none.zip");
    ASSERT_EQ(archive_file_zip(zip.c_str(), files), 0);
    EXPECT_EQ(read_zip(zip), (std::vector<std::string>{"END"}));
}

}  // namespace
