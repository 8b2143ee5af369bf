#include "plughost_container.h"

#include <fcntl.h>
#include <ftw.h>
#include <lxc/lxccontainer.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_hostfiles.h"
#include "plughost_users.h"

namespace plughost {

namespace {

struct LxcPut {
    void operator()(struct lxc_container *c) const noexcept { lxc_container_put(c); }
};
using LxcPtr = std::unique_ptr<struct lxc_container, LxcPut>;

constexpr int kPollTries = 5;
constexpr unsigned kPollMicros = 200 * 1000;

std::string g_insmod = "insmod";
std::string g_rmmod = "rmmod";

struct lxc_container *handle_of(const PluginRecord &rec)
{
    auto *h = dynamic_cast<LxcContainer *>(rec.container.get());
    return h ? h->get() : nullptr;
}

bool regular_file(const std::string &path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A module file name shipped in a plug-in: no directory part, no blank.
bool valid_module(const std::string &m)
{
    return !m.empty() && m.size() <= 63 && m != "." && m != ".." &&
           m.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") ==
               std::string::npos;
}

// A number from a control text, or `absent` when the text is empty, or `bad` when it is not a number.
long long control_number(const std::string &text, long long absent, long long bad)
{
    if (text.empty())
        return absent;
    char *end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    return errno || *end ? bad : v;
}

void set_limit(int resource, rlim_t value)
{
    struct rlimit old {};
    struct rlimit lim {
        value, value
    };
    if (prlimit(0, static_cast<__rlimit_resource>(resource), &lim, &old) != 0)
        GWLOG(LOG_LVL_ERR, "prlimit %d failed : %s, limit %lld:%lld to %lld:%lld.", resource, g_strerror(errno),
              static_cast<long long>(old.rlim_cur), static_cast<long long>(old.rlim_max), static_cast<long long>(value),
              static_cast<long long>(value));
    else
        GWLOG(LOG_LVL_INFO, "prlimit %d limit %lld:%lld.", resource, static_cast<long long>(value),
              static_cast<long long>(value));
}

uid_t g_tree_uid;
int chown_entry(const char *path, const struct stat *, int, struct FTW *)
{
    if (lchown(path, g_tree_uid, g_tree_uid) != 0)
        GWLOG(LOG_LVL_WARN, "chown %s failed, %s", path, g_strerror(errno));
    return 0;
}
void chown_tree(const std::string &path, uid_t uid)
{
    static std::mutex mu;
    std::lock_guard<std::mutex> l(mu);
    g_tree_uid = uid;
    nftw(path.c_str(), chown_entry, 16, FTW_PHYS);
}

// The private socket directory: a 16 KiB tmpfs owned by the plug-in while it runs.
void mount_uds(const PluginRecord &rec, bool at_boot)
{
    const std::string dir = gw::RootPath("/uds/" + rec.name());
    g_mkdir_with_parents(dir.c_str(), 0755);
    if (umount2(dir.c_str(), MNT_DETACH) != 0) {
        if (at_boot)
            GWLOG(LOG_LVL_DEBUG, "umount %s ret %d, err %s", dir.c_str(), -1, g_strerror(errno));
        else
            GWLOG(LOG_LVL_DEBUG, "umount %s failed, ret = %d, error : %s.", dir.c_str(), -1, g_strerror(errno));
    }
    const std::string opts = "mode=0755,size=16k,uid=" + std::to_string(rec.uid);
    if (mount("tmpfs", dir.c_str(), "tmpfs", 0, opts.c_str()) != 0) {
        if (at_boot)
            GWLOG(LOG_LVL_ERR, "mount %s ret %d, err %s", dir.c_str(), -1, g_strerror(errno));
        else
            GWLOG(LOG_LVL_ERR, "mount %s failed, ret = %d, error : %s.", dir.c_str(), -1, g_strerror(errno));
    }
    if (rec.uid != 0)
        chown_tree(dir, rec.uid);
}

void open_shared_files()
{
    ucf_set_file_mode(gw::RootPath("/uds").c_str(), S_IRUSR | S_IXUSR | S_IRGRP | S_IXGRP | S_IROTH | S_IXOTH);
    const std::string mount_tmp = gw::RootPath("/tmp/.uci/mount.tmp");
    if (access(mount_tmp.c_str(), F_OK) == 0)
        ucf_set_file_mode(mount_tmp.c_str(), 0666);
}

// "/files/<name>" when the program file is there, else empty.
std::string command_of(const PluginRecord &rec)
{
    if (!regular_file(gw::RootPath(rec.container_path + "/files/" + rec.name()))) {
        GWLOG(LOG_LVL_ERR, "plugin %s has no program file", rec.name().c_str());
        return {};
    }
    return "/files/" + rec.name();
}

// In the grandchild: limits, then the container runs the command until it ends.
[[noreturn]] void run_container(const std::string &name, const std::string &lxcpath, const CtrlInfo &ci,
                                const std::string &command)
{
    // The host's bus connection and files stay outside.
    for (int fd = 3; fd < 1024; ++fd)
        close(fd);
    long long procs = control_number(ci.maxProcs, 32, 128);
    set_limit(RLIMIT_NPROC, static_cast<rlim_t>(procs >= 1 && procs <= 128 ? procs : 128));
    long long files = control_number(ci.maxFiles, 64, 1024);
    set_limit(RLIMIT_NOFILE, static_cast<rlim_t>(files >= 1 && files < 1024 ? files : 1024));
    if (ci.maxFsize == 0)
        set_limit(RLIMIT_FSIZE, 10485760);

    GWLOG(LOG_LVL_NOTICE, "plugin %s start, argv:%s, quiet:%d, path:%s.", name.c_str(), command.c_str(), 0,
          lxcpath.c_str());
    write_zep_log("Start %s", name.c_str());
    LxcPtr c(lxc_container_new(name.c_str(), lxcpath.c_str()));
    if (!c)
        _exit(1);
    // The id map makes container root the plug-in's own user.
    c->set_config_item(c.get(), "lxc.init.uid", "0");
    c->set_config_item(c.get(), "lxc.init.gid", "0");
    c->want_daemonize(c.get(), false);
    std::vector<char *> argv{const_cast<char *>(command.c_str()), nullptr};
    bool ok = c->start(c.get(), 1, argv.data());
    if (!ok) {
        GWLOG(LOG_LVL_ERR, "Failed run %s inside container", name.c_str());
        lxc_log_close();
    }
    write_zep_log("%s Exit", name.c_str());
    GWLOG(LOG_LVL_NOTICE, "plugin %s end, t_ret : %d.", name.c_str(), ok ? c->error_num : -1);
    _exit(ok ? 0 : 1);
}

// Double fork: the host waits only for the short-lived child, never for the plug-in.
void launch(const PluginRecord &rec, const std::string &command)
{
    const std::string name = rec.name();
    const std::string lxcpath = gw::RootPath(rec.container_path);
    const CtrlInfo ci = *rec.control;
    pid_t child = fork();
    if (child < 0) {
        GWLOG(LOG_LVL_ERR, "Fork error!");
        return;  // the host keeps serving; this start reports that the container did not come up
    }
    if (child == 0) {
        setsid();
        pid_t grandchild = fork();
        if (grandchild < 0)
            _exit(255);
        if (grandchild > 0)
            _exit(0);
        run_container(name, lxcpath, ci, command);
    }
    while (waitpid(child, nullptr, 0) < 0) {
        if (errno != EINTR) {
            GWLOG(LOG_LVL_ERR, "waitpid error, %s.", g_strerror(errno));
            break;
        }
    }
}

// The module names in the list, newest first.
std::vector<std::string> module_list(const std::string &file)
{
    std::vector<std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line.size() <= 63 && valid_module(line))
            out.insert(out.begin(), line);
    return out;
}

}  // namespace

LxcContainer::~LxcContainer() { lxc_container_put(c_); }

std::string LxcContainer::state() const
{
    const char *s = c_->state(c_);
    return s ? s : "";
}

bool LxcContainer::running() const { return c_->is_running(c_); }

int LxcContainer::init_pid() const { return c_->init_pid(c_); }

ContainerPtr open_container(const std::string &name, const std::string &container_path)
{
    if (!valid_package_name(name) || is_library(name) || container_path.empty())
        return nullptr;
    struct lxc_container *c = lxc_container_new(name.c_str(), gw::RootPath(container_path).c_str());
    if (!c)
        return nullptr;
    return std::make_unique<LxcContainer>(c);
}

const char *template_for(const CtrlInfo &info)
{
    static const char *const kTemplates[2][2] = {{"app", "essapp"}, {"rootapp", "rootess"}};
    return kTemplates[info.pluginClass ? 1 : 0][info.Essential ? 1 : 0];
}

std::string template_path(const std::string &kind) { return gw::RootPath("/usr/share/lxc/templates/lxc-" + kind); }

int plughost_create_container(const std::string &name, const std::string &tmpl, Registry &reg)
{
    if (name.empty())
        return kCreateNoName;
    if (!valid_package_name(name) || is_library(name)) {
        GWLOG(LOG_LVL_ERR, "container name %s refused", name.c_str());
        return kCreateNoName;
    }
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return kCreateNoRecord;
    if (rec->container_path.empty())
        return kCreateNoPath;
    static const char *const kKinds[] = {"app", "essapp", "rootapp", "rootess"};
    if (std::find_if(std::begin(kKinds), std::end(kKinds), [&](const char *k) { return tmpl == k; }) ==
        std::end(kKinds))
        return kCreateNoTemplate;
    const std::string lxcpath = gw::RootPath(rec->container_path);
    if (g_mkdir_with_parents(lxcpath.c_str(), 0755) != 0)
        return kCreatePathNotMade;
    LxcPtr c(lxc_container_new(name.c_str(), lxcpath.c_str()));
    if (!c) {
        GWLOG(LOG_LVL_ERR, "System error loading container");
        return kCreateLoadError;
    }
    if (c->is_defined(c.get())) {
        GWLOG(LOG_LVL_ERR, "Container already exists");
        return kCreateExists;
    }
    c->load_config(c.get(), (lxcpath + "/default.conf").c_str());
    char *no_args[] = {nullptr};
    if (!c->create(c.get(), template_path(tmpl).c_str(), nullptr, nullptr, LXC_CREATE_QUIET, no_args)) {
        GWLOG(LOG_LVL_ERR, "Error creating container %s", name.c_str());
        return kCreateFailed;
    }
    rec->container = std::make_unique<LxcContainer>(c.release());
    return kCreateOk;
}

int plughost_container_settings(const std::string &name, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    struct lxc_container *c = rec ? handle_of(*rec) : nullptr;
    if (!c || !rec->control) {
        GWLOG(LOG_LVL_WARN, "Failed to get container %s", name.c_str());
        return -1;
    }
    ContainerSettings s = container_settings(*rec->control, rec->container_path);
    for (const ConfigItem &item : s.items) {
        if (item.key != "lxc.mount.entry")
            c->clear_config_item(c, item.key.c_str());
        if (!item.value.empty() && !c->set_config_item(c, item.key.c_str(), item.value.c_str()))
            GWLOG(LOG_LVL_WARN, "set %s of %s failed", item.key.c_str(), name.c_str());
        c->save_config(c, nullptr);
    }
    for (const std::string &d : s.dirs)
        g_mkdir_with_parents(d.c_str(), 0755);
    return 0;
}

int plughost_start_plugin(const std::string &name, Registry &reg)
{
    if (is_library(name))
        return -1;
    if (!reg.installed(name))
        return kStartNotInstalled;
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return kStartNoRecord;
    if (!handle_of(*rec) || !rec->control)
        return -1;
    rec->monitored = 1;
    if (rec->container->running())
        return kStartRunning;
    const std::string command = command_of(*rec);
    if (command.empty())
        return -1;
    if (!rec->control->SelfDataUds.empty())
        mount_uds(*rec, false);
    open_shared_files();
    launch(*rec, command);
    int rc = kStartTimeout;
    for (int i = 0; i < kPollTries; ++i) {
        if (rec->container->running()) {
            rc = 0;
            break;
        }
        g_usleep(kPollMicros);
    }
    set_stop_mark(name, false);
    return rc;
}

void plughost_start_at_boot(PluginRecord &rec)
{
    const std::string &name = rec.name();
    if (!rec.control || is_library(name))
        return;
    if (stop_marked(name)) {
        rec.monitored = 0;
        return;
    }
    if (!handle_of(rec)) {
        GWLOG(LOG_LVL_WARN, "Failed to get container %s", name.c_str());
        return;
    }
    if (rec.container->running())
        return;
    const std::string command = command_of(rec);
    if (command.empty())
        return;
    GWLOG(LOG_LVL_NOTICE, "start app %s (%s), uid %d", name.c_str(), command.c_str(), static_cast<int>(rec.uid));
    if (!rec.control->SelfDataUds.empty())
        mount_uds(rec, true);
    open_shared_files();
    launch(rec, command);
}

int plughost_stop_plugin(const std::string &name, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return -1;
    if (struct lxc_container *c = handle_of(*rec)) {
        if (!c->may_control(c))
            GWLOG(LOG_LVL_WARN, "Insufficent privileges to control %s", name.c_str());
        else if (c->is_running(c))
            c->shutdown(c, 0);  // asks init to end and returns at once
    }
    rec->monitored = 0;
    if (!rec->container_path.empty()) {
        for (const std::string &m : plughost_take_kernel_modules(rec->container_path))
            run_program({g_rmmod, m});
    }
    if (rec->control && !rec->control->SelfDataUds.empty()) {
        const std::string dir = gw::RootPath("/uds/" + name);
        if (umount2(dir.c_str(), MNT_DETACH) != 0)
            GWLOG(LOG_LVL_DEBUG, "umount %s ret %d, err %s", dir.c_str(), -1, g_strerror(errno));
    }
    set_stop_mark(name, true);
    return 0;
}

int plughost_destroy_container(const std::string &name, bool force, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec) {
        GWLOG(LOG_LVL_WARN, "failed to get app info.");
        return 1;
    }
    if (!rec->container)
        rec->container = open_container(name, rec->container_path);
    struct lxc_container *c = handle_of(*rec);
    if (!c) {
        GWLOG(LOG_LVL_WARN, "plugin container is not exist.");
        return 1;
    }
    if (!c->may_control(c)) {
        GWLOG(LOG_LVL_WARN, "Insufficent privileges to control %s", name.c_str());
        return 1;
    }
    if (!c->is_defined(c)) {
        GWLOG(LOG_LVL_WARN, "plugin container %s is not installed", name.c_str());
        return 1;
    }
    if (c->is_running(c)) {
        if (!force) {
            GWLOG(LOG_LVL_WARN, "plugin container %s is running", name.c_str());
            return 1;
        }
        c->stop(c);
    }
    rec->container.reset();
    remove_directory(gw::RootPath(rec->container_path + "/" + name).c_str());
    return 0;
}

