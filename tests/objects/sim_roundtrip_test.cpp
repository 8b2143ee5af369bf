// Every kind of the descriptor table, written through the library into the configuration simulator
// (add_obj or set; read-only kinds through the simulator's own control) and read back through the
// library: every field must hold what the simulator stores, and what the simulator stores must be
// what was written.
#include <cinttypes>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "igd1_sim.hpp"
#include "object_engine.hpp"

namespace {

using gw::objects::Kind;
using gw::objects::Prop;
using gw::objects::Rule;

std::vector<const Kind *> kinds()
{
    size_t n = 0;
    const Kind *const *rows = gw::objects::all_kinds(&n);
    return std::vector<const Kind *>(rows, rows + n);
}

std::string dir_of(const std::string &p) { return p.substr(0, p.rfind('/')); }
std::string base_of(const std::string &p) { return p.substr(p.rfind('/') + 1); }
bool numbered(const std::string &s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos; }

// Where an object of the kind may live, decided from the path alone.
bool fits(const Kind &k, const std::string &path)
{
    switch (k.rule) {
    case Rule::Single:
        return path == k.path;
    case Rule::Collection:
        return dir_of(path) == k.path && numbered(base_of(path));
    case Rule::SubSingle:
        return base_of(path) == k.child && numbered(base_of(dir_of(path))) && dir_of(dir_of(path)) == k.path;
    case Rule::SubCollection: {
        const std::string coll = dir_of(path);
        return numbered(base_of(path)) && base_of(coll) == k.child && numbered(base_of(dir_of(coll))) &&
               dir_of(dir_of(coll)) == k.path;
    }
    }
    return false;
}

std::string default_path(const Kind &k)
{
    switch (k.rule) {
    case Rule::Single:
        return k.path;
    case Rule::Collection:
        return std::string(k.path) + "/1";
    case Rule::SubSingle:
        return std::string(k.path) + "/1/" + k.child;
    case Rule::SubCollection:
        return std::string(k.path) + "/1/" + k.child + "/1";
    }
    return "";
}

// The first object of the kind in the simulator's state, or "".
std::string find_object(gwtest::Igd1Sim &sim, const Kind &k)
{
    gwtest::Json s = sim.state();
    const char *path;
    json_t *ifaces;
    json_object_foreach(json_object_get(s.get(), "objects"), path, ifaces)
    {
        if (json_object_get(ifaces, k.interface) && fits(k, path))
            return path;
    }
    return "";
}

// The parent instance for kinds below one ("" for the others).
std::string parent_of(const Kind &k, const std::string &path)
{
    if (k.rule == Rule::SubCollection)
        return dir_of(dir_of(path));
    return "";
}

bool is_written(const Kind &k, const Prop &p)
{
    for (size_t w = 0; w < k.written_count; ++w)
        if (std::strcmp(k.written[w].name, p.name) == 0)
            return true;
    return false;
}

template <typename T> T take(const void *rec, const Prop &p)
{
    T v;
    std::memcpy(&v, static_cast<const char *>(rec) + p.offset, sizeof v);
    return v;
}
template <typename T> void put(void *rec, const Prop &p, T v)
{
    std::memcpy(static_cast<char *>(rec) + p.offset, &v, sizeof v);
}

// A field in a neutral text: numbers in decimal, booleans as true/false, lists joined by ",".
std::string field_text(const Prop &p, const void *rec)
{
    char buf[64];
    switch (p.type) {
    case 'b':
        return take<gboolean>(rec, p) ? "true" : "false";
    case 'y':
        return std::to_string(take<uint8_t>(rec, p));
    case 'q':
        return std::to_string(take<uint16_t>(rec, p));
    case 'u':
        return std::to_string(take<uint32_t>(rec, p));
    case 'i':
        return std::to_string(take<int32_t>(rec, p));
    case 't':
        return std::to_string(take<uint64_t>(rec, p));
    case 'd':
        std::snprintf(buf, sizeof buf, "%.6g", take<double>(rec, p));
        return buf;
    case 'a': {
        std::string out;
        for (char **e = take<char **>(rec, p); e && *e; ++e)
            out += std::string(*e) + ",";
        return out;
    }
    case 's':
        return std::string(static_cast<const char *>(rec) + p.offset,
                           strnlen(static_cast<const char *>(rec) + p.offset, p.size));
    }
    return "?";
}

// What a field must read after the simulator stored `text` (null: nothing stored, the field stays zero).
std::string expected_field(const Prop &p, const std::string &text)
{
    if (text.empty()) {
        std::vector<char> zero(p.offset + p.size + 8, 0);
        return field_text(p, zero.data());
    }
    gw::VariantPtr v(g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, nullptr));
    if (!v)
        return "unparsable " + text;
    char buf[64];
    const char t = g_variant_get_type_string(v.get())[0];
    switch (t) {
    case 's':
    case 'o': {
        std::string s = g_variant_get_string(v.get(), nullptr);
        return s.substr(0, p.size - 1);
    }
    case 'b':
        return g_variant_get_boolean(v.get()) ? "true" : "false";
    case 'y':
        return p.type == 'b' ? (g_variant_get_byte(v.get()) ? "true" : "false")
                             : std::to_string(g_variant_get_byte(v.get()));
    case 'q':
        return std::to_string(g_variant_get_uint16(v.get()));
    case 'u':
        return p.type == 'b' ? (g_variant_get_uint32(v.get()) ? "true" : "false")
                             : std::to_string(g_variant_get_uint32(v.get()));
    case 'i':
        return std::to_string(g_variant_get_int32(v.get()));
    case 't':
        return std::to_string(g_variant_get_uint64(v.get()));
    case 'd':
        std::snprintf(buf, sizeof buf, "%.6g", g_variant_get_double(v.get()));
        return buf;
    case 'a': {
        std::string out;
        gw::StrvPtr list(g_variant_dup_strv(v.get(), nullptr));
        for (char **e = list.get(); e && *e; ++e)
            out += std::string(*e) + ",";
        return out;
    }
    }
    return "type " + std::string(g_variant_get_type_string(v.get()));
}

