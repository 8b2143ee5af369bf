#include "plughost_preinstall.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <glib.h>

#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_container.h"
#include "plughost_control.h"
#include "plughost_install.h"
#include "plughost_opkg.h"
#include "plughost_startup.h"
#include "plughost_users.h"

namespace plughost {

namespace {

struct Versions {
    std::string arch;
    std::string version;
};

std::string cut(std::string s, size_t n)
{
    if (s.size() > n)
        s.resize(n);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r'))
        s.pop_back();
    return s;
}

// The package database's plughost entry: "Version:" and "Architecture:" of the first "Package:"
// paragraph whose name begins with "plughost".
Versions from_package_database()
{
    Versions v;
    std::ifstream in(gw::RootPath("/usr/lib/opkg/status"));
    bool inside = false;
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, 8, "Package:") == 0) {
            if (inside)
                break;
            inside = line.size() > 9 && line.compare(9, 8, "plughost") == 0;
        } else if (inside && line.compare(0, 8, "Version:") == 0) {
            v.version = cut(line.size() > 9 ? line.substr(9) : "", 63);
        } else if (inside && line.compare(0, 13, "Architecture:") == 0) {
            v.arch = cut(line.size() > 14 ? line.substr(14) : "", 127);
        }
    }
    return v;
}

bool write_record(const Versions &built)
{
    const std::string path = gw::RootPath(kVersionRecord);
    GWLOG(LOG_LVL_DEBUG, "%s in", path.c_str());
    std::ofstream out(path, std::ios::trunc);
    out << built.arch << "\n" << built.version << "\n";
    out.flush();
    if (!out) {
        GWLOG(LOG_LVL_ERR, "create %s fail! %s", path.c_str(), g_strerror(errno));
        return false;
    }
    return true;
}

}  // namespace

VersionCheck plughost_version_check(const std::string &built_arch, const std::string &built_version)
{
    Versions built{built_arch, built_version};
    Versions old;
    if (built.arch.empty() || built.version.empty()) {
        GWLOG(LOG_LVL_WARN, " g_arch[%s] or g_version[%s] has empty", built.arch.c_str(), built.version.c_str());
        std::ifstream in(gw::RootPath(kFirmwareVersionFile));
        std::string line;
        std::getline(in, line);
        line = cut(line, 127);
        const size_t us = line.find('_');
        built = us == std::string::npos ? Versions{} : Versions{line.substr(us + 1), line.substr(0, us)};
        if (built.arch.empty() || built.version.empty()) {
            GWLOG(LOG_LVL_ERR, "get arch and version fail! exit");
            return {VersionAction::Exit, built.arch, old.arch};
        }
    }

    const std::string record = gw::RootPath(kVersionRecord);
    const bool have_record = access(record.c_str(), F_OK) == 0;
    if (have_record) {
        std::ifstream in(record);
        if (!in) {
            GWLOG(LOG_LVL_ERR, "%s open %s fail! %s", __func__, record.c_str(), g_strerror(errno));
            return {VersionAction::Exit, built.arch, old.arch};
        }
        std::string line;
        if (!std::getline(in, line)) {
            GWLOG(LOG_LVL_ERR, "%s read arch fail! %s", __func__, record.c_str());
            return {VersionAction::Exit, built.arch, old.arch};
        }
        old.arch = cut(line, 127);
        if (!std::getline(in, line)) {
            GWLOG(LOG_LVL_ERR, "%s read version fail! %s", __func__, record.c_str());
            return {VersionAction::Exit, built.arch, old.arch};
        }
        old.version = cut(line, 63);
    } else {
        old = from_package_database();
    }
    GWLOG(LOG_LVL_NOTICE, "g_arch[%s] g_version[%s] old_arch[%s] old_version[%s]", built.arch.c_str(),
          built.version.c_str(), old.arch.c_str(), old.version.c_str());
    if (old.arch.empty() || old.version.empty()) {
        GWLOG(LOG_LVL_NOTICE, "The old_arch or old_version have empty. Do nothing!");
        return {VersionAction::Continue, built.arch, old.arch};
    }

    GWLOG(LOG_LVL_DEBUG, "check arch");
    if (built.arch != old.arch) {
        if (have_record && from_package_database().arch == built.arch) {
            GWLOG(LOG_LVL_NOTICE,
                  "/etc/CheckVersion.conf arg is different from g_arch, but status is the same, just update conf!");
            write_record(built);
            return {VersionAction::Continue, built.arch, old.arch};
        }
        GWLOG(LOG_LVL_NOTICE, "g_arch[%s] is different from old_arch[%s]", built.arch.c_str(), old.arch.c_str());
        return {VersionAction::Restore, built.arch, old.arch};
    }
    GWLOG(LOG_LVL_DEBUG, "check version");
    if (built.version != old.version || !have_record)
        write_record(built);
    return {VersionAction::Continue, built.arch, old.arch};
}

