#include "plughost_users.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace plughost {

namespace {

std::string find_program(const std::string &name)
{
    if (name.find('/') != std::string::npos)
        return name;
    gw::GCharPtr in_path(g_find_program_in_path(name.c_str()));
    if (in_path)
        return in_path.get();
    for (const char *dir : {"/usr/sbin/", "/sbin/"}) {
        std::string p = dir + name;
        if (access(p.c_str(), X_OK) == 0)
            return p;
    }
    return name;
}

// The shadow tools work on the run-time root's /etc through --prefix, never on the machine's own.
std::vector<std::string> user_tool(const char *tool, std::initializer_list<std::string> args)
{
    std::vector<std::string> argv{tool};
    if (*gw_root()) {
        argv.push_back("--prefix");
        argv.push_back(gw_root());
    }
    argv.insert(argv.end(), args);
    return argv;
}

uid_t g_chown_uid;

int chown_entry(const char *path, const struct stat *, int, struct FTW *)
{
    if (lchown(path, g_chown_uid, g_chown_uid) != 0)
        GWLOG(LOG_LVL_WARN, "chown %s failed, %s", path, g_strerror(errno));
    return 0;
}

}  // namespace

int run_program(const std::vector<std::string> &argv, std::string *err)
{
    if (argv.empty())
        return -1;
    std::vector<char *> cargv;
    const std::string prog = find_program(argv[0]);
    cargv.push_back(const_cast<char *>(prog.c_str()));
    for (size_t i = 1; i < argv.size(); ++i)
        cargv.push_back(const_cast<char *>(argv[i].c_str()));
    cargv.push_back(nullptr);
    char *serr_raw = nullptr;
    gw::ErrorPtr gerr;
    int status = 0;
    const bool ran = g_spawn_sync(nullptr, cargv.data(), nullptr, G_SPAWN_STDOUT_TO_DEV_NULL, nullptr, nullptr, nullptr,
                                  &serr_raw, &status, gw::ErrorOut(gerr));
    gw::GCharPtr serr(serr_raw);
    if (!ran) {
        GWLOG(LOG_LVL_WARN, "run %s failed, %s", prog.c_str(), gw::error_text(gerr));
        if (err)
            *err = gw::error_text(gerr);
        return -1;
    }
    if (err)
        *err = serr ? serr.get() : "";
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    return -1;
}

void UidPool::reset()
{
    std::lock_guard<std::mutex> l(mu_);
    used_.reset();
    last_ = 0;
}

void UidPool::load()
{
    reset();
    std::lock_guard<std::mutex> l(mu_);
    for (int i = 0; i < kFirst; ++i)
        used_.set(static_cast<size_t>(i));
    std::ifstream in(gw::RootPath("/etc/passwd"));
    std::string line;
    while (std::getline(in, line)) {
        // name:password:uid:...
        size_t a = line.find(':');
        size_t b = a == std::string::npos ? a : line.find(':', a + 1);
        if (b == std::string::npos)
            continue;
        std::string field = line.substr(b + 1, line.find(':', b + 1) - b - 1);
        if (field.empty() || field.size() > 10 || field.find_first_not_of("0123456789") != std::string::npos)
            continue;
        unsigned long id = std::strtoul(field.c_str(), nullptr, 10);
        if (id < static_cast<unsigned long>(kSize))
            used_.set(id);
    }
}

int UidPool::take()
{
    std::lock_guard<std::mutex> l(mu_);
    int cand = (last_ + 1) % kSize;
    if (cand < kFirst)
        cand = kFirst;
    for (int probes = 0; probes < kSize - kFirst && used_.test(static_cast<size_t>(cand)); ++probes)
        if (++cand >= kSize)
            cand = kFirst;
    if (used_.test(static_cast<size_t>(cand)))
        return -1;
    used_.set(static_cast<size_t>(cand));
    last_ = cand;
    return cand;
}

