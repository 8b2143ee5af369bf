// Owning handles for the agent-only resources: jansson values, malloc'ed blocks, stdio files,
// cipher contexts and the blocks the composite library hands out. Library types (GVariant,
// GError, g_malloc'ed text, descriptors) have theirs in gwbus/raii.hpp.
#ifndef GWAGENT_CORE_HOLDERS_HPP
#define GWAGENT_CORE_HOLDERS_HPP

#include <cstdio>
#include <cstdlib>
#include <memory>

#include <glib.h>
#include <jansson.h>
#include <openssl/evp.h>

#include "gwbus/raii.hpp"

namespace gwagent {

using gw::FreeWith;

struct FreeDeleter {
    void operator()(void *p) const noexcept { std::free(p); }
};

inline void json_release(json_t *j) { json_decref(j); }
inline void file_close(FILE *f) { std::fclose(f); }

using JsonPtr = std::unique_ptr<json_t, FreeWith<json_t, json_release>>;
// A block from malloc (jansson's dumps, strdup).
template <typename T> using MallocPtr = std::unique_ptr<T, FreeDeleter>;
using CharPtr = MallocPtr<char>;
using FilePtr = std::unique_ptr<FILE, FreeWith<FILE, file_close>>;
using EvpCtxPtr = std::unique_ptr<EVP_CIPHER_CTX, FreeWith<EVP_CIPHER_CTX, EVP_CIPHER_CTX_free>>;

// A block an api_get... call handed out, with its count; its api_release... twin runs at scope exit.
template <typename T, int (*Release)(T *, int)> struct ApiList {
    T *items = nullptr;
    int count = 0;
    ApiList() = default;
    ApiList(const ApiList &) = delete;
    ApiList &operator=(const ApiList &) = delete;
    ~ApiList()
    {
        if (items)
            Release(items, count);
    }
};

// A record block a ccif_*_get_objs call handed out (g_malloc'ed, no nested allocations), with its count.
template <typename T> struct ObjList {
    T *items = nullptr;
    int count = 0;
    ObjList() = default;
    ObjList(const ObjList &) = delete;
    ObjList &operator=(const ObjList &) = delete;
    ~ObjList() { g_free(items); }
    // Reads the block afresh through `get`; false (and empty) on failure.
    bool read(int (*get)(T **, int *))
    {
        g_free(items);
        items = nullptr;
        count = 0;
        return get(&items, &count) == 0;
    }
    const T *begin() const { return items; }
    const T *end() const { return items + count; }
};

}  // namespace gwagent

#endif
