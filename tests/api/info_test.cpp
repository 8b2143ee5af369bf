// Device information, storage and web rights, reset, LED and interface names.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "device_fixture.hpp"
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
        const std::string want = dev::str(s(), g.path, g.iface, g.prop);
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
        EXPECT_EQ(v, dev::num(s(), kDevice, kDeviceIface, g.prop));
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
    EXPECT_STREQ(d.Vendor, dev::str(s(), kDevice, kDeviceIface, "Vendor").c_str());
    EXPECT_STREQ(d.ModelName, dev::str(s(), kDevice, kDeviceIface, "ModelName").c_str());
    EXPECT_STREQ(d.KernelVersion, dev::str(s(), kDevice, kDeviceIface, "KernelVersion").c_str());
    EXPECT_EQ(d.RamSize, dev::num(s(), kDevice, kDeviceIface, "RamSize"));
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
    const std::vector<std::string> paths = dev::children(bus, ops.collection, ops.iface);
    ASSERT_FALSE(paths.empty());
    T *list = nullptr;
    int count = 0;
    ASSERT_EQ(ops.get(&list, &count), 0);
    ASSERT_EQ(count, static_cast<int>(paths.size()));
    for (int i = 0; i < count; ++i) {
        EXPECT_STREQ(list[i].path, paths[i].c_str());
        EXPECT_STREQ(list[i].UserName, dev::str(bus, paths[i], ops.iface, "UserName").c_str());
        EXPECT_STREQ(list[i].Password, dev::str(bus, paths[i], ops.iface, "Password").c_str());
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
    const std::string added = std::string(ops.collection) + "/" + std::to_string(paths.size() + 1);
    EXPECT_EQ(dev::str(bus, added, ops.iface, "UserName"), "newuser");
    EXPECT_EQ(dev::str(bus, added, ops.iface, "Password"), "pw-new");
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
    EXPECT_EQ(dev::children(bus, ops.collection, ops.iface).size(), paths.size() + 1);

    // set rewrites the user's own object; an unknown user is -2.
    std::strcpy(rec.UserName, "newuser");
    std::strcpy(rec.Password, "pw-changed");
    ASSERT_EQ(ops.set(&rec), 0);
    EXPECT_EQ(dev::str(bus, added, ops.iface, "Password"), "pw-changed");
    std::strcpy(rec.UserName, "nobody");
    EXPECT_EQ(ops.set(&rec), -2);

    // delete by name, -2 for an unknown name, then everything.
    EXPECT_EQ(ops.del("nobody"), -2);
    EXPECT_EQ(ops.del(""), -1);
    ASSERT_EQ(ops.del("newuser"), 0);
    EXPECT_FALSE(bus.exists(added));
    EXPECT_TRUE(bus.exists(paths[0]));
    ASSERT_EQ(ops.del_all(), 0);
    EXPECT_TRUE(dev::children(bus, ops.collection, ops.iface).empty());
    list = reinterpret_cast<T *>(0x1);
    ASSERT_EQ(ops.get(&list, &count), 0);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(count, 0);

    // A failing list fails every operation.
    for (int i = 0; i < 5; ++i) {
        bus.fail_next("GetManagedObjects", 1, ops.collection);
        int rc = 0;
        switch (i) {
        case 0:
            rc = ops.get(&list, &count);
            break;
        case 1:
            rc = ops.add(&rec);
            break;
        case 2:
            rc = ops.set(&rec);
            break;
        case 3:
            rc = ops.del("x");
            break;
        default:
            rc = ops.del_all();
            break;
        }
        EXPECT_EQ(rc, -1) << "operation " << i;
    }
}

