// Device information, storage and web rights, reset, LED and interface names; the framework service's
// log level, the FTTO master, and the plug-in host's list and plug-in states.
#include <algorithm>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "fixture_values.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kPon = "/com/yvc/igd1/Info/PON";
constexpr const char *kPonIface = "com.yvc.igd1.PONInfo";
constexpr const char *kFtp = "/com/yvc/igd1/Storage/FTPServers";
constexpr const char *kFtpIface = "com.yvc.igd1.FTPServer";
constexpr const char *kSamba = "/com/yvc/igd1/Storage/SambaServer/Accounts";
constexpr const char *kSambaIface = "com.yvc.igd1.SambaAccount";
constexpr const char *kHttp = "/com/yvc/igd1/Network/HTTPServer";
constexpr const char *kHttpIface = "com.yvc.igd1.HTTPServer";
constexpr const char *kLed = "/com/yvc/igd1/Config/Peripheral/LED";
constexpr const char *kEth = "/com/yvc/igd1/Config/EthernetConfig";

using Info = ApiSim;

struct TextGetter {
    const char *name;
    int (*get)(char *, int);
    const char *path;
    const char *iface;
    const char *prop;
};

const TextGetter kTextGetters[] = {
    {"MAC", api_getDeviceMAC, kDevice, kDeviceIface, "MAC"},
    {"OUI", api_getDeviceManufacturerOUI, kDevice, kDeviceIface, "ManufacturerOUI"},
    {"SerialNumber", api_getDeviceSerialNumber, kDevice, kDeviceIface, "SerialNumber"},
    {"BridgeIfName", api_getBridgeIfName, kDevice, kDeviceIface, "IfName"},
    {"LOID", api_getDeviceLOID, kPon, kPonIface, "LOID"},
};

TEST_F(Info, TextGettersCopyTheirPropertyCutToTheBuffer)
{
    for (const auto &g : kTextGetters) {
        SCOPED_TRACE(g.name);
        const std::string want = fixture_str(s(), g.path, g.iface, g.prop);
        ASSERT_GT(want.size(), 3u);
        char buf[128] = "";
        ASSERT_EQ(g.get(buf, sizeof buf), 0);
        EXPECT_EQ(std::string(buf), want);
        char small[4] = "";
        ASSERT_EQ(g.get(small, sizeof small), 0);
        EXPECT_EQ(std::string(small), want.substr(0, 3));
        EXPECT_EQ(g.get(nullptr, 8), -1);
        EXPECT_EQ(g.get(buf, 0), -1);
        fail("GetAll", g.path);
        buf[0] = 'x';
        EXPECT_EQ(g.get(buf, sizeof buf), -1);
    }
}

struct NumGetter {
    const char *prop;
    std::function<int(uint64_t *)> get;
};

template <typename T, typename F> std::function<int(uint64_t *)> widen(F f)
{
    return [f](uint64_t *out) {
        T v{};
        const int rc = f(&v);
        *out = static_cast<uint64_t>(v);
        return rc;
    };
}

TEST_F(Info, NumericGettersReturnTheDeviceProperties)
{
    const NumGetter getters[] = {
        {"UpTime", widen<uint32_t>(api_getDeviceUpTime)},
        {"CPUUsage", widen<uint32_t>(api_getCPUOccupancyRate)},
        {"MEMUsage", widen<uint32_t>(api_getRAMOccupancyRate)},
        {"DevWiFi", widen<int>(api_getDeviceWiFi)},
        {"WiFiVersion", widen<int>(api_getDeviceWiFiVersion)},
        {"DevUSB", widen<int>(api_getDeviceUSB)},
        {"DevType", widen<int>(api_getDevType)},
        {"WorkMode", widen<int>(api_getWorkMode)},
    };
    for (const auto &g : getters) {
        SCOPED_TRACE(g.prop);
        uint64_t v = 999;
        ASSERT_EQ(g.get(&v), 0);
        EXPECT_EQ(static_cast<int64_t>(v), fixture_num(s(), kDevice, kDeviceIface, g.prop));
    }
    // A changed value is seen at once: nothing is cached.
    set_prop(kDevice, kDeviceIface, "DevWiFi", "byte 1");
    int wifi = -1;
    ASSERT_EQ(api_getDeviceWiFi(&wifi), 0);
    EXPECT_EQ(wifi, 1);
    EXPECT_EQ(api_getDeviceWiFi(nullptr), -1);
    EXPECT_EQ(api_getDeviceUpTime(nullptr), -1);
    fail("GetAll", kDevice, 2);
    uint32_t up = 0;
    EXPECT_EQ(api_getDeviceUpTime(&up), -1);
    EXPECT_EQ(up, 0u);
}

