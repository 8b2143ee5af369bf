// The simulator's current data read back as typed values, so that expectations of the device, uplink and
// report tests come from the fixture and not from copies of it.
#ifndef TESTS_API_DEVICE_FIXTURE_HPP
#define TESTS_API_DEVICE_FIXTURE_HPP

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "gwbus/raii.hpp"

namespace apitest {
namespace dev {

// The stored value of a property, parsed from its GVariant text; null when absent.
inline gw::VariantPtr value(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface,
                            const std::string &name)
{
    const std::string text = bus.prop_text(path, iface, name);
    if (text.empty())
        return nullptr;
    return gw::VariantPtr(g_variant_parse(nullptr, text.c_str(), nullptr, nullptr, nullptr));
}

inline std::string str(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface, const std::string &name)
{
    gw::VariantPtr v = value(bus, path, iface, name);
    const bool ok = v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_STRING);
    EXPECT_TRUE(ok) << path << " " << name;
    return ok ? g_variant_get_string(v.get(), nullptr) : "";
}

inline uint64_t num(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface, const std::string &name)
{
    gw::VariantPtr v = value(bus, path, iface, name);
    EXPECT_TRUE(v) << path << " " << name;
    if (!v)
        return 0;
    switch (g_variant_classify(v.get())) {
    case G_VARIANT_CLASS_BOOLEAN:
        return g_variant_get_boolean(v.get()) ? 1 : 0;
    case G_VARIANT_CLASS_BYTE:
        return g_variant_get_byte(v.get());
    case G_VARIANT_CLASS_UINT16:
        return g_variant_get_uint16(v.get());
    case G_VARIANT_CLASS_UINT32:
        return g_variant_get_uint32(v.get());
    case G_VARIANT_CLASS_INT32:
        return static_cast<uint64_t>(static_cast<int64_t>(g_variant_get_int32(v.get())));
    case G_VARIANT_CLASS_UINT64:
        return g_variant_get_uint64(v.get());
    default:
        ADD_FAILURE() << path << " " << name << " is not a number";
        return 0;
    }
}

inline double dbl(gwtest::Igd1Sim &bus, const std::string &path, const std::string &iface, const std::string &name)
{
    gw::VariantPtr v = value(bus, path, iface, name);
    const bool ok = v && g_variant_is_of_type(v.get(), G_VARIANT_TYPE_DOUBLE);
    EXPECT_TRUE(ok) << path << " " << name;
    return ok ? g_variant_get_double(v.get()) : 0.0;
}

// Paths of the numbered children of a collection that carry iface, in the simulator's (numeric) order.
inline std::vector<std::string> children(gwtest::Igd1Sim &bus, const std::string &collection, const std::string &iface)
{
    gwtest::Json st = bus.state();
    json_t *objs = json_object_get(st.get(), "objects");
    std::vector<std::string> out;
    const char *path = nullptr;
    json_t *v = nullptr;
    const std::string prefix = collection + "/";
    json_object_foreach(objs, path, v)
    {
        const std::string p(path);
        if (p.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string rest = p.substr(prefix.size());
        if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (json_object_get(v, iface.c_str()))
            out.push_back(p);
    }
    std::sort(out.begin(), out.end(), [&](const std::string &a, const std::string &b) {
        return std::stoul(a.substr(prefix.size())) < std::stoul(b.substr(prefix.size()));
    });
    return out;
}

}  // namespace dev
}  // namespace apitest

#endif
