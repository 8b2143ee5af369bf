// PON uplink and WAN state, diagnostics start-and-subscribe, platform status, the Internet PPPoE account,
// compact host and port records, information security reports and automatic diagnostics.
#include <cstring>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"
#include "standin.hpp"

namespace apitest {
namespace {

constexpr const char *kPon = "/com/yvc/igd1/Info/PON";
constexpr const char *kPonIface = "com.yvc.igd1.PONInfo";
constexpr const char *kNet = "/com/yvc/igd1/Info/Network";
constexpr const char *kNetIface = "com.yvc.igd1.NetworkInfo";
constexpr const char *kWanIface = "com.yvc.igd1.WANConnectionInfo";
constexpr const char *kPPPoE = "/com/yvc/igd1/Orvane/PPPoE";
constexpr const char *kPPPoEIface = "com.yvc.igd1.PPPoE";
constexpr const char *kHosts = "/com/yvc/igd1/Config/LANHosts";
constexpr const char *kHostIface = "com.yvc.igd1.LANHost";
constexpr const char *kEth = "/com/yvc/igd1/Config/EthernetConfig";
constexpr const char *kEthIface = "com.yvc.igd1.EthernetConfig";
constexpr const char *kRedirect = "/com/yvc/igd1/Transfer/AutoDiagnostics/Redirect";
constexpr const char *kRedirectIface = "com.yvc.igd1.AutoDiagnosticsRedirect";
constexpr const char *kMonitor = "/com/yvc/igd1/Transfer/AutoDiagnostics/Monitor";

using Uplink = ApiSim;

TEST_F(Uplink, PonGettersFollowPonAndNetworkInfo)
{
    char status[64] = "";
    ASSERT_EQ(api_getPONIfPhyStatus(status, sizeof status), 0);
    EXPECT_EQ(std::string(status), fixture_str(s(), kPon, kPonIface, "PONStatus"));
    uint32_t up = 0;
    ASSERT_EQ(api_getPONIfUpTime(&up), 0);
    EXPECT_EQ(up, fixture_num(s(), kNet, kNetIface, "PONDuration"));
    int reg = -1;
    ASSERT_EQ(api_getPONIfRegisterStatus(&reg), 0);
    EXPECT_EQ(reg, fixture_str(s(), kPon, kPonIface, "PONStatus") == "O5" ? 1 : 0);
    set_prop(kPon, kPonIface, "PONStatus", "'O5'");
    ASSERT_EQ(api_getPONIfRegisterStatus(&reg), 0);
    EXPECT_EQ(reg, 1);
    set_prop(kPon, kPonIface, "PONStatus", "'O1'");
    ASSERT_EQ(api_getPONIfRegisterStatus(&reg), 0);
    EXPECT_EQ(reg, 0);

    api_UplinkIfStats_t st{};
    ASSERT_EQ(api_getUplinkIfStats(&st), 0);
    expect_fields(s(), kNet, kNetIface, {prop("UPLink", st.UPLink), prop("UPLinkType", st.UPLinkType)});
    expect_fields(s(), kPon, kPonIface,
                  {prop("RXPower", st.RXPower), prop("Temperature", st.Temperature),
                   prop("BytesReceived", st.BytesReceived), prop("DownSpeed", st.DownSpeed)});

    fail("GetAll", kNet);
    api_UplinkIfStats_t untouched{};
    EXPECT_EQ(api_getUplinkIfStats(&untouched), -1);
    EXPECT_EQ(untouched.BytesReceived, 0u);
    fail("GetAll", kPon);
    EXPECT_EQ(api_getPONIfPhyStatus(status, sizeof status), -1);
    EXPECT_EQ(api_getPONIfPhyStatus(status, 0), -1);
    EXPECT_EQ(api_getPONIfUpTime(nullptr), -1);
}

TEST_F(Uplink, WanStateByIndexText)
{
    for (const auto &p : fixture_children(s(), kWanDb, kWanIface)) {
        const std::string index = fixture_str(s(), p, kWanIface, "Index");
        SCOPED_TRACE(index);
        const uint32_t n = static_cast<uint32_t>(std::stoul(index));
        api_WANIfStats_t st{};
        api_WANIfInfo_t info{};
        api_WANIfStatus_t ws{};
        ASSERT_EQ(api_getWANIfStats(n, &st), 0);
        ASSERT_EQ(api_getWANIfInfo(n, &info), 0);
        ASSERT_EQ(api_getWANIfStatus(n, &ws), 0);
        EXPECT_EQ(info.path, p);
        expect_fields(s(), p, kWanIface,
                      {prop("RxBytes", st.RxBytes), prop("TxPkts", st.TxPkts), prop("UpTime", st.UpTime),
                       prop("WANName", info.WANName), prop("ConnectionStatus", ws.ConnectionStatus),
                       prop("LastConnectionError", ws.LastConnectionError)});
    }
    api_WANIfStats_t st{};
    gwtest::LogCapture log;
    EXPECT_EQ(api_getWANIfStats(99, &st), -2);
    EXPECT_TRUE(log.contains("(api_getWANIfStats) WanIndex no match Object."));
    api_WANIfStatus_t ws{};
    EXPECT_EQ(api_getWANIfStatus(99, &ws), -2);
    fail("GetManagedObjects", kWanDb);
    api_WANIfInfo_t info{};
    EXPECT_EQ(api_getWANIfInfo(1, &info), -1);
    EXPECT_EQ(api_getWANIfInfo(1, nullptr), -1);
}

struct Results {
    int calls = 0;
    gw::VariantPtr params;
};
Results g_results;

void on_result(const char *, const char *, const char *, const char *, GVariant *p, void *)
{
    g_results.calls++;
    g_results.params.reset(p ? g_variant_ref(p) : nullptr);
}

TEST_F(Uplink, PingStartsThenDeliversItsResult)
{
    g_results = Results{};
    mth_IPPingParam_t ping{};
    ping.WANIndex = 1;
    std::strcpy(ping.Host, "198.51.100.7");
    ping.NumberOfRepetitions = 3;
    const int id = api_startIPPingDiagnostics(&ping, on_result);
    ASSERT_GT(id, 0);
    EXPECT_NE(last_args("StartIPPingDiagnostics").find("198.51.100.7"), std::string::npos);
    s().control("EmitSignal",
                g_variant_new("(ssss)", "/com/yvc/igd1/Diagnostics/IPPing", "com.yvc.igd1.IPPingDiagnostics",
                              "IPPingResponse",
                              "({'SuccessCount': <uint32 3>, 'FailureCount': <uint32 0>}, uint32 0, '')"));
    ASSERT_TRUE(gwtest::wait_until([] { return g_results.calls > 0; }));
    scb_IPPingResult_t r{};
    ASSERT_EQ(scb_decode_IPPingResponse(g_results.params.get(), &r), 0);
    EXPECT_EQ(r.SuccessCount, 3u);
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));

