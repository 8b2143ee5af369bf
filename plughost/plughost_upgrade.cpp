#include "plughost_install.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include <glib.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_container.h"
#include "plughost_hostfiles.h"
#include "plughost_install_steps.h"
#include "plughost_opkg.h"
#include "plughost_pluglist.h"
#include "plughost_service.h"
#include "plughost_users.h"

namespace plughost {

namespace {

using namespace steps;

bool has_prefix(const std::string &s, const std::string &p) { return s.compare(0, p.size(), p) == 0; }

bool depends_cycle(const Registry &reg, const std::string &name, std::vector<std::string> &done,
                   std::vector<std::string> &walk)
{
    walk.push_back(name);
    const PluginRecord *rec = reg.find(name);
    const std::vector<std::string> deps = rec && rec->control ? rec->control->depends : std::vector<std::string>{};
    for (const std::string &d : deps) {
        if (std::find(done.begin(), done.end(), d) != done.end())
            continue;
        if (std::find(walk.begin(), walk.end(), d) != walk.end()) {
            GWLOG(LOG_LVL_WARN, "cyclic dependence exists.");
            return true;
        }
        if (depends_cycle(reg, d, done, walk))
            return true;
    }
    walk.pop_back();
    done.push_back(name);
    return false;
}

// The depends of an upgraded plug-in from its new control file: every used interface provided by
// another package and no cycle through the providers. On success the record carries the new list and
// *old the previous one; on failure the record is unchanged. 0, kInstDepends, or kInstFailed.
int recheck_depends(const std::string &name, const std::string &control_path, Registry &reg,
                    std::vector<std::string> *old)
{
    const std::vector<std::string> used = plughost_read_ctrl_list(control_path.c_str(), ListKey::usedInterface).items;
    if (!interfaces_provided_by_others(name, used))
        return kInstDepends;
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec || !rec->control) {
        GWLOG(LOG_LVL_WARN, "get %s appInfo failed.", name.c_str());
        return kInstFailed;
    }
    *old = rec->control->depends;
    rec->control->depends = providers_of(name, used);
    std::vector<std::string> done, walk;
    if (depends_cycle(reg, name, done, walk)) {
        GWLOG(LOG_LVL_WARN, "there are cyclic dependencies between %s and other plugins.", name.c_str());
        rec->control->depends = *old;
        return kInstDepends;
    }
    return kInstOk;
}

// The record made again from the new control file once the new package is in, with its user made
// again (the class may have changed, and with it the uid). 0 or a routine code.
int renew_record(const std::string &name, Prepared &p, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (rec)
        plughost_free_user(name, rec->uid);
    reg.remove(name);
    if (reg.add(std::move(p.info), p.control.path, true) != 0 || !(rec = reg.find(name))) {
        GWLOG(LOG_LVL_ERR, "upgrade: failed to find %s", name.c_str());
        return kInstFailed;
    }
    if (plughost_alloc_user(*rec) < 0) {
        GWLOG(LOG_LVL_ERR, "add user failed.");
        return kInstNoUser;
    }
    rec->container = open_container(name, rec->container_path);
    if (!rec->container) {
        GWLOG(LOG_LVL_ERR, "upgrade: failed to set app container info %s", name.c_str());
        return kInstFailed;
    }
    rec->uid = rec->control->pluginClass ? 0 : host_user_id(name);
    return kInstOk;
}

// The upgraded container's configuration: socket binds dropped (the settings add them again), the id
// map moved to the new uid. 0 or -1.
int rewrite_container_config(const std::string &container_path, const std::string &name, uid_t old_uid, uid_t new_uid)
{
    const std::string file = gw::RootPath(container_path + "/" + name + "/config");
    std::ifstream in(file);
    if (!in) {
        GWLOG(LOG_LVL_ERR, "open %s failed", file.c_str());
        return -1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string out = upgraded_container_config(text.str(), gw::RootPath("/uds"), old_uid, new_uid);
    gw::ErrorPtr err;
    if (!g_file_set_contents(file.c_str(), out.data(), static_cast<gssize>(out.size()), gw::ErrorOut(err))) {
        GWLOG(LOG_LVL_ERR, "write %s failed, %s", file.c_str(), gw::error_text(err));
        return -1;
    }
    return 0;
}

int upgrade_steps(Prepared &p, bool forced, Registry &reg)
{
    const std::string name = p.info->Package;
    if (!reg.installed(name)) {
        GWLOG(LOG_LVL_ERR, "upgrade failed : plugin %s is not installed.", name.c_str());
        return kInstUpgradeNotInstalled;
    }
    std::string current;
    uid_t old_uid = 0;
    bool was_running = false;
    {
        Registry::Lock l = reg.lock();
        const PluginRecord *rec = reg.find(name);
        if (!rec) {
            GWLOG(LOG_LVL_ERR, "upgrade failed : not found plugin %s info.", name.c_str());
            return kInstFailed;
        }
        current = rec->control ? rec->control->Version : "V00.00.0000";
        old_uid = rec->uid;
        was_running = rec->container && rec->container->running();
    }
    const std::string next = p.info->Version;
    if (upgrade_version_rule(current, next, forced) != 0) {
        GWLOG(LOG_LVL_ERR, "%s version(%s) is not high enough, cancel update.", name.c_str(), next.c_str());
        return kInstVersion;
    }
    GWLOG(LOG_LVL_WARN, "%s version from %s to %s.", name.c_str(), current.c_str(), next.c_str());
    const bool library = is_library(name);
    std::vector<std::string> old_depends;
    if (!library) {
        if (int rc = recheck_depends(name, p.control.path, reg, &old_depends)) {
            GWLOG(LOG_LVL_ERR, "upgrade failed : plugin %s depends loop.", name.c_str());
            return rc;
        }
        plughost_stop_container(name, reg);
    }
    opkg_backup_status();
    opkg_install_file(p.file.path);
    plughost_rewrite_plug_list();
    // The package manager's exit status is only logged: its database says whether the new one is in.
    // Until it is, the plug-in keeps its record, user and container as they were.
    if (opkg_installed_version(name) != next) {
        GWLOG(LOG_LVL_ERR, "plugin %s(%s) install failed.", name.c_str(), p.file.path.c_str());
        Registry::Lock l = reg.lock();
        if (PluginRecord *rec = reg.find(name); rec && rec->control && !library)
            rec->control->depends = old_depends;
        if (was_running)
            plughost_start_plugin(name, reg);
        return kInstNotInstalledAfter;
    }
    if (library) {
        Registry::Lock l = reg.lock();
        reg.remove(name);
        reg.add(std::move(p.info), p.control.path, true);
        return kInstOk;
    }
    const std::string control_path = p.control.path;
    if (int rc = renew_record(name, p, reg))
        return rc;
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return kInstFailed;
    const uid_t new_uid = rec->uid;
    remove_bus_policy(name);
    if (new_uid != 0) {
        write_policy(*rec, control_path);
        plughost_hand_to_user(name, rec->container_path, new_uid);
    }
    link_shared_etc(rec->container_path, name, false);
    rewrite_container_config(rec->container_path, name, old_uid, new_uid);
    plughost_reload_container_config(name, reg);
    plughost_container_settings(name, reg);
    set_install_state(kInstallSucceeded);
    start_or_mark(*rec->control, reg, true);
    return kInstOk;
}

}  // namespace

int plughost_upgrade(const std::string &url, bool forced, Registry &reg)
{
    Prepared p;
    int code = prepare(url, kUpgradeTexts, p);
    if (code == kInstOk) {
        const std::string name = p.info->Package;
        code = upgrade_steps(p, forced, reg);
        finish(kUpgradeTexts, name, code);
    } else if (code != kInstDownloadFailed) {
        set_install_state(kInstallFailed);
    }
    write_zep_log("plugin upgrade, ret = %d", code);
    return code;
}

int upgrade_version_rule(const std::string &current, const std::string &next, bool forced)
{
    const int cmp = next.compare(0, current.size(), current);  // next's prefix against current
    if (cmp == 0)
        return kInstVersion;
    if (!forced)
        return kInstOk;
    return cmp > 0 ? kInstOk : kInstVersion;
}

std::string upgraded_container_config(const std::string &config, const std::string &uds_dir, uid_t old_uid,
                                      uid_t new_uid)
{
    const std::string uds_entry = "lxc.mount.entry = " + uds_dir + "/";
    const std::string old_map = " 0 " + std::to_string(old_uid) + " 1";
    const std::string new_map = " 0 " + std::to_string(new_uid) + " 1";
    std::istringstream in(config);
    std::string out, line;
    while (std::getline(in, line)) {
        if (has_prefix(line, uds_entry))
            continue;
        if (old_uid != new_uid && has_prefix(line, "lxc.idmap = ") && line.size() >= old_map.size() &&
            line.compare(line.size() - old_map.size(), old_map.size(), old_map) == 0)
            line.replace(line.size() - old_map.size(), old_map.size(), new_map);
        out += line + "\n";
    }
    return out;
}

}  // namespace plughost