TEST_F(Info, FtpRightsByUserName)
{
    const std::string first = std::string(kFtp) + "/1";
    api_FTPRight_t *list = nullptr;
    int count = 0;
    ASSERT_EQ(api_getFTPRight(&list, &count), 0);
    ASSERT_GE(count, 1);
    EXPECT_EQ(list[0].Port, dev::num(s(), first, kFtpIface, "Port"));
    EXPECT_STREQ(list[0].FTPPath, dev::str(s(), first, kFtpIface, "FTPPath").c_str());
    EXPECT_EQ(list[0].Enable, dev::num(s(), first, kFtpIface, "Enable"));
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
    const std::string added = std::string(kFtp) + "/2";
    EXPECT_EQ(dev::num(s(), added, kFtpIface, "Port"), 2121u);
    EXPECT_EQ(dev::str(s(), added, kFtpIface, "FTPPath"), "/mnt/usb1/cam");
    EXPECT_EQ(dev::num(s(), added, kFtpIface, "Enable"), 1u);
    fail("SetValues", added);
    r.Port = 21;
    EXPECT_EQ(api_setFTPRight(&r), -1);
    EXPECT_EQ(dev::num(s(), added, kFtpIface, "Port"), 2121u);
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
    api_HTTPRight_t h{};
    ASSERT_EQ(api_getHTTPRight(&h), 0);
    EXPECT_EQ(h.Enable, dev::num(s(), kHttp, kHttpIface, "Enable"));
    const std::string stored = dev::str(s(), kHttp, kHttpIface, "Password");
    EXPECT_STREQ(h.Password, stored.c_str());

    ASSERT_EQ(api_deleteHTTPRight(), 0);
    EXPECT_EQ(dev::num(s(), kHttp, kHttpIface, "Enable"), 0u);
    EXPECT_EQ(dev::str(s(), kHttp, kHttpIface, "Password"), stored);
    ASSERT_EQ(api_addHTTPRight(), 0);
    EXPECT_EQ(dev::num(s(), kHttp, kHttpIface, "Enable"), 1u);

    ASSERT_EQ(api_setHTTPUserPassword("n3w-pass"), 0);
    EXPECT_EQ(dev::str(s(), kHttp, kHttpIface, "Password"), "n3w-pass");
    s().control("ResetCounts", nullptr);
    EXPECT_EQ(api_setHTTPUserPassword(""), -1);
    EXPECT_EQ(api_setHTTPUserPassword(nullptr), -1);
    EXPECT_EQ(s().call_count("Set"), 0u);
    EXPECT_EQ(dev::str(s(), kHttp, kHttpIface, "Password"), "n3w-pass");

    h.Enable = 0;
    std::strcpy(h.Password, "both");
    ASSERT_EQ(api_setHTTPRight(&h), 0);
    EXPECT_EQ(dev::str(s(), kHttp, kHttpIface, "Password"), "both");
    EXPECT_EQ(dev::num(s(), kHttp, kHttpIface, "Enable"), 0u);

    ASSERT_EQ(api_addHTTPRight(), 0);
    ASSERT_EQ(api_deleteAllHTTPRight(), 0);
    EXPECT_EQ(dev::num(s(), kHttp, kHttpIface, "Enable"), 0u);
    EXPECT_EQ(dev::str(s(), kHttp, kHttpIface, "Password"), "");

    fail("GetAll", kHttp);
    EXPECT_EQ(api_addHTTPRight(), -1);
    fail("SetValues", kHttp);
    EXPECT_EQ(api_addHTTPRight(), -1);
    EXPECT_EQ(dev::num(s(), kHttp, kHttpIface, "Enable"), 0u);
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

    ASSERT_EQ(api_setLedSwitch(FALSE), 0);
    EXPECT_EQ(dev::num(s(), kLed, "com.yvc.igd1.LED", "LEDStatus"), 0u);
    ASSERT_EQ(api_setLedSwitch(TRUE), 0);
    EXPECT_EQ(dev::num(s(), kLed, "com.yvc.igd1.LED", "LEDStatus"), 1u);
    fail("SetValues", kLed);
    EXPECT_EQ(api_setLedSwitch(FALSE), -1);
    EXPECT_EQ(dev::num(s(), kLed, "com.yvc.igd1.LED", "LEDStatus"), 1u);
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
        for (const auto &p : dev::children(s(), c.collection, c.iface))
            want.push_back(dev::str(s(), p, c.iface, "IfName"));
        ASSERT_FALSE(want.empty());
        char **names = nullptr;
        int count = 0;
        ASSERT_EQ(c.get(&names, &count), 0);
        ASSERT_EQ(count, static_cast<int>(want.size()));
        EXPECT_EQ(names_of(names, count), want);
        EXPECT_EQ(c.release(names, count), 0);
        EXPECT_EQ(c.release(nullptr, 0), -1);

        fail("GetManagedObjects", c.collection);
        names = reinterpret_cast<char **>(0x1);
        EXPECT_EQ(c.get(&names, &count), -1);
        EXPECT_EQ(names, nullptr);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(c.get(nullptr, &count), -1);
    }
    // An empty IfName is left out; no ports at all is an empty result.
    set_prop(std::string(kEth) + "/2", "com.yvc.igd1.EthernetConfig", "IfName", "''");
    char **names = nullptr;
    int count = 0;
    ASSERT_EQ(api_getLANIfName(&names, &count), 0);
    const std::vector<std::string> got = names_of(names, count);
    EXPECT_EQ(std::count(got.begin(), got.end(), ""), 0);
    EXPECT_EQ(count, static_cast<int>(dev::children(s(), kEth, "com.yvc.igd1.EthernetConfig").size()) - 1);
    api_releaseLANIfName(names, count);
    remove_matching("/Config/EthernetConfig/");
    ASSERT_EQ(api_getLANIfName(&names, &count), 0);
    EXPECT_EQ(names, nullptr);
    EXPECT_EQ(count, 0);
}

}  // namespace
}  // namespace apitest
