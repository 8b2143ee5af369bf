#include <glib-unix.h>
#include <glib.h>
#include <lxc/lxccontainer.h>
#include <unistd.h>

#include <cstdlib>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_container.h"
#include "plughost_registry.h"
#include "plughost_service.h"
#include "plughost_users.h"

extern "C" const char *plughost_build_version(void);

namespace {

gboolean on_term(gpointer loop)
{
    // The host's own containers end with it, through liblxc; no other container on the machine is touched.
    plughost::plughost_stop_all_containers();
    g_main_loop_quit(static_cast<GMainLoop *>(loop));
    return G_SOURCE_REMOVE;
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
    reg.load(plughost::open_container);
    plughost::uid_pool().load();
    for (plughost::PluginRecord *rec : reg.records())
        plughost::plughost_start_at_boot(*rec);
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
    GWLOG(LOG_LVL_NOTICE, "%s,%s", "arm_velmar_V32085_O", plughost_build_version());
    const std::string lxc_log_file = gw::RootPath("/var/log/app_lxc.log");
    g_mkdir_with_parents(gw::RootPath("/var/log").c_str(), 0755);
    struct lxc_log log = {"PLUGHOST", nullptr, lxc_log_file.c_str(), "ERROR", "PLUGHOST", false};
    if (lxc_log_init(&log) != 0) {
        GWLOG(LOG_LVL_ERR, "failed to init plughost lxc log");
        return 1;
    }
    unsigned owner = g_bus_own_name(G_BUS_TYPE_SYSTEM, plughost::kServiceName, G_BUS_NAME_OWNER_FLAGS_ALLOW_REPLACEMENT,
                                    on_bus_acquired, nullptr, on_name_lost, nullptr, nullptr);
    if (!owner) {
        GWLOG(LOG_LVL_ERR, "g_bus_own_name return null.");
        return 1;
    }
    gw::MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    g_unix_signal_add(SIGTERM, on_term, loop.get());
    g_unix_signal_add(SIGINT, on_term, loop.get());
    g_main_loop_run(loop.get());
    GWLOG(LOG_LVL_NOTICE, "_____ plughost exit _____");
    g_bus_unown_name(owner);
    plughost::registry().clear();
    api_sysLogClose();
    return 0;
}
