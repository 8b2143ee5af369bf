// Bytes as a plug-in control file: parsing, list keys and the install checks never fail, and what they
// accept keeps the patterns that make names safe for paths, users and bus names.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <gio/gio.h>

#include "plughost_control.h"

namespace {

uint64_t one_gib() { return 1073741824ULL; }
int flash_ok(unsigned long long) { return 0; }

const std::string &root()
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/fuzz-control-XXXXXX";
        if (!mkdtemp(tmpl))
            std::abort();
        std::string d = tmpl;
        setenv("GW_ROOT", d.c_str(), 1);
        if (mkdir((d + "/opt").c_str(), 0755) != 0)
            std::abort();
        FILE *f = fopen((d + "/opt/.plug_ins.lst").c_str(), "w");
        if (!f)
            std::abort();
        fputs("prov:com.q.Used:com.p.Api,com.p.More\ndemo::com.demo.Own\n", f);
        fclose(f);
        plughost::plughost_set_probes(one_gib, flash_ok);
        return d;
    }();
    return dir;
}

void require(bool ok, const char *what)
{
    if (!ok) {
        fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 16 * 1024)
        return 0;
    const std::string path = root() + "/control";
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && fwrite(data, 1, size, f) != size)
        std::abort();
    fclose(f);

    plughost::CtrlInfo info;
    int rc = plughost::plughost_get_plugin_ctrlinfo(path.c_str(), &info);
    require(rc == 0 || rc == plughost::kNoRequiredKey || (rc > 0 && rc < 31), "result");
    if (!info.Package.empty())
        require(plughost::valid_package_name(info.Package), "package name");
    if (!info.Vendor.empty())
        require(plughost::valid_vendor(info.Vendor), "vendor");
    require(info.DbusVersion >= 0, "bus version");
    for (const std::string *text : {&info.Version, &info.Architecture, &info.lxc_cpu, &info.SelfDataUds})
        require(text->size() <= 255 && text->find('\n') == std::string::npos, "text field");

    for (auto key : {plughost::ListKey::usedInterface, plughost::ListKey::usedSysPath, plughost::ListKey::ownInterface,
                     plughost::ListKey::KernelModules}) {
        plughost::CtrlList list = plughost::plughost_read_ctrl_list(path.c_str(), key);
        require(list.items.size() <= 32, "list size");
        for (const std::string &item : list.items) {
            require(!item.empty() && item.find_first_of(" :,\n\"<>") == std::string::npos, "list item");
            if (key == plughost::ListKey::usedInterface || key == plughost::ListKey::ownInterface)
                require(g_dbus_is_interface_name(item.c_str()), "interface name");
        }
    }
    if (rc != 0)
        return 0;
    require(info.maxFlashSize != 0 && !info.pluginPri.empty(), "defaults");
    unsigned code = plughost::plughost_check_control(path.c_str(), info);
    require((code & ~0x7fu) == 0, "check bits");
    std::string bus = plughost::plughost_bus_name(info);
    if (!plughost::is_library(info.Package))
        require(g_dbus_is_name(bus.c_str()) && !g_dbus_is_unique_name(bus.c_str()), "bus name");
    return 0;
}
