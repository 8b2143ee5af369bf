// Dispatch of the plugin server's commands: envelope, table lookup, capability and right checks.
#include <cstring>

#include <gw/ubox.h>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"
#include "platform/records.h"

using gwagent::JsonPtr;

namespace {

constexpr size_t kPluginNameSize = 64;
constexpr size_t kParameterSize = 4096;
constexpr size_t kCmdTypeSize = 64;
constexpr size_t kSequenceIdSize = 9;

struct Envelope {
    int id = 0;
    char cmd_type[kCmdTypeSize] = {};
    char sequence_id[kSequenceIdSize] = {};
    JsonPtr cmd;
};

// Reads "Parameter" and "ID", decodes and parses the command object, reads CmdType and SequenceId.
// False means an envelope error: logged, nothing answered.
bool read_envelope(json_t *msg, Envelope &env, const char *param_error, const char *id_error)
{
    char parameter[kParameterSize] = {};
    if (get_string_json_value(msg, "Parameter", JSON_STRING, parameter, sizeof parameter) != 0) {
        GWLOG(LOG_LVL_ERR, "%s", param_error);
        return false;
    }
    int id = 0;
    if (get_json_value(msg, "ID", JSON_INTEGER, &id) != 0) {
        GWLOG(LOG_LVL_ERR, "%s", id_error);
        return false;
    }
    env.id = id;
    app_domain_info[DOMAIN_PLUGIN].cmd_id = id;

    char decoded[kParameterSize] = {};
    const int len = b64_decode(parameter, decoded, sizeof decoded - 1);
    if (len < 0) {
        GWLOG(LOG_LVL_ERR, "Post Parameter is not valid base64");
        return false;
    }
    decoded[len] = '\0';
    GWLOG(LOG_LVL_DEBUG, "base64 > %s (%u)", decoded, static_cast<unsigned>(len));
    json_error_t err;
    env.cmd.reset(json_loadb(decoded, static_cast<size_t>(len), 0, &err));
    if (!env.cmd || !json_is_object(env.cmd.get())) {
        GWLOG(LOG_LVL_ERR, "Post Parameter is not valid json format");
        return false;
    }
    if (get_string_json_value(env.cmd.get(), "CmdType", JSON_STRING, env.cmd_type, sizeof env.cmd_type) != 0) {
        GWLOG(LOG_LVL_WARN, "get CmdType error");
        return false;
    }
    if (get_string_json_value(env.cmd.get(), "SequenceId", JSON_STRING, env.sequence_id, sizeof env.sequence_id) != 0) {
        GWLOG(LOG_LVL_WARN, "get SequenceId error");
        return false;
    }
    // A field cut inside a multi-byte character would make every answer echoing it invalid.
    trim_partial_utf8(env.cmd_type);
    trim_partial_utf8(env.sequence_id);
    GWLOG(LOG_LVL_DEBUG, "CmdType is %s", env.cmd_type);
    return true;
}

int run_entry(const cmd_entry &e, Envelope &env)
{
    if (e.right == CMD_RIGHT_FORBIDDEN) {
        GWLOG(LOG_LVL_WARN, "Permission denied, command %s", env.cmd_type);
        return gwagent::answer_status(env.id, env.sequence_id, env.cmd_type, 1, "No_Right_Execute", -1);
    }
    if (!e.handler)
        return gwagent::answer_status(env.id, env.sequence_id, env.cmd_type, 1, "Invalid_CmdType", -1);
    return e.handler(env.id, env.sequence_id, env.cmd_type, env.cmd.get(), -1);
}

constexpr size_t kMaxWords = 4;

bool contains_any(const char *text, const char *const (&words)[kMaxWords])
{
    for (const char *w : words)
        if (w && strstr(text, w))
            return true;
    return false;
}

// Capability rules in the order they are checked: a device lacking the capability refuses every
// CmdType containing one of the words.
struct CapabilityRule {
    bool (*lacking)(const gw_dev_info &);
    const char *words[kMaxWords];
    const char *log_text;
    const char *reason;
    int code;
};

const CapabilityRule kCapabilityRules[] = {
    {[](const gw_dev_info &d) { return d.DevWiFi == 0; },
     {"WIFI", "WLAN", "SSID", "WMM"},
     "Device not support WiFi.",
     "NOT_SUPPORT_WIFI",
     -1},
    {[](const gw_dev_info &d) { return d.POTSNum == 0; },
     {"VOICE", "VOIP"},
     "Device not support voip.",
     "NOT_SUPPORT_VOIP",
     -2},
    {[](const gw_dev_info &d) { return d.DevType != 11; },
     {"FTTO_MASTER"},
     "JSON API only support FTTO master device.",
     "API_ONLY_SUPPORT_FTTO_MasterDev",
     -3},
};

}  // namespace

