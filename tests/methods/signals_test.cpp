// Signal decoders on signals really emitted by the stand-in, and the WLAN neighbour relay.
#include <string>

#include <gtest/gtest.h>

#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"
#include "standin.hpp"

namespace {

struct Captured {
    int calls = 0;
    gw::VariantPtr params;
    void *param = nullptr;
};

void capture(const char *, const char *, const char *, const char *, GVariant *p, void *ud)
{
    auto *c = static_cast<Captured *>(ud);
    c->calls++;
    c->params.reset(p ? g_variant_ref(p) : nullptr);
    c->param = ud;
}

class Decoders : public ::testing::Test {
protected:
    void SetUp() override { g_logLevel = 7; }

    // Emits one signal and returns its parameters as received over the bus.
    gw::VariantPtr roundtrip(const char *path, const char *iface, const char *member, GVariant *body)
    {
        Captured c;
        long id = h_dbus_SubscribeSignal(nullptr, path, iface, member, capture, &c);
        EXPECT_GT(id, 0);
        svc.emit(path, iface, member, body);
        EXPECT_TRUE(gwtest::wait_until([&] { return c.calls > 0; }));
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
        return std::move(c.params);
    }

    gwtest::StandIn svc;
    gwtest::LogCapture log;
};

TEST_F(Decoders, IPPingResultInAnyKeyOrder)
{
    gw::VariantPtr p =
        roundtrip("/com/yvc/igd1/Diagnostics/IPPing", "com.yvc.igd1.IPPingDiagnostics", "IPPingResponse",
                  g_variant_new_parsed("({'MaximumResponseTime': <uint32 40>, 'SuccessCount': <uint32 3>, "
                                       "'FailureCount': <uint32 1>, 'AverageResponseTime': <uint32 20>, "
                                       "'MinimumResponseTime': <uint32 9>}, uint32 0, 'done')"));
    ASSERT_TRUE(p);
    scb_IPPingResult_t r{};
    ASSERT_EQ(0, scb_decode_IPPingResponse(p.get(), &r));
    EXPECT_EQ(3u, r.SuccessCount);
    EXPECT_EQ(1u, r.FailureCount);
    EXPECT_EQ(20u, r.AverageResponseTime);
    EXPECT_EQ(9u, r.MinimumResponseTime);
    EXPECT_EQ(40u, r.MaximumResponseTime);
    EXPECT_STREQ("done", r.message);
    scb_IPPingResponse(":1.1", "/com/yvc/igd1/Diagnostics/IPPing", "com.yvc.igd1.IPPingDiagnostics", "IPPingResponse",
                       p.get(), nullptr);
    EXPECT_TRUE(log.contains("SuccessCount 3, FailureCount 1, AverageResponseTime 20"));
}

TEST_F(Decoders, TraceRouteHopsAreCopied)
{
    gw::VariantPtr p =
        roundtrip("/com/yvc/igd1/Diagnostics/TraceRoute", "com.yvc.igd1.TraceRouteDiagnostics", "TraceRouteResponse",
                  g_variant_new_parsed("({'RouteHops': <[('gw', '192.168.1.1', uint32 1, ''), "
                                       "('isp', '10.1.1.1', uint32 8, '')]>}, uint32 0, '')"));
    ASSERT_TRUE(p);
    scb_TraceRouteResult_t r{};
    ASSERT_EQ(0, scb_decode_TraceRouteResponse(p.get(), &r));
    ASSERT_EQ(2, r.hop_count);
    EXPECT_STREQ("10.1.1.1", r.hops[1].HostAddress);
    EXPECT_EQ(8u, r.hops[1].RTTime);
    g_free(r.hops);
}

TEST_F(Decoders, VoiceCallNumberIsCutTo15)
{
    gw::VariantPtr p =
        roundtrip("/com/yvc/igd1/Info/VoIP/1", "com.yvc.igd1.VoIPInfo", "NotifyVoiceCallInfo",
                  g_variant_new_parsed("({'CallDirect': <uint32 1>, 'IsSuccess': <true>, "
                                       "'CallDuration': <uint32 65>, 'CallNumber': <'0123456789012345678'>, "
                                       "'POTSindex': <uint32 2>},)"));
    ASSERT_TRUE(p);
    scb_VoiceCallInfo_t r{};
    ASSERT_EQ(0, scb_decode_VoiceCallInfo(p.get(), &r));
    EXPECT_STREQ("012345678901234", r.CallNumber);
    EXPECT_TRUE(r.IsSuccess);
    EXPECT_EQ(65u, r.CallDuration);
    EXPECT_EQ(2u, r.POTSindex);
}

TEST_F(Decoders, HttpTrafficAndDestinationSignals)
{
    gw::VariantPtr p =
        roundtrip("/com/yvc/igd1/Transfer/TrafficDetailProcess/1", "com.yvc.igd1.TrafficDetailProcess",
                  "NotifyHTTPTrafficProcess",
                  g_variant_new_parsed("({'RequestLine': <'GET / HTTP/1.1'>, 'StatusCode': <uint32 200>, "
                                       "'HeaderFields': <['Host: a', 'Accept: */*']>},)"));
    ASSERT_TRUE(p);
    scb_HTTPTraffic_t h{};
    ASSERT_EQ(0, scb_decode_HTTPTraffic(p.get(), &h));
    EXPECT_STREQ("GET / HTTP/1.1", h.RequestLine);
    EXPECT_EQ(200u, h.StatusCode);
    ASSERT_NE(nullptr, h.HeaderFields);
    EXPECT_STREQ("Accept: */*", h.HeaderFields[1]);
    g_hgu_freeStrList(h.HeaderFields);

    gw::VariantPtr gone = gw::adopt_variant(g_variant_new_parsed(
        "({'DestAddress': <'1.2.3.4'>, 'WANIPAddress': <'100.64.0.2'>, 'PPPoEName': <'user@isp'>},)"));
    scb_DestAddressDisappear_t d{};
    ASSERT_EQ(0, scb_decode_DestAddressDisappear(gone.get(), &d));
    EXPECT_STREQ("user@isp", d.PPPoEName);
}

TEST_F(Decoders, NullOrMisshapenPayloadIsLoggedAndIgnored)
{
    scb_NotifyVoiceCallInfo(":1.1", "/x", "com.yvc.igd1.VoIPInfo", "NotifyVoiceCallInfo", nullptr, nullptr);
    EXPECT_TRUE(log.contains("signal NotifyVoiceCallInfo parameters is null"));
    gw::VariantPtr wrong = gw::adopt_variant(g_variant_new("(s)", "x"));
    scb_IPPingResult_t r{};
    EXPECT_EQ(-1, scb_decode_IPPingResponse(wrong.get(), &r));
    scb_IPPingResponse(":1.1", "/x", "i.f", "IPPingResponse", wrong.get(), nullptr);
    gw::VariantPtr empty = gw::adopt_variant(g_variant_new_parsed("(@a{sv} {}, uint32 0, '')"));
    EXPECT_EQ(-1, scb_decode_IPPingResponse(empty.get(), &r));
}

TEST_F(Decoders, WLANNeighbourRelayFiresEachSlotOnce)
{
    Captured a, b;
    ASSERT_EQ(0, set_signalWLANNeighborResponseCb(0, capture, &a));
    ASSERT_EQ(0, set_signalWLANNeighborResponseCb(1, capture, &b));
    EXPECT_EQ(-1, set_signalWLANNeighborResponseCb(2, capture, &b));
    EXPECT_EQ(-1, clear_signalWLANNeighborResponseCb(2));
    EXPECT_EQ(&a, get_signalWLANNeighborResponseParam(0));

    long id = h_dbus_SubscribeSignal(nullptr, "/com/yvc/igd1/Info/WiFi", "com.yvc.igd1.WiFiInfo",
                                     "WLANNeighborResponse", handle_signalWLANNeighborResponse, nullptr);
    ASSERT_GT(id, 0);
    set_signalWLANNeighborResponseSubID(id);
    EXPECT_EQ(id, get_signalWLANNeighborResponseSubID());

    svc.emit("/com/yvc/igd1/Info/WiFi", "com.yvc.igd1.WiFiInfo", "WLANNeighborResponse",
             g_variant_new_parsed("([('ap1', -50)],)"));
    ASSERT_TRUE(gwtest::wait_until([&] { return a.calls == 1 && b.calls == 1; }));
    EXPECT_EQ("([('ap1', -50)],)", [&] {
        gw::GCharPtr t(g_variant_print(b.params.get(), FALSE));
        return std::string(t.get());
    }());

    // A second result reaches nobody; a sentinel signal proves it has been dispatched.
    Captured sentinel;
    long sid = h_dbus_SubscribeSignal(nullptr, "/org/test/Sentinel", "org.test.Sentinel", "Done", capture, &sentinel);
    svc.emit("/com/yvc/igd1/Info/WiFi", "com.yvc.igd1.WiFiInfo", "WLANNeighborResponse",
             g_variant_new_parsed("([('ap2', -70)],)"));
    svc.emit("/org/test/Sentinel", "org.test.Sentinel", "Done", nullptr);
    ASSERT_TRUE(gwtest::wait_until([&] { return sentinel.calls == 1; }));
    EXPECT_EQ(1, a.calls);
    EXPECT_EQ(1, b.calls);
    EXPECT_EQ(nullptr, get_signalWLANNeighborResponseParam(0));
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(sid));
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
}

