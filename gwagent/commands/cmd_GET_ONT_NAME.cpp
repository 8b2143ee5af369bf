// GET_ONT_NAME: the gateway's name (DeviceInfo.DevName).
#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_GET_ONT_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    GVariant *raw = nullptr;
    const int rc = g_hgu_GetProperty(HGU_BUS_NAME, "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DevName",
                                     &raw);
    gw::VariantPtr value(raw);
    if (rc != 0 || !value || !g_variant_is_of_type(value.get(), G_VARIANT_TYPE_STRING)) {
        GWLOG(LOG_LVL_WARN, "get DeviceInfo.DevName failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_DevName", fd);
    }
    // Built with the JSON library so that a name holding quotes or backslashes still answers.
    gwagent::JsonPtr answer(build_json_head(cmd_type, sequence_id, 0));
    json_t *name = json_string(g_variant_get_string(value.get(), nullptr));
    if (!answer || json_object_set_new(answer.get(), "Name", name) != 0)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    return gwagent::answer_json(id, answer.get(), fd);
}
