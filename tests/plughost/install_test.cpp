// The install pipeline as root, through the AppAgent service on a private bus: packages served over
// loopback HTTP or lying in the root, real users and containers, the package manager stand-in, and
// the "UpgRep" report caught by a stand-in agent.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "http_server.hpp"
#include "ipk_builder.hpp"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_install.h"
#include "plughost_opkg.h"
#include "plughost_pluglist.h"
#include "plughost_service.h"
#include "plughost_users.h"
#include "plugin_fixture.hpp"
#include "root_tests.hpp"
#include "standin.hpp"

namespace {

namespace fs = std::filesystem;
using gwtest::TarMember;

const char kReportKey[] = "/com/yvc/gwagent1 com.yvc.gwagent1 UpgRep";

struct Package {
    std::string name;
    std::string version = "1.0";
    std::string extra;                  // more control lines
    std::string trailer;                // appended to the program, to tell versions apart
    std::vector<TarMember> extra_data;  // more members of the data archive
};

std::string make_package(const Package &p)
{
    const std::string control = "Package: " + p.name + "\nVersion: " + p.version +
                                "\nArchitecture: all\nVendor: Acme\nDbusVersion: 1\npluginClass: 0\n" + p.extra;
    const std::string dir = "./opt/apps/" + p.name + "/files/";
    std::vector<TarMember> data = {
        {"./opt/", "", TarMember::Dir, 0755},
        {"./opt/apps/", "", TarMember::Dir, 0755},
        {"./opt/apps/" + p.name + "/", "", TarMember::Dir, 0755},
        {dir, "", TarMember::Dir, 0755},
        {dir + p.name, plugtest::file_bytes(gwtest::build_dir() + "/tests/plughost/plughost_test_plugin") + p.trailer,
         TarMember::File, 0755}};
    data.insert(data.end(), p.extra_data.begin(), p.extra_data.end());
    return gwtest::make_tar_gz({{"./debian-binary", "2.0\n"},
                                {"./control.tar.gz", gwtest::make_tar_gz({{"./control", control}})},
                                {"./data.tar.gz", gwtest::make_tar_gz(data)}});
}

std::string stand_in_opkg() { return gwtest::build_dir() + "/sim/opkg/opkg"; }

// Packages with members outside the root only ever meet the stand-in, whatever $GW_OPKG says: its
// refusal is what is pinned down, and nothing else may get a chance to write them.
class StandInOpkg {
public:
    StandInOpkg()
    {
        if (const char *o = getenv("GW_OPKG"))
            saved_ = o;
        setenv("GW_OPKG", stand_in_opkg().c_str(), 1);
    }
    ~StandInOpkg() { setenv("GW_OPKG", saved_.c_str(), 1); }
    StandInOpkg(const StandInOpkg &) = delete;
    StandInOpkg &operator=(const StandInOpkg &) = delete;

private:
    std::string saved_;
};

class InstallPipeline : public ::testing::Test {
protected:
    void SetUp() override
    {
        ROOT_TEST_NEEDS(plugtest::lxc_missing());
        if (const char *o = getenv("GW_OPKG"); !o || !*o)
            setenv("GW_OPKG", stand_in_opkg().c_str(), 1);
        root_ = std::make_unique<gwtest::TempRoot>();
        plugtest::prepare_root(*root_);
        root_->write("/usr/lib/opkg/status", "");
        plughost::registry().clear();
        plughost::uid_pool().load();
        plughost::install_pipeline_enable();

        agent_ = std::make_unique<gwtest::StandIn>("com.yvc.gwagent1");
        agent_->reply(kReportKey, nullptr);
        gw::ErrorPtr err;
        server_.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        ASSERT_TRUE(server_) << gw::error_text(err);
        id_ = plughost::service_register(server_.get(), plughost::registry());
        ASSERT_NE(id_, 0u);
    }
    void TearDown() override
    {
        if (id_)
            g_dbus_connection_unregister_object(server_.get(), id_);
        plughost::Registry &reg = plughost::registry();
        for (plughost::PluginRecord *rec : reg.records()) {
            const std::string name = rec->name();
            const uid_t uid = rec->uid;
            plughost::plughost_destroy_container(name, true, reg);
            plughost::plughost_remove_plugin(name, uid, reg);
        }
        reg.clear();
        plughost::set_install_runner(nullptr);
    }

