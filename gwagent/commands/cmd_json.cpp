// Parameter accessors and answer builders of the command envelope.
#include "commands/cmd_json.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gwbus/log.h"
#include "gwbus/strutil.h"

using gwagent::JsonPtr;

extern "C" int get_string_json_value(json_t *obj, const char *key, int type, char *dst, size_t size)
{
    json_t *member = (obj && key) ? json_object_get(obj, key) : nullptr;
    if (!member)
        return -1;
    if (json_is_null(member))
        return 0;
    const int actual = static_cast<int>(json_typeof(member));
    if (actual != type) {
        GWLOG(LOG_LVL_WARN, "invalid JSON type (%d) for %s, should be %d", actual, key, type);
        return -1;
    }
    if (!json_is_string(member)) {
        GWLOG(LOG_LVL_WARN, "json type is not string.");
        return 0;
    }
    if (dst && size)
        copy_truncated(dst, size, json_string_value(member));
    return 0;
}

extern "C" int get_json_value(json_t *obj, const char *key, int type, void *out)
{
    json_t *member = (obj && key) ? json_object_get(obj, key) : nullptr;
    if (!member)
        return -1;
    const int actual = static_cast<int>(json_typeof(member));
    if (actual != type) {
        GWLOG(LOG_LVL_WARN, "%s : JSON type %d invalid, should be %d", key, actual, type);
        return json_is_string(member) ? -2 : -3;
    }
    switch (json_typeof(member)) {
    case JSON_INTEGER:
        if (out)
            *static_cast<int *>(out) =
                static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(json_integer_value(member))));
        break;
    case JSON_REAL:
        if (out)
            *static_cast<double *>(out) = json_real_value(member);
        break;
    case JSON_TRUE:
        if (out)
            *static_cast<int *>(out) = 1;
        break;
    case JSON_FALSE:
        if (out)
            *static_cast<int *>(out) = 0;
        break;
    default:
        GWLOG(LOG_LVL_WARN, "not supported json type : %d", actual);
        break;
    }
    return 0;
}

extern "C" json_t *build_json_head(const char *cmd_type, const char *sequence_id, int status)
{
    JsonPtr obj(json_object());
    if (!obj)
        return nullptr;
    char status_text[16];
    snprintf(status_text, sizeof status_text, "%d", status);
    if (json_object_set_new(obj.get(), "CmdType", json_string(cmd_type ? cmd_type : "")) != 0 ||
        json_object_set_new(obj.get(), "SequenceId", json_string(sequence_id ? sequence_id : "")) != 0 ||
        json_object_set_new(obj.get(), "Status", json_string(status_text)) != 0)
        return nullptr;
    return obj.release();
}

extern "C" char *gw_json_dump_compact(const json_t *obj)
{
    return obj ? json_dumps(obj, JSON_COMPACT | JSON_PRESERVE_ORDER) : nullptr;
}

extern "C" char *build_error_json(const char *cmd_type, const char *sequence_id, int status, const char *reason)
{
    JsonPtr obj(build_json_head(cmd_type, sequence_id, status));
    if (!obj)
        return nullptr;
    if (status != 0 && json_object_set_new(obj.get(), "FailReason", json_string(reason ? reason : "")) != 0)
        return nullptr;
    return gw_json_dump_compact(obj.get());
}

extern "C" void ucf_json_decref(json_t *obj)
{
    if (obj)
        json_decref(obj);
}
