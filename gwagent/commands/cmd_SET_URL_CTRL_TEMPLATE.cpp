// SET_URL_CTRL_TEMPLATE: updates the template of that name, or adds it, and replaces its durations.
// A write that fails on the way puts back what was there, so a failure never leaves half a template.
#include <cstdlib>
#include <vector>

#include <glib.h>

#include "commands/cmd_table.h"
#include "commands/cmd_urlctl.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

namespace {

struct TemplateRequest {
    std::string name;
    uint8_t enable = 0;
    uint8_t policy = 0;
    std::vector<std::string> urls;
    std::vector<ccif_URLControlDuration_t> durations;
};

// A byte parameter, sent as a decimal string (as the template is answered) or as a number.
bool byte_param(json_t *cmd, const char *cmd_type, const char *param, uint8_t &out)
{
    json_t *v = json_object_get(cmd, param);
    long long n = -1;
    if (json_is_integer(v)) {
        n = json_integer_value(v);
    } else if (json_is_string(v)) {
        const char *s = json_string_value(v);
        char *end = nullptr;
        if (*s >= '0' && *s <= '9')
            n = std::strtoll(s, &end, 10);
        if (!end || *end)
            n = -1;
    }
    if (n < 0 || n > 255) {
        GWLOG(LOG_LVL_WARN, "%s Parameter %s is invalid", cmd_type, param);
        return false;
    }
    out = static_cast<uint8_t>(n);
    return true;
}

bool duration_param(json_t *item, const char *cmd_type, ccif_URLControlDuration_t &d)
{
    struct Field {
        const char *name;
        char *dst;
        size_t keep;
    };
    const Field fields[] = {
        {"StartTime", d.StartTime, sizeof d.StartTime - 1},
        {"EndTime", d.EndTime, sizeof d.EndTime - 1},
        {"RepeatDay", d.RepeatDay, sizeof d.RepeatDay - 1},
    };
    if (!json_is_object(item)) {
        GWLOG(LOG_LVL_WARN, "%s Parameter Duration holds a non-object", cmd_type);
        return false;
    }
    for (const Field &f : fields) {
        std::string text;
        if (!gwagent::required_text(item, cmd_type, f.name, f.keep, text))
            return false;
        copy_truncated(f.dst, f.keep + 1, text.c_str());
    }
    return true;
}

// Everything is checked before anything is written.
bool read_request(json_t *cmd, const char *cmd_type, TemplateRequest &req)
{
    if (!gwagent::required_text(cmd, cmd_type, "Name", gwagent::kTemplateNameKeep, req.name) ||
        !byte_param(cmd, cmd_type, "UrlFilterEnable", req.enable) ||
        !byte_param(cmd, cmd_type, "UrlFilterPolicy", req.policy))
        return false;
    if (req.name.empty()) {
        GWLOG(LOG_LVL_WARN, "%s Parameter Name is empty", cmd_type);
        return false;
    }
    json_t *spans = json_object_get(cmd, "Duration");
    json_t *urls = json_object_get(cmd, "UrlFilterList");
    if (!json_is_array(spans) || !json_is_array(urls)) {
        GWLOG(LOG_LVL_WARN, "%s Parameter %s json type is invalid, should be array", cmd_type,
              json_is_array(spans) ? "UrlFilterList" : "Duration");
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return false;
    }
    size_t i;
    json_t *item;
    json_array_foreach(spans, i, item)
    {
        ccif_URLControlDuration_t d{};
        if (!duration_param(item, cmd_type, d))
            return false;
        req.durations.push_back(d);
    }
    json_array_foreach(urls, i, item)
    {
        if (!json_is_string(item)) {
            GWLOG(LOG_LVL_WARN, "%s Parameter UrlFilterList holds a non-string", cmd_type);
            return false;
        }
        req.urls.emplace_back(json_string_value(item));
    }
    return true;
}

// The four template properties in one write (the record write leaves the URL list out).
int write_template(const char *path, const char *name, uint8_t enable, uint8_t policy, const char *const *urls,
                   gssize url_count)
{
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&b, "{sv}", "Name", g_variant_new_string(name));
    g_variant_builder_add(&b, "{sv}", "UrlFilterEnable", g_variant_new_byte(enable));
    g_variant_builder_add(&b, "{sv}", "UrlFilterPolicy", g_variant_new_byte(policy));
    g_variant_builder_add(&b, "{sv}", "UrlFilterList", g_variant_new_strv(urls, urls ? url_count : 0));
    return ccif_URLControlConfig_setv(path, g_variant_builder_end(&b));
}

