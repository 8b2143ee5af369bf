// OXA_ZEP_UPGRADE: the order is checked against the running framework's version and vendor, then
// handed to the framework service, which fetches and installs the package itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "commands/cmd_zep.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"

namespace {

constexpr const char *kResultTexts[] = {
    "Success",      "invalid url or file", "Download failed",        "invalid package",       "version too lower",
    "same version", "no vendor or arch",   "invalid vendor or arch", "system internal error", "other error"};

constexpr unsigned kCheckNewer = 1;
constexpr unsigned kCheckVendor = 2;

// The version tag's checks; 0 when the order may go on.
int check_tag(const std::string &tag, unsigned mode)
{
    const char *current = g_dev_info.FrameworkVersion;
    if ((mode & kCheckNewer) && strcmp(current, tag.c_str()) >= 0) {
        GWLOG(LOG_LVL_INFO, "the version(%s) is not higher than the current version(%s).", tag.c_str(), current);
        return ZEP_UPG_VERSION_LOWER;
    }
    if (mode & kCheckVendor) {
        const size_t us = tag.find('_');
        if (us == std::string::npos) {
            GWLOG(LOG_LVL_INFO, "the fw package is invalid, [%s] no vendor or arch.", tag.c_str());
            return ZEP_UPG_NO_VENDOR_ARCH;
        }
        if (!strstr(current, tag.c_str() + us + 1)) {
            GWLOG(LOG_LVL_INFO, "the fw package is invalid, vendor or arch is not match as %s.", current);
            return ZEP_UPG_INVALID_VENDOR_ARCH;
        }
    }
    return 0;
}

bool read_order(const gwagent::Request &r, zep_upgrade_order &o)
{
    int size = 0;
    std::string url;
    if (!r.required("ModuleName", o.ModuleName) || !r.required("Version", o.Version) ||
        !r.required("RunMode", o.RunMode) || !r.required_int("FileSize", size) || !r.required("UpMode", o.UpMode) ||
        !r.required_text("URL", sizeof o.URL - 1, url))
        return false;
    o.FileSize = size;
    copy_truncated(o.URL, url.c_str());
    return true;
}

}  // namespace

namespace gwagent {

void get_downloadurl_info(const zep_upgrade_order &order, std::string &tag, std::string &second, std::string &third)
{
    tag.clear();
    second.clear();
    third.clear();
    const std::string url = order.URL;
    const size_t slash = url.rfind('/');
    if (slash == std::string::npos)
        return;
    std::string name = url.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find(order.Version) == std::string::npos)
        return;
    name.resize(dot);
    const size_t first = name.find('_');
    if (first == std::string::npos)
        return;
    tag = name.substr(first + 1);
    const size_t next = tag.find('_');
    if (next == std::string::npos)
        return;
    second = tag.substr(0, next);
    third = tag.substr(next + 1);
}

}  // namespace gwagent

extern "C" const char *zep_upgrade_result_text(int code)
{
    if (code < 0 || code > ZEP_UPG_OTHER)
        code = ZEP_UPG_OTHER;
    return kResultTexts[code];
}

extern "C" int upgrade_framework_V1(const zep_upgrade_order *order)
{
    if (!order || order->URL[0] == '\0')
        return ZEP_UPG_INVALID_URL;
    const unsigned mode = static_cast<unsigned>(strtoul(order->UpMode, nullptr, 10));
    if (strcmp(order->Block, "true") != 0) {
        std::string tag, second, third;
        gwagent::get_downloadurl_info(*order, tag, second, third);
        const int rc = check_tag(tag, mode);
        if (rc != 0) {
            GWLOG(LOG_LVL_WARN, "new version check failed, ver too lower or vendor/arch no match.");
            return rc;
        }
    }
    GWLOG(LOG_LVL_INFO, "Upgrade method param : %s", order->URL);
    uint32_t result = 0;
    const int rc = mth_framework_Upgrade(order->URL, static_cast<uint8_t>(mode & 255), &result);
    GWLOG(LOG_LVL_INFO, "Upgrade method return %d : %u", rc, result);
    return rc == 0 ? ZEP_UPG_SUCCESS : ZEP_UPG_BUS_FAILED;
}

extern "C" int create_null_file(const char *path)
{
    if (!path)
        return -1;
    const std::string at = gw::RootPath(path);
    const int fd = open(at.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno == EEXIST ? 0 : -1;
    // The umask must not narrow the mode of a file other processes write.
    const int rc = fchmod(fd, 0666);
    close(fd);
    return rc == 0 ? 0 : -1;
}

extern "C" int isBigend(void) { return 1; }

extern "C" int cmd_OXA_ZEP_UPGRADE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    GWLOG(LOG_LVL_INFO, "zep upgrade : %s", cmd_type);
    zep_upgrade_order order{};
    if (!read_order(r, order))
        return r.fail("missing parameters");
    if (!r.optional("Block", order.Block, sizeof order.Block - 1))
        return r.fail("missing parameters");
    write_zep_log("%s download start : %s", order.ModuleName, order.URL);
    if (strcmp(order.ModuleName, "all") != 0 && strcmp(order.ModuleName, "zep") != 0) {
        GWLOG(LOG_LVL_NOTICE, "zep upgrade failed, %s is invalide module.", order.ModuleName);
        return r.fail("invalid_ModuleName");
    }
    const int rc = upgrade_framework_V1(&order);
    if (rc == ZEP_UPG_SUCCESS)
        return r.ok();
    const char *text = zep_upgrade_result_text(rc);
    write_zep_log("%s upgrade failed, because it is %s.", order.ModuleName, text);
    return r.fail(text);
}
