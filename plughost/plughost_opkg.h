// The package manager as the host runs it: by argument vector, never through a shell. The program is
// $GW_OPKG when set (a stand-in or a wrapper confining opkg to the run-time root), else "opkg".
#ifndef PLUGHOST_OPKG_H
#define PLUGHOST_OPKG_H

#include <string>

namespace plughost {

// "opkg install <file> --force-downgrade". Returns the exit status (logged only).
int opkg_install_file(const std::string &file);
// "opkg remove <name> --force-remove --force-removal-of-essential-packages [--force-depends]"; the last
// one for packages other than libraries.
int opkg_remove_package(const std::string &name);
// Copies the package database to its backup before opkg changes it.
void opkg_backup_status();
// The Version of an installed package in the package database, "" when not installed.
std::string opkg_installed_version(const std::string &name);

}  // namespace plughost

#endif
