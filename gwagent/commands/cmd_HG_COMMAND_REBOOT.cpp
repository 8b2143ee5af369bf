// HG_COMMAND_REBOOT: answers at once; the reboot follows five seconds after the last such command.
#include "commands/cmd_request.h"
#include "commands/cmd_system_timers.h"
#include "commands/cmd_table.h"

extern "C" int cmd_HG_COMMAND_REBOOT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    const int rc = r.ok();
    g_timeout_reboot.cb = gwagent_reboot_timeout_cb;
    uloop_timeout_set(&g_timeout_reboot, GWAGENT_SYSTEM_CMD_DELAY_MS);
    return rc;
}
