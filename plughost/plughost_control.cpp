#include "plughost_control.h"

#include <sys/stat.h>
#include <sys/sysinfo.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gio/gio.h>

#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"
#include "plughost_pluglist.h"

namespace plughost {

namespace {

constexpr size_t kMaxLine = 255;
constexpr size_t kMaxListLine = 4095;
constexpr size_t kMaxListItems = 32;
constexpr size_t kMaxNameLen = 63;

uint64_t sysinfo_ram()
{
    struct sysinfo si {};
    if (sysinfo(&si) != 0)
        return 0;
    return static_cast<uint64_t>(si.totalram) * si.mem_unit;
}

int statvfs_flash(unsigned long long needed) { return ucf_statvfs(needed); }

RamProbe g_ram_probe = sysinfo_ram;
FlashProbe g_flash_probe = statvfs_flash;

bool all_of_chars(const std::string &s, size_t from, bool (*ok)(char))
{
    return std::all_of(s.begin() + static_cast<std::ptrdiff_t>(from), s.end(), ok);
}
bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_word(char c) { return is_alpha(c) || is_digit(c) || c == '_'; }
bool is_lib_char(char c) { return is_word(c) || c == '.' || c == '+' || c == '-'; }
bool is_module_char(char c) { return is_word(c) || c == '-'; }
bool is_path_char(char c) { return is_word(c) || c == '/'; }

// A control line belongs to a key only when the key is followed by its colon (or blanks before it):
// "Packager:" is not "Package".
bool line_has_key(const std::string &line, const char *key)
{
    size_t n = strlen(key);
    if (line.compare(0, n, key) != 0)
        return false;
    return line.size() == n || line[n] == ':' || line[n] == ' ' || line[n] == '\t';
}

// The text after the key and any following colons and spaces, without trailing blanks and line ends.
std::string key_value(const std::string &line, size_t key_len)
{
    size_t b = key_len;
    while (b < line.size() && (line[b] == ':' || line[b] == ' '))
        ++b;
    size_t e = line.size();
    while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\n' || line[e - 1] == '\r'))
        --e;
    return line.substr(b, e - b);
}

// Reads one whole line; a line longer than `limit` is cut there and the rest of it is dropped, so
// the tail of a long line is never taken for a line of its own.
bool next_line(std::istream &in, std::string &line, size_t limit)
{
    if (!std::getline(in, line))
        return false;
    // A line ends at a NUL byte as well: values are used as C strings later on.
    line.resize(std::min({line.size(), line.find('\0'), limit}));
    return true;
}

bool parse_decimal(const std::string &text, long long lo, long long hi, long long &out)
{
    if (text.empty())
        return false;
    size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size() || !all_of_chars(text, i, is_digit))
        return false;
    errno = 0;
    long long v = strtoll(text.c_str(), nullptr, 10);
    if (errno == ERANGE || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// "<digits>", "<digits>K" or "<digits>M"; a value past the range is held at its top.
bool parse_size(const std::string &text, uint64_t top, uint64_t &out)
{
    if (text.empty())
        return false;
    uint64_t mult = 1;
    std::string digits = text;
    if (digits.back() == 'K' || digits.back() == 'M') {
        mult = digits.back() == 'K' ? 1024 : 1048576;
        digits.pop_back();
    }
    if (digits.empty() || !all_of_chars(digits, 0, is_digit))
        return false;
    errno = 0;
    unsigned long long v = strtoull(digits.c_str(), nullptr, 10);
    if (errno == ERANGE || v > top / mult)
        out = top;
    else
        out = v * mult;
    return true;
}

enum class Kind { Text, Name, Vendor, Int, BusVersion, Flag, MemSize, FlashSize };

struct KeyRow {
    const char *key;
    Kind kind;
    std::string CtrlInfo::*text;
    int CtrlInfo::*number;
    unsigned required;
};

// The order of the keys in a control file as packages are built; the parser starts each line at the
// row after the last match, so such a file is read in one pass.
const KeyRow kKeys[] = {
    {"Package", Kind::Name, &CtrlInfo::Package, nullptr, kHasPackage},
    {"Version", Kind::Text, &CtrlInfo::Version, nullptr, kHasVersion},
    {"Architecture", Kind::Text, &CtrlInfo::Architecture, nullptr, kHasArchitecture},
    {"pluginClass", Kind::Int, nullptr, &CtrlInfo::pluginClass, 0},
    {"Essential", Kind::Flag, nullptr, &CtrlInfo::Essential, 0},
    {"pluginPri", Kind::Text, &CtrlInfo::pluginPri, nullptr, 0},
    {"Vendor", Kind::Vendor, &CtrlInfo::Vendor, nullptr, kHasVendor},
    {"DbusVersion", Kind::BusVersion, nullptr, &CtrlInfo::DbusVersion, kHasDbusVersion},
    {"needGwVendor", Kind::Int, nullptr, &CtrlInfo::needGwVendor, 0},
    {"lxc_mem", Kind::MemSize, &CtrlInfo::lxc_mem, nullptr, 0},
    {"lxc_cpu", Kind::Text, &CtrlInfo::lxc_cpu, nullptr, 0},
    {"lxc_bio", Kind::Text, &CtrlInfo::lxc_bio, nullptr, 0},
    {"lxc_cap", Kind::Text, &CtrlInfo::lxc_cap, nullptr, 0},
    {"SelfDataUds", Kind::Text, &CtrlInfo::SelfDataUds, nullptr, 0},
    {"UseDataUds", Kind::Text, &CtrlInfo::UseDataUds, nullptr, 0},
    {"maxFlashSize", Kind::FlashSize, nullptr, nullptr, 0},
    {"maxFsize", Kind::Int, nullptr, &CtrlInfo::maxFsize, 0},
    {"maxProcs", Kind::Text, &CtrlInfo::maxProcs, nullptr, 0},
    {"maxFiles", Kind::Text, &CtrlInfo::maxFiles, nullptr, 0},
    {"tcpPorts", Kind::Text, &CtrlInfo::tcpPorts, nullptr, 0},
    {"udpPorts", Kind::Text, &CtrlInfo::udpPorts, nullptr, 0},
    {"pluginStatus", Kind::Int, nullptr, &CtrlInfo::pluginStatus, 0},
};
static_assert(sizeof kKeys / sizeof kKeys[0] == kKeyCount, "one row per control key");

// Stores one value by its row; false when the value is refused (the key then counts as absent).
bool store_value(const KeyRow &row, const std::string &value, CtrlInfo &info)
{
    long long n = 0;
    uint64_t size = 0;
    switch (row.kind) {
    case Kind::Text:
        info.*row.text = value;
        return true;
    case Kind::Name:
        if (!valid_package_name(value)) {
            GWLOG(LOG_LVL_WARN, "package name %s is invalid.", value.c_str());
            return false;
        }
        info.*row.text = value;
        return true;
    case Kind::Vendor:
        if (!valid_vendor(value)) {
            GWLOG(LOG_LVL_WARN, "vendor %s is invalid.", value.c_str());
            return false;
        }
        info.*row.text = value;
        return true;
    case Kind::Int:
    case Kind::BusVersion:
        if (!parse_decimal(value, row.kind == Kind::BusVersion ? 0 : INT_MIN, INT_MAX, n)) {
            GWLOG(LOG_LVL_WARN, "the value of %s is not a number : %s", row.key, value.c_str());
            return false;
        }
        info.*row.number = static_cast<int>(n);
        return true;
    case Kind::Flag:
        info.*row.number = value == "yes" ? 1 : 0;
        return true;
    case Kind::MemSize: {
        if (!parse_size(value, UINT64_MAX, size)) {
            GWLOG(LOG_LVL_WARN, "the value of %s is not a size : %s", row.key, value.c_str());
            return false;
        }
        uint64_t ram = g_ram_probe();
        if (ram && size > ram / 4)
            size = ram / 4;
        info.*row.text = std::to_string(size);
        return true;
    }
    case Kind::FlashSize:
        if (!parse_size(value, UINT32_MAX, size)) {
            GWLOG(LOG_LVL_WARN, "the value of %s is not a size : %s", row.key, value.c_str());
            return false;
        }
        info.maxFlashSize = static_cast<uint32_t>(size);
        return true;
    }
    return false;
}

void fill_defaults(CtrlInfo &info)
{
    if (info.maxFlashSize == 0)
        info.maxFlashSize = kDefaultFlashSize;
    if (info.pluginPri.empty())
        info.pluginPri = "low";
}

bool regular_file(const char *path)
{
    struct stat st {};
    return path && *path && stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

struct ListRow {
    ListKey key;
    const char *name;
    bool (*valid)(const std::string &);
};

bool valid_sys_path_item(const std::string &s) { return !s.empty() && s[0] == '/' && all_of_chars(s, 0, is_path_char); }
bool valid_module_name(const std::string &s)
{
    return !s.empty() && s.size() <= kMaxNameLen && all_of_chars(s, 0, is_module_char);
}

const ListRow kListKeys[] = {
    {ListKey::usedInterface, "usedInterface", valid_interface_name},
    {ListKey::usedSysPath, "usedSysPath", valid_sys_path_item},
    {ListKey::ownInterface, "ownInterface", valid_interface_name},
    {ListKey::KernelModules, "KernelModules", valid_module_name},
};

const ListRow &list_row(ListKey key)
{
    for (const ListRow &r : kListKeys)
        if (r.key == key)
            return r;
    return kListKeys[0];
}

// Permitted gateway objects for usedSysPath, in ascending byte order for the bisection.
constexpr const char *kPermittedPaths[] = {
    "/com/yvc/igd1/Config/DHCPServer",
    "/com/yvc/igd1/Config/EthernetConfig",
    "/com/yvc/igd1/Config/LANHosts",
    "/com/yvc/igd1/Config/Peripheral/LED",
    "/com/yvc/igd1/Config/Power/SleepTimers",
    "/com/yvc/igd1/Config/URLControlCTR",
    "/com/yvc/igd1/Config/URLControlConfig",
    "/com/yvc/igd1/Config/WLAN/Devices",
    "/com/yvc/igd1/Config/WLAN/Timer",
    "/com/yvc/igd1/Diagnostics/IPPing",
    "/com/yvc/igd1/Diagnostics/TraceRoute",
    "/com/yvc/igd1/Info/Device",
    "/com/yvc/igd1/Info/MngPlat",
    "/com/yvc/igd1/Info/Network/WANConnectionDb",
    "/com/yvc/igd1/Info/PON",
    "/com/yvc/igd1/Info/VoIP",
    "/com/yvc/igd1/Info/WiFi",
    "/com/yvc/igd1/Network/AccessControlBlackList",
    "/com/yvc/igd1/Network/HTTPServer",
    "/com/yvc/igd1/Network/SpeedTestTry",
    "/com/yvc/igd1/Network/StorageBlackList",
    "/com/yvc/igd1/Orvane/PPPoE",
    "/com/yvc/igd1/Orvane/System",
    "/com/yvc/igd1/Storage/FTPServers",
    "/com/yvc/igd1/Storage/NAS",
    "/com/yvc/igd1/Storage/SambaServer/Accounts",
    "/com/yvc/igd1/Storage/USB/Devices",
    "/com/yvc/igd1/Transfer/AutoDiagnostics/Monitor",
    "/com/yvc/igd1/Transfer/AutoDiagnostics/Redirect",
    "/com/yvc/igd1/Transfer/FastPathSpeedUp",
    "/com/yvc/igd1/Transfer/Layer3ForwardingIPv4Config",
    "/com/yvc/igd1/Transfer/Layer3ForwardingIPv6Config",
    "/com/yvc/igd1/Transfer/TrafficDetailProcess",
    "/com/yvc/igd1/Transfer/TrafficForward",
    "/com/yvc/igd1/Transfer/TrafficMirror",
    "/com/yvc/igd1/Transfer/TrafficMonitoringConfig",
    "/com/yvc/igd1/Transfer/TrafficQoSFlow",
    "/com/yvc/igd1/Transfer/WMMConfiguration",
};
constexpr size_t kPermittedCount = sizeof kPermittedPaths / sizeof kPermittedPaths[0];
static_assert(kPermittedCount == 38, "38 permitted gateway objects");

constexpr bool sorted_paths()
{
    for (size_t i = 1; i < kPermittedCount; ++i) {
        const char *a = kPermittedPaths[i - 1];
        const char *b = kPermittedPaths[i];
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (static_cast<unsigned char>(*a) >= static_cast<unsigned char>(*b))
            return false;
    }
    return true;
}
static_assert(sorted_paths(), "sorted for the bisection");

constexpr const char kIgdRoot[] = "/com/yvc/igd";
constexpr size_t kIgdRootLen = sizeof kIgdRoot - 1;

}  // namespace

bool is_library(const std::string &package) { return package.compare(0, 3, "lib") == 0; }

// Library packages keep opkg's wider alphabet; any other name becomes a user name, a directory, a
// container name and a bus name element, so it is a letter followed by letters, digits and "_".
bool valid_package_name(const std::string &name)
{
    if (name.empty() || name.size() > kMaxNameLen)
        return false;
    if (is_library(name))
        return all_of_chars(name, 0, is_lib_char);
    return is_alpha(name[0]) && all_of_chars(name, 1, is_word);
}

bool valid_vendor(const std::string &vendor)
{
    return !vendor.empty() && vendor.size() <= kMaxNameLen && (is_alpha(vendor[0]) || vendor[0] == '_') &&
           all_of_chars(vendor, 1, is_word);
}

bool valid_interface_name(const std::string &name)
{
    return name.size() <= 255 && name.find('\0') == std::string::npos && g_dbus_is_interface_name(name.c_str());
}

int plughost_get_plugin_ctrlinfo(const char *path, CtrlInfo *out)
{
    GWLOG(LOG_LVL_DEBUG, "%s : %d %s", __func__, kKeyCount, path ? path : "");
    if (!out)
        return -1;
    if (!regular_file(path)) {
        GWLOG(LOG_LVL_WARN, "control file name is null or not exist");
        return -1;
    }
    std::ifstream in(path);
    if (!in) {
        GWLOG(LOG_LVL_WARN, "open control file %s failed, %s", path, strerror(errno));
        fill_defaults(*out);
        return -2;
    }
    unsigned mask = 0;
    int next = 0;
    std::string line;
    while (next_line(in, line, kMaxLine)) {
        int found = -1;
        for (int k = 0; k < kKeyCount; ++k) {
            int i = (next + k) % kKeyCount;
            if (line_has_key(line, kKeys[i].key)) {
                found = i;
                break;
            }
        }
        if (found < 0)
            continue;
        next = (found + 1) % kKeyCount;
        const KeyRow &row = kKeys[found];
        std::string value = key_value(line, strlen(row.key));
        GWLOG(LOG_LVL_DEBUG, "%d:%d %s %s", found, kKeyCount, row.key, value.c_str());
        if (value.empty()) {
            GWLOG(LOG_LVL_INFO, "the value of %s is null : %s", row.key, line.c_str());
            continue;
        }
        if (store_value(row, value, *out)) {
            mask |= row.required;
        } else if (row.required) {
            // A refused repeat of a required key leaves it absent rather than half-taken.
            mask &= ~row.required;
            if (row.text)
                (*out).*row.text = std::string();
            if (row.number)
                (*out).*row.number = 0;
        }
    }
    if ((mask & kHasPackage) && is_library(out->Package))
        mask |= kHasVendor | kHasDbusVersion;
    if (mask != kRequiredAll) {
        GWLOG(LOG_LVL_WARN, "need include key items : Package Version Architecture Vendor DbusVersion, %u", mask);
        // A file without any required key must not read as success.
        return mask ? static_cast<int>(mask) : kNoRequiredKey;
    }
    fill_defaults(*out);
    return 0;
}

CtrlList plughost_read_ctrl_list(const char *path, ListKey key)
{
    CtrlList list;
    const ListRow &row = list_row(key);
    std::ifstream in(path ? path : "");
    std::string line;
    while (next_line(in, line, kMaxListLine)) {
        if (!line_has_key(line, row.name))
            continue;
        size_t colon = line.find(':');
        size_t b = colon == std::string::npos ? line.size() : colon + 1;
        while (b < line.size() && line[b] == ' ')
            ++b;
        size_t e = line.size();
        while (e > b && (line[e - 1] == ' ' || line[e - 1] == '\r'))
            --e;
        std::string value = line.substr(b, e - b);
        size_t pos = 0;
        while (pos < value.size()) {
            size_t sp = value.find(' ', pos);
            std::string item = value.substr(pos, sp == std::string::npos ? std::string::npos : sp - pos);
            pos = sp == std::string::npos ? value.size() : sp + 1;
            if (item.empty())
                continue;
            if (!row.valid(item)) {
                GWLOG(LOG_LVL_WARN, "%s %s is invalid.", row.name, item.c_str());
                ++list.refused;
            } else if (list.items.size() == kMaxListItems) {
                GWLOG(LOG_LVL_WARN, "%s has more than %zu items, %s refused", row.name, kMaxListItems, item.c_str());
                ++list.refused;
            } else {
                list.items.push_back(item);
            }
        }
        break;
    }
    return list;
}

bool sys_path_permitted(const std::string &path)
{
    if (path.size() <= kIgdRootLen || path.compare(0, kIgdRootLen, kIgdRoot) != 0)
        return false;
    // The first permitted path not below `path` is the only candidate it can be a prefix of.
    const char *const *end = kPermittedPaths + kPermittedCount;
    const char *const *it = std::lower_bound(kPermittedPaths, end, path,
                                             [](const char *a, const std::string &b) { return b.compare(a) > 0; });
    return it != end && strncmp(*it, path.c_str(), path.size()) == 0;
}

unsigned plughost_check_control(const char *path, const CtrlInfo &info)
{
    unsigned code = 0;
    const std::string &name = info.Package;
    if (name.size() > 15) {
        GWLOG(LOG_LVL_ERR, "plugin name %s over 15 letter.", name.c_str());
        code |= kCheckNameLong;
    }
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return g_ascii_tolower(c); });
    if (lower != name) {
        GWLOG(LOG_LVL_ERR, "plugin name %s include upper.", name.c_str());
        code |= kCheckNameUpper;
    }
    if (g_flash_probe(info.maxFlashSize) != 0) {
        GWLOG(LOG_LVL_ERR, "config flash size too big");
        code |= kCheckFlash;
    }

