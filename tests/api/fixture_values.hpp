// Values of the simulator's state read back as typed values, so that expectations come from the fixture.
#ifndef TESTS_API_FIXTURE_VALUES_HPP
#define TESTS_API_FIXTURE_VALUES_HPP

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api_sim.hpp"

namespace apitest {

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
    return v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING) ? g_variant_get_string(v.get(), nullptr) : "";
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

}  // namespace apitest

#endif
