// One test per object kind, driven by the descriptor table: the exported operations exist, a profile
// object (its properties in reverse table order, every string longer than its field) reads back into
// the right fields through the kind's own ccif_ function, and the kind's write sends the written
// properties back to the service.
#include <dlfcn.h>

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwbus/objects.h"
#include "gwtest.hpp"
#include "model.hpp"
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

void *symbol(const Kind &k, const char *suffix)
{
    return dlsym(RTLD_DEFAULT, ("ccif_" + std::string(k.name) + "_" + suffix).c_str());
}

std::string object_path(const Kind &k)
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
std::string parent_path(const Kind &k) { return std::string(k.path) + "/1"; }

// Distinct, checkable values per property; `round` changes them for the write-back.
std::string text_for(const Prop &p, size_t i, int round)
{
    char c = static_cast<char>((round ? 'A' : 'a') + i % 26);
    return std::string(p.size + 2, c);  // always longer than the field
}

std::string value_text(const Prop &p, size_t i, int round)
{
    const unsigned n = static_cast<unsigned>(i) + 1 + static_cast<unsigned>(round) * 7;
    switch (p.type) {
    case 'b':
        return (i + static_cast<size_t>(round)) % 2 ? "false" : "true";
    case 'y':
        return "byte " + std::to_string(n);
    case 'q':
        return "uint16 " + std::to_string(1000 + n);
    case 'u':
        return "uint32 " + std::to_string(100000 + n);
    case 'i':
        return "int32 -" + std::to_string(n);
    case 't':
        return "uint64 " + std::to_string((1ull << 40) + n);
    case 'd':
        return std::to_string(n) + ".5";
    case 'a':
        return "['x" + std::to_string(n) + "', 'y']";
    case 's':
        return "'" + text_for(p, i, round) + "'";
    }
    return "";
}

// The field as the service would print the value written from it.
std::string field_text(const Prop &p, const void *rec)
{
    const char *f = static_cast<const char *>(rec) + p.offset;
    GVariant *v = nullptr;
    switch (p.type) {
    case 'b': {
        gboolean x;
        std::memcpy(&x, f, 4);
        v = g_variant_new_boolean(x);
        break;
    }
    case 'y':
        v = g_variant_new_byte(static_cast<guint8>(*f));
        break;
    case 'q': {
        guint16 x;
        std::memcpy(&x, f, 2);
        v = g_variant_new_uint16(x);
        break;
    }
    case 'u': {
        guint32 x;
        std::memcpy(&x, f, 4);
        v = g_variant_new_uint32(x);
        break;
    }
    case 'i': {
        gint32 x;
        std::memcpy(&x, f, 4);
        v = g_variant_new_int32(x);
        break;
    }
    case 't': {
        guint64 x;
        std::memcpy(&x, f, 8);
        v = g_variant_new_uint64(x);
        break;
    }
    case 'd': {
        double x;
        std::memcpy(&x, f, 8);
        v = g_variant_new_double(x);
        break;
    }
    case 'a': {
        char **x;
        std::memcpy(&x, f, sizeof x);
        v = g_variant_new_strv(x, -1);
        break;
    }
    case 's':
        v = g_variant_new_string(f);
        break;
    }
    gw::VariantPtr owned = gw::adopt_variant(v);
    gw::GCharPtr text(g_variant_print(owned.get(), TRUE));
    return text.get();
}

// GLib's own text of a value given in text form ("byte 3" prints as "byte 0x03").
std::string canon(const std::string &text)
{
    gw::ErrorPtr err;
    gw::VariantPtr v(g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, gw::ErrorOut(err)));
    if (!v)
        return "unparsable: " + text;
    gw::GCharPtr out(g_variant_print(v.get(), TRUE));
    return out.get();
}

std::string expected_read(const Prop &p, size_t i)
{
    if (p.type == 's')
        return canon("'" + text_for(p, i, 0).substr(0, p.size - 1) + "'");
    return canon(value_text(p, i, 0));
}

