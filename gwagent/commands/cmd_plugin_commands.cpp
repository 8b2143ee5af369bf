// The plug-in commands: orders checked here, then handed to the plug-in host over the bus; each is
// answered once.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "commands/cmd_plugin_handle.h"
#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "core/holders.hpp"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

namespace {

using gwagent::JsonPtr;
using gwagent::Request;

// The JSON area the plug-in list must fit; entries that would not fit are left out whole.
constexpr size_t kListMax = 5120;

struct PackageOrder {
    char name[16];
    char version[32];
    char run_mode[8];
    int file_size;
    std::string url;
};

// A name that becomes a UCI option and part of the host's paths.
bool plugin_name_valid(const char *name)
{
    if (!*name || name[0] == '.' || name[0] == '-')
        return false;
    for (const char *p = name; *p; ++p) {
        const char c = *p;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
              c == '.' || c == '+'))
            return false;
    }
    return true;
}

int install_or_upgrade(const Request &r, const char *what, int (*call)(const char *url))
{
    GWLOG(LOG_LVL_INFO, "plugin %s : %s", what, r.cmd_type());
    PackageOrder o{};
    if (!r.required("Plugin_Name", o.name) || !r.required("Version", o.version) || !r.required("RunMode", o.run_mode) ||
        !r.required_int("FileSize", o.file_size) || !r.required_text("URL", 255, o.url))
        return r.fail("Missing_Parameters");
    if (!plugin_name_valid(o.name)) {
        GWLOG(LOG_LVL_WARN, "invalid plugin name [%s].", o.name);
        return r.fail("Missing_Parameters");
    }
    GWLOG(LOG_LVL_INFO, "plugin %s : %s %s %s %s", what, o.url.c_str(), o.name, g_dev_info.Vendor, g_dev_info.CpuArch);
    if (o.url.find(o.name) == std::string::npos || o.url.find(g_dev_info.CpuArch) == std::string::npos)
        return r.fail("Vendor_Or_Arch_Not_Match");
    if (ucf_statvfs(static_cast<unsigned long long>(o.file_size < 0 ? 0 : o.file_size)) < 0)
        return r.fail("Out_Of_Flash_Size");
    const bool stop = strcmp(o.run_mode, "stop") == 0 || strcmp(o.run_mode, "Stop") == 0;
    uci_config_set("plughost", "stop", o.name, stop ? "1" : "", 1);
    return call(o.url.c_str()) == 0 ? r.ok() : r.fail("request failed.");
}

json_t *text_or_empty(const char *s)
{
    json_t *j = json_string(s);
    return j ? j : json_string("");
}

json_t *plugin_json(const plughost_entry &e)
{
    json_t *o = json_object();
    json_object_set_new(o, "Name", text_or_empty(e.name));
    json_object_set_new(o, "Version", text_or_empty(e.version));
    if (strncmp(e.name, "lib", 3) != 0) {
        json_object_set_new(o, "State", text_or_empty(e.state));
        json_object_set_new(o, "Pid", json_string(std::to_string(e.pid).c_str()));
    }
    return o;
}

size_t dumped_size(const json_t *j)
{
    gwagent::CharPtr text(json_dumps(j, JSON_COMPACT | JSON_PRESERVE_ORDER));
    return text ? strlen(text.get()) : SIZE_MAX;
}

}  // namespace

extern "C" int cmd_OXA_APP_INSTALL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    return install_or_upgrade(Request{id, sequence_id, cmd_type, cmd, fd}, "install", g_plughost_Install);
}

extern "C" int cmd_OXA_APP_UPGRADE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Request r{id, sequence_id, cmd_type, cmd, fd};
    char up_mode[4] = {};
    if (!r.optional("UpMode", up_mode, sizeof up_mode - 1))
        return r.fail("Missing_Parameters");
    return install_or_upgrade(r, "upgrade", g_plughost_Upgrade);
}

extern "C" int cmd_OXA_APP_GETSTATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Request r{id, sequence_id, cmd_type, cmd, fd};
    std::string name;
    if (!r.required_text("Plugin_Name", 31, name))
        return r.fail("Missing_Plugin_Name");
    char state[32] = {};
    if (g_plughost_GetStatus(name.c_str(), state, sizeof state) != 0)
        return r.fail("request failed.");
    return r.members({{"Name", name}, {"State", state}});
}

extern "C" int cmd_OXA_APP_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Request r{id, sequence_id, cmd_type, cmd, fd};
    plughost_entry *raw = nullptr;
    int count = 0;
    if (g_plughost_List(&raw, &count) != 0)
        return r.fail("List_Failed");
    const gwagent::MallocPtr<plughost_entry> entries(raw);
    JsonPtr plugins(json_array());
    for (int i = 0; i < count; ++i) {
        json_array_append_new(plugins.get(), plugin_json(entries.get()[i]));
        if (dumped_size(plugins.get()) > kListMax) {
            json_array_remove(plugins.get(), json_array_size(plugins.get()) - 1);
            GWLOG(LOG_LVL_WARN, "plugin list cut to %d of %d entries.", i, count);
            break;
        }
    }
    JsonPtr answer = r.head();
    if (!answer)
        return r.fail("List_Failed");
    json_object_set(answer.get(), "Plugins", plugins.get());
    return r.answer(answer.get());
}

extern "C" int cmd_OXA_APP_INST_QUERY(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Request r{id, sequence_id, cmd_type, cmd, fd};
    std::string name;
    if (!r.required_text("Plugin_Name", 15, name))
        return r.fail("Missing_Plugin_Name");
    char state[16] = {};
    int percent = 0;
    if (g_plughost_Inst_Query(name.c_str(), state, sizeof state, &percent) != 0)
        return r.fail("dbus error.");
    JsonPtr answer = r.head();
    if (!answer)
        return r.fail("dbus error.");
    json_object_set_new(answer.get(), "State", text_or_empty(state));
    json_object_set_new(answer.get(), "Percent", json_integer(percent));
    return r.answer(answer.get());
}

extern "C" int cmd_OXA_APP_OPERATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Request r{id, sequence_id, cmd_type, cmd, fd};
    char action[16] = {};
    if (!r.required("Action", action))
        return r.fail("Missing_Action");
    std::string name;
    if (json_object_get(cmd, "Plugin_Name") && !r.required_text("Plugin_Name", 15, name))
        name.clear();
    if (name.empty())
        name = "AllPlugin";
    char *raw_error = nullptr;
    const int rc = g_plughost_Operate(name.c_str(), action, &raw_error);
    const gwagent::CharPtr error(raw_error);
    if (rc == 0)
        return r.ok();
    if (rc == PLUGHOST_CALL_ERROR && error && *error)
        return r.fail(error.get());
    return r.fail((std::string(action) + ":" + std::to_string(rc)).c_str());
}
