// WLAN getters and setters on the simulator's SSIDs, the SSID and radio switches, the guest SSID,
// neighbour scans, wireless hosts and the WMM configurations.
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kWlanIface = "com.yvc.igd1.WLANConfiguration";
constexpr const char *kWiFi = "/com/yvc/igd1/Info/WiFi";
constexpr const char *kWiFiIface = "com.yvc.igd1.WiFiInfo";
constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts/";
constexpr const char *kHostIface = "com.yvc.igd1.LANHost";

std::string dev(unsigned n) { return "/com/yvc/igd1/Config/WLAN/Devices/" + std::to_string(n); }

class Wlan : public ApiSim {
protected:
    std::string wstr(unsigned n, const char *name) { return fixture_str(s(), dev(n), kWlanIface, name); }
    int64_t wnum(unsigned n, const char *name) { return fixture_num(s(), dev(n), kWlanIface, name); }
    size_t calls_on(const std::string &path, const std::string &member)
    {
        size_t n = 0;
        for (const auto &line : s().call_log())
            if (line.rfind(path + " ", 0) == 0 && line.size() > member.size() &&
                line.compare(line.size() - member.size() - 1, std::string::npos, " " + member) == 0)
                ++n;
        return n;
    }
    // SSID indexes the fixture holds.
    std::vector<unsigned> ssids()
    {
        std::vector<unsigned> out;
        for (const auto &p : fixture_paths(s(), "/com/yvc/igd1/Config/WLAN/Devices/", kWlanIface))
            out.push_back(static_cast<unsigned>(std::stoul(p.substr(p.rfind('/') + 1))));
        return out;
    }
};

TEST_F(Wlan, SsidGettersCopyEachSsidsOwnFields)
{
    const auto indexes = ssids();
    ASSERT_GE(indexes.size(), 3u);
    for (unsigned n : indexes) {
        SCOPED_TRACE(n);
        api_WLANSSIDInfo_t i{};
        api_WLANSSIDStats_t st{};
        api_WLANAccessRule_t r{};
        char pwd[64];
        char cut[4];
        ASSERT_EQ(api_getWLANSSIDInfo(n, &i), 0);
        ASSERT_EQ(api_getWLANSSIDStats(n, &st), 0);
        ASSERT_EQ(api_getWLANSSIDAccessRule(n, &r), 0);
        ASSERT_EQ(api_getWLANSSIDPassword(n, pwd, sizeof pwd), 0);
        ASSERT_EQ(api_getWLANSSIDPassword(n, cut, sizeof cut), 0);
        EXPECT_EQ(i.Index, n);
        EXPECT_EQ(cut, wstr(n, "PWD").substr(0, 3));
        expect_fields(s(), dev(n), kWlanIface,
                      {prop("SSID", i.SSID),
                       prop("Enable", i.Enable),
                       prop("BSSID", i.BSSID),
                       prop("IfName", i.IfName),
                       prop("EncryptionMode", i.EncryptionMode),
                       prop("SSIDAdvertisementEnabled", i.SSIDAdvertisementEnabled),
                       prop("RadioType", i.RadioType),
                       prop("Standard", i.Standard),
                       prop("IsGuest", i.IsGuest),
                       prop("PortIsolation", i.PortIsolation),
                       prop("MaxSta", i.MaxSta),
                       prop("OnlineSta", i.OnlineSta),
                       prop("TotalBytesSent", st.TotalBytesSent),
                       prop("TotalBytesReceived", st.TotalBytesReceived),
                       prop("TotalPacketsSent", st.TotalPacketsSent),
                       prop("TotalPacketsReceived", st.TotalPacketsReceived),
                       prop("ErrorsSent", st.ErrorsSent),
                       prop("ErrorsReceived", st.ErrorsReceived),
                       prop("DiscardPacketsSent", st.DiscardPacketsSent),
                       prop("DiscardPacketsReceived", st.DiscardPacketsReceived),
                       prop("PWD", pwd),
                       prop("AccessRule", r.AccessRule),
                       prop("AllowdIPPort", r.AllowdIPPort)});

        gboolean wps = 2;
        ASSERT_EQ(api_getWLANWPSStatus(n, &wps), 0);
        EXPECT_EQ(wps, fixture_num(s(), dev(n) + "/WPS", "com.yvc.igd1.WPS", "Enable"));
    }
}

