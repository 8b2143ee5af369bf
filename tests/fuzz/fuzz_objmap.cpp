// Service replies as bytes: an a{sv} map into a kind's record (at the kind's own field sizes, at
// one-byte text fields and at very large ones), and a managed-objects reply into a block of records.
// Nothing may be written outside a record or left unreleased.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include <glib.h>

#include "object_engine.hpp"

namespace {

using gw::objects::Kind;
using gw::objects::Prop;

// A kind with the same property names and types, but other text capacities and so another layout.
struct Variant {
    Kind kind;
    std::vector<Prop> props;
};

Variant resized(const Kind &k, uint32_t text_size)
{
    Variant v{k, std::vector<Prop>(k.props, k.props + k.prop_count)};
    size_t offset = 0;
    for (Prop &p : v.props) {
        if (p.type == 's')
            p.size = text_size;
        offset = (offset + 7) & ~size_t(7);
        p.offset = static_cast<uint32_t>(offset);
        offset += p.size;
    }
    v.kind.props = v.props.data();
    v.kind.record_size = offset ? offset : 1;
    v.kind.path_offset = -1;
    v.kind.index_offset = -1;
    return v;
}

const Kind &variant_of(const Kind &k, uint32_t text_size)
{
    static std::map<std::pair<const Kind *, uint32_t>, Variant> cache;
    auto key = std::make_pair(&k, text_size);
    auto it = cache.find(key);
    if (it == cache.end()) {
        it = cache.emplace(key, resized(k, text_size)).first;
        it->second.kind.props = it->second.props.data();
    }
    return it->second.kind;
}

void parse_guarded(const Kind &k, GVariant *map)
{
    // Guard bytes around the record catch writes past its end.
    std::vector<unsigned char> buf(k.record_size + 64, 0xA5);
    std::memset(buf.data() + 32, 0, k.record_size);
    void *rec = buf.data() + 32;
    gw::objects::parse_map(k, map, rec);
    for (size_t i = 0; i < 32; ++i)
        if (buf[i] != 0xA5 || buf[32 + k.record_size + i] != 0xA5)
            std::abort();
    for (size_t i = 0; i < k.prop_count; ++i) {
        const Prop &p = k.props[i];
        // A text field always ends inside itself.
        if (p.type == 's' && std::memchr(static_cast<char *>(rec) + p.offset, '\0', p.size) == nullptr)
            std::abort();
    }
    gw::objects::free_lists(k, rec, 1);
}

// Null unless the bytes are the normal form of a value of that type.
GVariant *value_from(const char *type, const uint8_t *data, size_t size)
{
    GVariant *v =
        g_variant_ref_sink(g_variant_new_from_data(G_VARIANT_TYPE(type), data, size, FALSE, nullptr, nullptr));
    if (!g_variant_is_normal_form(v)) {
        g_variant_unref(v);
        return nullptr;
    }
    return v;
}

void run_map(const Kind &k, const uint8_t *data, size_t size)
{
    GVariant *map = value_from("a{sv}", data, size);
    if (!map)
        return;
    parse_guarded(k, map);
    parse_guarded(variant_of(k, 1), map);
    parse_guarded(variant_of(k, 4096), map);
    g_variant_unref(map);
}

void run_managed(const Kind &k, const uint8_t *data, size_t size)
{
    GVariant *managed = value_from("a{oa{sa{sv}}}", data, size);
    if (!managed)
        return;
    void *objs = nullptr;
    int count = 0;
    if (gw::objects::parse_managed(k, managed, &objs, &count) == 0 && objs) {
        gw::objects::free_lists(k, objs, count);
        g_free(objs);
    }
    g_variant_unref(managed);
}

}  // namespace

// The first byte picks the kind and the reply shape; the rest is the serialised value.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 16384)
        return 0;
    size_t n = 0;
    const Kind *const *kinds = gw::objects::all_kinds(&n);
    if (n == 0)
        return 0;
    const Kind &k = *kinds[(data[0] & 0x7F) % n];
    if (data[0] & 0x80)
        run_managed(k, data + 1, size - 1);
    else
        run_map(k, data + 1, size - 1);
    return 0;
}