// Inside its callback a slot still gives its parameter; it is disarmed right after the call, unless the
// callback armed it again for the next result.
struct SlotSeen {
    int calls = 0;
    void *param_inside = nullptr;
    bool rearm = false;
};

void read_own_param(const char *, const char *, const char *, const char *, GVariant *, void *ud)
{
    auto *seen = static_cast<SlotSeen *>(ud);
    const int slot = seen->rearm ? 1 : 0;
    seen->calls++;
    seen->param_inside = get_signalWLANNeighborResponseParam(slot);
    if (seen->rearm) {
        seen->rearm = false;
        set_signalWLANNeighborResponseCb(slot, read_own_param, ud);
    }
}

TEST_F(Decoders, WLANNeighbourSlotKeepsItsParameterDuringItsCall)
{
    SlotSeen once, again;
    again.rearm = true;
    ASSERT_EQ(0, set_signalWLANNeighborResponseCb(0, read_own_param, &once));
    ASSERT_EQ(0, set_signalWLANNeighborResponseCb(1, read_own_param, &again));
    gw::VariantPtr body = gw::adopt_variant(g_variant_new_parsed("([('ap1', -50)],)"));
    handle_signalWLANNeighborResponse(":1.1", "/com/yvc/igd1/Info/WiFi", "com.yvc.igd1.WiFiInfo",
                                      "WLANNeighborResponse", body.get(), nullptr);
    EXPECT_EQ(1, once.calls);
    EXPECT_EQ(&once, once.param_inside);
    EXPECT_EQ(nullptr, get_signalWLANNeighborResponseParam(0));
    EXPECT_EQ(1, again.calls);
    EXPECT_EQ(&again, again.param_inside);
    EXPECT_EQ(&again, get_signalWLANNeighborResponseParam(1)) << "re-armed by its own callback";
    handle_signalWLANNeighborResponse(":1.1", "/com/yvc/igd1/Info/WiFi", "com.yvc.igd1.WiFiInfo",
                                      "WLANNeighborResponse", body.get(), nullptr);
    EXPECT_EQ(1, once.calls);
    EXPECT_EQ(2, again.calls);
    EXPECT_EQ(nullptr, get_signalWLANNeighborResponseParam(1));
}

}  // namespace
