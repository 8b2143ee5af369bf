// A plug-in package's control file: the control record, its parser, the list keys and the checks an
// install or upgrade must pass. Names that later become paths, user names and bus names are checked
// against strict patterns here, where they enter.
#ifndef PLUGHOST_CONTROL_H
#define PLUGHOST_CONTROL_H

#include <cstdint>
#include <string>
#include <vector>

namespace plughost {

// Required keys found by the parser; all five: kRequiredAll.
enum RequiredKey : unsigned {
    kHasPackage = 0x01,
    kHasVersion = 0x02,
    kHasArchitecture = 0x04,
    kHasVendor = 0x08,
    kHasDbusVersion = 0x10,
    kRequiredAll = 0x1f,
};

constexpr int kKeyCount = 22;
constexpr uint32_t kDefaultFlashSize = 1048576;

// One parsed control file. Empty texts are absent keys.
struct CtrlInfo {
    std::string Package;
    std::string Version;
    std::string Architecture;
    int pluginClass = 0;
    int Essential = 0;
    int pluginStatus = 0;
    std::string pluginPri;
    std::string Vendor;
    int DbusVersion = 0;
    int needGwVendor = 0;
    std::string lxc_mem;  // bytes, decimal, capped at a quarter of the RAM
    std::string lxc_cpu;
    std::string lxc_bio;
    std::string lxc_cap;
    std::string SelfDataUds;
    std::string UseDataUds;
    uint32_t maxFlashSize = 0;
    int maxFsize = 0;
    std::string maxProcs;
    std::string maxFiles;
    std::string tcpPorts;
    std::string udpPorts;
    std::vector<std::string> depends;  // Packages that provide this one's used interfaces
};

// A package whose name begins with "lib": no container, user, bus name or policy.
bool is_library(const std::string &package);

// Patterns of names that reach paths, users, bus names and policies.
bool valid_package_name(const std::string &name);
bool valid_vendor(const std::string &vendor);
bool valid_interface_name(const std::string &name);

// Parses a control file into *out. 0 when all required keys were found (defaults then filled); -1 when
// the path is absent or not a regular file; -2 when it cannot be opened; kNoRequiredKey when none of
// them was found; otherwise the mask of the required keys that were found.
constexpr int kNoRequiredKey = -3;
int plughost_get_plugin_ctrlinfo(const char *path, CtrlInfo *out);

enum class ListKey { usedInterface, usedSysPath, ownInterface, KernelModules };

// The items of one list key. Items that fail the key's pattern are refused (logged, not in items);
// `refused` counts them together with items past the limit of 32.
struct CtrlList {
    std::vector<std::string> items;
    int refused = 0;
};
CtrlList plughost_read_ctrl_list(const char *path, ListKey key);

// Control check bits: 0 when the package may be installed.
enum CheckBit : unsigned {
    kCheckNameLong = 0x01,
    kCheckNameUpper = 0x02,
    kCheckFlash = 0x04,
    kCheckMissingDepend = 0x08,
    kCheckDependInvalid = 0x10,
    kCheckSysPath = 0x20,
    kCheckOwnExists = 0x40,
};
unsigned plughost_check_control(const char *path, const CtrlInfo &info);

// usedSysPath rule: below "/com/yvc/igd", longer than it, and a prefix of a permitted gateway object.
bool sys_path_permitted(const std::string &path);

// Bus name "com.<vendor>.<Package><DbusVersion>"; empty (logged) when vendor or name is absent.
std::string plughost_bus_name(const CtrlInfo &info);

// Seams for the tests: total RAM in bytes (0: unknown) and the free-flash test (0: enough room).
using RamProbe = uint64_t (*)();
using FlashProbe = int (*)(unsigned long long needed);
void plughost_set_probes(RamProbe ram, FlashProbe flash);

}  // namespace plughost

#endif
