// Decoders of the configuration service's signals, and the two-slot relay of WLAN neighbour results.
#include <cstring>
#include <mutex>

#include "../objects/object_engine.hpp"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

using gw::VariantPtr;
using gw::objects::Kind;
using gw::objects::make_prop;
using gw::objects::Prop;
using gw::objects::Rule;
using gw::objects::SetStyle;

namespace {

#define SCB_P(R, f, t) make_prop(#f, t, offsetof(R, f), sizeof(R::f))

// Signal payload maps are parsed by the object engine like any property map; these kinds exist only
// for that (no path, nothing written).
constexpr Kind payload_kind(const char *name, const char *iface, size_t size, const Prop *props, size_t n)
{
    return Kind{name, HGU_BUS_NAME,    iface, Rule::Single, nullptr, nullptr, size, -1, -1, props, n, nullptr, 0,
                0,    SetStyle::Values};
}

using Ping = scb_IPPingResult_t;
constexpr Prop kPingProps[] = {SCB_P(Ping, SuccessCount, 'u'), SCB_P(Ping, FailureCount, 'u'),
                               SCB_P(Ping, AverageResponseTime, 'u'), SCB_P(Ping, MinimumResponseTime, 'u'),
                               SCB_P(Ping, MaximumResponseTime, 'u')};
const Kind kPingKind = payload_kind("IPPingResponse", "com.yvc.igd1.IPPingDiagnostics", sizeof(Ping), kPingProps,
                                    G_N_ELEMENTS(kPingProps));

using Http = scb_HTTPTraffic_t;
constexpr Prop kHttpProps[] = {SCB_P(Http, RequestLine, 's'), SCB_P(Http, StatusCode, 'u'),
                               SCB_P(Http, HeaderFields, 'a')};
const Kind kHttpKind = payload_kind("HTTPTraffic", "com.yvc.igd1.TrafficDetailProcess", sizeof(Http), kHttpProps,
                                    G_N_ELEMENTS(kHttpProps));

using Gone = scb_DestAddressDisappear_t;
constexpr Prop kGoneProps[] = {SCB_P(Gone, DestAddress, 's'), SCB_P(Gone, WANIPAddress, 's'),
                               SCB_P(Gone, PPPoEName, 's')};
const Kind kGoneKind = payload_kind("DestAddressDisappear", "com.yvc.igd1.TrafficDetailProcess", sizeof(Gone),
                                    kGoneProps, G_N_ELEMENTS(kGoneProps));

using Call = scb_VoiceCallInfo_t;
constexpr Prop kCallProps[] = {SCB_P(Call, CallDirect, 'u'), SCB_P(Call, IsSuccess, 'b'),
                               SCB_P(Call, CallDuration, 'u'), SCB_P(Call, CallNumber, 's'),
                               SCB_P(Call, POTSindex, 'u')};
const Kind kCallKind =
    payload_kind("VoiceCallInfo", "com.yvc.igd1.VoIPInfo", sizeof(Call), kCallProps, G_N_ELEMENTS(kCallProps));

bool payload_is(GVariant *parameters, const char *type)
{
    if (!parameters)
        return false;
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE(type))) {
        GWLOG(LOG_LVL_WARN, "signal payload type %s is not %s", g_variant_get_type_string(parameters), type);
        return false;
    }
    return true;
}

// (a{sv}us): the map, the code and the text.
VariantPtr map_code_text(GVariant *parameters, uint32_t &code, char (&message)[256])
{
    if (!payload_is(parameters, "(a{sv}us)"))
        return nullptr;
    const char *text = nullptr;
    GVariant *map = nullptr;
    g_variant_get(parameters, "(@a{sv}u&s)", &map, &code, &text);
    copy_truncated(message, text);
    return VariantPtr(map);
}

VariantPtr only_map(GVariant *parameters)
{
    if (!payload_is(parameters, "(a{sv})"))
        return nullptr;
    return VariantPtr(g_variant_get_child_value(parameters, 0));
}

bool null_payload(const char *member, GVariant *parameters)
{
    if (parameters)
        return false;
    GWLOG(LOG_LVL_WARN, "signal %s parameters is null", member ? member : "NULL");
    return true;
}

void log_signal(const char *sender, const char *path, const char *member, GVariant *parameters)
{
    gw::GCharPtr text(g_variant_print(parameters, TRUE));
    GWLOG(LOG_LVL_DEBUG, "signal %s from %s at %s : %s", member ? member : "NULL", sender ? sender : "NULL",
          path ? path : "NULL", text.get());
}

int decode_http(GVariant *parameters, Http *out)
{
    VariantPtr map = only_map(parameters);
    if (!map || !out)
        return -1;
    Http rec{};
    if (gw::objects::parse_map(kHttpKind, map.get(), &rec) != 0) {
        gw::objects::free_lists(kHttpKind, &rec, 1);
        return -1;
    }
    *out = rec;
    return 0;
}

