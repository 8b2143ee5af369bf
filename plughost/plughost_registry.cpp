#include "plughost_registry.h"

#include <pwd.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "plughost_pluglist.h"

namespace plughost {

namespace {

constexpr const char kOpkgStatus[] = "/usr/lib/opkg/status";

bool file_exists(const std::string &abs)
{
    struct stat st {};
    return stat(gw::RootPath(abs).c_str(), &st) == 0;
}

std::string config_of(const std::string &container_path, const std::string &name)
{
    return container_path + "/" + name + "/config";
}

bool has_item(const std::vector<std::string> &items, const std::string &x)
{
    return std::find(items.begin(), items.end(), x) != items.end();
}

struct FileCloser {
    void operator()(FILE *f) const noexcept { fclose(f); }
};

}  // namespace

PluginRecord::~PluginRecord()
{
    if (flash)
        flash->stop();
}

const std::string &PluginRecord::name() const
{
    static const std::string none;
    return control ? control->Package : none;
}

std::string container_path_for(const CtrlInfo &info)
{
    if (is_library(info.Package))
        return {};
    return (info.Essential ? "/opt/preinstall/" : "/opt/apps/") + info.Package;
}

// Stanzas of Package/Status lines separated by blank lines; "Status: <want> <flag> installed".
bool opkg_installed(const std::string &name)
{
    std::ifstream in(gw::RootPath(kOpkgStatus));
    std::string line;
    bool in_stanza = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty()) {
            in_stanza = false;
            continue;
        }
        if (line.compare(0, 9, "Package: ") == 0) {
            in_stanza = line.compare(9, std::string::npos, name) == 0;
        } else if (in_stanza && line.compare(0, 8, "Status: ") == 0) {
            size_t sp = line.rfind(' ');
            if (line.compare(sp + 1, std::string::npos, "installed") == 0)
                return true;
        }
    }
    GWLOG(LOG_LVL_DEBUG, "%s opkg info is null", name.c_str());
    return false;
}

uid_t host_user_id(const std::string &name)
{
    std::unique_ptr<FILE, FileCloser> f(fopen(gw::RootPath("/etc/passwd").c_str(), "r"));
    if (!f)
        return kNobodyUid;
    // fgetpwent keeps its entry in static storage; the lock keeps two lookups apart.
    static std::mutex mu;
    std::lock_guard<std::mutex> g(mu);
    while (struct passwd *pw = fgetpwent(f.get()))
        if (name == pw->pw_name)
            return pw->pw_uid;
    return kNobodyUid;
}

std::vector<std::string> providers_of(const std::string &self, const std::vector<std::string> &used)
{
    std::vector<std::string> out;
    for (const std::string &iface : used) {
        std::string provider = plughost_provider(iface);
        if (provider.empty()) {
            GWLOG(LOG_LVL_ERR, "Interface %s dependent plug-ins do not exist.", iface.c_str());
            continue;
        }
        if (provider == self || has_item(out, provider))
            continue;
        GWLOG(LOG_LVL_DEBUG, "add dependent plugin : %s", provider.c_str());
        out.push_back(provider);
    }
    return out;
}

int Registry::add(std::unique_ptr<CtrlInfo> info, const std::string &control_path, bool at_install)
{
    if (!info || info->Package.empty())
        return -1;
    const bool library = is_library(info->Package);
    if (at_install && !library && info->Vendor.empty()) {
        GWLOG(LOG_LVL_DEBUG, "%s control file is invalid, need vendor and dbus_version", info->Package.c_str());
        return -1;
    }
    Lock l = lock();
    if (find(info->Package)) {
        GWLOG(LOG_LVL_WARN, "%s is in list already.", info->Package.c_str());
        return -1;
    }
    std::transform(info->Vendor.begin(), info->Vendor.end(), info->Vendor.begin(),
                   [](char c) { return g_ascii_tolower(c); });
    CtrlList used = plughost_read_ctrl_list(control_path.c_str(), ListKey::usedInterface);
    info->depends = providers_of(info->Package, used.items);

    auto rec = std::make_unique<PluginRecord>();
    rec->container_path = container_path_for(*info);
    rec->control = std::move(info);
    const CtrlInfo &c = *rec->control;
    records_.push_back(std::move(rec));
    GWLOG(LOG_LVL_NOTICE, "add com.%s.%s%d, path %s, class %d, type %d, app num %d", c.Vendor.c_str(),
          c.Package.c_str(), c.DbusVersion, records_.back()->container_path.c_str(), c.pluginClass, c.Essential,
          static_cast<int>(records_.size()));
    GWLOG(LOG_LVL_DEBUG, "depends number [%zu]", c.depends.size());
    for (size_t i = 0; i < c.depends.size(); ++i)
        GWLOG(LOG_LVL_DEBUG, "dependent plugin [%zu : %s]", i, c.depends[i].c_str());
    return 0;
}

