// The configuration service simulator on the private bus, driven through its control interface.
#ifndef GWTEST_OBJECTS_SIM_BUS_HPP
#define GWTEST_OBJECTS_SIM_BUS_HPP

#include <string>
#include <vector>

#include <jansson.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"

namespace gwtest {

struct JsonFree {
    void operator()(json_t* j) const noexcept { json_decref(j); }
};
using Json = std::unique_ptr<json_t, JsonFree>;

class SimBus {
public:
    // Empty `profile`: the simulator's default profile.
    explicit SimBus(const std::string& profile = "");

    bool ready() const { return ready_; }
    // Control call; null (and a test failure) when the simulator refuses it.
    gw::VariantPtr control(const char* method, GVariant* args, const char* reply_type = nullptr);
    // Any call to the service; "ERROR: <name>" text when it fails.
    std::string call(const std::string& path, const std::string& iface, const std::string& method, GVariant* args,
        const char* dest = "com.yvc.igd1");

    void set_object(const std::string& path, const std::string& json);
    void remove_object(const std::string& path);
    // `reply` in GLib text, "" to remove the override.
    void override_reply(
        const std::string& path, const std::string& iface, const std::string& member, const std::string& reply);
    void fail_next(const std::string& path, const std::string& member, unsigned count = 1);
    void reset();
    std::vector<std::string> call_log();
    unsigned call_count(const std::string& member);
    // {"objects": {path: {iface: {name: text}}}, "collections": [...]}
    Json state();
    // The stored text of one property, "" when it is absent.
    std::string prop_text(const std::string& path, const std::string& iface, const std::string& name);
    bool exists(const std::string& path);
    std::string introspect(const std::string& path, const char* dest = "com.yvc.igd1");

private:
    bool ready_ = false;
    Child child_;
    gw::ConnectionPtr conn_;
};

} // namespace gwtest

#endif
