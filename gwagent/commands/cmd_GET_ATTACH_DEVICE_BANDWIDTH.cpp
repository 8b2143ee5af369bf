// GET_ATTACH_DEVICE_BANDWIDTH: an online host's up and down limits.
#include "commands/cmd_bandwidth.h"

extern "C" int cmd_GET_ATTACH_DEVICE_BANDWIDTH(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                               int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    return gwagent::answer_bandwidth(r, false);
}
