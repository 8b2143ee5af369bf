// Context, element tree and the public calls; package files and their staged deltas on disk.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "uci_internal.h"

namespace uci_impl {

namespace {

const char *const kErrors[] = {"Success",   "Out of memory", "Invalid argument", "Entry not found",
                               "I/O error", "Parse error",   "Duplicate entry",  "Unknown error"};

void list_init(uci_list *l) { l->next = l->prev = l; }
void list_add_tail(uci_list *head, uci_list *e)
{
    e->prev = head->prev;
    e->next = head;
    head->prev->next = e;
    head->prev = e;
}
void list_unlink(uci_list *e)
{
    e->prev->next = e->next;
    e->next->prev = e->prev;
    list_init(e);
}

char *dup(const char *s)
{
    char *d = strdup(s ? s : "");
    if (!d)
        throw std::bad_alloc();
    return d;
}

template <typename T> T *alloc()
{
    T *t = static_cast<T *>(calloc(1, sizeof(T)));
    if (!t)
        throw std::bad_alloc();
    return t;
}

uci_element *element_find(uci_list *list, const char *name)
{
    uci_element *e = nullptr;
    uci_foreach_element(list, e)
    {
        if (e->name && std::strcmp(e->name, name) == 0)
            return e;
    }
    return nullptr;
}

void item_list_free(uci_list *list)
{
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(list, tmp, e)
    {
        list_unlink(&e->list);
        free(e->name);
        free(e);
    }
}

void option_free(uci_option *o)
{
    list_unlink(&o->e.list);
    if (o->type == UCI_TYPE_LIST)
        item_list_free(&o->v.list);
    else
        free(o->v.string);
    free(o->e.name);
    free(o);
}

void section_free(uci_section *s)
{
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(&s->options, tmp, e) option_free(uci_to_option(e));
    list_unlink(&s->e.list);
    free(s->type);
    free(s->e.name);
    free(s);
}

void delta_free(uci_delta *d)
{
    list_unlink(&d->e.list);
    free(d->e.name);
    free(d->section);
    free(d->value);
    free(d);
}

void delta_list_free(uci_list *list)
{
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(list, tmp, e) delta_free(uci_to_delta(e));
}

uci_element *item_alloc(const char *value)
{
    uci_element *e = alloc<uci_element>();
    list_init(&e->list);
    e->type = UCI_TYPE_ITEM;
    try {
        e->name = dup(value);
    } catch (...) {
        free(e);
        throw;
    }
    return e;
}

uci_option *option_alloc(uci_section *s, const char *name)
{
    uci_option *o = alloc<uci_option>();
    list_init(&o->e.list);
    o->e.type = UCI_TYPE_OPTION;
    o->section = s;
    o->type = UCI_TYPE_STRING;
    try {
        o->e.name = dup(name);
    } catch (...) {
        free(o);
        throw;
    }
    return o;
}

}  // namespace

int set_error(uci_context *ctx, int err, const char *func)
{
    if (ctx) {
        ctx->err = err;
        ctx->func = func;
    }
    return err;
}

int parse_error(uci_context *ctx, const char *reason, int line, size_t byte)
{
    if (!ctx->pctx)
        ctx->pctx = static_cast<uci_parse_context *>(calloc(1, sizeof(uci_parse_context)));
    if (ctx->pctx) {
        ctx->pctx->reason = reason;
        ctx->pctx->line = line;
        ctx->pctx->byte = byte;
    }
    return set_error(ctx, UCI_ERR_PARSE, "uci_load");
}

static bool valid_str(const char *s, bool name, bool package)
{
    if (!s || !*s)
        return false;
    for (; *s; ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        if (std::isalnum(c) || c == '_')
            continue;
        if (c == '-' && package)
            continue;
        if (name || c < 33 || c > 126)
            return false;
    }
    return true;
}

bool valid_name(const char *s) { return valid_str(s, true, false); }
bool valid_package(const char *s) { return valid_str(s, true, true); }
bool valid_type(const char *s) { return valid_str(s, false, true); }
bool valid_text(const char *s)
{
    for (; *s; ++s) {
        unsigned char c = static_cast<unsigned char>(*s);
        if (c < 32 && c != '\t' && c != '\n' && c != '\r')
            return false;
    }
    return true;
}

uci_package *package_alloc(uci_context *ctx, const char *name)
{
    uci_package *p = alloc<uci_package>();
    list_init(&p->e.list);
    list_init(&p->sections);
    list_init(&p->delta);
    list_init(&p->saved_delta);
    p->e.type = UCI_TYPE_PACKAGE;
    p->ctx = ctx;
    p->has_delta = true;
    try {
        p->e.name = dup(name);
    } catch (...) {
        free(p);
        throw;
    }
    return p;
}

void package_free(uci_package *p)
{
    if (!p)
        return;
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(&p->sections, tmp, e) section_free(uci_to_section(e));
    delta_list_free(&p->delta);
    delta_list_free(&p->saved_delta);
    list_unlink(&p->e.list);
    free(p->path);
    free(p->e.name);
    free(p);
}

uci_section *section_find(uci_package *p, const char *name)
{
    uci_element *e = element_find(&p->sections, name);
    return e ? uci_to_section(e) : nullptr;
}

uci_section *section_create(uci_package *p, const char *type, const char *name)
{
    uci_section *s = alloc<uci_section>();
    list_init(&s->e.list);
    list_init(&s->options);
    s->e.type = UCI_TYPE_SECTION;
    s->package = p;
    try {
        s->type = dup(type);
        p->n_section++;
        if (name && *name) {
            s->e.name = dup(name);
        } else {
            // Anonymous sections are named by position and type, so the names of an unchanged file are
            // the same on every load and staged changes can refer to them.
            unsigned hash = 5381;
            for (const char *c = type; *c; ++c)
                hash = hash * 33 + static_cast<unsigned char>(*c);
            char buf[32];
            int n = p->n_section;
            do {
                std::snprintf(buf, sizeof buf, "cfg%02x%04x", n++ & 0xff, hash & 0xffff);
            } while (section_find(p, buf));
            s->e.name = dup(buf);
            s->anonymous = true;
        }
    } catch (...) {
        free(s->type);
        free(s);
        throw;
    }
    list_add_tail(&p->sections, &s->e.list);
    return s;
}

void section_set_type(uci_section *s, const char *type)
{
    char *t = dup(type);
    free(s->type);
    s->type = t;
}

uci_option *option_find(uci_section *s, const char *name)
{
    uci_element *e = element_find(&s->options, name);
    return e ? uci_to_option(e) : nullptr;
}

void option_set(uci_section *s, const char *name, const char *value, uci_option **res)
{
    char *v = dup(value);
    uci_option *o = option_find(s, name);
    if (!o) {
        try {
            o = option_alloc(s, name);
        } catch (...) {
            free(v);
            throw;
        }
        list_add_tail(&s->options, &o->e.list);
    } else if (o->type == UCI_TYPE_LIST) {
        item_list_free(&o->v.list);
    } else {
        free(o->v.string);
    }
    o->type = UCI_TYPE_STRING;
    o->v.string = v;
    if (res)
        *res = o;
}

void option_add_list(uci_section *s, const char *name, const char *value, uci_option **res)
{
    uci_element *item = item_alloc(value);
    uci_option *o = option_find(s, name);
    try {
        if (!o) {
            o = option_alloc(s, name);
            o->type = UCI_TYPE_LIST;
            list_init(&o->v.list);
            list_add_tail(&s->options, &o->e.list);
        } else if (o->type == UCI_TYPE_STRING) {
            // A plain option turned into a list keeps its value as the first item.
            uci_element *first = item_alloc(o->v.string);
            free(o->v.string);
            o->type = UCI_TYPE_LIST;
            list_init(&o->v.list);
            list_add_tail(&o->v.list, &first->list);
        }
    } catch (...) {
        free(item->name);
        free(item);
        throw;
    }
    list_add_tail(&o->v.list, &item->list);
    if (res)
        *res = o;
}

void option_del_list(uci_option *o, const char *value)
{
    if (o->type != UCI_TYPE_LIST)
        return;
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(&o->v.list, tmp, e)
    {
        if (std::strcmp(e->name, value) == 0) {
            list_unlink(&e->list);
            free(e->name);
            free(e);
        }
    }
}

void element_delete(uci_element *e)
{
    if (e->type == UCI_TYPE_OPTION)
        option_free(uci_to_option(e));
    else if (e->type == UCI_TYPE_SECTION)
        section_free(uci_to_section(e));
}

void element_rename(uci_element *e, const char *name)
{
    char *n = dup(name);
    free(e->name);
    e->name = n;
}

}  // namespace uci_impl

