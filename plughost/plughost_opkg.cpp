#include "plughost_opkg.h"

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_control.h"
#include "plughost_users.h"

namespace plughost {

namespace {

constexpr const char kStatus[] = "/usr/lib/opkg/status";
constexpr const char kStatusBackup[] = "/usr/lib/opkg/status.bk";

std::string opkg_program()
{
    const char *p = std::getenv("GW_OPKG");
    return p && *p ? p : "opkg";
}

int run_opkg(std::vector<std::string> args)
{
    args.insert(args.begin(), opkg_program());
    const std::string what = args[1] + " " + args[2];
    std::string err;
    const int status = run_program(args, &err);
    if (status == 0)
        GWLOG(LOG_LVL_DEBUG, "execute %s success", what.c_str());
    else
        GWLOG(LOG_LVL_WARN, "execute %s failed, ret = %d", what.c_str(), status);
    if (!err.empty())
        GWLOG(LOG_LVL_DEBUG, "opkg: %s", err.c_str());
    // Packages may ship configuration files; plug-ins must keep being able to write theirs.
    ucf_set_file_mode(gw::RootPath("/etc/config").c_str(), 0222);
    return status;
}

}  // namespace

int opkg_install_file(const std::string &file) { return run_opkg({"install", file, "--force-downgrade"}); }

int opkg_remove_package(const std::string &name)
{
    std::vector<std::string> args = {"remove", name, "--force-remove", "--force-removal-of-essential-packages"};
    if (!is_library(name))
        args.push_back("--force-depends");
    return run_opkg(args);
}

void opkg_backup_status()
{
    if (copy_file(gw::RootPath(kStatus).c_str(), gw::RootPath(kStatusBackup).c_str()) != 0)
        GWLOG(LOG_LVL_WARN, "backup of %s failed", kStatus);
}

std::string opkg_installed_version(const std::string &name)
{
    std::ifstream in(gw::RootPath(kStatus));
    std::string line, version;
    bool mine = false, installed = false;
    auto done = [&] { return mine && installed; };
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            if (done())
                return version;
            mine = installed = false;
            version.clear();
        } else if (line.compare(0, 9, "Package: ") == 0) {
            mine = line.compare(9, std::string::npos, name) == 0;
        } else if (line.compare(0, 9, "Version: ") == 0) {
            version = line.substr(9);
        } else if (line.compare(0, 8, "Status: ") == 0) {
            installed = line.size() >= 10 && line.compare(line.size() - 10, 10, " installed") == 0;
        }
    }
    return done() ? version : "";
}

}  // namespace plughost