    s().control("SetResult", g_variant_new("(sus)", "StartIPPingDiagnostics", 2u, "bad host"));
    gwtest::LogCapture log;
    EXPECT_EQ(api_startIPPingDiagnostics(&ping, on_result), -1);
    EXPECT_TRUE(log.contains("(api_startIPPingDiagnostics) startIPPingDiagnostics failed, 0,2 : bad host"));
    EXPECT_EQ(check_dbus_SubscribeSignal_Enable(nullptr, "/com/yvc/igd1/Diagnostics/IPPing",
                                                "com.yvc.igd1.IPPingDiagnostics", "IPPingResponse"),
              0u);
    EXPECT_EQ(api_startIPPingDiagnostics(nullptr, on_result), -1);
    EXPECT_EQ(api_startIPPingDiagnostics(&ping, nullptr), -1);
}

TEST_F(Uplink, TraceRouteStartsThenDeliversItsResult)
{
    g_results = Results{};
    mth_TraceRouteParam_t tr{};
    tr.WANIndex = 1;
    std::strcpy(tr.Host, "example.net");
    tr.MaxHopCount = 12;
    fail("StartTraceRouteDiagnostics");
    EXPECT_EQ(api_startTraceRouteDiagnostics(&tr, on_result), -1);
    const int id = api_startTraceRouteDiagnostics(&tr, on_result);
    ASSERT_GT(id, 0);
    s().control("EmitSignal", g_variant_new("(ssss)", "/com/yvc/igd1/Diagnostics/TraceRoute",
                                            "com.yvc.igd1.TraceRouteDiagnostics", "TraceRouteResponse",
                                            "({'RouteHops': <[('gw', '192.168.1.1', uint32 1, '')]>}, uint32 0, '')"));
    ASSERT_TRUE(gwtest::wait_until([] { return g_results.calls > 0; }));
    scb_TraceRouteResult_t r{};
    ASSERT_EQ(scb_decode_TraceRouteResponse(g_results.params.get(), &r), 0);
    ASSERT_EQ(r.hop_count, 1);
    EXPECT_STREQ(r.hops[0].HostAddress, "192.168.1.1");
    g_free(r.hops);
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(id));
}

