// The framework service's own settings.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"

extern "C" {

int api_getZEPInfo(api_ZEPInfo_t *info)
{
    API_ENTER();
    if (!info)
        return -1;
    if (ccif_framework_get(info) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get framework failed.", __func__);
        return -1;
    }
    return 0;
}

int api_framework_Restore(void)
{
    API_ENTER();
    uint32_t result = 0;
    if (mth_framework_Restore(&result) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) call Restore failed.", __func__);
        return -1;
    }
    if (result != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) Restore returned %u.", __func__, result);
        // Never 0 for a refusal, whatever the service's number.
        return result > 0x7fffffffu ? -1 : static_cast<int>(result);
    }
    return 0;
}

int api_getZepmgLogLevel(int *level)
{
    API_ENTER();
    if (!level)
        return -1;
    ccif_framework_t fw{};
    if (ccif_framework_get(&fw) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) get framework failed.", __func__);
        return -1;
    }
    *level = fw.ZepLogLevel;
    return 0;
}

int api_setZepmgLogLevel(int level)
{
    API_ENTER();
    if (level < 0 || level > 7) {
        GWLOG(LOG_LVL_NOTICE, "(%s) log level %d is invalid, should be 0--7.", __func__, level);
        return -1;
    }
    if (g_hgu_SetProperty("com.yvc.zep1", "/com/yvc/zep1", "com.yvc.zep1.framework", "ZepLogLevel",
                          g_variant_new_byte(static_cast<guchar>(level))) != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) set ZepLogLevel failed.", __func__);
        return -1;
    }
    return 0;
}

}  // extern "C"
