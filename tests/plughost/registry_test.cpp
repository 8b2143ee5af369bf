// The plug-in list file, the installed test and the registry built from them.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "plughost_pluglist.h"
#include "plughost_registry.h"

namespace {

using plughost::CtrlInfo;
using plughost::Registry;

std::string control(const std::string &name, const std::string &extra = "")
{
    return "Package: " + name + "\nVersion: 1.0\nArchitecture: arm\nVendor: Acme\nDbusVersion: 1\n" + extra;
}

std::string stanza(const std::string &name, const std::string &status)
{
    return "Package: " + name + "\nVersion: 1.0\nStatus: " + status + "\nArchitecture: arm\nInstalled-Time: 1\n\n";
}

struct FakeContainer : plughost::ContainerHandle {
    FakeContainer(std::string n, std::string p) : name(std::move(n)), path(std::move(p)) {}
    std::string state() const override { return "STOPPED"; }
    bool running() const override { return false; }
    int init_pid() const override { return -1; }
    std::string name, path;
};

std::vector<std::string> names(const Registry &r)
{
    std::vector<std::string> out;
    for (auto *rec : r.records())
        out.push_back(rec->name());
    return out;
}

class PlugList : public ::testing::Test {
protected:
    void install(const std::string &name, const std::string &text) const
    {
        root.write("/usr/lib/opkg/info/" + name + ".control", text);
    }
    gwtest::TempRoot root;
};

TEST_F(PlugList, RewriteListsPackagesWithAPluginClassLineInNameOrder)
{
    install("zeta", control("zeta", "pluginClass: 0\nusedInterface: com.a.One com.b.Two\nownInterface: com.z.Api\n"));
    install("alpha", control("alpha", "ownInterface: com.al.A com.al.B\npluginClass: 1\n"));
    install("libx", control("libx", "pluginClass: 0\n"));
    install("plain", control("plain", "Description: has no pluginClass line\n pluginClass: 1\n"));
    install("bad name", control("bad", "pluginClass: 0\n"));
    root.write("/usr/lib/opkg/info/zeta.list", "/opt/apps/zeta/x\n");
    root.write("/opt/.plug_ins.lst", "stale::com.old.Api\n");

    ASSERT_EQ(plughost::plughost_rewrite_plug_list(), 0);
    EXPECT_EQ(root.read("/opt/.plug_ins.lst"),
              "alpha::com.al.A,com.al.B\nlibx::\nzeta:com.a.One,com.b.Two:com.z.Api\n");
    struct stat st {};
    ASSERT_EQ(stat(root.path("/opt/.plug_ins.lst").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0644, 0644u);
    EXPECT_FALSE(root.exists("/opt/.plug_ins.lst.new"));
}

TEST_F(PlugList, ReadersTakeNameFirstUsedSecondAndOwnLastField)
{
    root.write("/opt/.plug_ins.lst", "a:u1,u2:o1,o2\nshort\nb:::x.y\nc:com.q.R:com.p.S,com.p.T\n");
    std::vector<plughost::PlugListEntry> e;
    ASSERT_TRUE(plughost::read_plug_list(e));
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].name, "a");
    EXPECT_EQ(e[0].used, (std::vector<std::string>{"u1", "u2"}));
    EXPECT_EQ(e[0].own, (std::vector<std::string>{"o1", "o2"}));
    EXPECT_EQ(e[1].name, "b");
    EXPECT_TRUE(e[1].used.empty());
    EXPECT_EQ(e[1].own, (std::vector<std::string>{"x.y"}));
    EXPECT_EQ(plughost::plughost_provider("com.p.T"), "c");
    EXPECT_EQ(plughost::plughost_provider("com.q.R"), "");
    EXPECT_EQ(plughost::plughost_provider("com.p"), "");
}

TEST_F(PlugList, MissingFileProvidesNothing)
{
    std::vector<plughost::PlugListEntry> e;
    EXPECT_FALSE(plughost::read_plug_list(e));
    EXPECT_EQ(plughost::plughost_provider("com.p.T"), "");
    EXPECT_TRUE(plughost::interfaces_provided_by_others("a", {}));
    EXPECT_FALSE(plughost::interfaces_provided_by_others("a", {"com.p.T"}));
}

TEST_F(PlugList, OpkgInstalledReadsTheStatusOfTheNamedStanzaOnly)
{
    root.write("/usr/lib/opkg/status", stanza("libfoo", "install user installed") +
                                           stanza("libbar", "deinstall hold not-installed") +
                                           stanza("libfoobar", "install ok installed") +
                                           "Package: libbaz\nVersion: 1\n\nStatus: install user installed\n");
    const std::pair<const char *, bool> cases[] = {
        {"libfoo", true}, {"libbar", false}, {"libfoobar", true}, {"libfo", false}, {"libbaz", false}, {"x", false},
    };
    for (const auto &[name, want] : cases)
        EXPECT_EQ(plughost::opkg_installed(name), want) << name;
}

