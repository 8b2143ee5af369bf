/* The bandwidth members share their host lookup and answers. */
#ifndef GWAGENT_COMMANDS_CMD_BANDWIDTH_H
#define GWAGENT_COMMANDS_CMD_BANDWIDTH_H

#include "commands/cmd_request.h"

namespace gwagent {

// GET_ATTACH_DEVICE_BANDWIDTH(_EX): the limits (and guarantees) of the online host with the MAC.
int answer_bandwidth(const Request &r, bool with_guarantee);

}  // namespace gwagent

#endif
