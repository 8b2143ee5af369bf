// File and directory helpers and the free-space test.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace {

constexpr size_t kCopyBlock = 4096;

struct DirCloser {
    void operator()(DIR *d) const noexcept { closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

bool write_all(int fd, const char *data, size_t len)
{
    while (len > 0) {
        ssize_t n = ::write(fd, data, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        len -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

extern "C" {

int copy_file(const char *from, const char *to)
{
    if (!from || !to)
        return -1;
    struct stat st {};
    if (::stat(from, &st) != 0) {
        GWLOG(LOG_LVL_ERR, "stat(%s) error, %s", from, std::strerror(errno));
        return -1;
    }
    if (st.st_size <= 0) {
        GWLOG(LOG_LVL_ERR, "size of %s is %lu", from, static_cast<unsigned long>(st.st_size));
        return -1;
    }
    gw::UniqueFd in(::open(from, O_RDONLY | O_CLOEXEC));
    if (!in) {
        GWLOG(LOG_LVL_ERR, "open file %s error, %s", from, std::strerror(errno));
        return -1;
    }
    gw::UniqueFd out(::open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "open file %s error, %s", to, std::strerror(errno));
        return -1;
    }
    char block[kCopyBlock];
    while (true) {
        ssize_t n = ::read(in.get(), block, sizeof block);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            GWLOG(LOG_LVL_ERR, "read failed. %s", std::strerror(errno));
            return -1;
        }
        if (n == 0)
            break;
        if (!write_all(out.get(), block, static_cast<size_t>(n))) {
            GWLOG(LOG_LVL_ERR, "write failed. %s", std::strerror(errno));
            return -1;
        }
    }
    return 0;
}

int create_directory(const char *path, mode_t mode)
{
    if (!path)
        return -1;
    struct stat st {};
    if (::stat(path, &st) == 0)
        return 0;
    if (::mkdir(path, mode) == 0 || errno == EEXIST)
        return 0;
    GWLOG(LOG_LVL_ERR, "failed to create directory %s", path);
    return -1;
}

int remove_directory(const char *path)
{
    if (!path)
        return -1;
    DirPtr dir(opendir(path));
    if (!dir)
        return -1;
    while (dirent *e = readdir(dir.get())) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        std::string child = std::string(path) + "/" + e->d_name;
        struct stat st {};
        int rc = ::lstat(child.c_str(), &st);
        if (rc == 0)
            rc = S_ISDIR(st.st_mode) ? remove_directory(child.c_str()) : ::unlink(child.c_str());
        if (rc != 0)
            return rc;
    }
    dir.reset();
    return ::rmdir(path);
}

int ucf_statvfs(unsigned long long needed_bytes)
{
    std::string path = gw::RootPath("/opt/info");
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) {
        GWLOG(LOG_LVL_ERR, "statvfs %s failed, %s", path.c_str(), std::strerror(errno));
        return -1;
    }
    uint64_t available = static_cast<uint64_t>(vfs.f_bavail) * static_cast<uint64_t>(vfs.f_frsize);
    GWLOG(LOG_LVL_DEBUG, "available size %llu bytes, needed size %llu bytes",
          static_cast<unsigned long long>(available), needed_bytes);
    return available > needed_bytes ? 0 : -1;
}

int ucf_set_file_mode(const char *path, mode_t mode)
{
    if (!path)
        return -1;
    mode &= 07777;
    struct stat st {};
    if (::lstat(path, &st) != 0) {
        GWLOG(LOG_LVL_ERR, "stat(%s) error, %s", path, std::strerror(errno));
        return -1;
    }
    if ((st.st_mode & mode) == mode)
        return 0;
    // O_NOFOLLOW: the bits are for the file itself, never for what a link points to.
    gw::UniqueFd fd(::open(path, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd) {
        GWLOG(LOG_LVL_ERR, "open file %s error, %s", path, std::strerror(errno));
        return -1;
    }
    struct stat now {};
    if (::fstat(fd.get(), &now) != 0 || now.st_ino != st.st_ino || now.st_dev != st.st_dev) {
        GWLOG(LOG_LVL_ERR, "file %s changed while setting its mode", path);
        return -1;
    }
    if (::fchmod(fd.get(), (now.st_mode & 07777) | mode) != 0) {
        GWLOG(LOG_LVL_ERR, "fchmod(%s) error, %s", path, std::strerror(errno));
        return -1;
    }
    return 0;
}

}  // extern "C"