using namespace uci_impl;

namespace {

std::string join(const char *dir, const char *name) { return std::string(dir) + "/" + name; }

// Reads an open file from its start.
bool read_fd(int fd, std::string &out)
{
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) != 0)
        return false;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buf, static_cast<size_t>(n));
    }
}

// Reads a whole file under a shared lock. ENOENT leaves missing set.
bool read_locked(const std::string &path, std::string &out, bool &missing)
{
    missing = false;
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        missing = errno == ENOENT;
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::flock(fd, LOCK_SH);
    bool ok = read_fd(fd, out);
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return ok;
}

// Opens and exclusively locks a package file. A commit replaces the file by rename, so a lock
// won on a file that has since been replaced is given up and taken again on the new one.
int open_locked_exclusive(const std::string &path, int flags = O_RDWR | O_CREAT)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        int fd = ::open(path.c_str(), flags | O_CLOEXEC, UCI_FILEMODE);
        if (fd < 0)
            return -1;
        ::flock(fd, LOCK_EX);
        struct stat held {
        }, now{};
        if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
            held.st_ino == now.st_ino)
            return fd;
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
    return -1;
}

bool write_all(int fd, const std::string &s)
{
    size_t off = 0;
    while (off < s.size()) {
        ssize_t n = ::write(fd, s.data() + off, s.size() - off);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        off += static_cast<size_t>(n);
    }
    return true;
}

