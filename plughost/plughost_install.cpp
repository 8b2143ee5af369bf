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
#include "plughost_opkg.h"
#include "plughost_pluglist.h"
#include "plughost_service.h"
#include "plughost_users.h"

namespace plughost {

namespace {

std::mutex g_task_mu;

constexpr size_t kInstallMinSize = 1024;
constexpr size_t kUpgradeMinSize = 2048;

// What differs between the first steps of an install and of an upgrade: the words and the minimum size.
struct RoutineTexts {
    const char *verb;      // "install" / "upgrade"
    const char *zep_verb;  // "Install" / "Update"
    const char *null_url, *bad_url_prefix, *not_exist, *download_failed;
    size_t min_size;
};

constexpr RoutineTexts kInstallTexts = {"install",
                                        "Install",
                                        "ipk URL is null.",
                                        "",
                                        "ipk file is not exist.",
                                        "ipk file download failed.",
                                        kInstallMinSize};
constexpr RoutineTexts kUpgradeTexts = {"upgrade",
                                        "Update",
                                        "plugin upgrade: ipk URL is null.",
                                        "plugin upgrade failed : ",
                                        "upgrade install failed : ipk file is not exist.",
                                        "upgrade install failed : ipk file download failed.",
                                        kUpgradeMinSize};

bool has_prefix(const std::string &s, const char *p) { return s.compare(0, strlen(p), p) == 0; }

bool exists(const std::string &abs)
{
    struct stat st {};
    return lstat(gw::RootPath(abs).c_str(), &st) == 0;
}

// The package file of a task: a local file used in place, or a download deleted with this object.
struct PackageFile {
    std::string path;  // host path
    bool downloaded = false;
    PackageFile() = default;
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;
    ~PackageFile()
    {
        if (downloaded)
            unlink(path.c_str());
    }
};

// The directory a control file was extracted to, removed with this object.
struct ControlFile {
    std::string path;  // "<dir>/control"
    ControlFile() = default;
    ControlFile(const ControlFile &) = delete;
    ControlFile &operator=(const ControlFile &) = delete;
    ~ControlFile()
    {
        if (path.size() > 8)
            remove_directory(path.substr(0, path.size() - 8).c_str());
    }
};

// A package fetched, its control file extracted, parsed and checked: the first steps of both routines.
struct Prepared {
    PackageFile file;
    ControlFile control;
    std::unique_ptr<CtrlInfo> info;
};

// The steps up to the control check. 0, or the routine's code (the install state set as it goes).
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
void relink(const std::string &container_path, const std::string &name, const char *file, const char *target)
{
    const std::string link = gw::RootPath(container_path + "/" + name + "/rootfs/etc/" + file);
    unlink(link.c_str());
    if (symlink(target, link.c_str()) != 0)
        GWLOG(LOG_LVL_WARN, "link %s failed, %s", link.c_str(), g_strerror(errno));
}

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
int rewrite_container_config(const std::string &container_path, const std::string &name, uid_t old_uid,
                             uid_t new_uid)
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

// Which routine a task runs, by its type and whether the package is installed.
struct RoutineRow {
    TaskType type;
    bool installed;
    bool upgrade;
    bool forced;
};
constexpr RoutineRow kRoutines[] = {
    {TaskType::Install, false, false, false},
    {TaskType::Install, true, true, true},
    {TaskType::Upgrade, false, false, false},
    {TaskType::Upgrade, true, true, false},
};

void run_queued(const std::string &url, bool upgrade)
{
    plughost_run_task(url, upgrade ? TaskType::Upgrade : TaskType::Install);
}

}  // namespace

std::string task_file_name(const std::string &url)
{
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? "" : url.substr(slash + 1, 63);
}

std::string task_package_name(const std::string &url)
{
    const size_t slash = url.rfind('/');
    if (slash == std::string::npos)
        return "";
    std::string name = url.substr(slash + 1, 31);
    return name.substr(0, std::min(name.find('_'), static_cast<size_t>(15)));
}

std::unique_lock<std::mutex> install_task_lock() { return std::unique_lock<std::mutex>(g_task_mu); }
std::unique_lock<std::mutex> try_install_task_lock() { return std::unique_lock<std::mutex>(g_task_mu, std::try_to_lock); }

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

int plughost_run_task(const std::string &url, TaskType type, Registry &reg)
{
    std::unique_lock<std::mutex> task = install_task_lock();
    GWLOG(LOG_LVL_DEBUG, "task execute >>> %ld, %ld", static_cast<long>(getpid()), static_cast<long>(gettid()));
    const std::string file = task_file_name(url);
    set_install_progress(kInstallIdle, file);
    const std::string name = task_package_name(url);
    const bool installed = valid_package_name(name) && reg.installed(name);
    int code = kInstFailed;
    for (const RoutineRow &r : kRoutines) {
        if (r.type == type && r.installed == installed) {
            code = r.upgrade ? plughost_upgrade(url, r.forced, reg) : plughost_install(url, reg);
            break;
        }
    }
    plughost_report(file, code);
    const char *what = type == TaskType::Install ? "install" : "upgrade";
    if (code == kInstOk)
        write_zep_log("%s %s success", file.c_str(), what);
    else
        write_zep_log("%s %s failed, t_ret = %d", file.c_str(), what, code);
    GWLOG(LOG_LVL_DEBUG, "task execute <<< %ld out, ret = %d", static_cast<long>(gettid()), code);
    return code;
}

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

int plughost_report(const std::string &package_file, int code)
{
    GWLOG(LOG_LVL_NOTICE, "%s install report, result = %d", package_file.c_str(), code);
    const int rc = g_hgu_CallMethod("com.yvc.gwagent1", "/com/yvc/gwagent1", "com.yvc.gwagent1", "UpgRep",
                                    g_variant_new("(sui)", package_file.c_str(), 0u, code), nullptr, -1);
    if (rc != 0) {
        GWLOG(LOG_LVL_ERR, "plugin install report failed, %d.", rc);
        return 1;
    }
    GWLOG(LOG_LVL_NOTICE, "plugin install report end.");
    return 0;
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
        if (has_prefix(line, uds_entry.c_str()))
            continue;
        if (old_uid != new_uid && has_prefix(line, "lxc.idmap = ") && line.size() >= old_map.size() &&
            line.compare(line.size() - old_map.size(), old_map.size(), old_map) == 0)
            line.replace(line.size() - old_map.size(), old_map.size(), new_map);
        out += line + "\n";
    }
    return out;
}

void install_pipeline_enable() { set_install_runner(run_queued); }

}  // namespace plughost
