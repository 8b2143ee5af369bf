// The WMM members: each row names its text parameters (where they land in the request record and how
// much is kept), the library call and its failure word; one generic handler walks the row.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "commands/cmd_table.h"
#include "commands/cmd_wlan.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

namespace {

using gwagent::Request;

// Every parameter of the family, as the library takes them.
struct WmmArgs {
    char ssid[26];
    api_WMMServiceIPSet_t service;
    char wmm_enable[8];
    char uapsd[8];
};

struct Param {
    const char *name;
    size_t offset;  // of the field in WmmArgs
    size_t size;    // of the field; size - 1 characters are kept
    bool required;  // an absent optional parameter stays empty
};

#define GW_WMM_PARAM(name, field, required)                                                                            \
    {                                                                                                                  \
        name, offsetof(WmmArgs, field), sizeof(WmmArgs::field), required                                               \
    }

constexpr size_t kMaxParams = 8;

struct WmmRow {
    Param params[kMaxParams];
    // The library call: sets `failed` when the library refused, otherwise has answered itself (the
    // getter adds its members).
    int (*call)(const Request &r, const WmmArgs &a, bool &failed);
    const char *fail_word;
};

bool on(const char *text) { return std::atoi(text) != 0; }

size_t dumped_size(const json_t *obj)
{
    gwagent::CharPtr text(gw_json_dump_compact(obj));
    return text ? std::strlen(text.get()) : SIZE_MAX;
}

// Drops service IP sets from the end (and configurations left without any) until the answer fits the
// answer wrapper; an answer that does not fit would not be sent at all.
void fit_answer(json_t *answer, json_t *list)
{
    size_t dropped = 0;
    while (json_array_size(list) > 0 && dumped_size(answer) > CMD_RESP_MAX) {
        json_t *last = json_array_get(list, json_array_size(list) - 1);
        json_t *services = json_object_get(last, "WMMServicesIPSetInfo");
        if (json_array_size(services) == 0) {
            json_array_remove(list, json_array_size(list) - 1);
            continue;
        }
        json_array_remove(services, json_array_size(services) - 1);
        json_object_set_new(last, "Num", json_integer(static_cast<json_int_t>(json_array_size(services))));
        ++dropped;
    }
    if (dropped)
        GWLOG(LOG_LVL_WARN, "WMMIPSetInfo cut by %zu service IP sets to fit the answer.", dropped);
}

int answer_ipset_info(const Request &r, const api_WMMIPSetInfo_t *info, int count)
{
    gwagent::JsonPtr answer = r.head();
    json_t *list = json_array();
    if (!answer || json_object_set_new(answer.get(), "WMMIPSetInfo", list) != 0)
        return r.fail("create_json_fail");
    for (int i = 0; i < count; ++i) {
        const api_WMMIPSetInfo_t &c = info[i];
        json_t *services = json_array();
        json_t *e = json_pack("{s:s,s:s,s:s,s:I,s:o}", "WMMEnable", c.WMMEnable ? "1" : "0", "WMMSupportedSSID",
                              c.WMMSupportedSSID, "UAPSDSupported", c.UAPSDSupported ? "1" : "0", "Num",
                              static_cast<json_int_t>(c.ServiceNum), "WMMServicesIPSetInfo", services);
        if (!e || json_array_append_new(list, e) != 0)
            return r.fail("create_json_fail");
        for (uint32_t j = 0; j < c.ServiceNum; ++j) {
            const api_WMMServiceIPSet_t &s = c.Service[j];
            json_t *svc = json_pack("{s:s,s:s,s:s,s:s,s:s,s:s,s:s}", "ServiceName", s.ServiceName, "ACLevel", s.ACLevel,
                                    "TargetIP", s.TargetIP, "TargetPort", s.TargetPort, "SourceIP", s.SourceIP,
                                    "SourcePort", s.SourcePort, "Protocol", s.Protocol);
            if (!svc || json_array_append_new(services, svc) != 0)
                return r.fail("create_json_fail");
        }
    }
    fit_answer(answer.get(), list);
    return r.answer(answer.get());
}

int get_ipset_info(const Request &r, const WmmArgs &a, bool &failed)
{
    gwagent::ApiList<api_WMMIPSetInfo_t, api_releaseWMMIPSetInfo> info;
    if (api_getWMMIPSetInfo(a.ssid, a.service.ServiceName, &info.items, &info.count) != 0) {
        failed = true;
        return -1;
    }
    return answer_ipset_info(r, info.items, info.count);
}

int set_service_ipset(const Request &r, const WmmArgs &a, bool &failed)
{
    if (!a.ssid[0] || !a.service.ServiceName[0] || isVaildWMMSSID(a.ssid) != 0) {
        GWLOG(LOG_LVL_WARN, "%s WMMSupportedSSID %s or ServiceName %s is invalid.", r.cmd_type(), a.ssid,
              a.service.ServiceName);
        return r.fail("WMMSupportedSSID_ServiceName_error");
    }
    failed = api_setWMMServiceIPSet(a.ssid, &a.service) != 0;
    return failed ? -1 : r.ok();
}

int set_switch(const Request &r, const WmmArgs &a, bool &failed)
{
    failed = api_setWMMEnable(a.ssid, on(a.wmm_enable) ? TRUE : FALSE, on(a.uapsd) ? TRUE : FALSE) != 0;
    return failed ? -1 : r.ok();
}

int delete_service_ipset(const Request &r, const WmmArgs &a, bool &failed)
{
    failed = api_deleteWMMServiceIPSet(a.ssid, a.service.ServiceName) != 0;
    return failed ? -1 : r.ok();
}

// Deleting takes both names explicitly: an empty one means "all", which a missing one must not.
constexpr WmmRow kDelServiceIPSet{
    {GW_WMM_PARAM("WMMSupportedSSID", ssid, true), GW_WMM_PARAM("ServiceName", service.ServiceName, true)},
    delete_service_ipset,
    "delete_failed"};
constexpr WmmRow kGetIPSetInfo{
    {GW_WMM_PARAM("WMMSupportedSSID", ssid, false), GW_WMM_PARAM("ServiceName", service.ServiceName, false)},
    get_ipset_info,
    "get_info_failed"};
constexpr WmmRow kSetServiceIPSet{
    {GW_WMM_PARAM("WMMSupportedSSID", ssid, true), GW_WMM_PARAM("ServiceName", service.ServiceName, true),
     GW_WMM_PARAM("ACLevel", service.ACLevel, true), GW_WMM_PARAM("TargetIP", service.TargetIP, true),
     GW_WMM_PARAM("TargetPort", service.TargetPort, true), GW_WMM_PARAM("SourceIP", service.SourceIP, true),
     GW_WMM_PARAM("SourcePort", service.SourcePort, true), GW_WMM_PARAM("Protocol", service.Protocol, true)},
    set_service_ipset,
    "set_failed"};
constexpr WmmRow kSetSwitch{{GW_WMM_PARAM("WMMSupportedSSID", ssid, true), GW_WMM_PARAM("WMMEnable", wmm_enable, true),
                             GW_WMM_PARAM("UAPSDSupported", uapsd, true)},
                            set_switch,
                            "set_failed"};

int run_wmm(const WmmRow &row, const Request &r)
{
    WmmArgs a{};
    for (const Param &p : row.params) {
        if (!p.name)
            break;
        char *dst = reinterpret_cast<char *>(&a) + p.offset;
        if (!(p.required ? r.required(p.name, dst, p.size - 1) : r.optional(p.name, dst, p.size - 1)))
            return r.fail("parameter_error");
        gwagent::trim_to_utf8(dst);
    }
    bool failed = false;
    const int rc = row.call(r, a, failed);
    if (!failed)
        return rc;
    GWLOG(LOG_LVL_WARN, "%s WMMSupportedSSID %s ServiceName %s failed.", r.cmd_type(), a.ssid, a.service.ServiceName);
    return r.fail(row.fail_word);
}

}  // namespace

GW_ROW_HANDLER(DEL_WMM_SERVICE_IPSET, run_wmm, kDelServiceIPSet)
GW_ROW_HANDLER(GET_WMM_IPSET_INFO, run_wmm, kGetIPSetInfo)
GW_ROW_HANDLER(SET_WMM_SERVICE_IPSET, run_wmm, kSetServiceIPSet)
GW_ROW_HANDLER(SET_WMM_SWITCH, run_wmm, kSetSwitch)
