#include "plughost_flash.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <set>
#include <thread>
#include <utility>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "plughost_container.h"
#include "plughost_service.h"

namespace plughost {

FlashWatch::FlashWatch() : wake_fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

FlashWatch::~FlashWatch()
{
    if (wake_fd >= 0)
        close(wake_fd);
}

void FlashWatch::stop()
{
    const uint64_t one = 1;
    if (wake_fd >= 0 && write(wake_fd, &one, sizeof one) < 0)
        GWLOG(LOG_LVL_WARN, "flash monitor wake failed, %s", g_strerror(errno));
}

namespace {

// The inotify events that mean a write: attributes, a written file closed, an entry made or deleted.
constexpr uint32_t kWriteEvents = IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE;
constexpr int kMaxDepth = 64;

std::atomic<int> g_monitors{0};

using InodeSet = std::set<std::pair<dev_t, ino_t>>;

// Sums the blocks below the open directory; each inode with several links counts once, as du does.
uint64_t blocks_below(int dir_fd, InodeSet &seen, int depth)
{
    DIR *d = fdopendir(dir_fd);
    if (!d) {
        close(dir_fd);
        return 0;
    }
    uint64_t blocks = 0;
    while (struct dirent *e = readdir(d)) {
        if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0)
            continue;
        struct stat st {};
        if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (st.st_nlink > 1 && !S_ISDIR(st.st_mode) && !seen.insert({st.st_dev, st.st_ino}).second)
            continue;
        blocks += static_cast<uint64_t>(st.st_blocks);
        if (S_ISDIR(st.st_mode) && depth < kMaxDepth) {
            int sub = openat(dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0)
                blocks += blocks_below(sub, seen, depth + 1);
        }
    }
    closedir(d);
    return blocks;
}

void stop_for_storage(const std::string &name, Registry &reg, const char *text, uint32_t quota)
{
    plughost_stop_plugin(name, reg);
    gw::GCharPtr line(g_strdup_printf(text, name.c_str(), quota));
    GWLOG(LOG_LVL_NOTICE, "%s", line.get());
}

gboolean on_recheck(gpointer name)
{
    storage_recheck(static_cast<const char *>(name), registry());
    return G_SOURCE_REMOVE;
}

unsigned arm_recheck(const std::string &name)
{
    return g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, kStorageRecheckSeconds, on_recheck, g_strdup(name.c_str()),
                                      g_free);
}

// The period reset holds the monitor's state weakly: once the plug-in is gone, the timer ends itself.
gboolean on_period_reset(gpointer data)
{
    std::shared_ptr<FlashWatch> w = static_cast<std::weak_ptr<FlashWatch> *>(data)->lock();
    if (!w)
        return G_SOURCE_REMOVE;
    w->count = 0;
    return G_SOURCE_CONTINUE;
}

void free_weak(gpointer data) { delete static_cast<std::weak_ptr<FlashWatch> *>(data); }

void monitor(const std::shared_ptr<FlashWatch> &w, const std::string &name, const std::string &dir)
{
    const uint32_t hours = flash_duration();
    if (hours) {
        const guint seconds = hours > G_MAXUINT / 3600 ? G_MAXUINT : hours * 3600;
        w->reset_source = g_timeout_add_seconds_full(G_PRIORITY_DEFAULT, seconds, on_period_reset,
                                                     new std::weak_ptr<FlashWatch>(w), free_weak);
    } else {
        // No period: the count is never reset, rather than a timer firing without pause.
        GWLOG(LOG_LVL_DEBUG, "plugin %s: no flash duration, the write count is not reset", name.c_str());
    }
    gw::UniqueFd in(inotify_init1(IN_CLOEXEC | IN_NONBLOCK));
    if (in.get() < 0) {
        GWLOG(LOG_LVL_ERR, "app inotify: failed to init inotify, %s", g_strerror(errno));
    } else {
        w->wd = inotify_add_watch(in.get(), dir.c_str(), kWriteEvents);
        GWLOG(LOG_LVL_DEBUG, "folder %s, fd %d, wd %d", dir.c_str(), in.get(), w->wd.load());
        // Room for an event with the longest name: a smaller buffer makes the read fail on long names.
        alignas(struct inotify_event) char buf[4096];
        for (;;) {
            struct pollfd p[2] = {{in.get(), POLLIN, 0}, {w->wake_fd, POLLIN, 0}};
            if (poll(p, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            if (p[1].revents)
                break;  // the plug-in's record ended
            const ssize_t n = read(in.get(), buf, sizeof buf);
            if (n < static_cast<ssize_t>(sizeof(struct inotify_event))) {
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                GWLOG(LOG_LVL_WARN, "plugin flash inotify read failed (%s)", n < 0 ? g_strerror(errno) : "short");
                continue;
            }
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(struct inotify_event)) <= n;) {
                const auto *ev = reinterpret_cast<const struct inotify_event *>(buf + at);
                at += static_cast<ssize_t>(sizeof(struct inotify_event) + ev->len);
                if (ev->len == 0)
                    continue;  // the directory itself
                const unsigned count = ++w->count;
                GWLOG(LOG_LVL_DEBUG, "The event %s mask is 0x%x, size %d, %d, flash count is %d", ev->name, ev->mask,
                      static_cast<int>(sizeof(struct inotify_event)), static_cast<int>(ev->len), count);
                if (count > flash_threshold())
                    GWLOG(LOG_LVL_ERR, "plugin %s write flash times too more, %u times in %d hours.", name.c_str(),
                          count, static_cast<int>(hours));
            }
        }
    }
    if (const unsigned id = w->reset_source.exchange(0))
        g_source_remove(id);
    --g_monitors;
}

}  // namespace