TEST_F(PlugList, HostUserIdFromThePasswdUnderTheRoot)
{
    root.write("/etc/passwd", "root:x:0:0:root:/root:/bin/sh\ndemo:x:1234:1234::/opt/apps/demo:/bin/false\n");
    EXPECT_EQ(plughost::host_user_id("demo"), 1234u);
    EXPECT_EQ(plughost::host_user_id("dem"), 65534u);
}

class RegistryTest : public PlugList {
protected:
    // An installed plug-in: control file, container configuration, opkg status.
    void installed_plugin(const std::string &name, const std::string &extra = "", bool preinstall = false)
    {
        install(name, control(name, "pluginClass: 0\n" + extra));
        if (name.compare(0, 3, "lib") != 0)
            root.write((preinstall ? "/opt/preinstall/" : "/opt/apps/") + name + "/" + name + "/config", "lxc\n");
        status += stanza(name, "install user installed");
        root.write("/usr/lib/opkg/status", status);
    }
    std::unique_ptr<CtrlInfo> parsed(const std::string &name, const std::string &extra = "")
    {
        install(name, control(name, extra));
        auto info = std::make_unique<CtrlInfo>();
        EXPECT_EQ(plughost::plughost_get_plugin_ctrlinfo(info_path(name).c_str(), info.get()), 0);
        return info;
    }
    std::string info_path(const std::string &name) const
    {
        return root.path("/usr/lib/opkg/info/" + name + ".control");
    }
    std::string status;
    Registry reg;
};

TEST_F(RegistryTest, AddLowerCasesVendorFindsProvidersAndRefusesRepeats)
{
    root.write("/opt/.plug_ins.lst", "prov::com.p.Api\nother::com.o.Api,com.p.Api\n");
    ASSERT_EQ(reg.add(parsed("demo", "usedInterface: com.p.Api com.o.Api com.none.Api com.p.Api\nEssential: yes\n"),
                      info_path("demo"), true),
              0);
    const plughost::PluginRecord *rec = reg.find("demo");
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->control->Vendor, "acme");
    EXPECT_EQ(rec->control->depends, (std::vector<std::string>{"prov", "other"}));
    EXPECT_EQ(rec->container_path, "/opt/preinstall/demo");
    EXPECT_EQ(rec->flash, nullptr);

    EXPECT_EQ(reg.add(parsed("demo"), info_path("demo"), true), -1);
    auto novendor = std::make_unique<CtrlInfo>();
    novendor->Package = "nov";
    EXPECT_EQ(reg.add(std::move(novendor), info_path("nov"), true), -1);
    ASSERT_EQ(reg.add(parsed("libz"), info_path("libz"), true), 0);
    EXPECT_EQ(reg.find("libz")->container_path, "");
    EXPECT_EQ(names(reg), (std::vector<std::string>{"demo", "libz"}));
    EXPECT_TRUE(reg.remove("demo"));
    EXPECT_FALSE(reg.remove("demo"));
    EXPECT_EQ(reg.find("demo"), nullptr);
}

TEST_F(RegistryTest, InstalledNeedsRecordConfigAndOpkgForPluginsButOnlyOpkgForLibraries)
{
    installed_plugin("demo");
    installed_plugin("libz");
    EXPECT_TRUE(reg.installed("libz"));
    EXPECT_FALSE(reg.installed("demo")) << "no record yet";
    ASSERT_EQ(reg.add(parsed("demo", "pluginClass: 0\n"), info_path("demo"), false), 0);
    EXPECT_TRUE(reg.installed("demo"));
    ASSERT_EQ(remove(root.path("/opt/apps/demo/demo/config").c_str()), 0);
    EXPECT_FALSE(reg.installed("demo")) << "container configuration gone";
    root.write("/opt/apps/demo/demo/config", "lxc\n");
    root.write("/usr/lib/opkg/status", stanza("demo", "deinstall user not-installed"));
    EXPECT_FALSE(reg.installed("demo")) << "opkg no longer has it";
    EXPECT_FALSE(reg.installed("libz"));
}

