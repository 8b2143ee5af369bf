// The generic engine behind every ccif_ accessor: it walks a kind's descriptor to check paths, parse
// property maps into records and build the maps it writes.
#include "object_engine.hpp"

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace gw::objects {
namespace {

constexpr size_t kMaxPath = CCIF_PATH_SIZE - 1;

char *field(void *rec, uint32_t offset) { return static_cast<char *>(rec) + offset; }
const char *field(const void *rec, uint32_t offset) { return static_cast<const char *>(rec) + offset; }

std::string_view dir_of(std::string_view p)
{
    size_t pos = p.rfind('/');
    return pos == std::string_view::npos || pos == 0 ? std::string_view() : p.substr(0, pos);
}
std::string_view base_of(std::string_view p)
{
    size_t pos = p.rfind('/');
    return pos == std::string_view::npos ? p : p.substr(pos + 1);
}

uint32_t index_of(std::string_view path)
{
    std::string_view last = base_of(path);
    if (last.empty() || last.size() > 10)
        return 0;
    uint64_t v = 0;
    for (char c : last) {
        if (c < '0' || c > '9')
            return 0;
        v = v * 10 + static_cast<unsigned>(c - '0');
    }
    return v > UINT32_MAX ? 0 : static_cast<uint32_t>(v);
}

// Syntax of a path handed in: present, an object path, and short enough for a record's path field.
bool path_syntax_ok(const char *path)
{
    if (!path) {
        GWLOG(LOG_LVL_WARN, "the path is null.");
        return false;
    }
    if (!g_variant_is_object_path(path) || std::strlen(path) > kMaxPath) {
        GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", path);
        return false;
    }
    return true;
}

// An instance of the kind: exactly one level below its collection (or, for SubSingle, the named
// object below an instance). Stricter than a prefix test on purpose: DeleteObject goes to the path's
// parent, and a path one level too short would delete the parent object itself.
bool instance_ok(const Kind &k, std::string_view path)
{
    switch (k.rule) {
    case Rule::Single:
        return path == k.path;
    case Rule::Collection:
        return dir_of(path) == k.path;
    case Rule::SubSingle:
        return base_of(path) == k.child && dir_of(dir_of(path)) == k.path;
    case Rule::SubCollection: {
        std::string_view coll = dir_of(path);
        return base_of(coll) == k.child && dir_of(dir_of(coll)) == k.path;
    }
    }
    return false;
}

// The object a call addresses: the fixed path of a single kind (a given path must equal it), or the
// given instance path.
bool target_of(const Kind &k, const char *path, std::string &out)
{
    if (k.rule == Rule::Single && !path) {
        out = k.path;
        return true;
    }
    if (!path_syntax_ok(path))
        return false;
    if (!instance_ok(k, path)) {
        GWLOG(LOG_LVL_WARN, "the object path is invalid.");
        return false;
    }
    out = path;
    return true;
}

bool collection_of(const Kind &k, const char *parent, std::string &out)
{
    if (k.rule == Rule::Collection) {
        out = k.path;
        return true;
    }
    if (k.rule != Rule::SubCollection) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return false;
    }
    if (!path_syntax_ok(parent))
        return false;
    if (dir_of(parent) != k.path) {
        GWLOG(LOG_LVL_WARN, "the object path is invalid.");
        return false;
    }
    out = std::string(parent) + "/" + k.child;
    if (out.size() > kMaxPath) {
        GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", out.c_str());
        return false;
    }
    return true;
}

// The path a record carries, checked as an instance of the kind.
bool record_path(const Kind &k, const void *rec, std::string &out)
{
    if (k.rule == Rule::Single) {
        out = k.path;
        return true;
    }
    if (!rec || k.path_offset < 0) {
        GWLOG(LOG_LVL_WARN, "The Params pObj or pObj->path is null.");
        return false;
    }
    const char *p = field(rec, static_cast<uint32_t>(k.path_offset));
    size_t len = strnlen(p, CCIF_PATH_SIZE);
    if (len == 0) {
        GWLOG(LOG_LVL_WARN, "The Params pObj or pObj->path is null.");
        return false;
    }
    if (len == CCIF_PATH_SIZE) {
        GWLOG(LOG_LVL_WARN, "the path [%.*s] is invalid object path.", CCIF_PATH_SIZE, p);
        return false;
    }
    return target_of(k, p, out);
}

void store_path(const Kind &k, void *rec, std::string_view path)
{
    if (k.path_offset >= 0)
        copy_truncated(field(rec, static_cast<uint32_t>(k.path_offset)), CCIF_PATH_SIZE, std::string(path).c_str());
    if (k.index_offset >= 0) {
        uint32_t idx = index_of(path);
        std::memcpy(field(rec, static_cast<uint32_t>(k.index_offset)), &idx, sizeof idx);
    }
}

template <typename T> void put(void *rec, const Prop &p, T v) { std::memcpy(field(rec, p.offset), &v, sizeof v); }

template <typename T> T take(const void *rec, const Prop &p)
{
    T v;
    std::memcpy(&v, field(rec, p.offset), sizeof v);
    return v;
}

void type_mismatch(const Kind &k, const Prop &p, GVariant *v)
{
    GWLOG(LOG_LVL_WARN, "property %s of %s has type %s, expected %c.", p.name, k.interface,
          g_variant_get_type_string(v), p.type);
}

// Stores one value. Integers of any width are accepted for an integer field when the value fits,
// because the service's integer widths are not ours to rely on; everything else must match.
bool store(const Kind &k, const Prop &p, GVariant *v, void *rec)
{
    if (p.type == 's') {
        if (!g_variant_is_of_type(v, G_VARIANT_TYPE_STRING) && !g_variant_is_of_type(v, G_VARIANT_TYPE_OBJECT_PATH)) {
            type_mismatch(k, p, v);
            return false;
        }
        // A split character would leave text the service refuses on the next write (and JSON cannot carry).
        copy_truncated_utf8(field(rec, p.offset), p.size, g_variant_get_string(v, nullptr));
        return true;
    }
    if (p.type == 'a') {
        if (!g_variant_is_of_type(v, G_VARIANT_TYPE_STRING_ARRAY)) {
            type_mismatch(k, p, v);
            return false;
        }
        char **list = nullptr;
        if (var2value_strings(v, &list) < 0) {
            GWLOG(LOG_LVL_ERR, "copy of list %s of %s failed.", p.name, k.interface);
            return false;
        }
        g_hgu_freeStrList(take<char **>(rec, p));
        put(rec, p, list);
        return true;
    }

    bool is_signed = false;
    int64_t s = 0;
    uint64_t u = 0;
    double d = 0;
    const char t = g_variant_get_type_string(v)[0];
    switch (t) {
    case 'b':
        u = g_variant_get_boolean(v) ? 1 : 0;
        break;
    case 'y':
        u = g_variant_get_byte(v);
        break;
    case 'q':
        u = g_variant_get_uint16(v);
        break;
    case 'u':
        u = g_variant_get_uint32(v);
        break;
    case 't':
        u = g_variant_get_uint64(v);
        break;
    case 'n':
        s = g_variant_get_int16(v);
        is_signed = true;
        break;
    case 'i':
        s = g_variant_get_int32(v);
        is_signed = true;
        break;
    case 'x':
        s = g_variant_get_int64(v);
        is_signed = true;
        break;
    case 'd':
        d = g_variant_get_double(v);
        break;
    default:
        type_mismatch(k, p, v);
        return false;
    }
    if (p.type == 'd') {
        put(rec, p, t == 'd' ? d : is_signed ? static_cast<double>(s) : static_cast<double>(u));
        return true;
    }
    if (t == 'd') {
        type_mismatch(k, p, v);
        return false;
    }
    if (is_signed && s >= 0) {
        u = static_cast<uint64_t>(s);
        is_signed = false;
    }
    bool fits = true;
    switch (p.type) {
    case 'b':
        put<gboolean>(rec, p, is_signed ? TRUE : (u != 0));
        return true;
    case 'y':
        fits = !is_signed && u <= UINT8_MAX;
        if (fits)
            put<uint8_t>(rec, p, static_cast<uint8_t>(u));
        break;
    case 'q':
        fits = !is_signed && u <= UINT16_MAX;
        if (fits)
            put<uint16_t>(rec, p, static_cast<uint16_t>(u));
        break;
    case 'u':
        fits = !is_signed && u <= UINT32_MAX;
        if (fits)
            put<uint32_t>(rec, p, static_cast<uint32_t>(u));
        break;
    case 't':
        fits = !is_signed;
        if (fits)
            put<uint64_t>(rec, p, u);
        break;
    case 'i':
        fits = is_signed ? s >= INT32_MIN : u <= INT32_MAX;
        if (fits)
            put<int32_t>(rec, p, is_signed ? static_cast<int32_t>(s) : static_cast<int32_t>(u));
        break;
    default:
        fits = false;
        break;
    }
    if (!fits) {
        GCharPtr text(g_variant_print(v, FALSE));
        GWLOG(LOG_LVL_WARN, "property %s of %s value %s is out of range.", p.name, k.interface, text.get());
    }
    return fits;
}

const Prop *find_prop(const Kind &k, const char *name)
{
    for (size_t i = 0; i < k.prop_count; ++i)
        if (std::strcmp(k.props[i].name, name) == 0)
            return &k.props[i];
    return nullptr;
}

// The value of one field as a floating variant, or null for a string that is not UTF-8 (GVariant
// would refuse it anyway).
GVariant *value_of(const Kind &k, const Prop &p, const void *rec)
{
    switch (p.type) {
    case 'b':
        return g_variant_new_boolean(take<gboolean>(rec, p) != 0);
    case 'y':
        return g_variant_new_byte(take<uint8_t>(rec, p));
    case 'q':
        return g_variant_new_uint16(take<uint16_t>(rec, p));
    case 'u':
        return g_variant_new_uint32(take<uint32_t>(rec, p));
    case 'i':
        return g_variant_new_int32(take<int32_t>(rec, p));
    case 't':
        return g_variant_new_uint64(take<uint64_t>(rec, p));
    case 'd':
        return g_variant_new_double(take<double>(rec, p));
    case 'a': {
        char **list = take<char **>(rec, p);
        for (char **e = list; e && *e; ++e) {
            if (!g_utf8_validate(*e, -1, nullptr)) {
                GWLOG(LOG_LVL_WARN, "property %s of %s is not valid UTF-8.", p.name, k.interface);
                return nullptr;
            }
        }
        return g_variant_new_strv(list, -1);
    }
    case 's': {
        const char *s = field(rec, p.offset);
        size_t len = strnlen(s, p.size);
        if (!g_utf8_validate(s, static_cast<gssize>(len), nullptr)) {
            GWLOG(LOG_LVL_WARN, "property %s of %s is not valid UTF-8.", p.name, k.interface);
            return nullptr;
        }
        return g_variant_new_string(std::string(s, len).c_str());
    }
    default:
        return nullptr;
    }
}

// Writes the kind's written properties of rec to the object at path.
int write_values(const Kind &k, const std::string &path, const void *rec)
{
    if (k.written_count == 0) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    if (k.set_style == SetStyle::SingleSet) {
        const Prop *p = find_prop(k, k.written[0].name);
        GVariant *v = p ? value_of(k, *p, rec) : nullptr;
        if (!v)
            return -1;
        return g_hgu_SetProperty(k.bus_name, path.c_str(), k.interface, p->name, v);
    }
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    for (size_t i = 0; i < k.written_count; ++i) {
        const Prop *p = find_prop(k, k.written[i].name);
        if (!p) {
            GWLOG(LOG_LVL_ERR, "%s has no property %s.", k.name, k.written[i].name);
            g_variant_builder_clear(&b);
            return -1;
        }
        if (k.written[i].omit_empty && p->type == 's' && field(rec, p->offset)[0] == '\0')
            continue;
        GVariant *v = value_of(k, *p, rec);
        if (!v) {
            g_variant_builder_clear(&b);
            return -1;
        }
        g_variant_builder_add(&b, "{sv}", p->name, v);
    }
    return g_hgu_SetMultiProperty(k.bus_name, path.c_str(), k.interface, g_variant_builder_end(&b));
}

int call_manager(const Kind &k, const std::string &collection, const char *method, GVariant *params, VariantPtr *reply)
{
    GVariant *out = nullptr;
    int rc = g_hgu_CallMethod(k.bus_name, collection.c_str(), HGU_OBJECT_MANAGER_INTERFACE, method, params,
                              reply ? &out : nullptr, HGU_DEFAULT_TIMEOUT);
    if (reply)
        reply->reset(out);
    return rc;
}

int delete_at(const Kind &k, const std::string &collection, const std::string &path)
{
    return call_manager(k, collection, "DeleteObject", g_variant_new("(o)", path.c_str()), nullptr) == 0 ? 0 : -1;
}

// The managed-objects map of a collection, or null after logging.
VariantPtr managed_objects(const Kind &k, const std::string &collection)
{
    VariantPtr reply;
    int rc = call_manager(k, collection, "GetManagedObjects", nullptr, &reply);
    if (rc != 0 || !reply) {
        GWLOG(LOG_LVL_WARN, "GetManagedObjects failed with ret(%d)", rc != 0 ? rc : -1);
        return nullptr;
    }
    return VariantPtr(g_variant_get_child_value(reply.get(), 0));
}

}  // namespace