TEST_F(Uplink, PlatformStatusJoinsUciAndTheAgent)
{
    gwtest::TempRoot root;
    gwtest::StandIn agent("com.yvc.gwagent1");
    agent.reply("/com/yvc/gwagent1 com.yvc.gwagent1 GetStatus", g_variant_new("(suu)", "plat.example.net", 8443u, 2u));
    api_PlatformStatus_t st{};
    EXPECT_EQ(api_getPlatformStatus(&st), -1);  // no option yet
    root.write("/etc/config/gwagent", "config distri 'distri'\n\toption address 'distri.example.org'\n");
    ASSERT_EQ(api_getPlatformStatus(&st), 0);
    EXPECT_STREQ(st.DistriAddress, "distri.example.org");
    EXPECT_STREQ(st.ServerAddress, "plat.example.net");
    EXPECT_EQ(st.ServerPort, 8443u);
    EXPECT_EQ(st.Status, 2u);
    agent.fail("/com/yvc/gwagent1 com.yvc.gwagent1 GetStatus");
    api_PlatformStatus_t untouched{};
    EXPECT_EQ(api_getPlatformStatus(&untouched), -1);
    EXPECT_STREQ(untouched.DistriAddress, "");
    EXPECT_EQ(api_getPlatformStatus(nullptr), -1);
}

TEST_F(Uplink, InternetPPPoEAccountLadder)
{
    std::string wan1 = std::string(kWanDb) + "/1";
    hgu_PPPoEInfo_t info{};
    gwtest::LogCapture log;
    if (fixture_str(s(), wan1, kWanIface, "ConnectionType") != "PPPoE_Routed") {
        EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -3);
        EXPECT_TRUE(log.contains("default internet wan " + fixture_str(s(), wan1, kWanIface, "WANName") +
                                 " is not PPPoE_Routed."));
    }
    set_prop(wan1, kWanIface, "ConnectionType", "'PPPoE_Routed'");
    ASSERT_EQ(getDefaultInternetPPPoEInfo(&info), 0);
    const std::string name = fixture_str(s(), wan1, kWanIface, "WANName");
    std::string account;
    for (const auto &p : fixture_children(s(), kPPPoE, kPPPoEIface))
        if (fixture_str(s(), p, kPPPoEIface, "WANName") == name && account.empty())
            account = p;
    ASSERT_FALSE(account.empty());
    EXPECT_STREQ(info.WANName, name.c_str());
    expect_fields(s(), account, kPPPoEIface,
                  {prop("PPPoEUserName", info.PPPoEUserName), prop("PPPoEPassword", info.PPPoEPassword),
                   prop("DialMode", info.DialMode), prop("IdleTime", info.IdleTime)});

    fail("GetInternetConnIndex");
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -1);
    s().control("SetResult", g_variant_new("(sus)", "GetInternetConnIndex", 1u, "none"));
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -1);
    s().control("SetResult", g_variant_new("(sus)", "GetInternetConnIndex", 0u, ""));
    fail("GetAll", wan1);
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -2);
    fail("GetManagedObjects", kPPPoE);
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -4);
    set_prop(account, kPPPoEIface, "WANName", "'renamed'");
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -5);
    remove_matching("/Orvane/PPPoE/");
    EXPECT_EQ(getDefaultInternetPPPoEInfo(&info), -4);
    EXPECT_EQ(getDefaultInternetPPPoEInfo(nullptr), -1);
}

