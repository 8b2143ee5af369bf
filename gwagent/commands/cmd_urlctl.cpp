#include "commands/cmd_urlctl.h"

#include <cctype>
#include <cstring>

#include <glib.h>

#include "commands/cmd_table.h"
#include "gwbus/log.h"

namespace gwagent {

TemplateList::~TemplateList() { ccif_free_objs("URLControlConfig", items, count); }

bool TemplateList::read()
{
    ccif_free_objs("URLControlConfig", items, count);
    items = nullptr;
    count = 0;
    if (ccif_URLControlConfig_get_objs(&items, &count) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "get URLControlConfig.x from /com/yvc/igd1/Config/URLControlConfig/{i} failed.");
    return false;
}

const ccif_URLControlConfig_t *TemplateList::find(const std::string &name) const
{
    for (const ccif_URLControlConfig_t &t : *this)
        if (name == t.Name)
            return &t;
    return nullptr;
}

DurationList::~DurationList() { g_free(items); }

bool DurationList::read(const char *template_path)
{
    g_free(items);
    items = nullptr;
    count = 0;
    if (ccif_URLControlDuration_get_objs(template_path, &items, &count) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "get URLControlDuration.x below %s failed.", template_path);
    return false;
}

HostBindings::~HostBindings() { g_free(items); }

bool HostBindings::read()
{
    g_free(items);
    items = nullptr;
    count = 0;
    if (ccif_URLControlCTR_get_objs(&items, &count) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "get URLControlCTR.x from /com/yvc/igd1/Config/URLControlCTR/{i} failed.");
    return false;
}

const ccif_URLControlCTR_t *HostBindings::find(const char *mac) const
{
    for (const ccif_URLControlCTR_t &b : *this)
        if (same_mac(b.MAC, mac))
            return &b;
    return nullptr;
}

bool valid_mac(const char *mac)
{
    size_t n = 0;
    for (; mac[n]; ++n)
        if (n >= 12 || !std::isxdigit(static_cast<unsigned char>(mac[n])))
            return false;
    return n == 12;
}

bool same_mac(const char *a, const char *b)
{
    for (;;) {
        while (*a == ':')
            ++a;
        while (*b == ':')
            ++b;
        if (!*a || !*b)
            return !*a && !*b;
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
        ++a;
        ++b;
    }
}

const ccif_URLControlConfig_t *find_named_template(const Request &r, TemplateList &list, int *rc)
{
    std::string name;
    if (!r.required_text("Name", kTemplateNameKeep, name)) {
        *rc = r.fail("parameter_error");
        return nullptr;
    }
    if (!list.read()) {
        *rc = r.fail("object_not_exist");
        return nullptr;
    }
    const ccif_URLControlConfig_t *t = list.find(name);
    if (!t) {
        GWLOG(LOG_LVL_WARN, "%s no URLControlConfig named %s.", r.cmd_type(), name.c_str());
        *rc = r.fail("NOT_MATCH_URLControlConfig");
    }
    return t;
}

AnswerBudget::AnswerBudget(const json_t *answer)
{
    CharPtr text(gw_json_dump_compact(answer));
    if (text) {
        used_ = strlen(text.get());
        ok_ = used_ <= CMD_RESP_MAX;
    }
}

bool AnswerBudget::append(json_t *array, json_t *item)
{
    JsonPtr owned(item);
    CharPtr text(owned ? json_dumps(owned.get(), JSON_COMPACT | JSON_PRESERVE_ORDER | JSON_ENCODE_ANY) : nullptr);
    if (!text)
        return false;
    const size_t grown = used_ + strlen(text.get()) + (json_array_size(array) ? 1 : 0);
    if (grown > CMD_RESP_MAX || json_array_append_new(array, owned.release()) != 0)
        return false;
    used_ = grown;
    return true;
}

}  // namespace gwagent
