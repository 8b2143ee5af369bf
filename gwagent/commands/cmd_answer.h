/* Small answer builders shared by the command units. */
#ifndef GWAGENT_COMMANDS_CMD_ANSWER_H
#define GWAGENT_COMMANDS_CMD_ANSWER_H

#include <initializer_list>
#include <string>
#include <utility>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"

namespace gwagent {

// Answers the success head followed by string members in the given order.
int answer_members(int id, const char *sequence_id, const char *cmd_type,
                   std::initializer_list<std::pair<const char *, std::string>> members, int fd);

// Reads a required string parameter (kept to `keep` characters); on failure logs the command's
// missing-parameter lines and returns false.
bool required_string(json_t *cmd, const char *cmd_type, const char *param, char *dst, size_t keep);

// Answers a method call's outcome: a failed call "callMethod_failed", a refusal its own text (or
// "callMethod_failed" when it gave none), else success. Logs the failure; errmsg stays the caller's.
int answer_method_result(int id, const char *sequence_id, const char *cmd_type, const char *method, int rc,
                         int status, const char *errmsg, int fd);

// "%.2f" of a value, as the platform expects optical readings.
std::string two_decimals(double v);

}  // namespace gwagent

#endif
