#include "igd1_sim.hpp"

#include <chrono>
#include <cstdlib>

namespace gwtest {

namespace {

constexpr const char *kBus = "com.yvc.igd1";
constexpr const char *kControlPath = "/com/yvc/igd1sim";
constexpr const char *kControl = "com.yvc.igd1sim.Control";

// The bus's shared connection, taken for each call: a test may have closed the one an earlier call used.
gw::ConnectionPtr system_bus()
{
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn)
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
    return conn;
}

unsigned count_reply(GVariant *reply)
{
    guint32 n = 0;
    if (reply)
        g_variant_get(reply, "(u)", &n);
    return n;
}

}  // namespace

std::string igd1_profile(const std::string &name) { return source_dir() + "/sim/igd1/profiles/" + name; }

Igd1Sim::Igd1Sim(const std::string &profile) : Igd1Sim(profile, "") {}

Igd1Sim::Igd1Sim(const std::string &profile, const std::string &root)
{
    std::vector<std::string> argv{"/usr/bin/python3", source_dir() + "/sim/igd1/igd1sim.py", "--address",
                                  PrivateBus::instance().address()};
    if (!profile.empty()) {
        argv.push_back("--profile");
        argv.push_back(profile);
    }
    const char *env_root = std::getenv("GW_ROOT");
    if (!root.empty() || env_root) {
        argv.push_back("--root");
        argv.push_back(root.empty() ? env_root : root);
    }
    child_ = Child(argv, {}, true);
    std::string line;
    ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "READY";
    if (!ready_)
        ADD_FAILURE() << "igd1sim did not start: " << line;
}

Igd1Sim &Igd1Sim::shared()
{
    static Igd1Sim *sim = [] {
        char tmpl[] = "/tmp/gw-igd1sim-XXXXXX";
        const char *dir = mkdtemp(tmpl);
        return new Igd1Sim("", dir ? dir : "/tmp");  // lives as long as the process (and the private bus)
    }();
    return *sim;
}

Igd1Sim &Igd1Sim::fresh()
{
    Igd1Sim &sim = shared();
    if (sim.ready_) {
        sim.reset();
        sim.load_profile("default.json");
        sim.reset_counts();
    }
    return sim;
}

gw::VariantPtr Igd1Sim::control(const char *method, GVariant *args, const char *reply_type)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ConnectionPtr conn = system_bus();
    if (!conn)
        return nullptr;
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), kBus, kControlPath, kControl, method, owned.get(),
                                                 reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                                 G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << "simulator control " << method << " failed: " << gw::error_text(err);
    return r;
}

std::string Igd1Sim::call(const std::string &path, const std::string &iface, const std::string &method, GVariant *args,
                          const char *dest)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ConnectionPtr conn = system_bus();
    if (!conn)
        return "ERROR: no bus";
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), dest, path.c_str(), iface.c_str(), method.c_str(),
                                                 owned.get(), nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
                                                 gw::ErrorOut(err)));
    if (!r) {
        gw::GCharPtr name(g_dbus_error_get_remote_error(err.get()));
        return std::string("ERROR: ") + (name ? name.get() : "?");
    }
    gw::GCharPtr text(g_variant_print(r.get(), TRUE));
    return text.get();
}

void Igd1Sim::reset() { control("Reset", nullptr); }

void Igd1Sim::reset_counts() { control("ResetCounts", nullptr); }

void Igd1Sim::load_profile(const std::string &name)
{
    control("LoadProfile", g_variant_new("(s)", igd1_profile(name).c_str()));
}

void Igd1Sim::set_object(const std::string &path, const std::string &json)
{
    control("SetObject", g_variant_new("(ss)", path.c_str(), json.c_str()));
}

void Igd1Sim::remove_object(const std::string &path) { control("RemoveObject", g_variant_new("(s)", path.c_str())); }

void Igd1Sim::set_property(const std::string &path, const std::string &iface, const std::string &name,
                           const std::string &value)
{
    control("SetProperty", g_variant_new("(ssss)", path.c_str(), iface.c_str(), name.c_str(), value.c_str()));
}