TEST_F(Info, DeviceInfoIsTheWholeRecord)
{
    api_DeviceInfo_t d{};
    ASSERT_EQ(api_getDeviceInfo(&d), 0);
    expect_fields(s(), kDevice, kDeviceIface,
                  {prop("Vendor", d.Vendor), prop("ModelName", d.ModelName), prop("KernelVersion", d.KernelVersion),
                   prop("RamSize", d.RamSize)});
    EXPECT_EQ(api_getDeviceInfo(nullptr), -1);
}

TEST_F(Info, DefaultSSID1TextsComeFromTheServiceAndARefusalFails)
{
    struct Case {
        const char *method;
        int (*get)(char *, int);
    };
    const Case cases[] = {{"GetDeviceDefaultSSID1Name", api_getDeviceDefaultSSID1Name},
                          {"GetDeviceDefaultSSID1Password", api_getDeviceDefaultSSID1Password}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.method);
        const std::string value = std::string("v-") + c.method;
        s().override_reply("*", "*", c.method, "('" + value + "', uint32 0, '')");
        char buf[64] = "";
        ASSERT_EQ(c.get(buf, sizeof buf), 0);
        EXPECT_EQ(std::string(buf), value);
        char small[5] = "";
        ASSERT_EQ(c.get(small, sizeof small), 0);
        EXPECT_EQ(std::string(small), value.substr(0, 4));

        s().override_reply("*", "*", c.method, "('ignored', uint32 4, 'not provisioned')");
        gwtest::LogCapture log;
        std::strcpy(buf, "kept");
        EXPECT_EQ(c.get(buf, sizeof buf), -1);
        EXPECT_STREQ(buf, "kept");
        EXPECT_TRUE(log.contains("not provisioned"));
        s().override_reply("*", "*", c.method, "");
        fail(c.method);
        EXPECT_EQ(c.get(buf, sizeof buf), -1);
        EXPECT_EQ(c.get(nullptr, 4), -1);
    }
}

// FTP rights and Samba accounts share the user-addressed operations; one scenario runs on both.
template <typename T> struct UserOps {
    const char *collection;
    const char *iface;
    int (*get)(T **, int *);
    int (*release)(T *, int);
    int (*add)(const T *);
    int (*set)(const T *);
    int (*del)(const char *);
    int (*del_all)(void);
};

