#include "igd1.hpp"

#include <cstdlib>

#include <gtest/gtest.h>

#include "gwbus/raii.hpp"

namespace agenttest {

namespace {

constexpr const char *kBus = "com.yvc.igd1";
constexpr const char *kControlPath = "/com/yvc/igd1sim";
constexpr const char *kControl = "com.yvc.igd1sim.Control";

std::string profile(const std::string &name = "default.json")
{
    return gwtest::source_dir() + "/sim/igd1/profiles/" + name;
}

gw::VariantPtr call(const char *path, const char *iface, const char *method, GVariant *args, const char *reply)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
        return nullptr;
    }
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), kBus, path, iface, method, owned.get(),
                                                 reply ? G_VARIANT_TYPE(reply) : nullptr, G_DBUS_CALL_FLAGS_NONE,
                                                 10000, nullptr, gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << method << " failed: " << gw::error_text(err);
    return r;
}

}  // namespace

Igd1::Igd1()
{
    const std::string &address = gwtest::PrivateBus::instance().address();
    char tmpl[] = "/tmp/gw-igd1sim-XXXXXX";
    const char *dir = mkdtemp(tmpl);
    root_ = dir ? dir : "/tmp";
    child_ = gwtest::Child({"/usr/bin/python3", gwtest::source_dir() + "/sim/igd1/igd1sim.py", "--address", address,
                            "--root", root_, "--profile", profile()},
                           {}, true);
    std::string line;
    ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "READY";
    if (!ready_)
        ADD_FAILURE() << "igd1sim did not start: " << line;
}

Igd1 &Igd1::fresh()
{
    static Igd1 *sim = new Igd1();  // lives as long as the process (and the private bus)
    if (sim->ready_) {
        sim->control("Reset", nullptr);
        sim->control("LoadProfile", g_variant_new("(s)", profile().c_str()));
    }
    return *sim;
}

void Igd1::control(const char *method, GVariant *args) { call(kControlPath, kControl, method, args, nullptr); }

void Igd1::set_property(const std::string &path, const std::string &iface, const std::string &prop,
                        const std::string &value)
{
    control("SetProperty", g_variant_new("(ssss)", path.c_str(), iface.c_str(), prop.c_str(), value.c_str()));
}

void Igd1::remove_object(const std::string &path) { control("RemoveObject", g_variant_new("(s)", path.c_str())); }

void Igd1::fail_next(const std::string &member, unsigned count, const std::string &path, const std::string &iface)
{
    control("FailNext", g_variant_new("(sssssu)", path.c_str(), iface.c_str(), member.c_str(),
                                      "com.yvc.igd1.Error.Failed", "refused by test", count));
}

void Igd1::load_profile(const std::string &name)
{
    control("LoadProfile", g_variant_new("(s)", profile(name).c_str()));
}

void Igd1::set_result(const std::string &method, unsigned code, const std::string &message)
{
    control("SetResult", g_variant_new("(sus)", method.c_str(), code, message.c_str()));
}

void Igd1::set_delay(const std::string &member, unsigned ms)
{
    control("SetDelay", g_variant_new("(su)", member.c_str(), ms));
}

void Igd1::set_reply(const std::string &member, const std::string &reply)
{
    control("SetReplyOverride", g_variant_new("(ssss)", "*", "*", member.c_str(), reply.c_str()));
}

unsigned Igd1::waiting_count(const std::string &member)
{
    gw::VariantPtr r = call(kControlPath, kControl, "WaitingCount", g_variant_new("(s)", member.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

unsigned Igd1::call_count(const std::string &member)
{
    gw::VariantPtr r = call(kControlPath, kControl, "CallCount", g_variant_new("(s)", member.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

std::string Igd1::last_args(const std::string &member)
{
    gw::VariantPtr r = call(kControlPath, kControl, "LastArgs", g_variant_new("(s)", member.c_str()), "(s)");
    const gchar *text = "";
    if (r)
        g_variant_get(r.get(), "(&s)", &text);
    return text;
}

std::string Igd1::get_property(const std::string &path, const std::string &iface, const std::string &prop)
{
    gw::VariantPtr r = call(path.c_str(), "com.yvc.igd1.Properties", "Get",
                            g_variant_new("(ss)", iface.c_str(), prop.c_str()), "(v)");
    if (!r)
        return "<none>";
    gw::VariantPtr inner(g_variant_get_child_value(r.get(), 0));
    gw::VariantPtr value(g_variant_get_variant(inner.get()));
    gw::GCharPtr text(g_variant_print(value.get(), FALSE));
    return text.get();
}

}  // namespace agenttest
