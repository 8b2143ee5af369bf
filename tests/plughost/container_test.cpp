// Plug-in containers: the template choice, the refusals of create, the kernel module step and the
// module list that stop unloads.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "plughost_container.h"
#include "plughost_hostfiles.h"

namespace {

using plughost::CtrlInfo;
using plughost::Registry;

std::unique_ptr<CtrlInfo> control(const std::string &name)
{
    auto c = std::make_unique<CtrlInfo>();
    c->Package = name;
    c->Version = "1.0";
    c->Architecture = "arm";
    c->Vendor = "acme";
    c->DbusVersion = 1;
    return c;
}

TEST(Template, ChosenByClassAndEssential)
{
    struct Row {
        int plugin_class, essential;
        const char *kind;
    };
    for (const Row &r : {Row{0, 0, "app"}, Row{0, 1, "essapp"}, Row{1, 0, "rootapp"}, Row{1, 1, "rootess"}}) {
        CtrlInfo c;
        c.pluginClass = r.plugin_class;
        c.Essential = r.essential;
        EXPECT_STREQ(plughost::template_for(c), r.kind) << r.plugin_class << r.essential;
    }
    gwtest::TempRoot root;
    EXPECT_EQ(plughost::template_path("app"), root.dir() + "/usr/share/lxc/templates/lxc-app");
}

TEST(CreateContainer, RefusalsAnswerTheirCodes)
{
    gwtest::TempRoot root;
    Registry reg;
    ASSERT_EQ(reg.add(control("alpha"), "", false), 0);
    ASSERT_EQ(reg.add(control("nopath"), "", false), 0);
    reg.find("nopath")->container_path.clear();
    struct Row {
        const char *name, *tmpl;
        int code;
    };
    for (const Row &r : {Row{"", "app", plughost::kCreateNoName}, Row{"../x", "app", plughost::kCreateNoName},
                         Row{"libz", "app", plughost::kCreateNoName}, Row{"gamma", "app", plughost::kCreateNoRecord},
                         Row{"nopath", "app", plughost::kCreateNoPath}, Row{"alpha", "", plughost::kCreateNoTemplate},
                         Row{"alpha", "../../bin/x", plughost::kCreateNoTemplate}})
        EXPECT_EQ(plughost::plughost_create_container(r.name, r.tmpl, reg), r.code) << r.name << " " << r.tmpl;
    EXPECT_FALSE(root.exists("/opt/apps/alpha"));
}

// The module programs are a stand-in that logs its arguments and answers as told.
class KernelModules : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string tool = gwtest::build_dir() + "/tests/plughost/fake_modtool";
        plughost::plughost_set_module_programs(tool.c_str(), tool.c_str());
        setenv("FAKE_MODTOOL_LOG", root.path("/tool.log").c_str(), 1);
        unsetenv("FAKE_MODTOOL_ERR");
        unsetenv("FAKE_MODTOOL_RC");
        root.write("/opt/apps/alpha/data/.keep", "");
    }
    void TearDown() override
    {
        plughost::plughost_set_module_programs(nullptr, nullptr);
        unsetenv("FAKE_MODTOOL_LOG");
        unsetenv("FAKE_MODTOOL_ERR");
        unsetenv("FAKE_MODTOOL_RC");
    }
    static void answer(const char *err, int rc)
    {
        setenv("FAKE_MODTOOL_ERR", err, 1);
        setenv("FAKE_MODTOOL_RC", std::to_string(rc).c_str(), 1);
    }
    gwtest::TempRoot root;
};

TEST_F(KernelModules, LoadRunsTheShippedFileWithEachOptionAndListsIt)
{
    EXPECT_EQ(plughost::plughost_kernel_module("m1", "a=1  b=2", true, "/opt/apps/alpha"), 0);
    EXPECT_EQ(plughost::plughost_kernel_module("m2", "", true, "/opt/apps/alpha"), 0);
    EXPECT_EQ(root.read("/tool.log"),
              root.dir() + "/opt/apps/alpha/files/m1 a=1 b=2\n" + root.dir() + "/opt/apps/alpha/files/m2\n");
    EXPECT_EQ(root.read("/opt/apps/alpha/data/krnlmod"), "m1\nm2\n");
}

