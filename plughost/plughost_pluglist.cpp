#include "plughost_pluglist.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_control.h"

namespace plughost {

namespace {

constexpr const char kControlSuffix[] = ".control";
constexpr size_t kControlSuffixLen = sizeof kControlSuffix - 1;

std::vector<std::string> split_commas(const std::string &field)
{
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= field.size()) {
        size_t c = field.find(',', pos);
        std::string item = field.substr(pos, c == std::string::npos ? std::string::npos : c - pos);
        if (!item.empty())
            out.push_back(item);
        if (c == std::string::npos)
            break;
        pos = c + 1;
    }
    return out;
}

std::string join_commas(const std::vector<std::string> &items)
{
    std::string out;
    for (const std::string &i : items) {
        if (!out.empty())
            out += ',';
        out += i;
    }
    return out;
}

// Interfaces are compared as whole items: "com.a.b" is not provided by "com.a.bc".
bool contains(const std::vector<std::string> &items, const std::string &x)
{
    return std::find(items.begin(), items.end(), x) != items.end();
}

bool has_pluginclass_line(const std::string &path)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 11, "pluginClass") == 0 && (line.size() == 11 || line[11] == ':' || line[11] == ' '))
            return true;
    }
    return false;
}

struct DirCloser {
    void operator()(DIR *d) const noexcept { closedir(d); }
};

// Package names with a control file in the opkg info directory, in byte order.
bool installed_control_names(std::vector<std::string> &names)
{
    const std::string dir = gw::RootPath(kOpkgInfoDir);
    std::unique_ptr<DIR, DirCloser> d(opendir(dir.c_str()));
    if (!d) {
        GWLOG(LOG_LVL_WARN, "get app failed, %d : %s", errno, strerror(errno));
        return false;
    }
    while (dirent *e = readdir(d.get())) {
        std::string file = e->d_name;
        if (file.size() <= kControlSuffixLen ||
            file.compare(file.size() - kControlSuffixLen, kControlSuffixLen, kControlSuffix) != 0)
            continue;
        std::string name = file.substr(0, file.size() - kControlSuffixLen);
        if (!valid_package_name(name)) {
            GWLOG(LOG_LVL_WARN, "package name %s is invalid.", name.c_str());
            continue;
        }
        names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return true;
}

}  // namespace

bool read_plug_list(std::vector<PlugListEntry> &out)
{
    std::ifstream in(gw::RootPath(kPlugListFile));
    if (!in)
        return false;
    std::string line;
    while (std::getline(in, line)) {
        size_t first = line.find(':');
        size_t last = line.rfind(':');
        if (line.size() <= 5 || first == std::string::npos || first == last)
            continue;
        size_t second = line.find(':', first + 1);
        PlugListEntry e;
        e.name = line.substr(0, first);
        e.used = split_commas(line.substr(first + 1, second - first - 1));
        e.own = split_commas(line.substr(last + 1));
        out.push_back(std::move(e));
    }
    return true;
}

std::string plughost_provider(const std::string &iface)
{
    std::vector<PlugListEntry> entries;
    read_plug_list(entries);
    for (const PlugListEntry &e : entries)
        if (contains(e.own, iface))
            return e.name;
    return {};
}

bool interfaces_provided_by_others(const std::string &self, const std::vector<std::string> &used)
{
    if (used.empty())
        return true;
    std::vector<PlugListEntry> entries;
    if (!read_plug_list(entries))
        return false;
    for (const std::string &iface : used) {
        bool found = std::any_of(entries.begin(), entries.end(),
                                 [&](const PlugListEntry &e) { return e.name != self && contains(e.own, iface); });
        if (!found)
            return false;
    }
    return true;
}

std::string interface_owned_by_other(const std::string &self, const std::vector<std::string> &own)
{
    std::vector<PlugListEntry> entries;
    read_plug_list(entries);
    for (const PlugListEntry &e : entries) {
        if (e.name == self)
            continue;
        for (const std::string &iface : own)
            if (contains(e.own, iface))
                return iface;
    }
    return {};
}

int plughost_rewrite_plug_list()
{
    std::vector<std::string> names;
    if (!installed_control_names(names))
        return -1;
    const std::string target = gw::RootPath(kPlugListFile);
    // Written aside and renamed, so a reader never sees half a list.
    const std::string temp = target + ".new";
    {
        std::ofstream out(temp, std::ios::trunc);
        if (!out) {
            GWLOG(LOG_LVL_WARN, "open plugin list file failed, %d : %s", errno, strerror(errno));
            return -1;
        }
        const std::string info_dir = gw::RootPath(kOpkgInfoDir);
        for (const std::string &name : names) {
            const std::string control = info_dir + "/" + name + kControlSuffix;
            if (!has_pluginclass_line(control))
                continue;
            CtrlList used = plughost_read_ctrl_list(control.c_str(), ListKey::usedInterface);
            CtrlList own = plughost_read_ctrl_list(control.c_str(), ListKey::ownInterface);
            out << name << ':' << join_commas(used.items) << ':' << join_commas(own.items) << '\n';
        }
        out.flush();
        if (!out) {
            GWLOG(LOG_LVL_WARN, "open plugin list file failed, %d : %s", errno, strerror(errno));
            unlink(temp.c_str());
            return -1;
        }
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        GWLOG(LOG_LVL_WARN, "open plugin list file failed, %d : %s", errno, strerror(errno));
        unlink(temp.c_str());
        return -1;
    }
    ucf_set_file_mode(target.c_str(), 0644);
    return 0;
}

}  // namespace plughost