    CtrlList used = plughost_read_ctrl_list(path, ListKey::usedInterface);
    if (!interfaces_provided_by_others(name, used.items)) {
        GWLOG(LOG_LVL_ERR, "plugin %s missing depend interface.", name.c_str());
        code |= kCheckMissingDepend;
    }
    bool bad_used = used.refused > 0;
    for (const std::string &item : used.items) {
        if (item.compare(0, 11, "com.yvc.igd") == 0) {
            GWLOG(LOG_LVL_DEBUG, "usedInterface %s is invalid.", item.c_str());
            bad_used = true;
        }
    }
    if (bad_used) {
        GWLOG(LOG_LVL_ERR, "plugin %s depend interface invalid.", name.c_str());
        code |= kCheckDependInvalid;
    }

    CtrlList paths = plughost_read_ctrl_list(path, ListKey::usedSysPath);
    bool bad_path = paths.refused > 0;
    for (const std::string &item : paths.items) {
        if (!sys_path_permitted(item)) {
            GWLOG(LOG_LVL_DEBUG, "usedSysPath %s is invalid.", item.c_str());
            bad_path = true;
        }
    }
    if (bad_path) {
        GWLOG(LOG_LVL_ERR, "object used by plugin %s is invalid.", name.c_str());
        code |= kCheckSysPath;
    }

    CtrlList own = plughost_read_ctrl_list(path, ListKey::ownInterface);
    if (own.refused > 0 || !interface_owned_by_other(name, own.items).empty()) {
        GWLOG(LOG_LVL_ERR, "the interface provied by plugin %s is exist already.", name.c_str());
        code |= kCheckOwnExists;
    }
    GWLOG(LOG_LVL_NOTICE, "interface and path check result : %u", code);
    return code;
}

std::string plughost_bus_name(const CtrlInfo &info)
{
    if (info.Vendor.empty() || info.Package.empty()) {
        GWLOG(LOG_LVL_DEBUG, "plugin name or vendor is null.");
        return {};
    }
    std::string vendor = info.Vendor;
    std::transform(vendor.begin(), vendor.end(), vendor.begin(), [](char c) { return g_ascii_tolower(c); });
    return "com." + vendor + "." + info.Package + std::to_string(info.DbusVersion);
}

void plughost_set_probes(RamProbe ram, FlashProbe flash)
{
    g_ram_probe = ram ? ram : sysinfo_ram;
    g_flash_probe = flash ? flash : statvfs_flash;
}

}  // namespace plughost
