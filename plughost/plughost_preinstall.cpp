#include "plughost_preinstall.h"

#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <string>

#include <glib.h>

#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/rootpath.h"

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
