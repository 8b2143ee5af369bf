// The single-property members: one row per query or setting, one generic handler for each kind.
#include <cstring>
#include <string>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

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
    const char *path;
    const char *iface;
    const char *object;  // short name in log lines
    const char *prop;
    const char *member;  // answer member
    ToText to_text;
    const char *fail_word;
};

constexpr Query kLedStatus{"/com/yvc/igd1/Config/Peripheral/LED",
                           "com.yvc.igd1.LED",
                           "LED",
                           "LEDStatus",
                           "LEDStatus",
                           byte_on_off,
                           "NO_LEDStatus"};
constexpr Query kOntName{
    "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "DevName", "Name", string_text, "NO_DevName"};
constexpr Query kPonStatus{
    "/com/yvc/igd1/Info/PON", "com.yvc.igd1.PONInfo", "PONInfo", "PONStatus", "PonStatus", pon_status, "NO_PONStatus"};
constexpr Query kPreconfig{"/com/yvc/igd1/Info/MngPlat",
                           "com.yvc.igd1.MngPlatInfo",
                           "MngPlatInfo",
                           "Province",
                           "Province",
                           string_text,
                           "NO_Province"};
constexpr Query kSleepMode{"/com/yvc/igd1/Config/Power/SleepTimer",
                           "com.yvc.igd1.SleepTimer",
                           "SleepTimer",
                           "Switch",
                           "Switch",
                           bool_on_off,
                           "NO_Switch"};
constexpr Query kCpuUsage{"/com/yvc/igd1/Info/Device",
                          "com.yvc.igd1.DeviceInfo",
                          "DeviceInfo",
                          "CPUUsage",
                          "Percent",
                          byte_decimal,
                          "NO_CPUUsage"};
constexpr Query kMemUsage{"/com/yvc/igd1/Info/Device",
                          "com.yvc.igd1.DeviceInfo",
                          "DeviceInfo",
                          "MEMUsage",
                          "Percent",
                          byte_decimal,
                          "NO_MEMUsage"};

enum class Value { Text, OnOffByte, OnOffBool };

struct Setting {
    const char *param;
    size_t keep;  // characters kept of the parameter
    const char *path;
    const char *iface;
    const char *object;
    const char *prop;
    Value value;
};

constexpr Setting kSetLedStatus{
    "LEDStatus", 7, "/com/yvc/igd1/Config/Peripheral/LED", "com.yvc.igd1.LED", "LED", "LEDStatus", Value::OnOffByte};
constexpr Setting kSetOntName{
    "Name", 255, "/com/yvc/igd1/Info/Device", "com.yvc.igd1.DeviceInfo", "DeviceInfo", "DevName", Value::Text};
constexpr Setting kSetSleepMode{
    "Switch",        7, "/com/yvc/igd1/Config/Power/SleepTimer", "com.yvc.igd1.SleepTimer", "SleepTimer", "Switch",
    Value::OnOffBool};

int run_query(const Query &q, const gwagent::Request &r)
{
    GVariant *raw = nullptr;
    const int rc = g_hgu_GetProperty(HGU_BUS_NAME, q.path, q.iface, q.prop, &raw);
    gw::VariantPtr value(raw);
    std::string text;
    if (rc != 0 || !value || !q.to_text(value.get(), text)) {
        GWLOG(LOG_LVL_WARN, "get %s.%s failed.", q.object, q.prop);
        return r.fail(q.fail_word);
    }
    // Built with the JSON library so that texts holding quotes or backslashes still answer.
    return r.members({{q.member, text}});
}

int run_setting(const Setting &s, const gwagent::Request &r)
{
    char text[256] = {};
    if (!r.required(s.param, text, s.keep))
        return r.fail("parameter_error");
    GVariant *value = nullptr;
    if (s.value == Value::Text) {
        // A multi-byte character split by the cut is dropped whole: a bus string must be valid UTF-8.
        value = g_variant_new_string(trim_partial_utf8(text));
    } else {
        const bool on = std::strcmp(text, "ON") == 0;
        if (!on && std::strcmp(text, "OFF") != 0) {
            GWLOG(LOG_LVL_WARN, "%s %s is invalide, should be ON or OFF.", s.param, text);
            return r.fail("parameter_error");
        }
        value = s.value == Value::OnOffByte ? g_variant_new_byte(on ? 1 : 0) : g_variant_new_boolean(on);
    }
    if (g_hgu_SetProperty(HGU_BUS_NAME, s.path, s.iface, s.prop, value) != 0) {
        GWLOG(LOG_LVL_WARN, "set %s.%s failed.", s.object, s.prop);
        return r.fail("SET_FAILED");
    }
    return r.ok();
}

}  // namespace

GW_ROW_HANDLER(GET_LED_STATUS, run_query, kLedStatus)
GW_ROW_HANDLER(GET_ONT_NAME, run_query, kOntName)
GW_ROW_HANDLER(GET_PON_STATUS, run_query, kPonStatus)
GW_ROW_HANDLER(GET_PRECONFIG_INFO, run_query, kPreconfig)
GW_ROW_HANDLER(GET_SLEEP_MODE, run_query, kSleepMode)
GW_ROW_HANDLER(QUERY_CPU_INFO, run_query, kCpuUsage)
GW_ROW_HANDLER(QUERY_MEM_INFO, run_query, kMemUsage)
GW_ROW_HANDLER(SET_LED_STATUS, run_setting, kSetLedStatus)
GW_ROW_HANDLER(SET_ONT_NAME, run_setting, kSetOntName)
GW_ROW_HANDLER(SET_SLEEP_MODE, run_setting, kSetSleepMode)
