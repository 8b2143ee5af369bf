#include "standin.hpp"

#include <chrono>

namespace gwtest {

StandIn::StandIn(const std::string &bus_name) : bus_name_(bus_name)
{
    PrivateBus::instance();
    child_ = Child({"/usr/bin/python3", source_dir() + "/tests/bus/igd1_standin.py", bus_name}, {}, true);
    std::string line;
    if (!child_.read_line(line, std::chrono::seconds(20)) || line.rfind("ready ", 0) != 0) {
        ADD_FAILURE() << "stand-in for " << bus_name << " did not start: " << line;
        return;
    }
    unique_ = line.substr(6);
}

gw::VariantPtr StandIn::control(const char *method, GVariant *args, const char *reply_type)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
        return nullptr;
    }
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), bus_name_.c_str(), "/org/test/Control", "org.test.Control",
                                                 method, owned.get(), reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                                 G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << "control " << method << " failed: " << gw::error_text(err);
    return r;
}

void StandIn::set_prop(const std::string &path, const std::string &iface, const std::string &name, GVariant *value)
{
    gw::VariantPtr v = gw::adopt_variant(value);
    control("SetProp", g_variant_new("(sssv)", path.c_str(), iface.c_str(), name.c_str(), v.get()), nullptr);
}

// D-Bus has no empty tuple value: "no body" travels as an empty av, a body as a one-element av.
static GVariant *maybe_body(GVariant *body)
{
    gw::VariantPtr v = gw::adopt_variant(body);
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("av"));
    if (v && !g_variant_is_of_type(v.get(), G_VARIANT_TYPE_UNIT))
        g_variant_builder_add(&b, "v", v.get());
    return g_variant_builder_end(&b);
}

void StandIn::reply(const std::string &key, GVariant *reply_tuple)
{
    control("Reply", g_variant_new("(s@av)", key.c_str(), maybe_body(reply_tuple)), nullptr);
}

void StandIn::fail(const std::string &key, const std::string &error_name, const std::string &message)
{
    control("Fail", g_variant_new("(sss)", key.c_str(), error_name.c_str(), message.c_str()), nullptr);
}

void StandIn::unfail(const std::string &key) { control("Unfail", g_variant_new("(s)", key.c_str()), nullptr); }

unsigned StandIn::count(const std::string &key)
{
    gw::VariantPtr r = control("Count", g_variant_new("(s)", key.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

gw::VariantPtr StandIn::last_args(const std::string &key)
{
    gw::VariantPtr r = control("LastArgs", g_variant_new("(s)", key.c_str()), "(av)");
    if (!r)
        return nullptr;
    gw::VariantPtr list(g_variant_get_child_value(r.get(), 0));
    if (g_variant_n_children(list.get()) == 0)
        return gw::adopt_variant(g_variant_new("()"));
    gw::VariantPtr boxed(g_variant_get_child_value(list.get(), 0));
    return gw::VariantPtr(g_variant_get_variant(boxed.get()));
}

void StandIn::emit(const std::string &path, const std::string &iface, const std::string &member, GVariant *body)
{
    control("Emit", g_variant_new("(sss@av)", path.c_str(), iface.c_str(), member.c_str(), maybe_body(body)), nullptr);
}

void StandIn::emit_other(const std::string &path, const std::string &iface, const std::string &member, GVariant *body)
{
    control("EmitOther", g_variant_new("(sss@av)", path.c_str(), iface.c_str(), member.c_str(), maybe_body(body)),
            nullptr);
}

}  // namespace gwtest
