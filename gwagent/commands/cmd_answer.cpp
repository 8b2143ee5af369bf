#include "commands/cmd_answer.h"

#include <cstdio>

namespace gwagent {

std::string two_decimals(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    return buf;
}

}  // namespace gwagent
