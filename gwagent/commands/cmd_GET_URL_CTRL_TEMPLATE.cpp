// GET_URL_CTRL_TEMPLATE: one template with its durations and URL list.
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"

namespace {

json_t *duration_entry(const ccif_URLControlDuration_t &d)
{
    json_t *e = json_object();
    if (e && (json_object_set_new(e, "StartTime", json_string(d.StartTime)) != 0 ||
              json_object_set_new(e, "EndTime", json_string(d.EndTime)) != 0 ||
              json_object_set_new(e, "RepeatDay", json_string(d.RepeatDay)) != 0)) {
        json_decref(e);
        return nullptr;
    }
    return e;
}

}  // namespace

extern "C" int cmd_GET_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::TemplateList list;
    int rc = -1;
    const ccif_URLControlConfig_t *t = gwagent::find_named_template(r, list, &rc);
    if (!t)
        return rc;
    gwagent::DurationList durations;
    if (!durations.read(t->path))
        return r.fail("object_not_exist");

    gwagent::JsonPtr answer = r.head();
    if (!answer)
        return r.fail("create_json_fail");
    // The arrays stay owned here and are shared with the answer, so no exit leaks them.
    gwagent::JsonPtr spans(json_array());
    gwagent::JsonPtr urls(json_array());
    json_t *o = answer.get();
    if (!spans || !urls || json_object_set_new(o, "Name", json_string(t->Name)) != 0 ||
        json_object_set(o, "Duration", spans.get()) != 0 ||
        json_object_set_new(o, "UrlFilterEnable", json_string(std::to_string(t->UrlFilterEnable).c_str())) != 0 ||
        json_object_set_new(o, "UrlFilterPolicy", json_string(std::to_string(t->UrlFilterPolicy).c_str())) != 0 ||
        json_object_set(o, "UrlFilterList", urls.get()) != 0)
        return r.fail("create_json_fail");
    // Durations first: a cut list of URLs still leaves the schedule whole.
    gwagent::AnswerBudget budget(answer.get());
    for (const ccif_URLControlDuration_t &d : durations) {
        if (!budget.append(spans.get(), duration_entry(d))) {
            GWLOG(LOG_LVL_WARN, "%s durations cut at %zu to fit the answer.", cmd_type, json_array_size(spans.get()));
            break;
        }
    }
    for (char **u = t->UrlFilterList; u && *u; ++u) {
        if (!budget.append(urls.get(), json_string(*u))) {
            GWLOG(LOG_LVL_WARN, "%s URL list cut at %zu to fit the answer.", cmd_type, json_array_size(urls.get()));
            break;
        }
    }
    return r.answer(answer.get());
}
