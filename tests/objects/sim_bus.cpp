#include "sim_bus.hpp"

#include <chrono>

namespace gwtest {

namespace {
    constexpr const char* kControlPath = "/com/yvc/igd1sim";
    constexpr const char* kControl = "com.yvc.igd1sim.Control";
} // namespace

SimBus::SimBus(const std::string& profile)
{
    const std::string address = PrivateBus::instance().address();
    std::vector<std::string> argv { "/usr/bin/python3", source_dir() + "/sim/igd1/igd1sim.py", "--address", address };
    if (!profile.empty()) {
        argv.push_back("--profile");
        argv.push_back(profile);
    }
    const char* root = std::getenv("GW_ROOT");
    if (root) {
        argv.push_back("--root");
        argv.push_back(root);
    }
    child_ = Child(argv, {}, true);
    std::string line;
    ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "READY";
    if (!ready_) {
        ADD_FAILURE() << "simulator did not start: " << line;
        return;
    }
    gw::ErrorPtr err;
    conn_.reset(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn_) {
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
        ready_ = false;
    }
}

gw::VariantPtr SimBus::control(const char* method, GVariant* args, const char* reply_type)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    if (!conn_)
        return nullptr;
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn_.get(), "com.yvc.igd1", kControlPath, kControl, method,
        owned.get(), reply_type ? G_VARIANT_TYPE(reply_type) : nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
        gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << "simulator control " << method << " failed: " << gw::error_text(err);
    return r;
}

std::string SimBus::call(
    const std::string& path, const std::string& iface, const std::string& method, GVariant* args, const char* dest)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    if (!conn_)
        return "ERROR: no bus";
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn_.get(), dest, path.c_str(), iface.c_str(), method.c_str(),
        owned.get(), nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    if (!r) {
        gw::GCharPtr name(g_dbus_error_get_remote_error(err.get()));
        return std::string("ERROR: ") + (name ? name.get() : "?");
    }
    gw::GCharPtr text(g_variant_print(r.get(), TRUE));
    return text.get();
}

void SimBus::set_object(const std::string& path, const std::string& json)
{
    control("SetObject", g_variant_new("(ss)", path.c_str(), json.c_str()));
}

void SimBus::remove_object(const std::string& path) { control("RemoveObject", g_variant_new("(s)", path.c_str())); }

void SimBus::override_reply(
    const std::string& path, const std::string& iface, const std::string& member, const std::string& reply)
{
    control("SetReplyOverride", g_variant_new("(ssss)", path.c_str(), iface.c_str(), member.c_str(), reply.c_str()));
}

void SimBus::fail_next(const std::string& path, const std::string& member, unsigned count)
{
    control("FailNext",
        g_variant_new("(sssssu)", path.c_str(), "*", member.c_str(), "com.yvc.igd1.Error.Failed", "refused", count));
}

void SimBus::reset() { control("Reset", nullptr); }

std::vector<std::string> SimBus::call_log()
{
    std::vector<std::string> out;
    gw::VariantPtr r = control("CallLog", nullptr, "(as)");
    if (!r)
        return out;
    char** raw = nullptr;
    g_variant_get(r.get(), "(^as)", &raw);
    gw::StrvPtr list(raw);
    for (char** s = list.get(); s && *s; ++s)
        out.emplace_back(*s);
    return out;
}

unsigned SimBus::call_count(const std::string& member)
{
    gw::VariantPtr r = control("CallCount", g_variant_new("(s)", member.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

Json SimBus::state()
{
    gw::VariantPtr r = control("DumpState", nullptr, "(s)");
    const char* text = "{}";
    if (r)
        g_variant_get(r.get(), "(&s)", &text);
    return Json(json_loads(text, 0, nullptr));
}

std::string SimBus::prop_text(const std::string& path, const std::string& iface, const std::string& name)
{
    Json s = state();
    json_t* v = json_object_get(
        json_object_get(json_object_get(json_object_get(s.get(), "objects"), path.c_str()), iface.c_str()),
        name.c_str());
    return json_is_string(v) ? json_string_value(v) : "";
}

bool SimBus::exists(const std::string& path)
{
    Json s = state();
    return json_object_get(json_object_get(s.get(), "objects"), path.c_str()) != nullptr;
}

std::string SimBus::introspect(const std::string& path, const char* dest)
{
    if (!conn_)
        return "";
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn_.get(), dest, path.c_str(), "org.freedesktop.DBus.Introspectable",
        "Introspect", nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    if (!r) {
        ADD_FAILURE() << "Introspect " << path << " failed: " << gw::error_text(err);
        return "";
    }
    const char* xml = "";
    g_variant_get(r.get(), "(&s)", &xml);
    return xml;
}

} // namespace gwtest
