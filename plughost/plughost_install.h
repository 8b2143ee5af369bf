// The install pipeline: install and upgrade tasks run one at a time (install pool or a direct caller
// holding the task lock), each turning a package location into a running plug-in and telling the
// agent the outcome; uninstall undoes all of it.
#ifndef PLUGHOST_INSTALL_H
#define PLUGHOST_INSTALL_H

#include <mutex>
#include <string>

#include "plughost_registry.h"

namespace plughost {

// Result codes of the install and upgrade routines, as reported to the agent.
enum InstallCode : int {
    kInstOk = 0,
    kInstFailed = -1,
    kInstBadUrl = -2,
    kInstDownloadFailed = -3,
    kInstNoFile = -4,
    kInstNoControl = -5,
    kInstMissingKeys = -6,
    kInstCheckFailed = -7,
    kInstNoUser = -8,
    kInstNotInstalledAfter = -9,
    kInstVersion = -10,
    kInstExists = -11,
    kInstUpgradeNotInstalled = -13,
    kInstDepends = -17,
    kInstNotRegistered = -1001,
    kInstRecordLost = -1002,
    kInstContainer = -1003,
};

// Codes of Uninstall besides 0, -1, -11 (still installed) and -13 (not installed).
constexpr int kUninstEssential = -12;
constexpr int kUninstProvider = -18;

// 1 from Install, 2 from Upgrade.
enum class TaskType { Install = 1, Upgrade = 2 };

// The url's text after the last "/" (cut at 63): what InstQuery and the agent's report name.
std::string task_file_name(const std::string &url);
// The package a url names: the file name cut at 31, then at the first "_", kept to 15 characters.
std::string task_package_name(const std::string &url);

// Held by whoever runs an install or upgrade: the install pool's worker, and any direct caller (the
// scan of preinstalled packages), so that tasks never overlap.
std::unique_lock<std::mutex> install_task_lock();
// As above without waiting; the lock is not owned when a task runs.
std::unique_lock<std::mutex> try_install_task_lock();

// One task: picks install or upgrade by whether the url's package is installed, runs it, reports the
// code to the agent. Takes the task lock. Returns the code.
int plughost_run_task(const std::string &url, TaskType type, Registry &reg = registry());

// The routines; the caller holds the task lock.
int plughost_install(const std::string &url, Registry &reg = registry());
int plughost_upgrade(const std::string &url, bool forced, Registry &reg = registry());

// Removes an installed plug-in and everything made for it; the Uninstall reply code.
int plughost_uninstall(const std::string &name, Registry &reg = registry());

// "UpgRep" (package file name, 0, code) to the agent. 0 when sent, 1 otherwise.
int plughost_report(const std::string &package_file, int code);

// Version rule of an upgrade: the first strlen(current) bytes decide. 0 to accept, kInstVersion not.
int upgrade_version_rule(const std::string &current, const std::string &next, bool forced);

// A container configuration after an upgrade: the socket-directory mount entries (host side below
// `uds_dir`) dropped, and the id map moved from old_uid to new_uid when they differ.
std::string upgraded_container_config(const std::string &config, const std::string &uds_dir, uid_t old_uid,
                                      uid_t new_uid);

// Makes the install pool run this pipeline.
void install_pipeline_enable();

}  // namespace plughost

#endif
