// One configuration service simulator per test process, reloaded with the default profile for each test.
#ifndef TESTS_API_API_SIM_HPP
#define TESTS_API_API_SIM_HPP

#include <string>

#include <gtest/gtest.h>

#include "igd1_sim.hpp"

namespace apitest {

constexpr const char *kWanDb = "/com/yvc/igd1/Info/Network/WANConnectionDb";
constexpr const char *kPM = "com.yvc.igd1.PortMapping";
constexpr const char *kDevice = "/com/yvc/igd1/Info/Device";
constexpr const char *kDeviceIface = "com.yvc.igd1.DeviceInfo";

gwtest::Igd1Sim &sim();

class ApiSim : public ::testing::Test {
protected:
    void SetUp() override;
    gwtest::Igd1Sim &s() { return sim(); }
    // Removes every object whose path contains `part`.
    void remove_matching(const std::string &part);
    void set_prop(const std::string &path, const std::string &iface, const std::string &name, const std::string &value);
    std::string last_args(const std::string &member);
    // The next `count` calls of member on exactly that path (or "*") fail.
    void fail(const std::string &member, const std::string &path = "*", unsigned count = 1)
    {
        s().fail_next(member, count, path);
    }
};

}  // namespace apitest

#endif
