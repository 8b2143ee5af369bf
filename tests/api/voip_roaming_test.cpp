// Telephone ports and call events, WiFi roaming records and roaming events.
#include <map>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kVoipIface = "com.yvc.igd1.VoIPInfo";
constexpr const char *kCallSignal = "NotifyVoiceCallInfo";
constexpr const char *kRoam = "/com/yvc/igd1/Info/WiFiRoaming";
constexpr const char *kRoamIface = "com.yvc.igd1.WiFiRoaming";

class Pots : public ApiSim {
protected:
    void ports(unsigned n) { set_prop(kDevice, kDeviceIface, "POTSNum", "uint32 " + std::to_string(n)); }
};

TEST_F(Pots, OneRecordPerPortWithTheLineOfTheSameNumber)
{
    const auto lines = fixture_paths(s(), "/com/yvc/igd1/Info/VoIP/", kVoipIface);
    ASSERT_FALSE(lines.empty());
    std::map<uint32_t, std::string> by_no;
    for (const auto &line : lines)
        by_no[static_cast<uint32_t>(std::stoul(line.substr(line.rfind('/') + 1)))] = line;
    // One port more than the highest line: that port has no line and must come out blank.
    const uint32_t n = by_no.rbegin()->first + 1;
    ports(n);
    api_POTSInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getPOTSInfo(&info, &count), 0);
    ASSERT_EQ(count, static_cast<int>(n));
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(info[i].Index, static_cast<uint32_t>(i + 1));
        const auto it = by_no.find(info[i].Index);
        if (it != by_no.end()) {
            expect_fields(s(), it->second, kVoipIface,
                          {prop("PhoneNumber", info[i].PhoneNumber), prop("LineStatus", info[i].LineStatus)});
        } else {
            EXPECT_STREQ(info[i].PhoneNumber, "");
            EXPECT_STREQ(info[i].LineStatus, "");
        }
    }
    EXPECT_EQ(api_releasePOTSInfo(info, count), 0);
}

TEST_F(Pots, NoPortsIsAnEmptyResultAndFailuresLeaveNothing)
{
    ports(0);
    expect_no_list(0, api_getPOTSInfo);
    EXPECT_EQ(api_releasePOTSInfo(nullptr, 0), -1);
    EXPECT_EQ(s().call_count("GetManagedObjects"), 0u);

    ports(2);
    fail("GetManagedObjects");
    expect_no_list(-1, api_getPOTSInfo);
    api_POTSInfo_t *info = nullptr;
    int count = 0;
    fail("Get", kDevice);
    EXPECT_EQ(api_getPOTSInfo(&info, &count), -1);
    EXPECT_EQ(api_getPOTSInfo(nullptr, &count), -1);
}

std::vector<scb_VoiceCallInfo_t> g_calls;

void on_call(const char *, const char *, const char *, const char *, GVariant *p, void *)
{
    scb_VoiceCallInfo_t c{};
    if (scb_decode_VoiceCallInfo(p, &c) == 0)
        g_calls.push_back(c);
}

TEST_F(Pots, SubscribeChecksPortsAndEventName)
{
    gwtest::LogCapture log;
    ports(0);
    EXPECT_EQ(api_subscribeVoIPEvent("", on_call), -52);
    fail("Get", kDevice);
    EXPECT_EQ(api_subscribeVoIPEvent("", on_call), -1);
    ports(1);
    EXPECT_EQ(api_subscribeVoIPEvent("NOTIFY_VOICE_CALL", on_call), -1);
    EXPECT_TRUE(log.contains("(api_subscribeVoIPEvent) event error."));
    EXPECT_EQ(api_subscribeVoIPEvent("NOTIFY_VOICE_CALL_INFO", nullptr), -1);
    EXPECT_EQ(api_unSubscribeVoIPEvent(0), -1);
}

TEST_F(Pots, CallEventsFromAnyPathReachTheCallbackUntilUnsubscribed)
{
    g_calls.clear();
    for (const char *event : std::vector<const char *>{"", nullptr, "NOTIFY_VOICE_CALL_INFO"}) {
        SCOPED_TRACE(event ? event : "NULL");
        const long id = api_subscribeVoIPEvent(event, on_call);
        ASSERT_GT(id, 0);
        const size_t before = g_calls.size();
        s().control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Info/VoIP/2", kVoipIface, kCallSignal,
                                                "({'CallDirect': <uint32 1>, 'IsSuccess': <true>, 'CallDuration': "
                                                "<uint32 95>, 'CallNumber': <'01012345678901234567'>, "
                                                "'POTSindex': <uint32 2>},)"));
        ASSERT_TRUE(gwtest::wait_until([&] { return g_calls.size() > before; }));
        const auto &c = g_calls.back();
        EXPECT_EQ(c.CallDirect, 1u);
        EXPECT_TRUE(c.IsSuccess);
        EXPECT_EQ(c.CallDuration, 95u);
        EXPECT_STREQ(c.CallNumber, "010123456789012");
        EXPECT_EQ(c.POTSindex, 2u);
        EXPECT_EQ(api_unSubscribeVoIPEvent(id), 0);
        // Signals arrive in order: once a plain subscriber hears the next one, the cancelled one would have too.
        int heard = 0;
        const long sentinel = h_dbus_SubscribeSignal(
            nullptr, nullptr, kVoipIface, "NotifyVoiceCallInfo",
            [](const char *, const char *, const char *, const char *, GVariant *, void *ud) {
                ++*static_cast<int *>(ud);
            },
            &heard);
        ASSERT_GT(sentinel, 0);
        s().control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Info/VoIP/1", kVoipIface, kCallSignal,
                                                "({'CallDirect': <uint32 2>},)"));
        EXPECT_TRUE(gwtest::wait_until([&] { return heard > 0; }));
        h_dbus_UnSubscribeSignal(static_cast<unsigned>(sentinel));
        EXPECT_EQ(g_calls.size(), before + 1);
    }
}