TEST_F(RegistryTest, LoadBuildsRecordsFromTheListFileInDependencyOrder)
{
    root.write("/etc/passwd", "app:x:1001:1001::/:/bin/false\nbase:x:1002:1002::/:/bin/false\n");
    installed_plugin("app", "usedInterface: com.base.Api\n");
    installed_plugin("base", "ownInterface: com.base.Api\npluginClass: 1\nEssential: yes\n", true);
    installed_plugin("libq");
    installed_plugin("gone");
    installed_plugin("nouser");
    ASSERT_EQ(remove(root.path("/opt/apps/gone/gone/config").c_str()), 0);
    install("broken", "Package: broken\npluginClass: 0\n");
    root.write("/opt/apps/broken/broken/config", "lxc\n");

    std::vector<std::pair<std::string, std::string>> made;
    size_t n = reg.load([&](const std::string &name, const std::string &path) {
        made.emplace_back(name, path);
        return std::make_unique<FakeContainer>(name, path);
    });
    EXPECT_EQ(root.read("/opt/.plug_ins.lst"),
              "app:com.base.Api:\nbase::com.base.Api\nbroken::\ngone::\nlibq::\nnouser::\n");
    ASSERT_EQ(n, 4u);
    EXPECT_EQ(names(reg), (std::vector<std::string>{"app", "base", "libq", "nouser"}));
    EXPECT_EQ(made, (std::vector<std::pair<std::string, std::string>>{
                        {"app", "/opt/apps/app"}, {"base", "/opt/preinstall/base"}, {"nouser", "/opt/apps/nouser"}}));
    const std::pair<const char *, uid_t> uids[] = {{"app", 1001}, {"base", 0}, {"nouser", 65534}};
    for (const auto &[name, uid] : uids) {
        EXPECT_EQ(reg.find(name)->uid, uid) << name;
        EXPECT_NE(reg.find(name)->container, nullptr) << name;
    }
    EXPECT_EQ(reg.find("libq")->container, nullptr);
    for (auto *rec : reg.records())
        EXPECT_EQ(rec->monitored, 1) << rec->name();
}

TEST_F(RegistryTest, LoadKeepsAnExistingListFileAndExistingRecords)
{
    installed_plugin("one");
    root.write("/opt/.plug_ins.lst", "one::\nunknown::\n");
    ASSERT_EQ(reg.add(parsed("one", "pluginClass: 0\n"), info_path("one"), false), 0);
    CtrlInfo *before = reg.find("one")->control.get();
    EXPECT_EQ(reg.load(nullptr), 1u);
    EXPECT_EQ(reg.find("one")->control.get(), before);
    EXPECT_EQ(root.read("/opt/.plug_ins.lst"), "one::\nunknown::\n");
}

struct SortCase {
    const char *what;
    std::vector<std::pair<std::string, std::vector<std::string>>> records;  // name, depends, in given order
    std::vector<std::string> sorted;
};
GW_ROW_PRINTS_AS(SortCase, what)

class DependencySort : public RegistryTest, public ::testing::WithParamInterface<SortCase> {};

TEST_P(DependencySort, EachRecordPrecedesEveryRecordItDependsOn)
{
    for (const auto &[name, deps] : GetParam().records) {
        auto info = std::make_unique<CtrlInfo>();
        info->Package = name;
        info->Vendor = "v";
        ASSERT_EQ(reg.add(std::move(info), "/nonexistent", false), 0);
        reg.find(name)->control->depends = deps;
    }
    reg.sort_by_depends();
    EXPECT_EQ(names(reg), GetParam().sorted) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DependencySort,
    ::testing::Values(
        SortCase{"unrelated keep their order", {{"a", {}}, {"b", {}}, {"c", {}}}, {"a", "b", "c"}},
        SortCase{"dependent moves before its provider", {{"b", {}}, {"a", {"b"}}}, {"a", "b"}},
        SortCase{"across an unrelated record", {{"b", {}}, {"x", {}}, {"a", {"b"}}}, {"a", "b", "x"}},
        SortCase{"a chain", {{"a", {}}, {"b", {"a"}}, {"c", {"b"}}}, {"c", "b", "a"}},
        SortCase{"two dependents keep their order",
                 {{"p", {}}, {"d1", {"p"}}, {"q", {}}, {"d2", {"p"}}},
                 {"d1", "d2", "p", "q"}},
        SortCase{"already in order", {{"c", {"b"}}, {"b", {"a"}}, {"a", {}}}, {"c", "b", "a"}},
        SortCase{"a cycle ends with every record once", {{"a", {"b"}}, {"b", {"a"}}, {"z", {}}}, {"b", "a", "z"}},
        SortCase{"a provider that is not in the registry", {{"a", {"ghost"}}, {"b", {}}}, {"a", "b"}}),
    [](const ::testing::TestParamInfo<SortCase> &i) { return "case" + std::to_string(i.index); });

}  // namespace