template <typename T> void user_scenario(gwtest::Igd1Sim &bus, const UserOps<T> &ops)
{
    const std::vector<std::string> paths = fixture_children(bus, ops.collection, ops.iface);
    ASSERT_FALSE(paths.empty());
    T *list = nullptr;
    int count = 0;
    ASSERT_EQ(ops.get(&list, &count), 0);
    ASSERT_EQ(count, static_cast<int>(paths.size()));
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(list[i].path, paths[i]);
        expect_fields(bus, paths[i], ops.iface,
                      {prop("UserName", list[i].UserName), prop("Password", list[i].Password)});
    }
    const std::string existing = list[0].UserName;
    EXPECT_EQ(ops.release(list, count), 0);
    EXPECT_EQ(ops.release(nullptr, 0), -1);

    // A new user is added and written; an existing one is refused without any AddObject.
    T rec{};
    std::strcpy(rec.UserName, "newuser");
    std::strcpy(rec.Password, "pw-new");
    std::strcpy(rec.path, "/bogus/path/ignored");
    ASSERT_EQ(ops.add(&rec), 0);
    const std::string added = at(ops.collection, static_cast<unsigned>(paths.size() + 1));
    expect_fields(bus, added, ops.iface, {prop("UserName", "newuser"), prop("Password", "pw-new")});
    bus.control("ResetCounts", nullptr);
    std::strcpy(rec.UserName, existing.c_str());
    EXPECT_EQ(ops.add(&rec), -1);
    EXPECT_EQ(bus.call_count("AddObject"), 0u);
    rec.UserName[0] = '\0';
    EXPECT_EQ(ops.add(&rec), -1);
    EXPECT_EQ(ops.add(nullptr), -1);

    // A failed write of the new object leaves none behind.
    std::strcpy(rec.UserName, "second");
    bus.fail_next("SetValues");
    EXPECT_EQ(ops.add(&rec), -1);
    EXPECT_EQ(fixture_children(bus, ops.collection, ops.iface).size(), paths.size() + 1);

    // set rewrites the user's own object; an unknown user is -2.
    std::strcpy(rec.UserName, "newuser");
    std::strcpy(rec.Password, "pw-changed");
    ASSERT_EQ(ops.set(&rec), 0);
    EXPECT_EQ(fixture_str(bus, added, ops.iface, "Password"), "pw-changed");
    std::strcpy(rec.UserName, "nobody");
    EXPECT_EQ(ops.set(&rec), -2);

    // delete by name, -2 for an unknown name, then everything.
    EXPECT_EQ(ops.del("nobody"), -2);
    EXPECT_EQ(ops.del(""), -1);
    ASSERT_EQ(ops.del("newuser"), 0);
    EXPECT_FALSE(bus.exists(added));
    EXPECT_TRUE(bus.exists(paths[0]));
    ASSERT_EQ(ops.del_all(), 0);
    EXPECT_TRUE(fixture_children(bus, ops.collection, ops.iface).empty());
    expect_no_list(0, ops.get);

    // A failing list fails every operation.
    const std::function<int()> calls[] = {[&] { return ops.get(&list, &count); }, [&] { return ops.add(&rec); },
                                          [&] { return ops.set(&rec); }, [&] { return ops.del("x"); }, ops.del_all};
    for (const auto &call : calls) {
        bus.fail_next("GetManagedObjects", 1, ops.collection);
        EXPECT_EQ(call(), -1);
    }
}

TEST_F(Info, FtpRightsByUserName)
{
    api_FTPRight_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getFTPRight(&list, &count), 0);
    ASSERT_GE(count, 1);
    expect_fields(s(), at(kFtp, 1), kFtpIface,
                  {prop("Port", list[0].Port), prop("FTPPath", list[0].FTPPath), prop("Enable", list[0].Enable)});
    api_releaseFTPRight(list, count);

    user_scenario<api_FTPRight_t>(s(), {kFtp, kFtpIface, api_getFTPRight, api_releaseFTPRight, api_addFTPRight,
                                        api_setFTPRight, api_deleteFTPRight, api_deleteAllFTPRight});
}

TEST_F(Info, FtpRightWritesPortAndPath)
{
    api_FTPRight_t r{};
    std::strcpy(r.UserName, "cam");
    std::strcpy(r.Password, "c");
    std::strcpy(r.FTPPath, "/mnt/usb1/cam");
    r.Port = 2121;
    r.Enable = 1;
    ASSERT_EQ(api_addFTPRight(&r), 0);
    const std::string added = at(kFtp, 2);
    expect_fields(s(), added, kFtpIface, {prop("Port", 2121), prop("FTPPath", "/mnt/usb1/cam"), prop("Enable", 1)});
    fail("SetValues", added);
    r.Port = 21;
    EXPECT_EQ(api_setFTPRight(&r), -1);
    expect_fields(s(), added, kFtpIface, {prop("Port", 2121)});
    fail("DeleteObject");
    EXPECT_EQ(api_deleteAllFTPRight(), -1);
    EXPECT_TRUE(s().exists(added));
}

