#include <unistd.h>

#include <algorithm>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "plughost_install.h"
#include "plughost_service.h"

namespace plughost {

namespace {

std::mutex g_task_mu;

// Which routine a task runs, by its type and whether the package is installed. Looked up when the task
// runs rather than when it was queued: a task ahead of it may have installed the package meanwhile.
struct RoutineRow {
    TaskType type;
    bool installed;
    bool upgrade;
    bool forced;
};
constexpr RoutineRow kRoutines[] = {
    {TaskType::Install, false, false, false},
    {TaskType::Install, true, true, true},
    {TaskType::Upgrade, false, false, false},
    {TaskType::Upgrade, true, true, false},
};

void run_queued(const std::string &url, bool upgrade)
{
    plughost_run_task(url, upgrade ? TaskType::Upgrade : TaskType::Install);
}

}  // namespace

std::string task_file_name(const std::string &url)
{
    const size_t slash = url.rfind('/');
    return slash == std::string::npos ? "" : url.substr(slash + 1, 63);
}

std::string task_package_name(const std::string &url)
{
    const size_t slash = url.rfind('/');
    if (slash == std::string::npos)
        return "";
    std::string name = url.substr(slash + 1, 31);
    return name.substr(0, std::min(name.find('_'), static_cast<size_t>(15)));
}

std::unique_lock<std::mutex> install_task_lock() { return std::unique_lock<std::mutex>(g_task_mu); }
std::unique_lock<std::mutex> try_install_task_lock()
{
    return std::unique_lock<std::mutex>(g_task_mu, std::try_to_lock);
}

int plughost_run_task(const std::string &url, TaskType type, Registry &reg)
{
    std::unique_lock<std::mutex> task = install_task_lock();
    GWLOG(LOG_LVL_DEBUG, "task execute >>> %ld, %ld", static_cast<long>(getpid()), static_cast<long>(gettid()));
    const std::string file = task_file_name(url);
    set_install_progress(kInstallIdle, file);
    const std::string name = task_package_name(url);
    const bool installed = valid_package_name(name) && reg.installed(name);
    int code = kInstFailed;
    for (const RoutineRow &r : kRoutines) {
        if (r.type == type && r.installed == installed) {
            code = r.upgrade ? plughost_upgrade(url, r.forced, reg) : plughost_install(url, reg);
            break;
        }
    }
    // The task is over before the agent hears of it: whatever the report leads to (an Uninstall) finds
    // no task running.
    task.unlock();
    plughost_report(file, code);
    const char *what = type == TaskType::Install ? "install" : "upgrade";
    if (code == kInstOk)
        write_zep_log("%s %s success", file.c_str(), what);
    else
        write_zep_log("%s %s failed, t_ret = %d", file.c_str(), what, code);
    GWLOG(LOG_LVL_DEBUG, "task execute <<< %ld out, ret = %d", static_cast<long>(gettid()), code);
    return code;
}

int plughost_report(const std::string &package_file, int code)
{
    GWLOG(LOG_LVL_NOTICE, "%s install report, result = %d", package_file.c_str(), code);
    const int rc = g_hgu_CallMethod("com.yvc.gwagent1", "/com/yvc/gwagent1", "com.yvc.gwagent1", "UpgRep",
                                    g_variant_new("(sui)", package_file.c_str(), 0u, code), nullptr, -1);
    if (rc != 0) {
        GWLOG(LOG_LVL_ERR, "plugin install report failed, %d.", rc);
        return 1;
    }
    GWLOG(LOG_LVL_NOTICE, "plugin install report end.");
    return 0;
}

void install_pipeline_enable() { set_install_runner(run_queued); }

}  // namespace plughost