void plughost_remove_plugin(const std::string &name, uid_t uid, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec)
        return;
    std::string kept;
    if (!is_library(name)) {
        kept = rec->container_path;
        plughost_free_user(name, uid);
        if (rec->control && !rec->control->SelfDataUds.empty())
            remove_directory(gw::RootPath("/uds/" + name).c_str());
    }
    reg.remove(name);
    if (!kept.empty()) {
        remove_bus_policy(name);
        remove_directory(gw::RootPath(kept).c_str());
    }
}

int plughost_stop_container(const std::string &name, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    struct lxc_container *c = rec ? handle_of(*rec) : nullptr;
    if (!c)
        return -1;
    if (c->is_running(c) && !c->stop(c)) {
        GWLOG(LOG_LVL_WARN, "stop container %s failed", name.c_str());
        return -1;
    }
    return 0;
}

int plughost_reload_container_config(const std::string &name, Registry &reg)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    struct lxc_container *c = rec ? handle_of(*rec) : nullptr;
    if (!c)
        return -1;
    const std::string config = gw::RootPath(rec->container_path + "/" + name + "/config");
    c->clear_config(c);
    if (!c->load_config(c, config.c_str())) {
        GWLOG(LOG_LVL_ERR, "load %s failed", config.c_str());
        return -1;
    }
    return 0;
}