void log_http(const char *label, const char *sender, const char *path, const char *member, GVariant *parameters)
{
    if (null_payload(member, parameters))
        return;
    log_signal(sender, path, member, parameters);
    Http rec{};
    if (decode_http(parameters, &rec) != 0)
        return;
    int headers = 0;
    for (char **h = rec.HeaderFields; h && *h; ++h)
        ++headers;
    GWLOG(LOG_LVL_INFO, "%s : RequestLine %s, StatusCode %u, HeaderFields %d", label, rec.RequestLine, rec.StatusCode,
          headers);
    g_hgu_freeStrList(rec.HeaderFields);
}

// ---- WLAN neighbour relay ----

struct Slot {
    h_dbus_signal_cb callback;
    void *param;
    unsigned generation;  // counts arming, so a slot re-armed by its own callback stays armed
};
std::mutex g_relay_mutex;
Slot g_slots[2];
long g_relay_sub_id;

}  // namespace

extern "C" {

int scb_decode_IPPingResponse(GVariant *parameters, scb_IPPingResult_t *out)
{
    if (!out)
        return -1;
    Ping rec{};
    VariantPtr map = map_code_text(parameters, rec.code, rec.message);
    if (!map || gw::objects::parse_map(kPingKind, map.get(), &rec) != 0)
        return -1;
    *out = rec;
    return 0;
}

int scb_decode_TraceRouteResponse(GVariant *parameters, scb_TraceRouteResult_t *out)
{
    if (!out)
        return -1;
    scb_TraceRouteResult_t rec{};
    VariantPtr map = map_code_text(parameters, rec.code, rec.message);
    if (!map)
        return -1;
    // The hop list is the map's one a(ssus) value, whatever its key.
    const size_t n = g_variant_n_children(map.get());
    for (size_t i = 0; i < n && !rec.hops; ++i) {
        const char *key = nullptr;
        GVariant *raw = nullptr;
        g_variant_get_child(map.get(), i, "{&sv}", &key, &raw);
        VariantPtr value(raw);
        if (!g_variant_is_of_type(value.get(), G_VARIANT_TYPE("a(ssus)")))
            continue;
        const size_t hops = g_variant_n_children(value.get());
        if (hops == 0)
            break;
        rec.hops = static_cast<scb_TraceRouteHop_t *>(g_try_malloc0_n(hops, sizeof(scb_TraceRouteHop_t)));
        if (!rec.hops) {
            GWLOG(LOG_LVL_ERR, "malloc for %d hops failed.", static_cast<int>(hops));
            return -1;
        }
        for (size_t h = 0; h < hops; ++h) {
            const char *host = nullptr, *addr = nullptr, *err = nullptr;
            scb_TraceRouteHop_t &hop = rec.hops[h];
            g_variant_get_child(value.get(), h, "(&s&su&s)", &host, &addr, &hop.RTTime, &err);
            copy_truncated(hop.Host, host);
            copy_truncated(hop.HostAddress, addr);
            copy_truncated(hop.ErrorInfo, err);
        }
        rec.hop_count = static_cast<int>(hops);
    }
    *out = rec;
    return 0;
}

int scb_decode_HTTPTraffic(GVariant *parameters, scb_HTTPTraffic_t *out) { return decode_http(parameters, out); }

int scb_decode_DestAddressDisappear(GVariant *parameters, scb_DestAddressDisappear_t *out)
{
    VariantPtr map = only_map(parameters);
    if (!map || !out)
        return -1;
    Gone rec{};
    if (gw::objects::parse_map(kGoneKind, map.get(), &rec) != 0)
        return -1;
    *out = rec;
    return 0;
}

int scb_decode_VoiceCallInfo(GVariant *parameters, scb_VoiceCallInfo_t *out)
{
    VariantPtr map = only_map(parameters);
    if (!map || !out)
        return -1;
    Call rec{};
    if (gw::objects::parse_map(kCallKind, map.get(), &rec) != 0)
        return -1;
    *out = rec;
    return 0;
}

void scb_IPPingResponse(const char *sender, const char *path, const char *, const char *member, GVariant *parameters,
                        void *)
{
    if (null_payload(member, parameters))
        return;
    log_signal(sender, path, member, parameters);
    Ping r{};
    if (scb_decode_IPPingResponse(parameters, &r) != 0)
        return;
    GWLOG(LOG_LVL_INFO,
          "IPPingResponse : SuccessCount %u, FailureCount %u, AverageResponseTime %u, MinimumResponseTime %u, "
          "MaximumResponseTime %u, code %u, %s",
          r.SuccessCount, r.FailureCount, r.AverageResponseTime, r.MinimumResponseTime, r.MaximumResponseTime, r.code,
          r.message);
}

void scb_TraceRouteResponse(const char *sender, const char *path, const char *, const char *member,
                            GVariant *parameters, void *)
{
    if (null_payload(member, parameters))
        return;
    log_signal(sender, path, member, parameters);
    scb_TraceRouteResult_t r{};
    if (scb_decode_TraceRouteResponse(parameters, &r) != 0)
        return;
    GWLOG(LOG_LVL_INFO, "TraceRouteResponse : %d hops, code %u, %s", r.hop_count, r.code, r.message);
    for (int i = 0; i < r.hop_count; ++i)
        GWLOG(LOG_LVL_INFO, "hop %d : %s, %s, %u, %s", i + 1, r.hops[i].Host, r.hops[i].HostAddress, r.hops[i].RTTime,
              r.hops[i].ErrorInfo);
    g_free(r.hops);
}

void scb_NotifyHTTPTrafficProcess(const char *sender, const char *path, const char *, const char *member,
                                  GVariant *parameters, void *)
{
    log_http("NotifyHTTPTrafficProcess", sender, path, member, parameters);
}

void scb_NotifyDestAddressDetected(const char *sender, const char *path, const char *, const char *member,
                                   GVariant *parameters, void *)
{
    log_http("NotifyDestAddressDetected", sender, path, member, parameters);
}

void scb_NotifyDestAddressDisappear(const char *sender, const char *path, const char *, const char *member,
                                    GVariant *parameters, void *)
{
    if (null_payload(member, parameters))
        return;
    log_signal(sender, path, member, parameters);
    Gone r{};
    if (scb_decode_DestAddressDisappear(parameters, &r) != 0)
        return;
    GWLOG(LOG_LVL_INFO, "NotifyDestAddressDisappear : DestAddress %s, WANIPAddress %s, PPPoEName %s", r.DestAddress,
          r.WANIPAddress, r.PPPoEName);
}

void scb_NotifyVoiceCallInfo(const char *sender, const char *path, const char *, const char *member,
                             GVariant *parameters, void *)
{
    if (null_payload(member, parameters))
        return;
    log_signal(sender, path, member, parameters);
    Call r{};
    if (scb_decode_VoiceCallInfo(parameters, &r) != 0)
        return;
    GWLOG(LOG_LVL_INFO,
          "NotifyVoiceCallInfo : CallDirect %u, IsSuccess %d, CallDuration %u, CallNumber %s, POTSindex %u",
          r.CallDirect, r.IsSuccess ? 1 : 0, r.CallDuration, r.CallNumber, r.POTSindex);
}

int set_signalWLANNeighborResponseCb(int slot, h_dbus_signal_cb callback, void *param)
{
    if (slot < 0 || slot > 1)
        return -1;
    std::lock_guard<std::mutex> lock(g_relay_mutex);
    g_slots[slot] = {callback, param, g_slots[slot].generation + 1};
    return 0;
}

int clear_signalWLANNeighborResponseCb(int slot)
{
    if (slot < 0 || slot > 1)
        return -1;
    std::lock_guard<std::mutex> lock(g_relay_mutex);
    g_slots[slot] = {nullptr, nullptr, g_slots[slot].generation + 1};
    return 0;
}

void *get_signalWLANNeighborResponseParam(int slot)
{
    if (slot < 0 || slot > 1)
        return nullptr;
    std::lock_guard<std::mutex> lock(g_relay_mutex);
    return g_slots[slot].param;
}

void set_signalWLANNeighborResponseSubID(long id)
{
    std::lock_guard<std::mutex> lock(g_relay_mutex);
    g_relay_sub_id = id;
}

long get_signalWLANNeighborResponseSubID(void)
{
    std::lock_guard<std::mutex> lock(g_relay_mutex);
    return g_relay_sub_id;
}

void handle_signalWLANNeighborResponse(const char *sender, const char *path, const char *iface, const char *member,
                                       GVariant *parameters, void *)
{
    GWLOG(LOG_LVL_DEBUG, "signal %s from %s at %s", member ? member : "NULL", sender ? sender : "NULL",
          path ? path : "NULL");
    for (int i = 0; i < 2; ++i) {
        Slot s;
        {
            std::lock_guard<std::mutex> lock(g_relay_mutex);
            s = g_slots[i];
        }
        if (!s.callback)
            continue;
        // Disarmed right after the call: the callback may still read its parameter from the slot, and
        // a slot it armed again for the next result stays armed.
        s.callback(sender, path, iface, member, parameters, s.param);
        std::lock_guard<std::mutex> lock(g_relay_mutex);
        if (g_slots[i].generation == s.generation)
            g_slots[i] = {nullptr, nullptr, s.generation + 1};
    }
}

}  // extern "C"
