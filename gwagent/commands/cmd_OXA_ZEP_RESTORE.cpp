// OXA_ZEP_RESTORE: answered at once; the framework service restores the framework five seconds after
// the last order, when the answer is on its way.
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "commands/cmd_zep.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

struct uloop_timeout g_timeout_oxa_framework_restore0 = {};

extern "C" void ucf_timeout_oxa_framework_restore0_cb(struct uloop_timeout *)
{
    GWLOG(LOG_LVL_NOTICE, "call com.yvc.zep1.framework.Restore...");
    const int rc = api_framework_Restore();
    if (rc != 0)
        GWLOG(LOG_LVL_WARN, "api_framework_Restore() failed, t_ret = %d.", rc);
}

extern "C" int cmd_OXA_ZEP_RESTORE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    const json_t *mode = json_object_get(cmd, "Mode");
    if (!json_is_integer(mode)) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter Mode.", cmd_type);
        return r.fail("parameter_error");
    }
    if (json_integer_value(mode) != 0) {
        GWLOG(LOG_LVL_WARN, "%s json string Parameter Mode(%u) is invalid.", cmd_type,
              static_cast<unsigned>(json_integer_value(mode)));
        return r.fail("parameter_error");
    }
    int rc = r.ok();
    if (rc == -1)
        rc = r.fail("create_json_fail");
    if (fd == -1) {
        g_timeout_oxa_framework_restore0.cb = ucf_timeout_oxa_framework_restore0_cb;
        uloop_timeout_set(&g_timeout_oxa_framework_restore0, ZEP_RESTORE_DELAY_MS);
    }
    return rc;
}
