// GET_PONINFORM_REQ: the optical module's readings.
#include "commands/cmd_answer.h"
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_GET_PONINFORM_REQ(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    ccif_PONInfo_t pon{};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_WARN, "get PONInfo failed.");
        return r.fail("NO_PONInfo");
    }
    using gwagent::two_decimals;
    return r.members({{"Temperature", two_decimals(pon.Temperature)},
                      {"Voltage", two_decimals(pon.Voltage)},
                      {"Current", two_decimals(pon.Current)},
                      {"TXPower", two_decimals(pon.TXPower)},
                      {"RXPower", two_decimals(pon.RXPower)}});
}