// A value in GLib text that no profile holds: strings longer than their field.
std::string fresh_text(const Prop &p, size_t i)
{
    const std::string n = std::to_string(i + 3);
    switch (p.type) {
    case 'b':
        return i % 2 ? "true" : "false";
    case 'y':
        return "byte " + std::to_string(200 + i % 50);
    case 'q':
        return "uint16 " + std::to_string(4000 + i);
    case 'u':
        return "uint32 " + std::to_string(70000 + i);
    case 'i':
        return "int32 -" + n;
    case 't':
        return "uint64 " + std::to_string((1ull << 40) + i);
    case 'd':
        return n + ".25";
    case 'a':
        return "@as ['l" + n + "', 'm']";
    case 's':
        return "'" + std::string(p.size + 3, static_cast<char>('A' + i % 26)) + "'";
    }
    return "";
}

// Fills a written field with a value the object did not hold (`now` is its stored text).
void fill_written(const Prop &p, size_t i, void *rec, const std::string &now)
{
    switch (p.type) {
    case 'b':
        put<gboolean>(rec, p, expected_field(p, now) == "true" ? FALSE : TRUE);
        break;
    case 'y':
        put<uint8_t>(rec, p, static_cast<uint8_t>(150 + i % 100));
        break;
    case 'q':
        put<uint16_t>(rec, p, static_cast<uint16_t>(5000 + i));
        break;
    case 'u':
        put<uint32_t>(rec, p, static_cast<uint32_t>(90000 + i));
        break;
    case 'i':
        put<int32_t>(rec, p, -static_cast<int32_t>(500 + i));
        break;
    case 't':
        put<uint64_t>(rec, p, (1ull << 41) + i);
        break;
    case 'd':
        put<double>(rec, p, static_cast<double>(i) + 0.75);
        break;
    case 's': {
        // Fills the field to its capacity: the longest value a record can carry.
        char *f = static_cast<char *>(rec) + p.offset;
        std::memset(f, 'a' + static_cast<int>(i % 26), p.size - 1);
        f[0] = 'w';
        f[p.size - 1] = '\0';
        break;
    }
    default:
        break;
    }
}

class SimKind : public ::testing::TestWithParam<const Kind *> {};