    // A method of the service called from this connection; the reply is dispatched by the loop here.
    std::string call(const char *method, const std::string &arg)
    {
        return plugtest::call_own(server_.get(), plughost::kServicePath, plughost::kServiceInterface, method,
                                  g_variant_new("(s)", arg.c_str()), 60000);
    }

    // Install or Upgrade through the bus, then the report the agent got for that task.
    std::string task(const char *method, const std::string &url)
    {
        const unsigned before = agent_->count(kReportKey);
        EXPECT_EQ(call(method, url), "(0,)") << url;
        EXPECT_TRUE(
            gwtest::wait_until([&] { return agent_->count(kReportKey) > before; }, std::chrono::milliseconds(90000)))
            << url;
        gw::VariantPtr args = agent_->last_args(kReportKey);
        if (!args || !g_variant_is_of_type(args.get(), G_VARIANT_TYPE("(sui)")))
            return std::string("not (sui): ") + (args ? g_variant_get_type_string(args.get()) : "none");
        gw::GCharPtr text(g_variant_print(args.get(), FALSE));
        return text.get();
    }

    std::string serve(const Package &p)
    {
        const std::string path = "/pkgs/" + p.name + "_" + p.version + "_arm.ipk";
        http_.serve(path, make_package(p));
        return http_.url(path);
    }

    bool has_line(const std::string &abs, const std::string &prefix) const
    {
        std::istringstream in(root_->exists(abs) ? root_->read(abs) : "");
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, prefix.size(), prefix) == 0)
                return true;
        return false;
    }

    // Everything an install makes for `name` that is still there, each by its word.
    std::vector<std::string> traces(const std::string &name) const
    {
        std::vector<std::string> out;
        if (plughost::registry().find(name))
            out.push_back("record");
        if (has_line("/etc/passwd", name + ":"))
            out.push_back("user");
        if (has_line("/etc/group", name + ":"))
            out.push_back("group");
        if (root_->exists("/etc/dbus-1/system.d/" + name + ".conf"))
            out.push_back("policy");
        if (root_->exists("/opt/apps/" + name))
            out.push_back("container path");
        if (!plughost::opkg_installed_version(name).empty())
            out.push_back("opkg");
        if (has_line(plughost::kPlugListFile, name + ":"))
            out.push_back("list line");
        if (root_->exists("/etc/config/plughost") &&
            root_->read("/etc/config/plughost").find(name) != std::string::npos)
            out.push_back("stop option");
        for (const auto &e : fs::directory_iterator(root_->path("/tmp")))
            if (e.path().filename().string() != ".uci")
                out.push_back("tmp " + e.path().filename().string());
        return out;
    }

    int uid_of(const std::string &name) const
    {
        std::istringstream in(root_->read("/etc/passwd"));
        for (std::string line; std::getline(in, line);)
            if (line.compare(0, name.size() + 1, name + ":") == 0)
                return std::stoi(line.substr(line.find(':', name.size() + 1) + 1));
        return -1;
    }

    bool running(const std::string &name)
    {
        return gwtest::wait_until([&] { return call("GetStatus", name) == "('RUNNING',)"; },
                                  std::chrono::milliseconds(15000));
    }

    // Container cgroups are named machine-wide, so names carry this process's id.
    std::string named(const char *prefix) const { return prefix + std::to_string(getpid() % 100000); }

    std::unique_ptr<gwtest::TempRoot> root_;
    std::unique_ptr<gwtest::StandIn> agent_;
    gwtest::HttpServer http_;
    gw::ConnectionPtr server_;
    unsigned id_ = 0;
};