bool mkdir_p(const std::string &dir)
{
    std::string cur;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = dir.find('/', pos + 1);
        cur = dir.substr(0, pos);
        if (cur.empty())
            continue;
        if (::mkdir(cur.c_str(), UCI_DIRMODE) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

uci_package *find_loaded(uci_context *ctx, const char *name)
{
    uci_element *e = nullptr;
    uci_foreach_element(&ctx->root, e)
    {
        if (std::strcmp(e->name, name) == 0)
            return uci_to_package(e);
    }
    return nullptr;
}

void add_delta(uci_package *p, uci_command cmd, const char *section, const char *option, const char *value)
{
    uci_delta *d = static_cast<uci_delta *>(calloc(1, sizeof(uci_delta)));
    if (!d)
        throw std::bad_alloc();
    d->e.type = UCI_TYPE_DELTA;
    d->cmd = cmd;
    d->section = strdup(section ? section : "");
    d->e.name = option ? strdup(option) : nullptr;
    d->value = value ? strdup(value) : nullptr;
    if (!d->section || (option && !d->e.name) || (value && !d->value)) {
        free(d->section);
        free(d->e.name);
        free(d->value);
        free(d);
        throw std::bad_alloc();
    }
    list_add_tail(&p->delta, &d->e.list);
}

std::string delta_text(uci_package *p, uci_list *list)
{
    std::string out;
    uci_element *e = nullptr;
    uci_foreach_element(list, e)
    {
        uci_delta *d = uci_to_delta(e);
        const char *prefix = "";
        switch (d->cmd) {
        case UCI_CMD_REMOVE:
            prefix = "-";
            break;
        case UCI_CMD_RENAME:
            prefix = "@";
            break;
        case UCI_CMD_ADD:
            prefix = "+";
            break;
        case UCI_CMD_REORDER:
            prefix = "^";
            break;
        case UCI_CMD_LIST_ADD:
            prefix = "|";
            break;
        case UCI_CMD_LIST_DEL:
            prefix = "~";
            break;
        default:
            break;
        }
        out += prefix;
        out += p->e.name;
        out += '.';
        out += d->section;
        if (e->name) {
            out += '.';
            out += e->name;
        }
        if (d->value)
            out += "=" + quote(d->value);
        out += '\n';
    }
    return out;
}

// Loads <confdir>/<name> and the staged changes of <savedir>/<name> into a new, unlisted package.
int load_package(uci_context *ctx, const char *name, uci_package **res)
{
    std::string text;
    bool missing = false;
    std::string path = join(ctx->confdir, name);
    if (!read_locked(path, text, missing))
        return set_error(ctx, missing ? UCI_ERR_NOTFOUND : UCI_ERR_IO, "uci_load");
    uci_package *p = package_alloc(ctx, name);
    p->path = strdup(path.c_str());
    if (!p->path) {
        package_free(p);
        return set_error(ctx, UCI_ERR_MEM, "uci_load");
    }
    int rc = parse_package(ctx, p, text);
    if (rc != UCI_OK) {
        package_free(p);
        return rc;
    }
    std::string delta;
    if (ctx->savedir && read_locked(join(ctx->savedir, name), delta, missing))
        apply_deltas(p, delta);
    *res = p;
    return UCI_OK;
}

template <typename F> int guarded(uci_context *ctx, const char *func, F &&f) noexcept
{
    if (!ctx)
        return UCI_ERR_INVAL;
    ctx->err = UCI_OK;
    ctx->func = func;
    try {
        int rc = f();
        return set_error(ctx, rc, func);
    } catch (const std::bad_alloc &) {
        return set_error(ctx, UCI_ERR_MEM, func);
    } catch (...) {
        return set_error(ctx, UCI_ERR_UNKNOWN, func);
    }
}

int set_dir(uci_context *ctx, char **slot, const char *dir)
{
    if (!dir || !*dir)
        return set_error(ctx, UCI_ERR_INVAL, "uci_set_dir");
    char *d = strdup(dir);
    if (!d)
        return set_error(ctx, UCI_ERR_MEM, "uci_set_dir");
    free(*slot);
    *slot = d;
    return UCI_OK;
}

bool lookup_extended(uci_ptr *ptr)
{
    // "@type[index]" or "@[index]"; negative indexes count from the last section.
    const char *sec = ptr->section;
    if (sec[0] != '@')
        return false;
    const char *open = std::strchr(sec, '[');
    size_t len = std::strlen(sec);
    if (!open || sec[len - 1] != ']')
        return false;
    std::string type(sec + 1, open);
    // An empty index is the first section, as on the target.
    std::string idxs(open + 1, sec + len - 1);
    char *end = nullptr;
    long idx = std::strtol(idxs.c_str(), &end, 10);
    if (*end || idx > INT_MAX || idx < INT_MIN)
        return false;
    std::vector<uci_section *> match;
    uci_element *e = nullptr;
    uci_foreach_element(&ptr->p->sections, e)
    {
        uci_section *s = uci_to_section(e);
        if (type.empty() || type == s->type)
            match.push_back(s);
    }
    if (idx < 0)
        idx += static_cast<long>(match.size());
    if (idx >= 0 && static_cast<size_t>(idx) < match.size()) {
        ptr->s = match[static_cast<size_t>(idx)];
        ptr->section = ptr->s->e.name;
    }
    return true;
}

int parse_ptr(uci_ptr *ptr, char *str)
{
    std::memset(ptr, 0, sizeof *ptr);
    char *eq = std::strchr(str, '=');
    if (eq) {
        *eq = '\0';
        ptr->value = eq + 1;
    }
    char *rest = str;
    ptr->package = strsep(&rest, ".");
    ptr->section = rest ? strsep(&rest, ".") : nullptr;
    ptr->option = rest ? strsep(&rest, ".") : nullptr;
    ptr->target = ptr->option ? UCI_TYPE_OPTION : ptr->section ? UCI_TYPE_SECTION : UCI_TYPE_PACKAGE;
    bool ok = !rest && valid_package(ptr->package);
    if (ok && ptr->section && !valid_name(ptr->section))
        ptr->flags = uci_ptr::UCI_LOOKUP_EXTENDED;
    if (ptr->section && !*ptr->section)
        ok = false;
    if (ok && ptr->option && !valid_name(ptr->option))
        ok = false;
    if (ok && ptr->value && !valid_text(ptr->value))
        ok = false;
    if (!ok) {
        std::memset(ptr, 0, sizeof *ptr);
        return UCI_ERR_PARSE;
    }
    return UCI_OK;
}

}  // namespace

extern "C" {

uci_context *uci_alloc_context(void)
{
    uci_context *ctx = static_cast<uci_context *>(calloc(1, sizeof(uci_context)));
    if (!ctx)
        return nullptr;
    list_init(&ctx->root);
    list_init(&ctx->backends);
    list_init(&ctx->delta_path);
    ctx->flags = static_cast<uci_flags>(UCI_FLAG_STRICT | UCI_FLAG_SAVED_DELTA);
    // Tests and the development host run below a private root; the target has none.
    const char *root = std::getenv("GW_ROOT");
    std::string conf = root && *root ? std::string(root) + UCI_CONFDIR : UCI_CONFDIR;
    std::string save = root && *root ? std::string(root) + UCI_SAVEDIR : UCI_SAVEDIR;
    ctx->confdir = strdup(conf.c_str());
    ctx->savedir = strdup(save.c_str());
    if (!ctx->confdir || !ctx->savedir) {
        uci_free_context(ctx);
        return nullptr;
    }
    return ctx;
}

void uci_free_context(uci_context *ctx)
{
    if (!ctx)
        return;
    uci_element *e = nullptr, *tmp = nullptr;
    uci_foreach_element_safe(&ctx->root, tmp, e) package_free(uci_to_package(e));
    free(ctx->confdir);
    free(ctx->savedir);
    free(ctx->pctx);
    free(ctx->buf);
    free(ctx);
}

void uci_get_errorstr(uci_context *ctx, char **dest, const char *prefix)
{
    int err = ctx ? ctx->err : UCI_ERR_INVAL;
    if (err < 0 || err >= UCI_ERR_LAST)
        err = UCI_ERR_UNKNOWN;
    std::string s;
    if (prefix && *prefix)
        s += std::string(prefix) + ": ";
    if (ctx && ctx->func)
        s += std::string(ctx->func) + ": ";
    s += kErrors[err];
    if (err == UCI_ERR_PARSE && ctx && ctx->pctx) {
        char info[160];
        std::snprintf(info, sizeof info, " (%s) at line %d, byte %zu",
                      ctx->pctx->reason ? ctx->pctx->reason : "unknown", ctx->pctx->line, ctx->pctx->byte);
        s += info;
    }
    if (dest)
        *dest = strdup(s.c_str());
    else
        std::fprintf(stderr, "%s\n", s.c_str());
}

void uci_perror(uci_context *ctx, const char *str) { uci_get_errorstr(ctx, nullptr, str); }

int uci_set_confdir(uci_context *ctx, const char *dir)
{
    return ctx ? set_dir(ctx, &ctx->confdir, dir) : UCI_ERR_INVAL;
}

int uci_set_savedir(uci_context *ctx, const char *dir)
{
    return ctx ? set_dir(ctx, &ctx->savedir, dir) : UCI_ERR_INVAL;
}

int uci_load(uci_context *ctx, const char *name, uci_package **package)
{
    return guarded(ctx, "uci_load", [&]() -> int {
        if (!name || !valid_package(name))
            return UCI_ERR_INVAL;
        if (find_loaded(ctx, name))
            return UCI_ERR_DUPLICATE;
        uci_package *p = nullptr;
        int rc = load_package(ctx, name, &p);
        if (rc != UCI_OK)
            return rc;
        list_add_tail(&ctx->root, &p->e.list);
        if (package)
            *package = p;
        return UCI_OK;
    });
}

int uci_unload(uci_context *ctx, uci_package *p)
{
    return guarded(ctx, "uci_unload", [&]() -> int {
        if (!p)
            return UCI_ERR_INVAL;
        package_free(p);
        return UCI_OK;
    });
}

int uci_lookup_next(uci_context *ctx, uci_element **e, uci_list *list, const char *name)
{
    return guarded(ctx, "uci_lookup_next", [&]() -> int {
        if (!e || !list || !name)
            return UCI_ERR_INVAL;
        *e = element_find(list, name);
        return *e ? UCI_OK : UCI_ERR_NOTFOUND;
    });
}

int uci_lookup_ptr(uci_context *ctx, uci_ptr *ptr, char *str, bool extended)
{
    return guarded(ctx, "uci_lookup_ptr", [&]() -> int {
        if (!ptr)
            return UCI_ERR_INVAL;
        if (str) {
            int rc = parse_ptr(ptr, str);
            if (rc != UCI_OK)
                return rc;
        }
        if (!ptr->package)
            return UCI_ERR_INVAL;
        ptr->flags = static_cast<decltype(ptr->flags)>(ptr->flags & uci_ptr::UCI_LOOKUP_EXTENDED);
        if (!ptr->p) {
            ptr->p = find_loaded(ctx, ptr->package);
            if (!ptr->p) {
                uci_package *p = nullptr;
                int rc = load_package(ctx, ptr->package, &p);
                if (rc != UCI_OK)
                    return rc;
                list_add_tail(&ctx->root, &p->e.list);
                ptr->p = p;
            }
        }
        ptr->last = &ptr->p->e;
        if (ptr->section) {
            if (!ptr->s) {
                if (ptr->flags & uci_ptr::UCI_LOOKUP_EXTENDED) {
                    if (!extended || !lookup_extended(ptr))
                        return UCI_ERR_INVAL;
                } else {
                    ptr->s = section_find(ptr->p, ptr->section);
                }
            }
            if (!ptr->s) {
                ptr->flags = static_cast<decltype(ptr->flags)>(ptr->flags | uci_ptr::UCI_LOOKUP_DONE);
                return UCI_OK;
            }
            ptr->last = &ptr->s->e;
        }
        if (ptr->option) {
            if (!ptr->o)
                ptr->o = option_find(ptr->s, ptr->option);
            if (!ptr->o) {
                ptr->flags = static_cast<decltype(ptr->flags)>(ptr->flags | uci_ptr::UCI_LOOKUP_DONE);
                return UCI_OK;
            }
            ptr->last = &ptr->o->e;
        }
        ptr->flags =
            static_cast<decltype(ptr->flags)>(ptr->flags | uci_ptr::UCI_LOOKUP_DONE | uci_ptr::UCI_LOOKUP_COMPLETE);
        return UCI_OK;
    });
}

int uci_delete(uci_context *ctx, uci_ptr *ptr);

int uci_set(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_set", [&]() -> int {
        if (!ptr || !ptr->p || !ptr->value || !ptr->section || (!ptr->s && ptr->option))
            return UCI_ERR_INVAL;
        if (!valid_text(ptr->value) || (!ptr->option && ptr->value[0] && !valid_type(ptr->value)))
            return UCI_ERR_INVAL;
        if (!valid_name(ptr->section) || (ptr->option && !valid_name(ptr->option)))
            return UCI_ERR_INVAL;
        if (!ptr->o && ptr->s && ptr->option)
            ptr->o = option_find(ptr->s, ptr->option);
        if (!ptr->value[0]) {
            // Setting to empty deletes; nothing there means nothing to do.
            if (ptr->option ? !ptr->o : !ptr->s)
                return UCI_OK;
            ptr->last = ptr->option ? &ptr->o->e : &ptr->s->e;
            return uci_delete(ctx, ptr);
        }
        if (ptr->option) {
            if (ptr->o && ptr->o->type == UCI_TYPE_STRING && std::strcmp(ptr->o->v.string, ptr->value) == 0)
                return UCI_OK;
            option_set(ptr->s, ptr->option, ptr->value, &ptr->o);
            ptr->last = &ptr->o->e;
        } else if (!ptr->s) {
            ptr->s = section_create(ptr->p, ptr->value, ptr->section);
            ptr->last = &ptr->s->e;
        } else {
            if (std::strcmp(ptr->s->type, ptr->value) == 0)
                return UCI_OK;
            section_set_type(ptr->s, ptr->value);
        }
        add_delta(ptr->p, UCI_CMD_CHANGE, ptr->section, ptr->option, ptr->value);
        return UCI_OK;
    });
}

