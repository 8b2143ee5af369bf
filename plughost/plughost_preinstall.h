// What the firmware image brings: the check of the architecture and version the host was built for
// against the ones the gateway recorded (a changed architecture restores the framework), and the
// packages shipped in "/ipks".
#ifndef PLUGHOST_PREINSTALL_H
#define PLUGHOST_PREINSTALL_H

#include <string>

#include "plughost_registry.h"

namespace plughost {

constexpr const char *kBuiltArch = "arm_velmar_V32085_O";
constexpr const char *kBuiltVersion = "VF2.00.0010";
constexpr const char *kVersionRecord = "/etc/CheckVersion.conf";
constexpr const char *kFirmwareVersionFile = "/etc/openwrt_version";

enum class VersionAction {
    Continue,  // start goes on
    Exit,      // the values cannot be read: end with status 0
    Restore,   // the architecture changed: restore the framework, then end with status 0
};

struct VersionCheck {
    VersionAction action = VersionAction::Continue;
    std::string arch;      // the built-in one (or the firmware's)
    std::string old_arch;  // the recorded one
};

// Compares the built-in architecture and version (empty: taken from the firmware version file) with
// the recorded ones ("/etc/CheckVersion.conf", else the package database's plughost entry), and
// writes the record when it is missing or out of date.
VersionCheck plughost_version_check(const std::string &built_arch = kBuiltArch,
                                    const std::string &built_version = kBuiltVersion);

// Waits `wait_seconds`, then asks the framework service to restore the framework. 0 when it agreed.
int plughost_restore_framework(const std::string &built_arch, const std::string &old_arch, unsigned wait_seconds);

constexpr const char *kPackageDir = "/ipks";
constexpr const char *kUpgradeMarker = "/rom/.modupgrd0";
constexpr const char *kAgentFifo = "/tmp/gwagentmq.fifo";
constexpr const char *kAgentPidFile = "/var/run/gwagent.pid";
constexpr const char *kAgentInitScript = "/etc/init.d/gwagent";

// Installs or upgrades from the packages in "/ipks" by the version rules of preinstalled plug-ins and
// system modules; the agent and the host themselves upgrade from there too (the host then ends with
// status 0 for the init system to start the new one). `at_start`: the first scan, before the bus name
// is owned (the host's own leftover containers are stopped, and an install that fails is tried once
// more). Runs under the install task lock, so it never overlaps an install task or another scan.
void plughost_preinstall_scan(bool at_start, Registry &reg = registry());

// The thread "plughost-upgrade": a scan whenever the marker file's modification time changes (looked
// at every `period_ms`). Stopped and joined by stop_upgrade_watcher().
void start_upgrade_watcher(unsigned period_ms = 5000);
void stop_upgrade_watcher();

}  // namespace plughost

#endif
