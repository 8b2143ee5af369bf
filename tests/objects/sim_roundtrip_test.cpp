// Every kind of the descriptor table against the configuration simulator. The exported operations
// exist; an object (properties in reverse table order, strings longer than their fields) reads into
// the right fields through the kind's own ccif_ function, whose write sends exactly the written
// properties; and a record written through the library (add_obj or set; read-only kinds through the
// simulator's own control) reads back field for field, as the simulator stores it.
#include <dlfcn.h>

#include <algorithm>
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

// The kind's exported function of an operation.
void *symbol(const Kind &k, const char *suffix)
{
    return dlsym(RTLD_DEFAULT, ("ccif_" + std::string(k.name) + "_" + suffix).c_str());
}

// The interface's properties as SetObject takes them, in table order or reversed.
std::string object_json(const Kind &k, bool reversed)
{
    std::string props;
    for (size_t n = 0; n < k.prop_count; ++n) {
        const size_t i = reversed ? k.prop_count - 1 - n : n;
        props += std::string(n ? ", " : "") + "\"" + k.props[i].name + "\": \"" + fresh_text(k.props[i], i) + "\"";
    }
    return "{\"" + std::string(k.interface) + "\": {" + props + "}}";
}

// Reads the record of `path` into `out` through the kind's exported get or get_objs.
::testing::AssertionResult read_back(const Kind &k, const std::string &path, std::vector<char> &out)
{
    const std::string parent = parent_of(k, path);
    if (k.ops & gw::objects::kGet) {
        void *get = symbol(k, "get");
        if (!get)
            return ::testing::AssertionFailure() << "no ccif_" << k.name << "_get";
        const int rc = k.rule == Rule::Single
                           ? reinterpret_cast<int (*)(void *)>(get)(out.data())
                           : reinterpret_cast<int (*)(const char *, void *)>(get)(path.c_str(), out.data());
        return rc == 0 ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << "get gave " << rc;
    }
    void *list = symbol(k, "get_objs");
    if (!list)
        return ::testing::AssertionFailure() << "no ccif_" << k.name << "_get_objs";
    void *block = nullptr;
    int count = 0;
    const int rc = parent.empty()
                       ? reinterpret_cast<int (*)(void **, int *)>(list)(&block, &count)
                       : reinterpret_cast<int (*)(const char *, void **, int *)>(list)(parent.c_str(), &block, &count);
    if (rc != 0)
        return ::testing::AssertionFailure() << "get_objs gave " << rc;
    bool found = false;
    for (int r = 0; r < count && !found; ++r) {
        char *rp = static_cast<char *>(block) + static_cast<size_t>(r) * k.record_size;
        if (k.path_offset >= 0 && path == rp + k.path_offset) {
            std::memcpy(out.data(), rp, k.record_size);
            std::memset(rp, 0, k.record_size);  // the lists now belong to `out`
            found = true;
        }
    }
    gw::objects::free_lists(k, block, count);
    g_free(block);
    return found ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << path << " is not in the listing";
}

class SimKind : public ::testing::TestWithParam<const Kind *> {};

TEST_P(SimKind, ExportsEachOperationOfItsDescriptor)
{
    const Kind &k = *GetParam();
    for (const auto &op : gw::objects::kOpNames) {
        if (k.ops & op.op) {
            EXPECT_NE(symbol(k, op.suffix), nullptr) << "ccif_" << k.name << "_" << op.suffix;
        }
    }
    EXPECT_NE(k.ops & (gw::objects::kGet | gw::objects::kGetObjs), 0u) << "every kind can be read";
    for (size_t i = 0; i < k.written_count; ++i) {
        bool found = false;
        for (size_t j = 0; j < k.prop_count; ++j)
            found = found || std::strcmp(k.props[j].name, k.written[i].name) == 0;
        EXPECT_TRUE(found) << k.name << " writes unknown property " << k.written[i].name;
    }
}

// Every field of `rec` holds what the simulator stores for `path`, and the written fields what `written` holds.
void expect_stored(gwtest::Igd1Sim &sim, const Kind &k, const std::string &path, const void *rec, const void *written,
                   const char *step)
{
    for (size_t i = 0; i < k.prop_count; ++i) {
        const Prop &p = k.props[i];
        EXPECT_EQ(field_text(p, rec), expected_field(p, sim.prop_text(path, k.interface, p.name)))
            << k.name << "." << p.name << " " << step;
        if (written && is_written(k, p)) {
            EXPECT_EQ(field_text(p, rec), field_text(p, written)) << k.name << "." << p.name << " written, " << step;
        }
    }
}