TEST_F(InstallPipeline, InstallUpgradeAndUninstallThroughTheBusLeaveNothingBehind)
{
    const std::string name = named("ia");
    const std::string file = name + "_1.0_arm.ipk";
    EXPECT_EQ(task("Install", serve({name, "1.0"})), "('" + file + "', 0, 0)");
    EXPECT_EQ(call("InstQuery", name), "('SUCCESS', 100)");
    ASSERT_NE(plughost::registry().find(name), nullptr);
    const int uid = uid_of(name);
    EXPECT_GE(uid, 200);
    EXPECT_NE(root_->read("/etc/dbus-1/system.d/" + name + ".conf").find("<policy user=\"" + std::to_string(uid)),
              std::string::npos);
    const std::string config = "/opt/apps/" + name + "/" + name + "/config";
    EXPECT_TRUE(has_line(config, "lxc.idmap = u 0 " + std::to_string(uid) + " 1"));
    EXPECT_TRUE(has_line(plughost::kPlugListFile, name + ":"));
    EXPECT_EQ(fs::read_symlink(root_->path("/opt/apps/" + name + "/" + name + "/rootfs/etc/resolv.conf")),
              "/tmp/.uci/resolv.conf");
    ASSERT_TRUE(running(name));
    const int first_init = plughost::registry().find(name)->container->init_pid();

    // Install of an installed package is a forced upgrade: equal and older refused; a plain Upgrade
    // compares over the current version's length only.
    EXPECT_EQ(task("Install", serve({name, "1.0"})), "('" + file + "', 0, -10)");
    EXPECT_EQ(task("Install", serve({name, "0.9"})), "('" + name + "_0.9_arm.ipk', 0, -10)");
    EXPECT_EQ(task("Upgrade", serve({name, "1.0.1"})), "('" + name + "_1.0.1_arm.ipk', 0, -10)");
    EXPECT_EQ(plughost::opkg_installed_version(name), "1.0");
    // A newer package the package manager refuses: the old one keeps running under its own user.
    {
        StandInOpkg hostile;
        EXPECT_EQ(task("Upgrade", serve({name, "1.5", "", "", {{"../../escaped", "x"}}})),
                  "('" + name + "_1.5_arm.ipk', 0, -9)");
    }
    EXPECT_EQ(plughost::opkg_installed_version(name), "1.0");
    EXPECT_EQ(uid_of(name), uid);
    ASSERT_TRUE(running(name));
    EXPECT_EQ(plughost::registry().find(name)->control->Version, "1.0");

    EXPECT_EQ(task("Upgrade", serve({name, "2.0", "", "version 2"})), "('" + name + "_2.0_arm.ipk', 0, 0)");
    EXPECT_EQ(plughost::opkg_installed_version(name), "2.0");
    const std::string program = root_->read("/opt/apps/" + name + "/files/" + name);
    EXPECT_EQ(program.substr(program.size() - 9), "version 2");
    const int new_uid = uid_of(name);
    EXPECT_NE(new_uid, uid);
    EXPECT_TRUE(has_line(config, "lxc.idmap = u 0 " + std::to_string(new_uid) + " 1"));
    EXPECT_FALSE(has_line(config, "lxc.idmap = u 0 " + std::to_string(uid) + " 1"));
    ASSERT_TRUE(running(name));
    EXPECT_NE(plughost::registry().find(name)->container->init_pid(), first_init);

    EXPECT_EQ(call("Uninstall", name), "(0,)");
    EXPECT_EQ(traces(name), std::vector<std::string>{});
    EXPECT_EQ(call("Uninstall", name), "(-13,)");
}

struct FailureCase {
    const char *what;
    int code;
    const char *inst_query;
};

