#include "api_sim.hpp"

#include <vector>

namespace apitest {

gwtest::SimBus &sim()
{
    static gwtest::SimBus *bus = new gwtest::SimBus();  // lives as long as the private bus
    return *bus;
}

void ApiSim::SetUp()
{
    ASSERT_TRUE(sim().ready());
    const std::string profile = gwtest::source_dir() + "/sim/igd1/profiles/default.json";
    sim().reset();
    sim().control("LoadProfile", g_variant_new("(s)", profile.c_str()));
    sim().control("ResetCounts", nullptr);
}

void ApiSim::remove_matching(const std::string &part)
{
    gwtest::Json st = s().state();
    json_t *objs = json_object_get(st.get(), "objects");
    std::vector<std::string> doomed;
    const char *path = nullptr;
    json_t *v = nullptr;
    json_object_foreach(objs, path, v)
    {
        if (std::string(path).find(part) != std::string::npos)
            doomed.emplace_back(path);
    }
    for (const auto &p : doomed)
        s().remove_object(p);
}

void ApiSim::set_prop(const std::string &path, const std::string &iface, const std::string &name,
                      const std::string &value)
{
    s().control("SetProperty", g_variant_new("(ssss)", path.c_str(), iface.c_str(), name.c_str(), value.c_str()));
}

std::string ApiSim::last_args(const std::string &member)
{
    gw::VariantPtr r = s().control("LastArgs", g_variant_new("(s)", member.c_str()), "(s)");
    const char *text = "";
    if (r)
        g_variant_get(r.get(), "(&s)", &text);
    return text;
}

}  // namespace apitest
