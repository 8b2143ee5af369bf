// Values of the simulator's state read back as typed values, so that expectations come from the fixture,
// and the checks every list getter shares.
#ifndef TESTS_API_FIXTURE_VALUES_HPP
#define TESTS_API_FIXTURE_VALUES_HPP

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {

inline std::string at(const std::string &collection, unsigned index)
{
    return collection + "/" + std::to_string(index);
}

// The stored property as a value; null (and a test failure) when it is absent or not GVariant text.
inline gw::VariantPtr fixture_value(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                                    const std::string &name)
{
    const std::string text = bus.prop_text(path, iface, name);
    GVariant *v = text.empty() ? nullptr : g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, nullptr);
    EXPECT_NE(v, nullptr) << path << " " << name << " = \"" << text << "\"";
    return gw::adopt_variant(v);
}

inline std::string fixture_str(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                               const std::string &name)
{
    gw::VariantPtr v = fixture_value(bus, path, iface, name);
    const bool ok = v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING);
    EXPECT_TRUE(ok) << path << " " << name << " is no string";
    return ok ? g_variant_get_string(v.get(), nullptr) : "";
}

// Booleans and every integer type as a signed 64-bit number.
inline int64_t fixture_num(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                           const std::string &name)
{
    gw::VariantPtr v = fixture_value(bus, path, iface, name);
    if (!v)
        return INT64_MIN;
    switch (g_variant_classify(v.get())) {
    case G_VARIANT_CLASS_BOOLEAN:
        return g_variant_get_boolean(v.get()) ? 1 : 0;
    case G_VARIANT_CLASS_BYTE:
        return g_variant_get_byte(v.get());
    case G_VARIANT_CLASS_UINT16:
        return g_variant_get_uint16(v.get());
    case G_VARIANT_CLASS_INT32:
        return g_variant_get_int32(v.get());
    case G_VARIANT_CLASS_UINT32:
        return g_variant_get_uint32(v.get());
    case G_VARIANT_CLASS_INT64:
        return g_variant_get_int64(v.get());
    case G_VARIANT_CLASS_UINT64:
        return static_cast<int64_t>(g_variant_get_uint64(v.get()));
    default:
        ADD_FAILURE() << name << " is not a number";
        return INT64_MIN;
    }
}

// Paths of the objects that carry iface and whose path starts with prefix, in the state's order.
inline std::vector<std::string> fixture_paths(gwtest::Igd1Sim &bus, const std::string &prefix, const std::string &iface)
{
    std::vector<std::string> out;
    gwtest::Json st = bus.state();
    const char *path = nullptr;
    json_t *v = nullptr;
    json_object_foreach(json_object_get(st.get(), "objects"), path, v)
    {
        if (std::string(path).rfind(prefix, 0) == 0 && json_object_get(v, iface.c_str()))
            out.emplace_back(path);
    }
    return out;
}

// Paths of the numbered children of a collection that carry iface, in numeric order.
inline std::vector<std::string> fixture_children(gwtest::Igd1Sim &bus, const std::string &collection,
                                                 const std::string &iface)
{
    const std::string prefix = collection + "/";
    std::vector<std::string> out;
    for (const auto &p : fixture_paths(bus, prefix, iface)) {
        const std::string rest = p.substr(prefix.size());
        if (!rest.empty() && rest.find_first_not_of("0123456789") == std::string::npos)
            out.push_back(p);
    }
    std::sort(out.begin(), out.end(), [&](const std::string &a, const std::string &b) {
        return std::stoul(a.substr(prefix.size())) < std::stoul(b.substr(prefix.size()));
    });
    return out;
}

// One field of a record beside the property it must equal: text fields as text, numbers in decimal.
struct Field {
    Field(const char *n, const char *v) : name(n), want(v) {}
    Field(const char *n, const std::string &v) : name(n), want(v) {}
    template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
    Field(const char *n, T v) : name(n), want(std::to_string(v))
    {
    }
    const char *name;
    std::string want;
};

template <typename T> Field prop(const char *name, const T &value) { return Field(name, value); }

// Every field equals the property stored at path.
inline void expect_fields(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                          std::initializer_list<Field> fields)
{
    for (const Field &f : fields) {
        gw::VariantPtr v = fixture_value(bus, path, iface, f.name);
        if (!v)
            continue;
        std::string got;
        if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING))
            got = g_variant_get_string(v.get(), nullptr);
        else if (g_variant_is_of_type(v.get(), G_VARIANT_TYPE_DOUBLE))
            got = std::to_string(g_variant_get_double(v.get()));
        else
            got = std::to_string(fixture_num(bus, path, iface, f.name));
        EXPECT_EQ(f.want, got) << path << " " << f.name;
    }
}

// Every property is stored at path with exactly this GLib text ("" for absent).
inline void expect_stored(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                          std::initializer_list<Field> texts)
{
    for (const Field &f : texts)
        EXPECT_EQ(bus.prop_text(path, iface, f.name), f.want) << path << " " << f.name;
}

// A listing that hands out no block: its answer, a null block and a zero count.
template <typename T, typename Get> void expect_no_list(int want, Get get)
{
    T *list = reinterpret_cast<T *>(&list);
    int count = -1;
    EXPECT_EQ(get(&list, &count), want);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
}
template <typename T> void expect_no_list(int want, int (*get)(T **, int *))
{
    expect_no_list<T, decltype(get)>(want, get);
}

// Null outputs are refused, and so is releasing no block.
template <typename T> void expect_null_refused(int (*get)(T **, int *), int (*release)(T *, int))
{
    T *list = nullptr;
    int count = 0;
    EXPECT_EQ(get(nullptr, &count), -1);
    EXPECT_EQ(get(&list, nullptr), -1);
    EXPECT_EQ(release(nullptr, 0), -1);
}

// A traffic history as text, one tunnel after another: "index start num base [entry|entry]"; a list without
// its terminating null shows "!".
inline std::string history_text(const api_VpnHistoryTraffic_t *h, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += (i ? "; " : "") + std::to_string(h[i].Index) + " " + std::to_string(h[i].Start) + " " +
               std::to_string(h[i].Num) + " " + h[i].TrafficBase + " [";
        for (int k = 0; k < h[i].HistoryNum; ++k)
            out += (k ? "|" : "") + std::string(h[i].History[k]);
        out += h[i].History && h[i].History[h[i].HistoryNum] ? "!]" : "]";
    }
    return out;
}

}  // namespace apitest

#endif
