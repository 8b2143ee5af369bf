// GET_HG_SYSTEM_INFO: versions, identity and uptime of the gateway, and its uplink type.
#include "commands/cmd_request.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_GET_HG_SYSTEM_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_DeviceInfo_t dev{};
    if (ccif_DeviceInfo_get(&dev) != 0) {
        GWLOG(LOG_LVL_WARN, "get DeviceInfo failed.");
        return r.fail("NO_DeviceInfo");
    }
    GVariant *raw = nullptr;
    const int rc =
        g_hgu_GetProperty(HGU_BUS_NAME, "/com/yvc/igd1/Info/Network", "com.yvc.igd1.NetworkInfo", "UPLink", &raw);
    gw::VariantPtr uplink(raw);
    if (rc != 0 || !uplink || !g_variant_is_of_type(uplink.get(), G_VARIANT_TYPE_BYTE)) {
        GWLOG(LOG_LVL_WARN, "get NetworkInfo.UPLink failed.");
        return r.fail("GET_UPLink_FAILED");
    }
    return r.members({{"SWVersion", dev.SWVersion},
                      {"HDVersion", dev.HDVersion},
                      {"ProductClass", dev.ProductClass},
                      {"UPLink", std::to_string(g_variant_get_byte(uplink.get()))},
                      {"MAC", dev.MAC},
                      {"GPONSN", dev.GPONSN},
                      {"RUNNINGTIME", std::to_string(dev.UpTime)}});
}
