// GET_URL_CTRL_TEMPLATES_LIST: the names of every URL-control template.
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"

extern "C" int cmd_GET_URL_CTRL_TEMPLATES_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *,
                                               int fd)
{
    gwagent::TemplateList list;
    if (!list.read())
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
    gwagent::JsonPtr answer(build_json_head(cmd_type, sequence_id, 0));
    if (!answer)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    json_t *names = json_array();
    if (json_object_set_new(answer.get(), "Name", names) != 0)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    gwagent::AnswerBudget budget(answer.get());
    for (const ccif_URLControlConfig_t &t : list) {
        if (!budget.append(names, json_string(t.Name))) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %zu names to fit the answer.", cmd_type, json_array_size(names));
            break;
        }
    }
    return gwagent::answer_json(id, answer.get(), fd);
}
