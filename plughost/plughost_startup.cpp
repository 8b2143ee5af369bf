#include "plughost_startup.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_hostfiles.h"

namespace plughost {

namespace {

constexpr const char *kHostPolicy = "<busconfig>\n"
                                    "  <policy user=\"0\">\n"
                                    "     <allow own=\"*\"/>\n"
                                    "     <allow send_type=\"method_call\"/>\n"
                                    "  </policy>\n"
                                    "</busconfig>\n";
constexpr off_t kStatusMinBytes = 10240;

bool exists(const std::string &path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// Copies into "/tmp/.uci" and lets everyone read the copy.
void copy_readable(const std::string &from, const std::string &to)
{
    if (copy_file(from.c_str(), to.c_str()) != 0 || ucf_set_file_mode(to.c_str(), 0444) != 0)
        GWLOG(LOG_LVL_WARN, "copy %s to %s failed", from.c_str(), to.c_str());
}

}  // namespace

int write_host_policy()
{
    const std::string dir = gw::RootPath(kPolicyDir);
    const std::string path = dir + "/plughost.conf";
    if (exists(path))
        return 0;
    g_mkdir_with_parents(dir.c_str(), 0755);
    std::ofstream out(path, std::ios::trunc);
    out << kHostPolicy;
    out.close();
    if (!out) {
        GWLOG(LOG_LVL_ERR, "write %s failed", path.c_str());
        return -1;
    }
    return 0;
}

void copy_time_zone()
{
    const std::string dir = gw::RootPath("/tmp/.uci");
    const std::string localtime = gw::RootPath("/etc/localtime");
    if (exists(localtime) && !exists(dir + "/localtime")) {
        g_mkdir_with_parents(dir.c_str(), 0777);
        copy_readable(localtime, dir + "/localtime");
    }
    const std::string tz = gw::RootPath("/tmp/TZ");
    if (exists(tz)) {
        g_mkdir_with_parents(dir.c_str(), 0777);
        copy_readable(tz, dir + "/TZ");
    }
}

bool check_opkg_status()
{
    const std::string status = gw::RootPath("/usr/lib/opkg/status");
    struct stat st {};
    if (::stat(status.c_str(), &st) != 0 || ::access(status.c_str(), R_OK) != 0) {
        GWLOG(LOG_LVL_DEBUG, "open status file failed, %s", std::strerror(errno));
    } else if (st.st_size < kStatusMinBytes) {
        GWLOG(LOG_LVL_DEBUG, "status file size is %lu", static_cast<unsigned long>(st.st_size));
    } else {
        return false;
    }
    // A short database is a torn write: the backup is the last whole one.
    const std::string backup = status + ".bk";
    if (copy_file(backup.c_str(), status.c_str()) != 0) {
        GWLOG(LOG_LVL_ERR, "restore %s from %s failed", status.c_str(), backup.c_str());
        return false;
    }
    GWLOG(LOG_LVL_NOTICE, "opkg status restored from %s", backup.c_str());
    return true;
}

void prepare_shared_directories()
{
    g_mkdir_with_parents(gw::RootPath("/hgutmp/diaginfo").c_str(), 0777);
    g_mkdir_with_parents(gw::RootPath("/tmp/.uci").c_str(), 0777);
    // World-writable as plug-ins of other users stage and commit here, but sticky: a plug-in cannot
    // delete or replace another owner's file (a commit renames over its own package file only).
    for (const char *dir : {"/tmp/.uci", "/etc/config"}) {
        const std::string path = gw::RootPath(dir);
        if (exists(path) && ucf_set_file_mode(path.c_str(), S_ISVTX | 0777) != 0)
            GWLOG(LOG_LVL_WARN, "mode of %s not set", path.c_str());
    }
    const std::string mount_tmp = gw::RootPath("/tmp/.uci/mount.tmp");
    if (exists(mount_tmp))
        ucf_set_file_mode(mount_tmp.c_str(), 0666);
}

}  // namespace plughost
