// Files made for a plug-in on the host: the bus policy, default.conf, the container settings and the
// stop mark.
#include <sys/stat.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "plughost_hostfiles.h"

namespace {

using plughost::ConfigItem;
using plughost::CtrlInfo;
using plughost::PolicyInput;

struct PolicyCase {
    const char *name;
    PolicyInput in;
    const char *text;
};
GW_ROW_PRINTS_AS(PolicyCase, name)

class Policy : public ::testing::TestWithParam<PolicyCase> {};

TEST_P(Policy, TextLineForLine) { EXPECT_EQ(plughost::bus_policy_text(GetParam().in), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Policy,
    ::testing::Values(
        PolicyCase{"Full",
                   {205, "com.acme.alpha1", true, {"com.b.Api", "com.c.Other"}, {"/com/yvc/igd1/Info/Device"}},
                   "<busconfig>\n"
                   "  <policy user=\"205\">\n"
                   "     <allow own=\"com.acme.alpha1\"/>\n"
                   "    <deny send_interface=\"*\"/>\n"
                   "    <deny send_path=\"*\"/>\n"
                   "\n"
                   "    <!-- Signals and reply messages (method returns, errors) are allowed by default -->\n"
                   "    <allow send_type=\"signal\"/>\n"
                   "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
                   "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
                   "\n"
                   "    <!-- All messages may be received by default -->\n"
                   "    <allow receive_type=\"method_call\"/>\n"
                   "    <allow receive_type=\"method_return\"/>\n"
                   "    <allow receive_type=\"error\"/>\n"
                   "    <allow receive_type=\"signal\"/>\n"
                   "\n"
                   "    <allow send_interface=\"org.freedesktop.DBus\"/>\n"
                   "\n"
                   "    <allow send_interface=\"com.yvc.appframework1.AppAgent\"/>\n"
                   "\n"
                   "    <allow send_interface=\"com.b.Api\"/>\n"
                   "    <allow send_interface=\"com.c.Other\"/>\n"
                   "    <allow send_path=\"/com/yvc/igd1/Info/Device\"/>\n"
                   "  </policy>\n"
                   "</busconfig>\n"},
        PolicyCase{"NoVendorNoLists",
                   {65534, "", false, {}, {}},
                   "<busconfig>\n"
                   "  <policy user=\"65534\">\n"
                   "    <deny send_interface=\"*\"/>\n"
                   "    <deny send_path=\"*\"/>\n"
                   "\n"
                   "    <!-- Signals and reply messages (method returns, errors) are allowed by default -->\n"
                   "    <allow send_type=\"signal\"/>\n"
                   "    <allow send_requested_reply=\"true\" send_type=\"method_return\"/>\n"
                   "    <allow send_requested_reply=\"true\" send_type=\"error\"/>\n"
                   "\n"
                   "    <!-- All messages may be received by default -->\n"
                   "    <allow receive_type=\"method_call\"/>\n"
                   "    <allow receive_type=\"method_return\"/>\n"
                   "    <allow receive_type=\"error\"/>\n"
                   "    <allow receive_type=\"signal\"/>\n"
                   "\n"
                   "    <allow send_interface=\"org.freedesktop.DBus\"/>\n"
                   "\n"
                   "  </policy>\n"
                   "</busconfig>\n"}),
    [](const ::testing::TestParamInfo<PolicyCase> &i) { return std::string(i.param.name); });

CtrlInfo control(const std::string &name)
{
    CtrlInfo c;
    c.Package = name;
    c.Version = "1.0";
    c.Architecture = "arm";
    c.Vendor = "acme";
    c.DbusVersion = 2;
    return c;
}

TEST(PolicyFile, InputFromTheControlFileKeepsOnlyWellFormedItems)
{
    gwtest::TempRoot root;
    root.write("/usr/lib/opkg/info/alpha.control",
               "Package: alpha\nusedInterface: com.b.Api com.b.\"x\nusedSysPath: /com/yvc/igd1/Info/Device\n"
               "KernelModules: m1\n");
    CtrlInfo c = control("alpha");
    PolicyInput in = plughost::policy_input(&c, 207, root.path("/usr/lib/opkg/info/alpha.control"));
    EXPECT_EQ(in.uid, 207u);
    EXPECT_EQ(in.bus_name, "com.acme.alpha2");
    EXPECT_TRUE(in.kernel_modules);
    EXPECT_EQ(in.interfaces, (std::vector<std::string>{"com.b.Api"}));
    EXPECT_EQ(in.sys_paths, (std::vector<std::string>{"/com/yvc/igd1/Info/Device"}));

    PolicyInput none = plughost::policy_input(nullptr, 207, root.path("/usr/lib/opkg/info/alpha.control"));
    EXPECT_EQ(none.uid, 65534u);
    EXPECT_EQ(none.bus_name, "");
}

TEST(PolicyFile, WrittenIntoTheRootsPolicyDirectoryAndRemoved)
{
    gwtest::TempRoot root;
    PolicyInput in{300, "", false, {}, {}};
    ASSERT_EQ(plughost::write_bus_policy("alpha", in), 0);
    EXPECT_EQ(root.read("/etc/dbus-1/system.d/alpha.conf"), plughost::bus_policy_text(in));
    EXPECT_FALSE(root.exists("/etc/dbus-1/system.d/alpha.conf.tmp"));
    EXPECT_EQ(plughost::write_bus_policy("../alpha", in), -1);
    EXPECT_EQ(plughost::remove_bus_policy("alpha"), 0);
    EXPECT_FALSE(root.exists("/etc/dbus-1/system.d/alpha.conf"));
    EXPECT_EQ(plughost::remove_bus_policy("alpha"), 0);
}

TEST(DefaultConf, IdMapOnlyForAnOrdinaryUser)
{
    EXPECT_EQ(plughost::default_conf_text(205),
              "lxc.idmap = u 0 205 1\nlxc.idmap = g 0 205 1\nlxc.net.0.type = none\n");
    EXPECT_EQ(plughost::default_conf_text(0), "lxc.net.0.type = none\n");
    gwtest::TempRoot root;
    ASSERT_EQ(plughost::write_default_conf("/opt/apps/alpha", 205), 0);
    EXPECT_EQ(root.read("/opt/apps/alpha/default.conf"),
              "lxc.idmap = u 0 205 1\nlxc.idmap = g 0 205 1\nlxc.net.0.type = none\n");
    struct stat st {};
    ASSERT_EQ(stat(root.path("/opt/apps/alpha").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0111, 0111u);
}

// Settings cases: control fields changed from the plain record, files placed under the root, and the
// items expected with "@" standing for the run-time root.
struct SettingsCase {
    const char *name;
    void (*edit)(CtrlInfo &);
    std::vector<std::string> files;
    std::vector<ConfigItem> items;
    std::vector<std::string> dirs;
};
GW_ROW_PRINTS_AS(SettingsCase, name)

const ConfigItem kMem5M{"lxc.cgroup.memory.limit_in_bytes", "5M"};
const ConfigItem kCpuClear{"lxc.cgroup.cpu.shares", ""};
const ConfigItem kEnvPlain{"lxc.environment", "LD_LIBRARY_PATH=/lib:/usr/lib"};

class Settings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(Settings, ItemsInOrder)
{
    gwtest::TempRoot root;
    for (const std::string &f : GetParam().files)
        root.write(f, "x");
    CtrlInfo c = control("alpha");
    GetParam().edit(c);
    plughost::ContainerSettings s = plughost::container_settings(c, "/opt/apps/alpha");
    auto rooted = [&](std::string v) {
        for (size_t at; (at = v.find('@')) != std::string::npos;)
            v.replace(at, 1, root.dir());
        return v;
    };
    std::vector<ConfigItem> want;
    for (const ConfigItem &i : GetParam().items)
        want.push_back({i.key, rooted(i.value)});
    ASSERT_EQ(s.items.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(s.items[i].key, want[i].key) << i;
        EXPECT_EQ(s.items[i].value, want[i].value) << i;
    }
    std::vector<std::string> dirs;
    for (const std::string &d : GetParam().dirs)
        dirs.push_back(rooted(d));
    EXPECT_EQ(s.dirs, dirs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Settings,
    ::testing::Values(
        SettingsCase{"Plain", [](CtrlInfo &) {}, {}, {kCpuClear, kMem5M, kEnvPlain}, {}},
        SettingsCase{"CpuAtOrAbove1024Becomes256",
                     [](CtrlInfo &c) { c.lxc_cpu = "2048"; },
                     {},
                     {{"lxc.cgroup.cpu.shares", "256"}, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"CpuBelow1024Kept",
                     [](CtrlInfo &c) { c.lxc_cpu = "512"; },
                     {},
                     {{"lxc.cgroup.cpu.shares", "512"}, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"CpuNotANumberCleared",
                     [](CtrlInfo &c) { c.lxc_cpu = "12\nlxc.x"; },
                     {},
                     {kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"MemoryBytesAndSuffixKept",
                     [](CtrlInfo &c) { c.lxc_mem = "8388608"; },
                     {},
                     {kCpuClear, {"lxc.cgroup.memory.limit_in_bytes", "8388608"}, kEnvPlain},
                     {}},
        SettingsCase{"MemorySuffixM",
                     [](CtrlInfo &c) { c.lxc_mem = "12M"; },
                     {},
                     {kCpuClear, {"lxc.cgroup.memory.limit_in_bytes", "12M"}, kEnvPlain},
                     {}},
        SettingsCase{
            "MemoryOtherwise5M", [](CtrlInfo &c) { c.lxc_mem = "12G"; }, {}, {kCpuClear, kMem5M, kEnvPlain}, {}},
        SettingsCase{"BlkioUpTo1000",
                     [](CtrlInfo &c) { c.lxc_bio = "1000"; },
                     {},
                     {kCpuClear, kMem5M, {"lxc.cgroup.blkio.weight", "1000"}, kEnvPlain},
                     {}},
        SettingsCase{
            "BlkioAbove1000Untouched", [](CtrlInfo &c) { c.lxc_bio = "1001"; }, {}, {kCpuClear, kMem5M, kEnvPlain}, {}},
        SettingsCase{"RootPluginCaps",
                     [](CtrlInfo &c) {
                         c.pluginClass = 1;
                         c.lxc_cap = "net_admin sys_module";
                     },
                     {},
                     {{"lxc.cap.keep", "net_admin sys_module"}, kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"RootPluginWithoutCapsClears",
                     [](CtrlInfo &c) { c.pluginClass = 1; },
                     {},
                     {{"lxc.cap.keep", ""}, kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"OrdinaryPluginCapsIgnored",
                     [](CtrlInfo &c) { c.lxc_cap = "sys_admin"; },
                     {},
                     {kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"LibraryDirectoriesWithSharedObjects",
                     [](CtrlInfo &) {},
                     {"/opt/apps/alpha/files/libfoo.so.1", "/opt/apps/alpha/files/libs/libbar.so",
                      "/opt/apps/alpha/files/lib/readme"},
                     {kCpuClear, kMem5M, {"lxc.environment", "LD_LIBRARY_PATH=/lib:/usr/lib:/files:/files/libs"}},
                     {}},
        SettingsCase{"SocketDirectoriesBoundOwnThenUsed",
                     [](CtrlInfo &c) {
                         c.SelfDataUds = "/uds/alpha/sock";
                         c.UseDataUds = "/uds/beta/x";
                     },
                     {},
                     {{"lxc.mount.entry", "@/uds/alpha uds/alpha none rw,bind 0 0"},
                      {"lxc.mount.entry", "@/uds/beta uds/beta none rw,bind 0 0"},
                      kCpuClear,
                      kMem5M,
                      kEnvPlain},
                     {"@/opt/apps/alpha/alpha/rootfs/uds/alpha", "@/opt/apps/alpha/alpha/rootfs/uds/beta"}},
        SettingsCase{"SocketDirectoryLeavingUdsRefused",
                     [](CtrlInfo &c) {
                         c.SelfDataUds = "/uds/../etc/x";
                         c.UseDataUds = "/etc/dbus/x";
                     },
                     {},
                     {kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"SocketDirectoryWithBlankRefused",
                     [](CtrlInfo &c) { c.SelfDataUds = "/uds/a b/x"; },
                     {},
                     {kCpuClear, kMem5M, kEnvPlain},
                     {}},
        SettingsCase{"FileSizeLimitBindsMnt",
                     [](CtrlInfo &c) { c.maxFsize = 1; },
                     {},
                     {kCpuClear, kMem5M, kEnvPlain, {"lxc.mount.entry", "@/mnt mnt none rw,rbind 0 0"}},
                     {}}),
    [](const ::testing::TestParamInfo<SettingsCase> &i) { return std::string(i.param.name); });

TEST(StopMark, SetClearedAndRead)
{
    gwtest::TempRoot root;
    EXPECT_FALSE(plughost::stop_marked("alpha"));
    ASSERT_EQ(plughost::set_stop_mark("alpha", true), 0);
    EXPECT_TRUE(plughost::stop_marked("alpha"));
    EXPECT_FALSE(plughost::stop_marked("beta"));
    EXPECT_EQ(root.read("/etc/config/plughost"), "\nconfig stop 'stop'\n\toption alpha '1'\n\n");
    ASSERT_EQ(plughost::set_stop_mark("alpha", false), 0);
    EXPECT_FALSE(plughost::stop_marked("alpha"));
    EXPECT_EQ(plughost::set_stop_mark("a.b", true), -1);
}

}  // namespace
