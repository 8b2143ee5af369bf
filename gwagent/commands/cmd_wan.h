/* Shared by the WAN members: finding a connection by name, and the password field cipher. */
#ifndef GWAGENT_COMMANDS_CMD_WAN_H
#define GWAGENT_COMMANDS_CMD_WAN_H

#include <string>

#include "gwbus/objects.h"

namespace gwagent {

// The connection record of that WAN name: 0, -1 when the name gives no path, -2 when the record
// cannot be read.
int wan_by_name(const char *wan_name, ccif_WANConnectionInfo_t *out);

// The key text of password fields: serial prefix followed by SharedPasswd.
std::string password_key();

// The first and second entries of a comma-separated list (second empty without a comma).
void split_first_comma(const char *list, std::string &first, std::string &second);

}  // namespace gwagent

#endif
