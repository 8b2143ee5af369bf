// Control files of plug-in packages: parsing, list keys, the install checks and the bus name.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "plughost_control.h"

namespace {

using plughost::CtrlInfo;
using plughost::ListKey;

constexpr const char *kControl = "/tmp/pkg/control";

uint64_t one_gib() { return 1073741824ULL; }
uint64_t no_ram() { return 0; }
int flash_ok(unsigned long long) { return 0; }
int flash_full(unsigned long long) { return -1; }

class ControlFile : public ::testing::Test {
protected:
    void SetUp() override { plughost::plughost_set_probes(one_gib, flash_ok); }
    void TearDown() override { plughost::plughost_set_probes(nullptr, nullptr); }

    int parse(const std::string &text, CtrlInfo &info)
    {
        root.write(kControl, text);
        return plughost::plughost_get_plugin_ctrlinfo(root.path(kControl).c_str(), &info);
    }
    unsigned check(const std::string &text)
    {
        CtrlInfo info;
        EXPECT_EQ(parse(text, info), 0) << text;
        return plughost::plughost_check_control(root.path(kControl).c_str(), info);
    }
    gwtest::TempRoot root;
};

const std::string kBase = "Package: demo\nVersion: 1.0.0\nArchitecture: arm\nVendor: Acme\nDbusVersion: 2\n";

TEST_F(ControlFile, FileInKeyOrderFillsEveryField)
{
    CtrlInfo c;
    ASSERT_EQ(parse("Package: demo\nVersion: 1.2.3\nArchitecture: arm_cortex\npluginClass: 1\nEssential: yes\n"
                    "pluginPri: high\nVendor: Acme\nDbusVersion: 3\nneedGwVendor: 1\nlxc_mem: 64M\nlxc_cpu: 512\n"
                    "lxc_bio: 300\nlxc_cap: sys_time net_admin\nSelfDataUds: /uds/demo/s.sock\nUseDataUds: /uds/other\n"
                    "maxFlashSize: 4K\nmaxFsize: 1\nmaxProcs: 20\nmaxFiles: 128\ntcpPorts: 80 443\nudpPorts: 53\n"
                    "pluginStatus: 1\n",
                    c),
              0);
    EXPECT_EQ(c.Package, "demo");
    EXPECT_EQ(c.Version, "1.2.3");
    EXPECT_EQ(c.Architecture, "arm_cortex");
    EXPECT_EQ(c.pluginClass, 1);
    EXPECT_EQ(c.Essential, 1);
    EXPECT_EQ(c.pluginPri, "high");
    EXPECT_EQ(c.Vendor, "Acme");
    EXPECT_EQ(c.DbusVersion, 3);
    EXPECT_EQ(c.needGwVendor, 1);
    EXPECT_EQ(c.lxc_mem, "67108864");
    EXPECT_EQ(c.lxc_cpu, "512");
    EXPECT_EQ(c.lxc_bio, "300");
    EXPECT_EQ(c.lxc_cap, "sys_time net_admin");
    EXPECT_EQ(c.SelfDataUds, "/uds/demo/s.sock");
    EXPECT_EQ(c.UseDataUds, "/uds/other");
    EXPECT_EQ(c.maxFlashSize, 4096u);
    EXPECT_EQ(c.maxFsize, 1);
    EXPECT_EQ(c.maxProcs, "20");
    EXPECT_EQ(c.maxFiles, "128");
    EXPECT_EQ(c.tcpPorts, "80 443");
    EXPECT_EQ(c.udpPorts, "53");
    EXPECT_EQ(c.pluginStatus, 1);
}

TEST_F(ControlFile, KeysInAnyOrderAndOpkgFieldsAroundThemParseAlike)
{
    CtrlInfo c;
    ASSERT_EQ(parse("Description: a demo\n Second line: Vendor: x\npluginStatus: 1\nDbusVersion: 2\nDepends: libc\n"
                    "Vendor: Acme\nArchitecture: arm\nInstalled-Size: 100\nVersion: 1.0\nPackage: demo\n"
                    "Packager: someone\nVendorX: other\n",
                    c),
              0);
    EXPECT_EQ(c.Package, "demo");
    EXPECT_EQ(c.Vendor, "Acme");
    EXPECT_EQ(c.DbusVersion, 2);
    EXPECT_EQ(c.pluginStatus, 1);
    EXPECT_EQ(c.pluginPri, "low");
    EXPECT_EQ(c.maxFlashSize, 1048576u);
}

struct ParseCase {
    const char *what;
    std::string text;
    int result;
};
GW_ROW_PRINTS_AS(ParseCase, what)

class ParseResult : public ControlFile, public ::testing::WithParamInterface<ParseCase> {};

TEST_P(ParseResult, ReturnsTheMaskOfRequiredKeysFound)
{
    CtrlInfo c;
    EXPECT_EQ(parse(GetParam().text, c), GetParam().result) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseResult,
    ::testing::Values(
        ParseCase{"all five", kBase, 0},
        ParseCase{"library without vendor", "Package: libfoo\nVersion: 1\nArchitecture: arm\n", 0},
        ParseCase{"ordinary without vendor", "Package: foo\nVersion: 1\nArchitecture: arm\n", 7},
        ParseCase{"empty file", "", -3}, ParseCase{"only opkg fields", "Depends: libc\nSection: utils\n", -3},
        ParseCase{"empty vendor counts as absent",
                  "Package: demo\nVersion: 1\nArchitecture: arm\nVendor:   \nDbusVersion: 2\n", 23},
        ParseCase{"package name with a path", "Package: ../x\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\n",
                  30},
        ParseCase{"package name with a blank", "Package: a b\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\n",
                  30},
        ParseCase{"package name starting with a digit",
                  "Package: 1abc\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\n", 30},
        ParseCase{"package name of 64 characters",
                  "Package: " + std::string(64, 'a') + "\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\n",
                  30},
        ParseCase{"vendor with a dot", "Package: demo\nVersion: 1\nArchitecture: a\nVendor: a.b\nDbusVersion: 1\n", 23},
        ParseCase{"negative bus version", "Package: demo\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: -1\n",
                  15},
        ParseCase{"bus version not a number",
                  "Package: demo\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 2x\n", 15},
        ParseCase{"a refused repeat of the package",
                  "Package: demo\nVersion: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\nPackage: bad/name\n", 30},
        ParseCase{"library with dashes and dots", "Package: libjson-c.5\nVersion: 1\nArchitecture: a\n", 0},
        ParseCase{"carriage returns and trailing blanks",
                  "Package: demo  \r\nVersion: 1\r\nArchitecture: a\r\nVendor: v \r\nDbusVersion: 1\r\n", 0}),
    [](const ::testing::TestParamInfo<ParseCase> &i) { return "case" + std::to_string(i.index); });

TEST_F(ControlFile, MissingFileAndDirectoryAreMinusOne)
{
    CtrlInfo c;
    EXPECT_EQ(plughost::plughost_get_plugin_ctrlinfo(root.path("/nothing").c_str(), &c), -1);
    EXPECT_EQ(plughost::plughost_get_plugin_ctrlinfo(root.path("/tmp").c_str(), &c), -1);
    EXPECT_EQ(plughost::plughost_get_plugin_ctrlinfo(nullptr, &c), -1);
}

TEST_F(ControlFile, TailOfAnOverlongLineIsNotReadAsALine)
{
    CtrlInfo c;
    std::string desc = "Description: " + std::string(255 - 13, 'x') + "Vendor: evil";
    ASSERT_EQ(parse(kBase + desc + "\n", c), 0);
    EXPECT_EQ(c.Vendor, "Acme");
    std::string longver = "Version: " + std::string(300, '7') + "\n";
    ASSERT_EQ(parse(kBase + longver, c), 0);
    EXPECT_EQ(c.Version, std::string(255 - 9, '7'));
}

TEST_F(ControlFile, ANulByteEndsTheLine)
{
    static const char kText[] = "Package: demo\0../x\nVersion: 1\nArchitecture: a\nVendor: v\0w\nDbusVersion: 1\n"
                                "ownInterface: com.p.Ap\0\0x com.q.R\n";
    CtrlInfo c;
    ASSERT_EQ(parse(std::string(kText, sizeof kText - 1), c), 0);
    EXPECT_EQ(c.Package, "demo");
    EXPECT_EQ(c.Vendor, "v");
    auto own = plughost::plughost_read_ctrl_list(root.path(kControl).c_str(), ListKey::ownInterface);
    EXPECT_EQ(own.items, (std::vector<std::string>{"com.p.Ap"}));
}

TEST_F(ControlFile, EssentialOnlyForExactlyYes)
{
    const std::pair<const char *, int> cases[] = {{"yes", 1}, {"Yes", 0}, {"YES", 0}, {"no", 0}, {"yes please", 0}};
    for (const auto &[value, want] : cases) {
        CtrlInfo c;
        ASSERT_EQ(parse(kBase + "Essential: " + value + "\n", c), 0);
        EXPECT_EQ(c.Essential, want) << value;
    }
}

TEST_F(ControlFile, SizesTakeKAndMSuffixesAndFlashDefaultsWhenZeroOrRefused)
{
    const std::pair<const char *, uint32_t> cases[] = {
        {"2M", 2097152u},
        {"0", 1048576u},
        {"4K", 4096u},
        {"123", 123u},
        {"5G", 1048576u},
        {"1.5M", 1048576u},
        {"99999999M", 4294967295u},
        {"-1", 1048576u},
        {"M", 1048576u},
    };
    for (const auto &[value, want] : cases) {
        CtrlInfo c;
        ASSERT_EQ(parse(kBase + "maxFlashSize: " + value + "\n", c), 0);
        EXPECT_EQ(c.maxFlashSize, want) << value;
    }
}

TEST_F(ControlFile, MemoryLimitIsCappedAtAQuarterOfTheRam)
{
    const std::pair<const char *, const char *> cases[] = {
        {"512M", "268435456"},
        {"100M", "104857600"},
        {"256M", "268435456"},
        {"1024", "1024"},
        {"18446744073709551615M", "268435456"},
        {"lots", ""},
    };
    for (const auto &[value, want] : cases) {
        CtrlInfo c;
        ASSERT_EQ(parse(kBase + "lxc_mem: " + value + "\n", c), 0);
        EXPECT_EQ(c.lxc_mem, want) << value;
    }
    plughost::plughost_set_probes(no_ram, flash_ok);
    CtrlInfo c;
    ASSERT_EQ(parse(kBase + "lxc_mem: 512M\n", c), 0);
    EXPECT_EQ(c.lxc_mem, "536870912");
}

TEST_F(ControlFile, ListKeysSplitAtBlanksRefuseBadItemsAndStopAt32)
{
    std::string many = "ownInterface:";
    for (int i = 0; i < 34; ++i)
        many += " com.x.I" + std::to_string(i);
    root.write(kControl, kBase +
                             "usedInterface:  com.a.One  com.b.Two \n"
                             "usedSysPath: /com/yvc/igd1/Info /com/yvc/\"x\n"
                             "KernelModules: mod_a ../evil mod-b\n"
                             "usedInterfaceX: com.c.Three\n" +
                             many + "\n");
    const std::string path = root.path(kControl);
    auto used = plughost::plughost_read_ctrl_list(path.c_str(), ListKey::usedInterface);
    EXPECT_EQ(used.items, (std::vector<std::string>{"com.a.One", "com.b.Two"}));
    EXPECT_EQ(used.refused, 0);
    auto paths = plughost::plughost_read_ctrl_list(path.c_str(), ListKey::usedSysPath);
    EXPECT_EQ(paths.items, (std::vector<std::string>{"/com/yvc/igd1/Info"}));
    EXPECT_EQ(paths.refused, 1);
    auto mods = plughost::plughost_read_ctrl_list(path.c_str(), ListKey::KernelModules);
    EXPECT_EQ(mods.items, (std::vector<std::string>{"mod_a", "mod-b"}));
    EXPECT_EQ(mods.refused, 1);
    auto own = plughost::plughost_read_ctrl_list(path.c_str(), ListKey::ownInterface);
    ASSERT_EQ(own.items.size(), 32u);
    EXPECT_EQ(own.items.back(), "com.x.I31");
    EXPECT_EQ(own.refused, 2);

    root.write(kControl, kBase);
    EXPECT_TRUE(plughost::plughost_read_ctrl_list(path.c_str(), ListKey::usedInterface).items.empty());
}

TEST(PermittedPath, PrefixesOfPermittedObjectsOnly)
{
    const std::pair<const char *, bool> cases[] = {
        {"/com/yvc/igd1/Info", true},
        {"/com/yvc/igd1", true},
        {"/com/yvc/igd", false},
        {"/com/yvc/igd1/Info/Devices", false},
        {"/com/yvc/igd1/Info/Device", true},
        {"/com/yvc/igd1/Config/DHCPServer", true},
        {"/com/yvc/igd1/Transfer/WMMConfiguration", true},
        {"/com/yvc/igd1/Orvane/System", true},
        {"/com/yvc/igd1/Orvane/Systems", false},
        {"/com/yvc/igd1/Config/WLAN/Devices/1", false},
        {"/com/yvc/igd2", false},
        {"/com/yvc/igd1/Network/Firewall", false},
        {"/org/x", false},
        {"", false},
    };
    for (const auto &[path, want] : cases)
        EXPECT_EQ(plughost::sys_path_permitted(path), want) << path;
}

struct CheckCase {
    const char *what;
    std::string list_file;  // "" leaves no list file
    std::string control;    // appended to a valid base with Package demo
    unsigned code;
};
GW_ROW_PRINTS_AS(CheckCase, what)

class ControlCheck : public ControlFile, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ControlCheck, SetsTheBitOfEachFailedTest)
{
    const CheckCase &c = GetParam();
    if (!c.list_file.empty())
        root.write("/opt/.plug_ins.lst", c.list_file);
    EXPECT_EQ(check(kBase + c.control), c.code) << c.what;
}