int uci_add_list(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_add_list", [&]() -> int {
        if (!ptr || !ptr->p || !ptr->s || !ptr->option || !ptr->value || !valid_name(ptr->option) ||
            !valid_text(ptr->value))
            return UCI_ERR_INVAL;
        option_add_list(ptr->s, ptr->option, ptr->value, &ptr->o);
        ptr->last = &ptr->o->e;
        add_delta(ptr->p, UCI_CMD_LIST_ADD, ptr->s->e.name, ptr->option, ptr->value);
        return UCI_OK;
    });
}

int uci_del_list(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_del_list", [&]() -> int {
        if (!ptr || !ptr->p || !ptr->s || !ptr->option || !ptr->value)
            return UCI_ERR_INVAL;
        if (!ptr->o)
            ptr->o = option_find(ptr->s, ptr->option);
        if (!ptr->o)
            return UCI_ERR_NOTFOUND;
        option_del_list(ptr->o, ptr->value);
        add_delta(ptr->p, UCI_CMD_LIST_DEL, ptr->s->e.name, ptr->option, ptr->value);
        return UCI_OK;
    });
}

int uci_rename(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_rename", [&]() -> int {
        if (!ptr || !ptr->p || !ptr->s || !ptr->value || !valid_name(ptr->value))
            return UCI_ERR_INVAL;
        std::string section = ptr->s->e.name;
        if (ptr->option) {
            if (!ptr->o)
                return UCI_ERR_NOTFOUND;
            if (option_find(ptr->s, ptr->value))
                return UCI_ERR_DUPLICATE;
            element_rename(&ptr->o->e, ptr->value);
        } else {
            if (section_find(ptr->p, ptr->value))
                return UCI_ERR_DUPLICATE;
            element_rename(&ptr->s->e, ptr->value);
            ptr->s->anonymous = false;
        }
        add_delta(ptr->p, UCI_CMD_RENAME, section.c_str(), ptr->option, ptr->value);
        return UCI_OK;
    });
}

