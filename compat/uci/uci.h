/* Configuration store: packages of typed sections holding options and lists, with staged changes. */
#ifndef __LIBUCI_H
#define __LIBUCI_H

#include <stdbool.h>
#include <stddef.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

#define UCI_CONFDIR "/etc/config"
#define UCI_SAVEDIR "/tmp/.uci"
#define UCI_DIRMODE 0755
#define UCI_FILEMODE 0600

enum {
    UCI_OK = 0,
    UCI_ERR_MEM,
    UCI_ERR_INVAL,
    UCI_ERR_NOTFOUND,
    UCI_ERR_IO,
    UCI_ERR_PARSE,
    UCI_ERR_DUPLICATE,
    UCI_ERR_UNKNOWN,
    UCI_ERR_LAST
};

struct uci_list;
struct uci_list {
    struct uci_list *next;
    struct uci_list *prev;
};

struct uci_ptr;
struct uci_element;
struct uci_package;
struct uci_section;
struct uci_option;
struct uci_delta;
struct uci_context;
struct uci_backend;
struct uci_parse_context;

enum uci_type {
    UCI_TYPE_UNSPEC = 0,
    UCI_TYPE_DELTA = 1,
    UCI_TYPE_PACKAGE = 2,
    UCI_TYPE_SECTION = 3,
    UCI_TYPE_OPTION = 4,
    UCI_TYPE_PATH = 5,
    UCI_TYPE_BACKEND = 6,
    UCI_TYPE_ITEM = 7,
    UCI_TYPE_HOOK = 8,
};

enum uci_option_type {
    UCI_TYPE_STRING = 0,
    UCI_TYPE_LIST = 1,
};

enum uci_flags {
    UCI_FLAG_STRICT = (1 << 0),
    UCI_FLAG_PERROR = (1 << 1),
    UCI_FLAG_EXPORT_NAME = (1 << 2),
    UCI_FLAG_SAVED_DELTA = (1 << 3),
};

struct uci_element {
    struct uci_list list;
    enum uci_type type;
    char *name;
};

struct uci_context {
    struct uci_list root; /* loaded packages */
    struct uci_parse_context *pctx;
    struct uci_backend *backend;
    struct uci_list backends;
    enum uci_flags flags;
    char *confdir;
    char *savedir;
    struct uci_list delta_path;
    int err;
    const char *func;
    bool internal, nested;
    char *buf;
    int bufsz;
};

struct uci_package {
    struct uci_element e;
    struct uci_list sections;
    struct uci_context *ctx;
    bool has_delta;
    char *path;
    struct uci_backend *backend;
    void *priv;
    int n_section;
    struct uci_list delta;
    struct uci_list saved_delta;
};

struct uci_section {
    struct uci_element e;
    struct uci_list options;
    struct uci_package *package;
    bool anonymous;
    char *type;
};

struct uci_option {
    struct uci_element e;
    struct uci_section *section;
    enum uci_option_type type;
    union {
        struct uci_list list;
        char *string;
    } v;
};

enum uci_command {
    UCI_CMD_ADD,
    UCI_CMD_REMOVE,
    UCI_CMD_CHANGE,
    UCI_CMD_RENAME,
    UCI_CMD_REORDER,
    UCI_CMD_LIST_ADD,
    UCI_CMD_LIST_DEL,
    __UCI_CMD_MAX,
    __UCI_CMD_LAST = __UCI_CMD_MAX - 1
};

struct uci_delta {
    struct uci_element e;
    enum uci_command cmd;
    char *section;
    char *value;
};

struct uci_ptr {
    enum uci_type target;
    enum {
        UCI_LOOKUP_DONE = (1 << 0),
        UCI_LOOKUP_COMPLETE = (1 << 1),
        UCI_LOOKUP_EXTENDED = (1 << 2),
    } flags;

    struct uci_package *p;
    struct uci_section *s;
    struct uci_option *o;
    struct uci_element *last;

    const char *package;
    const char *section;
    const char *option;
    const char *value;
};

struct uci_context *uci_alloc_context(void);
void uci_free_context(struct uci_context *ctx);