using Roaming = ApiSim;

TEST_F(Roaming, ReportSwitchReadsAndWritesEnableReport)
{
    gboolean on = 2;
    ASSERT_EQ(api_getWiFiRoaming(&on), 0);
    EXPECT_EQ(on, fixture_num(s(), kRoam, kRoamIface, "EnableReport"));
    ASSERT_EQ(api_setWiFiRoamingEnableReport(!on), 0);
    EXPECT_EQ(fixture_num(s(), kRoam, kRoamIface, "EnableReport"), on ? 0 : 1);
    gboolean back = 2;
    ASSERT_EQ(api_getWiFiRoaming(&back), 0);
    EXPECT_EQ(back, !on);
    fail("GetAll", kRoam);
    EXPECT_EQ(api_getWiFiRoaming(&back), -1);
    fail("SetValues", kRoam);
    fail("Set", kRoam);
    EXPECT_EQ(api_setWiFiRoamingEnableReport(on), -1);
    EXPECT_EQ(fixture_num(s(), kRoam, kRoamIface, "EnableReport"), on ? 0 : 1);
    EXPECT_EQ(api_getWiFiRoaming(nullptr), -1);
}

TEST_F(Roaming, RecordsOfOneStationAreCopiedAndARefusalIsMinusOne)
{
    s().override_reply(kRoam, kRoamIface, "GetWiFiRoamingRecordsByMac",
                       "([('A0B1C2D3E4F1', 'A4B1C2D3E501', 'A4B1C2D3E505', '2026-12-07 10:00:00', -61, -44, 149, "
                       "uint32 0), ('A0B1C2D3E4F1', 'A4B1C2D3E505', 'A4B1C2D3E501', '2026-12-07 11:30:00', -70, -50, "
                       "6, uint32 1)], uint32 0, '')");
    api_WiFiRoamingRecord_t *rec = nullptr;
    int count = 0;
    ASSERT_EQ(api_getWiFiRoamingRecordsByMac("a0b1c2d3e4f1", &rec, &count), 0);
    EXPECT_NE(last_args("GetWiFiRoamingRecordsByMac").find("a0b1c2d3e4f1"), std::string::npos);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(rec[0].FromBSSID, "A4B1C2D3E501");
    EXPECT_STREQ(rec[0].ToBSSID, "A4B1C2D3E505");
    EXPECT_STREQ(rec[1].RoamTime, "2026-12-07 11:30:00");
    EXPECT_EQ(rec[0].FromRSSI, -61);
    EXPECT_EQ(rec[0].ToRSSI, -44);
    EXPECT_EQ(rec[1].Channel, 6);
    EXPECT_EQ(rec[1].Result, 1u);
    EXPECT_EQ(api_releaseWiFiRoamingRecordsByMac(rec, count), 0);

    s().override_reply(kRoam, kRoamIface, "GetWiFiRoamingRecordsByMac", "(@a(ssssiiiu) [], uint32 0, '')");
    const auto by_mac = [](api_WiFiRoamingRecord_t **l, int *c) {
        return api_getWiFiRoamingRecordsByMac("A0B1C2D3E4F1", l, c);
    };
    expect_no_list<api_WiFiRoamingRecord_t>(0, by_mac);
    EXPECT_EQ(api_releaseWiFiRoamingRecordsByMac(nullptr, 0), -1);

    gwtest::LogCapture log;
    s().override_reply(kRoam, kRoamIface, "GetWiFiRoamingRecordsByMac",
                       "([('A0B1C2D3E4F1', 'a', 'b', 't', 1, 2, 3, uint32 0)], uint32 7, 'no such station')");
    expect_no_list<api_WiFiRoamingRecord_t>(-1, by_mac);
    EXPECT_TRUE(log.contains("no such station"));
    s().override_reply(kRoam, kRoamIface, "GetWiFiRoamingRecordsByMac", "");
    fail("GetWiFiRoamingRecordsByMac");
    EXPECT_EQ(api_getWiFiRoamingRecordsByMac("A0B1C2D3E4F1", &rec, &count), -1);
    EXPECT_EQ(api_getWiFiRoamingRecordsByMac("", &rec, &count), -1);
}