// Every SSID-addressed function, called with one index.
const std::vector<std::pair<const char *, std::function<int(uint32_t)>>> &ssid_calls()
{
    static api_WLANSSIDInfo_t info;
    static api_WLANSSIDStats_t stats;
    static api_WLANAccessRule_t rule;
    static gboolean flag;
    static char pwd[64];
    static const std::vector<std::pair<const char *, std::function<int(uint32_t)>>> calls = {
        {"getWLANSSIDInfo", [](uint32_t n) { return api_getWLANSSIDInfo(n, &info); }},
        {"getWLANSSIDStats", [](uint32_t n) { return api_getWLANSSIDStats(n, &stats); }},
        {"getWLANWPSStatus", [](uint32_t n) { return api_getWLANWPSStatus(n, &flag); }},
        {"getWLANSSIDAccessRule", [](uint32_t n) { return api_getWLANSSIDAccessRule(n, &rule); }},
        {"getWLANSSIDPassword", [](uint32_t n) { return api_getWLANSSIDPassword(n, pwd, sizeof pwd); }},
        {"setWLANSSIDSecurity", [](uint32_t n) { return api_setWLANSSIDSecurity(n, 4, "longenough"); }},
        {"setWLANSSIDAdvertisement", [](uint32_t n) { return api_setWLANSSIDAdvertisement(n, FALSE); }},
        {"setWLANStandard", [](uint32_t n) { return api_setWLANStandard(n, "n"); }},
        {"startWLANWPS", [](uint32_t n) { return api_startWLANWPS(n); }},
        {"stopWLANWPS", [](uint32_t n) { return api_stopWLANWPS(n); }},
        {"setWLANSSIDAccessRule", [](uint32_t n) { return api_setWLANSSIDAccessRule(n, &rule); }},
    };
    return calls;
}

TEST_F(Wlan, IndexOutsideOneToEightAndMissingSsidFailWithoutWrites)
{
    gwtest::LogCapture log;
    const unsigned missing = 3;
    ASSERT_FALSE(s().exists(dev(missing)));
    for (const auto &c : ssid_calls()) {
        SCOPED_TRACE(c.first);
        EXPECT_EQ(c.second(0), -1);
        EXPECT_EQ(c.second(9), -1);
        EXPECT_EQ(c.second(missing), -1);
    }
    EXPECT_TRUE(log.contains("(api_getWLANSSIDInfo) ssidIndex 9 is invalide, should be 1--8"));
    EXPECT_FALSE(s().exists(dev(missing)));
    // Writes to the missing SSID are refused by the service and create nothing.
    EXPECT_EQ(s().call_count("AddObject"), 0u);
    for (unsigned n : {0u, 9u})
        for (const char *m : {"Set", "SetValues"})
            EXPECT_EQ(calls_on(dev(n), m), 0u) << n << " " << m;
}

TEST_F(Wlan, EveryFunctionChecksTheWiFiCapabilityFirst)
{
    static api_WLANRadioInfo_t radio;
    static api_GuestSSIDInfo_t guest;
    static api_LANHostInfo_t *hosts;
    static int count;
    static const api_GuestSSIDConfig_t cfg{"g", "", 0, TRUE};
    std::vector<std::pair<const char *, std::function<int()>>> calls;
    for (const auto &c : ssid_calls())
        calls.emplace_back(c.first, [f = c.second] { return f(1); });
    calls.emplace_back("getWLANHardwareSwitch", [] { return api_getWLANHardwareSwitch("2.4G", &radio.Enable); });
    calls.emplace_back("getWLANRadioInfo", [] { return api_getWLANRadioInfo("5G", &radio); });
    calls.emplace_back("getWLANHostInfo", [] { return api_getWLANHostInfo(1, &hosts, &count); });
    calls.emplace_back("GuestSSIDIndex", [] { return GuestSSIDIndex(); });
    calls.emplace_back("getGuestSSIDInfo", [] { return api_getGuestSSIDInfo(&guest); });
    calls.emplace_back("setGuestSSID", [] { return api_setGuestSSID(&cfg); });
    calls.emplace_back("setWLANRadioChannel", [] { return api_setWLANRadioChannel("2.4G", 6); });
    calls.emplace_back("setWLANRadioPower", [] { return api_setWLANRadioPower("2.4G", 50); });
    calls.emplace_back("setWLANRadioFrequencyWidth", [] { return api_setWLANRadioFrequencyWidth("5G", "40MHz"); });
    calls.emplace_back("setWLANSSIDSwitch", [] { return api_setWLANSSIDSwitch(1, TRUE); });
    calls.emplace_back("setWLANHardwareSwitch", [] { return api_setWLANHardwareSwitch("2.4G", FALSE); });
    calls.emplace_back("getWLANNeighbor", [] {
        return api_getWLANNeighbor(
            0, "2.4G", [](const char *, const char *, const char *, const char *, GVariant *, void *) {}, nullptr);
    });

    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    for (const auto &c : calls)
        EXPECT_EQ(c.second(), -50) << c.first;
    for (const auto &c : calls) {
        fail("Get", kDevice);
        EXPECT_EQ(c.second(), -1) << c.first;
    }
    for (const char *m : {"Set", "SetValues", "GetWLANNeighbor", "GetManagedObjects", "GetAll"})
        EXPECT_EQ(s().call_count(m), 0u) << m;
}

