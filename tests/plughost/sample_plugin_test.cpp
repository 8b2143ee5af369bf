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
#include "plugin_fixture.hpp"

namespace {

TEST(SamplePlugin, InstalledFromItsIpkItServesTheManagementInterfaceAndEndsOnStop)
{
    gwtest::TempRoot root;
    const std::string ipk = root.path("/tmp/sample_1.0.0_all.ipk");
    gwtest::write_bytes(ipk, plugtest::sample_ipk(root, "sample", "1.0.0"));
    ASSERT_EQ(plugtest::opkg_install(root, ipk), 0);
    ASSERT_TRUE(root.exists("/opt/apps/sample/files/sample"));
    EXPECT_NE(root.read("/usr/lib/opkg/status").find("Package: sample"), std::string::npos);

    gwtest::PrivateBus &bus = gwtest::PrivateBus::instance();
    gwtest::Child plugin({root.path("/opt/apps/sample/files/sample")}, {{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
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
