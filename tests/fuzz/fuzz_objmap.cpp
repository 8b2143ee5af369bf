// Service replies as bytes: an a{sv} map into every kind's record, and a managed-objects reply into a
// block of records; nothing may be written outside a record or left unreleased.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <glib.h>

#include "object_engine.hpp"

namespace {

using gw::objects::Kind;

// The first byte picks the kind and the reply shape; the rest is the serialised value.
void run_map(const Kind &k, const uint8_t *data, size_t size)
{
    GVariant *raw = g_variant_new_from_data(G_VARIANT_TYPE("a{sv}"), data, size, FALSE, nullptr, nullptr);
    GVariant *map = g_variant_get_normal_form(g_variant_ref_sink(raw));
    g_variant_unref(raw);
    // Guard bytes around the record catch writes past its end.
    std::vector<unsigned char> buf(k.record_size + 64, 0xA5);
    std::memset(buf.data() + 32, 0, k.record_size);
    gw::objects::parse_map(k, map, buf.data() + 32);
    for (size_t i = 0; i < 32; ++i)
        if (buf[i] != 0xA5 || buf[32 + k.record_size + i] != 0xA5)
            std::abort();
    gw::objects::free_lists(k, buf.data() + 32, 1);
    g_variant_unref(map);
}

void run_managed(const Kind &k, const uint8_t *data, size_t size)
{
    GVariant *raw = g_variant_new_from_data(G_VARIANT_TYPE("a{oa{sa{sv}}}"), data, size, FALSE, nullptr, nullptr);
    GVariant *managed = g_variant_get_normal_form(g_variant_ref_sink(raw));
    g_variant_unref(raw);
    void *objs = nullptr;
    int count = 0;
    if (gw::objects::parse_managed(k, managed, &objs, &count) == 0 && objs) {
        gw::objects::free_lists(k, objs, count);
        g_free(objs);
    }
    g_variant_unref(managed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 16384)
        return 0;
    size_t n = 0;
    const Kind *const *kinds = gw::objects::all_kinds(&n);
    if (n == 0)
        return 0;
    const Kind &k = *kinds[data[0] % n];
    if (data[0] & 0x80)
        run_managed(k, data + 1, size - 1);
    else
        run_map(k, data + 1, size - 1);
    return 0;
}
