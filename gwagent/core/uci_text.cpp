#include "core/uci_text.hpp"

#include <vector>

#include "gwbus/util.h"

namespace gwagent {

bool uci_read(const char *package, const char *section, const char *option, std::string &value)
{
    std::vector<char> buf(8192, '\0');
    if (uci_config_get_n(package, section, option, buf.data(), buf.size()) != 0)
        return false;
    value.assign(buf.data());
    return true;
}

}  // namespace gwagent
