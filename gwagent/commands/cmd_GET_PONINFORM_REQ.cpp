// GET_PONINFORM_REQ: the optical module's readings.
#include "commands/cmd_answer.h"
#include "gwbus/log.h"
#include "gwbus/objects.h"

extern "C" int cmd_GET_PONINFORM_REQ(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd)
{
    ccif_PONInfo_t pon {};
    if (ccif_PONInfo_get(&pon) != 0) {
        GWLOG(LOG_LVL_WARN, "get PONInfo failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NO_PONInfo", fd);
    }
    using gwagent::two_decimals;
    return gwagent::answer_members(id, sequence_id, cmd_type,
                                   {{"Temperature", two_decimals(pon.Temperature)},
                                    {"Voltage", two_decimals(pon.Voltage)},
                                    {"Current", two_decimals(pon.Current)},
                                    {"TXPower", two_decimals(pon.TXPower)},
                                    {"RXPower", two_decimals(pon.RXPower)}},
                                   fd);
}