TEST_F(Wlan, RadioGettersFollowWiFiInfoAndTheRadiosFirstSsid)
{
    using Radio = std::tuple<const char *, unsigned, const char *>;
    const Radio radios[] = {{"2.4G", 1u, "Enable2G"}, {"5G", 5u, "Enable5G"}};
    for (const auto &[radio, first, enable] : radios) {
        SCOPED_TRACE(radio);
        gboolean on = 2;
        ASSERT_EQ(api_getWLANHardwareSwitch(radio, &on), 0);
        EXPECT_EQ(on, fixture_num(s(), kWiFi, kWiFiIface, enable));
        api_WLANRadioInfo_t r{};
        ASSERT_EQ(api_getWLANRadioInfo(radio, &r), 0);
        EXPECT_STREQ(r.RadioType, radio);
        EXPECT_EQ(r.Enable, fixture_num(s(), kWiFi, kWiFiIface, enable));
        expect_fields(s(), dev(first), kWlanIface,
                      {prop("Channel", r.Channel), prop("AutoChannelEnable", r.AutoChannelEnable),
                       prop("ChannelsInUse", r.ChannelsInUse), prop("TransmitPower", r.TransmitPower),
                       prop("FrequencyWidth", r.FrequencyWidth), prop("Standard", r.Standard)});
    }
    gboolean on = 0;
    gwtest::LogCapture log;
    EXPECT_EQ(api_getWLANHardwareSwitch("5g", &on), -1);
    EXPECT_TRUE(log.contains("(api_getWLANHardwareSwitch) radioType 5g is invalide, should be 2.4G or 5G."));
    EXPECT_EQ(api_getWLANHardwareSwitch(nullptr, &on), -1);
    EXPECT_TRUE(log.contains("(api_getWLANHardwareSwitch) radioType is null."));
    set_prop(kWiFi, kWiFiIface, "DualBand", "false");
    EXPECT_EQ(api_getWLANHardwareSwitch("5G", &on), -1);
    fail("GetAll", kWiFi);
    EXPECT_EQ(api_getWLANHardwareSwitch("2.4G", &on), -1);
    api_WLANRadioInfo_t r{};
    fail("GetAll", dev(1));
    EXPECT_EQ(api_getWLANRadioInfo("2.4G", &r), -1);
}

TEST_F(Wlan, SettersWriteTheAddressedSsidAndReadBack)
{
    ASSERT_EQ(api_setWLANSSIDSecurity(5, 5, "a fresh key!"), 0);
    expect_fields(s(), dev(5), kWlanIface, {prop("EncryptionMode", 5), prop("PWD", "a fresh key!")});
    ASSERT_EQ(api_setWLANSSIDSecurity(5, API_WLAN_ENCRYPTION_OPEN, ""), 0);
    expect_fields(s(), dev(5), kWlanIface, {prop("EncryptionMode", API_WLAN_ENCRYPTION_OPEN), prop("PWD", "")});

    ASSERT_EQ(api_setWLANSSIDAdvertisement(2, FALSE), 0);
    EXPECT_EQ(wnum(2, "SSIDAdvertisementEnabled"), 0);
    ASSERT_EQ(api_setWLANStandard(1, "n/ax"), 0);
    EXPECT_EQ(wstr(1, "Standard"), "n/ax");

    api_WLANAccessRule_t rule{2, "192.168.1.10:80"};
    ASSERT_EQ(api_setWLANSSIDAccessRule(2, &rule), 0);
    api_WLANAccessRule_t back{};
    ASSERT_EQ(api_getWLANSSIDAccessRule(2, &back), 0);
    EXPECT_EQ(back.AccessRule, 2u);
    EXPECT_STREQ(back.AllowdIPPort, "192.168.1.10:80");

    ASSERT_EQ(api_startWLANWPS(5), 0);
    gboolean wps = FALSE;
    ASSERT_EQ(api_getWLANWPSStatus(5, &wps), 0);
    EXPECT_EQ(wps, TRUE);
    EXPECT_EQ(fixture_num(s(), dev(1) + "/WPS", "com.yvc.igd1.WPS", "Enable"), 0);
    ASSERT_EQ(api_stopWLANWPS(5), 0);
    ASSERT_EQ(api_getWLANWPSStatus(5, &wps), 0);
    EXPECT_EQ(wps, FALSE);

    // Untouched SSIDs keep their fixture values.
    EXPECT_EQ(wnum(1, "SSIDAdvertisementEnabled"), 1);
    EXPECT_EQ(wstr(2, "Standard"), wstr(5, "Standard"));
}

TEST_F(Wlan, SecurityRefusesKeysThatDoNotSuitTheMode)
{
    const std::string long_key(64, 'k');
    const struct {
        uint8_t mode;
        const char *pwd;
    } bad[] = {{API_WLAN_ENCRYPTION_OPEN, "password1"},
               {4, nullptr},
               {4, ""},
               {4, "seven77"},
               {4, long_key.c_str()},
               {4, "tab\there1"}};
    for (const auto &b : bad)
        EXPECT_EQ(api_setWLANSSIDSecurity(1, b.mode, b.pwd), -1) << int(b.mode) << " " << (b.pwd ? b.pwd : "NULL");
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_EQ(api_setWLANSSIDSecurity(1, 4, long_key.substr(0, 63).c_str()), 0);
    EXPECT_EQ(wstr(1, "PWD"), long_key.substr(0, 63));
    fail("SetValues", dev(1));
    EXPECT_EQ(api_setWLANSSIDSecurity(1, 4, "another key"), -1);
    EXPECT_EQ(wstr(1, "PWD"), long_key.substr(0, 63));
}