int plughost_restore_framework(const std::string &built_arch, const std::string &old_arch, unsigned wait_seconds)
{
    GWLOG(LOG_LVL_NOTICE, "======restore zep =====");
    if (wait_seconds)
        g_usleep(static_cast<gulong>(wait_seconds) * G_USEC_PER_SEC);
    write_zep_log("plughost check arch new[%s] old[%s] need call api_framework_Restore!", built_arch.c_str(),
                  old_arch.c_str());
    const int ret = api_framework_Restore();
    if (ret != 0)
        GWLOG(LOG_LVL_NOTICE, "api_framework_Restore() failed, t_ret = %d.", ret);
    return ret;
}

}  // namespace plughost

namespace plughost {

namespace {

// The first value of "Key:" in a control file, trimmed; "" when absent.
std::string control_value(const std::string &path, const std::string &key)
{
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.compare(0, key.size() + 1, key + ":") != 0)
            continue;
        std::string v = line.substr(key.size() + 1);
        const size_t b = v.find_first_not_of(" \t");
        const size_t e = v.find_last_not_of(" \t\r");
        return b == std::string::npos ? "" : v.substr(b, e - b + 1);
    }
    return "";
}

// The byte comparison of the new version with the installed one over the installed one's length;
// 100 when opkg does not know the package.
int compare_with_installed(const std::string &package, const std::string &version, std::string &installed)
{
    if (!opkg_installed(package))
        return 100;
    const std::string control = gw::RootPath("/usr/lib/opkg/info/" + package + ".control");
    if (access(control.c_str(), F_OK) != 0)
        return 0;
    installed = control_value(control, "Version");
    const int c = version.compare(0, installed.size(), installed);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

void remove_file(const std::string &path)
{
    if (unlink(path.c_str()) != 0 && errno != ENOENT)
        GWLOG(LOG_LVL_WARN, "cannot delete %s, %s", path.c_str(), g_strerror(errno));
}

// The host's own containers left running by the host before this one, stopped through liblxc (never
// any other container of the machine).
void stop_leftover_containers()
{
    Registry earlier;
    earlier.load(open_container);
    plughost_stop_all_containers(earlier);
}

// The agent restarts through its init script; it is ended through its pid file first, so that no
// other process of that name is touched.
void restart_agent()
{
    GWLOG(LOG_LVL_NOTICE, "upgrade success, restart gwagent.");
    std::ifstream pid_file(gw::RootPath(kAgentPidFile));
    long pid = 0;
    if (pid_file >> pid && pid > 1)
        kill(static_cast<pid_t>(pid), SIGKILL);
    std::string err;
    if (run_program({gw::RootPath(kAgentInitScript), "restart"}, &err) != 0)
        GWLOG(LOG_LVL_ERR, "gwagent restart failed, %s", err.c_str());
}

struct ReportRetry {
    std::string package_file;
    int failures = 0;
};

gboolean on_report_retry(gpointer data)
{
    auto *r = static_cast<ReportRetry *>(data);
    if (r->package_file.empty()) {
        GWLOG(LOG_LVL_ERR, "user data is null.");
        return G_SOURCE_REMOVE;
    }
    if (plughost_report(r->package_file, 0) == 0)
        return G_SOURCE_REMOVE;
    if (++r->failures < 5)
        return G_SOURCE_CONTINUE;
    GWLOG(LOG_LVL_ERR, "report failed too many times %d, cancel report.", r->failures);
    r->failures = 0;
    return G_SOURCE_REMOVE;
}

void free_report_retry(gpointer data) { delete static_cast<ReportRetry *>(data); }

// Announces the host's own upgrade on the agent's queue. The pipe is opened without waiting: with no
// agent reading, the host must not hang on its way to the upgrade.
void announce_host_upgrade(const std::string &entry)
{
    const std::string fifo = gw::RootPath(kAgentFifo);
    gw::UniqueFd fd(open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        GWLOG(LOG_LVL_NOTICE, "open MQ pipe error, %s", g_strerror(errno));
        return;
    }
    const std::string msg = ("MOD_UPGRD_END," + entry).substr(0, 127);
    if (write(fd.get(), msg.data(), msg.size()) != static_cast<ssize_t>(msg.size()))
        GWLOG(LOG_LVL_NOTICE, "write MQ pipe error, %s", g_strerror(errno));
}

[[noreturn]] void upgrade_host(const std::string &entry, const std::string &file, Registry &reg)
{
    write_zep_log("plughost upgrade, %s", file.c_str());
    GWLOG(LOG_LVL_NOTICE, "plughost install report, result : %d.", 0);
    announce_host_upgrade(entry);
    const int rc = opkg_install_file(file);
    if (rc == 0)
        write_zep_log("plughost upgrade success");
    else
        write_zep_log("plughost upgrade failed, ret = %d", rc);
    remove_file(file);
    GWLOG(LOG_LVL_NOTICE, "plughost will restart.");
    plughost_stop_all_containers(reg);
    unlink(gw::RootPath(kPidFile).c_str());
    // Possibly on the watcher thread: end without running the other threads' destructors.
    _exit(0);
}

void handle_package(const std::string &entry, bool at_start, Registry &reg)
{
    const std::string rel = std::string(kPackageDir) + "/" + entry;
    const std::string file = gw::RootPath(rel);
    char *extracted = extract_control_file_from_ipk(file.c_str());
    if (!extracted) {
        GWLOG(LOG_LVL_WARN, "%s has no control file, deleted", file.c_str());
        remove_file(file);
        return;
    }
    const std::string control = extracted;
    free(extracted);
    const std::string package = control_value(control, "Package");
    const std::string version = control_value(control, "Version");
    if (!package.empty() && !version.empty()) {
        if (!valid_package_name(package)) {
            GWLOG(LOG_LVL_ERR, "%s names an invalid package %s, ignored", file.c_str(), package.c_str());
        } else {
            std::string installed;
            const int c = compare_with_installed(package, version, installed);
            const char *shown = installed.empty() ? "NO VERSION" : installed.c_str();
            bool proceed = c > 0;
            if (!proceed) {
                const bool essential = control_value(control, "Essential") == "yes";
                const bool plugin = !control_value(control, "pluginClass").empty();
                if (essential && plugin) {
                    GWLOG(LOG_LVL_NOTICE,
                          "preinstall plugin : %s current version(%s) is higher or same than the new version(%s), "
                          "cancel update.",
                          package.c_str(), shown, version.c_str());
                } else if (essential && c < 0) {
                    proceed = true;
                } else if (essential) {
                    GWLOG(LOG_LVL_NOTICE,
                          "system module : %s current version(%s) is same than the new version(%s), cancel update "
                          "and delete it.",
                          package.c_str(), shown, version.c_str());
                    remove_file(file);
                } else {
                    GWLOG(LOG_LVL_NOTICE,
                          "non preinstall plugin : %s current version(%s) is higher or same than the new "
                          "version(%s), cancel update and delete it.",
                          package.c_str(), shown, version.c_str());
                    remove_file(file);
                }
            }
            if (proceed) {
                GWLOG(LOG_LVL_NOTICE, "preinstall %s : from %s to %s, version %+d", package.c_str(), shown,
                      version.c_str(), c);
                if (package == "gwagent") {
                    write_zep_log("gwagent upgrade, %s", file.c_str());
                    const int rc = opkg_install_file(file);
                    if (rc == 0)
                        write_zep_log("gwagent upgrade success");
                    else
                        write_zep_log("gwagent upgrade failed, ret = %d", rc);
                    restart_agent();
                    remove_file(file);
                    if (!at_start)
                        g_timeout_add_full(G_PRIORITY_DEFAULT, 200, on_report_retry, new ReportRetry{entry, 0},
                                           free_report_retry);
                } else if (package == "plughost") {
                    upgrade_host(entry, file, reg);
                } else if (c == 100) {
                    GWLOG(LOG_LVL_NOTICE, "install %s", package.c_str());
                    int rc = plughost_install(rel, reg);
                    write_zep_log("plugin install, ret = %d", rc);
                    if (at_start && rc != 0) {
                        rc = plughost_install(rel, reg);
                        write_zep_log("plugin install, ret = %d", rc);
                    }
                } else if (control_value(control, "pluginClass").empty()) {
                    // A system module has no plug-in record for the upgrade routine to work on: the
                    // package manager replaces it, as it installed it.
                    GWLOG(LOG_LVL_NOTICE, "upgrade %s", package.c_str());
                    write_zep_log("system module upgrade, ret = %d", opkg_install_file(file));
                } else {
                    GWLOG(LOG_LVL_NOTICE, "upgrade %s", package.c_str());
                    if (at_start)
                        reg.load(open_container);
                    plughost_upgrade(rel, false, reg);
                    if (at_start)
                        reg.clear();
                }
            }
        }
    }
    const size_t slash = control.rfind('/');
    std::error_code ec;
    if (slash != std::string::npos && slash > 0)
        std::filesystem::remove_all(control.substr(0, slash), ec);
}

std::mutex g_watcher_mu;
std::condition_variable g_watcher_cv;
bool g_watcher_stop = false;
std::thread g_watcher;

bool marker_time(long long &mtime)
{
    struct stat st {};
    if (stat(gw::RootPath(kUpgradeMarker).c_str(), &st) != 0) {
        GWLOG(LOG_LVL_WARN, "stat .modupgrd0 failed");
        return false;
    }
    mtime = static_cast<long long>(st.st_mtime);
    return true;
}

void watch_marker(unsigned period_ms)
{
    long long known = 0;
    if (marker_time(known))
        GWLOG(LOG_LVL_DEBUG, "file .modupgrd0 mtime : %lld", known);
    std::unique_lock<std::mutex> l(g_watcher_mu);
    while (!g_watcher_cv.wait_for(l, std::chrono::milliseconds(period_ms), [] { return g_watcher_stop; })) {
        long long now = 0;
        if (!marker_time(now) || now == known)
            continue;
        GWLOG(LOG_LVL_NOTICE, "preinstall plugin upgrade event, file .modupgrd0 mtime : %lld", now);
        known = now;
        l.unlock();
        plughost_preinstall_scan(false);
        l.lock();
    }
}

}  // namespace