TEST_F(KernelModules, ToolAnswersDecideTheCodeAndTheList)
{
    struct Row {
        const char *name;
        bool load;
        const char *err;
        int rc;
        int code;
        const char *list;  // the list afterwards; it starts as "m1\nm10\n"
    };
    const Row rows[] = {
        {"LoadFailed", true, "insmod: ERROR: could not insert module: Failed to find\n", 1, -1, "m1\nm10\n"},
        {"AlreadyLoaded", true, "insmod: ERROR: module is already loaded\n", 1, 1, "m1\nm10\n"},
        {"UnloadNotLoaded", false, "rmmod: ERROR: Module m1 is not currently loaded\n", 1, 1, "m1\nm10\n"},
        {"OtherFailureIsNoSuccess", true, "insmod: ERROR: could not insert module: Invalid parameters\n", 1, -1,
         "m1\nm10\n"},
        {"UnloadRemovesTheExactNameOnly", false, "", 0, 0, "m10\n"},
    };
    for (const Row &r : rows) {
        root.write("/opt/apps/alpha/data/krnlmod", "m1\nm10\n");
        answer(r.err, r.rc);
        EXPECT_EQ(plughost::plughost_kernel_module("m1", "", r.load, "/opt/apps/alpha"), r.code) << r.name;
        EXPECT_EQ(root.read("/opt/apps/alpha/data/krnlmod"), r.list) << r.name;
    }
}

TEST_F(KernelModules, BadInputRunsNothing)
{
    EXPECT_EQ(plughost::plughost_kernel_module("", "", true, "/opt/apps/alpha"), -1);
    EXPECT_EQ(plughost::plughost_kernel_module("m1", "", true, ""), -1);
    EXPECT_EQ(plughost::plughost_kernel_module("../m1", "", true, "/opt/apps/alpha"), -1);
    EXPECT_EQ(plughost::plughost_kernel_module("m1;reboot", "", false, "/opt/apps/alpha"), -1);
    EXPECT_FALSE(root.exists("/tool.log"));
}

TEST_F(KernelModules, StopUnloadsNewestFirstDropsTheListAndMarksTheStop)
{
    Registry reg;
    ASSERT_EQ(reg.add(control("alpha"), "", false), 0);
    root.write("/opt/apps/alpha/data/krnlmod", "m1\n\nm2\nbad name\nm3\n");
    EXPECT_EQ(plughost::plughost_stop_plugin("alpha", reg), 0);
    EXPECT_EQ(root.read("/tool.log"), "m3\nm2\nm1\n");
    EXPECT_FALSE(root.exists("/opt/apps/alpha/data/krnlmod"));
    EXPECT_TRUE(plughost::stop_marked("alpha"));
    EXPECT_EQ(reg.find("alpha")->monitored, 0);
    EXPECT_EQ(plughost::plughost_stop_plugin("nobody", reg), -1);
}

TEST(StartAtBoot, StopMarkedPluginStaysDownAndUnmonitored)
{
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
    Registry reg;
    ASSERT_EQ(reg.add(control("alpha"), "", false), 0);
    ASSERT_EQ(reg.add(control("beta"), "", false), 0);
    ASSERT_EQ(plughost::set_stop_mark("alpha", true), 0);
    for (plughost::PluginRecord *rec : reg.records()) {
        rec->monitored = 1;
        plughost::plughost_start_at_boot(*rec);
    }
    EXPECT_EQ(reg.find("alpha")->monitored, 0);
    EXPECT_EQ(reg.find("beta")->monitored, 1);
    // beta has no container handle: logged, nothing started.
    EXPECT_EQ(logs.count("Failed to get container beta"), 1u);
    EXPECT_EQ(logs.count("Failed to get container alpha"), 0u);
}

TEST(RemovePlugin, DropsRecordPolicyAndContainerPath)
{
    gwtest::TempRoot root;
    Registry reg;
    auto c = control("alpha");
    c->SelfDataUds = "/uds/alpha/s";
    ASSERT_EQ(reg.add(std::move(c), "", false), 0);
    root.write("/opt/apps/alpha/alpha/config", "x");
    root.write("/uds/alpha/s", "");
    root.write("/etc/dbus-1/system.d/alpha.conf", "x");
    root.write("/etc/dbus-1/system.d/alpha2.conf", "x");
    plughost::plughost_remove_plugin("alpha", 0, reg);
    EXPECT_EQ(reg.find("alpha"), nullptr);
    EXPECT_FALSE(root.exists("/opt/apps/alpha"));
    EXPECT_FALSE(root.exists("/uds/alpha"));
    EXPECT_FALSE(root.exists("/etc/dbus-1/system.d/alpha.conf"));
    EXPECT_TRUE(root.exists("/etc/dbus-1/system.d/alpha2.conf"));
}

}  // namespace
