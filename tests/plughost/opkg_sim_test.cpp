// The package manager stand-in on packages built by the harness: database files in opkg's formats,
// as the host's readers take them, and hostile packages refused whole.
#include <sys/stat.h>
#include <sys/wait.h>

#include <regex>
#include <string>
#include <vector>

#include <glib.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "ipk_builder.hpp"
#include "plughost_registry.h"

namespace {

using gwtest::TarMember;

std::string ipk(const std::string &control, const std::vector<TarMember> &data, bool ar = false)
{
    std::vector<TarMember> outer{
        {"./debian-binary", "2.0\n"},
        {"./control.tar.gz",
         gwtest::make_tar_gz({{"./control", control}, {"./postinst", "#!/bin/sh\nexit 1\n", TarMember::File, 0755}})},
        {"./data.tar.gz", gwtest::make_tar_gz(data)}};
    if (!ar)
        return gwtest::make_tar_gz(outer);
    std::string out = "!<arch>\n";
    for (const TarMember &m : outer) {
        char header[61];
        snprintf(header, sizeof header, "%-16s%-12s%-6s%-6s%-8s%-10zu`\n", (m.name.substr(2) + "/").c_str(), "0", "0",
                 "0", "100644", m.data.size());
        out.append(header, 60);
        out += m.data;
        if (m.data.size() & 1)
            out += '\n';
    }
    return out;
}

std::string control(const std::string &name, const std::string &version, const std::string &extra = "")
{
    return "Package: " + name + "\nVersion: " + version + "\n" + extra + "Architecture: arm\nDescription: demo\n";
}

const std::vector<TarMember> kData = {
    {"./opt/", "", TarMember::Dir, 0755},
    {"./opt/apps/demo/bin/run", "#!/bin/sh\n", TarMember::File, 0755},
    {"./opt/apps/demo/etc/conf", "a=1\n", TarMember::File, 0600},
    {"./opt/apps/demo/lib/libx.so", "libx.so.1", TarMember::Symlink},
};

class OpkgSim : public ::testing::Test {
protected:
    // Runs the stand-in; returns its exit status and fills out with its standard output.
    int opkg(std::vector<std::string> args, std::string *out = nullptr, bool offline_root = false)
    {
        std::vector<std::string> argv{"/usr/bin/python3", gwtest::build_dir() + "/sim/opkg/opkg"};
        if (offline_root) {
            argv.push_back("-o");
            argv.push_back(root.dir());
        }
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char *> cargv;
        for (auto &a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        gw::StrvPtr env(g_get_environ());
        if (offline_root)
            env.reset(g_environ_unsetenv(env.release(), "GW_ROOT"));
        char *sout = nullptr;
        char *serr = nullptr;
        int status = -1;
        gw::ErrorPtr err;
        gboolean ok = g_spawn_sync(nullptr, cargv.data(), env.get(), G_SPAWN_DEFAULT, nullptr, nullptr, &sout, &serr,
                                   &status, gw::ErrorOut(err));
        gw::GCharPtr hold_out(sout), hold_err(serr);
        EXPECT_TRUE(ok) << gw::error_text(err);
        if (out)
            *out = sout ? sout : "";
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string package(const std::string &name, const std::string &bytes)
    {
        std::string path = root.path("/tmp/" + name);
        gwtest::write_bytes(path, bytes);
        return path;
    }
    std::string status_without_time() const
    {
        return std::regex_replace(root.read("/usr/lib/opkg/status"), std::regex("Installed-Time: [0-9]+\n"),
                                  "Installed-Time: T\n");
    }
    gwtest::TempRoot root;
};

TEST_F(OpkgSim, InstallWritesStatusInfoAndListAndUnpacksTheData)
{
    const std::string ctl = control("demo", "1.0.0", "Depends: libc, libgwbus\nEssential: yes\n");
    ASSERT_EQ(opkg({"install", package("demo_1.0.0_arm.ipk", ipk(ctl, kData)), "--force-downgrade"}), 0);

    EXPECT_EQ(status_without_time(), "Package: demo\nVersion: 1.0.0\nDepends: libc, libgwbus\n"
                                     "Status: install user installed\nEssential: yes\nArchitecture: arm\n"
                                     "Installed-Time: T\n\n");
    EXPECT_EQ(root.read("/usr/lib/opkg/info/demo.control"), ctl);
    EXPECT_EQ(root.read("/usr/lib/opkg/info/demo.postinst"), "#!/bin/sh\nexit 1\n");
    EXPECT_EQ(root.read("/usr/lib/opkg/info/demo.list"),
              "/opt/apps/demo/bin/run\n/opt/apps/demo/etc/conf\n/opt/apps/demo/lib/libx.so\n");
    EXPECT_EQ(root.read("/opt/apps/demo/etc/conf"), "a=1\n");
    struct stat st {};
    ASSERT_EQ(lstat(root.path("/opt/apps/demo/etc/conf").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(lstat(root.path("/opt/apps/demo/lib/libx.so").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(plughost::opkg_installed("demo"));

    std::string out;
    ASSERT_EQ(opkg({"list-installed"}, &out), 0);
    EXPECT_EQ(out, "demo - 1.0.0\n");
    ASSERT_EQ(opkg({"info", "demo"}, &out), 0);
    EXPECT_EQ(std::regex_replace(out, std::regex("Installed-Time: [0-9]+\n"), "Installed-Time: T\n"),
              "Package: demo\nVersion: 1.0.0\nDepends: libc, libgwbus\nEssential: yes\nArchitecture: arm\n"
              "Status: install user installed\nDescription: demo\nInstalled-Time: T\n\n");
    ASSERT_EQ(opkg({"info", "other"}, &out), 0);
    EXPECT_EQ(out, "");
}

TEST_F(OpkgSim, ArArchivesAndTheOfflineRootOptionWorkAlike)
{
    ASSERT_EQ(opkg({"install", package("libq.ipk", ipk(control("libq", "2"), kData, true))}, nullptr, true), 0);
    EXPECT_TRUE(plughost::opkg_installed("libq"));
    EXPECT_EQ(root.read("/opt/apps/demo/bin/run"), "#!/bin/sh\n");
}

TEST_F(OpkgSim, UpgradeReplacesTheStanzaAndDropsFilesTheNewVersionLacks)
{
    ASSERT_EQ(opkg({"install", package("a.ipk", ipk(control("demo", "1.0"), kData))}), 0);
    std::vector<TarMember> v2 = {{"./opt/apps/demo/bin/run", "v2\n", TarMember::File, 0755}};
    ASSERT_EQ(opkg({"install", package("b.ipk", ipk(control("demo", "1.1"), v2))}), 0);
    EXPECT_EQ(status_without_time(), "Package: demo\nVersion: 1.1\nStatus: install user installed\n"
                                     "Architecture: arm\nInstalled-Time: T\n\n");
    EXPECT_EQ(root.read("/opt/apps/demo/bin/run"), "v2\n");
    EXPECT_FALSE(root.exists("/opt/apps/demo/etc/conf"));
    EXPECT_EQ(root.read("/usr/lib/opkg/info/demo.list"), "/opt/apps/demo/bin/run\n");
}

TEST_F(OpkgSim, DowngradeNeedsTheForceFlag)
{
    ASSERT_EQ(opkg({"install", package("a.ipk", ipk(control("demo", "1.10"), kData))}), 0);
    const std::string old = package("b.ipk", ipk(control("demo", "1.9"), kData));
    EXPECT_EQ(opkg({"install", old}), 255);
    std::string out;
    ASSERT_EQ(opkg({"list-installed"}, &out), 0);
    EXPECT_EQ(out, "demo - 1.10\n");
    EXPECT_EQ(opkg({"install", old, "--force-downgrade"}), 0);
    ASSERT_EQ(opkg({"list-installed"}, &out), 0);
    EXPECT_EQ(out, "demo - 1.9\n");
}

TEST_F(OpkgSim, HostilePackagesAreRefusedBeforeAnythingIsWritten)
{
    const std::vector<std::vector<TarMember>> hostile = {
        {{"./ok", "x"}, {"../escape", "x"}},
        {{"./opt/a/../../../escape", "x"}},
        {{"./ok", "x"}, {"/abs", "x"}},
        {{"./ok", "x"}, {"./link", "/", TarMember::Symlink}, {"./link/escape", "x"}},
        {{"./ok", "x"}, {"./hard", "../../etc/passwd", TarMember::Hardlink}},
    };
    for (size_t i = 0; i < hostile.size(); ++i) {
        EXPECT_EQ(opkg({"install", package("h.ipk", ipk(control("evil", "1"), hostile[i]))}), 255) << i;
        EXPECT_FALSE(root.exists("/ok")) << i;
        EXPECT_FALSE(plughost::opkg_installed("evil")) << i;
    }
    EXPECT_FALSE(root.exists("/../escape"));
    EXPECT_EQ(opkg({"install", package("n.ipk", ipk(control("../x", "1"), kData))}), 255);
    EXPECT_EQ(opkg({"install", root.path("/tmp/none.ipk")}), 255);
    EXPECT_EQ(opkg({"install", package("junk.ipk", "not a package at all")}), 255);
}

TEST_F(OpkgSim, RemoveDeletesFilesInfoAndStanzaUnlessEssentialOrDependedUpon)
{
    ASSERT_EQ(opkg({"install", package("l.ipk", ipk(control("libdep", "1"), {{"./usr/lib/libdep.so", "so"}}))}), 0);
    ASSERT_EQ(opkg({"install", package("d.ipk", ipk(control("demo", "1", "Depends: libdep (>= 1)\n"), kData))}), 0);
    ASSERT_EQ(opkg({"install", package("e.ipk", ipk(control("ess", "1", "Essential: yes\n"), {{"./e", "e"}}))}), 0);

    EXPECT_EQ(opkg({"remove", "libdep"}), 255);
    EXPECT_TRUE(plughost::opkg_installed("libdep"));
    EXPECT_EQ(opkg({"remove", "ess", "--force-remove"}), 255);
    EXPECT_TRUE(plughost::opkg_installed("ess"));

    ASSERT_EQ(opkg({"remove", "demo", "--force-remove", "--force-removal-of-essential-packages", "--force-depends"}),
              0);
    EXPECT_FALSE(plughost::opkg_installed("demo"));
    EXPECT_FALSE(root.exists("/opt/apps/demo/bin/run"));
    EXPECT_FALSE(root.exists("/usr/lib/opkg/info/demo.control"));
    EXPECT_FALSE(root.exists("/usr/lib/opkg/info/demo.list"));
    ASSERT_EQ(opkg({"remove", "libdep"}), 0);
    ASSERT_EQ(opkg({"remove", "ess", "--force-removal-of-essential-packages"}), 0);
    EXPECT_EQ(root.read("/usr/lib/opkg/status"), "");
    EXPECT_EQ(opkg({"remove", "never"}), 0);
    EXPECT_EQ(opkg({"frobnicate"}), 255);
    EXPECT_EQ(opkg({"remove", "x", "--force-everything"}), 255);
}

}  // namespace
