// SET_ONT_NAME: renames the gateway (DeviceInfo.DevName).
#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"

extern "C" int cmd_SET_ONT_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char name[256] = {};
    if (get_string_json_value(cmd, "Name", JSON_STRING, name, sizeof name) != 0) {
        GWLOG(LOG_LVL_WARN, "SET_ONT_NAME json string missing Parameter Name");
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    // Cut at 255 bytes; a multi-byte character split by the cut is dropped whole (a GVariant string
    // must be valid UTF-8).
    const char *end = nullptr;
    if (!g_utf8_validate(name, -1, &end))
        name[end - name] = '\0';
    if (g_hgu_SetProperty(HGU_BUS_NAME, "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DevName",
                          g_variant_new_string(name)) != 0) {
        GWLOG(LOG_LVL_WARN, "set DeviceInfo.DevName failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "SET_FAILED", fd);
    }
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}
