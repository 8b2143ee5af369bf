// The SDK's sample plug-in installed from its ipk and started at boot by the real plughost in its own
// container, on a bus that enforces the plug-in's policy: the host reaches it (List, PostMsg, Stop),
// its user may call what its control file lists and nothing else.
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "plughost_registry.h"
#include "plughost_service.h"
#include "plugin_fixture.hpp"

namespace {

class PluginOnPolicyBus : public ::testing::Test {
protected:
    void SetUp() override
    {
        ROOT_TEST_NEEDS(plugtest::lxc_missing());
        ROOT_TEST_NEEDS(gwtest::PolicyBus::missing());
        plugtest::prepare_root(root_);
    }
    void TearDown() override
    {
        host_.stop(std::chrono::milliseconds(10000));
        if (reg_.find(name_)) {
            plughost::plughost_stop_all_containers(reg_);
            plughost::plughost_destroy_container(name_, true, reg_);
            plughost::plughost_remove_plugin(name_, uid_, reg_);
        }
    }

    // A method call on the bus as root; the reply printed, or "error: <D-Bus error name>".
    std::string call(const std::string &dest, const std::string &path, const std::string &iface, const char *method,
                     GVariant *args)
    {
        gw::ErrorPtr err;
        gw::VariantPtr r(g_dbus_connection_call_sync(bus_conn_.get(), dest.c_str(), path.c_str(), iface.c_str(), method,
                                                     args, nullptr, G_DBUS_CALL_FLAGS_NONE, 20000, nullptr,
                                                     gw::ErrorOut(err)));
        if (!r) {
            gw::GCharPtr remote(err ? g_dbus_error_get_remote_error(err.get()) : nullptr);
            return std::string("error: ") + (remote ? remote.get() : gw::error_text(err));
        }
        gw::GCharPtr text(g_variant_print(r.get(), FALSE));
        return text.get();
    }
    std::string host(const char *method, GVariant *args)
    {
        return call(plughost::kServiceName, plughost::kServicePath, plughost::kServiceInterface, method, args);
    }