struct Roams {
    std::vector<api_WiFiRoamingRecord_t> seen;
};

void on_roam(const api_WiFiRoamingRecord_t *r, void *ud) { static_cast<Roams *>(ud)->seen.push_back(*r); }

class RoamingEvents : public ApiSim {
protected:
    void TearDown() override
    {
        set_prop(kDevice, kDeviceIface, "DevType", "byte 11");
        api_subscribeRoamingEvent(nullptr, nullptr);
    }
    void emit(const char *sta)
    {
        const std::string payload = std::string("('") + sta +
                                    "', 'A4B1C2D3E501', 'A4B1C2D3E505', '2026-12-07 12:00:00', " +
                                    "-66, -41, 36, uint32 0)";
        s().control("EmitSignal", g_variant_new("(ssss)", kRoam, kRoamIface, "TerminalDeviceRoaming", payload.c_str()));
    }
};

TEST_F(RoamingEvents, OnlyAnFttoMasterSubscribes)
{
    gwtest::LogCapture log;
    Roams r;
    ASSERT_NE(fixture_num(s(), kDevice, kDeviceIface, "DevType"), API_DEVTYPE_FTTO_MASTER);
    EXPECT_EQ(api_subscribeRoamingEvent(on_roam, &r), -21);
    EXPECT_TRUE(log.contains("(api_subscribeRoamingEvent) API only support FTTO Master device."));
    fail("Get", kDevice);
    EXPECT_EQ(api_subscribeRoamingEvent(on_roam, &r), -1);
    EXPECT_EQ(check_dbus_SubscribeSignal_Enable(nullptr, kRoam, kRoamIface, "TerminalDeviceRoaming"), 0u);
}

TEST_F(RoamingEvents, TheStoredCallbackGetsEachDecodedEvent)
{
    set_prop(kDevice, kDeviceIface, "DevType", "byte 11");
    Roams first, second;
    EXPECT_EQ(api_subscribeRoamingEvent(on_roam, nullptr), -1);
    ASSERT_EQ(api_subscribeRoamingEvent(on_roam, &first), 0);
    emit("A0B1C2D3E4F1");
    ASSERT_TRUE(gwtest::wait_until([&] { return !first.seen.empty(); }));
    EXPECT_STREQ(first.seen[0].StaMAC, "A0B1C2D3E4F1");
    EXPECT_STREQ(first.seen[0].ToBSSID, "A4B1C2D3E505");
    EXPECT_STREQ(first.seen[0].RoamTime, "2026-12-07 12:00:00");
    EXPECT_EQ(first.seen[0].FromRSSI, -66);
    EXPECT_EQ(first.seen[0].ToRSSI, -41);
    EXPECT_EQ(first.seen[0].Channel, 36);

    // A new callback replaces the old one.
    gwtest::LogCapture log;
    ASSERT_EQ(api_subscribeRoamingEvent(on_roam, &second), 0);
    EXPECT_TRUE(log.contains("subscribe TerminalDeviceRoaming signal has exist, first unsubscribe it."));
    emit("A0B1C2D3E4F2");
    ASSERT_TRUE(gwtest::wait_until([&] { return !second.seen.empty(); }));
    EXPECT_STREQ(second.seen[0].StaMAC, "A0B1C2D3E4F2");
    EXPECT_EQ(first.seen.size(), 1u);

    ASSERT_EQ(api_subscribeRoamingEvent(nullptr, nullptr), 0);
    EXPECT_EQ(check_dbus_SubscribeSignal_Enable(nullptr, kRoam, kRoamIface, "TerminalDeviceRoaming"), 0u);
    EXPECT_EQ(api_subscribeRoamingEvent(nullptr, nullptr), -1);
    EXPECT_TRUE(log.contains("unsubscribe TerminalDeviceRoaming signal which SubID is wrong."));
}

TEST_F(RoamingEvents, PayloadOfAnotherShapeIsIgnored)
{
    set_prop(kDevice, kDeviceIface, "DevType", "byte 11");
    Roams r;
    ASSERT_EQ(api_subscribeRoamingEvent(on_roam, &r), 0);
    gwtest::LogCapture log;
    s().control("EmitSignal", g_variant_new("(ssss)", kRoam, kRoamIface, "TerminalDeviceRoaming", "('only', 1)"));
    emit("A0B1C2D3E4F3");
    ASSERT_TRUE(gwtest::wait_until([&] { return !r.seen.empty(); }));
    ASSERT_EQ(r.seen.size(), 1u);
    EXPECT_STREQ(r.seen[0].StaMAC, "A0B1C2D3E4F3");
    EXPECT_TRUE(log.contains("signal TerminalDeviceRoaming has type (si), ignored."));
}

}  // namespace
}  // namespace apitest
