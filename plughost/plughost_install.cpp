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

namespace steps {

namespace {

bool has_prefix(const std::string &s, const char *p) { return s.compare(0, strlen(p), p) == 0; }

bool exists(const std::string &abs)
{
    struct stat st {};
    return lstat(gw::RootPath(abs).c_str(), &st) == 0;
}

// The package file of a task: a local file used in place, or a download deleted with this object.

void relink(const std::string &container_path, const std::string &name, const char *file, const char *target)
{
    const std::string link = gw::RootPath(container_path + "/" + name + "/rootfs/etc/" + file);
    unlink(link.c_str());
    if (symlink(target, link.c_str()) != 0)
        GWLOG(LOG_LVL_WARN, "link %s failed, %s", link.c_str(), g_strerror(errno));
}

}  // namespace

PackageFile::~PackageFile()
{
    if (downloaded)
        unlink(path.c_str());
}

ControlFile::~ControlFile()
{
    if (path.size() > 8)
        remove_directory(path.substr(0, path.size() - 8).c_str());
}

int prepare(const std::string &url, const RoutineTexts &t, Prepared &p)
{
    set_install_state(kInstallStarted);
    if (url.empty()) {
        GWLOG(LOG_LVL_ERR, "%s", t.null_url);
        return kInstFailed;
    }
    GWLOG(LOG_LVL_NOTICE, "%s plugin : %s", t.verb, url.c_str());
    write_zep_log("%s plugin : %s", t.zep_verb, url.c_str());
    if (url[0] == '/') {
        // A local package lies below the run-time root; ".." would lead out of it.
        if (url.find("/../") != std::string::npos || (url.size() >= 3 && url.compare(url.size() - 3, 3, "/..") == 0)) {
            GWLOG(LOG_LVL_ERR, "%sipk URL [%s] is invalid.", t.bad_url_prefix, url.c_str());
            return kInstBadUrl;
        }
        p.file.path = gw::RootPath(url);
    } else {
        if (!has_prefix(url, "http://") && !has_prefix(url, "ftp://") && !has_prefix(url, "https://")) {
            GWLOG(LOG_LVL_ERR, "%sipk URL [%s] is invalid.", t.bad_url_prefix, url.c_str());
            return kInstBadUrl;
        }
        set_install_state(kInstallDownloading);
        char name[32];
        snprintf(name, sizeof name, "/tmp/dl_tmp_%08x.ipk", g_random_int());
        p.file.path = gw::RootPath(name);
        p.file.downloaded = true;
        if (comm_download_file(url.c_str(), p.file.path.c_str(), 6, nullptr) != 0) {
            GWLOG(LOG_LVL_ERR, "download %s failed.", url.c_str());
            set_install_state(kInstallDownloadFailed);
            return kInstDownloadFailed;
        }
    }
    set_install_state(kInstalling);
    struct stat st {};
    if (stat(p.file.path.c_str(), &st) != 0) {
        GWLOG(LOG_LVL_ERR, "%s", p.file.downloaded ? t.download_failed : t.not_exist);
        return kInstNoFile;
    }
    if (!S_ISREG(st.st_mode) || static_cast<size_t>(st.st_size) < t.min_size) {
        GWLOG(LOG_LVL_ERR, "status of ipk file is invalid.");
        return kInstFailed;
    }
    char *extracted = extract_control_file_from_ipk(p.file.path.c_str());
    if (extracted) {
        p.control.path = extracted;
        free(extracted);
    }
    if (p.control.path.empty() || access(p.control.path.c_str(), R_OK) != 0) {
        GWLOG(LOG_LVL_ERR, "get control file by extrace ipk failed.");
        return kInstNoControl;
    }
    p.info = std::make_unique<CtrlInfo>();
    if (int rc = plughost_get_plugin_ctrlinfo(p.control.path.c_str(), p.info.get())) {
        GWLOG(LOG_LVL_ERR, "get control items failed, ret = %d.", rc);
        return kInstMissingKeys;
    }
    if (unsigned chk = plughost_check_control(p.control.path.c_str(), *p.info)) {
        GWLOG(LOG_LVL_ERR, "plugin %s control check failed, chkCode = %x", p.info->Package.c_str(), chk);
        return kInstCheckFailed;
    }
    return kInstOk;
}

// The container's "/etc/<file>" becomes a link to the host's shared copy (resolved inside the container).
void link_shared_etc(const std::string &container_path, const std::string &name, bool all)
{
    relink(container_path, name, "resolv.conf", "/tmp/.uci/resolv.conf");
    if (!all)
        return;
    relink(container_path, name, "TZ", "/tmp/.uci/TZ");
    if (exists("/tmp/.uci/localtime"))
        relink(container_path, name, "localtime", "/tmp/.uci/localtime");
}

// Started unless its control file asks it to stay stopped.
void start_or_mark(const CtrlInfo &info, Registry &reg, bool restart)
{
    if (info.pluginStatus == 1) {
        GWLOG(LOG_LVL_NOTICE, "plugin %s control request stop", info.Package.c_str());
        set_stop_mark(info.Package, true);
        return;
    }
    GWLOG(LOG_LVL_NOTICE, "%s plugin %s", restart ? "restart" : "start", info.Package.c_str());
    plughost_start_plugin(info.Package, reg);
}

// The bus policy of a plug-in from its control record and control file.
void write_policy(const PluginRecord &rec, const std::string &control_path)
{
    if (write_bus_policy(rec.name(), policy_input(rec.control.get(), rec.uid, control_path)) != 0)
        GWLOG(LOG_LVL_ERR, "write bus policy of %s failed", rec.name().c_str());
}

// The final state and log line of a routine that got past the control extraction.
void finish(const RoutineTexts &t, const std::string &name, int code)
{
    set_install_state(code == kInstOk ? kInstallSucceeded : kInstallFailed);
    if (code == kInstOk && name.empty())
        GWLOG(LOG_LVL_NOTICE, "plugin %s success.", t.verb);
    else if (code == kInstOk)
        GWLOG(LOG_LVL_NOTICE, "plugin %s %s success.", name.c_str(), t.verb);
    else if (name.empty())
        GWLOG(LOG_LVL_ERR, "plugin %s failed, ret = %d", t.verb, code);
    else
        GWLOG(LOG_LVL_ERR, "plugin %s %s failed, ret = %d", name.c_str(), t.verb, code);
}

}  // namespace steps

