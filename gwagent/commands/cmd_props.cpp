// The single-property members: one row per query or setting, one generic handler for each kind.
#include <cstring>
#include <string>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"

namespace {

// How a property value becomes the answer text; false when the value has the wrong type.
using ToText = bool (*)(GVariant *v, std::string &out);

bool string_text(GVariant *v, std::string &out)
{
    if (!g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return false;
    out = g_variant_get_string(v, nullptr);
    return true;
}

bool byte_on_off(GVariant *v, std::string &out)
{
    if (!g_variant_is_of_type(v, G_VARIANT_TYPE_BYTE))
        return false;
    out = g_variant_get_byte(v) ? "ON" : "OFF";
    return true;
}

bool bool_on_off(GVariant *v, std::string &out)
{
    if (!g_variant_is_of_type(v, G_VARIANT_TYPE_BOOLEAN))
        return false;
    out = g_variant_get_boolean(v) ? "ON" : "OFF";
    return true;
}

bool byte_decimal(GVariant *v, std::string &out)
{
    if (!g_variant_is_of_type(v, G_VARIANT_TYPE_BYTE))
        return false;
    out = std::to_string(g_variant_get_byte(v));
    return true;
}

// Only the two registration states the platform knows get the prefix; anything else reads as "".
bool pon_status(GVariant *v, std::string &out)
{
    if (!g_variant_is_of_type(v, G_VARIANT_TYPE_STRING))
        return false;
    const char *s = g_variant_get_string(v, nullptr);
    out = std::strcmp(s, "NO_REG_NO_AUTH") == 0 || std::strcmp(s, "REG_AUTH") == 0 ? std::string("PON_STATUS_") + s
                                                                                     : std::string();
    return true;
}

struct Query {
    const char *cmd_type;
    const char *path;
    const char *iface;
    const char *object;  // short name in log lines
    const char *prop;
    const char *member;  // answer member
    ToText to_text;
    const char *fail_word;
};

constexpr Query kQueries[] = {
    {"GET_LED_STATUS", "/com/yvc/igd1/Config/Peripheral/LED", "com.yvc.igd1.LED", "LED", "LEDStatus", "LEDStatus",
     byte_on_off, "NO_LEDStatus"},
    {"GET_ONT_NAME", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "DevName", "Name",
     string_text, "NO_DevName"},
    {"GET_PON_STATUS", "/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "PONInfo", "PONStatus", "PonStatus",
     pon_status, "NO_PONStatus"},
    {"GET_PRECONFIG_INFO", "/com/yvc/igd1/Info/MngPlat", "com.yvc.igd1.MngPlatInfo", "MngPlatInfo", "Province",
     "Province", string_text, "NO_Province"},
    {"GET_SLEEP_MODE", "/com/yvc/igd1/Config/Power/SleepTimer", "com.yvc.igd1.SleepTimer", "SleepTimer", "Switch",
     "Switch", bool_on_off, "NO_Switch"},
    {"QUERY_CPU_INFO", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "CPUUsage", "Percent",
     byte_decimal, "NO_CPUUsage"},
    {"QUERY_MEM_INFO", "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "MEMUsage", "Percent",
     byte_decimal, "NO_MEMUsage"},
};

enum class Value { Text, OnOffByte, OnOffBool };

struct Setting {
    const char *cmd_type;
    const char *param;
    size_t keep;  // characters kept of the parameter
    const char *path;
    const char *iface;
    const char *object;
    const char *prop;
    Value value;
};

constexpr Setting kSettings[] = {
    {"SET_LED_STATUS", "LEDStatus", 7, "/com/yvc/igd1/Config/Peripheral/LED", "com.yvc.igd1.LED", "LED", "LEDStatus",
     Value::OnOffByte},
    {"SET_ONT_NAME", "Name", 255, "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "DevName",
     Value::Text},
    {"SET_SLEEP_MODE", "Switch", 7, "/com/yvc/igd1/Config/Power/SleepTimer", "com.yvc.igd1.SleepTimer", "SleepTimer",
     "Switch", Value::OnOffBool},
};

template <typename Row, size_t N>
const Row *row_of(const Row (&rows)[N], const char *cmd_type)
{
    for (const Row &r : rows)
        if (std::strcmp(r.cmd_type, cmd_type) == 0)
            return &r;
    return nullptr;
}

int run_query(int id, const char *sequence_id, const char *cmd_type, int fd)
{
    const Query *q = row_of(kQueries, cmd_type);
    if (!q)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    GVariant *raw = nullptr;
    const int rc = g_hgu_GetProperty(HGU_BUS_NAME, q->path, q->iface, q->prop, &raw);
    gw::VariantPtr value(raw);
    std::string text;
    if (rc != 0 || !value || !q->to_text(value.get(), text)) {
        GWLOG(LOG_LVL_WARN, "get %s.%s failed.", q->object, q->prop);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, q->fail_word, fd);
    }
    // Built with the JSON library so that texts holding quotes or backslashes still answer.
    gwagent::JsonPtr answer(build_json_head(cmd_type, sequence_id, 0));
    if (!answer || json_object_set_new(answer.get(), q->member, json_string(text.c_str())) != 0)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "create_json_fail", fd);
    return gwagent::answer_json(id, answer.get(), fd);
}