int uci_delete(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_delete", [&]() -> int {
        if (!ptr || !ptr->p)
            return UCI_ERR_INVAL;
        if (!ptr->section)
            return UCI_ERR_INVAL;  // a whole package is removed by deleting its file, not here
        if (!ptr->s || (ptr->option && !ptr->o))
            return UCI_ERR_NOTFOUND;
        std::string section = ptr->s->e.name;
        std::string option = ptr->option ? ptr->option : "";
        if (ptr->option) {
            element_delete(&ptr->o->e);
            ptr->o = nullptr;
        } else {
            element_delete(&ptr->s->e);
            ptr->s = nullptr;
        }
        ptr->last = nullptr;
        add_delta(ptr->p, UCI_CMD_REMOVE, section.c_str(), ptr->option ? option.c_str() : nullptr, nullptr);
        return UCI_OK;
    });
}

int uci_add_section(uci_context *ctx, uci_package *p, const char *type, uci_section **res)
{
    return guarded(ctx, "uci_add_section", [&]() -> int {
        if (!p || !type || !valid_type(type))
            return UCI_ERR_INVAL;
        uci_section *s = section_create(p, type, nullptr);
        add_delta(p, UCI_CMD_ADD, s->e.name, nullptr, type);
        if (res)
            *res = s;
        return UCI_OK;
    });
}

