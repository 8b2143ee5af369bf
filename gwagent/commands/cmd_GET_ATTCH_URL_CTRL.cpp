// GET_ATTCH_URL_CTRL: the template each host is bound to, for the listed MACs (an empty list: all).
#include "commands/cmd_lanhost.h"
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"

namespace {

bool wanted(const std::vector<std::string> &macs, const char *mac)
{
    if (macs.empty())
        return true;
    for (const std::string &m : macs)
        if (gwagent::same_mac(m.c_str(), mac))
            return true;
    return false;
}

json_t *binding_entry(const ccif_URLControlCTR_t &b)
{
    json_t *e = json_object();
    if (e && (json_object_set_new(e, "MAC", json_string(b.MAC)) != 0 ||
              json_object_set_new(e, "TemplateName", json_string(b.TemplateName)) != 0)) {
        json_decref(e);
        return nullptr;
    }
    return e;
}

}  // namespace

extern "C" int cmd_GET_ATTCH_URL_CTRL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    std::vector<std::string> macs;
    if (!gwagent::read_mac_filter(cmd, cmd_type, macs))
        return r.fail("parameter_error");
    gwagent::HostBindings bindings;
    if (!bindings.read())
        return r.fail("object_not_exist");
    gwagent::JsonPtr answer = r.head();
    if (!answer)
        return r.fail("create_json_fail");
    json_t *list = json_array();
    if (json_object_set_new(answer.get(), "TemplateNameList", list) != 0)
        return r.fail("create_json_fail");
    gwagent::AnswerBudget budget(answer.get());
    for (const ccif_URLControlCTR_t &b : bindings) {
        if (!wanted(macs, b.MAC))
            continue;
        if (!budget.append(list, binding_entry(b))) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %zu entries to fit the answer.", cmd_type, json_array_size(list));
            break;
        }
    }
    return r.answer(answer.get());
}
