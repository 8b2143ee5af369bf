#include "model.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>

#include <jansson.h>

namespace gwtest {

Model::Model(const std::string &bus_name, Backend backend) : bus_name_(bus_name), backend_(backend)
{
    PrivateBus::instance();
    std::string line;
    if (backend_ == Backend::Standin) {
        child_ = Child({"/usr/bin/python3", source_dir() + "/tests/objects/igd1_model.py", bus_name}, {}, true);
        ready_ = child_.read_line(line, std::chrono::seconds(20)) && line == "ready";
    } else {
        char tmpl[] = "/tmp/gw-objsim-XXXXXX";
        sim_dir_ = mkdtemp(tmpl) ? tmpl : "";
        std::ofstream(sim_dir_ + "/empty.json") << "{\"objects\": {}}";
        sim_ = std::make_unique<Igd1Sim>(sim_dir_ + "/empty.json", sim_dir_);
        ready_ = sim_->ready();
    }
    if (!ready_)
        ADD_FAILURE() << "object model on " << bus_name << " did not start: " << line;
}

Model::~Model()
{
    if (!sim_dir_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(sim_dir_, ec);
    }
}

gw::VariantPtr Model::sim_control(const char *method, GVariant *args, const char *reply_type)
{
    return sim_->control(method, args, reply_type);
}

gw::VariantPtr Model::control(const char *method, GVariant *args, const char *reply_type)
{
    if (backend_ == Backend::Simulator) {
        ADD_FAILURE() << "stand-in control " << method << " has no simulator form";
        gw::adopt_variant(args);
        return nullptr;
    }
    gw::VariantPtr owned = gw::adopt_variant(args);
    gw::ErrorPtr err;
    gw::ConnectionPtr conn(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    if (!conn) {
        ADD_FAILURE() << "no bus: " << gw::error_text(err);
        return nullptr;
    }
    gw::VariantPtr r(g_dbus_connection_call_sync(conn.get(), bus_name_.c_str(), "/org/test/Model", "org.test.Model",
                                                 method, owned.get(), reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                                 G_DBUS_CALL_FLAGS_NONE, 10000, nullptr, gw::ErrorOut(err)));
    if (!r)
        ADD_FAILURE() << "model control " << method << " failed: " << gw::error_text(err);
    return r;
}

void Model::load(const std::string &json)
{
    if (backend_ == Backend::Standin) {
        control("Load", g_variant_new("(s)", json.c_str()), nullptr);
        return;
    }
    const std::string file = sim_dir_ + "/profile.json";
    std::ofstream(file) << "{\"objects\": " << json << "}";
    sim_control("LoadProfile", g_variant_new("(s)", file.c_str()), nullptr);
}

void Model::fail(const std::string &method, const std::string &path)
{
    if (backend_ == Backend::Simulator) {
        sim_control("FailNext",
                    g_variant_new("(sssssu)", path.empty() ? "*" : path.c_str(), "*", method.c_str(),
                                  "com.yvc.igd1.Error.Failed", "failed", 1000u),
                    nullptr);
        return;
    }
    control("Fail", g_variant_new("(ss)", method.c_str(), path.c_str()), nullptr);
}

void Model::raw(const std::string &method, const std::string &path, GVariant *tuple)
{
    gw::VariantPtr t = gw::adopt_variant(tuple);
    if (backend_ == Backend::Simulator) {
        gw::GCharPtr text(g_variant_print(t.get(), TRUE));
        sim_control("SetReplyOverride",
                    g_variant_new("(ssss)", path.empty() ? "*" : path.c_str(), "*", method.c_str(), text.get()),
                    nullptr);
        return;
    }
    control("Raw", g_variant_new("(ssv)", method.c_str(), path.c_str(), t.get()), nullptr);
}

void Model::clear()
{
    if (backend_ == Backend::Simulator) {
        sim_control("Reset", nullptr, nullptr);
        return;
    }
    control("Clear", nullptr, nullptr);
}

unsigned Model::count(const std::string &method, const std::string &path)
{
    if (backend_ == Backend::Simulator) {
        unsigned n = 0;
        for (const std::string &c : calls()) {
            const size_t sp = c.find(' ');
            if (c.substr(0, sp) == method && (path.empty() || c.substr(sp + 1) == path))
                ++n;
        }
        return n;
    }
    gw::VariantPtr r = control("Count", g_variant_new("(ss)", method.c_str(), path.c_str()), "(u)");
    guint32 n = 0;
    if (r)
        g_variant_get(r.get(), "(u)", &n);
    return n;
}

std::vector<std::string> Model::calls()
{
    std::vector<std::string> out;
    gw::VariantPtr r =
        backend_ == Backend::Simulator ? sim_control("CallLog", nullptr, "(as)") : control("Calls", nullptr, "(as)");
    if (!r)
        return out;
    gw::VariantIterPtr it;
    GVariantIter *raw_it = nullptr;
    g_variant_get(r.get(), "(as)", &raw_it);
    it.reset(raw_it);
    const char *s = nullptr;
    while (g_variant_iter_next(it.get(), "&s", &s)) {
        std::string c = s;
        if (backend_ == Backend::Simulator) {
            // "<path> <interface> <member>" as the stand-in writes it: "<member> <path>".
            const size_t first = c.find(' '), last = c.rfind(' ');
            if (first != std::string::npos)
                c = c.substr(last + 1) + " " + c.substr(0, first);
        }
        out.push_back(std::move(c));
    }
    return out;
}

unsigned Model::total_calls() { return static_cast<unsigned>(calls().size()); }

std::string Model::last_args(const std::string &method)
{
    if (backend_ == Backend::Simulator) {
        gw::VariantPtr r = sim_control("LastArgs", g_variant_new("(s)", method.c_str()), "(s)");
        const char *text = "";
        if (r)
            g_variant_get(r.get(), "(&s)", &text);
        return text;
    }
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

gw::VariantPtr Model::props(const std::string &path, const std::string &iface)
{
    if (backend_ == Backend::Simulator) {
        Json state = sim_->state();
        json_t *objects = json_object_get(state.get(), "objects");
        json_t *obj = json_object_get(json_object_get(objects, path.c_str()), iface.c_str());
        if (!obj)
            return nullptr;
        GVariantBuilder b;
        g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
        const char *name;
        json_t *text;
        json_object_foreach(obj, name, text)
        {
            GVariant *v = g_variant_parse(nullptr, json_string_value(text), nullptr, nullptr, nullptr);
            if (v) {
                g_variant_builder_add(&b, "{sv}", name, v);
                g_variant_unref(v);
            }
        }
        return gw::VariantPtr(g_variant_ref_sink(g_variant_builder_end(&b)));
    }
    gw::VariantPtr r = control("Props", g_variant_new("(ss)", path.c_str(), iface.c_str()), "(a{sv})");
    return r ? gw::VariantPtr(g_variant_get_child_value(r.get(), 0)) : nullptr;
}

std::string Model::prop_text(const std::string &path, const std::string &iface, const std::string &name)
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

bool Model::exists(const std::string &path)
{
    if (backend_ == Backend::Simulator) {
        Json state = sim_->state();
        return json_object_get(json_object_get(state.get(), "objects"), path.c_str()) != nullptr;
    }
    gw::VariantPtr r = control("Exists", g_variant_new("(s)", path.c_str()), "(b)");
    gboolean b = FALSE;
    if (r)
        g_variant_get(r.get(), "(b)", &b);
    return b;
}

}  // namespace gwtest
