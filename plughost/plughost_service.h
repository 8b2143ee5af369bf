// The AppAgent bus service: one method table that is both the introspection description and the
// dispatch, the properties, and the install progress that InstQuery reports.
#ifndef PLUGHOST_SERVICE_H
#define PLUGHOST_SERVICE_H

#include <cstdint>
#include <string>

#include <gio/gio.h>

#include "plughost_registry.h"

namespace plughost {

constexpr const char *kServiceName = "com.yvc.appframework1";
constexpr const char *kServicePath = "/com/yvc/appframework1";
constexpr const char *kServiceInterface = "com.yvc.appframework1.AppAgent";

// State of the install task that runs or ran last.
enum InstallState : int {
    kInstallIdle = 0,
    kInstallStarted = 1,
    kInstallDownloading = 2,
    kInstallDownloadFailed = 3,
    kInstalling = 4,
    kInstallSucceeded = 5,
    kInstallFailed = 6,
};

// Set by the install pipeline; package_file is the url's text after its last "/" (cut at 63).
void set_install_progress(int state, const std::string &package_file);
void set_install_state(int state);

// What an install task runs on the install pool's worker (url, upgrade requested). Null restores the
// default, which marks the task failed.
using InstallRunner = void (*)(const std::string &url, bool upgrade);
void set_install_runner(InstallRunner runner);
// Creates the one-worker install pool once; false when it cannot be made.
bool install_pool_init();

// The introspection text built from the method table.
std::string service_introspection_xml();

// Registers the object on the connection, serving `reg`. Returns the registration id, 0 on failure.
// Method calls are answered in the thread-default main context of the caller.
unsigned service_register(GDBusConnection *connection, Registry &reg);

// Current values of the flash properties.
uint32_t flash_threshold();
uint32_t flash_duration();

}  // namespace plughost

#endif