int parse_map(const Kind &k, GVariant *map, void *rec) noexcept
{
    if (!map || !g_variant_is_of_type(map, G_VARIANT_TYPE_VARDICT)) {
        GWLOG(LOG_LVL_WARN, "The variant is null.");
        return -1;
    }
    if (!rec) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    const size_t n = k.prop_count;
    const size_t got = g_variant_n_children(map);
    if (got == 0 || n == 0) {
        GWLOG(LOG_LVL_DEBUG, "get variant Count of interface %s failed.", k.interface);
        return -1;
    }
    if (got != n)
        GWLOG(LOG_LVL_DEBUG, "Count of property [%d] is not equal the get count [%d].", static_cast<int>(n),
              static_cast<int>(got));
    for (size_t i = 0; i < got; ++i) {
        const char *key = nullptr;
        GVariant *raw = nullptr;
        g_variant_get_child(map, i, "{&sv}", &key, &raw);
        VariantPtr value(raw);
        bool matched = false;
        // A service that keeps table order matches every key on the first try.
        for (size_t j = 0; j < n && !matched; ++j) {
            const Prop &p = k.props[(i + j) % n];
            if (std::strcmp(p.name, key) == 0) {
                matched = true;
                store(k, p, value.get(), rec);
            }
        }
        if (!matched)
            GWLOG(LOG_LVL_DEBUG, "%d key string is not match key [%s].", static_cast<int>(i), key);
    }
    return 0;
}