void uci_perror(struct uci_context *ctx, const char *str);
/* *dest gets a malloc'ed text; the caller frees it. */
void uci_get_errorstr(struct uci_context *ctx, char **dest, const char *str);

int uci_export(struct uci_context *ctx, FILE *stream, struct uci_package *package, bool header);
int uci_load(struct uci_context *ctx, const char *name, struct uci_package **package);
int uci_unload(struct uci_context *ctx, struct uci_package *p);

/* Parses "package[.section[.option]][=value]" in place (str is modified, the ptr points into it). extended
 * allows "@type[index]" section names, negative indexes count from the end. */
int uci_lookup_ptr(struct uci_context *ctx, struct uci_ptr *ptr, char *str, bool extended);

int uci_add_section(struct uci_context *ctx, struct uci_package *p, const char *type, struct uci_section **res);
int uci_set(struct uci_context *ctx, struct uci_ptr *ptr);
int uci_add_list(struct uci_context *ctx, struct uci_ptr *ptr);
int uci_del_list(struct uci_context *ctx, struct uci_ptr *ptr);
int uci_rename(struct uci_context *ctx, struct uci_ptr *ptr);
int uci_delete(struct uci_context *ctx, struct uci_ptr *ptr);

int uci_save(struct uci_context *ctx, struct uci_package *p);
int uci_commit(struct uci_context *ctx, struct uci_package **p, bool overwrite);
int uci_list_configs(struct uci_context *ctx, char ***list);
int uci_revert(struct uci_context *ctx, struct uci_ptr *ptr);

int uci_set_savedir(struct uci_context *ctx, const char *dir);
int uci_set_confdir(struct uci_context *ctx, const char *dir);

int uci_lookup_next(struct uci_context *ctx, struct uci_element **e, struct uci_list *list, const char *name);

#define uci_list_empty(list) ((list)->next == (list))

#ifndef container_of
#define container_of(ptr, type, member) ((type *)((char *)(ptr)-offsetof(type, member)))
#endif

#define list_to_element(ptr) container_of(ptr, struct uci_element, list)

#define uci_foreach_element(_list, _ptr)                                                                               \
    for (_ptr = list_to_element((_list)->next); &_ptr->list != (_list); _ptr = list_to_element(_ptr->list.next))

#define uci_foreach_element_safe(_list, _tmp, _ptr)                                                                    \
    for (_ptr = list_to_element((_list)->next), _tmp = list_to_element(_ptr->list.next); &_ptr->list != (_list);       \
         _ptr = _tmp, _tmp = list_to_element(_ptr->list.next))

#define uci_type_delta UCI_TYPE_DELTA
#define uci_type_package UCI_TYPE_PACKAGE
#define uci_type_section UCI_TYPE_SECTION
#define uci_type_option UCI_TYPE_OPTION

#define uci_to_delta(ptr) container_of(ptr, struct uci_delta, e)
#define uci_to_package(ptr) container_of(ptr, struct uci_package, e)
#define uci_to_section(ptr) container_of(ptr, struct uci_section, e)
#define uci_to_option(ptr) container_of(ptr, struct uci_option, e)

static inline struct uci_section *uci_lookup_section(struct uci_context *ctx, struct uci_package *p, const char *name)
{
    struct uci_element *e = NULL;
    if (uci_lookup_next(ctx, &e, &p->sections, name) != UCI_OK)
        return NULL;
    return uci_to_section(e);
}

static inline struct uci_option *uci_lookup_option(struct uci_context *ctx, struct uci_section *s, const char *name)
{
    struct uci_element *e = NULL;
    if (uci_lookup_next(ctx, &e, &s->options, name) != UCI_OK)
        return NULL;
    return uci_to_option(e);
}

static inline const char *uci_lookup_option_string(struct uci_context *ctx, struct uci_section *s, const char *name)
{
    struct uci_option *o = uci_lookup_option(ctx, s, name);
    if (!o || o->type != UCI_TYPE_STRING)
        return NULL;
    return o->v.string;
}

#ifdef __cplusplus
}
#endif

#endif
