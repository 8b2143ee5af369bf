// The SDK's sample plug-in as a plug-in developer ships it: packaged as an ipk, installed with opkg
// below the run-time root, run on the bus, and driven through the management interface the host calls.
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "ipk_builder.hpp"

namespace {

using gwtest::TarMember;

std::string file_bytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// opkg as the host runs it: $GW_OPKG when set (the real one, confined to the root), else the stand-in.
int opkg_install(const gwtest::TempRoot &root, const std::string &package)
{
    const char *program = std::getenv("GW_OPKG");
    std::vector<std::string> argv;
    if (program && *program)
        argv = {program, "install", package};
    else
        argv = {"/usr/bin/python3", gwtest::build_dir() + "/sim/opkg/opkg", "install", package};
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    gw::StrvPtr env(g_environ_setenv(g_get_environ(), "GW_ROOT", root.dir().c_str(), TRUE));
    int status = -1;
    gw::ErrorPtr err;
    if (!g_spawn_sync(nullptr, cargv.data(), env.get(), G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, nullptr, &status,
                      gw::ErrorOut(err)))
        ADD_FAILURE() << gw::error_text(err);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An ipk of the sample: control file, and the program under /opt/apps/sample.
std::string sample_ipk()
{
    const std::string control = "Package: sample\nVersion: 1.0.0\nArchitecture: all\nVendor: acme\n"
                                "DbusVersion: 1\nDescription: the SDK sample\n";
    const std::vector<TarMember> data = {{"./opt/", "", TarMember::Dir, 0755},
                                         {"./opt/apps/", "", TarMember::Dir, 0755},
                                         {"./opt/apps/sample/", "", TarMember::Dir, 0755},
                                         {"./opt/apps/sample/sample",
                                          file_bytes(gwtest::build_dir() + "/plughost/gw_sample_plugin"),
                                          TarMember::File, 0755}};
    return gwtest::make_tar_gz({{"./debian-binary", "2.0\n"},
                                {"./control.tar.gz", gwtest::make_tar_gz({{"./control", control}})},
                                {"./data.tar.gz", gwtest::make_tar_gz(data)}});
}

TEST(SamplePlugin, InstalledFromItsIpkItServesTheManagementInterfaceAndEndsOnStop)
{
    gwtest::TempRoot root;
    const std::string ipk = root.path("/tmp/sample_1.0.0_all.ipk");
    gwtest::write_bytes(ipk, sample_ipk());
    ASSERT_EQ(opkg_install(root, ipk), 0);
    ASSERT_TRUE(root.exists("/opt/apps/sample/sample"));
    EXPECT_NE(root.read("/usr/lib/opkg/status").find("Package: sample"), std::string::npos);

    gwtest::PrivateBus &bus = gwtest::PrivateBus::instance();
    gwtest::Child plugin({root.path("/opt/apps/sample/sample")}, {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    gw::ErrorPtr err;
    gw::ConnectionPtr c(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(c) << gw::error_text(err);
    auto call = [&](const char *method, GVariant *args, const char *type) {
        gw::ErrorPtr e;
        gw::VariantPtr r(g_dbus_connection_call_sync(c.get(), "com.acme.sample1", "/com/acme/sample1",
                                                     "com.acme.sample1.management", method, args, G_VARIANT_TYPE(type),
                                                     G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, gw::ErrorOut(e)));
        gw::GCharPtr text(r ? g_variant_print(r.get(), FALSE) : g_strdup(gw::error_text(e)));
        return std::string(text.get());
    };
    ASSERT_TRUE(gwtest::wait_until([&] { return call("Restore", nullptr, "(i)") == "(0,)"; },
                                   std::chrono::milliseconds(10000)));
    EXPECT_EQ(call("Reload", nullptr, "(i)"), "(0,)");
    EXPECT_EQ(call("PostMsg", g_variant_new("(s)", "ping"), "(s)"), R"(("sample got 'ping' after 1 reloads",))");
    EXPECT_EQ(call("Stop", nullptr, "(i)"), "(0,)");

    // Already gone on its own: the stop finds an exit status of 0, not a death by signal.
    ASSERT_TRUE(gwtest::wait_until([&] { return !plugin.running(); }, std::chrono::milliseconds(5000)));
    const int status = plugin.stop();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
