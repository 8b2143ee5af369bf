#include "commands/cmd_request.h"

#include <climits>
#include <cstdlib>
#include <vector>

#include "commands/cmd_table.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

namespace gwagent {

namespace {

void log_missing(const char *cmd_type, const char *param)
{
    GWLOG(LOG_LVL_WARN, "%s json string missing Parameter %s", cmd_type, param);
    GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
}

}  // namespace

bool Request::required(const char *param, char *dst, size_t keep) const
{
    if (get_string_json_value(cmd_, param, JSON_STRING, dst, keep + 1) == 0)
        return true;
    log_missing(cmd_type_, param);
    return false;
}

bool Request::required_int(const char *param, int &out) const
{
    int v = 0;
    if (get_json_value(cmd_, param, JSON_INTEGER, &v) == 0) {
        out = v;
        return true;
    }
    log_missing(cmd_type_, param);
    return false;
}

bool Request::optional(const char *param, char *dst, size_t keep) const
{
    if (!json_object_get(cmd_, param))
        return true;
    return required(param, dst, keep);
}

bool Request::optional_int(const char *param, int &out) const
{
    const json_t *v = json_object_get(cmd_, param);
    if (!v || json_is_null(v))
        return true;
    return required_int(param, out);
}

bool Request::required_text(const char *param, size_t keep, std::string &out) const
{
    return gwagent::required_text(cmd_, cmd_type_, param, keep, out);
}

bool required_text(json_t *obj, const char *cmd_type, const char *param, size_t keep, std::string &out)
{
    std::vector<char> buf(keep + 1, '\0');
    if (get_string_json_value(obj, param, JSON_STRING, buf.data(), buf.size()) != 0) {
        log_missing(cmd_type, param);
        return false;
    }
    // A character split by the cut goes whole: the bus carries only valid UTF-8.
    out = trim_partial_utf8(buf.data());
    return true;
}

int Request::ok() const { return answer_status(id_, sequence_id_, cmd_type_, 0, nullptr, fd_); }

int Request::fail(const char *reason) const { return answer_status(id_, sequence_id_, cmd_type_, 1, reason, fd_); }

int Request::answer(const json_t *obj) const { return answer_json(id_, obj, fd_); }

JsonPtr Request::head(int status) const { return JsonPtr(build_json_head(cmd_type_, sequence_id_, status)); }

int Request::members(std::initializer_list<std::pair<const char *, std::string>> values) const
{
    JsonPtr obj = head();
    if (!obj)
        return fail("create_json_fail");
    for (const auto &[key, value] : values)
        if (json_object_set_new(obj.get(), key, json_string(value.c_str())) != 0)
            return fail("create_json_fail");
    return answer(obj.get());
}

bool interval_seconds(const char *text, int &seconds)
{
    constexpr long long kMax = INT_MAX / 1000;
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > kMax || v < -kMax) {
        GWLOG(LOG_LVL_WARN, "interval %s is out of range.", text);
        return false;
    }
    seconds = static_cast<int>(v);
    return true;
}

const char *capi_fail_word(int rc)
{
    switch (rc) {
    case 0:
        return nullptr;
    case -1:
        return "CAPI return fail!";
    case -10:
        return "Parse input params fail!";
    default:
        return "undefine";
    }
}

int Request::capi_result(int rc) const
{
    const char *word = capi_fail_word(rc);
    return word ? fail(word) : ok();
}

int Request::method_result(const char *method, int rc, int status, const char *errmsg) const
{
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s() failed, t_ret = %d.", method, rc);
        return fail("callMethod_failed");
    }
    if (status != 0) {
        GWLOG(LOG_LVL_WARN, "%s() return failed, status = %d, %s.", method, status, errmsg ? errmsg : "");
        return fail(errmsg && *errmsg ? errmsg : "callMethod_failed");
    }
    return ok();
}

}  // namespace gwagent