PluginRecord *Registry::find(const std::string &name) const
{
    Lock l = lock();
    for (size_t i = 0; i < records_.size(); ++i) {
        if (records_[i]->name() == name) {
            GWLOG(LOG_LVL_DEBUG, "%s in list (%zu/%zu)", name.c_str(), i + 1, records_.size());
            return records_[i].get();
        }
    }
    GWLOG(LOG_LVL_DEBUG, "%s is not in list.", name.c_str());
    return nullptr;
}

bool Registry::remove(const std::string &name)
{
    Lock l = lock();
    auto it = std::find_if(records_.begin(), records_.end(), [&](const auto &r) { return r->name() == name; });
    if (it == records_.end())
        return false;
    records_.erase(it);
    return true;
}

void Registry::clear()
{
    Lock l = lock();
    records_.clear();
}

size_t Registry::size() const
{
    Lock l = lock();
    return records_.size();
}

std::vector<PluginRecord *> Registry::records() const
{
    Lock l = lock();
    std::vector<PluginRecord *> out;
    for (const auto &r : records_)
        out.push_back(r.get());
    return out;
}

bool Registry::installed(const std::string &name) const
{
    if (!is_library(name)) {
        Lock l = lock();
        const PluginRecord *rec = find(name);
        if (!rec || rec->container_path.empty()) {
            GWLOG(LOG_LVL_DEBUG, "plugin %s  path is null.", name.c_str());
            return false;
        }
        if (!file_exists(config_of(rec->container_path, name))) {
            GWLOG(LOG_LVL_DEBUG, "plugin %s not installed.", name.c_str());
            return false;
        }
    }
    return opkg_installed(name);
}

size_t Registry::load(const ContainerFactory &make_container)
{
    const std::string list = gw::RootPath(kPlugListFile);
    struct stat st {};
    if (stat(list.c_str(), &st) != 0 || st.st_size == 0) {
        GWLOG(LOG_LVL_NOTICE, "app db is missing, create again.");
        plughost_rewrite_plug_list();
    }
    std::vector<std::string> names;
    {
        std::ifstream in(list);
        std::string line;
        while (std::getline(in, line)) {
            if (line.size() < 3)
                continue;
            std::string name = line.substr(0, line.find(':'));
            if (!valid_package_name(name)) {
                GWLOG(LOG_LVL_WARN, "package name %s is invalid.", name.c_str());
                continue;
            }
            names.push_back(name);
        }
    }
    Lock l = lock();
    for (const std::string &name : names) {
        const bool library = is_library(name);
        if (!library && !file_exists(config_of("/opt/apps/" + name, name)) &&
            !file_exists(config_of("/opt/preinstall/" + name, name))) {
            GWLOG(LOG_LVL_NOTICE, "%s container control file does not exist.", name.c_str());
            continue;
        }
        PluginRecord *rec = find(name);
        if (!rec) {
            const std::string control = gw::RootPath(std::string(kOpkgInfoDir) + "/" + name + ".control");
            auto info = std::make_unique<CtrlInfo>();
            if (plughost_get_plugin_ctrlinfo(control.c_str(), info.get()) != 0 || info->Package != name) {
                GWLOG(LOG_LVL_WARN, "%s: control file is invalid, no vendor or dbus_version", name.c_str());
                continue;
            }
            if (add(std::move(info), control, false) != 0 || !(rec = find(name)))
                continue;
        }
        rec->monitored = 1;
        if (!library) {
            if (make_container && !rec->container)
                rec->container = make_container(name, rec->container_path);
            rec->uid = rec->control->pluginClass ? 0 : host_user_id(name);
        }
    }
    sort_by_depends();
    return records_.size();
}

// Depth first from each record in the given order: the records that depend on it are placed before
// it. A plain merge sort with "depends on" as its comparison misses chains through unrelated records.
void Registry::sort_by_depends()
{
    Lock l = lock();
    const size_t n = records_.size();
    std::vector<int> state(n, 0);  // 0 not placed, 1 on the walk, 2 placed
    std::vector<size_t> order;
    std::function<void(size_t)> place = [&](size_t i) {
        if (state[i] != 0)
            return;  // placed, or a cycle: it keeps its place on the walk
        state[i] = 1;
        for (size_t j = 0; j < n; ++j)
            if (j != i && has_item(records_[j]->control->depends, records_[i]->name()))
                place(j);
        state[i] = 2;
        order.push_back(i);
    };
    for (size_t i = 0; i < n; ++i)
        place(i);
    std::vector<std::unique_ptr<PluginRecord>> sorted;
    for (size_t i : order)
        sorted.push_back(std::move(records_[i]));
    records_ = std::move(sorted);
}

Registry &registry()
{
    static Registry r;
    return r;
}

}  // namespace plughost