    // The same call made by a process of the plug-in's user on the host side: exit code and output.
    int call_as_plugin_user(const std::string &dest, const std::string &path, const std::string &method,
                            std::string &out)
    {
        std::vector<std::string> argv = {"/usr/bin/setpriv",
                                         "--reuid=" + std::to_string(uid_),
                                         "--regid=" + std::to_string(uid_),
                                         "--clear-groups",
                                         "/usr/bin/gdbus",
                                         "call",
                                         "--address",
                                         bus_->address(),
                                         "--dest",
                                         dest,
                                         "--object-path",
                                         path,
                                         "--method",
                                         method,
                                         "--timeout",
                                         "10"};
        if (method.size() > 8 && method.compare(method.size() - 8, 8, ".PostMsg") == 0)
            argv.push_back("from-user");
        std::vector<char *> cargv;
        for (auto &a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        gchar *o = nullptr, *e = nullptr;
        int status = -1;
        gw::ErrorPtr err;
        EXPECT_TRUE(g_spawn_sync(nullptr, cargv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &o, &e, &status,
                                 gw::ErrorOut(err)))
            << gw::error_text(err);
        gw::GCharPtr ho(o), he(e);
        out = std::string(o ? o : "") + (e ? e : "");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    gwtest::TempRoot root_;
    // Container cgroups are named machine-wide, so the name is this process's own.
    const std::string name_ = "smp" + std::to_string(getpid());
    const std::string bus_name_ = "com.acme." + name_ + "1";
    const std::string bus_path_ = "/com/acme/" + name_ + "1";
    plughost::Registry reg_;
    uid_t uid_ = 0;
    std::unique_ptr<gwtest::PolicyBus> bus_;
    gw::ConnectionPtr bus_conn_;
    gwtest::Child host_;
};

TEST_F(PluginOnPolicyBus, StartedAtBootItAnswersThroughTheHostAndItsUserIsHeldToItsPolicy)
{
    const std::string ipk = root_.path("/tmp/" + name_ + "_1.0.0_all.ipk");
    // Room for a sanitizer build of the plug-in and its libraries.
    gwtest::write_bytes(ipk, plugtest::sample_ipk(root_, name_, "1.0.0",
                                                  "usedInterface: " + bus_name_ + ".management\nlxc_mem: 256M\n"));
    ASSERT_EQ(plugtest::opkg_install(root_, ipk), 0);
    uid_ = plugtest::make_host_side(reg_, root_.path("/usr/lib/opkg/info/" + name_ + ".control"));
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(uid_, 200u);
    EXPECT_NE(root_.read("/etc/dbus-1/system.d/" + name_ + ".conf")
                  .find("<allow send_interface=\"" + bus_name_ + ".management\"/>"),
              std::string::npos);

    bus_ = std::make_unique<gwtest::PolicyBus>(root_.dir());
    host_ = gwtest::Child({gwtest::build_dir() + "/plughost/plughost"},
                          {{"GW_ROOT", root_.dir()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus_->address()}});
    gw::ErrorPtr err;
    bus_conn_.reset(
        g_dbus_connection_new_for_address_sync(bus_->address().c_str(),
                                               GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                                               nullptr, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(bus_conn_) << gw::error_text(err);

    // Started at boot, the plug-in connects from inside its container as its own user.
    const auto dbus = [&](const char *method, const std::string &arg) {
        return call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                    g_variant_new("(s)", arg.c_str()));
    };
    ASSERT_TRUE(gwtest::wait_until([&] { return dbus("NameHasOwner", bus_name_) == "(true,)"; },
                                   std::chrono::milliseconds(30000)))
        << root_.read("/var/log/app_lxc.log");
    EXPECT_EQ(dbus("GetConnectionUnixUser", bus_name_), "(200,)");

    const std::string list = host("List", nullptr);
    const std::string entry = "'" + name_ + "': <('" + name_ + "_all', '1.0.0', uint32 1, ";
    ASSERT_NE(list.find(entry), std::string::npos) << list;
    EXPECT_EQ(list.find(entry + "0)"), std::string::npos) << list;

    EXPECT_EQ(host("PostMsg", g_variant_new("(ss)", name_.c_str(), "ping")),
              "(\"" + name_ + " got 'ping' after 0 reloads\",)");

    // The plug-in's user: what its control file lists gets through, the host's service does not.
    std::string out;
    EXPECT_EQ(call_as_plugin_user(bus_name_, bus_path_, bus_name_ + ".management.PostMsg", out), 0) << out;
    EXPECT_NE(out.find(name_ + " got 'from-user' after 0 reloads"), std::string::npos) << out;
    EXPECT_NE(call_as_plugin_user(plughost::kServiceName, plughost::kServicePath,
                                  std::string(plughost::kServiceInterface) + ".List", out),
              0);
    EXPECT_NE(out.find("org.freedesktop.DBus.Error.AccessDenied"), std::string::npos) << out;
    // Root is not held to it.
    EXPECT_NE(host("List", nullptr).find("error"), 0u);

    // Stop through the host: the plug-in ends, the container stops and stays stopped for the next boot.
    EXPECT_EQ(host("Stop", g_variant_new("(s)", name_.c_str())), "(0,)");
    EXPECT_TRUE(gwtest::wait_until([&] { return dbus("NameHasOwner", bus_name_) == "(false,)"; },
                                   std::chrono::milliseconds(15000)));
    EXPECT_TRUE(
        gwtest::wait_until([&] { return host("GetStatus", g_variant_new("(s)", name_.c_str())) == "('STOPPED',)"; },
                           std::chrono::milliseconds(15000)));
    EXPECT_TRUE(plughost::stop_marked(name_));

    // The next boot honours the mark.
    host_.stop(std::chrono::milliseconds(10000));
    host_ = gwtest::Child({gwtest::build_dir() + "/plughost/plughost"},
                          {{"GW_ROOT", root_.dir()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus_->address()}});
    ASSERT_TRUE(gwtest::wait_until([&] { return dbus("NameHasOwner", plughost::kServiceName) == "(true,)"; },
                                   std::chrono::milliseconds(10000)));
    EXPECT_EQ(host("GetStatus", g_variant_new("(s)", name_.c_str())), "('STOPPED',)");
    EXPECT_EQ(dbus("NameHasOwner", bus_name_), "(false,)");
}

}  // namespace
