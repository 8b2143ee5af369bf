// Files the host makes for a plug-in outside its package: the bus policy, the container's base
// configuration, the container settings taken from the control record, and the stop mark.
#ifndef PLUGHOST_HOSTFILES_H
#define PLUGHOST_HOSTFILES_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "plughost_control.h"

namespace plughost {

constexpr const char *kPolicyDir = "/etc/dbus-1/system.d";

// What the bus policy of a plug-in says.
struct PolicyInput {
    uid_t uid = 65534;
    std::string bus_name;  // empty: the plug-in owns no name
    bool kernel_modules = false;
    std::vector<std::string> interfaces;  // usedInterface
    std::vector<std::string> sys_paths;   // usedSysPath
};
std::string bus_policy_text(const PolicyInput &in);
// The policy input of an installed plug-in from its control record and control file.
PolicyInput policy_input(const CtrlInfo *info, uid_t uid, const std::string &control_path);
// Writes "<kPolicyDir>/<name>.conf" under the run-time root (whole or not at all). 0 or -1.
int write_bus_policy(const std::string &name, const PolicyInput &in);
int remove_bus_policy(const std::string &name);

// "default.conf": the id map for a uid other than 0, no network.
std::string default_conf_text(uid_t uid);
// Writes "<container path>/default.conf" (making the path) and makes the path searchable. 0 or -1.
int write_default_conf(const std::string &container_path, uid_t uid);

// One container configuration item. "lxc.mount.entry" adds a line; any other key replaces its values,
// and an empty value only clears them.
struct ConfigItem {
    std::string key;
    std::string value;
    bool operator==(const ConfigItem &o) const { return key == o.key && value == o.value; }
};
struct ContainerSettings {
    std::vector<ConfigItem> items;
    std::vector<std::string> dirs;  // absolute host paths (run-time root applied) to make, 0755
};
// The settings of a plug-in's container, in the order they are written. Paths on the host side go
// through the run-time root.
ContainerSettings container_settings(const CtrlInfo &info, const std::string &container_path);

// The stop mark: option <name> of section "stop" in UCI package "plughost"; "1" keeps the plug-in from
// starting at boot.
int set_stop_mark(const std::string &name, bool stopped);
bool stop_marked(const std::string &name);

}  // namespace plughost

#endif