TEST_P(SimKind, WrittenRecordReadsBackFieldForField)
{
    const Kind &k = *GetParam();
    gwtest::TempRoot root;
    gwtest::Igd1Sim sim;
    ASSERT_TRUE(sim.ready());

    std::string path = find_object(sim, k);
    if (path.empty()) {
        path = default_path(k);
        std::string props;
        for (size_t i = 0; i < k.prop_count; ++i)
            props += std::string(i ? ", " : "") + "\"" + k.props[i].name + "\": \"" + fresh_text(k.props[i], i) + "\"";
        sim.set_object(path, "{\"" + std::string(k.interface) + "\": {" + props + "}}");
    }
    if (!(k.ops & (gw::objects::kAddObj | gw::objects::kVpnAdd))) {
        // Fields the write leaves alone get texts longer than their fields, so the read cuts them.
        for (size_t i = 0; i < k.prop_count; ++i) {
            if (!is_written(k, k.props[i]))
                sim.control("SetProperty", g_variant_new("(ssss)", path.c_str(), k.interface, k.props[i].name,
                                                         fresh_text(k.props[i], i).c_str()));
        }
    }
    const std::string parent = parent_of(k, path);
    const bool adds = (k.ops & (gw::objects::kAddObj | gw::objects::kVpnAdd)) && k.written_count > 0;
    const bool sets =
        (k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate | gw::objects::kVpnSet)) && k.written_count > 0;

    std::vector<char> rec(k.record_size, 0);
    if (k.path_offset >= 0)
        std::snprintf(rec.data() + k.path_offset, CCIF_PATH_SIZE, "%s", path.c_str());
    if (k.index_offset >= 0) {
        const uint32_t index = static_cast<uint32_t>(std::stoul(base_of(path)));
        std::memcpy(rec.data() + k.index_offset, &index, sizeof index);
    }
    for (size_t i = 0; i < k.prop_count; ++i)
        if (is_written(k, k.props[i]))
            fill_written(k.props[i], i, rec.data(), sim.prop_text(path, k.interface, k.props[i].name));

    sim.reset();
    if (adds) {
        ASSERT_EQ(gw::objects::add_obj(k, parent.empty() ? nullptr : parent.c_str(), rec.data()), 0);
        const std::string made = rec.data() + k.path_offset;
        EXPECT_EQ(dir_of(made), dir_of(path)) << "added in the collection";
        EXPECT_NE(made, path) << "a new object, not the existing one";
        EXPECT_EQ(sim.call_count("AddObject"), 1u);
        path = made;
    } else if (sets && (k.ops & gw::objects::kVpnSet) && !(k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate))) {
        ASSERT_EQ(gw::objects::vpn_set(k, parent.empty() ? nullptr : parent.c_str(), "roundtrip", rec.data()), 0);
    } else if (sets) {
        ASSERT_EQ(gw::objects::set(k, rec.data()), 0);
        EXPECT_EQ(sim.call_count("AddObject"), 0u) << "the existing object is written";
    } else {
        // Nothing of the library writes this kind: the simulator takes the object as its service would.
        std::string props;
        for (size_t i = k.prop_count; i-- > 0;)
            props +=
                "\"" + std::string(k.props[i].name) + "\": \"" + fresh_text(k.props[i], i) + "\"" + (i ? ", " : "");
        sim.set_object(path, "{\"" + std::string(k.interface) + "\": {" + props + "}}");
    }
    if (adds || sets) {
        for (size_t i = 0; i < k.prop_count; ++i) {
            const Prop &p = k.props[i];
            if (is_written(k, p)) {
                EXPECT_EQ(expected_field(p, sim.prop_text(path, k.interface, p.name)), field_text(p, rec.data()))
                    << k.name << "." << p.name << " as stored";
            }
        }
    }

    std::vector<char> back(k.record_size, 0);
    void *block = nullptr;
    if (k.ops & gw::objects::kGet) {
        ASSERT_EQ(gw::objects::get(k, k.rule == Rule::Single ? nullptr : path.c_str(), back.data()), 0);
    } else {
        int count = 0;
        ASSERT_EQ(gw::objects::get_objs(k, parent.empty() ? nullptr : parent.c_str(), &block, &count), 0);
        bool found = false;
        for (int r = 0; r < count && !found; ++r) {
            const char *rp = static_cast<char *>(block) + static_cast<size_t>(r) * k.record_size;
            if (k.path_offset >= 0 && path == rp + k.path_offset) {
                std::memcpy(back.data(), rp, k.record_size);
                std::memset(const_cast<char *>(rp), 0, k.record_size);  // the lists now belong to `back`
                found = true;
            }
        }
        ASSERT_TRUE(found) << path << " is not in the listing";
    }
    if (k.path_offset >= 0) {
        EXPECT_EQ(std::string(back.data() + k.path_offset), path);
    }
    if (k.index_offset >= 0) {
        uint32_t index = 0;
        std::memcpy(&index, back.data() + k.index_offset, sizeof index);
        EXPECT_EQ(std::to_string(index), base_of(path));
    }
    for (size_t i = 0; i < k.prop_count; ++i) {
        const Prop &p = k.props[i];
        EXPECT_EQ(field_text(p, back.data()), expected_field(p, sim.prop_text(path, k.interface, p.name)))
            << k.name << "." << p.name;
        if ((adds || sets) && is_written(k, p)) {
            EXPECT_EQ(field_text(p, back.data()), field_text(p, rec.data())) << k.name << "." << p.name << " written";
        }
    }
    gw::objects::free_lists(k, back.data(), 1);
    gw::objects::free_lists(k, rec.data(), 1);
    g_free(block);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, SimKind, ::testing::ValuesIn(kinds()),
                         [](const ::testing::TestParamInfo<const Kind *> &info) {
                             return std::string(info.param->name);
                         });

}  // namespace