void UidPool::mark(int uid)
{
    std::lock_guard<std::mutex> l(mu_);
    if (uid >= 0 && uid < kSize)
        used_.set(static_cast<size_t>(uid));
}

void UidPool::release(int uid)
{
    std::lock_guard<std::mutex> l(mu_);
    if (uid > 0 && uid < kSize)
        used_.reset(static_cast<size_t>(uid));
}

bool UidPool::used(int uid) const
{
    std::lock_guard<std::mutex> l(mu_);
    return uid >= 0 && uid < kSize && used_.test(static_cast<size_t>(uid));
}

UidPool &uid_pool()
{
    static UidPool pool;
    return pool;
}

int plughost_alloc_user(PluginRecord &rec)
{
    if (!rec.control || rec.container_path.empty()) {
        GWLOG(LOG_LVL_WARN, "failed to find app control/lxcpath info: %s", rec.name().c_str());
        return -1;
    }
    const std::string &name = rec.name();
    if (!valid_package_name(name) || is_library(name)) {
        GWLOG(LOG_LVL_ERR, "plugin name %s can not be a user name", name.c_str());
        return -1;
    }
    int uid = 0;
    if (!rec.control->pluginClass) {
        uid = uid_pool().take();
        if (uid < 0) {
            GWLOG(LOG_LVL_ERR, "no free user id for %s", name.c_str());
            return -1;
        }
        // Leftovers of an earlier install of the same name go first; their absence is no error. The user
        // goes before its group: a group that is still some user's primary group cannot be deleted.
        run_program(user_tool("userdel", {name}));
        run_program(user_tool("groupdel", {name}));
        const std::string id = std::to_string(uid);
        std::string err;
        if (run_program(user_tool("groupadd", {"-g", id, name}), &err) != 0) {
            GWLOG(LOG_LVL_ERR, "add group %s(%d) faild. %s", name.c_str(), uid, err.c_str());
            return -1;
        }
        if (run_program(user_tool("useradd", {"-u", id, "-g", id, "-d", rec.container_path, name}), &err) != 0) {
            GWLOG(LOG_LVL_ERR, "add user %s(%d) faild. %s", name.c_str(), uid, err.c_str());
            return -1;
        }
    }
    const std::string data = gw::RootPath(rec.container_path + "/data");
    if (g_mkdir_with_parents(data.c_str(), 0755) != 0)
        GWLOG(LOG_LVL_WARN, "mkdir %s failed, %s", data.c_str(), g_strerror(errno));
    rec.uid = static_cast<uid_t>(uid);
    return uid;
}

void plughost_free_user(const std::string &name, uid_t uid)
{
    if (uid == 0 || !valid_package_name(name))
        return;
    run_program(user_tool("userdel", {name}));
    run_program(user_tool("groupdel", {name}));
    uid_pool().release(static_cast<int>(uid));
}

int plughost_hand_to_user(const std::string &name, const std::string &container_path, uid_t uid)
{
    if (!valid_package_name(name) || container_path.empty())
        return -1;
    const std::string path = gw::RootPath(container_path);
    static std::mutex mu;  // nftw has no user argument
    {
        std::lock_guard<std::mutex> l(mu);
        g_chown_uid = uid;
        if (nftw(path.c_str(), chown_entry, 16, FTW_PHYS) != 0) {
            GWLOG(LOG_LVL_WARN, "chown %s failed", path.c_str());
            return -1;
        }
    }
    const std::string conf = gw::RootPath("/etc/config/" + name);
    struct stat st {};
    if (lstat(conf.c_str(), &st) == 0 && S_ISREG(st.st_mode) && lchown(conf.c_str(), uid, uid) != 0)
        GWLOG(LOG_LVL_WARN, "chown %s failed, %s", conf.c_str(), g_strerror(errno));
    return ucf_set_file_mode(path.c_str(), S_IWGRP | S_ISGID);
}

}  // namespace plughost