TEST_F(Wlan, RadioSettersWriteTheRadiosFirstSsidWithinRange)
{
    ASSERT_EQ(api_setWLANRadioChannel("5G", 36), 0);
    expect_fields(s(), dev(5), kWlanIface, {prop("Channel", 36), prop("AutoChannelEnable", 0)});
    ASSERT_EQ(api_setWLANRadioChannel("5G", 0), 0);
    EXPECT_EQ(wnum(5, "AutoChannelEnable"), 1);
    ASSERT_EQ(api_setWLANRadioChannel("2.4G", 13), 0);
    EXPECT_EQ(wnum(1, "Channel"), 13);
    ASSERT_EQ(api_setWLANRadioPower("2.4G", 60), 0);
    EXPECT_EQ(wnum(1, "TransmitPower"), 60);
    ASSERT_EQ(api_setWLANRadioFrequencyWidth("5G", "160MHz"), 0);
    EXPECT_EQ(wstr(5, "FrequencyWidth"), "160MHz");
    EXPECT_EQ(wstr(1, "FrequencyWidth"), fixture_str(s(), dev(2), kWlanIface, "FrequencyWidth"));

    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_setWLANRadioChannel("2.4G", 36), -1);
    EXPECT_EQ(api_setWLANRadioChannel("5G", 6), -1);
    EXPECT_EQ(api_setWLANRadioChannel("5G", 178), -1);
    EXPECT_EQ(api_setWLANRadioPower("5G", 0), -1);
    EXPECT_EQ(api_setWLANRadioPower("5G", 101), -1);
    EXPECT_EQ(api_setWLANRadioFrequencyWidth("5G", ""), -1);
    EXPECT_EQ(api_setWLANRadioFrequencyWidth("6G", "20MHz"), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    fail("SetValues", dev(5));
    EXPECT_EQ(api_setWLANRadioPower("5G", 10), -1);
    EXPECT_EQ(wnum(5, "TransmitPower"), fixture_num(s(), dev(2), kWlanIface, "TransmitPower"));
}

TEST_F(Wlan, GuestSsidIsTheFirst24GSsidMarkedGuest)
{
    unsigned want = 0;
    for (unsigned n : ssids())
        if (n < 5 && wnum(n, "IsGuest") == 1 && want == 0)
            want = n;
    ASSERT_NE(want, 0u);
    EXPECT_EQ(GuestSSIDIndex(), static_cast<int>(want));

    api_GuestSSIDInfo_t g{};
    ASSERT_EQ(api_getGuestSSIDInfo(&g), 0);
    EXPECT_EQ(g.Index, want);
    expect_fields(s(), dev(want), kWlanIface,
                  {prop("SSID", g.SSID), prop("PWD", g.PWD), prop("Enable", g.Enable),
                   prop("EncryptionMode", g.EncryptionMode), prop("Duration", g.Duration),
                   prop("RemainDuration", g.RemainDuration)});

    // A guest flag on a 5G SSID alone does not make a guest SSID.
    set_prop(dev(want), kWlanIface, "IsGuest", "false");
    set_prop(dev(5), kWlanIface, "IsGuest", "true");
    EXPECT_EQ(GuestSSIDIndex(), -2);
    EXPECT_EQ(api_getGuestSSIDInfo(&g), -2);
    fail("GetManagedObjects");
    EXPECT_EQ(GuestSSIDIndex(), -1);
}

TEST_F(Wlan, SetGuestSsidWritesOnceAndSwitchesItsRadioOn)
{
    const int g = GuestSSIDIndex();
    ASSERT_GT(g, 0);
    const unsigned n = static_cast<unsigned>(g);
    set_prop(kWiFi, kWiFiIface, "Enable2G", "false");
    set_prop(dev(n), kWlanIface, "EncryptionMode", "byte 1");
    s().control("ResetCounts", nullptr);

    const api_GuestSSIDConfig_t cfg{"Visitors", "welcome-home", 7200, TRUE};
    ASSERT_EQ(api_setGuestSSID(&cfg), 0);
    EXPECT_EQ(s().call_count("SetValues"), 1u);
    expect_fields(s(), dev(n), kWlanIface,
                  {prop("SSID", "Visitors"), prop("PWD", "welcome-home"), prop("Duration", 7200), prop("Enable", 1)});
    // An open guest SSID that gets a key is protected, not left open with a stored key.
    EXPECT_NE(wnum(n, "EncryptionMode"), API_WLAN_ENCRYPTION_OPEN);
    EXPECT_EQ(fixture_num(s(), kWiFi, kWiFiIface, "Enable2G"), 1);

    // Empty texts leave name and key alone.
    const api_GuestSSIDConfig_t off{"", "", 0, FALSE};
    ASSERT_EQ(api_setGuestSSID(&off), 0);
    expect_fields(s(), dev(n), kWlanIface, {prop("SSID", "Visitors"), prop("PWD", "welcome-home"), prop("Enable", 0)});
}

