// Patterns shared by the composite API units: entry logs, collection walks, index and MAC matching.
#ifndef GWBUS_API_COMMON_HPP
#define GWBUS_API_COMMON_HPP

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/raii.hpp"

#define API_ENTER() GWLOG(LOG_LVL_NOTICE, "====== enter %s", __func__)

namespace gwapi {

// A record block from a ccif_*_get_objs call.
template <typename T> using Block = std::unique_ptr<T[], gw::GFreeDeleter>;

template <typename T> struct List {
    Block<T> items;
    int count = 0;
    T *begin() const { return items.get(); }
    T *end() const { return items.get() + count; }
};

// Lists a top-level collection: 0 or -1.
template <typename T> int list(int (*get_objs)(T **, int *), List<T> &out)
{
    T *raw = nullptr;
    int n = 0;
    if (get_objs(&raw, &n) != 0)
        return -1;
    out.items.reset(raw);
    out.count = raw ? n : 0;
    return 0;
}

// Lists a collection below an instance: 0 or -1.
template <typename T> int list_under(int (*get_objs)(const char *, T **, int *), const char *parent, List<T> &out)
{
    T *raw = nullptr;
    int n = 0;
    if (get_objs(parent, &raw, &n) != 0)
        return -1;
    out.items.reset(raw);
    out.count = raw ? n : 0;
    return 0;
}

// Decimal value after the last '/' of a path; false when the path has none or it is not a number.
inline bool path_index(const char *path, uint32_t *index)
{
    const char *slash = std::strrchr(path, '/');
    if (!slash || !slash[1])
        return false;
    char *end = nullptr;
    unsigned long v = std::strtoul(slash + 1, &end, 10);
    if (*end != '\0' || v > UINT32_MAX)
        return false;
    *index = static_cast<uint32_t>(v);
    return true;
}

// The index after the last '/' of an object path; 0, logged, when the path has none.
inline uint32_t index_from_path(const char *func, const char *path)
{
    uint32_t index = 0;
    if (!path_index(path, &index))
        GWLOG(LOG_LVL_INFO, "(%s) %s is invalide path", func, path);
    return index;
}

// The numbered instance of a collection.
inline std::string instance_path(const char *collection, uint32_t index)
{
    return std::string(collection) + "/" + std::to_string(index);
}

// Frees a record block a get handed out: 0, or -1 for none.
inline int release_block(void *block)
{
    if (!block)
        return -1;
    g_free(block);
    return 0;
}

// The index a caller passes as a number is compared as the text "%u".
inline bool index_text_is(const char *text, uint32_t index)
{
    char want[16];
    std::snprintf(want, sizeof want, "%u", index);
    return std::strcmp(text, want) == 0;
}

inline bool mac_equal(const char *a, const char *b) { return a && b && strcasecmp(a, b) == 0; }

inline bool empty(const char *s) { return !s || !*s; }

// Runs the body of an exported function; an exception (only allocation can throw here) becomes -1
// instead of unwinding into a C caller.
template <typename F> int guarded(const char *func, F &&body) noexcept
{
    try {
        return body();
    } catch (...) {
        GWLOG(LOG_LVL_ERR, "(%s) out of memory.", func);
        return -1;
    }
}

// A property map for one partial write ("SetValues"); values handed to add() are consumed.
class PropMap {
public:
    PropMap() { g_variant_builder_init(&b_, G_VARIANT_TYPE_VARDICT); }
    ~PropMap() { g_variant_builder_clear(&b_); }
    PropMap(const PropMap &) = delete;
    PropMap &operator=(const PropMap &) = delete;
    void add(const char *name, GVariant *value)
    {
        g_variant_builder_add(&b_, "{sv}", name, value);
        ++n_;
    }
    int size() const { return n_; }
    // Floating a{sv}; the builder is left cleared.
    GVariant *end() { return g_variant_builder_end(&b_); }

private:
    GVariantBuilder b_;
    int n_ = 0;
};

// Finds the WAN connection with that Index: 0, -1 when the list fails, -2 when none matches. Logs the
// lookup failure with the caller's name.
int find_wan(const char *func, uint32_t wan_index, ccif_WANConnectionInfo_t *wan);

// Reads the WiFi capability: 0 WiFi present, -50 none, -1 unreadable.
int check_wifi(const char *func);

}  // namespace gwapi

#endif