const std::string kList = "demo::com.demo.Own\nprov:com.q.Used:com.p.Api,com.p.More\nhappy::com.h.Api\nshort:\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, ControlCheck,
    ::testing::Values(
        CheckCase{"nothing used, no list file", "", "", 0},
        CheckCase{"used interface, no list file", "", "usedInterface: com.p.Api\n", 0x08},
        CheckCase{"provided by another package", kList, "usedInterface: com.p.Api com.p.More\n", 0},
        CheckCase{"offered only by its own line", kList, "usedInterface: com.demo.Own\n", 0x08},
        CheckCase{"a provider whose name contains ours", kList, "usedInterface: com.h.Api\n", 0},
        CheckCase{"a longer interface is not the used one", kList, "usedInterface: com.p.Ap\n", 0x08},
        CheckCase{"a used interface is not an own one", kList, "usedInterface: com.q.Used\n", 0x08},
        CheckCase{"line of five characters does not count", "::a.b\n", "usedInterface: a.b\n", 0x08},
        CheckCase{"gateway interface used", kList + "gw::com.yvc.igd1.X\n", "usedInterface: com.yvc.igd1.X\n", 0x10},
        CheckCase{"malformed used interface", kList, "usedInterface: com.p.Api com..bad\n", 0x10},
        CheckCase{"permitted paths", kList, "usedSysPath: /com/yvc/igd1/Info /com/yvc/igd1/Storage/NAS\n", 0},
        CheckCase{"a path off the table", kList, "usedSysPath: /com/yvc/igd1/Info /com/yvc/igd1/Secret\n", 0x20},
        CheckCase{"own interface owned by another", kList, "ownInterface: com.p.More\n", 0x40},
        CheckCase{"own interface on our own line", kList, "ownInterface: com.demo.Own\n", 0},
        CheckCase{"own interface of a package whose name begins with ours", "demox::com.d.X\n",
                  "ownInterface: com.d.X\n", 0x40},
        CheckCase{"own interface a prefix of another's", kList, "ownInterface: com.p.Ap\n", 0},
        CheckCase{"several failures", kList, "usedInterface: com.z.None\nusedSysPath: /x\nownInterface: com.h.Api\n",
                  0x68}),
    [](const ::testing::TestParamInfo<CheckCase> &i) { return "case" + std::to_string(i.index); });

TEST_F(ControlFile, NameLengthCaseAndFlashBits)
{
    const std::string rest = "Version: 1\nArchitecture: a\nVendor: v\nDbusVersion: 1\n";
    EXPECT_EQ(check("Package: MyApp\n" + rest), 0x02u);
    EXPECT_EQ(check("Package: abcdefghijklmnop\n" + rest), 0x01u);
    EXPECT_EQ(check("Package: abcdefghijklmno\n" + rest), 0u);
    EXPECT_EQ(check("Package: Abcdefghijklmnop\n" + rest), 0x03u);
    plughost::plughost_set_probes(one_gib, flash_full);
    EXPECT_EQ(check("Package: demo\n" + rest), 0x04u);
}

TEST(BusName, LowerCasedVendorPackageAndVersion)
{
    CtrlInfo c;
    c.Package = "demo";
    c.Vendor = "AcMe";
    c.DbusVersion = 2;
    EXPECT_EQ(plughost::plughost_bus_name(c), "com.acme.demo2");
    c.Vendor.clear();
    EXPECT_EQ(plughost::plughost_bus_name(c), "");
}

}  // namespace
