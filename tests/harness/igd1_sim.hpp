// The configuration service simulator (sim/igd1/igd1sim.py) on the private bus, driven through its
// control interface. Either one per test process, reset for each test (fresh()), or one of a test's own.
#ifndef GWTEST_IGD1_SIM_HPP
#define GWTEST_IGD1_SIM_HPP

#include <memory>
#include <string>
#include <vector>

#include <jansson.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"

namespace gwtest {

struct JsonFree {
    void operator()(json_t *j) const noexcept { json_decref(j); }
};
using Json = std::unique_ptr<json_t, JsonFree>;

class Igd1Sim {
public:
    // A simulator of the caller's own. Empty `profile`: the default profile; its files go below GW_ROOT.
    explicit Igd1Sim(const std::string &profile = "");
    Igd1Sim(const Igd1Sim &) = delete;
    Igd1Sim &operator=(const Igd1Sim &) = delete;

    // The process's simulator, started on first use in a root of its own (it outlives every test's
    // GW_ROOT); each call resets it to the default profile with no failures, overrides, delays or calls.
    static Igd1Sim &fresh();
    // The same simulator as it is, started when needed.
    static Igd1Sim &shared();

    bool ready() const { return ready_; }
    // Control call; null (and a test failure) when the simulator refuses it.
    gw::VariantPtr control(const char *method, GVariant *args, const char *reply_type = nullptr);
    // Any call to the service; its reply in GLib text, or "ERROR: <name>" when it fails.
    std::string call(const std::string &path, const std::string &iface, const std::string &method, GVariant *args,
                     const char *dest = "com.yvc.igd1");

    // Drops failures, overrides, results, delays and counted calls; the objects stay.
    void reset();
    void reset_counts();
    // Replaces the objects with a profile of sim/igd1/profiles (e.g. "ftto_master.json").
    void load_profile(const std::string &name);

    void set_object(const std::string &path, const std::string &json);
    void remove_object(const std::string &path);
    // `value` in GLib text, e.g. "'name'" or "byte 3".
    void set_property(const std::string &path, const std::string &iface, const std::string &name,
                      const std::string &value);
    // The property as GLib text, read through the service's own Get ("<none>" when that fails).
    std::string get_property(const std::string &path, const std::string &iface, const std::string &name);
    // The stored text of one property, "" when it is absent.
    std::string prop_text(const std::string &path, const std::string &iface, const std::string &name);
    bool exists(const std::string &path);
    // {"objects": {path: {iface: {name: text}}}, "collections": [...]}
    Json state();

    // The next `count` calls of member (path and interface "*" for any) fail with a bus error.
    void fail_next(const std::string &member, unsigned count = 1, const std::string &path = "*",
                   const std::string &iface = "*");
    // The member replies with exactly this GLib text; "" removes the override.
    void override_reply(const std::string &path, const std::string &iface, const std::string &member,
                        const std::string &reply);
    void set_reply(const std::string &member, const std::string &reply) { override_reply("*", "*", member, reply); }
    // From now on the method answers with this result code and text.
    void set_result(const std::string &method, unsigned code, const std::string &message);
    // From now on every reply of the member (any path and interface) comes after ms milliseconds.
    void set_delay(const std::string &member, unsigned ms);

    unsigned call_count(const std::string &member);
    // Calls of the member received and still held back by set_delay.
    unsigned waiting_count(const std::string &member);
    // GLib text (with types) of the last call's arguments of member, "" when it was not called.
    std::string last_args(const std::string &member);
    std::vector<std::string> call_log();
    std::string introspect(const std::string &path, const char *dest = "com.yvc.igd1");
    // Ends the simulator with SIGTERM; its wait status.
    int stop() { return child_.stop(); }

    // A simulator whose files go below `root` rather than GW_ROOT.
    Igd1Sim(const std::string &profile, const std::string &root);

private:
    bool ready_ = false;
    Child child_;
};

// The path of a profile of sim/igd1/profiles.
std::string igd1_profile(const std::string &name = "default.json");

}  // namespace gwtest

#endif
