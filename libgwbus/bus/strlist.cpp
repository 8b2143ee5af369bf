// String lists: owned strings ending with a null entry, the array owned too.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "gwbus/bus.h"
#include "gwbus/log.h"

namespace {

template <typename Equal> int list_contains(char **list, const char *s, Equal equal)
{
    if (!list || !s)
        return 0;
    for (char **p = list; *p; ++p)
        if (equal(*p, s))
            return 1;
    return 0;
}

}  // namespace

extern "C" {

void g_hgu_freeStrList(char **list)
{
    if (!list)
        return;
    for (char **p = list; *p; ++p)
        std::free(*p);
    std::free(list);
}

int g_hgu_strListStr(char **list, const char *s)
{
    return list_contains(list, s, [](const char *a, const char *b) { return std::strcmp(a, b) == 0; });
}

int g_hgu_strListStr0(char **list, const char *s)
{
    return list_contains(list, s, [](const char *a, const char *b) { return strcasecmp(a, b) == 0; });
}

int var2value_strings(GVariant *value, char ***list)
{
    if (!value || !list || !g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
        GWLOG(LOG_LVL_WARN, "The variant is null.");
        return -1;
    }
    const size_t n = g_variant_n_children(value);
    if (n == 0) {
        *list = nullptr;
        return 0;
    }
    // malloc'd rather than g_new so that g_hgu_freeStrList (plain free) owns it on every libc.
    char **out = static_cast<char **>(std::calloc(n + 1, sizeof(char *)));
    if (!out) {
        GWLOG(LOG_LVL_ERR, "var2value_strings alloc failed, %s", std::strerror(errno));
        return -1;
    }
    for (size_t i = 0; i < n; ++i) {
        const char *s = nullptr;
        g_variant_get_child(value, i, "&s", &s);
        out[i] = strdup(s);
        if (!out[i]) {
            GWLOG(LOG_LVL_ERR, "var2value_strings alloc failed, %s", std::strerror(errno));
            g_hgu_freeStrList(out);
            return -1;
        }
    }
    *list = out;
    return static_cast<int>(n);
}

}  // extern "C"
