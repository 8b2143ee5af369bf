// UCI reads into std::string: uci_config_get copies a plain option whole, so it gets a buffer far
// larger than any option the agent stores.
#ifndef GWAGENT_CORE_UCI_TEXT_HPP
#define GWAGENT_CORE_UCI_TEXT_HPP

#include <string>

namespace gwagent {

// True and the value when the option exists.
bool uci_read(const char *package, const char *section, const char *option, std::string &value);

}  // namespace gwagent

#endif
