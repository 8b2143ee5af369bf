#include "model.hpp"

#include <filesystem>
#include <fstream>

namespace gwtest {

Model::Model()
{
    char tmpl[] = "/tmp/gw-objsim-XXXXXX";
    dir_ = mkdtemp(tmpl) ? tmpl : "";
    std::ofstream(dir_ + "/empty.json") << "{\"objects\": {}}";
    sim_ = std::make_unique<Igd1Sim>(dir_ + "/empty.json", dir_);
    if (!sim_->ready())
        ADD_FAILURE() << "configuration simulator did not start";
}

Model::~Model()
{
    sim_.reset();
    std::error_code ec;
    if (!dir_.empty())
        std::filesystem::remove_all(dir_, ec);
}

void Model::load(const std::string &json)
{
    const std::string file = dir_ + "/profile.json";
    std::ofstream(file) << "{\"objects\": " << json << "}";
    sim_->control("LoadProfile", g_variant_new("(s)", file.c_str()));
}

void Model::fail(const std::string &method, const std::string &path)
{
    sim_->control("FailNext", g_variant_new("(sssssu)", path.empty() ? "*" : path.c_str(), "*", method.c_str(),
                                            "com.yvc.igd1.Error.Failed", "failed", 1000u));
}

void Model::raw(const std::string &method, const std::string &path, GVariant *tuple)
{
    gw::VariantPtr t = gw::adopt_variant(tuple);
    gw::GCharPtr text(g_variant_print(t.get(), TRUE));
    sim_->override_reply(path.empty() ? "*" : path, "*", method, text.get());
}

unsigned Model::count(const std::string &method, const std::string &path)
{
    unsigned n = 0;
    for (const std::string &c : calls()) {
        const size_t sp = c.find(' ');
        if (c.substr(0, sp) == method && (path.empty() || c.substr(sp + 1) == path))
            ++n;
    }
    return n;
}

std::vector<std::string> Model::calls()
{
    // The simulator logs "<path> <interface> <member>".
    std::vector<std::string> out;
    for (const std::string &c : sim_->call_log()) {
        const size_t first = c.find(' '), last = c.rfind(' ');
        out.push_back(first == std::string::npos ? c : c.substr(last + 1) + " " + c.substr(0, first));
    }
    return out;
}

std::string Model::prop_text(const std::string &path, const std::string &iface, const std::string &name)
{
    // The stored text, printed again by GLib so that it reads as the value a caller sent.
    const std::string stored = sim_->prop_text(path, iface, name);
    gw::VariantPtr v(stored.empty() ? nullptr : g_variant_parse(nullptr, stored.c_str(), nullptr, nullptr, nullptr));
    if (!v)
        return "";
    gw::GCharPtr text(g_variant_print(v.get(), TRUE));
    return text.get();
}

}  // namespace gwtest