TEST_F(Wlan, SetGuestSsidFailuresLeaveTheRadioAlone)
{
    const unsigned n = static_cast<unsigned>(GuestSSIDIndex());
    set_prop(kWiFi, kWiFiIface, "Enable2G", "false");
    const std::string ssid = wstr(n, "SSID");
    const api_GuestSSIDConfig_t cfg{"Visitors", "", 60, TRUE};
    fail("SetValues", dev(n));
    EXPECT_EQ(api_setGuestSSID(&cfg), -1);
    EXPECT_EQ(wstr(n, "SSID"), ssid);
    EXPECT_EQ(fixture_num(s(), kWiFi, kWiFiIface, "Enable2G"), 0);

    const api_GuestSSIDConfig_t short_key{"Visitors", "short", 60, TRUE};
    EXPECT_EQ(api_setGuestSSID(&short_key), -1);
    EXPECT_EQ(api_setGuestSSID(nullptr), -1);
    EXPECT_EQ(wstr(n, "SSID"), ssid);

    set_prop(dev(n), kWlanIface, "IsGuest", "false");
    EXPECT_EQ(api_setGuestSSID(&cfg), -2);
    EXPECT_EQ(calls_on(dev(n), "SetValues"), 1u);
}

TEST_F(Wlan, HostsOfAnSsidAreTheOnlineWirelessOnesOnIt)
{
    const auto paths = fixture_paths(s(), kHosts, kHostIface);
    for (unsigned n : {0u, 1u, 5u}) {
        SCOPED_TRACE(n);
        std::set<std::string> want;
        for (const auto &p : paths) {
            const bool wireless = fixture_num(s(), p, kHostIface, "ConnectionType") != 0;
            const bool online = fixture_str(s(), p, kHostIface, "HostClass") == "ONLINE";
            const bool on = n == 0 || fixture_str(s(), p, kHostIface, "ConnectInterface") == "SSID" + std::to_string(n);
            if (wireless && online && on)
                want.insert(fixture_str(s(), p, kHostIface, "MAC"));
        }
        api_LANHostInfo_t *hosts = nullptr;
        int count = -1;
        ASSERT_EQ(api_getWLANHostInfo(n, &hosts, &count), 0);
        std::set<std::string> got;
        for (int i = 0; i < count; ++i)
            got.insert(hosts[i].MAC);
        EXPECT_EQ(got, want);
        EXPECT_EQ(hosts == nullptr, want.empty());
        api_releaseLANHostInfo(hosts, count);
    }
    api_LANHostInfo_t *hosts = nullptr;
    int count = -1;
    EXPECT_EQ(api_getWLANHostInfo(9, &hosts, &count), -1);
    fail("GetManagedObjects");
    expect_no_list<api_LANHostInfo_t>(-1, [](auto l, auto c) { return api_getWLANHostInfo(1, l, c); });
}

struct Heard {
    int calls = 0;
    std::string payload;
};

void hear(const char *, const char *, const char *, const char *, GVariant *p, void *ud)
{
    auto *h = static_cast<Heard *>(ud);
    h->calls++;
    if (p) {
        gw::GCharPtr t(g_variant_print(p, FALSE));
        h->payload = t.get();
    }
}

TEST_F(Wlan, NeighbourResultReachesTheArmedSlotOnce)
{
    Heard a, b;
    ASSERT_EQ(api_getWLANNeighbor(0, "2.4G", hear, &a), 0);
    EXPECT_NE(last_args("GetWLANNeighbor").find("2.4G"), std::string::npos);
    ASSERT_EQ(api_getWLANNeighbor(1, "5G", hear, &b), 0);
    const char *payload = "({'SSID': <'next-door'>}, uint32 0, '')";
    s().control("EmitSignal", g_variant_new("(ssss)", kWiFi, kWiFiIface, "WLANNeighborResponse", payload));
    ASSERT_TRUE(gwtest::wait_until([&] { return a.calls > 0 && b.calls > 0; }));
    EXPECT_NE(a.payload.find("next-door"), std::string::npos);
    // Signals arrive in order: once a plain subscriber has heard the second one, the relay has too.
    Heard sentinel;
    const long id = h_dbus_SubscribeSignal(nullptr, kWiFi, kWiFiIface, "WLANNeighborResponse", hear, &sentinel);
    ASSERT_GT(id, 0);
    s().control("EmitSignal", g_variant_new("(ssss)", kWiFi, kWiFiIface, "WLANNeighborResponse", payload));
    EXPECT_TRUE(gwtest::wait_until([&] { return sentinel.calls > 0; }));
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
    EXPECT_EQ(a.calls, 1);
    EXPECT_EQ(b.calls, 1);
}

TEST_F(Wlan, RefusedOrFailedScanDisarmsTheSlot)
{
    Heard a;
    s().control("SetResult", g_variant_new("(sus)", "GetWLANNeighbor", 3u, "busy"));
    EXPECT_EQ(api_getWLANNeighbor(0, "2.4G", hear, &a), -1);
    fail("GetWLANNeighbor");
    EXPECT_EQ(api_getWLANNeighbor(0, "5G", hear, &a), -1);
    EXPECT_EQ(api_getWLANNeighbor(2, "5G", hear, &a), -1);
    EXPECT_EQ(api_getWLANNeighbor(0, "5G", nullptr, &a), -1);
    Heard sentinel;
    const long id = h_dbus_SubscribeSignal(nullptr, kWiFi, kWiFiIface, "WLANNeighborResponse", hear, &sentinel);
    ASSERT_GT(id, 0);
    s().control("EmitSignal",
                g_variant_new("(ssss)", kWiFi, kWiFiIface, "WLANNeighborResponse", "({'SSID': <'x'>}, uint32 0, '')"));
    EXPECT_TRUE(gwtest::wait_until([&] { return sentinel.calls > 0; }));
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
    EXPECT_EQ(a.calls, 0);
}