TEST_F(Info, SambaAccountsByUserName)
{
    user_scenario<api_SambaAccount_t>(s(), {kSamba, kSambaIface, api_getSambaAccount, api_releaseSambaAccount,
                                            api_addSambaAccount, api_setSambaAccount, api_deleteSambaAccount,
                                            api_deleteAllSambaAccount});
}

TEST_F(Info, HttpRightGrantRevokeAndPassword)
{
    auto expect_http = [&](int64_t enable, const std::string &password) {
        expect_fields(s(), kHttp, kHttpIface, {prop("Enable", enable), prop("Password", password)});
    };
    api_HTTPRight_t h{};
    ASSERT_EQ(api_getHTTPRight(&h), 0);
    const std::string stored = fixture_str(s(), kHttp, kHttpIface, "Password");
    expect_http(h.Enable, h.Password);

    ASSERT_EQ(api_deleteHTTPRight(), 0);
    expect_http(0, stored);
    ASSERT_EQ(api_addHTTPRight(), 0);
    expect_http(1, stored);
    ASSERT_EQ(api_setHTTPUserPassword("n3w-pass"), 0);
    expect_http(1, "n3w-pass");
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_setHTTPUserPassword(""), -1);
    EXPECT_EQ(api_setHTTPUserPassword(nullptr), -1);
    EXPECT_EQ(s().call_count("Set"), 0u);

    h.Enable = 0;
    std::strcpy(h.Password, "both");
    ASSERT_EQ(api_setHTTPRight(&h), 0);
    expect_http(0, "both");
    ASSERT_EQ(api_addHTTPRight(), 0);
    ASSERT_EQ(api_deleteAllHTTPRight(), 0);
    expect_http(0, "");

    fail("GetAll", kHttp);
    EXPECT_EQ(api_addHTTPRight(), -1);
    fail("SetValues", kHttp);
    EXPECT_EQ(api_addHTTPRight(), -1);
    expect_http(0, "");
    fail("Set", kHttp);
    EXPECT_EQ(api_setHTTPUserPassword("x"), -1);
    EXPECT_EQ(api_getHTTPRight(nullptr), -1);
    EXPECT_EQ(api_setHTTPRight(nullptr), -1);
}

TEST_F(Info, ResetAndLed)
{
    ASSERT_EQ(api_reset(), 0);
    EXPECT_EQ(s().call_count("Restore"), 1u);
    s().control("SetResult", g_variant_new("(sus)", "Restore", 3u, "busy"));
    gwtest::LogCapture log;
    EXPECT_EQ(api_reset(), -1);
    EXPECT_TRUE(log.contains("busy"));
    fail("Restore");
    EXPECT_EQ(api_reset(), -1);

    for (const int on : {0, 1}) {
        ASSERT_EQ(api_setLedSwitch(on), 0);
        EXPECT_EQ(fixture_num(s(), kLed, "com.yvc.igd1.LED", "LEDStatus"), on);
    }
    fail("SetValues", kLed);
    EXPECT_EQ(api_setLedSwitch(FALSE), -1);
    EXPECT_EQ(fixture_num(s(), kLed, "com.yvc.igd1.LED", "LEDStatus"), 1);
}

std::vector<std::string> names_of(char **names, int count)
{
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(names[i]);
    EXPECT_EQ(names[count], nullptr);
    return out;
}

