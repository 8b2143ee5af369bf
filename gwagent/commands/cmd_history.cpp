// GET_LAN_HISTORY_TRAFFIC and GET_PON_HISTORY_TRAFFIC: stored traffic samples of the Ethernet ports
// and of the PON uplink.
#include <cstdlib>
#include <memory>

#include "commands/cmd_request.h"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

namespace {

// A non-negative count, sent as a JSON integer: a number sent as text is a parameter failure.
bool count_param(json_t *cmd, const char *key, uint32_t *out)
{
    json_t *v = json_object_get(cmd, key);
    if (!json_is_integer(v))
        return false;
    const json_int_t n = json_integer_value(v);
    if (n < 0 || n > UINT32_MAX)
        return false;
    *out = static_cast<uint32_t>(n);
    return true;
}

json_t *text_array(char **texts, int count)
{
    json_t *array = json_array();
    for (int i = 0; array && texts && i < count && texts[i]; ++i)
        if (json_array_append_new(array, json_string(texts[i])) != 0) {
            json_decref(array);
            return nullptr;
        }
    return array;
}

using LanHistory = gwagent::ApiList<api_LANHistoryTraffic_t, api_releaseLANHistoryTraffic>;

struct StrList {
    char **v = nullptr;
    ~StrList() { g_hgu_freeStrList(v); }
};

}  // namespace

extern "C" int cmd_GET_LAN_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    uint32_t index = 0, start = 0, num = 0;
    if (!count_param(cmd, "index", &index) || !count_param(cmd, "Start", &start) || !count_param(cmd, "Num", &num)) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter index, Start or Num", cmd_type);
        return r.fail("Parse input params fail!");
    }
    LanHistory history;
    const int rc = api_getLANHistoryTraffic(index, start, num, &history.items, &history.count);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, return %d.", "api_getLANHistoryTraffic", rc);
        return r.fail(gwagent::capi_fail_word(rc));
    }
    gwagent::JsonPtr answer = r.head();
    json_t *array = json_array();
    if (!answer || !array || json_object_set_new(answer.get(), "Traffic", array) != 0)
        return r.fail("Create json fail!");
    for (int i = 0; i < history.count; ++i) {
        const api_LANHistoryTraffic_t &port = history.items[i];
        json_t *entry = json_object();
        if (!entry || json_array_append_new(array, entry) != 0 ||
            json_object_set_new(entry, "index", json_integer(port.index)) != 0 ||
            json_object_set_new(entry, "TrafficBase", json_string(port.TrafficBase)) != 0 ||
            json_object_set_new(entry, "History", text_array(port.History, port.HistoryNum)) != 0)
            return r.fail("Create json fail!");
    }
    return r.answer(answer.get());
}

extern "C" int cmd_GET_PON_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    uint32_t start = 0, num = 0;
    if (!count_param(cmd, "Start", &start) || !count_param(cmd, "Num", &num)) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter Start or Num", cmd_type);
        return r.fail("parameter_error");
    }
    char *base_raw = nullptr;
    StrList samples;
    int sample_count = 0, status = 0;
    char *errmsg = nullptr;
    const int rc = mth_GetPONHistoryTraffic(start, num, &base_raw, &samples.v, &sample_count, &status, &errmsg);
    gw::GCharPtr base(base_raw);
    gw::GCharPtr msg(errmsg);
    if (rc != 0 || status != 0)
        return r.method_result("mth_GetPONHistoryTraffic", rc, status, errmsg);
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "TrafficBase", json_string(base ? base.get() : "")) != 0 ||
        json_object_set_new(answer.get(), "History", text_array(samples.v, sample_count)) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}
