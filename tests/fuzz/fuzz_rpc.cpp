// handle_server_rpc_message on arbitrary bytes: as a whole plugin-server message when they parse as
// one, and always as the decoded "Parameter" of a Post and of a storage message. No bus: handlers
// that reach for it must fail cleanly and still answer.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <glib.h>
#include <jansson.h>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "platform/records.h"

namespace {

void init_once()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    // Never the machine's bus or files.
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/gw-fuzz-bus", 1);
    char tmpl[] = "/tmp/gw-fuzz-rpc-XXXXXX";
    if (const char *dir = mkdtemp(tmpl))
        setenv("GW_ROOT", dir, 1);
    gwagent_queues_init();
}

void drain()
{
    void *data = nullptr;
    while (fifo_buffer_get(&socket_plug_tx_header, &data, nullptr) == 0) {
        const char *text = static_cast<const char *>(data);
        // Every queued text is a complete wrap.
        if (strncmp(text, "{\"Result\":0,\"ID\":", 17) != 0)
            abort();
        free(data);
    }
}

void run_as_parameter(const uint8_t *data, size_t size, const char *method, const char *plugin)
{
    gchar *b64 = g_base64_encode(data, size);
    gwagent::JsonPtr msg(json_object());
    json_object_set_new(msg.get(), "ID", json_integer(static_cast<json_int_t>(size)));
    json_object_set_new(msg.get(), "PluginName", json_string(plugin));
    json_object_set_new(msg.get(), "Parameter", json_string(b64));
    g_free(b64);
    handle_server_rpc_message(msg.get(), method);
    drain();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    init_once();
    memset(&g_dev_info, 0, sizeof g_dev_info);
    if (size > 0) {
        g_dev_info.DevWiFi = data[0] & 1;
        g_dev_info.DevUSB = (data[0] >> 1) & 1;
        g_dev_info.POTSNum = (data[0] >> 2) & 1;
        g_dev_info.DevType = (data[0] & 8) ? 11 : 12;
    }

    json_error_t err;
    gwagent::JsonPtr whole(json_loadb(reinterpret_cast<const char *>(data), size, 0, &err));
    if (whole) {
        json_t *method = json_object_get(whole.get(), "RPCMethod");
        handle_server_rpc_message(whole.get(), json_is_string(method) ? json_string_value(method) : nullptr);
        drain();
    }
    run_as_parameter(data, size, "Post", "ZEP");
    run_as_parameter(data, size, "SetPluginParameterValues", "NAS");
    // Timers armed by handlers are never run here.
    uloop_timeout_cancel(&g_timeout_syslog);
    return 0;
}