int run_setting(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const Setting *s = row_of(kSettings, cmd_type);
    if (!s)
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    char text[256] = {};
    if (get_string_json_value(cmd, s->param, JSON_STRING, text, s->keep + 1) != 0) {
        GWLOG(LOG_LVL_WARN, "%s json string missing Parameter %s", cmd_type, s->param);
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
    }
    GVariant *value = nullptr;
    if (s->value == Value::Text) {
        // A multi-byte character split by the cut is dropped whole: a bus string must be valid UTF-8.
        const char *end = nullptr;
        if (!g_utf8_validate(text, -1, &end))
            text[end - text] = '\0';
        value = g_variant_new_string(text);
    } else {
        const bool on = std::strcmp(text, "ON") == 0;
        if (!on && std::strcmp(text, "OFF") != 0) {
            GWLOG(LOG_LVL_WARN, "%s %s is invalide, should be ON or OFF.", s->param, text);
            return gwagent::answer_status(id, sequence_id, cmd_type, 1, "parameter_error", fd);
        }
        value = s->value == Value::OnOffByte ? g_variant_new_byte(on ? 1 : 0) : g_variant_new_boolean(on);
    }
    if (g_hgu_SetProperty(HGU_BUS_NAME, s->path, s->iface, s->prop, value) != 0) {
        GWLOG(LOG_LVL_WARN, "set %s.%s failed.", s->object, s->prop);
        return gwagent::answer_status(id, sequence_id, cmd_type, 1, "SET_FAILED", fd);
    }
    return gwagent::answer_status(id, sequence_id, cmd_type, 0, nullptr, fd);
}

}  // namespace

#define GW_QUERY_MEMBER(T)                                                                            \
    extern "C" int cmd_##T(int id, const char *sequence_id, const char *cmd_type, json_t *, int fd) \
    {                                                                                                 \
        return run_query(id, sequence_id, cmd_type, fd);                                              \
    }
#define GW_SETTING_MEMBER(T)                                                                              \
    extern "C" int cmd_##T(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd) \
    {                                                                                                     \
        return run_setting(id, sequence_id, cmd_type, cmd, fd);                                           \
    }

GW_QUERY_MEMBER(GET_LED_STATUS)
GW_QUERY_MEMBER(GET_ONT_NAME)
GW_QUERY_MEMBER(GET_PON_STATUS)
GW_QUERY_MEMBER(GET_PRECONFIG_INFO)
GW_QUERY_MEMBER(GET_SLEEP_MODE)
GW_QUERY_MEMBER(QUERY_CPU_INFO)
GW_QUERY_MEMBER(QUERY_MEM_INFO)
GW_SETTING_MEMBER(SET_LED_STATUS)
GW_SETTING_MEMBER(SET_ONT_NAME)
GW_SETTING_MEMBER(SET_SLEEP_MODE)