TEST_F(Uplink, HostFilterKeepsOneClassOrAll)
{
    const std::vector<std::string> paths = fixture_children(s(), kHosts, kHostIface);
    const struct {
        int filter;
        const char *cls;
    } cases[] = {{1, "ONLINE"}, {2, "OFFLINE"}, {3, "BLOCK"}, {0, nullptr}, {7, nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.filter);
        std::vector<std::string> want;
        for (const auto &p : paths)
            if (!c.cls || fixture_str(s(), p, kHostIface, "HostClass") == c.cls)
                want.push_back(p);
        hgu_LANHostInfo_t *hosts = nullptr;
        int count = 0;
        ASSERT_EQ(g_api_getLANHostInfo(c.filter, &hosts, &count), 0);
        ASSERT_EQ(count, static_cast<int>(want.size()));
        for (int i = 0; i < count; ++i)
            expect_fields(s(), want[i], kHostIface,
                          {prop("MAC", hosts[i].MAC), prop("HostClass", hosts[i].HostClass), prop("IP", hosts[i].IP),
                           prop("RxBytes", hosts[i].RxBytes)});
        if (count) {
            EXPECT_EQ(g_api_releaseLANHostInfo(hosts, count), 0);
        }
    }
    for (const auto &p : paths)
        if (fixture_str(s(), p, kHostIface, "HostClass") == "BLOCK")
            s().remove_object(p);
    expect_no_list<hgu_LANHostInfo_t>(0, [](auto l, auto c) { return g_api_getLANHostInfo(3, l, c); });
    EXPECT_EQ(g_api_releaseLANHostInfo(nullptr, 0), -1);
    fail("GetManagedObjects", kHosts);
    expect_no_list<hgu_LANHostInfo_t>(-1, [](auto l, auto c) { return g_api_getLANHostInfo(0, l, c); });
}

TEST_F(Uplink, EthernetPortsAsCompactRecords)
{
    const std::vector<std::string> ports = fixture_children(s(), kEth, kEthIface);
    hgu_EthernetInfo_t *info = nullptr;
    int count = 0;
    ASSERT_EQ(g_api_getEthernetConfigInfo(&info, &count), 0);
    ASSERT_EQ(count, static_cast<int>(ports.size()));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(std::to_string(info[i].Index), ports[i].substr(ports[i].rfind('/') + 1));
        expect_fields(s(), ports[i], kEthIface,
                      {prop("IfName", info[i].IfName), prop("Status", info[i].Status),
                       prop("BytesReceived", info[i].BytesReceived)});
    }
    EXPECT_EQ(g_api_releaseEthernetConfigInfo(info, count), 0);
    fail("GetManagedObjects", kEth);
    expect_no_list(-1, g_api_getEthernetConfigInfo);
    EXPECT_EQ(g_api_releaseEthernetConfigInfo(nullptr, 0), -1);
}

