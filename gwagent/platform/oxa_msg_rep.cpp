// The agent's own reports to the platform: versions, upgrade results and the device summary.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gw/ubus.h>

#include "commands/cmd_json.h"
#include "core/agent.h"
#include "core/ftto_json.h"
#include "gwbus/api.h"
#include "gwbus/log.h"
#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"
#include "platform/conn.h"

using gwagent::CharPtr;
using gwagent::JsonPtr;

namespace {

constexpr const char *kOpkgInfo = "/usr/lib/opkg/info";
constexpr size_t kPluginListMax = 4095;
constexpr size_t kModuleNameMax = 15;
constexpr int kTaskdTries = 3;

// Package names become file names under the package database: nothing that could leave it.
bool package_name_valid(const std::string &pkg)
{
    if (pkg.empty() || pkg[0] == '.' || pkg[0] == '-')
        return false;
    for (const char c : pkg) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '-' || c == '+';
        if (!ok)
            return false;
    }
    return true;
}

std::string control_version(const std::string &pkg)
{
    if (!package_name_valid(pkg)) {
        GWLOG(LOG_LVL_WARN, "invalid package name [%s], no version read.", pkg.c_str());
        return "";
    }
    const std::string file = gw::RootPath(std::string(kOpkgInfo) + "/" + pkg + ".control");
    char *v = nullptr;
    std::string r;
    if (comm_get_file_kv(file.c_str(), "Version", &v) == 0 && v)
        r = v;
    free(v);
    return r;
}

bool declares_plugin_class(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "r");
    if (!f)
        return false;
    char line[512];
    bool found = false;
    while (!found && fgets(line, sizeof line, f))
        found = strstr(line, "pluginClass") != nullptr;
    fclose(f);
    return found;
}