std::vector<std::string> plughost_take_kernel_modules(const std::string &container_path)
{
    if (container_path.empty())
        return {};
    const std::string list = gw::RootPath(container_path + "/data/krnlmod");
    std::vector<std::string> modules = module_list(list);
    unlink(list.c_str());
    return modules;
}

void plughost_stop_all_containers(Registry &reg)
{
    Registry::Lock l = reg.lock();
    for (PluginRecord *rec : reg.records()) {
        struct lxc_container *c = handle_of(*rec);
        if (c && c->is_running(c))
            c->stop(c);
    }
}

int plughost_kernel_module(const std::string &module, const std::string &options, bool load,
                           const std::string &container_path)
{
    if (module.empty() || container_path.empty())
        return -1;
    if (!valid_module(module)) {
        GWLOG(LOG_LVL_ERR, "kernel module name %s refused", module.c_str());
        return -1;
    }
    std::vector<std::string> argv;
    if (load) {
        argv = {g_insmod, gw::RootPath(container_path + "/files/" + module)};
        gw::StrvPtr opts(g_strsplit_set(options.c_str(), " \t", -1));
        for (char **o = opts.get(); *o; ++o)
            if (**o)
                argv.push_back(*o);
    } else {
        argv = {g_rmmod, module};
    }
    std::string err;
    int status = run_program(argv, &err);
    std::string first = err.substr(0, std::min(err.find('\n'), static_cast<size_t>(127)));
    if (first.find("ailed to") != std::string::npos)
        return -1;
    if (first.find("loaded") != std::string::npos)
        return 1;
    if (status != 0) {
        GWLOG(LOG_LVL_ERR, "%s %s failed (%d): %s", argv[0].c_str(), module.c_str(), status, first.c_str());
        return -1;
    }
    const std::string list = gw::RootPath(container_path + "/data/krnlmod");
    if (load) {
        std::ofstream(list, std::ios::app) << module << "\n";
        return 0;
    }
    // Only the exact name goes; names that merely contain it stay.
    std::vector<std::string> keep;
    {
        std::ifstream in(list);
        std::string line;
        while (std::getline(in, line))
            if (line != module)
                keep.push_back(line);
    }
    std::ofstream out(list, std::ios::trunc);
    for (const std::string &m : keep)
        out << m << "\n";
    return 0;
}

void plughost_set_module_programs(const char *insmod, const char *rmmod)
{
    g_insmod = insmod ? insmod : "insmod";
    g_rmmod = rmmod ? rmmod : "rmmod";
}

}  // namespace plughost
