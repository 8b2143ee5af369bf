#include "commands/cmd_wan.h"

#include <cstring>

#include "core/dev_info.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

namespace gwagent {

int wan_by_name(const char *wan_name, ccif_WANConnectionInfo_t *out)
{
    char path[CCIF_PATH_SIZE] = {};
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetWANConnByName(wan_name, path, sizeof path, &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0 || !path[0]) {
        GWLOG(LOG_LVL_WARN, "get path of WAN %s failed, status %d, %s.", wan_name, status, errmsg ? errmsg : "");
        return -1;
    }
    if (ccif_WANConnectionInfo_get(path, out) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo %s failed.", path);
        return -2;
    }
    return 0;
}

std::string password_key() { return std::string(g_dev_info.SNPrefix) + g_dev_info.SharedPasswd; }

void split_first_comma(const char *list, std::string &first, std::string &second)
{
    const char *comma = std::strchr(list, ',');
    if (!comma) {
        first = list;
        second.clear();
        return;
    }
    first.assign(list, static_cast<size_t>(comma - list));
    second = comma + 1;
}

}  // namespace gwagent