// The object (its properties in reverse table order, strings longer than their fields) reads through
// the kind's own function; its write changes the written properties and no other; an added object
// holds what was written; each reads back field for field.
TEST_P(SimKind, ReadsWritesAndAddsFieldForField)
{
    const Kind &k = *GetParam();
    gwtest::TempRoot root;
    gwtest::Igd1Sim sim;
    ASSERT_TRUE(sim.ready());
    std::string path = find_object(sim, k);
    if (path.empty())
        path = default_path(k);
    sim.set_object(path, object_json(k, true));
    sim.reset_counts();
    std::vector<char> rec(k.record_size, 0), back(k.record_size, 0);
    ASSERT_TRUE(read_back(k, path, rec));
    if (k.ops & gw::objects::kGet) {
        EXPECT_EQ(sim.call_count("GetAll"), 1u);
    }
    if (k.path_offset >= 0) {
        EXPECT_EQ(std::string(rec.data() + k.path_offset), path);
    }
    if (k.index_offset >= 0) {
        uint32_t index = 0;
        std::memcpy(&index, rec.data() + k.index_offset, sizeof index);
        EXPECT_EQ(std::to_string(index), base_of(path));
    }
    for (size_t i = 0; i < k.prop_count; ++i) {
        EXPECT_EQ(field_text(k.props[i], rec.data()), expected_field(k.props[i], fresh_text(k.props[i], i)))
            << k.name << "." << k.props[i].name;
    }

    void *r = rec.data();
    if (k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate | gw::objects::kVpnSet)) {
        std::vector<std::string> before(k.prop_count);
        for (size_t i = 0; i < k.prop_count; ++i) {
            before[i] = sim.prop_text(path, k.interface, k.props[i].name);
            if (is_written(k, k.props[i]))
                fill_written(k.props[i], i, r, before[i]);
        }
        const char *op = (k.ops & gw::objects::kSet) || !(k.ops & gw::objects::kVpnUpdate) ? "set" : "update";
        void *write = symbol(k, op);
        ASSERT_NE(write, nullptr) << "ccif_" << k.name << "_" << op;
        sim.reset_counts();
        // A VPN kind without an update takes a label (and its parent, below a tunnel).
        int rc = 0;
        if (k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate))
            rc = reinterpret_cast<int (*)(void *)>(write)(r);
        else if (k.rule == Rule::SubCollection)
            rc = reinterpret_cast<int (*)(const char *, const char *, void *)>(write)(parent_of(k, path).c_str(),
                                                                                      "roundtrip", r);
        else
            rc = reinterpret_cast<int (*)(const char *, void *)>(write)("roundtrip", r);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(sim.call_count("AddObject"), 0u) << "an existing object is updated";
        EXPECT_EQ(sim.call_count(k.set_style == gw::objects::SetStyle::SingleSet ? "Set" : "SetValues"), 1u);
        for (size_t i = 0; i < k.prop_count; ++i) {
            if (!is_written(k, k.props[i])) {
                EXPECT_EQ(sim.prop_text(path, k.interface, k.props[i].name), before[i])
                    << k.name << "." << k.props[i].name << " is not written";
            }
        }
        ASSERT_TRUE(read_back(k, path, back));
        expect_stored(sim, k, path, back.data(), r, "after the write");
        gw::objects::free_lists(k, back.data(), 1);
        std::fill(back.begin(), back.end(), 0);
    }
    if ((k.ops & (gw::objects::kAddObj | gw::objects::kVpnAdd)) && k.written_count > 0) {
        for (size_t i = 0; i < k.prop_count; ++i)
            if (is_written(k, k.props[i]))
                fill_written(k.props[i], i, r, sim.prop_text(path, k.interface, k.props[i].name));
        sim.reset_counts();
        const std::string parent = parent_of(k, path);
        ASSERT_EQ(gw::objects::add_obj(k, parent.empty() ? nullptr : parent.c_str(), r), 0);
        const std::string made = rec.data() + k.path_offset;
        EXPECT_EQ(dir_of(made), dir_of(path)) << "added in the collection";
        EXPECT_NE(made, path) << "a new object, not the existing one";
        EXPECT_EQ(sim.call_count("AddObject"), 1u);
        ASSERT_TRUE(read_back(k, made, back));
        EXPECT_EQ(std::string(back.data() + k.path_offset), made);
        expect_stored(sim, k, made, back.data(), r, "after the add");
        gw::objects::free_lists(k, back.data(), 1);
    }
    gw::objects::free_lists(k, r, 1);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, SimKind, ::testing::ValuesIn(kinds()),
                         [](const ::testing::TestParamInfo<const Kind *> &info) {
                             return std::string(info.param->name);
                         });

TEST(KindTable, NamesAreUniqueAndEveryPathIsAnObjectPath)
{
    std::vector<const Kind *> all = kinds();
    EXPECT_EQ(all.size(), 72u);
    for (size_t i = 0; i < all.size(); ++i) {
        EXPECT_TRUE(g_variant_is_object_path(all[i]->path)) << all[i]->name;
        EXPECT_TRUE(g_dbus_is_interface_name(all[i]->interface)) << all[i]->name;
        EXPECT_EQ(gw::objects::find_kind(all[i]->name), all[i]);
        for (size_t j = i + 1; j < all.size(); ++j)
            EXPECT_STRNE(all[i]->name, all[j]->name);
    }
    EXPECT_EQ(gw::objects::find_kind("NoSuchKind"), nullptr);
}

}  // namespace
