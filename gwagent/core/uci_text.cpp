#include "core/uci_text.hpp"

#include <vector>

#include "gwbus/util.h"

namespace gwagent {

bool uci_read(const char *package, const char *section, const char *option, std::string &value)
{
    std::vector<char> buf(8192, '\0');
    if (uci_config_get(package, section, option, buf.data()) != 0)
        return false;
    buf.back() = '\0';
    value.assign(buf.data());
    return true;
}

}  // namespace gwagent
