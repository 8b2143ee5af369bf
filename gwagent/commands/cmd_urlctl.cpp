#include "commands/cmd_urlctl.h"

#include <cctype>
#include <cstring>
#include <vector>

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

bool required_text(json_t *cmd, const char *cmd_type, const char *param, size_t keep, std::string &out)
{
    std::vector<char> buf(keep + 1, '\0');
    if (get_string_json_value(cmd, param, JSON_STRING, buf.data(), buf.size()) != 0) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter %s", cmd_type, param);
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return false;
    }
    // A character split by the cut goes whole: the bus carries only valid UTF-8.
    const char *end = nullptr;
    if (!g_utf8_validate(buf.data(), -1, &end))
        buf[static_cast<size_t>(end - buf.data())] = '\0';
    out = buf.data();
    return true;
}

const ccif_URLControlConfig_t *find_named_template(int id, const char *sequence_id, const char *cmd_type,
                                                   json_t *cmd, int fd, TemplateList &list, int *rc)
{
    std::string name;
    if (!required_text(cmd, cmd_type, "Name", kTemplateNameKeep, name)) {
        *rc = answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
        return nullptr;
    }
    if (!list.read()) {
        *rc = answer_status(id, sequence_id, cmd_type, 1, "object_not_exist", fd);
        return nullptr;
    }
    const ccif_URLControlConfig_t *t = list.find(name);
    if (!t) {
        GWLOG(LOG_LVL_WARN, "%s no URLControlConfig named %s.", cmd_type, name.c_str());
        *rc = answer_status(id, sequence_id, cmd_type, 1, "NOT_MATCH_URLControlConfig", fd);
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