int uci_save(uci_context *ctx, uci_package *p)
{
    return guarded(ctx, "uci_save", [&]() -> int {
        if (!p)
            return UCI_ERR_INVAL;
        if (uci_list_empty(&p->delta))
            return UCI_OK;
        if (!ctx->savedir || !mkdir_p(ctx->savedir))
            return UCI_ERR_IO;
        std::string path = join(ctx->savedir, p->e.name);
        // A commit empties the delta file under this lock, so no change is appended between its read and the
        // truncation.
        int fd = open_locked_exclusive(path, O_WRONLY | O_APPEND | O_CREAT);
        if (fd < 0)
            return UCI_ERR_IO;
        bool ok = write_all(fd, delta_text(p, &p->delta));
        ::flock(fd, LOCK_UN);
        ::close(fd);
        if (!ok)
            return UCI_ERR_IO;
        // Saved changes stay known to the package but are not written twice.
        while (!uci_list_empty(&p->delta)) {
            uci_list *l = p->delta.next;
            list_unlink(l);
            list_add_tail(&p->saved_delta, l);
        }
        return UCI_OK;
    });
}

int uci_commit(uci_context *ctx, uci_package **package, bool overwrite)
{
    return guarded(ctx, "uci_commit", [&]() -> int {
        if (!package || !*package)
            return UCI_ERR_INVAL;
        uci_package *p = *package;
        std::string name = p->e.name;
        std::string path = join(ctx->confdir, name.c_str());
        std::string delta_path = join(ctx->savedir, name.c_str());

        int lock = open_locked_exclusive(path);
        if (lock < 0)
            return UCI_ERR_IO;
        struct Unlock {
            int fd;
            ~Unlock()
            {
                ::flock(fd, LOCK_UN);
                ::close(fd);
            }
        } unlock{lock};

        // Held from reading the staged changes until the delta file is emptied, so no save slips in between.
        // No delta file: a save that creates one now stays staged on top of what is written here.
        int delta_fd = open_locked_exclusive(delta_path, O_RDWR);
        struct DeltaUnlock {
            int fd;
            ~DeltaUnlock()
            {
                if (fd >= 0) {
                    ::flock(fd, LOCK_UN);
                    ::close(fd);
                }
            }
        } delta_unlock{delta_fd};

        uci_package *merged = p;
        if (!overwrite) {
            // Other writers may have changed the file or staged more: merge from disk, then our own
            // unsaved changes on top.
            std::string text;
            if (!read_fd(lock, text))
                return UCI_ERR_IO;
            uci_package *fresh = package_alloc(ctx, name.c_str());
            int rc = parse_package(ctx, fresh, text);
            if (rc != UCI_OK) {
                package_free(fresh);
                return rc;
            }
            std::string delta;
            if (delta_fd >= 0 && read_fd(delta_fd, delta))
                apply_deltas(fresh, delta);
            apply_deltas(fresh, delta_text(p, &p->delta));
            merged = fresh;
        }

        std::string tmp = ctx->confdir + std::string("/.") + name + ".uci-XXXXXX";
        std::vector<char> tmpl(tmp.begin(), tmp.end());
        tmpl.push_back('\0');
        int fd = ::mkstemp(tmpl.data());
        bool ok = fd >= 0;
        if (ok) {
            ok = write_all(fd, export_package(merged, false, false)) && ::fsync(fd) == 0;
            ok = (::fchmod(fd, 0644) == 0) && ok;
            ok = (::close(fd) == 0) && ok;
            ok = ok && ::rename(tmpl.data(), path.c_str()) == 0;
            if (!ok)
                ::unlink(tmpl.data());
        }
        if (!ok) {
            if (merged != p)
                package_free(merged);
            return UCI_ERR_IO;
        }
        // Emptied, not removed, as the target's library leaves it.
        if (delta_fd >= 0 && ::ftruncate(delta_fd, 0) != 0)
            return UCI_ERR_IO;
        if (merged != p) {
            merged->path = strdup(path.c_str());
            uci_list *prev = p->e.list.prev;
            bool listed = prev != &p->e.list;
            package_free(p);
            if (listed)
                list_add_tail(&ctx->root, &merged->e.list);
            *package = merged;
        } else {
            delta_list_free(&p->delta);
            delta_list_free(&p->saved_delta);
        }
        return UCI_OK;
    });
}

