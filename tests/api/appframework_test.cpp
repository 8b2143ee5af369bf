// The plug-in host's list and plug-in states, against the simulator's "plugins" fixture.
#include <string>
#include <vector>

#include "api_sim.hpp"
#include "gwbus/api.h"

namespace apitest {
namespace {

constexpr const char *kHost = "/com/yvc/appframework1";
constexpr const char *kHostIface = "com.yvc.appframework1.AppAgent";

struct Plugin {
    std::string name, version, state;
};

// The fixture as the profile holds it, with the state the host reports for each entry.
std::vector<Plugin> fixture_plugins()
{
    const std::string file = gwtest::source_dir() + "/sim/igd1/profiles/default.json";
    json_error_t err;
    gwtest::Json profile(json_load_file(file.c_str(), 0, &err));
    std::vector<Plugin> out;
    if (!profile) {
        ADD_FAILURE() << file << ": " << err.text;
        return out;
    }
    size_t i = 0;
    json_t *p = nullptr;
    json_array_foreach(json_object_get(profile.get(), "plugins"), i, p)
    {
        const bool running =
            json_is_true(json_object_get(p, "Library")) || json_integer_value(json_object_get(p, "Running")) != 0;
        out.push_back({json_string_value(json_object_get(p, "Name")), json_string_value(json_object_get(p, "Version")),
                       running ? "RUNNING" : "STOPPED"});
    }
    return out;
}

struct AppList {
    api_AppInfo_t *apps = nullptr;
    int count = -1;
    ~AppList()
    {
        if (apps)
            api_releaseListApp(apps, count);
    }
};

using AppFramework = ApiSim;

TEST_F(AppFramework, ListCarriesEveryPluginOfTheFixtureInTheHostsOrder)
{
    const std::vector<Plugin> want = fixture_plugins();
    // The fixture has a running, a stopped and a library package.
    ASSERT_EQ(want.size(), 3u);
    gwtest::LogCapture log;
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    ASSERT_EQ(l.count, 3);
    ASSERT_NE(l.apps, nullptr);
    for (int i = 0; i < l.count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_STREQ(l.apps[i].Name, want[i].name.c_str());
        EXPECT_STREQ(l.apps[i].Version, want[i].version.c_str());
        EXPECT_STREQ(l.apps[i].State, want[i].state.c_str());
    }
    EXPECT_STREQ(l.apps[0].Name, "speedtest");
    EXPECT_STREQ(l.apps[0].State, "RUNNING");
    EXPECT_STREQ(l.apps[1].Name, "parental");
    EXPECT_STREQ(l.apps[1].State, "STOPPED");
    EXPECT_STREQ(l.apps[2].Name, "libyvcore");
    EXPECT_STREQ(l.apps[2].State, "RUNNING");
    EXPECT_TRUE(log.contains("====== enter api_getListApp"));
    EXPECT_EQ(s().call_count("List"), 1u);
}

TEST_F(AppFramework, ListTakesTheStateFromTheRunFlagNotFromTheDisplayName)
{
    s().override_reply(kHost, kHostIface, "List",
                       "({'a': <('a_arm', '1', uint32 0, 0)>, 'b': <('b_arm_RUNNING', '2', uint32 7, 99)>,"
                       " 'libc': <('libc_arm', '3')>},)");
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    ASSERT_EQ(l.count, 3);
    EXPECT_STREQ(l.apps[0].State, "STOPPED");
    EXPECT_STREQ(l.apps[1].Name, "b");
    EXPECT_STREQ(l.apps[1].State, "RUNNING");
    EXPECT_STREQ(l.apps[2].Name, "libc");
    EXPECT_STREQ(l.apps[2].Version, "3");
    EXPECT_STREQ(l.apps[2].State, "RUNNING");
}

TEST_F(AppFramework, AnEmptyHostGivesCountZeroAndNoBlock)
{
    s().override_reply(kHost, kHostIface, "List", "(@a{sv} {},)");
    api_AppInfo_t *apps = reinterpret_cast<api_AppInfo_t *>(0x1);
    int count = 9;
    ASSERT_EQ(api_getListApp(&apps, &count), 0);
    EXPECT_EQ(apps, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(AppFramework, EntriesOfAnUnknownShapeAreLeftOut)
{
    s().override_reply(kHost, kHostIface, "List", "({'odd': <(1, 2)>, 'good': <('good_arm', '5.0', uint32 1, 12)>},)");
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    ASSERT_EQ(l.count, 1);
    EXPECT_STREQ(l.apps[0].Name, "good");
    EXPECT_STREQ(l.apps[0].Version, "5.0");
    // Only unknown shapes: nothing is left, which is no failure.
    s().override_reply(kHost, kHostIface, "List", "({'odd': <(1, 2)>},)");
    api_AppInfo_t *apps = nullptr;
    int count = 9;
    ASSERT_EQ(api_getListApp(&apps, &count), 0);
    EXPECT_EQ(apps, nullptr);
    EXPECT_EQ(count, 0);
}

TEST_F(AppFramework, LongNamesAndVersionsAreCutToTheirFields)
{
    const std::string name(300, 'n');
    const std::string version(100, '7');
    s().override_reply(kHost, kHostIface, "List", "({'" + name + "': <('x', '" + version + "', uint32 1, 1)>},)");
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    ASSERT_EQ(l.count, 1);
    EXPECT_EQ(std::string(l.apps[0].Name), name.substr(0, sizeof l.apps[0].Name - 1));
    EXPECT_EQ(std::string(l.apps[0].Version), version.substr(0, sizeof l.apps[0].Version - 1));
}

TEST_F(AppFramework, AFailedOrMistypedListIsMinusOneAndLeavesTheOutputs)
{
    api_AppInfo_t sentinel{};
    api_AppInfo_t *apps = &sentinel;
    int count = 42;
    s().fail_next("List", 1, kHost);
    EXPECT_EQ(api_getListApp(&apps, &count), -1);
    EXPECT_EQ(apps, &sentinel);
    EXPECT_EQ(count, 42);
    s().override_reply(kHost, kHostIface, "List", "(int32 3,)");
    EXPECT_EQ(api_getListApp(&apps, &count), -1);
    EXPECT_EQ(apps, &sentinel);
    EXPECT_EQ(count, 42);
    // The failure was for one call only: the next one reads the fixture again.
    s().override_reply(kHost, kHostIface, "List", "");
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    EXPECT_EQ(l.count, 3);
}

TEST_F(AppFramework, ListAndReleaseRefuseNullPointers)
{
    int count = 0;
    api_AppInfo_t *apps = nullptr;
    EXPECT_EQ(api_getListApp(nullptr, &count), -1);
    EXPECT_EQ(api_getListApp(&apps, nullptr), -1);
    EXPECT_EQ(s().call_count("List"), 0u);
    EXPECT_EQ(api_releaseListApp(nullptr, 0), -1);
    AppList l;
    ASSERT_EQ(api_getListApp(&l.apps, &l.count), 0);
    EXPECT_EQ(api_releaseListApp(l.apps, l.count), 0);
    l.apps = nullptr;
}

TEST_F(AppFramework, StatusIsTheHostsTextForThatName)
{
    gwtest::LogCapture log;
    char state[32] = "";
    ASSERT_EQ(api_getAppStatus("parental", state, sizeof state), 0);
    EXPECT_STREQ(state, "STOPPED");
    EXPECT_EQ(last_args("GetStatus"), "('parental',)");
    ASSERT_EQ(api_getAppStatus("speedtest", state, sizeof state), 0);
    EXPECT_STREQ(state, "RUNNING");
    ASSERT_EQ(api_getAppStatus("libyvcore", state, sizeof state), 0);
    EXPECT_STREQ(state, "RUNNING");
    ASSERT_EQ(api_getAppStatus("nosuch", state, sizeof state), 0);
    EXPECT_STREQ(state, "EEXIST");
    EXPECT_TRUE(log.contains("====== enter api_getAppStatus"));
}

TEST_F(AppFramework, StatusIsCutToTheCallersBuffer)
{
    char state[4] = "xyz";
    ASSERT_EQ(api_getAppStatus("speedtest", state, sizeof state), 0);
    EXPECT_STREQ(state, "RUN");
    s().override_reply(kHost, kHostIface, "GetStatus", "('" + std::string(40, 'S') + "',)");
    char wide[16] = "";
    ASSERT_EQ(api_getAppStatus("speedtest", wide, sizeof wide), 0);
    EXPECT_EQ(std::string(wide), std::string(15, 'S'));
}

TEST_F(AppFramework, StatusRefusesBadInputWithoutACall)
{
    char state[16] = "keep";
    EXPECT_EQ(api_getAppStatus(nullptr, state, sizeof state), -1);
    EXPECT_EQ(api_getAppStatus("", state, sizeof state), -1);
    EXPECT_EQ(api_getAppStatus("speedtest", nullptr, 16), -1);
    EXPECT_EQ(api_getAppStatus("speedtest", state, 0), -1);
    EXPECT_EQ(api_getAppStatus("speedtest", state, -3), -1);
    EXPECT_EQ(s().call_count("GetStatus"), 0u);
    EXPECT_STREQ(state, "keep");
}

TEST_F(AppFramework, AFailedOrMistypedStatusIsMinusOneAndLeavesTheText)
{
    char state[16] = "keep";
    s().fail_next("GetStatus", 1, kHost);
    EXPECT_EQ(api_getAppStatus("speedtest", state, sizeof state), -1);
    EXPECT_STREQ(state, "keep");
    s().override_reply(kHost, kHostIface, "GetStatus", "(uint32 1,)");
    EXPECT_EQ(api_getAppStatus("speedtest", state, sizeof state), -1);
    EXPECT_STREQ(state, "keep");
}

}  // namespace
}  // namespace apitest