TEST_F(Info, InterfaceNameListsFollowTheirCollections)
{
    struct Case {
        const char *collection;
        const char *iface;
        int (*get)(char ***, int *);
        int (*release)(char **, int);
    };
    const Case cases[] = {
        {kWanDb, "com.yvc.igd1.WANConnectionInfo", api_getWANIfName, api_releaseWANIfName},
        {kEth, "com.yvc.igd1.EthernetConfig", api_getLANIfName, api_releaseLANIfName},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.collection);
        std::vector<std::string> want;
        for (const auto &p : fixture_children(s(), c.collection, c.iface))
            want.push_back(fixture_str(s(), p, c.iface, "IfName"));
        ASSERT_FALSE(want.empty());
        char **names = nullptr;
        int count = 0;
        ASSERT_EQ(c.get(&names, &count), 0);
        ASSERT_EQ(count, static_cast<int>(want.size()));
        EXPECT_EQ(names_of(names, count), want);
        EXPECT_EQ(c.release(names, count), 0);
        fail("GetManagedObjects", c.collection);
        expect_no_list(-1, c.get);
        expect_null_refused(c.get, c.release);
    }
    // An empty IfName is left out; no ports at all is an empty result.
    set_prop(std::string(kEth) + "/2", "com.yvc.igd1.EthernetConfig", "IfName", "''");
    char **names = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANIfName(&names, &count), 0);
    const std::vector<std::string> got = names_of(names, count);
    EXPECT_EQ(std::count(got.begin(), got.end(), ""), 0);
    EXPECT_EQ(count, static_cast<int>(fixture_children(s(), kEth, "com.yvc.igd1.EthernetConfig").size()) - 1);
    api_releaseLANIfName(names, count);
    remove_matching("/Config/EthernetConfig/");
    expect_no_list(0, api_getLANIfName);
}

constexpr const char *kZep = "/com/yvc/zep1";
constexpr const char *kOptic = "/com/yvc/igd1/FTTO/LanOptic";

using FrameworkAndFtto = ApiSim;

TEST_F(FrameworkAndFtto, ZepLogLevelIsReadAndWrittenAsAByteWithinSyslogPriorities)
{
    EXPECT_EQ(api_setZepmgLogLevel(7), 0);
    EXPECT_EQ(s().prop_text(kZep, "com.yvc.zep1.framework", "ZepLogLevel"), "byte 0x07");
    int level = -1;
    ASSERT_EQ(api_getZepmgLogLevel(&level), 0);
    EXPECT_EQ(level, 7);
    EXPECT_EQ(api_setZepmgLogLevel(8), -1);
    EXPECT_EQ(api_setZepmgLogLevel(-1), -1);
    EXPECT_EQ(s().prop_text(kZep, "com.yvc.zep1.framework", "ZepLogLevel"), "byte 0x07");
    fail("Set", kZep);
    EXPECT_EQ(api_setZepmgLogLevel(3), -1);
    fail("GetAll", kZep);
    EXPECT_EQ(api_getZepmgLogLevel(&level), -1);
}

TEST_F(FrameworkAndFtto, LanOpticInfoCarriesTheDoubles)
{
    s().set_object(kOptic, R"({"com.yvc.igd1.LanOpticInfo": {"Temperature": "41.25", "Voltage": "3.3",)"
                           R"( "Current": "12.5", "TXPower": "-2.75", "RXPower": "-18.4"}})");
    api_FTTOLanOpticInfo_t o{};
    ASSERT_EQ(api_getFTTOMasterLanOpticInfo(&o), 0);
    EXPECT_DOUBLE_EQ(o.Temperature, 41.25);
    EXPECT_DOUBLE_EQ(o.TXPower, -2.75);
    EXPECT_DOUBLE_EQ(o.RXPower, -18.4);
    fail("GetAll", kOptic);
    EXPECT_EQ(api_getFTTOMasterLanOpticInfo(&o), -1);
    EXPECT_EQ(api_getFTTOMasterLanOpticInfo(nullptr), -1);
}

