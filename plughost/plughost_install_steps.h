// Steps shared by the install and upgrade routines; only their two source files include this.
#ifndef PLUGHOST_INSTALL_STEPS_H
#define PLUGHOST_INSTALL_STEPS_H

#include <cstddef>
#include <memory>
#include <string>

#include "plughost_control.h"
#include "plughost_registry.h"

namespace plughost::steps {

inline constexpr size_t kInstallMinSize = 1024;
inline constexpr size_t kUpgradeMinSize = 2048;

// What differs between the first steps of an install and of an upgrade: the words and the minimum size.
struct RoutineTexts {
    const char *verb;      // "install" / "upgrade"
    const char *zep_verb;  // "Install" / "Update"
    const char *null_url, *bad_url_prefix, *not_exist, *download_failed;
    size_t min_size;
};

inline constexpr RoutineTexts kInstallTexts = {
    "install",      "Install", "ipk URL is null.", "", "ipk file is not exist.", "ipk file download failed.",
    kInstallMinSize};
inline constexpr RoutineTexts kUpgradeTexts = {"upgrade",
                                               "Update",
                                               "plugin upgrade: ipk URL is null.",
                                               "plugin upgrade failed : ",
                                               "upgrade install failed : ipk file is not exist.",
                                               "upgrade install failed : ipk file download failed.",
                                               kUpgradeMinSize};

// The package file of a task: a local file used in place, or a download deleted with this object.
struct PackageFile {
    std::string path;  // host path
    bool downloaded = false;
    PackageFile() = default;
    PackageFile(const PackageFile &) = delete;
    PackageFile &operator=(const PackageFile &) = delete;
    ~PackageFile();
};

// The directory a control file was extracted to, removed with this object.
struct ControlFile {
    std::string path;  // "<dir>/control"
    ControlFile() = default;
    ControlFile(const ControlFile &) = delete;
    ControlFile &operator=(const ControlFile &) = delete;
    ~ControlFile();
};

// A package fetched, its control file extracted, parsed and checked: the first steps of both routines.
struct Prepared {
    PackageFile file;
    ControlFile control;
    std::unique_ptr<CtrlInfo> info;
};

// The steps up to the control check. 0, or the routine's code (the install state set as it goes).
int prepare(const std::string &url, const RoutineTexts &t, Prepared &p);
// The container's "/etc/resolv.conf" (and with `all` "TZ" and "localtime") linked to the host's copies.
void link_shared_etc(const std::string &container_path, const std::string &name, bool all);
// Started unless its control file asks it to stay stopped.
void start_or_mark(const CtrlInfo &info, Registry &reg, bool restart);
// The bus policy of a plug-in from its control record and control file.
void write_policy(const PluginRecord &rec, const std::string &control_path);
// The final state and log line of a routine that got past the control extraction.
void finish(const RoutineTexts &t, const std::string &name, int code);

}  // namespace plughost::steps

#endif
