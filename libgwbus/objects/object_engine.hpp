// Object kinds of the configuration service as data, and the one engine that moves records of any
// kind to and from the service. Internal to libgwbus (the method layer parses LANHost maps with it,
// the tests walk the kind table).
#ifndef GWBUS_OBJECT_ENGINE_HPP
#define GWBUS_OBJECT_ENGINE_HPP

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include <glib.h>

#include "gwbus/bus.h"
#include "gwbus/objects.h"

namespace gw::objects {

// Where a kind's objects live.
enum class Rule : uint8_t {
    Single,         // one object at `path`
    SubSingle,      // one object at <instance of `path`>/<child>
    Collection,     // instances <path>/<n>
    SubCollection,  // instances <instance of `path`>/<child>/<n>
};

// How `_set` writes a record.
enum class SetStyle : uint8_t {
    Values,       // one "SetValues" of the written properties
    SingleSet,    // one "Set" of the only written property
    UpdateOrAdd,  // read first: update an existing object, else add a new one
};

// Operations a kind exports (ccif_<Kind>_<op>).
enum Op : uint32_t {
    kGet = 1u << 0,
    kGetObjs = 1u << 1,
    kSet = 1u << 2,
    kSetv = 1u << 3,
    kAddObj = 1u << 4,
    kDelObj = 1u << 5,
    kDelObjs = 1u << 6,
    kClearObjs = 1u << 7,
    kVpnAdd = 1u << 8,
    kVpnUpdate = 1u << 9,
    kVpnSet = 1u << 10,
    kVpnDel = 1u << 11,
    kVpnRmObj = 1u << 12,
    kVpnClear = 1u << 13,
};

struct OpName {
    Op op;
    const char *suffix;
};
// The exported name of each operation; kDelObj is "del_obj" for every kind.
inline constexpr OpName kOpNames[] = {
    {kGet, "get"},         {kGetObjs, "get_objs"}, {kSet, "set"},          {kSetv, "setv"},
    {kAddObj, "add_obj"},  {kDelObj, "del_obj"},   {kDelObjs, "del_objs"}, {kClearObjs, "clear_objs"},
    {kVpnAdd, "add"},      {kVpnUpdate, "update"}, {kVpnSet, "set"},       {kVpnDel, "del"},
    {kVpnRmObj, "rm_obj"}, {kVpnClear, "clear"},
};

// One property: its name on the bus, its type letter ('a' for `as`), and its field in the record.
struct Prop {
    const char *name;
    char type;
    uint32_t offset;
    uint32_t size;
};

struct Written {
    const char *name;
    bool omit_empty;  // a string left empty is not written at all
};

struct Kind {
    const char *name;  // as in ccif_<name>_...
    const char *bus_name;
    const char *interface;
    Rule rule;
    const char *path;   // fixed path, collection path, or the collection the parent instance is in
    const char *child;  // SubSingle/SubCollection: the name below the parent instance
    size_t record_size;
    int path_offset;   // -1: the record has no path
    int index_offset;  // -1: the record has no instance index
    const Prop *props;
    size_t prop_count;
    const Written *written;
    size_t written_count;
    uint32_t ops;
    SetStyle set_style;
};

struct KindTable {
    const Kind *const *rows;
    size_t count;
};

// Every kind, in area order.
const Kind *const *all_kinds(size_t *count) noexcept;
const Kind *find_kind(const char *name) noexcept;

// The operations; each returns 0 or -1 and writes out-parameters only on success. `parent` is the
// parent instance for kinds below an instance and ignored otherwise; `path` null means the fixed path.
int get(const Kind &k, const char *path, void *rec) noexcept;
int get_objs(const Kind &k, const char *parent, void **objs, int *count) noexcept;
int set(const Kind &k, void *rec) noexcept;
int setv(const Kind &k, const char *path, GVariant *map) noexcept;
int add_obj(const Kind &k, const char *parent, void *rec) noexcept;
int del_obj(const Kind &k, const char *path) noexcept;
int del_objs(const Kind &k, const char *parent) noexcept;
int clear_objs(const Kind &k, const char *parent) noexcept;
int vpn_set(const Kind &k, const char *parent, const char *label, void *rec) noexcept;

// Fills the record's property fields from an a{sv} map (the rotating match); the record should be
// zero-filled. -1 for an empty map.
int parse_map(const Kind &k, GVariant *map, void *rec) noexcept;
// Turns a GetManagedObjects-style a{oa{sa{sv}}} value into a block of records of the kind (path and
// index set), in reply order; children without the kind's interface are skipped.
int parse_managed(const Kind &k, GVariant *managed, void **objs, int *count) noexcept;
// Frees the string lists inside count records and clears those fields.
void free_lists(const Kind &k, void *recs, int count) noexcept;

// A property row, checked at compile time: a size that does not fit the type letter makes the
// descriptor fail to compile.
void property_size_does_not_match_type();
constexpr bool size_fits(char type, uint32_t size)
{
    switch (type) {
    case 'b':
    case 'u':
    case 'i':
        return size == 4;
    case 'y':
        return size == 1;
    case 'q':
        return size == 2;
    case 't':
    case 'd':
        return size == 8;
    case 'a':
        return size == sizeof(char **);
    case 's':
        return size >= 1;
    default:
        return false;
    }
}
constexpr Prop make_prop(const char *name, char type, size_t offset, size_t size)
{
    if (!size_fits(type, static_cast<uint32_t>(size)))
        property_size_does_not_match_type();
    return Prop{name, type, static_cast<uint32_t>(offset), static_cast<uint32_t>(size)};
}

}  // namespace gw::objects