TEST_F(FrameworkAndFtto, ZepInfoAndRestoreAnswerForTheFrameworkService)
{
    api_ZEPInfo_t info{};
    ASSERT_EQ(api_getZEPInfo(&info), 0);
    EXPECT_EQ("'" + std::string(info.ZepVersion) + "'", s().prop_text(kZep, "com.yvc.zep1.framework", "ZepVersion"));
    EXPECT_EQ("'" + std::string(info.GwagentVersion) + "'",
              s().prop_text(kZep, "com.yvc.zep1.framework", "GwagentVersion"));
    fail("GetAll", kZep);
    EXPECT_EQ(api_getZEPInfo(&info), -1);
    EXPECT_EQ(api_getZEPInfo(nullptr), -1);

    EXPECT_EQ(api_framework_Restore(), 0);
    EXPECT_EQ(s().call_count("Restore"), 1u);
    s().control("SetResult", g_variant_new("(sus)", "Restore", 3u, ""));
    EXPECT_EQ(api_framework_Restore(), 3);
    s().control("SetResult", g_variant_new("(sus)", "Restore", 0x80000000u, ""));
    EXPECT_EQ(api_framework_Restore(), -1) << "a refusal never reads as success or as a small code";
    fail("Restore", kZep);
    EXPECT_EQ(api_framework_Restore(), -1);
}

class FttoMaster : public ApiSim {
protected:
    void SetUp() override
    {
        ApiSim::SetUp();
        const std::string profile = gwtest::source_dir() + "/sim/igd1/profiles/ftto_master.json";
        s().control("LoadProfile", g_variant_new("(s)", profile.c_str()));
    }
};

TEST_F(FttoMaster, CountsAndSlaveListComeFromTheSlaveManager)
{
    EXPECT_EQ(check_is_ftto(), 1);
    int allow = -1, slaves = -1, online = -1;
    ASSERT_EQ(api_getAllowSlaveNum(&allow), 0);
    ASSERT_EQ(api_getSlaveNum(&slaves), 0);
    ASSERT_EQ(api_getSlaveOnlineNum(&online), 0);
    EXPECT_EQ(allow, 8);
    EXPECT_EQ(slaves, 2);
    EXPECT_EQ(online, 1);
    api_FTTOSlaveInfo_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getFTTOSlaveAllInfo(&list, &count), 0);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(list[0].PortNum, 2u);
    EXPECT_STREQ(list[0].SN, "YVCS00000001");
    EXPECT_STREQ(list[1].MAC, "a4-b1-c2-d3-e4-99");
    EXPECT_EQ(list[1].LinkStatus, 0u);
    EXPECT_EQ(api_releaseFTTOSlaveAllInfo(list, count), 0);
    EXPECT_EQ(api_releaseFTTOSlaveAllInfo(nullptr, 0), -1);
}