class WlanSwitch : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
        set_prop(kWiFi, kWiFiIface, "DualBand", "true");
        set_prop(kWiFi, kWiFiIface, "Enable2G", "true");
        set_prop(kWiFi, kWiFiIface, "Enable5G", "false");
        for (unsigned n : {1u, 5u})
            s().set_object(dev(n), R"({"com.yvc.igd1.WLANConfiguration": {"Enable": "false"}})");
        s().control("ResetCounts", nullptr);
    }
    size_t calls_on(const std::string &path)
    {
        size_t n = 0;
        for (const auto &line : s().call_log())
            if (line.rfind(path + " ", 0) == 0 && line.find(" Set") != std::string::npos)
                ++n;
        return n;
    }
};

TEST_F(WlanSwitch, SsidIndexMustBeOneToEight)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWLANSSIDSwitch(0, TRUE), -1);
    EXPECT_EQ(api_setWLANSSIDSwitch(9, TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANSSIDSwitch) ssidIndex 9 is invalide, should be 1--8"));
    EXPECT_EQ(s().call_count("Set"), 0u);
}

TEST_F(WlanSwitch, SwitchingOnAnSsidSwitchesItsRadioOnFirst)
{
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), 0);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "true");

    // The 2.4G radio is already on: only the SSID is written.
    EXPECT_EQ(api_setWLANSSIDSwitch(1, TRUE), 0);
    EXPECT_EQ(s().prop_text(dev(1), kWlanIface, "Enable"), "true");
    EXPECT_EQ(calls_on(kWiFi), 1u);
}

TEST_F(WlanSwitch, SwitchingOffNeverTouchesTheRadios)
{
    set_prop(dev(5), kWlanIface, "Enable", "true");
    EXPECT_EQ(api_setWLANSSIDSwitch(5, FALSE), 0);
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "false");
    EXPECT_EQ(calls_on(kWiFi), 0u);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "false");
}

TEST_F(WlanSwitch, FailedRadioReadOrWriteLeavesTheSsidAlone)
{
    fail("GetAll", kWiFi);
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), -1);
    fail("Set", kWiFi);
    EXPECT_EQ(api_setWLANSSIDSwitch(5, TRUE), -1);
    EXPECT_EQ(s().prop_text(dev(5), kWlanIface, "Enable"), "false");
    fail("Set", dev(1));
    EXPECT_EQ(api_setWLANSSIDSwitch(1, TRUE), -1);
}

TEST_F(WlanSwitch, HardwareSwitchChecksRadioTextAndBand)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWLANHardwareSwitch(nullptr, TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) radioType is null."));
    EXPECT_EQ(api_setWLANHardwareSwitch("2.4g", TRUE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) radioType 2.4g is invalide, should be 2.4G or 5G."));

    EXPECT_EQ(api_setWLANHardwareSwitch("2.4G", TRUE), 0);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) 2.4G switch need not change."));
    EXPECT_EQ(s().call_count("Set"), 0u);

    EXPECT_EQ(api_setWLANHardwareSwitch("5G", TRUE), 0);
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");

    set_prop(kWiFi, kWiFiIface, "DualBand", "false");
    EXPECT_EQ(api_setWLANHardwareSwitch("5G", FALSE), -1);
    EXPECT_TRUE(log.contains("(api_setWLANHardwareSwitch) not supported 5G, should be 2.4G."));
    EXPECT_EQ(s().prop_text(kWiFi, kWiFiIface, "Enable5G"), "true");
}

constexpr const char *kWmmDb = "/com/yvc/igd1/Transfer/WMMConfiguration";
constexpr const char *kCfg = "com.yvc.igd1.WMMConfiguration";
constexpr const char *kSvc = "com.yvc.igd1.WMMServiceIPSet";

class Wmm : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        remove_matching("/Transfer/WMMConfiguration/");
        set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
        config(1, "SSID1", true, true);
        config(2, "SSID5", false, true);
        service(1, 1, "voice", "VO", "5060");
        service(1, 2, "video", "VI", "554");
    }
    static std::string cfg(unsigned n) { return std::string(kWmmDb) + "/" + std::to_string(n); }
    static std::string svc(unsigned c, unsigned n) { return cfg(c) + "/WMMServiceIPSet/" + std::to_string(n); }
    void config(unsigned n, const char *ssid, bool wmm, bool uapsd)
    {
        char json[256];
        std::snprintf(json, sizeof json,
                      R"({"%s": {"WMMEnable": "%s", "WMMSupportedSSID": "'%s'", "UAPSDSupported": "%s"}})", kCfg,
                      wmm ? "true" : "false", ssid, uapsd ? "true" : "false");
        s().set_object(cfg(n), json);
    }
    void service(unsigned c, unsigned n, const char *name, const char *ac, const char *port)
    {
        char json[512];
        std::snprintf(json, sizeof json,
                      R"({"%s": {"ServiceName": "'%s'", "ACLevel": "'%s'", "TargetIP": "'203.0.113.5'",)"
                      R"( "TargetPort": "'%s'", "SourceIP": "''", "SourcePort": "''", "Protocol": "'UDP'"}})",
                      kSvc, name, ac, port);
        s().set_object(svc(c, n), json);
    }
    static api_WMMServiceIPSet_t entry(const char *name, const char *ac, const char *port)
    {
        api_WMMServiceIPSet_t e{};
        std::strcpy(e.ServiceName, name);
        std::strcpy(e.ACLevel, ac);
        std::strcpy(e.TargetIP, "203.0.113.5");
        std::strcpy(e.TargetPort, port);
        std::strcpy(e.Protocol, "UDP");
        return e;
    }
};

