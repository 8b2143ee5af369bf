// HG_COMMAND_REBOOT: answers at once; the reboot follows five seconds after the last such command.
#include "commands/cmd_system_timers.h"
#include "commands/cmd_table.h"

extern "C" int cmd_HG_COMMAND_REBOOT(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    const int rc = gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
    g_timeout_reboot.cb = gwagent_reboot_timeout_cb;
    uloop_timeout_set(&g_timeout_reboot, GWAGENT_SYSTEM_CMD_DELAY_MS);
    return rc;
}
