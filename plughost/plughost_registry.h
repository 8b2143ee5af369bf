// The plug-in registry: one record per known plug-in, built from the opkg database, the list file and
// the control files. Every thread reaches it through one lock.
#ifndef PLUGHOST_REGISTRY_H
#define PLUGHOST_REGISTRY_H

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "plughost_control.h"

namespace plughost {

constexpr uid_t kNobodyUid = 65534;

// A plug-in's container as the container unit holds it; the registry owns and releases it, the bus
// service asks it for its state.
struct ContainerHandle {
    virtual ~ContainerHandle() = default;
    virtual std::string state() const = 0;  // the container library's word: "RUNNING", "STOPPED", ...
    virtual bool running() const = 0;
    virtual int init_pid() const = 0;  // -1 when not running
};
using ContainerPtr = std::unique_ptr<ContainerHandle>;
// Makes the handle of a container (name, container path); may answer null.
using ContainerFactory = std::function<ContainerPtr(const std::string &name, const std::string &path)>;

// A plug-in's flash write monitor: shared by the record and the monitor thread, so the thread never
// touches a record that is gone. The record's end stops the thread.
struct FlashWatch {
    FlashWatch();
    ~FlashWatch();
    FlashWatch(const FlashWatch &) = delete;
    FlashWatch &operator=(const FlashWatch &) = delete;
    void stop();  // wakes the thread, which then ends

    std::atomic<int> wd{-1};                // the watch on the data directory, -1 until added
    std::atomic<unsigned> count{0};         // writes in the current period
    std::atomic<unsigned> reset_source{0};  // the period reset timer, 0 when none
    int wake_fd = -1;                       // eventfd the thread polls beside its inotify instance
};

struct PluginRecord {
    PluginRecord() = default;
    ~PluginRecord();
    PluginRecord(PluginRecord &&) = default;
    PluginRecord &operator=(PluginRecord &&) = default;

    ContainerPtr container;             // none for libraries and until made
    std::unique_ptr<CtrlInfo> control;  // owned
    std::string container_path;         // "/opt/apps/<name>" or "/opt/preinstall/<name>"; empty for libraries
    int monitored = 0;
    uid_t uid = kNobodyUid;
    std::shared_ptr<FlashWatch> flash;  // set once its monitor started

    const std::string &name() const;
};

// "/opt/preinstall/<name>" for an Essential plug-in, "/opt/apps/<name>" otherwise, "" for a library.
std::string container_path_for(const CtrlInfo &info);

// opkg's database lists the package as installed ("/usr/lib/opkg/status").
bool opkg_installed(const std::string &name);

// The host user's id from the user database under the run-time root, kNobodyUid when not found.
uid_t host_user_id(const std::string &name);

class Registry {
public:
    using Lock = std::unique_lock<std::recursive_mutex>;
    // Callers that look a record up and then use it hold this for the whole time.
    Lock lock() const { return Lock(mu_); }

    // Adds a record for the control data (vendor lower-cased, depends from the list file). At install
    // time a non-library record needs Vendor and DbusVersion. -1 when refused (also for a name already
    // present), else 0.
    // The used interfaces are read from control_path (a file path as it is).
    int add(std::unique_ptr<CtrlInfo> info, const std::string &control_path, bool at_install);
    PluginRecord *find(const std::string &name) const;
    // Removes the record, releasing its container handle and control data. false when absent.
    bool remove(const std::string &name);
    void clear();
    size_t size() const;
    // Records in registry order; the pointers stay valid while the lock is held and nothing is removed.
    std::vector<PluginRecord *> records() const;

    // Installed test: libraries by the opkg database, other plug-ins also by their record and container
    // configuration.
    bool installed(const std::string &name) const;

    // Builds the registry from the list file (rewritten first when missing or empty). Returns the number
    // of records.
    size_t load(const ContainerFactory &make_container);

    // Puts each record before every record it depends on, directly or not, keeping the given order
    // otherwise.
    void sort_by_depends();

private:
    mutable std::recursive_mutex mu_;
    std::vector<std::unique_ptr<PluginRecord>> records_;
};

// The host's registry.
Registry &registry();

// Packages that provide the interfaces, each once, in interface order; missing providers are logged.
std::vector<std::string> providers_of(const std::string &self, const std::vector<std::string> &used);

}  // namespace plughost

#endif
