// The accessor tests' view of the configuration simulator: objects loaded from JSON, scripted failures
// and replies, and the calls it saw in "<member> <path>" form.
#ifndef TESTS_OBJECTS_MODEL_HPP
#define TESTS_OBJECTS_MODEL_HPP

#include <memory>
#include <string>
#include <vector>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"

namespace gwtest {

class Model {
public:
    Model();
    ~Model();

    bool ready() const { return sim_ && sim_->ready(); }
    // {"<path>": {"<iface>": {"<prop>": "<GVariant text>"}}}; the property order is kept.
    void load(const std::string &json);
    void fail(const std::string &method, const std::string &path = "");
    void raw(const std::string &method, const std::string &path, GVariant *tuple);
    // Drops failures and raw replies and zeroes the call log.
    void clear() { sim_->reset(); }
    unsigned count(const std::string &method, const std::string &path = "");
    unsigned total_calls() { return static_cast<unsigned>(calls().size()); }
    std::vector<std::string> calls();
    // GLib's text form (with types) of the last call's body of the method, or "" when none.
    std::string last_args(const std::string &method) { return sim_->last_args(method); }
    std::string prop_text(const std::string &path, const std::string &iface, const std::string &name);
    bool exists(const std::string &path) { return sim_->exists(path); }

private:
    std::string dir_;
    std::unique_ptr<Igd1Sim> sim_;
};

}  // namespace gwtest

#endif
