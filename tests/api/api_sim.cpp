#include "api_sim.hpp"

#include <vector>

namespace apitest {

gwtest::Igd1Sim &sim() { return gwtest::Igd1Sim::shared(); }

void ApiSim::SetUp() { ASSERT_TRUE(gwtest::Igd1Sim::fresh().ready()); }

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
    s().set_property(path, iface, name, value);
}

std::string ApiSim::last_args(const std::string &member) { return s().last_args(member); }

}  // namespace apitest
