// The plughost program on a private bus: its start-up files, its name and introspected interface, the
// registry from the run-time root, List, and a clean stop on SIGTERM.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwbus/util.h"
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
    // A torn package database: the backup (over 10 KiB) replaces it before the registry loads.
    root.write("/usr/lib/opkg/status", "Package: li");
    root.write("/usr/lib/opkg/status.bk", "Package: libq\nVersion: 2.1\nStatus: install user installed\nDescription: " +
                                              std::string(10300, 'x') + "\n\n");
    root.write("/etc/localtime", "TZif-zone");
    root.write("/tmp/TZ", "CST-8\n");
    root.write("/etc/config/system", "config system 'sys'\n");

    gwtest::Child daemon({gwtest::build_dir() + "/plughost/plughost"},
                         {{"GW_ROOT", root.dir()}, {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()}});
    gw::ErrorPtr err;
    gw::ConnectionPtr c(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(c) << gw::error_text(err);

    ASSERT_TRUE(gwtest::wait_until([] { return gwtest::name_has_owner(plughost::kServiceName); },
                                   std::chrono::milliseconds(10000)));

    EXPECT_EQ(root.read("/var/run/plughost.pid"), std::to_string(daemon.pid()));
    EXPECT_EQ(root.read("/etc/dbus-1/system.d/plughost.conf"),
              "<busconfig>\n  <policy user=\"0\">\n     <allow own=\"*\"/>\n     <allow send_type=\"method_call\"/>\n"
              "  </policy>\n</busconfig>\n");
    EXPECT_EQ(root.read("/tmp/.uci/localtime"), "TZif-zone");
    EXPECT_EQ(root.read("/tmp/.uci/TZ"), "CST-8\n");
    const struct {
        const char *path;
        mode_t bits;
    } modes[] = {{"/tmp/.uci/localtime", 0444}, {"/tmp/.uci", S_ISVTX | 0777}, {"/etc/config", S_ISVTX | 0777}};
    for (const auto &m : modes) {
        struct stat st {};
        ASSERT_EQ(stat(root.path(m.path).c_str(), &st), 0) << m.path;
        EXPECT_EQ(st.st_mode & m.bits, m.bits) << m.path;
    }
    EXPECT_NE(root.read("/usr/lib/opkg/status").find("Package: libq"), std::string::npos);
    EXPECT_TRUE(root.exists("/hgutmp/diaginfo"));

    // The interface as a bus client sees it.
    std::string introspected;
    {
        std::vector<std::string> argv = {
            "/usr/bin/gdbus",        "introspect", "--system", "--dest", "com.yvc.appframework1", "--object-path",
            "/com/yvc/appframework1"};
        std::vector<char *> cargv;
        for (auto &a : argv)
            cargv.push_back(a.data());
        cargv.push_back(nullptr);
        gw::StrvPtr env(g_environ_setenv(g_get_environ(), "DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), TRUE));
        gchar *out = nullptr;
        ASSERT_TRUE(g_spawn_sync(nullptr, cargv.data(), env.get(), G_SPAWN_STDERR_TO_DEV_NULL, nullptr, nullptr, &out,
                                 nullptr, nullptr, gw::ErrorOut(err)))
            << gw::error_text(err);
        gw::GCharPtr hold(out);
        introspected = out ? out : "";
    }
    const size_t start = introspected.find("interface com.yvc.appframework1.AppAgent {");
    ASSERT_NE(start, std::string::npos) << introspected;
    const std::string iface = introspected.substr(start, introspected.find("};", start) - start);
    for (const char *method :
         {"Install(in  s url,\n              out i response);", "Upgrade(in  s url,", "Uninstall(in  s name,",
          "Run(in  s name,", "InstQuery(in  s name,\n                out s response,\n                out i percent);",
          "GetStatus(in  s name,\n                out s response);", "Reload(in  s name,", "Stop(in  s name,",
          "Restore(in  s name,", "PostMsg(in  s name,\n              in  s message,\n              out s response);",
          "List(out a{sv} response);",
          "HandleKernelMod(in  s pkgname,\n                      in  b install,\n                      in  s modname,\n"
          "                      in  s modopts,\n                      out i response);",
          "readwrite u FlashThreshold = 0;", "readwrite u FlashDuration = 0;", "readwrite u YvLogLevel = 0;"})
        EXPECT_NE(iface.find(method), std::string::npos) << method << "\n" << iface;
    size_t methods = 0;
    for (size_t at = iface.find(");"); at != std::string::npos; at = iface.find(");", at + 1))
        ++methods;
    EXPECT_EQ(methods, 12u) << iface;

    gw::VariantPtr list(g_dbus_connection_call_sync(
        c.get(), plughost::kServiceName, plughost::kServicePath, plughost::kServiceInterface, "List", nullptr,
        G_VARIANT_TYPE("(a{sv})"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(list) << gw::error_text(err);
    gw::GCharPtr text(g_variant_print(list.get(), TRUE));
    // demo has no container configuration, so only the library loads.
    EXPECT_STREQ(text.get(), "({'libq': <('libq_arm', '2.1')>},)");
    EXPECT_EQ(root.read("/opt/.plug_ins.lst"), "demo::\nlibq::\n");

    // An install asked for through the agent's configuration: it fails (nothing listens there), the code
    // is left for the agent, which (here a stand-in process) is told with SIGIO, and the request cleared.
    root.write("/etc/config/gwagent",
               "config gwagent 'global'\n\toption downloadurl 'http://127.0.0.1:1/demo_1_arm.ipk'"
               "\n\toption appname 'demo'\n");
    gwtest::Child agent({"/bin/sleep", "30"});
    root.write("/var/run/gwagent.pid", std::to_string(agent.pid()) + "\n");
    kill(daemon.pid(), SIGUSR1);
    ASSERT_TRUE(gwtest::wait_until([&] { return !agent.running(); }, std::chrono::milliseconds(20000)));
    const int agent_status = agent.stop();
    EXPECT_TRUE(WIFSIGNALED(agent_status) && WTERMSIG(agent_status) == SIGIO) << agent_status;
    EXPECT_EQ(root.read("/opt/apps/upgrade"), "errcode=-3\n");
    char url[128] = "<untouched>";
    EXPECT_TRUE(
        gwtest::wait_until([&] { return uci_config_get_n("gwagent", "global", "downloadurl", url, sizeof url) != 0; },
                           std::chrono::milliseconds(5000)))
        << url;

    int status = daemon.stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(root.exists("/var/run/plughost.pid"));
}

}  // namespace