std::string Igd1Sim::get_property(const std::string &path, const std::string &iface, const std::string &name)
{
    gw::ConnectionPtr conn = system_bus();
    if (!conn)
        return "<none>";
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), kBus, path.c_str(), "com.yvc.igd1.Properties", "Get",
                                                 g_variant_new("(ss)", iface.c_str(), name.c_str()),
                                                 G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
                                                 gw::ErrorOut(err)));
    if (!r) {
        ADD_FAILURE() << "Get " << name << " failed: " << gw::error_text(err);
        return "<none>";
    }
    gw::VariantPtr inner(g_variant_get_child_value(r.get(), 0));
    gw::VariantPtr value(g_variant_get_variant(inner.get()));
    gw::GCharPtr text(g_variant_print(value.get(), FALSE));
    return text.get();
}

Json Igd1Sim::state()
{
    gw::VariantPtr r = control("DumpState", nullptr, "(s)");
    const char *text = "{}";
    if (r)
        g_variant_get(r.get(), "(&s)", &text);
    return Json(json_loads(text, 0, nullptr));
}

std::string Igd1Sim::prop_text(const std::string &path, const std::string &iface, const std::string &name)
{
    Json s = state();
    json_t *v = json_object_get(
        json_object_get(json_object_get(json_object_get(s.get(), "objects"), path.c_str()), iface.c_str()),
        name.c_str());
    return json_is_string(v) ? json_string_value(v) : "";
}

bool Igd1Sim::exists(const std::string &path)
{
    Json s = state();
    return json_object_get(json_object_get(s.get(), "objects"), path.c_str()) != nullptr;
}

void Igd1Sim::fail_next(const std::string &member, unsigned count, const std::string &path, const std::string &iface)
{
    control("FailNext", g_variant_new("(sssssu)", path.c_str(), iface.c_str(), member.c_str(),
                                      "com.yvc.igd1.Error.Failed", "refused by test", count));
}

void Igd1Sim::override_reply(const std::string &path, const std::string &iface, const std::string &member,
                             const std::string &reply)
{
    control("SetReplyOverride", g_variant_new("(ssss)", path.c_str(), iface.c_str(), member.c_str(), reply.c_str()));
}

void Igd1Sim::set_result(const std::string &method, unsigned code, const std::string &message)
{
    control("SetResult", g_variant_new("(sus)", method.c_str(), code, message.c_str()));
}

void Igd1Sim::set_delay(const std::string &member, unsigned ms)
{
    control("SetDelay", g_variant_new("(su)", member.c_str(), ms));
}

unsigned Igd1Sim::call_count(const std::string &member)
{
    return count_reply(control("CallCount", g_variant_new("(s)", member.c_str()), "(u)").get());
}

unsigned Igd1Sim::waiting_count(const std::string &member)
{
    return count_reply(control("WaitingCount", g_variant_new("(s)", member.c_str()), "(u)").get());
}

std::string Igd1Sim::last_args(const std::string &member)
{
    gw::VariantPtr r = control("LastArgs", g_variant_new("(s)", member.c_str()), "(s)");
    const char *text = "";
    if (r)
        g_variant_get(r.get(), "(&s)", &text);
    return text;
}

std::vector<std::string> Igd1Sim::call_log()
{
    std::vector<std::string> out;
    gw::VariantPtr r = control("CallLog", nullptr, "(as)");
    if (!r)
        return out;
    char **raw = nullptr;
    g_variant_get(r.get(), "(^as)", &raw);
    gw::StrvPtr list(raw);
    for (char **s = list.get(); s && *s; ++s)
        out.emplace_back(*s);
    return out;
}

std::string Igd1Sim::introspect(const std::string &path, const char *dest)
{
    gw::ConnectionPtr conn = system_bus();
    if (!conn)
        return "";
    gw::ErrorPtr err;
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), dest, path.c_str(), "org.freedesktop.DBus.Introspectable",
                                                 "Introspect", nullptr, G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE,
                                                 10000, nullptr, gw::ErrorOut(err)));
    if (!r) {
        ADD_FAILURE() << "Introspect " << path << " failed: " << gw::error_text(err);
        return "";
    }
    const char *xml = "";
    g_variant_get(r.get(), "(&s)", &xml);
    return xml;
}

}  // namespace gwtest
