// Start_BootRegister: the platform asks the agent to start over. The answer goes out first; the
// plugin server is left a second later and the whole boot and registration follow.
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "platform/conn.h"

namespace {

constexpr int kDisconnectMs = 1000;
constexpr int kReloginMs = 5000;

}  // namespace

extern "C" int cmd_Start_BootRegister(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    const int rc = r.ok();
    gwagent_plugin_disconnect_after(kDisconnectMs);
    gwagent_relogin_after(kReloginMs);
    return rc;
}