TEST_F(Wmm, SsidNamesFollowTheRadioCount)
{
    for (const char *ok : {"SSID1", "SSID4", "SSID5", "SSID8"})
        EXPECT_EQ(isVaildWMMSSID(ok), 0) << ok;
    for (const char *bad : {"SSID0", "SSID9", "SSID10", "SSID", "ssid1", "SSID1 ", ""})
        EXPECT_EQ(isVaildWMMSSID(bad), -1) << bad;
    EXPECT_EQ(isVaildWMMSSID(nullptr), -1);

    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 1");
    EXPECT_EQ(isVaildWMMSSID("SSID4"), 0);
    EXPECT_EQ(isVaildWMMSSID("SSID5"), -1);

    gwtest::LogCapture log;
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    EXPECT_EQ(isVaildWMMSSID("SSID1"), -1);
    EXPECT_TRUE(log.contains("Device does not support WMM"));

    fail("Get", kDevice);
    EXPECT_EQ(isVaildWMMSSID("SSID1"), 0);
}

TEST_F(Wmm, EveryFunctionChecksTheWiFiCapability)
{
    api_WMMServiceIPSet_t e = entry("voice", "VO", "5060");
    api_WMMIPSetInfo_t *info = nullptr;
    int count = 0;
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 0");
    EXPECT_EQ(api_setWMMEnable("SSID1", FALSE, FALSE), -50);
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &e), -50);
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), -50);
    EXPECT_EQ(api_getWMMIPSetInfo("", "", &info, &count), -50);
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 2");
    fail("Get", kDevice);
    EXPECT_EQ(api_setWMMEnable("SSID1", FALSE, FALSE), -1);
    EXPECT_EQ(s().prop_text(cfg(1), kCfg, "WMMEnable"), "true");
    EXPECT_EQ(s().exists(svc(1, 1)), true);
}

TEST_F(Wmm, EnableWritesOnlyTheDifferingPropertiesUapsdFirst)
{
    gwtest::LogCapture log;
    EXPECT_EQ(api_setWMMEnable("SSID1", TRUE, TRUE), 0);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setWMMEnable) " + cfg(1) + ".WMMEnable need not change."));

    EXPECT_EQ(api_setWMMEnable("SSID5", TRUE, TRUE), 0);
    EXPECT_EQ(s().call_count("SetValues"), 1u);
    const std::string one = last_args("SetValues");
    EXPECT_NE(one.find("WMMEnable"), std::string::npos) << one;
    EXPECT_EQ(one.find("UAPSDSupported"), std::string::npos) << one;

    // Without a name every configuration is brought to the values.
    EXPECT_EQ(api_setWMMEnable("", FALSE, FALSE), 0);
    const std::string both = last_args("SetValues");
    EXPECT_LT(both.find("UAPSDSupported"), both.find("WMMEnable")) << both;
    EXPECT_EQ(s().prop_text(cfg(1), kCfg, "WMMEnable"), "false");
    EXPECT_EQ(s().prop_text(cfg(2), kCfg, "UAPSDSupported"), "false");
}

TEST_F(Wmm, EnableOfUnknownSsidAddsAConfigurationAndRefusesBadNames)
{
    EXPECT_EQ(api_setWMMEnable("SSID3", TRUE, FALSE), 0);
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMSupportedSSID"), "'SSID3'");
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMEnable"), "true");
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "UAPSDSupported"), "false");
    EXPECT_EQ(api_setWMMEnable("SSID9", TRUE, FALSE), -1);
    EXPECT_EQ(s().call_count("AddObject"), 1u);
}

TEST_F(Wmm, EnableWalkStopsAtTheFirstFailedWriteAndNeedsObjects)
{
    fail("SetValues");
    EXPECT_EQ(api_setWMMEnable(nullptr, FALSE, FALSE), -1);
    EXPECT_EQ(s().prop_text(cfg(2), kCfg, "UAPSDSupported"), "true");
    remove_matching("/Transfer/WMMConfiguration/");
    EXPECT_EQ(api_setWMMEnable(nullptr, FALSE, FALSE), -1);
}