int uci_revert(uci_context *ctx, uci_ptr *ptr)
{
    return guarded(ctx, "uci_revert", [&]() -> int {
        if (!ptr || !ptr->p)
            return UCI_ERR_INVAL;
        uci_package *p = ptr->p;
        std::string name = p->e.name;
        std::string section = ptr->s ? ptr->s->e.name : ptr->section ? ptr->section : "";
        std::string option = ptr->option ? ptr->option : "";
        std::string path = join(ctx->savedir, name.c_str());

        // Unsaved changes join the staged ones first, then every change to the target is dropped.
        if (int rc = uci_save(ctx, p); rc != UCI_OK)
            return rc;
        if (!section.empty()) {
            int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
            if (fd >= 0) {
                ::flock(fd, LOCK_EX);
                std::string text, kept;
                char buf[4096];
                ssize_t n;
                while ((n = ::read(fd, buf, sizeof buf)) > 0)
                    text.append(buf, static_cast<size_t>(n));
                const std::string key = name + "." + section;
                // Whole statements, so a dropped multi-line value takes all its lines with it.
                for (const std::string &line : delta_statements(text)) {
                    std::string t = line;
                    if (!t.empty() && std::strchr("-@+^|~", t[0]))
                        t.erase(0, 1);
                    bool hit = false;
                    if (t.compare(0, key.size(), key) == 0) {
                        char c = t.size() > key.size() ? t[key.size()] : '\0';
                        if (option.empty())
                            hit = c == '\0' || c == '.' || c == '=';
                        else
                            hit = c == '.' && t.compare(key.size() + 1, option.size(), option) == 0 &&
                                  (t.size() == key.size() + 1 + option.size() ||
                                   t[key.size() + 1 + option.size()] == '=');
                    }
                    if (!hit)
                        kept += line + "\n";
                }
                bool ok = ::ftruncate(fd, 0) == 0 && ::lseek(fd, 0, SEEK_SET) == 0 && write_all(fd, kept);
                ::flock(fd, LOCK_UN);
                ::close(fd);
                if (!ok)
                    return UCI_ERR_IO;
            }
        } else {
            // Under the delta lock, as a commit does, so a save in progress finishes first.
            int fd = open_locked_exclusive(path, O_RDWR);
            if (fd >= 0) {
                bool ok = ::ftruncate(fd, 0) == 0;
                ::flock(fd, LOCK_UN);
                ::close(fd);
                if (!ok)
                    return UCI_ERR_IO;
            }
        }
        package_free(p);
        ptr->p = nullptr;
        ptr->s = nullptr;
        ptr->o = nullptr;
        uci_package *fresh = nullptr;
        int rc = load_package(ctx, name.c_str(), &fresh);
        if (rc != UCI_OK)
            return rc;
        list_add_tail(&ctx->root, &fresh->e.list);
        ptr->p = fresh;
        return UCI_OK;
    });
}

