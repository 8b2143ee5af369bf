#include "model.hpp"

#include <chrono>

namespace gwtest {

Model::Model(const std::string& bus_name)
    : bus_name_(bus_name)
{
    PrivateBus::instance();
    child_ = Child({ "/usr/bin/python3", source_dir() + "/tests/objects/igd1_model.py", bus_name }, {}, true);
    std::string line;
    ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "ready";
    if (!ready_)
        ADD_FAILURE() << "object model on " << bus_name << " did not start: " << line;
}

gw::VariantPtr Model::control(const char* method, GVariant* args, const char* reply_type)
{
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
        return nullptr;
    }
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), bus_name_.c_str(), "/org/test/Model", "org.test.Model",
        method, owned.get(), reply_type ? G_VARIANT_TYPE(reply_type) : nullptr, G_DBUS_CALL_FLAGS_NONE, 10000, nullptr,
        gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << "model control " << method << " failed: " << gw::error_text(err);
    return r;
}

void Model::load(const std::string& json) { control("Load", g_variant_new("(s)", json.c_str()), nullptr); }

void Model::fail(const std::string& method, const std::string& path)
{
    control("Fail", g_variant_new("(ss)", method.c_str(), path.c_str()), nullptr);
}

void Model::raw(const std::string& method, const std::string& path, GVariant* tuple)
{
    gw::VariantPtr t = gw::adopt_variant(tuple);
    control("Raw", g_variant_new("(ssv)", method.c_str(), path.c_str(), t.get()), nullptr);
}

void Model::clear() { control("Clear", nullptr, nullptr); }

unsigned Model::count(const std::string& method, const std::string& path)
{
    gw::VariantPtr r = control("Count", g_variant_new("(ss)", method.c_str(), path.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

std::vector<std::string> Model::calls()
{
    std::vector<std::string> out;
    gw::VariantPtr r = control("Calls", nullptr, "(as)");
    if (!r)
        return out;
    gw::VariantIterPtr it;
    GVariantIter* raw_it = nullptr;
    g_variant_get(r.get(), "(as)", &raw_it);
    it.reset(raw_it);
    const char* s = nullptr;
    while (g_variant_iter_next(it.get(), "&s", &s))
        out.emplace_back(s);
    return out;
}

unsigned Model::total_calls() { return static_cast<unsigned>(calls().size()); }

std::string Model::last_args(const std::string& method)
{
    gw::VariantPtr r = control("LastArgs", g_variant_new("(s)", method.c_str()), "(av)");
    if (!r)
        return "";
    gw::VariantPtr list(g_variant_get_child_value(r.get(), 0));
    if (g_variant_n_children(list.get()) == 0)
        return "";
    gw::VariantPtr boxed(g_variant_get_child_value(list.get(), 0));
    gw::VariantPtr body(g_variant_get_variant(boxed.get()));
    gw::GCharPtr text(g_variant_print(body.get(), TRUE));
    return text.get();
}

gw::VariantPtr Model::props(const std::string& path, const std::string& iface)
{
    gw::VariantPtr r = control("Props", g_variant_new("(ss)", path.c_str(), iface.c_str()), "(a{sv})");
    return r ? gw::VariantPtr(g_variant_get_child_value(r.get(), 0)) : nullptr;
}

std::string Model::prop_text(const std::string& path, const std::string& iface, const std::string& name)
{
    gw::VariantPtr all = props(path, iface);
    if (!all)
        return "";
    gw::VariantPtr v(g_variant_lookup_value(all.get(), name.c_str(), nullptr));
    if (!v)
        return "";
    gw::GCharPtr text(g_variant_print(v.get(), TRUE));
    return text.get();
}

bool Model::exists(const std::string& path)
{
    gw::VariantPtr r = control("Exists", g_variant_new("(s)", path.c_str()), "(b)");
    gboolean b = FALSE;
    if (r)
        g_variant_get(r.get(), "(b)", &b);
    return b;
}

} // namespace gwtest
