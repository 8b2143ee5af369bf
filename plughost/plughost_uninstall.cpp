#include <unistd.h>

#include <algorithm>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_install.h"
#include "plughost_opkg.h"
#include "plughost_pluglist.h"
#include "plughost_users.h"

namespace plughost {

int plughost_uninstall(const std::string &name, Registry &reg)
{
    write_zep_log("UnInstall %s", name.c_str());
    if (!valid_package_name(name) || !reg.installed(name)) {
        // Leftovers of an install that went half way.
        if (valid_package_name(name) && !is_library(name))
            plughost_free_user(name, kNobodyUid);
        GWLOG(LOG_LVL_WARN, "plugin %s is not installed.", name.c_str());
        return kStartNotInstalled;
    }
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (rec && rec->control && rec->control->Essential) {
        GWLOG(LOG_LVL_WARN, "preinstall plugin %s is not allowed to be uninstalled.", name.c_str());
        return kUninstEssential;
    }
    const std::string control = gw::RootPath(std::string(kOpkgInfoDir) + "/" + name + ".control");
    const std::vector<std::string> own = plughost_read_ctrl_list(control.c_str(), ListKey::ownInterface).items;
    std::vector<PlugListEntry> lines;
    read_plug_list(lines);
    for (const PlugListEntry &e : lines) {
        if (e.name == name)
            continue;
        for (const std::string &iface : own) {
            if (std::find(e.used.begin(), e.used.end(), iface) != e.used.end()) {
                GWLOG(LOG_LVL_WARN, "plugin %s uses %s of %s", e.name.c_str(), iface.c_str(), name.c_str());
                return kUninstProvider;
            }
        }
    }
    if (rec && rec->container && rec->container->running())
        plughost_stop_plugin(name, reg);
    if (!rec || !rec->control)
        return -1;
    const bool library = is_library(name);
    const uid_t uid = rec->uid;
    const std::string container_path = rec->container_path;
    std::vector<std::string> modules;
    if (!library) {
        modules = plughost_take_kernel_modules(container_path);
        remove_bus_policy(name);
        plughost_destroy_container(name, true, reg);
    }
    opkg_backup_status();
    opkg_remove_package(name);
    plughost_rewrite_plug_list();
    if (opkg_installed(name))
        return kInstExists;
    GWLOG(LOG_LVL_NOTICE, "plugin %s had removed.", name.c_str());
    GWLOG(LOG_LVL_DEBUG, "logDir: %s, pluginName: %s", "/var/log/plugin", name.c_str());
    for (const char *suffix : {".log", ".log.old"}) {
        const std::string log = "/var/log/plugin/" + name + suffix;
        GWLOG(LOG_LVL_DEBUG, "logFile: %s", log.c_str());
        unlink(gw::RootPath(log).c_str());
    }
    plughost_remove_plugin(name, uid, reg);
    set_stop_mark(name, false);
    for (const std::string &m : modules)
        plughost_kernel_module(m, "", false, container_path);
    return 0;
}

}  // namespace plughost
