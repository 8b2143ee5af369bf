// GET_PPPOE_ACCOUNT: the PPPoE account of a WAN connection; the password leaves encrypted.
#include <cstring>

#include "commands/cmd_request.h"
#include "commands/cmd_wan.h"
#include "core/crypto.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_PPPOE_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    char name[256] = {};
    if (!r.required("WANName", name) || !name[0])
        return r.fail("parameter_error");
    gwagent::ObjList<ccif_PPPoE_t> list;
    if (!list.read(ccif_PPPoE_get_objs)) {
        GWLOG(LOG_LVL_WARN, "get PPPoE failed.");
        return r.fail("object_not_exist");
    }
    const ccif_PPPoE_t *p = nullptr;
    for (const ccif_PPPoE_t &e : list)
        if (!p && std::strcmp(e.WANName, name) == 0)
            p = &e;
    if (!p)
        return r.fail("NOT_PPPoE_ROUTED_WAN");
    char secret[1025] = {};
    if (en_aes256_ecb1(gwagent::password_key().c_str(), p->PPPoEPassword, secret, sizeof secret) != 0)
        return r.fail("create_json_fail");
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Account", json_string(p->PPPoEUserName)) != 0 ||
        json_object_set_new(answer.get(), "Password", json_string(secret)) != 0 ||
        json_object_set_new(answer.get(), "DialMode", json_string(p->DialMode)) != 0 ||
        json_object_set_new(answer.get(), "IdleTime", json_integer(p->IdleTime)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}