TEST_F(Wmm, ServiceSetWritesChangesAddsMissingAndRefusesEmptyNames)
{
    gwtest::LogCapture log;
    api_WMMServiceIPSet_t same = entry("voice", "VO", "5060");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &same), 0);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) SSID1.voice need not change."));

    api_WMMServiceIPSet_t moved = entry("voice", "VO", "5070");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &moved), 0);
    EXPECT_EQ(s().prop_text(svc(1, 1), kSvc, "TargetPort"), "'5070'");
    const std::string args = last_args("SetValues");
    EXPECT_NE(args.find("TargetPort"), std::string::npos) << args;
    EXPECT_EQ(args.find("ACLevel"), std::string::npos) << args;

    api_WMMServiceIPSet_t game = entry("game", "VI", "3074");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID5", &game), 0);
    EXPECT_EQ(s().prop_text(svc(2, 1), kSvc, "ServiceName"), "'game'");

    EXPECT_EQ(api_setWMMServiceIPSet("SSID2", &game), 0);
    EXPECT_EQ(s().prop_text(cfg(3), kCfg, "WMMSupportedSSID"), "'SSID2'");
    EXPECT_EQ(s().prop_text(svc(3, 1), kSvc, "TargetPort"), "'3074'");

    api_WMMServiceIPSet_t unnamed = entry("", "VI", "1");
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", &unnamed), -1);
    EXPECT_EQ(api_setWMMServiceIPSet("SSID1", nullptr), -1);
    EXPECT_EQ(api_setWMMServiceIPSet("", &game), -1);
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) WMMSupportedSSID can not be NULL."));
    EXPECT_TRUE(log.contains("(api_setWMMServiceIPSet) ServiceName can not be NULL."));
}

TEST_F(Wmm, DeleteClearsOneServiceOneConfigurationOrAll)
{
    service(2, 1, "game", "VI", "3074");
    gwtest::LogCapture log;
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID1", "video"), 0);
    EXPECT_FALSE(s().exists(svc(1, 2)));
    EXPECT_TRUE(s().exists(svc(1, 1)));
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID1", "video"), -1);
    EXPECT_TRUE(log.contains("(api_deleteWMMServiceIPSet) WMMSupportedSSID or ServiceName no match object."));
    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID7", ""), -1);
    EXPECT_TRUE(log.contains("(api_deleteWMMServiceIPSet) WMMSupportedSSID no match object."));

    EXPECT_EQ(api_deleteWMMServiceIPSet("SSID5", nullptr), 0);
    EXPECT_FALSE(s().exists(svc(2, 1)));
    EXPECT_TRUE(s().exists(svc(1, 1)));

    service(2, 1, "game", "VI", "3074");
    fail("RemoveAllObjects", cfg(1) + "/WMMServiceIPSet");
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), -1);
    EXPECT_TRUE(log.contains("RemoveAllObjects " + cfg(1) + ".WMMServiceIPSet failed."));
    EXPECT_TRUE(s().exists(svc(2, 1)));
    EXPECT_EQ(api_deleteWMMServiceIPSet("", ""), 0);
    EXPECT_FALSE(s().exists(svc(1, 1)));
    EXPECT_FALSE(s().exists(svc(2, 1)));
    EXPECT_TRUE(s().exists(cfg(2)));
}

TEST_F(Wmm, GetReturnsConfigurationsWithTheirServices)
{
    api_WMMIPSetInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(api_getWMMIPSetInfo("", "", &info, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_STREQ(info[0].WMMSupportedSSID, "SSID1");
    EXPECT_TRUE(info[0].UAPSDSupported);
    ASSERT_EQ(info[0].ServiceNum, 2u);
    EXPECT_STREQ(info[0].Service[1].ServiceName, "video");
    EXPECT_STREQ(info[0].Service[1].TargetPort, "554");
    EXPECT_STREQ(info[1].WMMSupportedSSID, "SSID5");
    EXPECT_FALSE(info[1].WMMEnable);
    EXPECT_EQ(info[1].ServiceNum, 0u);
    EXPECT_EQ(info[1].Service, nullptr);
    EXPECT_EQ(api_releaseWMMIPSetInfo(info, count), 0);

    ASSERT_EQ(api_getWMMIPSetInfo("SSID1", "video", &info, &count), 0);
    ASSERT_EQ(count, 1);
    ASSERT_EQ(info[0].ServiceNum, 1u);
    EXPECT_STREQ(info[0].Service[0].ACLevel, "VI");
    EXPECT_EQ(api_releaseWMMIPSetInfo(info, count), 0);
    EXPECT_EQ(api_releaseWMMIPSetInfo(nullptr, 0), -1);
}

TEST_F(Wmm, GetFailsWholeWithoutPartialResult)
{
    api_WMMIPSetInfo_t *info = nullptr;
    int count = -1;
    EXPECT_EQ(api_getWMMIPSetInfo("SSID2", "", &info, &count), -1);
    EXPECT_EQ(api_getWMMIPSetInfo("SSID1", "none", &info, &count), -1);
    fail("GetManagedObjects", cfg(2) + "/WMMServiceIPSet");
    EXPECT_EQ(api_getWMMIPSetInfo("", "", &info, &count), -1);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);

    remove_matching("/Transfer/WMMConfiguration/");
    EXPECT_EQ(api_getWMMIPSetInfo(nullptr, nullptr, &info, &count), 0);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace apitest