void plughost_preinstall_scan(bool at_start, Registry &reg)
{
    std::unique_lock<std::mutex> task = install_task_lock();
    if (at_start)
        stop_leftover_containers();
    const std::string dir = gw::RootPath(kPackageDir);
    std::vector<std::string> entries;
    {
        DIR *d = opendir(dir.c_str());
        if (!d) {
            GWLOG(LOG_LVL_WARN, "open /ipks failed, %s", g_strerror(errno));
            return;
        }
        while (struct dirent *e = readdir(d))
            if (strstr(e->d_name, ".ipk"))
                entries.emplace_back(e->d_name);
        closedir(d);
    }
    std::sort(entries.begin(), entries.end());
    for (const std::string &entry : entries)
        handle_package(entry, at_start, reg);
}

void start_upgrade_watcher(unsigned period_ms)
{
    std::lock_guard<std::mutex> l(g_watcher_mu);
    if (g_watcher.joinable())
        return;
    g_watcher_stop = false;
    g_watcher = std::thread(watch_marker, period_ms);
    pthread_setname_np(g_watcher.native_handle(), "plughost-upgrade");
}

void stop_upgrade_watcher()
{
    {
        std::lock_guard<std::mutex> l(g_watcher_mu);
        g_watcher_stop = true;
    }
    g_watcher_cv.notify_all();
    if (g_watcher.joinable())
        g_watcher.join();
}

}  // namespace plughost
