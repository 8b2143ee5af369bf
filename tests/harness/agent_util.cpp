#include "agent_util.hpp"

#include <cstdlib>

#include <glib.h>
#include <gtest/gtest.h>

#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/util.h"
#include "platform/records.h"

namespace agenttest {

std::string b64(const std::string &bytes)
{
    gchar *t = g_base64_encode(reinterpret_cast<const guchar *>(bytes.data()), bytes.size());
    std::string s = t;
    g_free(t);
    return s;
}

std::string unb64(const std::string &text)
{
    gsize len = 0;
    guchar *raw = g_base64_decode(text.c_str(), &len);
    std::string s(reinterpret_cast<const char *>(raw), len);
    g_free(raw);
    return s;
}

gwagent::JsonPtr post_message(int id, const std::string &command, const std::string &plugin, const std::string &method)
{
    gwagent::JsonPtr m(json_object());
    json_object_set_new(m.get(), "RPCMethod", json_string(method.c_str()));
    json_object_set_new(m.get(), "ID", json_integer(id));
    json_object_set_new(m.get(), "PluginName", json_string(plugin.c_str()));
    json_object_set_new(m.get(), "Parameter", json_string(b64(command).c_str()));
    return m;
}

gwagent::JsonPtr parse(const std::string &json)
{
    json_error_t err;
    gwagent::JsonPtr j(json_loads(json.c_str(), 0, &err));
    EXPECT_TRUE(j) << "bad test JSON: " << json << ": " << err.text;
    return j;
}

int dispatch(json_t *msg)
{
    json_t *method = json_object_get(msg, "RPCMethod");
    return handle_server_rpc_message(msg, json_is_string(method) ? json_string_value(method) : nullptr);
}

int dispatch_command(int id, const std::string &command, const std::string &method, const std::string &plugin)
{
    auto m = post_message(id, command, plugin, method);
    return dispatch(m.get());
}

std::vector<std::string> drain_plugin_queue()
{
    std::vector<std::string> out;
    void *data = nullptr;
    uint32_t len = 0;
    while (fifo_buffer_get(&socket_plug_tx_header, &data, &len) == 0) {
        out.emplace_back(static_cast<const char *>(data), len);
        free(data);
    }
    return out;
}

std::vector<std::string> drain_answers()
{
    std::vector<std::string> out;
    for (const std::string &wrap : drain_plugin_queue()) {
        const std::string head = "\"return_Parameter\":\"";
        const size_t at = wrap.find(head);
        const size_t end = wrap.rfind("\"}");
        // Every answer travels in a successful wrap; anything else is a bad wrap.
        if (wrap.rfind("{\"Result\":0,\"ID\":", 0) != 0 || at == std::string::npos || end == std::string::npos ||
            end < at + head.size()) {
            out.emplace_back("<bad wrap>");
            continue;
        }
        out.push_back(unb64(wrap.substr(at + head.size(), end - at - head.size())));
    }
    return out;
}

bool uci_available()
{
    char value[16] = {};
    return uci_config_set("gwtest", "probe", "ok", "1", 0) == 0 &&
           uci_config_get("gwtest", "probe", "ok", value) == 0 && std::string(value) == "1";
}

void set_capable_device()
{
    g_dev_info.DevWiFi = 2;
    g_dev_info.POTSNum = 2;
    g_dev_info.DevType = 11;
    g_dev_info.DevUSB = 1;
}

}  // namespace agenttest
