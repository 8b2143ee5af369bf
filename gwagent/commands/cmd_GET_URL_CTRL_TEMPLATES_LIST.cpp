// GET_URL_CTRL_TEMPLATES_LIST: the names of every URL-control template.
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_URL_CTRL_TEMPLATES_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                               int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::TemplateList list;
    if (!list.read())
        return r.fail("object_not_exist");
    gwagent::JsonPtr answer = r.head();
    if (!answer)
        return r.fail("create_json_fail");
    json_t *names = json_array();
    if (json_object_set_new(answer.get(), "Name", names) != 0)
        return r.fail("create_json_fail");
    gwagent::AnswerBudget budget(answer.get());
    for (const ccif_URLControlConfig_t &t : list) {
        if (!budget.append(names, json_string(t.Name))) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %zu names to fit the answer.", cmd_type, json_array_size(names));
            break;
        }
    }
    return r.answer(answer.get());
}
