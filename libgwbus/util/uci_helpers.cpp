// UCI access: every call opens its own context on the run-time root's configuration directories.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <uci.h>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

namespace {

constexpr size_t kListMax = 255;

struct ContextDeleter {
    void operator()(uci_context *c) const noexcept { uci_free_context(c); }
};
using ContextPtr = std::unique_ptr<uci_context, ContextDeleter>;

ContextPtr open_context()
{
    ContextPtr ctx(uci_alloc_context());
    if (!ctx)
        return ctx;
    uci_set_confdir(ctx.get(), gw::RootPath("/etc/config").c_str());
    uci_set_savedir(ctx.get(), gw::RootPath("/tmp/.uci").c_str());
    return ctx;
}

std::string error_text(uci_context *ctx)
{
    char *text = nullptr;
    uci_get_errorstr(ctx, &text, "");
    std::string s = text ? text : "unknown error";
    std::free(text);
    return s;
}

// uci_lookup_ptr cuts its argument in place, and the pointers it fills point into it: the buffer
// lives as long as the uci_ptr.
struct Lookup {
    std::vector<char> text;
    uci_ptr ptr{};
    int rc = UCI_ERR_NOTFOUND;

    Lookup(uci_context *ctx, const std::string &expr) : text(expr.begin(), expr.end())
    {
        text.push_back('\0');
        rc = uci_lookup_ptr(ctx, &ptr, text.data(), true);
    }
    bool complete() const { return rc == UCI_OK && (ptr.flags & uci_ptr::UCI_LOOKUP_COMPLETE); }
};

// Names become file names below the configuration directory.
bool valid_name(const char *s)
{
    if (!s || !*s)
        return false;
    for (const char *p = s; *p; ++p)
        if (!std::isalnum(static_cast<unsigned char>(*p)) && *p != '_' && *p != '-')
            return false;
    return true;
}

void append_list_item(std::string &out, const char *item)
{
    if (!out.empty())
        out += ' ';
    if (!std::strpbrk(item, " \t\r\n")) {
        out += item;
        return;
    }
    out += '\'';
    for (const char *p = item; *p; ++p) {
        if (*p == '\'')
            out += "'\\''";
        else
            out += *p;
    }
    out += '\'';
}

// The library locks the package file it replaces, so two processes committing one package can each write
// over the other's change; and a commit reads the staged changes, lets go of them and then empties them,
// dropping a save that lands in between. Every writer through these helpers takes this lock for its whole
// change.
class PackageLock {
public:
    explicit PackageLock(const char *package)
    {
        const std::string dir = gw::RootPath("/tmp/.uci");
        create_directory(dir.c_str(), 0700);
        const std::string path = dir + "/." + package + ".lock";
        fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0)
            GWLOG(LOG_LVL_WARN, "uci package %s: no writer lock (%s); writing unserialised", package,
                  std::strerror(errno));
    }
    ~PackageLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    PackageLock(const PackageLock &) = delete;
    PackageLock &operator=(const PackageLock &) = delete;

private:
    int fd_ = -1;
};

int set_and_save(uci_context *ctx, const std::string &expr, bool commit)
{
    Lookup l(ctx, expr);
    int rc = l.rc;
    if (rc == UCI_OK)
        rc = uci_set(ctx, &l.ptr);
    if (rc == UCI_OK)
        rc = uci_save(ctx, l.ptr.p);
    if (rc == UCI_OK && commit)
        rc = uci_commit(ctx, &l.ptr.p, false);
    if (rc != UCI_OK)
        GWLOG(LOG_LVL_ERR, "uci_set() error  : %s", error_text(ctx).c_str());
    return rc;
}

// The option's text (a list joined and quoted, uncut); 0, or 1 when it is missing or of another type.
int read_option(const char *package, const char *section, const char *option, std::string &value, bool &list)
{
    if (!package || !section || !option)
        return 1;
    ContextPtr ctx = open_context();
    if (!ctx)
        return 1;
    std::string expr = std::string(package) + "." + section + "." + option;
    Lookup l(ctx.get(), expr);
    if (!l.complete() || !l.ptr.o) {
        GWLOG(LOG_LVL_WARN, "uci_lookup_ptr() not found : %s .", expr.c_str());
        return 1;
    }
    uci_option *o = l.ptr.o;
    if (o->type == UCI_TYPE_STRING) {
        value = o->v.string ? o->v.string : "";
        list = false;
        return 0;
    }
    if (o->type == UCI_TYPE_LIST) {
        value.clear();
        uci_element *e = nullptr;
        uci_foreach_element(&o->v.list, e) append_list_item(value, e->name ? e->name : "");
        list = true;
        return 0;
    }
    GWLOG(LOG_LVL_WARN, "uci option %s has an unknown type", expr.c_str());
    return 1;
}

}  // namespace

extern "C" {

int uci_config_get(const char *package, const char *section, const char *option, char *result)
{
    if (!result)
        return 1;
    std::string value;
    bool list = false;
    if (read_option(package, section, option, value, list) != 0)
        return 1;
    if (list)
        copy_truncated(result, kListMax + 1, value.c_str());
    else
        std::memcpy(result, value.c_str(), value.size() + 1);
    return 0;
}

int uci_config_get_n(const char *package, const char *section, const char *option, char *result, size_t size)
{
    if (!result || size == 0)
        return 1;
    std::string value;
    bool list = false;
    if (read_option(package, section, option, value, list) != 0)
        return 1;
    if (list) {
        copy_truncated(result, std::min(size, kListMax + 1), value.c_str());
        return 0;
    }
    if (value.size() >= size) {
        GWLOG(LOG_LVL_WARN, "uci option %s.%s.%s holds %zu bytes, more than the %zu its reader takes.", package,
              section, option, value.size(), size - 1);
        return 1;
    }
    std::memcpy(result, value.c_str(), value.size() + 1);
    return 0;
}

int uci_config_set(const char *package, const char *section, const char *option, const char *value, int commit)
{
    if (!valid_name(package) || !section || !option || !value) {
        GWLOG(LOG_LVL_ERR, "uci_set() error  : %s", "invalid argument");
        return 1;
    }
    PackageLock lock(package);
    ContextPtr ctx = open_context();
    if (!ctx)
        return 1;
    // A package that has no file yet starts empty, as on a freshly flashed gateway.
    std::string file = gw::RootPath("/etc/config/") + package;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (FILE *f = std::fopen(file.c_str(), "we"))
            std::fclose(f);
    }
    std::string sec = std::string(package) + "." + section;
    {
        Lookup l(ctx.get(), sec);
        if (!l.complete()) {
            int rc = set_and_save(ctx.get(), sec + "=" + section, true);
            if (rc != UCI_OK)
                return rc;
        }
    }
    return set_and_save(ctx.get(), sec + "." + option + "=" + value, commit != 0);
}

int uci_config_commit(const char *package)
{
    if (!valid_name(package)) {
        GWLOG(LOG_LVL_ERR, "uci_commit() error  : %s", "invalid argument");
        return 1;
    }
    PackageLock lock(package);
    ContextPtr ctx = open_context();
    if (!ctx)
        return 1;
    Lookup l(ctx.get(), package);
    int rc = l.rc;
    if (rc == UCI_OK)
        rc = uci_commit(ctx.get(), &l.ptr.p, false);
    if (rc != UCI_OK)
        GWLOG(LOG_LVL_ERR, "uci_commit() error  : %s", error_text(ctx.get()).c_str());
    return rc;
}

}  // extern "C"
