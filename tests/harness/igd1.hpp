// The configuration service simulator on the private bus, shared by the tests of one process and
// reset to its default profile for each test.
#ifndef TESTS_AGENT_IGD1_HPP
#define TESTS_AGENT_IGD1_HPP

#include <string>

#include <glib.h>

#include "gwtest.hpp"

namespace agenttest {

class Igd1 {
public:
    // Starts the simulator on first use; later calls reset it (profile reloaded, failures dropped).
    static Igd1 &fresh();

    bool ready() const { return ready_; }
    // value in GLib's text form, e.g. "'name'" or "byte 3".
    void set_property(const std::string &path, const std::string &iface, const std::string &prop,
                      const std::string &value);
    void remove_object(const std::string &path);
    // The next `count` calls of member (path and interface "*" for any) fail with a bus error.
    void fail_next(const std::string &member, unsigned count = 1, const std::string &path = "*",
                   const std::string &iface = "*");
    unsigned call_count(const std::string &member);
    // GLib text (with types) of the last call's arguments of member, "" when it was not called.
    std::string last_args(const std::string &member);
    // Calls of the member received and still held back by set_delay.
    unsigned waiting_count(const std::string &member);
    // Replaces the state with a profile of sim/igd1/profiles (e.g. "ftto_master.json").
    void load_profile(const std::string &name);
    // From now on the method answers with this result code and text.
    void set_result(const std::string &method, unsigned code, const std::string &message);
    // The member (any path and interface) replies with exactly this GLib text.
    void set_reply(const std::string &member, const std::string &reply);
    // From now on every reply of the member (any path and interface) comes after ms milliseconds.
    void set_delay(const std::string &member, unsigned ms);
    // The property as GLib text, read straight from the service.
    std::string get_property(const std::string &path, const std::string &iface, const std::string &prop);

private:
    Igd1();
    void control(const char *method, GVariant *args);
    bool ready_ = false;
    std::string root_;
    gwtest::Child child_;
};

}  // namespace agenttest

#endif
