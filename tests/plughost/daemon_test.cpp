// The plughost program on a private bus: it takes its name, loads the registry from the run-time root,
// answers List and stops cleanly on SIGTERM.
#include <sys/wait.h>

#include <chrono>
#include <string>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "plughost_service.h"

namespace {

TEST(PlughostDaemon, OwnsItsNameServesTheInstalledPackagesAndStopsOnTerm)
{
    gwtest::TempRoot root;
    gwtest::PrivateBus &bus = gwtest::PrivateBus::instance();
    root.write("/usr/lib/opkg/info/libq.control", "Package: libq\nVersion: 2.1\nArchitecture: arm\npluginClass: 0\n");
    root.write("/usr/lib/opkg/info/demo.control",
               "Package: demo\nVersion: 1\nArchitecture: arm\nVendor: v\nDbusVersion: 1\npluginClass: 0\n");
    root.write("/usr/lib/opkg/status", "Package: libq\nVersion: 2.1\nStatus: install user installed\n\n");

    gwtest::Child daemon({gwtest::build_dir() + "/plughost/plughost"},
                         {{"GW_ROOT", root.dir()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    gw::ErrorPtr err;
    gw::ConnectionPtr c(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(c) << gw::error_text(err);

    auto has_owner = [&] {
        gw::VariantPtr r(g_dbus_connection_call_sync(
            c.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
            g_variant_new("(s)", plughost::kServiceName), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 1000, nullptr,
            nullptr));
        gboolean owned = FALSE;
        if (r)
            g_variant_get(r.get(), "(b)", &owned);
        return owned == TRUE;
    };
    ASSERT_TRUE(gwtest::wait_until(has_owner, std::chrono::milliseconds(10000)));

    gw::VariantPtr list(g_dbus_connection_call_sync(
        c.get(), plughost::kServiceName, plughost::kServicePath, plughost::kServiceInterface, "List", nullptr,
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(list) << gw::error_text(err);
    gw::GCharPtr text(g_variant_print(list.get(), TRUE));
    // demo has no container configuration, so only the library loads.
    EXPECT_STREQ(text.get(), "({'libq': <('libq_arm', '2.1')>},)");
    EXPECT_EQ(root.read("/opt/.plug_ins.lst"), "demo::\nlibq::\n");

    int status = daemon.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