TEST_F(Uplink, InfosecRecordsCarryTheirKinds)
{
    api_InfosecDevInfo_t d{};
    ASSERT_EQ(api_getDevInfo(&d), 0);
    expect_fields(s(), kDevice, kDeviceIface,
                  {prop("Vendor", d.Vendor), prop("GPONSN", d.GPONSN), prop("LANNum", d.LANNum)});
    expect_fields(s(), kPon, kPonIface, {prop("LOID", d.LOID)});
    fail("GetAll", kPon);
    EXPECT_EQ(api_getDevInfo(&d), -1);

    const std::vector<std::string> accounts = fixture_children(s(), kPPPoE, kPPPoEIface);
    api_PPPoEInfo_t *pp = nullptr;
    int n = 0;
    ASSERT_EQ(api_getPPPoEInfo(&pp, &n), 0);
    ASSERT_EQ(n, static_cast<int>(accounts.size()));
    for (int i = 0; i < n; ++i)
        EXPECT_STREQ(pp[i].PPPoEUserName, fixture_str(s(), accounts[i], kPPPoEIface, "PPPoEUserName").c_str());
    EXPECT_EQ(api_releasePPPoEInfo(pp, n), 0);
    EXPECT_EQ(api_releasePPPoEInfo(nullptr, 0), -1);

    // Each connection carries the user name of the account that names it, or nothing.
    const std::vector<std::string> wans = fixture_children(s(), kWanDb, kWanIface);
    api_InfosecWANInfo_t *w = nullptr;
    ASSERT_EQ(api_getWANInfo(&w, &n), 0);
    ASSERT_EQ(n, static_cast<int>(wans.size()));
    bool some_account = false;
    for (int i = 0; i < n; ++i) {
        const std::string name = fixture_str(s(), wans[i], kWanIface, "WANName");
        expect_fields(s(), wans[i], kWanIface, {prop("WANName", w[i].WANName), prop("IPAddress", w[i].IPAddress)});
        std::string user;
        for (const auto &a : accounts)
            if (user.empty() && fixture_str(s(), a, kPPPoEIface, "WANName") == name)
                user = fixture_str(s(), a, kPPPoEIface, "PPPoEUserName");
        some_account = some_account || !user.empty();
        EXPECT_STREQ(w[i].PPPoEUserName, user.c_str());
    }
    EXPECT_TRUE(some_account);
    EXPECT_EQ(api_releaseWANInfo(w, n), 0);
    fail("GetManagedObjects", kPPPoE);
    expect_no_list(-1, api_getWANInfo);
}

TEST_F(Uplink, InformDataIsWholeOrNothing)
{
    api_InformData_t *data = nullptr;
    ASSERT_EQ(api_InformGetData(&data), 0);
    ASSERT_NE(data, nullptr);
    EXPECT_STREQ(data->Dev.SerialNumber, fixture_str(s(), kDevice, kDeviceIface, "SerialNumber").c_str());
    EXPECT_EQ(data->EthernetNum, static_cast<int>(fixture_children(s(), kEth, kEthIface).size()));
    EXPECT_EQ(data->LANHostNum, static_cast<int>(fixture_children(s(), kHosts, kHostIface).size()));
    EXPECT_EQ(data->WANNum, static_cast<int>(fixture_children(s(), kWanDb, kWanIface).size()));
    ASSERT_GT(data->LANHostNum, 0);
    EXPECT_STREQ(data->LANHost[0].MAC,
                 fixture_str(s(), fixture_children(s(), kHosts, kHostIface)[0], kHostIface, "MAC").c_str());
    EXPECT_EQ(api_InformReleaseData(data), 0);
    EXPECT_EQ(api_InformReleaseData(nullptr), -1);

    for (const char *coll : {kEth, kHosts, kWanDb}) {
        SCOPED_TRACE(coll);
        fail("GetManagedObjects", coll);
        data = reinterpret_cast<api_InformData_t *>(0x1);
        EXPECT_EQ(api_InformGetData(&data), -1);
        EXPECT_EQ(data, nullptr);
    }
    EXPECT_EQ(api_InformGetData(nullptr), -1);
}

TEST_F(Uplink, RedirectNeedsAUrlToBeEnabled)
{
    auto expect_redirect = [&](int enable, const char *url) {
        expect_fields(s(), kRedirect, kRedirectIface, {prop("RedirectEnable", enable), prop("RedirectURL", url)});
    };
    api_DiagInfo_t d{};
    ASSERT_EQ(api_getDiagInfo(&d), 0);
    expect_redirect(d.RedirectEnable ? 1 : 0, d.RedirectURL);

    ASSERT_EQ(api_setRedirect(TRUE, "http://diag.example.net/r"), 0);
    expect_redirect(1, "http://diag.example.net/r");
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_setRedirect(TRUE, ""), -1);
    EXPECT_EQ(api_setRedirect(TRUE, nullptr), -1);
    EXPECT_EQ(s().call_count("SetValues"), 0u);
    ASSERT_EQ(api_setRedirect(FALSE, nullptr), 0);
    expect_redirect(0, "http://diag.example.net/r");
    fail("SetValues", kRedirect);
    EXPECT_EQ(api_setRedirect(TRUE, "http://other"), -1);
    expect_redirect(0, "http://diag.example.net/r");
    fail("GetAll", kRedirect);
    EXPECT_EQ(api_getDiagInfo(&d), -1);
}

