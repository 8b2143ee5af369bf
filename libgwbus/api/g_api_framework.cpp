// The framework service's own settings.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"

extern "C" {

int api_getZepmgLogLevel(int *level)
{
    API_ENTER();
    if (!level)
        return -1;
    ccif_framework_t fw{};
    if (ccif_framework_get(&fw) != 0) {
        GWLOG(5, "(%s) get framework failed.", __func__);
        return -1;
    }
    *level = fw.ZepLogLevel;
    return 0;
}

int api_setZepmgLogLevel(int level)
{
    API_ENTER();
    if (level < 0 || level > 7) {
        GWLOG(5, "(%s) log level %d is invalid, should be 0--7.", __func__, level);
        return -1;
    }
    if (g_hgu_SetProperty("com.yvc.zep1", "/com/yvc/zep1", "com.yvc.zep1.framework", "ZepLogLevel",
                          g_variant_new_byte(static_cast<guchar>(level))) != 0) {
        GWLOG(5, "(%s) set ZepLogLevel failed.", __func__);
        return -1;
    }
    return 0;
}

}  // extern "C"