int write_request(const char *path, const TemplateRequest &req)
{
    std::vector<const char *> urls;
    for (const std::string &u : req.urls)
        urls.push_back(u.c_str());
    return write_template(path, req.name.c_str(), req.enable, req.policy, urls.data(),
                          static_cast<gssize>(urls.size()));
}

// Replaces every duration below the template; false as soon as one step fails.
bool put_durations(const char *path, const ccif_URLControlDuration_t *spans, size_t count)
{
    if (ccif_URLControlDuration_del_objs(path) != 0) {
        GWLOG(LOG_LVL_WARN, "delete URLControlDuration below %s failed.", path);
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        ccif_URLControlDuration_t d = spans[i];
        if (ccif_URLControlDuration_add_obj(path, &d) != 0) {
            GWLOG(LOG_LVL_WARN, "add URLControlDuration %zu below %s failed.", i + 1, path);
            return false;
        }
    }
    return true;
}

// Puts an existing template back as it was read, or removes one this command added.
void restore(const char *path, const ccif_URLControlConfig_t *old, const gwagent::DurationList &old_spans)
{
    bool whole = true;
    if (!old) {
        whole = ccif_URLControlConfig_del_obj(path) == 0;
    } else {
        whole = put_durations(path, old_spans.items, static_cast<size_t>(old_spans.count));
        whole =
            write_template(path, old->Name, old->UrlFilterEnable, old->UrlFilterPolicy, old->UrlFilterList, -1) == 0 &&
            whole;
    }
    GWLOG(LOG_LVL_WARN, "URLControlConfig %s %s.", path, whole ? "restored" : "could not be restored");
}

}  // namespace

extern "C" int cmd_SET_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    TemplateRequest req;
    if (!read_request(cmd, cmd_type, req))
        return r.fail("parameter_error");
    gwagent::TemplateList list;
    if (!list.read())
        return r.fail("object_not_exist");
    const ccif_URLControlConfig_t *old = list.find(req.name);
    gwagent::DurationList old_spans;
    if (old && !old_spans.read(old->path))
        return r.fail("object_not_exist");

    std::string path;
    if (old) {
        path = old->path;
        if (write_request(path.c_str(), req) != 0) {
            GWLOG(LOG_LVL_WARN, "set URLControlConfig %s failed.", path.c_str());
            return r.fail("SET_FAILED");
        }
    } else {
        ccif_URLControlConfig_t rec{};
        copy_truncated(rec.Name, req.name.c_str());
        rec.UrlFilterEnable = req.enable;
        rec.UrlFilterPolicy = req.policy;
        if (ccif_URLControlConfig_add_obj(&rec) != 0) {
            GWLOG(LOG_LVL_WARN, "add URLControlConfig %s failed.", req.name.c_str());
            return r.fail("SET_FAILED");
        }
        path = rec.path;
        if (write_request(path.c_str(), req) != 0) {
            GWLOG(LOG_LVL_WARN, "set URLControlConfig %s failed.", path.c_str());
            restore(path.c_str(), nullptr, old_spans);
            return r.fail("SET_FAILED");
        }
    }
    if (!put_durations(path.c_str(), req.durations.data(), req.durations.size())) {
        restore(path.c_str(), old, old_spans);
        return r.fail("SET_FAILED");
    }
    return r.ok();
}