TEST_F(InstallPipeline, EveryFailureIsReportedWithItsCodeAndLeavesTheRootAsItWas)
{
    StandInOpkg hostile;  // only the hostile rows reach the package manager
    const std::string name = named("fb");
    const std::string big = make_package({name});
    const std::vector<std::pair<FailureCase, std::function<std::string()>>> cases = {
        {{"download error", -3, "('DOWNLOADERROR', 0)"},
         [&] {
             http_.hang_up("/gone/" + name + "_1.0_arm.ipk");
             return http_.url("/gone/" + name + "_1.0_arm.ipk");
         }},
        {{"1023 bytes", -1, "('FAILED', 100)"},
         [&] {
             http_.serve("/small/" + name + "_1.0_arm.ipk", big.substr(0, 1023));
             return http_.url("/small/" + name + "_1.0_arm.ipk");
         }},
        {{"local file missing", -4, "('FAILED', 100)"}, [&] { return "/tmp/" + name + "_1.0_arm.ipk"; }},
        {{"local file above the root", -2, "('FAILED', 100)"},
         [&] {
             gwtest::write_bytes(root_->dir() + "/../" + name + "_1.0_arm.ipk", big);
             return "/../" + name + "_1.0_arm.ipk";
         }},
        {{"no Vendor", -6, "('FAILED', 100)"},
         [&] {
             std::string ipk = make_package({name});
             http_.serve(
                 "/nov/" + name + "_1.0_arm.ipk",
                 gwtest::make_tar_gz(
                     {{"./debian-binary", "2.0\n"},
                      {"./control.tar.gz", gwtest::make_tar_gz({{"./control", "Package: " + name +
                                                                                  "\nVersion: 1.0\nArchitecture: arm\n"
                                                                                  "pluginClass: 0\n"}})},
                      {"./data.tar.gz", gwtest::make_tar_gz({{"./pad", ipk}})}}));
             return http_.url("/nov/" + name + "_1.0_arm.ipk");
         }},
        {{"used interface nobody provides", -7, "('FAILED', 100)"},
         [&] {
             return serve({name, "1.0", "usedInterface: com.nobody.iface1\n"});
         }},
        {{"data member above the root", -9, "('FAILED', 100)"},
         [&] {
             return serve({name, "1.0", "", "", {{"../../escaped", "x"}}});
         }},
        {{"absolute data member", -9, "('FAILED', 100)"},
         [&] {
             return serve({name, "1.0", "", "", {{"/abs_escaped", "x"}}});
         }},
        {{"container not created", -1003, "('FAILED', 100)"},
         [&] {
             fs::remove(root_->path("/usr/share/lxc/templates/lxc-app"));
             return serve({name});
         }},
    };
    for (const auto &[c, make_url] : cases) {
        SCOPED_TRACE(c.what);
        const std::string url = make_url();
        EXPECT_EQ(task("Install", url), "('" + name + "_1.0_arm.ipk', 0, " + std::to_string(c.code) + ")");
        EXPECT_EQ(call("InstQuery", name), c.inst_query);
        EXPECT_EQ(traces(name), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(root_->dir() + "/../escaped"));
        EXPECT_FALSE(fs::exists("/abs_escaped"));
        EXPECT_FALSE(plughost::uid_pool().used(200)) << "the uid went back to the pool";
    }
    fs::remove(root_->dir() + "/../" + name + "_1.0_arm.ipk");
}

TEST_F(InstallPipeline, AUrlWithShellWordsReachesThePackageManagerAsOneArgument)
{
    const std::string name = named("sh");
    const std::string url = "/tmp/x';touch pwned;'$(touch pwned2)`touch pwned3`_1.0_arm.ipk";
    gwtest::write_bytes(root_->path(url), make_package({name, "1.0", "pluginStatus: 1\n"}));
    EXPECT_EQ(task("Install", url), "(\"x';touch pwned;'$(touch pwned2)`touch pwned3`_1.0_arm.ipk\", 0, 0)");
    EXPECT_TRUE(root_->exists(url)) << "a local package stays where it was";
    for (const char *f : {"pwned", "pwned2", "pwned3"}) {
        EXPECT_FALSE(fs::exists(f)) << f;
        EXPECT_FALSE(root_->exists(std::string("/") + f)) << f;
    }
    EXPECT_TRUE(plughost::stop_marked(name));
    EXPECT_EQ(call("Uninstall", name), "(0,)");
    EXPECT_EQ(call("Uninstall", "x;reboot"), "(-13,)");
}

