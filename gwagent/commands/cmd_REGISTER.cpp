// REGISTER: hands the user's registration credentials to the configuration service.
#include "commands/cmd_request.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_REGISTER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char user_id[64] = {}, password[64] = {}, province[8] = {};
    if (!r.required("USERID", user_id) || !r.required("PASSWORD", password) || !r.required("Province", province))
        return r.fail("parameter_error");
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_Register(user_id, password, province, &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    return r.method_result("mth_Register", rc, status, errmsg);
}