uint64_t used_size(const std::string &path)
{
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    struct stat st {};
    uint64_t blocks = fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_blocks) : 0;
    InodeSet seen;
    blocks += blocks_below(fd, seen, 0);
    return (blocks * 512 + 1023) / 1024 * 1024;
}

uint64_t plugin_used_size(const PluginRecord &rec)
{
    return rec.container_path.empty() ? 0 : used_size(gw::RootPath(rec.container_path));
}

StorageCheckResult storage_check(Registry &reg, const SizeProbe &probe, const RecheckArmer &arm)
{
    StorageCheckResult out;
    Registry::Lock l = reg.lock();
    std::vector<std::pair<std::string, uint32_t>> over;
    for (PluginRecord *rec : reg.records()) {
        if (!rec->monitored || !rec->control || rec->name().empty() || is_library(rec->name()))
            continue;
        const std::string &name = rec->name();
        const uint64_t used = probe(*rec);
        const uint32_t quota = rec->control->maxFlashSize;
        GWLOG(LOG_LVL_DEBUG, "10m check : plugin %s, current size %llu, max size %u", name.c_str(),
              static_cast<unsigned long long>(used), quota);
        if (used > quota) {
            over.emplace_back(name, quota);
        } else if (used > static_cast<uint64_t>(quota) * 7 / 10) {
            // Seven tenths in 64 bits: a quota above 613 MB would wrap in 32.
            const unsigned id = arm ? arm(name) : arm_recheck(name);
            GWLOG(LOG_LVL_DEBUG, "plugin %s, storage 3m check id %u", name.c_str(), id);
            out.rechecks.push_back(name);
        }
    }
    for (const auto &[name, quota] : over) {
        stop_for_storage(name, reg, "flash used by plugin %s over %u, stop.", quota);
        out.stopped.push_back(name);
    }
    return out;
}

bool storage_recheck(const std::string &name, Registry &reg, const SizeProbe &probe)
{
    Registry::Lock l = reg.lock();
    PluginRecord *rec = reg.find(name);
    if (!rec || !rec->control) {
        GWLOG(LOG_LVL_DEBUG, "plugin %s is gone, no storage recheck", name.c_str());
        return false;
    }
    const uint64_t used = probe(*rec);
    const uint32_t quota = rec->control->maxFlashSize;
    GWLOG(LOG_LVL_DEBUG, "flash used check : plugin %s, current size %llu, max size %u", name.c_str(),
          static_cast<unsigned long long>(used), quota);
    if (used < quota)
        return false;
    stop_for_storage(name, reg, "flash used by plugin %s is over the max value %u, stop.", quota);
    return true;
}

int start_flash_monitors(Registry &reg)
{
    int started = 0;
    Registry::Lock l = reg.lock();
    for (PluginRecord *rec : reg.records()) {
        if (!rec->control || rec->flash || is_library(rec->name()) || rec->container_path.empty())
            continue;
        const std::string &name = rec->name();
        if (name.empty()) {
            GWLOG(LOG_LVL_ERR, "plugin name is null.");
            continue;
        }
        rec->flash = std::make_shared<FlashWatch>();
        ++g_monitors;
        std::thread t(monitor, rec->flash, name, gw::RootPath(rec->container_path + "/data"));
        pthread_setname_np(t.native_handle(), name.substr(0, 15).c_str());
        GWLOG(LOG_LVL_DEBUG, "plugin %s, thread id %p", name.c_str(), reinterpret_cast<void *>(t.native_handle()));
        t.detach();
        ++started;
    }
    return started;
}

int flash_monitors_running() { return g_monitors.load(); }

}  // namespace plughost