// Control files that declare a plug-in class, by package name in name order (the order of a glob).
std::vector<std::string> plugin_packages()
{
    std::vector<std::string> names;
    const std::string dir = gw::RootPath(kOpkgInfo);
    DIR *d = opendir(dir.c_str());
    if (!d)
        return names;
    while (const dirent *e = readdir(d)) {
        const std::string file = e->d_name;
        const size_t suffix = file.size() >= 8 ? file.size() - 8 : std::string::npos;
        if (suffix == std::string::npos || file.compare(suffix, 8, ".control") != 0)
            continue;
        if (!declares_plugin_class(dir + "/" + file))
            continue;
        names.push_back(file.substr(0, file.find('.')));
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

// The device record belongs to the main thread; the bus thread's reports read the version alone.
std::string framework_version()
{
    char v[64] = {};
    const bool read = get_framework_version(v) == 0;
    if (!gwagent_on_main_thread())
        return read ? v : "";
    if (read)
        copy_truncated(g_dev_info.FrameworkVersion, v);
    return g_dev_info.FrameworkVersion;
}

// The main thread's ubus connection, or one of the bus thread's own: a connection is not shared
// between threads.
struct ubus_context *report_ubus()
{
    if (gwagent_on_main_thread()) {
        if (!ctx)
            gwagent_ubus_init();
        return ctx;
    }
    static struct ubus_context *own = nullptr;
    if (!own) {
        char socket[PATH_MAX];
        own = gwagent_ubus_socket(socket, sizeof socket) ? ubus_connect(socket) : nullptr;
    }
    return own;
}

int queue_report(const std::string &text) { return gwagent_message_push(text.c_str(), static_cast<int>(text.size())); }

void wait_for_taskd()
{
    struct ubus_context *u = report_ubus();
    if (!u)
        return;
    for (int i = 0; i < kTaskdTries; ++i) {
        uint32_t id = 0;
        if (ubus_lookup_id(u, "yvtask", &id) == 0) {
            GWLOG(LOG_LVL_DEBUG, "taskd's ubus service is registered");
            return;
        }
        GWLOG(LOG_LVL_DEBUG, "taskd's ubus service is not registered, need to wait");
        if (i + 1 < kTaskdTries)
            sleep(1);
    }
}

}  // namespace

extern "C" int gwagent_plugin_list(char *out, size_t out_size)
{
    if (!out || out_size == 0)
        return -1;
    std::string list;
    for (const std::string &name : plugin_packages()) {
        GWLOG(LOG_LVL_DEBUG, "get plugin info from %s", (std::string(kOpkgInfo) + "/" + name).c_str());
        list += name + ":" + control_version(name) + "/";
    }
    if (!list.empty())
        list.pop_back();
    // Cut at an entry boundary so that the list stays readable.
    const size_t limit = std::min(kPluginListMax, out_size - 1);
    if (list.size() > limit) {
        list.resize(limit);
        const size_t slash = list.rfind('/');
        list.resize(slash == std::string::npos ? 0 : slash);
    }
    copy_truncated(out, out_size, list.c_str());
    return 0;
}

extern "C" int msg_OXA_VER_REP(void)
{
    const std::string zep = framework_version();
    char list[kPluginListMax + 1];
    if (gwagent_plugin_list(list, sizeof list) != 0)
        return -1;
    JsonPtr info(json_object());
    json_object_set_new(info.get(), "ZepVer", json_string(zep.c_str()));
    json_object_set_new(info.get(), "PluginList", json_string(list));
    JsonPtr rep(json_object());
    json_object_set_new(rep.get(), "CmdType", json_string("OXA_VER_REP"));
    json_object_set(rep.get(), "Info", info.get());
    CharPtr text(json_dumps(rep.get(), JSON_COMPACT | JSON_PRESERVE_ORDER));
    if (!text)
        return -1;
    queue_report(text.get());
    return 0;
}

extern "C" int msg_OXA_UPG_REP(const char *pkg_name, int result)
{
    const char *name = pkg_name ? pkg_name : "";
    GWLOG(LOG_LVL_DEBUG, "upgrade result report : %s", name);
    const bool framework = strncmp(name, "zep", 3) == 0;
    std::string version;
    if (framework) {
        version = framework_version();
    } else {
        std::string module(name);
        module = module.substr(0, module.find('_')).substr(0, kModuleNameMax);
        version = control_version(module);
    }
    JsonPtr info(json_object());
    json_object_set_new(info.get(), "PkgName", json_string(name));
    json_object_set_new(info.get(), "Version", json_string(version.c_str()));
    json_object_set_new(info.get(), "Result", json_integer(result));
    JsonPtr rep(json_object());
    json_object_set_new(rep.get(), "CmdType", json_string("OXA_UPG_REP"));
    json_object_set(rep.get(), "Info", info.get());
    CharPtr text(json_dumps(rep.get(), JSON_COMPACT | JSON_PRESERVE_ORDER));
    if (text)
        queue_report(text.get());

    if (framework)
        wait_for_taskd();
    JsonPtr arg(json_object());
    json_object_set_new(arg.get(), "pkgname", json_string(name));
    json_object_set_new(arg.get(), "result", json_integer(result));
    CharPtr arg_text(json_dumps(arg.get(), JSON_COMPACT | JSON_PRESERVE_ORDER));
    if (arg_text) {
        GWLOG(LOG_LVL_DEBUG, "execute command: ubus call yvtask task_upgrade_result_response %s", arg_text.get());
        gwagent_ubus_call("yvtask", "task_upgrade_result_response", arg_text.get());
    }
    return 0;
}

namespace {

// A text cut inside a multi-byte character is not valid UTF-8 for jansson: it goes out empty.
json_t *text_or_empty(const char *s)
{
    json_t *j = json_string(s);
    return j ? j : json_string("");
}

// One {"Name","Version","State"} per plug-in of the host; empty when the list cannot be read.
json_t *plugin_list()
{
    json_t *list = json_array();
    gwagent::ApiList<api_AppInfo_t, api_releaseListApp> apps;
    if (api_getListApp(&apps.items, &apps.count) != 0) {
        GWLOG(LOG_LVL_WARN, "get plugin list failed.");
        return list;
    }
    for (int i = 0; apps.items && i < apps.count; ++i) {
        json_t *o = json_object();
        json_object_set_new(o, "Name", text_or_empty(apps.items[i].Name));
        json_object_set_new(o, "Version", text_or_empty(apps.items[i].Version));
        json_object_set_new(o, "State", text_or_empty(apps.items[i].State));
        json_array_append_new(list, o);
    }
    return list;
}

struct NtiRelease {
    void operator()(api_FTTONTI_t *nti) const { api_releaseFTTOMasterNTI(nti); }
};

// An FTTO master's slaves; counts only when the list was read, the array always (empty if unread).
void add_slaves(json_t *rep)
{
    api_FTTONTI_t nti{};
    if (api_getFTTOMasterNTI(&nti) != 0) {
        GWLOG(LOG_LVL_WARN, "get FTTO slave list failed.");
        json_object_set_new(rep, "SlaveInfo", json_array());
        return;
    }
    std::unique_ptr<api_FTTONTI_t, NtiRelease> held(&nti);
    json_t *slaves = gwagent::ftto_slaves_json(nti, gwagent::kFttoReportSlave);
    if (!slaves) {
        GWLOG(LOG_LVL_WARN, "FTTO slave list could not be encoded.");
        json_object_set_new(rep, "SlaveInfo", json_array());
        return;
    }
    json_object_set_new(rep, "AllowSlaveNum", json_integer(nti.AllowSlaveNum));
    json_object_set_new(rep, "SlaveNum", json_integer(nti.SlaveNum));
    json_object_set_new(rep, "SlaveInfo", slaves);
}

}  // namespace

extern "C" int msg_DEVICE_INFO_REP(void)
{
    const gw_dev_info &g = g_dev_info;
    JsonPtr rep(json_object());
    if (!rep) {
        GWLOG(LOG_LVL_ERR, "Can not access enough memory");
        return -1;
    }
    json_object_set_new(rep.get(), "CmdType", json_string("DEVICE_INFO_REP"));
    json_object_set_new(rep.get(), "DevType", json_string(std::to_string(g.DevType).c_str()));
    json_object_set_new(rep.get(), "WorkMode", json_string(std::to_string(g.WorkMode).c_str()));
    json_t *gw = json_object();
    json_object_set_new(gw, "LOID", json_string(g.LOID));
    json_object_set_new(gw, "SN", json_string(g.SerialNumber));
    json_object_set_new(gw, "MAC", json_string(g.MAC));
    char name[256] = {};
    if (api_getGatewayName(name, sizeof name) != 0) {
        GWLOG(LOG_LVL_WARN, "get GateWay Name failed.");
        name[0] = '\0';
    }
    json_t *name_json = json_string(name);
    json_object_set_new(gw, "Name", name_json ? name_json : json_string(""));
    json_object_set_new(rep.get(), "GateWay", gw);
    if (g.DevType == 11)
        add_slaves(rep.get());
    json_object_set_new(rep.get(), "PluginList", plugin_list());
    CharPtr text(json_dumps(rep.get(), JSON_COMPACT | JSON_PRESERVE_ORDER));
    if (!text) {
        GWLOG(LOG_LVL_ERR, "Can not access enough memory");
        return -1;
    }
    queue_report(text.get());
    return 0;
}
