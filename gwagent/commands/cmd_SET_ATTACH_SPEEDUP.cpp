// SET_ATTACH_SPEEDUP: switches the speed-up of one attached host.
#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_SET_ATTACH_SPEEDUP(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char mac[13] = {};
    int speedup = 0;
    if (!r.required("MAC", mac))
        return r.fail("parameter_error");
    if (!r.required_int("Speedup", speedup))
        return r.fail("parameter_error");
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_SetAttachSpeedup(mac, static_cast<uint8_t>(speedup != 0), &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    return r.method_result("mth_SetAttachSpeedup", rc, status, errmsg);
}
