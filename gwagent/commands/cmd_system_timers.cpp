#include "commands/cmd_system_timers.h"

#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

struct uloop_timeout g_timeout_reboot = {};
struct uloop_timeout g_timeout_restore = {};

namespace {

using SysCall = int (*)(int *status, char **errmsg);

void call_logged(SysCall call, const char *name)
{
    int status = 0;
    char *errmsg = nullptr;
    const int rc = call(&status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0)
        GWLOG(LOG_LVL_NOTICE, "%s() failed, t_ret = %d.", name, rc);
    else if (status != 0)
        GWLOG(LOG_LVL_NOTICE, "%s() return failed, status = %d, %s.", name, status, errmsg ? errmsg : "");
}

}  // namespace

extern "C" void gwagent_reboot_timeout_cb(struct uloop_timeout *)
{
    GWLOG(LOG_LVL_NOTICE, "call com.yvc.igd1.SysCmd.Reboot...");
    call_logged(mth_Reboot, "mth_Reboot");
}

extern "C" void gwagent_restore_timeout_cb(struct uloop_timeout *)
{
    GWLOG(LOG_LVL_NOTICE, "call com.yvc.igd1.SysCmd.Restore...");
    call_logged(mth_Restore, "mth_Restore");
}