extern "C" int get_srv_rpc_type(const char *rpc_method)
{
    if (!rpc_method)
        return -1;
    if (strcmp(rpc_method, "Post") == 0)
        return SRV_RPC_POST;
    if (strcmp(rpc_method, "SetPluginParameterValues") == 0)
        return SRV_RPC_STORAGE;
    return -1;
}

extern "C" int check_device_capability(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    const gw_dev_info &d = g_dev_info;
    GWLOG(LOG_LVL_DEBUG, "%s : DeviceInfo DevWiFi[%d], POTSNum[%d], DevType[%d], WorkMode[%d]", cmd_type, d.DevWiFi,
          static_cast<int>(d.POTSNum), d.DevType, d.WorkMode);
    for (const CapabilityRule &rule : kCapabilityRules) {
        if (rule.lacking(d) && contains_any(cmd_type, rule.words)) {
            GWLOG(LOG_LVL_WARN, "%s", rule.log_text);
            gwagent::answer_status(id, sequence_id, cmd_type, 1, rule.reason, fd);
            return rule.code;
        }
    }
    return 0;
}

extern "C" int srv_rpc_handler_post(json_t *msg)
{
    GWLOG(LOG_LVL_DEBUG, "post rpc handle.");
    char plugin[kPluginNameSize] = {};
    if (get_string_json_value(msg, "PluginName", JSON_STRING, plugin, sizeof plugin) != 0)
        GWLOG(LOG_LVL_WARN, "get post PluginName error ");

    Envelope env;
    if (!read_envelope(msg, env, "get post parameter error ", "get post id error "))
        return -1;

    const gwagent::CmdTables &t = gwagent::current_cmd_tables();
    const int idx = gwagent_find_cmd(t.main, t.main_num, env.cmd_type);
    if (idx < 0)
        return gwagent::answer_status(env.id, env.sequence_id, env.cmd_type, 1, "Invalid_CmdType", -1);
    GWLOG(LOG_LVL_DEBUG, "get cmd idx of %s is %d", env.cmd_type, idx);

    const int cap = check_device_capability(env.id, env.sequence_id, env.cmd_type, env.cmd.get(), -1);
    if (cap != 0)
        return cap;
    return run_entry(t.main[idx], env);
}

extern "C" int srv_rpc_handler_storage(json_t *msg)
{
    GWLOG(LOG_LVL_DEBUG, "storage rpc handle .");
    char plugin[kPluginNameSize] = {};
    if (get_string_json_value(msg, "PluginName", JSON_STRING, plugin, sizeof plugin) != 0) {
        GWLOG(LOG_LVL_WARN, "get post PluginName error.");
        return -1;
    }
    if (strcmp(plugin, "NAS") != 0) {
        GWLOG(LOG_LVL_WARN, "storage rpc : PluginName is not NAS.");
        return -1;
    }

    Envelope env;
    if (!read_envelope(msg, env, "get post parameter error", "get rpc id error"))
        return -1;

    const gwagent::CmdTables &t = gwagent::current_cmd_tables();
    const int idx = gwagent_find_cmd(t.nas, t.nas_num, env.cmd_type);
    if (idx < 0)
        return gwagent::answer_status(env.id, env.sequence_id, env.cmd_type, 1, "Invalid_CmdType", -1);
    if (g_dev_info.DevUSB == 0) {
        GWLOG(LOG_LVL_WARN, "Device not support usb.");
        return gwagent::answer_status(env.id, env.sequence_id, env.cmd_type, 1, "NOT_SUPPORT_USB", -1);
    }
    return run_entry(t.nas[idx], env);
}

extern "C" int handle_server_rpc_message(json_t *msg, const char *rpc_method)
{
    if (!msg || !json_is_object(msg)) {
        GWLOG(LOG_LVL_WARN, "rpc message is not a json object");
        return -1;
    }
    const int type = get_srv_rpc_type(rpc_method);
    // One command is one unit of bus work.
    gw::BusCallScope scope;
    switch (type) {
    case SRV_RPC_POST:
        return srv_rpc_handler_post(msg);
    case SRV_RPC_STORAGE:
        return srv_rpc_handler_storage(msg);
    default:
        GWLOG(LOG_LVL_DEBUG, "handle rpc %s(%d)", rpc_method ? rpc_method : "(null)", type);
        return -1;
    }
}
