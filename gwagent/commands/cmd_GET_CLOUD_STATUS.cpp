// GET_CLOUD_STATUS: the state of the distribution server connection.
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "platform/records.h"

namespace {

constexpr const char *kCloudStatus[] = {"NotConnect",   "Connecting",  "Registing",
                                        "Heartbeating", "Heartbeated", "RegisterError"};

}  // namespace

extern "C" int cmd_GET_CLOUD_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    const unsigned status = app_domain_info[DOMAIN_DISTR].status;
    const char *text = status <= DOMAIN_STATUS_FAILED ? kCloudStatus[status] : kCloudStatus[0];
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "CloudStatus", json_string(text)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}