TEST_F(InstallPipeline, AProviderInUseStaysAndAnUpgradeMakingACycleKeepsTheOldDepends)
{
    const std::string provider = named("pv");
    const std::string user = named("us");
    const std::string p_iface = "com.acme." + provider, u_iface = "com.acme." + user;
    EXPECT_EQ(task("Install", serve({provider, "1.0", "pluginStatus: 1\nownInterface: " + p_iface + "\n"})),
              "('" + provider + "_1.0_arm.ipk', 0, 0)");
    EXPECT_EQ(
        task("Install",
             serve({user, "1.0", "pluginStatus: 1\nusedInterface: " + p_iface + "\nownInterface: " + u_iface + "\n"})),
        "('" + user + "_1.0_arm.ipk', 0, 0)");
    EXPECT_EQ(plughost::registry().find(user)->control->depends, std::vector<std::string>{provider});

    EXPECT_EQ(call("Uninstall", provider), "(-18,)");
    EXPECT_TRUE(root_->exists("/opt/apps/" + provider + "/" + provider + "/config"));

    EXPECT_EQ(
        task("Upgrade", serve({provider, "2.0",
                               "pluginStatus: 1\nusedInterface: " + u_iface + "\nownInterface: " + p_iface + "\n"})),
        "('" + provider + "_2.0_arm.ipk', 0, -17)");
    EXPECT_EQ(plughost::registry().find(provider)->control->depends, std::vector<std::string>{});
    EXPECT_EQ(plughost::opkg_installed_version(provider), "1.0");

    EXPECT_EQ(call("Uninstall", user), "(0,)");
    EXPECT_EQ(call("Uninstall", provider), "(0,)");
    EXPECT_EQ(traces(provider), std::vector<std::string>{});
}

// The pure rules, without root.
TEST(InstallRules, TaskNamesVersionRuleAndUpgradedContainerConfig)
{
    EXPECT_EQ(plughost::task_file_name("http://h/p/foo_1.0_arm.ipk"), "foo_1.0_arm.ipk");
    EXPECT_EQ(plughost::task_package_name("http://h/p/foo_1.0_arm.ipk"), "foo");
    EXPECT_EQ(plughost::task_package_name("/a/abcdefghijklmnopqrs_1.ipk"), "abcdefghijklmno");
    EXPECT_EQ(plughost::task_package_name("noslash_1.ipk"), "");

    struct {
        const char *current, *next;
        bool forced;
        int code;
    } const rules[] = {
        {"1.0", "1.0", false, -10},  {"1.0", "1.0.1", true, -10}, {"1.0", "0.9", false, 0},
        {"1.0", "0.9", true, -10},   {"1.0", "1.1", true, 0},     {"V00.00.0000", "1.0", false, 0},
        {"1.0.1", "1.0", true, -10},
    };
    for (const auto &r : rules)
        EXPECT_EQ(plughost::upgrade_version_rule(r.current, r.next, r.forced), r.code)
            << r.current << " -> " << r.next << (r.forced ? " forced" : "");

    const std::string config = "lxc.idmap = u 0 200 1\n"
                               "lxc.idmap = g 0 200 1\n"
                               "lxc.mount.entry = /r/uds/a uds/a none rw,bind 0 0\n"
                               "lxc.mount.entry = /r/opt/apps/a/files files none rw,bind,optional 0 0\n"
                               "lxc.environment = X=0 200 1\n";
    EXPECT_EQ(plughost::upgraded_container_config(config, "/r/uds", 200, 201),
              "lxc.idmap = u 0 201 1\n"
              "lxc.idmap = g 0 201 1\n"
              "lxc.mount.entry = /r/opt/apps/a/files files none rw,bind,optional 0 0\n"
              "lxc.environment = X=0 200 1\n");
}

}  // namespace
