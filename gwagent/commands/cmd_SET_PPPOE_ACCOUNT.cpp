// SET_PPPOE_ACCOUNT: a WAN connection's PPPoE account; the password arrives encrypted.
#include <cstring>

#include "commands/cmd_request.h"
#include "commands/cmd_wan.h"
#include "core/crypto.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

extern "C" int cmd_SET_PPPOE_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char name[256] = {}, account[64] = {}, secret[64] = {}, dial_mode[16] = {};
    int idle = 0;
    if (!r.required("WANName", name) || !name[0] || !r.required("Account", account) ||
        !r.required("Password", secret) || !r.required("DialMode", dial_mode))
        return r.fail("parameter_error");
    if (!r.required_int("IdleTime", idle))
        return r.fail("parameter_error");
    char password[64] = {};
    bool printable = de_aes256_ecb1(gwagent::password_key().c_str(), secret, password, sizeof password) == 0;
    for (const char *c = password; printable && *c; ++c)
        printable = *c >= 0x20 && *c <= 0x7E;
    if (!printable) {
        GWLOG(LOG_LVL_WARN, "passwd contains invalid characters.");
        return r.fail("PWD_CHAR_INVALID");
    }
    // The method belongs to the PPPoE instance of that WAN connection.
    gwagent::ObjList<ccif_PPPoE_t> list;
    list.read(ccif_PPPoE_get_objs);
    const char *path = nullptr;
    for (const ccif_PPPoE_t &e : list)
        if (!path && std::strcmp(e.WANName, name) == 0)
            path = e.path;
    if (!path) {
        GWLOG(LOG_LVL_WARN, "no PPPoE object of WAN %s.", name);
        return r.fail("callMethod_failed");
    }
    int status = 0;
    char *errmsg = nullptr;
    const int rc =
        mth_SetPPPOEAccount(path, name, account, password, dial_mode, static_cast<uint32_t>(idle), &status, &errmsg);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0) {
        GWLOG(LOG_LVL_WARN, "mth_SetPPPOEAccount() return failed, status = %d, %s.", status, errmsg ? errmsg : "");
        return r.fail("callMethod_failed");
    }
    return r.ok();
}
