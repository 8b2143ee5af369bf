#include "api_common.hpp"

#include "gwbus/bus.h"

namespace gwapi {

int find_wan(const char *func, uint32_t wan_index, ccif_WANConnectionInfo_t *wan)
{
    List<ccif_WANConnectionInfo_t> wans;
    if (list(ccif_WANConnectionInfo_get_objs, wans) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get WANConnectionInfo objects failed.", func);
        return -1;
    }
    for (const auto &w : wans) {
        if (index_text_is(w.Index, wan_index)) {
            *wan = w;
            return 0;
        }
    }
    GWLOG(LOG_LVL_NOTICE, "(%s) WanIndex no match Object.", func);
    return -2;
}

int check_wifi(const char *func)
{
    // Read afresh, not cached: a capability corrected on the service takes effect without a restart.
    const int wifi = getDeviceWiFi();
    if (wifi < 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get DevWiFi failed.", func);
        return -1;
    }
    if (wifi == 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Device does not support WiFi.", func);
        return -50;
    }
    return 0;
}

}  // namespace gwapi
