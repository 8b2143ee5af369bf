// The plug-in host: owns "com.yvc.appframework1" and runs the installed plug-ins, each in its own
// container. Signal work runs in the main loop, not in signal context.
#include <glib-unix.h>
#include <glib.h>
#include <lxc/lxccontainer.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_container.h"
#include "plughost_control.h"
#include "plughost_flash.h"
#include "plughost_install.h"
#include "plughost_preinstall.h"
#include "plughost_registry.h"
#include "plughost_service.h"
#include "plughost_startup.h"
#include "plughost_users.h"

extern "C" const char *plughost_build_version(void);

namespace {

gboolean on_storage_check(gpointer)
{
    plughost::storage_check(plughost::registry());
    return G_SOURCE_CONTINUE;
}

gboolean on_term(gpointer loop)
{
    GWLOG(LOG_LVL_NOTICE, "received signal %d", SIGTERM);
    GWLOG(LOG_LVL_NOTICE, "handle SIGTERM signal.");
    // The host's own containers end with it, through liblxc; no other container on the machine is touched.
    plughost::plughost_stop_all_containers();
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_CONTINUE;
}

// An install asked for through the agent's configuration. It runs beside the loop, one task at a
// time with the install pool; a failure leaves "errcode=<code>" for the agent, which is then told
// (SIGIO) and the request cleared.
void install_for_agent(const std::string &url, bool installed)
{
    int code;
    {
        std::unique_lock<std::mutex> task = plughost::install_task_lock();
        code = installed ? plughost::plughost_upgrade(url, false) : plughost::plughost_install(url);
    }
    if (code != 0) {
        g_mkdir_with_parents(gw::RootPath("/opt/apps").c_str(), 0755);
        std::ofstream out(gw::RootPath("/opt/apps/upgrade"), std::ios::app);
        out << "errcode=" << code << "\n";
    }
    std::ifstream pid_file(gw::RootPath("/var/run/gwagent.pid"));
    long pid = 0;
    if (pid_file >> pid && pid > 1)
        kill(static_cast<pid_t>(pid), SIGIO);
    uci_config_set("gwagent", "global", "downloadurl", "", 0);
}

gboolean on_usr1(gpointer)
{
    GWLOG(LOG_LVL_NOTICE, "received signal %d", SIGUSR1);
    char url[512] = {}, app[128] = {};
    if (uci_config_get_n("gwagent", "global", "downloadurl", url, sizeof url) == 0 && url[0] &&
        uci_config_get_n("gwagent", "global", "appname", app, sizeof app) == 0 && app[0]) {
        // Both come from a file others may write: the name reaches paths, so it must be a package name.
        if (plughost::valid_package_name(app)) {
            std::thread(install_for_agent, std::string(url), plughost::registry().installed(app)).detach();
        } else {
            GWLOG(LOG_LVL_ERR, "install request for %s refused: not a package name", app);
            uci_config_set("gwagent", "global", "downloadurl", "", 0);
        }
    }
    return G_SOURCE_CONTINUE;
}

gboolean on_usr2(gpointer)
{
    GWLOG(LOG_LVL_NOTICE, "received signal %d", SIGUSR2);
    plughost::plughost_preinstall_scan(false);
    return G_SOURCE_CONTINUE;
}

void on_bus_acquired(GDBusConnection *connection, const char *, gpointer)
{
    plughost::Registry &reg = plughost::registry();
    reg.clear();
    GWLOG(LOG_LVL_NOTICE, "dbus ID : %s, pid : %lu", g_dbus_connection_get_unique_name(connection),
          static_cast<unsigned long>(getpid()));
    if (!plughost::service_register(connection, reg)) {
        GWLOG(LOG_LVL_ERR, "register appframework failed.");
        exit(1);
    }
    plughost::prepare_shared_directories();
    reg.load(plughost::open_container);
    plughost::uid_pool().load();
    for (plughost::PluginRecord *rec : reg.records())
        plughost::plughost_start_at_boot(*rec);
    plughost::install_pipeline_enable();
    plughost::install_pool_init();
    g_timeout_add_seconds(plughost::kStorageCheckSeconds, on_storage_check, nullptr);
}

void on_name_lost(GDBusConnection *, const char *, gpointer)
{
    GWLOG(LOG_LVL_ERR, "get D-Bus service name failed, exit.");
    uci_config_set("system", "sys", "dbuslost", "1", 0);
    exit(1);
}

}  // namespace

int main()
{
    write_zep_log("plughost start");
    api_sysLogOpen("ZEP[plughost]");
    GWLOG(LOG_LVL_NOTICE, "=========  plughost start  ========");
    const plughost::VersionCheck versions = plughost::plughost_version_check();
    if (versions.action == plughost::VersionAction::Exit)
        return 0;
    if (versions.action == plughost::VersionAction::Restore) {
        plughost::plughost_restore_framework(versions.arch, versions.old_arch, 60);
        return 0;
    }
    GWLOG(LOG_LVL_NOTICE, "%s,%s", plughost::kBuiltArch, plughost_build_version());
    g_mkdir_with_parents(gw::RootPath("/var/run").c_str(), 0755);
    if (write_pid_to_file(plughost::kPidFile) != 0)
        GWLOG(LOG_LVL_WARN, "write %s failed", plughost::kPidFile);
    gw::MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    g_unix_signal_add(SIGTERM, on_term, loop.get());
    g_unix_signal_add(SIGINT, on_term, loop.get());
    g_unix_signal_add(SIGUSR1, on_usr1, nullptr);
    g_unix_signal_add(SIGUSR2, on_usr2, nullptr);

    const std::string lxc_log_file = gw::RootPath("/var/log/app_lxc.log");
    g_mkdir_with_parents(gw::RootPath("/var/log").c_str(), 0755);
    struct lxc_log log = {"PLUGHOST", nullptr, lxc_log_file.c_str(), "ERROR", "PLUGHOST", false};
    if (lxc_log_init(&log) != 0) {
        GWLOG(LOG_LVL_ERR, "failed to init plughost lxc log");
        return 1;
    }
    plughost::write_host_policy();
    plughost::copy_time_zone();
    plughost::check_opkg_status();
    plughost::plughost_preinstall_scan(true);

    unsigned owner = g_bus_own_name(G_BUS_TYPE_SYSTEM, plughost::kServiceName, G_BUS_NAME_OWNER_FLAGS_ALLOW_REPLACEMENT,
                                    on_bus_acquired, nullptr, on_name_lost, nullptr, nullptr);
    if (!owner) {
        GWLOG(LOG_LVL_ERR, "g_bus_own_name return null.");
        return 1;
    }
    plughost::start_upgrade_watcher();
    g_main_loop_run(loop.get());
    GWLOG(LOG_LVL_NOTICE, "_____ plughost exit _____");
    plughost::stop_upgrade_watcher();
    g_bus_unown_name(owner);
    plughost::registry().clear();
    unlink(gw::RootPath(plughost::kPidFile).c_str());
    api_sysLogClose();
    return 0;
}