TEST_F(FttoMaster, RefusedCodesAndFailuresGiveNoList)
{
    api_FTTOSlaveInfo_t *list = reinterpret_cast<api_FTTOSlaveInfo_t *>(&list);
    int count = -1;
    s().override_reply("*", "*", "GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 7, 'slave table busy')");
    EXPECT_EQ(api_getFTTOSlaveAllInfo(&list, &count), -1);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    s().override_reply("*", "*", "GetSlaveAllInfo", "(@a(uuuussssssu) [], uint32 0, '')");
    ASSERT_EQ(api_getFTTOSlaveAllInfo(&list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);
    int n = -1;
    fail("GetAll", "/com/yvc/igd1/FTTO/Master");
    EXPECT_EQ(api_getSlaveNum(&n), -1);
    EXPECT_EQ(n, -1);
    EXPECT_EQ(api_getSlaveNum(nullptr), -1);
}

TEST_F(FttoMaster, OtherDevicesAreRefusedBeforeTheSlaveManagerIsAsked)
{
    gwtest::LogCapture log;
    set_prop(kDevice, kDeviceIface, "DevType", "byte 12");
    EXPECT_EQ(check_is_ftto(), 0);
    s().control("ResetCounts", nullptr);
    int n = -1;
    EXPECT_EQ(api_getAllowSlaveNum(&n), -21);
    api_FTTOSlaveInfo_t *list = nullptr;
    int count = 0;
    EXPECT_EQ(api_getFTTOSlaveAllInfo(&list, &count), -21);
    EXPECT_EQ(s().call_count("GetSlaveAllInfo"), 0u);
    EXPECT_TRUE(log.contains("(api_getAllowSlaveNum) API only support FTTO Master device."));
    fail("Get", kDevice);
    fail("GetAll", kDevice);
    EXPECT_EQ(check_is_ftto(), -1);
}

constexpr const char *kHost = "/com/yvc/appframework1";
constexpr const char *kHostIface = "com.yvc.appframework1.AppAgent";

struct Plugin {
    std::string name, version, state;
    bool operator==(const Plugin &o) const { return name == o.name && version == o.version && state == o.state; }
};

std::ostream &operator<<(std::ostream &os, const Plugin &p)
{
    return os << p.name << "/" << p.version << "/" << p.state;
}

// What a call answered; apps and count stay at their sentinels unless the call set them.
struct Listed {
    int rc;
    bool untouched;
    std::vector<Plugin> plugins;
};

Listed list_apps()
{
    api_AppInfo_t sentinel{};
    api_AppInfo_t *apps = &sentinel;
    int count = 42;
    Listed out{api_getListApp(&apps, &count), apps == &sentinel && count == 42, {}};
    if (apps == &sentinel)
        return out;
    EXPECT_EQ(apps == nullptr, count == 0);
    for (int i = 0; i < count; ++i)
        out.plugins.push_back({apps[i].Name, apps[i].Version, apps[i].State});
    if (apps) {
        EXPECT_EQ(api_releaseListApp(apps, count), 0);
    }
    return out;
}

using AppFramework = ApiSim;

// The fixture holds a running, a stopped and a library package.
const std::vector<Plugin> kFixture = {
    {"speedtest", "1.2.0", "RUNNING"}, {"parental", "0.9.3", "STOPPED"}, {"libyvcore", "2.0.1", "RUNNING"}};

TEST_F(AppFramework, ListCarriesEveryPluginOfTheFixtureInTheHostsOrder)
{
    gwtest::LogCapture log;
    const Listed l = list_apps();
    ASSERT_EQ(l.rc, 0);
    EXPECT_EQ(l.plugins, kFixture);
    EXPECT_TRUE(log.contains("====== enter api_getListApp"));
    EXPECT_EQ(s().call_count("List"), 1u);
}

TEST_F(AppFramework, ListAnswersFollowTheHostsReply)
{
    const std::string long_name(300, 'n');
    const std::string long_version(100, '7');
    const std::string cut_name(sizeof(api_AppInfo_t::Name) - 1, 'n');
    const std::string cut_version(sizeof(api_AppInfo_t::Version) - 1, '7');
    // "fail" makes the call itself fail; otherwise reply replaces the host's answer.
    const struct {
        const char *name;
        bool fail;
        std::string reply;
        int rc;
        std::vector<Plugin> want;
    } cases[] = {
        {"state comes from the run flag, not the display name",
         false,
         "({'a': <('a_arm', '1', uint32 0, 0)>, 'b': <('b_arm_RUNNING', '2', uint32 7, 99)>,"
         " 'libc': <('libc_arm', '3')>},)",
         0,
         {{"a", "1", "STOPPED"}, {"b", "2", "RUNNING"}, {"libc", "3", "RUNNING"}}},
        {"an empty host gives count zero and no block", false, "(@a{sv} {},)", 0, {}},
        {"entries of an unknown shape are left out",
         false,
         "({'odd': <(1, 2)>, 'good': <('good_arm', '5.0', uint32 1, 12)>},)",
         0,
         {{"good", "5.0", "RUNNING"}}},
        {"only unknown shapes is no failure", false, "({'odd': <(1, 2)>},)", 0, {}},
        {"long names and versions are cut",
         false,
         "({'" + long_name + "': <('x', '" + long_version + "', uint32 1, 1)>},)",
         0,
         {{cut_name, cut_version, "RUNNING"}}},
        {"a mistyped reply", false, "(int32 3,)", -1, {}},
        {"a failed call", true, "", -1, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        s().override_reply(kHost, kHostIface, "List", c.reply);
        if (c.fail)
            s().fail_next("List", 1, kHost);
        const Listed l = list_apps();
        EXPECT_EQ(l.rc, c.rc);
        EXPECT_EQ(l.untouched, c.rc != 0);
        EXPECT_EQ(l.plugins, c.want);
    }
    // The failure was for one call only: the next one reads the fixture again.
    const Listed l = list_apps();
    EXPECT_EQ(l.rc, 0);
    EXPECT_EQ(l.plugins, kFixture);
}

TEST_F(AppFramework, ListAndReleaseRefuseNullPointers)
{
    int count = 0;
    api_AppInfo_t *apps = nullptr;
    EXPECT_EQ(api_getListApp(nullptr, &count), -1);
    EXPECT_EQ(api_getListApp(&apps, nullptr), -1);
    EXPECT_EQ(s().call_count("List"), 0u);
    EXPECT_EQ(api_releaseListApp(nullptr, 0), -1);
}

TEST_F(AppFramework, StatusIsTheHostsTextForThatNameCutToTheBuffer)
{
    gwtest::LogCapture log;
    // "fail" makes the call fail; reply replaces the host's answer; calls counts the GetStatus calls made.
    const struct {
        const char *name;
        int size;
        bool fail;
        std::string reply;
        int rc;
        const char *want;
        unsigned calls;
    } cases[] = {
        {"parental", 32, false, "", 0, "STOPPED", 1},
        {"speedtest", 32, false, "", 0, "RUNNING", 1},
        {"libyvcore", 32, false, "", 0, "RUNNING", 1},
        {"nosuch", 32, false, "", 0, "EEXIST", 1},
        {"speedtest", 4, false, "", 0, "RUN", 1},
        {"speedtest", 16, false, "('" + std::string(40, 'S') + "',)", 0, "SSSSSSSSSSSSSSS", 1},
        {"speedtest", 16, true, "", -1, "keep", 1},
        {"speedtest", 16, false, "(uint32 1,)", -1, "keep", 1},
        {nullptr, 16, false, "", -1, "keep", 0},
        {"", 16, false, "", -1, "keep", 0},
        {"speedtest", 0, false, "", -1, "keep", 0},
        {"speedtest", -3, false, "", -1, "keep", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name ? c.name : "(null)") + " size " + std::to_string(c.size) + " " + c.reply);
        s().override_reply(kHost, kHostIface, "GetStatus", c.reply);
        s().control("ResetCounts", nullptr);
        if (c.fail)
            s().fail_next("GetStatus", 1, kHost);
        // Exactly the size the caller gives, so that a write past it is caught.
        std::vector<char> state(c.size > 0 ? static_cast<size_t>(c.size) : 5);
        if (state.size() >= 5)
            std::copy_n("keep", 5, state.data());
        EXPECT_EQ(api_getAppStatus(c.name, state.data(), c.size), c.rc);
        EXPECT_STREQ(state.data(), c.want);
        EXPECT_EQ(s().call_count("GetStatus"), c.calls);
        if (c.calls && !c.fail) {
            EXPECT_EQ(last_args("GetStatus"), "('" + std::string(c.name) + "',)");
        }
    }
    EXPECT_EQ(api_getAppStatus("speedtest", nullptr, 16), -1);
    EXPECT_EQ(s().call_count("GetStatus"), 0u);
    EXPECT_TRUE(log.contains("====== enter api_getAppStatus"));
}

}  // namespace
}  // namespace apitest