std::string json_escape(const std::string &s)
{
    std::string out;
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

class EveryKind : public ::testing::TestWithParam<const Kind *> {};

TEST_P(EveryKind, ExportsEachOperationOfItsDescriptor)
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

// Reads the object back into the record and writes it again.
TEST_P(EveryKind, ObjectRoundTrips)
{
    const Kind &k = *GetParam();
    gwtest::TempRoot root;
    gwtest::Model model;
    ASSERT_TRUE(model.ready());
    const std::string path = object_path(k);

    std::string props;
    for (size_t n = k.prop_count; n-- > 0;) {
        props += "\"" + std::string(k.props[n].name) + "\": \"" + json_escape(value_text(k.props[n], n, 0)) + "\"";
        if (n)
            props += ", ";
    }
    model.load("{\"" + path + "\": {\"" + k.interface + "\": {" + props + "}}}");

    std::vector<char> rec(k.record_size, 0);
    void *r = rec.data();
    if (k.ops & gw::objects::kGet) {
        int rc = k.rule == Rule::Single
                     ? reinterpret_cast<int (*)(void *)>(symbol(k, "get"))(r)
                     : reinterpret_cast<int (*)(const char *, void *)>(symbol(k, "get"))(path.c_str(), r);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(model.count("GetAll", path), 1u);
    } else {
        void *block = nullptr;
        int count = 0;
        int rc = k.rule == Rule::SubCollection
                     ? reinterpret_cast<int (*)(const char *, void **, int *)>(symbol(k, "get_objs"))(
                           parent_path(k).c_str(), &block, &count)
                     : reinterpret_cast<int (*)(void **, int *)>(symbol(k, "get_objs"))(&block, &count);
        ASSERT_EQ(rc, 0);
        ASSERT_EQ(count, 1);
        std::memcpy(r, block, k.record_size);
        g_free(block);
    }
    if (k.path_offset >= 0) {
        EXPECT_EQ(std::string(rec.data() + k.path_offset), path);
    }
    if (k.index_offset >= 0) {
        uint32_t index = 0;
        std::memcpy(&index, rec.data() + k.index_offset, sizeof index);
        EXPECT_EQ(index, 1u);
    }
    for (size_t i = 0; i < k.prop_count; ++i) {
        EXPECT_EQ(field_text(k.props[i], r), expected_read(k.props[i], i)) << k.name << "." << k.props[i].name;
    }

    const bool writes = k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate | gw::objects::kVpnSet);
    if (!writes) {
        gw::objects::free_lists(k, r, 1);
        return;
    }
    // Change every written field, then write the record back through the kind's own function.
    for (size_t w = 0; w < k.written_count; ++w) {
        for (size_t i = 0; i < k.prop_count; ++i) {
            const Prop &p = k.props[i];
            if (std::strcmp(p.name, k.written[w].name) != 0)
                continue;
            char *f = rec.data() + p.offset;
            switch (p.type) {
            case 's':
                std::snprintf(f, p.size, "w%zu", i);
                break;
            case 'b': {
                gboolean x;
                std::memcpy(&x, f, 4);
                x = !x;
                std::memcpy(f, &x, 4);
                break;
            }
            case 'y':
                *f = static_cast<char>(*f + 1);
                break;
            case 'q': {
                guint16 x;
                std::memcpy(&x, f, 2);
                ++x;
                std::memcpy(f, &x, 2);
                break;
            }
            case 'u':
            case 'i': {
                guint32 x;
                std::memcpy(&x, f, 4);
                x += 3;
                std::memcpy(f, &x, 4);
                break;
            }
            case 't': {
                guint64 x;
                std::memcpy(&x, f, 8);
                x += 5;
                std::memcpy(f, &x, 8);
                break;
            }
            case 'd': {
                double x;
                std::memcpy(&x, f, 8);
                x += 2;
                std::memcpy(f, &x, 8);
                break;
            }
            }
        }
    }
    model.clear();
    int rc = 0;
    if (k.ops & (gw::objects::kSet | gw::objects::kVpnUpdate))
        rc = reinterpret_cast<int (*)(void *)>(symbol(k, (k.ops & gw::objects::kSet) ? "set" : "update"))(r);
    else if (k.rule == Rule::SubCollection)
        rc = reinterpret_cast<int (*)(const char *, const char *, void *)>(symbol(k, "set"))(parent_path(k).c_str(),
                                                                                             "roundtrip", r);
    else
        rc = reinterpret_cast<int (*)(const char *, void *)>(symbol(k, "set"))("roundtrip", r);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(model.count("AddObject"), 0u) << "an existing object is updated";
    EXPECT_EQ(model.count(k.set_style == gw::objects::SetStyle::SingleSet ? "Set" : "SetValues", path), 1u);
    for (size_t i = 0; i < k.prop_count; ++i) {
        const Prop &p = k.props[i];
        bool written = false;
        for (size_t w = 0; w < k.written_count; ++w)
            written = written || std::strcmp(p.name, k.written[w].name) == 0;
        const std::string now = model.prop_text(path, k.interface, p.name);
        const std::string want = written ? field_text(p, r) : canon(value_text(p, i, 0));
        EXPECT_EQ(now, want) << k.name << "." << p.name << (written ? " written" : " is not written");
    }
    gw::objects::free_lists(k, r, 1);
}

INSTANTIATE_TEST_SUITE_P(Descriptors, EveryKind, ::testing::ValuesIn(kinds()),
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
