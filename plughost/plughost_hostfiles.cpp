#include "plughost_hostfiles.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>

#include <glib.h>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace plughost {

namespace {

// Writes to a temporary sibling and renames it over the target.
int write_whole(const std::string &path, const std::string &text, mode_t mode)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc | std::ios::binary);
        out << text;
        out.flush();
        if (!out) {
            GWLOG(LOG_LVL_ERR, "write %s failed", tmp.c_str());
            unlink(tmp.c_str());
            return -1;
        }
    }
    if (chmod(tmp.c_str(), mode) != 0 || rename(tmp.c_str(), path.c_str()) != 0) {
        GWLOG(LOG_LVL_ERR, "write %s failed, %s", path.c_str(), g_strerror(errno));
        unlink(tmp.c_str());
        return -1;
    }
    return 0;
}

bool digits(const std::string &s, size_t max = 10)
{
    return !s.empty() && s.size() <= max && s.find_first_not_of("0123456789") == std::string::npos;
}

// A socket directory below "/uds": "uds/<word>[/<word>...]", each word of [A-Za-z0-9._-] and not a dot
// word, so it can neither leave "/uds" nor break the mount line.
bool valid_uds_dir(const std::string &d)
{
    if (d.compare(0, 4, "uds/") != 0 || d.size() == 4)
        return false;
    gw::StrvPtr parts(g_strsplit(d.c_str() + 4, "/", -1));
    for (char **p = parts.get(); *p; ++p) {
        std::string w = *p;
        if (w.empty() || w == "." || w == ".." ||
            w.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._-") !=
                std::string::npos)
            return false;
    }
    return true;
}

// lxc.cap.keep: capability words separated by blanks.
bool valid_caps(const std::string &s)
{
    return s.find_first_not_of("abcdefghijklmnopqrstuvwxyz_ ") == std::string::npos;
}

bool has_shared_object(const std::string &dir)
{
    std::unique_ptr<DIR, int (*)(DIR *)> d(opendir(dir.c_str()), closedir);
    if (!d)
        return false;
    while (struct dirent *e = readdir(d.get()))
        if (strstr(e->d_name, ".so"))
            return true;
    return false;
}

void add_uds(ContainerSettings &out, const std::string &value, const std::string &name,
             const std::string &container_path)
{
    if (value.size() < 2)
        return;
    std::string d = value.substr(1);
    size_t slash = d.rfind('/');
    if (slash != std::string::npos)
        d.resize(slash);
    if (d.size() > 127)
        d.resize(127);
    if (!valid_uds_dir(d)) {
        GWLOG(LOG_LVL_ERR, "socket directory %s of %s refused", value.c_str(), name.c_str());
        return;
    }
    out.items.push_back({"lxc.mount.entry", gw::RootPath("/" + d) + " " + d + " none rw,bind 0 0"});
    out.dirs.push_back(gw::RootPath(container_path + "/" + name + "/rootfs/uds/" + d.substr(4)));
}

}  // namespace

std::string bus_policy_text(const PolicyInput &in)
{
    std::string t = "<busconfig>\n";
    t += "  <policy user=\"" + std::to_string(in.uid) + "\">\n";
    if (!in.bus_name.empty())
        t += "     <allow own=\"" + in.bus_name + "\"/>\n";
    t += "    <deny send_interface=\"*\"/>\n";
    t += "    <deny send_path=\"*\"/>\n";
    t += "\n    <!-- Signals and reply messages (method returns, errors) are allowed by default -->\n";
    t += "    <allow send_type=\"signal\"/>\n";
    t += "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n";
    t += "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n";
    t += "\n    <!-- All messages may be received by default -->\n";
    t += "    <allow receive_type=\"method_call\"/>\n";
    t += "    <allow receive_type=\"method_return\"/>\n";
    t += "    <allow receive_type=\"error\"/>\n";
    t += "    <allow receive_type=\"signal\"/>\n";
    t += "\n    <allow send_interface=\"org.freedesktop.DBus\"/>\n";
    if (in.kernel_modules)
        t += "\n    <allow send_interface=\"com.yvc.appframework1.AppAgent\"/>\n";
    t += "\n";
    for (const std::string &i : in.interfaces)
        t += "    <allow send_interface=\"" + i + "\"/>\n";
    for (const std::string &p : in.sys_paths)
        t += "    <allow send_path=\"" + p + "\"/>\n";
    t += "  </policy>\n";
    t += "</busconfig>\n";
    return t;
}

