// Plug-in containers through liblxc: create from the host's templates, the settings from the control
// record, start in a double-forked process, stop, destroy, the kernel modules a plug-in loads, and the
// start of every plug-in at boot.
#ifndef PLUGHOST_CONTAINER_H
#define PLUGHOST_CONTAINER_H

#include <sys/types.h>

#include <string>
#include <vector>

#include "plughost_registry.h"

struct lxc_container;

namespace plughost {

// A liblxc container handle, held by the plug-in's record.
class LxcContainer : public ContainerHandle {
public:
    explicit LxcContainer(struct lxc_container *c) : c_(c) {}
    ~LxcContainer() override;
    LxcContainer(const LxcContainer &) = delete;
    LxcContainer &operator=(const LxcContainer &) = delete;
    std::string state() const override;
    bool running() const override;
    int init_pid() const override;
    struct lxc_container *get() const { return c_; }

private:
    struct lxc_container *c_;
};

// Opens the handle of container `name` kept under the container path (below the run-time root);
// null when liblxc cannot make one. Usable as the registry's container factory.
ContainerPtr open_container(const std::string &name, const std::string &container_path);

// The template of a plug-in: "app", "essapp", "rootapp" or "rootess".
const char *template_for(const CtrlInfo &info);
// Where the template program of a kind lives: "/usr/share/lxc/templates/lxc-<kind>" below the root.
std::string template_path(const std::string &kind);

// Codes of plughost_create_container.
enum CreateCode {
    kCreateOk = 0,
    kCreateNoArgs = -1,
    kCreateNoName = -2,
    kCreateNoRecord = -3,
    kCreateNoPath = -4,
    kCreateNoTemplate = -5,
    kCreatePathNotMade = -6,
    kCreateLoadError = -7,
    kCreateExists = -8,
    kCreateFailed = -9,
};
int plughost_create_container(const std::string &name, const std::string &tmpl, Registry &reg = registry());

// Writes the container settings of the plug-in's record. 0, or -1 without record or container.
int plughost_container_settings(const std::string &name, Registry &reg = registry());

// Start codes besides 0 and -1.
constexpr int kStartNotInstalled = -13;
constexpr int kStartNoRecord = -14;
constexpr int kStartRunning = -15;
constexpr int kStartTimeout = -16;
int plughost_start_plugin(const std::string &name, Registry &reg = registry());
// Starts the record's plug-in unless it is a library, stop-marked or running; does not wait.
void plughost_start_at_boot(PluginRecord &rec);
// Asks the container to shut down (returns at once), unloads its kernel modules newest first, and sets
// the stop mark. -1 without record.
int plughost_stop_plugin(const std::string &name, Registry &reg = registry());
// 0 when destroyed, 1 when refused.
int plughost_destroy_container(const std::string &name, bool force, Registry &reg = registry());
// Frees the user, the socket directory, the record, the bus policy and the container path.
void plughost_remove_plugin(const std::string &name, uid_t uid, Registry &reg = registry());
// Stops the plug-in's container at once when it runs (an upgrade replaces its files). -1 without one.
int plughost_stop_container(const std::string &name, Registry &reg = registry());
// Reads the container's configuration file again after it was edited. 0 or -1.
int plughost_reload_container_config(const std::string &name, Registry &reg = registry());
// The kernel modules the plug-in loaded, newest first; the list file is deleted.
std::vector<std::string> plughost_take_kernel_modules(const std::string &container_path);
// Stops every container of the registry through liblxc (host shutdown); never anything else.
void plughost_stop_all_containers(Registry &reg = registry());

// Loads (insmod) or unloads (rmmod) a module shipped in the plug-in's files and keeps
// "<container path>/data/krnlmod". 0 done, 1 already (un)loaded, -1 failed.
int plughost_kernel_module(const std::string &module, const std::string &options, bool load,
                           const std::string &container_path);
// The module programs, for tests; null restores "insmod"/"rmmod".
void plughost_set_module_programs(const char *insmod, const char *rmmod);

}  // namespace plughost

#endif