void free_lists(const Kind &k, void *recs, int count) noexcept
{
    if (!recs)
        return;
    for (int r = 0; r < count; ++r) {
        void *rec = static_cast<char *>(recs) + static_cast<size_t>(r) * k.record_size;
        for (size_t i = 0; i < k.prop_count; ++i) {
            if (k.props[i].type != 'a')
                continue;
            g_hgu_freeStrList(take<char **>(rec, k.props[i]));
            put<char **>(rec, k.props[i], nullptr);
        }
    }
}

int parse_managed(const Kind &k, GVariant *managed, void **objs, int *count) noexcept
{
    if (!managed || !g_variant_is_of_type(managed, G_VARIANT_TYPE("a{oa{sa{sv}}}")) || !objs || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    const size_t children = g_variant_n_children(managed);
    if (children == 0) {
        *objs = nullptr;
        *count = 0;
        return 0;
    }
    char *block = static_cast<char *>(g_try_malloc0_n(children, k.record_size));
    if (!block) {
        GWLOG(LOG_LVL_ERR, "malloc for %d %s records failed.", static_cast<int>(children), k.name);
        return -1;
    }
    int filled = 0;
    for (size_t c = 0; c < children; ++c) {
        const char *path = nullptr;
        GVariant *raw = nullptr;
        g_variant_get_child(managed, c, "{&o@a{sa{sv}}}", &path, &raw);
        VariantPtr ifaces(raw);
        if (std::strlen(path) > kMaxPath) {
            GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", path);
            continue;
        }
        const size_t n_ifaces = g_variant_n_children(ifaces.get());
        for (size_t i = 0; i < n_ifaces; ++i) {
            const char *name = nullptr;
            GVariant *props_raw = nullptr;
            g_variant_get_child(ifaces.get(), i, "{&s@a{sv}}", &name, &props_raw);
            VariantPtr props(props_raw);
            if (std::strcmp(name, k.interface) != 0 || g_variant_n_children(props.get()) == 0)
                continue;
            void *rec = block + static_cast<size_t>(filled) * k.record_size;
            if (parse_map(k, props.get(), rec) != 0) {
                free_lists(k, block, filled + 1);
                g_free(block);
                return -1;
            }
            store_path(k, rec, path);
            ++filled;
            break;
        }
    }
    // The count is that of records filled: children without the kind's interface leave no
    // zero record behind.
    if (filled == 0) {
        g_free(block);
        block = nullptr;
    }
    *objs = block;
    *count = filled;
    return 0;
}

int get(const Kind &k, const char *path, void *rec) noexcept
{
    if (!rec) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    std::string target;
    if (!target_of(k, path, target))
        return -1;
    GVariant *raw = nullptr;
    if (g_hgu_GetAllProperty(k.bus_name, target.c_str(), k.interface, &raw) != 0)
        return -1;
    VariantPtr map(raw);
    std::vector<char> tmp(k.record_size, 0);
    if (parse_map(k, map.get(), tmp.data()) != 0) {
        free_lists(k, tmp.data(), 1);
        return -1;
    }
    if (k.rule != Rule::Single)
        store_path(k, tmp.data(), target);
    std::memcpy(rec, tmp.data(), k.record_size);
    return 0;
}

int get_objs(const Kind &k, const char *parent, void **objs, int *count) noexcept
{
    if (!objs || !count) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    std::string collection;
    if (!collection_of(k, parent, collection))
        return -1;
    VariantPtr managed = managed_objects(k, collection);
    if (!managed)
        return -1;
    return parse_managed(k, managed.get(), objs, count);
}

int add_obj(const Kind &k, const char *parent, void *rec) noexcept
{
    if (!rec || k.path_offset < 0) {
        GWLOG(LOG_LVL_WARN, "The Params pObj or pObj->path is null.");
        return -1;
    }
    std::string collection;
    if (!collection_of(k, parent, collection))
        return -1;
    VariantPtr reply;
    int rc = call_manager(k, collection, "AddObject", nullptr, &reply);
    if (rc != 0 || !reply) {
        GWLOG(LOG_LVL_WARN, "add %s failed, ret = %d", k.name, rc != 0 ? rc : -1);
        return -1;
    }
    if (!g_variant_is_of_type(reply.get(), G_VARIANT_TYPE("(o)"))) {
        GWLOG(LOG_LVL_WARN, "add %s failed, reply type %s is not (o)", k.name, g_variant_get_type_string(reply.get()));
        return -1;
    }
    const char *created = nullptr;
    g_variant_get(reply.get(), "(&o)", &created);
    const std::string path = created;
    if (path.size() > kMaxPath || dir_of(path) != collection) {
        GWLOG(LOG_LVL_WARN, "the path [%s] is invalid object path.", path.c_str());
        return -1;
    }
    std::vector<char> tmp(static_cast<char *>(rec), static_cast<char *>(rec) + k.record_size);
    store_path(k, tmp.data(), path);
    if (write_values(k, path, tmp.data()) != 0) {
        // No half-written object stays behind.
        GWLOG(LOG_LVL_WARN, "update obj for %s fail!", path.c_str());
        delete_at(k, collection, path);
        return -1;
    }
    store_path(k, rec, path);
    return 0;
}

int set(const Kind &k, void *rec) noexcept
{
    std::string path;
    if (!rec) {
        GWLOG(LOG_LVL_WARN, "The Params pObj or pObj->path is null.");
        return -1;
    }
    if (!record_path(k, rec, path))
        return -1;
    if (k.set_style == SetStyle::UpdateOrAdd) {
        std::vector<char> probe(k.record_size, 0);
        if (get(k, path.c_str(), probe.data()) != 0) {
            std::string parent(k.rule == Rule::SubCollection ? dir_of(dir_of(path)) : std::string_view());
            return add_obj(k, parent.empty() ? nullptr : parent.c_str(), rec);
        }
        free_lists(k, probe.data(), 1);
    }
    return write_values(k, path, rec) == 0 ? 0 : -1;
}

int setv(const Kind &k, const char *path, GVariant *map) noexcept
{
    VariantPtr owned = adopt_variant(map);
    if (!owned) {
        GWLOG(LOG_LVL_WARN, "The variant is null.");
        return -1;
    }
    std::string target;
    if (!target_of(k, path, target))
        return -1;
    if (!g_variant_is_of_type(owned.get(), G_VARIANT_TYPE_VARDICT)) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    return g_hgu_SetMultiProperty(k.bus_name, target.c_str(), k.interface, owned.release()) == 0 ? 0 : -1;
}

int del_obj(const Kind &k, const char *path) noexcept
{
    if (k.rule != Rule::Collection && k.rule != Rule::SubCollection) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    std::string target;
    if (!target_of(k, path, target))
        return -1;
    return delete_at(k, std::string(dir_of(target)), target);
}

int del_objs(const Kind &k, const char *parent) noexcept
{
    std::string collection;
    if (!collection_of(k, parent, collection))
        return -1;
    VariantPtr managed = managed_objects(k, collection);
    if (!managed)
        return -1;
    int rc = 0;
    const size_t n = g_variant_n_children(managed.get());
    for (size_t i = 0; i < n; ++i) {
        const char *child = nullptr;
        g_variant_get_child(managed.get(), i, "{&o@a{sa{sv}}}", &child, nullptr);
        // One refusal does not stop the rest; the result still says that not all went.
        if (delete_at(k, collection, child) != 0)
            rc = -1;
    }
    return rc;
}

int clear_objs(const Kind &k, const char *parent) noexcept
{
    std::string collection;
    if (!collection_of(k, parent, collection))
        return -1;
    return call_manager(k, collection, "RemoveAllObjects", nullptr, nullptr) == 0 ? 0 : -1;
}

int vpn_set(const Kind &k, const char *parent, const char *label, void *rec) noexcept
{
    if (!rec || k.index_offset < 0) {
        GWLOG(LOG_LVL_WARN, "the parameter is invalid.");
        return -1;
    }
    std::string collection;
    if (!collection_of(k, parent, collection))
        return -1;
    const char *what = label ? label : "";
    uint32_t index = 0;
    std::memcpy(&index, field(rec, static_cast<uint32_t>(k.index_offset)), sizeof index);
    if (index != 0) {
        const std::string path = collection + "/" + std::to_string(index);
        std::vector<char> probe(k.record_size, 0);
        if (get(k, path.c_str(), probe.data()) == 0) {
            free_lists(k, probe.data(), 1);
            GWLOG(LOG_LVL_INFO, "%s change %s", k.name, what);
            std::vector<char> tmp(static_cast<char *>(rec), static_cast<char *>(rec) + k.record_size);
            store_path(k, tmp.data(), path);
            if (write_values(k, path, tmp.data()) != 0)
                return -1;
            store_path(k, rec, path);
            return 0;
        }
    }
    GWLOG(LOG_LVL_INFO, "%s add %s", k.name, what);
    return add_obj(k, parent, rec);
}

}  // namespace gw::objects

extern "C" {

void ccif_free_obj_lists(const char *kind, void *obj)
{
    const gw::objects::Kind *k = kind ? gw::objects::find_kind(kind) : nullptr;
    if (k && obj)
        gw::objects::free_lists(*k, obj, 1);
}

void ccif_free_objs(const char *kind, void *objs, int count)
{
    if (!objs)
        return;
    const gw::objects::Kind *k = kind ? gw::objects::find_kind(kind) : nullptr;
    if (k)
        gw::objects::free_lists(*k, objs, count);
    g_free(objs);
}

}  // extern "C"