namespace {

using namespace steps;

int install_steps(Prepared &p, Registry &reg)
{
    const std::string name = p.info->Package;
    const std::string control_path = p.control.path;
    if (reg.find(name)) {
        GWLOG(LOG_LVL_WARN, "plugin had installed, need cancel install");
        return kInstExists;
    }
    if (reg.add(std::move(p.info), control_path, true) != 0) {
        GWLOG(LOG_LVL_ERR, "add plugin %s to plugin list failed.", name.c_str());
        return kInstNotRegistered;
    }
    const bool library = is_library(name);
    uid_t uid = 0;
    if (!library) {
        Registry::Lock l = reg.lock();
        PluginRecord *rec = reg.find(name);
        if (!rec) {
            GWLOG(LOG_LVL_ERR, "search plugin %s from plugin list failed.", name.c_str());
            return kInstRecordLost;
        }
        const int allocated = plughost_alloc_user(*rec);
        if (allocated < 0) {
            GWLOG(LOG_LVL_ERR, "add user failed.");
            // A user half made (group only) and the data directory go with the record.
            plughost_remove_plugin(name, kNobodyUid, reg);
            return kInstNoUser;
        }
        uid = static_cast<uid_t>(allocated);
        if (uid != 0)
            write_policy(*rec, control_path);
        if (rec->control->SelfDataUds.size() > 0)
            g_mkdir_with_parents(gw::RootPath("/uds/" + name).c_str(), 0755);
        write_default_conf(rec->container_path, uid);
        const char *tmpl = template_for(*rec->control);
        GWLOG(LOG_LVL_NOTICE, "plugin %s : %s", name.c_str(), tmpl);
        if (int rc = plughost_create_container(name, tmpl, reg)) {
            GWLOG(LOG_LVL_ERR, "plugin %s(%d) create cantainer failed, ret = %d", name.c_str(), static_cast<int>(uid),
                  rc);
            plughost_remove_plugin(name, uid, reg);
            return kInstContainer;
        }
    }
    opkg_backup_status();
    opkg_install_file(p.file.path);
    plughost_rewrite_plug_list();
    if (!reg.installed(name)) {
        GWLOG(LOG_LVL_ERR, "plugin %s(%s) install failed.", name.c_str(), p.file.path.c_str());
        plughost_remove_plugin(name, uid, reg);
        return kInstNotInstalledAfter;
    }
    if (library)
        return kInstOk;
    GWLOG(LOG_LVL_NOTICE, "uid %d", static_cast<int>(uid));
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return kInstRecordLost;
    plughost_container_settings(name, reg);
    if (uid != 0)
        plughost_hand_to_user(name, rec->container_path, uid);
    link_shared_etc(rec->container_path, name, true);
    start_or_mark(*rec->control, reg, false);
    return kInstOk;
}

// Depth first along the depends lists from `name`: true when a provider is met again on the walk.
}  // namespace

int plughost_install(const std::string &url, Registry &reg)
{
    Prepared p;
    int code = prepare(url, kInstallTexts, p);
    if (code == kInstOk) {
        const std::string name = p.info->Package;
        code = install_steps(p, reg);
        finish(kInstallTexts, name, code);
    } else if (code != kInstDownloadFailed) {
        // A routine that ended before installing anything is still a failed one for InstQuery.
        set_install_state(kInstallFailed);
    }
    return code;
}

}  // namespace plughost
