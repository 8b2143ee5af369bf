// GET_PON_TRAFFIC: bytes sent and received on the PON link, in KiB.
#include <cinttypes>
#include <cstdio>

#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_GET_PON_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_WARN, "get PONInfo failed.");
        return r.fail("NO_PONInfo");
    }
    char traffic[48];
    std::snprintf(traffic, sizeof traffic, "%" PRIu64 "/%" PRIu64, pon.BytesSent >> 10, pon.BytesReceived >> 10);
    return r.members({{"Traffic", traffic}});
}