PolicyInput policy_input(const CtrlInfo *info, uid_t uid, const std::string &control_path)
{
    PolicyInput in;
    if (!info)
        return in;  // nobody, no rights beyond the defaults
    in.uid = uid;
    if (!info->Vendor.empty())
        in.bus_name = plughost_bus_name(*info);
    // The list readers refuse items that fail their pattern, so nothing reaches the XML unchecked.
    in.kernel_modules = !plughost_read_ctrl_list(control_path.c_str(), ListKey::KernelModules).items.empty();
    in.interfaces = plughost_read_ctrl_list(control_path.c_str(), ListKey::usedInterface).items;
    in.sys_paths = plughost_read_ctrl_list(control_path.c_str(), ListKey::usedSysPath).items;
    return in;
}

int write_bus_policy(const std::string &name, const PolicyInput &in)
{
    if (!valid_package_name(name))
        return -1;
    const std::string dir = gw::RootPath(kPolicyDir);
    if (g_mkdir_with_parents(dir.c_str(), 0755) != 0)
        return -1;
    return write_whole(dir + "/" + name + ".conf", bus_policy_text(in), 0644);
}

int remove_bus_policy(const std::string &name)
{
    if (!valid_package_name(name))
        return -1;
    const std::string path = gw::RootPath(std::string(kPolicyDir) + "/" + name + ".conf");
    return unlink(path.c_str()) == 0 || errno == ENOENT ? 0 : -1;
}

std::string default_conf_text(uid_t uid)
{
    std::string t;
    if (uid != 0) {
        t += "lxc.idmap = u 0 " + std::to_string(uid) + " 1\n";
        t += "lxc.idmap = g 0 " + std::to_string(uid) + " 1\n";
    }
    t += "lxc.net.0.type = none\n";
    return t;
}

int write_default_conf(const std::string &container_path, uid_t uid)
{
    if (container_path.empty())
        return -1;
    const std::string path = gw::RootPath(container_path);
    if (g_mkdir_with_parents(path.c_str(), 0755) != 0)
        return -1;
    if (write_whole(path + "/default.conf", default_conf_text(uid), 0644) != 0)
        return -1;
    return ucf_set_file_mode(path.c_str(), 0111);
}

ContainerSettings container_settings(const CtrlInfo &info, const std::string &container_path)
{
    ContainerSettings out;
    const std::string &name = info.Package;
    if (!info.SelfDataUds.empty())
        add_uds(out, info.SelfDataUds, name, container_path);
    if (!info.UseDataUds.empty())
        add_uds(out, info.UseDataUds, name, container_path);

    if (info.pluginClass) {
        if (valid_caps(info.lxc_cap)) {
            out.items.push_back({"lxc.cap.keep", info.lxc_cap});
        } else {
            GWLOG(LOG_LVL_ERR, "lxc_cap %s of %s refused", info.lxc_cap.c_str(), name.c_str());
            out.items.push_back({"lxc.cap.keep", ""});
        }
    }

    if (!digits(info.lxc_cpu))
        out.items.push_back({"lxc.cgroup.cpu.shares", ""});
    else if (std::strtoul(info.lxc_cpu.c_str(), nullptr, 10) < 1024)
        out.items.push_back({"lxc.cgroup.cpu.shares", info.lxc_cpu});
    else
        out.items.push_back({"lxc.cgroup.cpu.shares", "256"});

    const std::string &mem = info.lxc_mem;
    const bool mem_ok = !mem.empty() && mem.size() <= 20 &&
                        digits(mem.back() == 'K' || mem.back() == 'M' ? mem.substr(0, mem.size() - 1) : mem, 20);
    out.items.push_back({"lxc.cgroup.memory.limit_in_bytes", mem_ok ? mem : "5M"});

    if (digits(info.lxc_bio) && std::strtoul(info.lxc_bio.c_str(), nullptr, 10) <= 1000)
        out.items.push_back({"lxc.cgroup.blkio.weight", info.lxc_bio});

    GWLOG(LOG_LVL_DEBUG, "%s", name.c_str());
    std::string env = "LD_LIBRARY_PATH=/lib:/usr/lib";
    for (const char *dir : {"/files", "/files/lib", "/files/libs"})
        if (has_shared_object(gw::RootPath(container_path + dir)))
            env += std::string(":") + dir;
    out.items.push_back({"lxc.environment", env});

    if (info.maxFsize)
        out.items.push_back({"lxc.mount.entry", gw::RootPath("/mnt") + " mnt none rw,rbind 0 0"});
    return out;
}

int set_stop_mark(const std::string &name, bool stopped)
{
    if (!valid_package_name(name))
        return -1;
    return uci_config_set("plughost", "stop", name.c_str(), stopped ? "1" : "", 1) == 0 ? 0 : -1;
}

bool stop_marked(const std::string &name)
{
    char value[16] = "";
    return valid_package_name(name) && uci_config_get_n("plughost", "stop", name.c_str(), value, sizeof value) == 0 &&
           strcmp(value, "1") == 0;
}

}  // namespace plughost
