/* Text forms of answer values shared by the command units. */
#ifndef GWAGENT_COMMANDS_CMD_ANSWER_H
#define GWAGENT_COMMANDS_CMD_ANSWER_H

#include <string>

namespace gwagent {

// "%.2f" of a value, as the platform expects optical readings.
std::string two_decimals(double v);

}  // namespace gwagent

#endif