struct FaultSeen {
    int calls = 0;
    std::string iface;
    std::vector<std::pair<std::string, std::string>> props;
};

void on_fault(const api_FaultEvent_t *ev, void *ud)
{
    auto *f = static_cast<FaultSeen *>(ud);
    f->calls++;
    f->iface = ev->Interface;
    f->props.clear();
    for (int i = 0; i < ev->PropertyNum; ++i)
        f->props.emplace_back(ev->Property[i].Name, ev->Property[i].Value);
}

void on_fault_other(const api_FaultEvent_t *ev, void *ud) { on_fault(ev, ud); }

TEST_F(Uplink, FaultEventSlotHoldsOneSubscriber)
{
    auto emit = [&](const char *payload) {
        s().control("EmitSignal",
                    g_variant_new("(ssss)", kMonitor, "com.yvc.igd1.Properties", "PropertiesChanged", payload));
    };
    FaultSeen first, second;
    EXPECT_EQ(api_subscribeFaultEvent(on_fault, nullptr), -1);
    ASSERT_EQ(api_subscribeFaultEvent(on_fault, &first), 0);
    emit("('com.yvc.igd1.AutoDiagnostics', {'FaultCode': <'1002'>, 'Count': <uint32 3>}, @as [])");
    ASSERT_TRUE(gwtest::wait_until([&] { return first.calls > 0; }));
    EXPECT_EQ(first.iface, "com.yvc.igd1.AutoDiagnostics");
    ASSERT_EQ(first.props.size(), 2u);
    EXPECT_EQ(first.props[0], std::make_pair(std::string("FaultCode"), std::string("1002")));
    EXPECT_EQ(first.props[1], std::make_pair(std::string("Count"), std::string("3")));

    gwtest::LogCapture log;
    ASSERT_EQ(api_subscribeFaultEvent(on_fault_other, &second), 0);
    EXPECT_TRUE(
        log.contains("(api_subscribeFaultEvent) subscribe AutoDiagnostics signal has exist, first unsubscribe it."));
    emit("('x', @a{sv} {}, @as [])");
    ASSERT_TRUE(gwtest::wait_until([&] { return second.calls > 0; }));
    const int first_calls = first.calls;
    EXPECT_TRUE(second.props.empty());
    EXPECT_EQ(second.iface, "x");

    ASSERT_EQ(api_subscribeFaultEvent(nullptr, nullptr), 0);
    EXPECT_EQ(check_dbus_SubscribeSignal_Enable(nullptr, kMonitor, "com.yvc.igd1.Properties", "PropertiesChanged"), 0u);
    // A probe subscribed now is the only listener: once it has the signal, the slot would have had it too.
    int probe_calls = 0;
    const long probe = h_dbus_SubscribeSignal(
        nullptr, kMonitor, "com.yvc.igd1.Properties", "PropertiesChanged",
        [](const char *, const char *, const char *, const char *, GVariant *, void *ud) { ++*static_cast<int *>(ud); },
        &probe_calls);
    ASSERT_GT(probe, 0);
    const int second_calls = second.calls;
    emit("('y', @a{sv} {}, @as [])");
    ASSERT_TRUE(gwtest::wait_until([&] { return probe_calls > 0; }));
    EXPECT_EQ(second.calls, second_calls);
    EXPECT_EQ(first.calls, first_calls);
    EXPECT_EQ(api_subscribeFaultEvent(nullptr, nullptr), -1);
    EXPECT_TRUE(log.contains("(api_subscribeFaultEvent) unsubscribe AutoDiagnostics signal which SubID is wrong."));
    h_dbus_UnSubscribeSignal(static_cast<unsigned>(probe));
}

}  // namespace
}  // namespace apitest