int uci_export(uci_context *ctx, FILE *stream, uci_package *package, bool header)
{
    return guarded(ctx, "uci_export", [&]() -> int {
        if (!stream)
            return UCI_ERR_INVAL;
        std::string out;
        if (package) {
            out = export_package(package, header, (ctx->flags & UCI_FLAG_EXPORT_NAME) != 0);
        } else {
            uci_element *e = nullptr;
            uci_foreach_element(&ctx->root, e) out +=
                export_package(uci_to_package(e), header, (ctx->flags & UCI_FLAG_EXPORT_NAME) != 0);
        }
        return std::fwrite(out.data(), 1, out.size(), stream) == out.size() ? UCI_OK : UCI_ERR_IO;
    });
}

int uci_list_configs(uci_context *ctx, char ***list)
{
    return guarded(ctx, "uci_list_configs", [&]() -> int {
        if (!list)
            return UCI_ERR_INVAL;
        DIR *d = ::opendir(ctx->confdir);
        if (!d)
            return UCI_ERR_NOTFOUND;
        std::vector<std::string> names;
        while (dirent *de = ::readdir(d)) {
            if (valid_package(de->d_name)) {
                std::string full = join(ctx->confdir, de->d_name);
                struct stat st {};
                if (::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode))
                    names.push_back(de->d_name);
            }
        }
        ::closedir(d);
        // One block: the pointer array, then the strings; the caller frees it once.
        size_t size = (names.size() + 1) * sizeof(char *);
        for (const auto &n : names)
            size += n.size() + 1;
        char **out = static_cast<char **>(malloc(size));
        if (!out)
            return UCI_ERR_MEM;
        char *str = reinterpret_cast<char *>(out + names.size() + 1);
        for (size_t i = 0; i < names.size(); ++i) {
            std::memcpy(str, names[i].c_str(), names[i].size() + 1);
            out[i] = str;
            str += names[i].size() + 1;
        }
        out[names.size()] = nullptr;
        *list = out;
        return UCI_OK;
    });
}

}  // extern "C"
