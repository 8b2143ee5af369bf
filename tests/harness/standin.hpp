// Test driver for igd1_standin.py: starts it on the private bus and scripts it.
#ifndef TESTS_BUS_STANDIN_HPP
#define TESTS_BUS_STANDIN_HPP

#include <string>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"

namespace gwtest {

class StandIn {
public:
    explicit StandIn(const std::string &bus_name = "com.yvc.igd1");

    const std::string &unique_name() const { return unique_; }
    // Values and bodies are consumed (floating references welcome); a null or () body is none.
    void set_prop(const std::string &path, const std::string &iface, const std::string &name, GVariant *value);
    void reply(const std::string &key, GVariant *reply_tuple);
    void fail(const std::string &key, const std::string &error_name = "com.yvc.igd1.Error.Failed",
              const std::string &message = "refused by stand-in");
    void unfail(const std::string &key);
    unsigned count(const std::string &key);
    gw::VariantPtr last_args(const std::string &key);
    void emit(const std::string &path, const std::string &iface, const std::string &member, GVariant *body);
    void emit_other(const std::string &path, const std::string &iface, const std::string &member, GVariant *body);

private:
    gw::VariantPtr control(const char *method, GVariant *args, const char *reply_type);
    std::string bus_name_;
    std::string unique_;
    Child child_;
};

}  // namespace gwtest

#endif
