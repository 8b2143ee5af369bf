// The host's own files at start: its bus policy, the time-zone copies containers link to, the package
// database check, and the directories plug-ins share.
#ifndef PLUGHOST_STARTUP_H
#define PLUGHOST_STARTUP_H

namespace plughost {

constexpr const char *kPidFile = "/var/run/plughost.pid";

// "<policy dir>/plughost.conf" when missing: root owns any name and sends method calls. 0 or -1.
int write_host_policy();
// Copies "/etc/localtime" (unless already copied) and "/tmp/TZ" into "/tmp/.uci", readable by all.
void copy_time_zone();
// Restores "/usr/lib/opkg/status" from its ".bk" copy when it cannot be opened or is under 10240 bytes.
// true when it was restored.
bool check_opkg_status();
// The directories plug-ins write: "/hgutmp/diaginfo", and "/tmp/.uci" and "/etc/config" writable but
// sticky, so a plug-in can make and replace only its own files.
void prepare_shared_directories();

}  // namespace plughost

#endif
