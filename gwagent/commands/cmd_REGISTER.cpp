// REGISTER: hands the user's registration credentials to the configuration service.
#include <memory>

#include "commands/cmd_answer.h"
#include "gwbus/methods.h"

extern "C" int cmd_REGISTER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char user_id[64] = {}, password[64] = {}, province[8] = {};
    using gwagent::required_string;
    if (!required_string(cmd, cmd_type, "USERID", user_id, 63) ||
        !required_string(cmd, cmd_type, "PASSWORD", password, 63) ||
        !required_string(cmd, cmd_type, "Province", province, 7))
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    int status = 0;
    char *errmsg = nullptr;
    const int rc = mth_Register(user_id, password, province, &status, &errmsg);
    std::unique_ptr<char, decltype(&g_free)> msg(errmsg, g_free);
    return gwagent::answer_method_result(id, sequence_id, cmd_type, "mth_Register", rc, status, errmsg, fd);
}
