// The plug-in list file "/opt/.plug_ins.lst": one line "name:used,used:own,own" per installed package
// whose control file has a pluginClass line. It answers who provides which bus interface.
#ifndef PLUGHOST_PLUGLIST_H
#define PLUGHOST_PLUGLIST_H

#include <string>
#include <vector>

namespace plughost {

constexpr const char *kPlugListFile = "/opt/.plug_ins.lst";
constexpr const char *kOpkgInfoDir = "/usr/lib/opkg/info";

struct PlugListEntry {
    std::string name;               // text before the first ":"
    std::vector<std::string> used;  // second field, split at ","
    std::vector<std::string> own;   // text after the last ":", split at ","
};

// Lines with three fields and more than 5 characters, in file order. false when the file is missing.
bool read_plug_list(std::vector<PlugListEntry> &out);

// The Package whose own field lists the interface (first such line), or "" (logged).
std::string plughost_provider(const std::string &iface);

// Every used interface is listed by some package other than `self`. No interfaces: true. No file: false.
bool interfaces_provided_by_others(const std::string &self, const std::vector<std::string> &used);

// The first of `own` that a package other than `self` lists as its own, or "".
std::string interface_owned_by_other(const std::string &self, const std::vector<std::string> &own);

// Rebuilds the file from the control files in the opkg info directory. 0 or -1.
int plughost_rewrite_plug_list();

}  // namespace plughost

#endif
