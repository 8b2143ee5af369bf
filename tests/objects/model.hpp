// Test driver for igd1_model.py: starts the stand-in object model on the private bus and scripts it.
#ifndef TESTS_OBJECTS_MODEL_HPP
#define TESTS_OBJECTS_MODEL_HPP

#include <memory>
#include <string>
#include <vector>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"

namespace gwtest {

// The same script drives either the stand-in model or the project's configuration simulator.
enum class Backend { Standin, Simulator };

class Model {
public:
    explicit Model(const std::string &bus_name = "com.yvc.igd1", Backend backend = Backend::Standin);
    ~Model();

    bool ready() const { return ready_; }
    // {"<path>": {"<iface>": {"<prop>": "<GVariant text>"}}}; the property order is kept.
    void load(const std::string &json);
    void fail(const std::string &method, const std::string &path = "");
    void raw(const std::string &method, const std::string &path, GVariant *tuple);
    // Drops failures and raw replies and zeroes the call log.
    void clear();
    unsigned count(const std::string &method, const std::string &path = "");
    unsigned total_calls();
    std::vector<std::string> calls();
    // GLib's text form (with types) of the last call's body of the method, or "" when none.
    std::string last_args(const std::string &method);
    gw::VariantPtr props(const std::string &path, const std::string &iface);
    std::string prop_text(const std::string &path, const std::string &iface, const std::string &name);
    bool exists(const std::string &path);

private:
    gw::VariantPtr control(const char *method, GVariant *args, const char *reply_type);
    gw::VariantPtr sim_control(const char *method, GVariant *args, const char *reply_type);
    std::string bus_name_;
    Backend backend_;
    std::string sim_dir_;
    bool ready_ = false;
    Child child_;
    std::unique_ptr<Igd1Sim> sim_;
};

}  // namespace gwtest

#endif
