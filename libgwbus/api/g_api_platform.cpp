// The agent's platform connection as other processes see it.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/methods.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

extern "C" {

int api_getPlatformStatus(api_PlatformStatus_t *status)
{
    API_ENTER();
    if (!status)
        return -1;
    char address[4096] = "";
    if (uci_config_get_n("gwagent", "distri", "address", address, sizeof address) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get gwagent.distri.address failed.", __func__);
        return -1;
    }
    api_PlatformStatus_t out{};
    copy_truncated(out.DistriAddress, address);
    if (mth_gwagent_GetStatus(out.ServerAddress, sizeof out.ServerAddress, &out.ServerPort, &out.Status) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) gwagent GetStatus failed.", __func__);
        return -1;
    }
    *status = out;
    return 0;
}

}  // extern "C"
