// A real plug-in container as root: a static plug-in program under its own user in its own
// namespaces, started with Run and stopped with Stop through the AppAgent service on a private bus.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_service.h"
#include "plughost_users.h"
#include "plugin_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using plughost::Registry;

std::string proc_line(int pid, const std::string &key)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, key.size() + 1, key + ":") == 0)
            return line.substr(key.size() + 1);
    return "";
}

std::string ns_of(const std::string &pid, const char *ns)
{
    std::error_code ec;
    return fs::read_symlink("/proc/" + pid + "/ns/" + ns, ec).string();
}

// The pid of a child of `parent`, or -1.
int child_of(int parent)
{
    for (const auto &e : fs::directory_iterator("/proc")) {
        const std::string n = e.path().filename().string();
        if (n.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::string ppid = proc_line(std::stoi(n), "PPid");
        if (!ppid.empty() && std::stoi(ppid) == parent)
            return std::stoi(n);
    }
    return -1;
}

// The four container kinds: a plug-in's class picks a root or a user container, Essential the
// preinstalled path.
struct Kind {
    const char *label;
    int plugin_class;
    int essential;
    const char *home;  // container path
    const char *uid;   // of the plug-in process as /proc shows it
};
GW_ROW_PRINTS_AS(Kind, label)
const Kind kKinds[] = {
    {"app", 0, 0, "/opt/apps/", "\t200\t200\t200\t200"},
    {"essapp", 0, 1, "/opt/preinstall/", "\t200\t200\t200\t200"},
    {"rootapp", 1, 0, "/opt/apps/", "\t0\t0\t0\t0"},
    {"rootess", 1, 1, "/opt/preinstall/", "\t0\t0\t0\t0"},
};

class RealContainer : public ::testing::TestWithParam<Kind> {
protected:
    void SetUp() override
    {
        ROOT_TEST_NEEDS(plugtest::lxc_missing());
        root_ = std::make_unique<gwtest::TempRoot>();
        plugtest::prepare_root(*root_);
        const Kind &k = GetParam();
        root_->write("/usr/lib/opkg/info/" + name_ + ".control",
                     "Package: " + name_ + "\nVersion: 1.0\nArchitecture: arm\nVendor: Acme\nDbusVersion: 1\n" +
                         "pluginClass: " + std::to_string(k.plugin_class) + (k.essential ? "\nEssential: yes" : "") +
                         "\nmaxProcs: 16\n");
        root_->write("/usr/lib/opkg/status",
                     "Package: " + name_ + "\nVersion: 1.0\nStatus: install user installed\n\n");
        const std::string program = std::string(k.home) + name_ + "/files/" + name_;
        fs::create_directories(root_->path(std::string(k.home) + name_ + "/files"));
        fs::copy_file(gwtest::build_dir() + "/tests/plughost/plughost_test_plugin", root_->path(program));
        chmod(root_->path(program).c_str(), 0755);

        gwtest::PrivateBus::instance();
        gw::ErrorPtr err;
        server_.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
        ASSERT_TRUE(server_) << gw::error_text(err);
        id_ = plughost::service_register(server_.get(), reg_);
        ASSERT_NE(id_, 0u);
    }
    void TearDown() override
    {
        if (id_)
            g_dbus_connection_unregister_object(server_.get(), id_);
        if (reg_.find(name_)) {
            plughost::plughost_stop_all_containers(reg_);
            plughost::plughost_destroy_container(name_, true, reg_);
            plughost::plughost_remove_plugin(name_, uid_, reg_);
        }
    }

    // Calls a method of the service from this connection (the reply is dispatched by the loop here).
    std::string call(const char *method, const std::string &name)
    {
        return plugtest::call_own(server_.get(), plughost::kServicePath, plughost::kServiceInterface, method,
                                  g_variant_new("(s)", name.c_str()), 20000);
    }

    // Container cgroups are named machine-wide, so the name is this process's own.
    const std::string name_ = "ct" + std::to_string(getpid());
    std::unique_ptr<gwtest::TempRoot> root_;
    Registry reg_;
    gw::ConnectionPtr server_;
    unsigned id_ = 0;
    uid_t uid_ = 0;
};

TEST_P(RealContainer, RunStartsThePluginUnderItsUserInItsOwnNamespacesAndStopEndsIt)
{
    const Kind &k = GetParam();
    const std::string control = root_->path("/usr/lib/opkg/info/" + name_ + ".control");
    uid_ = plugtest::make_host_side(reg_, control);
    ASSERT_FALSE(HasFailure());
    plughost::PluginRecord *rec = reg_.find(name_);
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(uid_, k.plugin_class ? 0u : 200u);
    const std::string home = std::string(k.home) + name_;
    EXPECT_EQ(rec->container_path, home);
    EXPECT_TRUE(root_->exists(home + "/" + name_ + "/rootfs/files"));
    const std::string config = root_->read(home + "/" + name_ + "/config");
    EXPECT_NE(config.find(std::string("# plug-in ") + k.label + "\n"), std::string::npos) << config;
    if (!k.plugin_class) {
        const std::vector<std::string> lines = {
            "lxc.idmap = u 0 200 1\n",
            "lxc.idmap = g 0 200 1\n",
            "lxc.net.0.type = none\n",
            "lxc.mount.auto = proc:rw\n",
            "lxc.cgroup.memory.limit_in_bytes = 5M\n",
            "lxc.environment = LD_LIBRARY_PATH=/lib:/usr/lib\n",
            "lxc.mount.entry = " + root_->dir() + home + "/files files none rw,bind,optional 0 0\n",
        };
        for (const std::string &line : lines)
            EXPECT_NE(config.find(line), std::string::npos) << line << config;
        EXPECT_EQ(config.find("lxc.cgroup.cpu.shares"), std::string::npos) << config;
    } else {
        EXPECT_EQ(config.find("lxc.idmap"), std::string::npos) << config;
    }
    EXPECT_EQ(call("GetStatus", name_), "('STOPPED',)");

    ASSERT_EQ(call("Run", name_), "(0,)");
    EXPECT_EQ(call("GetStatus", name_), "('RUNNING',)");
    EXPECT_EQ(call("Run", name_), "(-15,)");
    EXPECT_FALSE(plughost::stop_marked(name_));

    const int init = rec->container->init_pid();
    ASSERT_GT(init, 0);
    int plugin = -1;
    ASSERT_TRUE(gwtest::wait_until([&] { return (plugin = child_of(init)) > 0; }));
    EXPECT_EQ(proc_line(plugin, "Uid"), k.uid);
    EXPECT_EQ(proc_line(plugin, "Gid"), k.uid);
    {
        std::ifstream comm("/proc/" + std::to_string(plugin) + "/comm");
        std::string name;
        std::getline(comm, name);
        EXPECT_EQ(name, name_);
    }
    // A user container has its own user namespace; a root one shares the host's users.
    if (!k.plugin_class) {
        EXPECT_NE(ns_of(std::to_string(plugin), "user"), ns_of("self", "user"));
    }
    for (const char *ns : {"mnt", "pid", "uts", "ipc"})
        EXPECT_NE(ns_of(std::to_string(plugin), ns), ns_of("self", ns)) << ns;
    {
        std::ifstream limits("/proc/" + std::to_string(plugin) + "/limits");
        std::string text((std::istreambuf_iterator<char>(limits)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Max processes             16                   16"), std::string::npos) << text;
        EXPECT_NE(text.find("Max open files            64                   64"), std::string::npos) << text;
    }

    EXPECT_EQ(call("Stop", name_), "(0,)");
    EXPECT_TRUE(gwtest::wait_until([&] { return !rec->container->running(); }, std::chrono::milliseconds(15000)));
    EXPECT_EQ(call("GetStatus", name_), "('STOPPED',)");
    EXPECT_TRUE(plughost::stop_marked(name_));

    EXPECT_EQ(plughost::plughost_destroy_container(name_, false, reg_), 0);
    EXPECT_FALSE(root_->exists(home + "/" + name_));
}

INSTANTIATE_TEST_SUITE_P(Kinds, RealContainer, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind> &info) { return std::string(info.param.label); });

}  // namespace