// ---- descriptor rows -------------------------------------------------------------------------------

#define GW_P(K, field, type)                                                                                           \
    ::gw::objects::make_prop(#field, type, offsetof(ccif_##K##_t, field), sizeof(ccif_##K##_t::field))

#define GW_WRITES(K) k##K##Written, sizeof(k##K##Written) / sizeof(k##K##Written[0])
#define GW_NO_WRITES nullptr, 0

// GW_KIND(K, interface, rule, path, child, ops, set style, GW_WRITES(K) | GW_NO_WRITES), with the
// property rows in k<K>Props.
#define GW_KIND_ON(bus, K, iface, rule, path, child, ops, style, ...)                                                  \
    namespace gw::objects::kinds {                                                                                     \
    extern const Kind kind_##K;                                                                                        \
    }                                                                                                                  \
    const ::gw::objects::Kind gw::objects::kinds::kind_##K = {#K,                                                      \
                                                              bus,                                                     \
                                                              iface,                                                   \
                                                              ::gw::objects::Rule::rule,                               \
                                                              path,                                                    \
                                                              child,                                                   \
                                                              sizeof(ccif_##K##_t),                                    \
                                                              ::gw::objects::path_offset_of<ccif_##K##_t>(),           \
                                                              ::gw::objects::index_offset_of<ccif_##K##_t>(),          \
                                                              k##K##Props,                                             \
                                                              sizeof(k##K##Props) / sizeof(k##K##Props[0]),            \
                                                              __VA_ARGS__,                                             \
                                                              ops,                                                     \
                                                              ::gw::objects::SetStyle::style}
#define GW_KIND(K, iface, rule, path, child, ops, style, ...)                                                          \
    GW_KIND_ON(HGU_BUS_NAME, K, "com.yvc.igd1." iface, rule, path, child, ops, style, __VA_ARGS__)

namespace gw::objects {
template <typename R, typename = void> struct has_path : std::false_type {
};
template <typename R> struct has_path<R, std::void_t<decltype(R::path)>> : std::true_type {
};
template <typename R, typename = void> struct has_index : std::false_type {
};
template <typename R> struct has_index<R, std::void_t<decltype(R::Index)>> : std::true_type {
};

template <typename R> constexpr int path_offset_of()
{
    if constexpr (has_path<R>::value)
        return static_cast<int>(offsetof(R, path));
    else
        return -1;
}
// Only VPN collection records start with their instance index; an `Index` elsewhere is a property.
template <typename R> constexpr int index_offset_of()
{
    if constexpr (has_index<R>::value && has_path<R>::value) {
        if constexpr (offsetof(R, Index) == 0 && std::is_same_v<decltype(R::Index), uint32_t>)
            return 0;
        else
            return -1;
    } else {
        return -1;
    }
}
}  // namespace gw::objects

// ---- exported wrappers, one line per operation ------------------------------------------------------

#define GW_EXPORT_GET(K)                                                                                               \
    extern "C" int ccif_##K##_get(ccif_##K##_t *obj)                                                                   \
    {                                                                                                                  \
        return ::gw::objects::get(::gw::objects::kinds::kind_##K, nullptr, obj);                                       \
    }
#define GW_EXPORT_GET_AT(K)                                                                                            \
    extern "C" int ccif_##K##_get(const char *path, ccif_##K##_t *obj)                                                 \
    {                                                                                                                  \
        return ::gw::objects::get(::gw::objects::kinds::kind_##K, path, obj);                                          \
    }
#define GW_EXPORT_GET_OBJS(K)                                                                                          \
    extern "C" int ccif_##K##_get_objs(ccif_##K##_t **objs, int *count)                                                \
    {                                                                                                                  \
        return ::gw::objects::get_objs(::gw::objects::kinds::kind_##K, nullptr, reinterpret_cast<void **>(objs),       \
                                       count);                                                                         \
    }
#define GW_EXPORT_GET_OBJS_UNDER(K)                                                                                    \
    extern "C" int ccif_##K##_get_objs(const char *parent, ccif_##K##_t **objs, int *count)                            \
    {                                                                                                                  \
        return ::gw::objects::get_objs(::gw::objects::kinds::kind_##K, parent, reinterpret_cast<void **>(objs),        \
                                       count);                                                                         \
    }
#define GW_EXPORT_SET(K)                                                                                               \
    extern "C" int ccif_##K##_set(const ccif_##K##_t *obj)                                                             \
    {                                                                                                                  \
        return ::gw::objects::set(::gw::objects::kinds::kind_##K, const_cast<ccif_##K##_t *>(obj));                    \
    }
#define GW_EXPORT_SET_MUTABLE(K)                                                                                       \
    extern "C" int ccif_##K##_set(ccif_##K##_t *obj) { return ::gw::objects::set(::gw::objects::kinds::kind_##K, obj); }
#define GW_EXPORT_SETV(K)                                                                                              \
    extern "C" int ccif_##K##_setv(const char *path, GVariant *map)                                                    \
    {                                                                                                                  \
        return ::gw::objects::setv(::gw::objects::kinds::kind_##K, path, map);                                         \
    }
#define GW_EXPORT_ADD_OBJ(K)                                                                                           \
    extern "C" int ccif_##K##_add_obj(ccif_##K##_t *obj)                                                               \
    {                                                                                                                  \
        return ::gw::objects::add_obj(::gw::objects::kinds::kind_##K, nullptr, obj);                                   \
    }
#define GW_EXPORT_ADD_OBJ_UNDER(K)                                                                                     \
    extern "C" int ccif_##K##_add_obj(const char *parent, ccif_##K##_t *obj)                                           \
    {                                                                                                                  \
        return ::gw::objects::add_obj(::gw::objects::kinds::kind_##K, parent, obj);                                    \
    }
#define GW_EXPORT_DEL(K, op)                                                                                           \
    extern "C" int ccif_##K##_##op(const char *path)                                                                   \
    {                                                                                                                  \
        return ::gw::objects::del_obj(::gw::objects::kinds::kind_##K, path);                                           \
    }
#define GW_EXPORT_DEL_OBJ(K) GW_EXPORT_DEL(K, del_obj)
#define GW_EXPORT_DEL_OBJS(K)                                                                                          \
    extern "C" int ccif_##K##_del_objs(const char *parent)                                                             \
    {                                                                                                                  \
        return ::gw::objects::del_objs(::gw::objects::kinds::kind_##K, parent);                                        \
    }
#define GW_EXPORT_CLEAR_OBJS(K)                                                                                        \
    extern "C" int ccif_##K##_clear_objs(const char *parent)                                                           \
    {                                                                                                                  \
        return ::gw::objects::clear_objs(::gw::objects::kinds::kind_##K, parent);                                      \
    }

#define GW_EXPORT_VPN_ADD(K)                                                                                           \
    extern "C" int ccif_##K##_add(ccif_##K##_t *obj)                                                                   \
    {                                                                                                                  \
        return ::gw::objects::add_obj(::gw::objects::kinds::kind_##K, nullptr, obj);                                   \
    }
#define GW_EXPORT_VPN_ADD_UNDER(K)                                                                                     \
    extern "C" int ccif_##K##_add(const char *parent, ccif_##K##_t *obj)                                               \
    {                                                                                                                  \
        return ::gw::objects::add_obj(::gw::objects::kinds::kind_##K, parent, obj);                                    \
    }
#define GW_EXPORT_VPN_UPDATE(K)                                                                                        \
    extern "C" int ccif_##K##_update(const ccif_##K##_t *obj)                                                          \
    {                                                                                                                  \
        return ::gw::objects::set(::gw::objects::kinds::kind_##K, const_cast<ccif_##K##_t *>(obj));                    \
    }
#define GW_EXPORT_VPN_SET(K)                                                                                           \
    extern "C" int ccif_##K##_set(const char *label, ccif_##K##_t *obj)                                                \
    {                                                                                                                  \
        return ::gw::objects::vpn_set(::gw::objects::kinds::kind_##K, nullptr, label, obj);                            \
    }
#define GW_EXPORT_VPN_SET_UNDER(K)                                                                                     \
    extern "C" int ccif_##K##_set(const char *parent, const char *label, ccif_##K##_t *obj)                            \
    {                                                                                                                  \
        return ::gw::objects::vpn_set(::gw::objects::kinds::kind_##K, parent, label, obj);                             \
    }
#define GW_EXPORT_VPN_CLEAR(K)                                                                                         \
    extern "C" int ccif_##K##_clear(void) { return ::gw::objects::clear_objs(::gw::objects::kinds::kind_##K, nullptr); }
#define GW_EXPORT_VPN_CLEAR_UNDER(K)                                                                                   \
    extern "C" int ccif_##K##_clear(const char *parent)                                                                \
    {                                                                                                                  \
        return ::gw::objects::clear_objs(::gw::objects::kinds::kind_##K, parent);                                      \
    }

// GW_KIND_TABLE(kinds_<area>, &kind_A, &kind_B, ...): the area's rows for the registry.
#define GW_KIND_TABLE(area, ...)                                                                                       \
    namespace gw::objects {                                                                                            \
    namespace {                                                                                                        \
    using namespace kinds;                                                                                             \
    const Kind *const area##_rows[] = {__VA_ARGS__};                                                                   \
    }                                                                                                                  \
    extern const KindTable area;                                                                                       \
    const KindTable area = {area##_rows, sizeof(area##_rows) / sizeof(area##_rows[0])};                                \
    }

#endif
