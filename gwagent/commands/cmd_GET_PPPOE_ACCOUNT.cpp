// GET_PPPOE_ACCOUNT: the PPPoE account of a WAN connection; the password leaves encrypted.
#include <cstring>
#include <memory>

#include "commands/cmd_answer.h"
#include "commands/cmd_wan.h"
#include "gwbus/log.h"
#include "platform/crypto.h"

extern "C" int cmd_GET_PPPOE_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    char name[256] = {};
    if (!gwagent::required_string(cmd, cmd_type, "WANName", name, 255) || !name[0])
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    ccif_PPPoE_t *list = nullptr;
    int count = 0;
    if (ccif_PPPoE_get_objs(&list, &count) != 0) {
        GWLOG(LOG_LVL_WARN, "get PPPoE failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    }
    std::unique_ptr<ccif_PPPoE_t, decltype(&g_free)> owned(list, g_free);
    const ccif_PPPoE_t *p = nullptr;
    for (int i = 0; i < count && !p; ++i)
        if (std::strcmp(list[i].WANName, name) == 0)
            p = &list[i];
    if (!p)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "NOT_PPPoE_ROUTED_WAN", fd);
    char secret[1025] = {};
    if (en_aes256_ecb1(gwagent::password_key().c_str(), p->PPPoEPassword, secret, sizeof secret) != 0)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    gwagent::JsonPtr answer(build_json_head(cmd_type, sequence_id, 0));
    if (!answer || json_object_set_new(answer.get(), "Account", json_string(p->PPPoEUserName)) != 0 ||
        json_object_set_new(answer.get(), "Password", json_string(secret)) != 0 ||
        json_object_set_new(answer.get(), "DialMode", json_string(p->DialMode)) != 0 ||
        json_object_set_new(answer.get(), "IdleTime", json_integer(p->IdleTime)) != 0)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    return gwagent::answer_json(id, answer.get(), fd);
}
