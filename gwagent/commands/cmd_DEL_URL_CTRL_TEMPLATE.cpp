// DEL_URL_CTRL_TEMPLATE: deletes the template of that name (its durations go with it).
#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"

extern "C" int cmd_DEL_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    gwagent::TemplateList list;
    int rc = -1;
    const ccif_URLControlConfig_t *t = gwagent::find_named_template(r, list, &rc);
    if (!t)
        return rc;
    if (ccif_URLControlConfig_del_obj(t->path) != 0) {
        GWLOG(LOG_LVL_WARN, "delete URLControlConfig %s failed.", t->path);
        return r.fail("DEL_URLControlConfig_FAILED");
    }
    return r.ok();
}
