// GET_ATTACH_DEVICE_BANDWIDTH_EX: an online host's limits and guaranteed rates.
#include "commands/cmd_bandwidth.h"

extern "C" int cmd_GET_ATTACH_DEVICE_BANDWIDTH_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                                  int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    return gwagent::answer_bandwidth(r, true);
}
