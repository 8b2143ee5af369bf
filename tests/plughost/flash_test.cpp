// The storage quota check and the flash write monitors: decisions at the quota's edges, the used size
// against du, and the monitor threads on real writes, ending with their plug-in.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "plughost_flash.h"
#include "plughost_hostfiles.h"
#include "plughost_service.h"
#include "plugin_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using plughost::CtrlInfo;

class Flash : public ::testing::Test {
protected:
    // A plug-in record with the quota; its data directory exists.
    plughost::PluginRecord *plugin(const std::string &name, uint32_t quota, int monitored = 1)
    {
        auto info = std::make_unique<CtrlInfo>();
        info->Package = name;
        info->Vendor = "acme";
        info->DbusVersion = 1;
        info->maxFlashSize = quota;
        EXPECT_EQ(reg_.add(std::move(info), root_.path("/none"), false), 0);
        plughost::PluginRecord *rec = reg_.find(name);
        rec->monitored = monitored;
        fs::create_directories(root_.path(rec->container_path + "/data"));
        return rec;
    }

    gwtest::TempRoot root_;
    gwtest::LogCapture logs_;
    plughost::Registry reg_;
};

TEST_F(Flash, UsedSizeCountsBlocksAsDuDoesWithLinksOnceAndWithoutFollowingSymlinks)
{
    const std::string dir = root_.path("/opt/apps/p/files");
    fs::create_directories(dir + "/sub/deeper");
    std::ofstream(dir + "/one") << "x";
    std::ofstream(dir + "/sub/big") << std::string(100000, 'b');
    std::ofstream(dir + "/sub/deeper/mid") << std::string(5000, 'm');
    fs::create_hard_link(dir + "/sub/big", dir + "/big-again");
    std::ofstream(root_.path("/outside")) << std::string(300000, 'o');
    fs::create_symlink(root_.path("/outside"), dir + "/link");

    std::vector<std::string> argv = {"/usr/bin/du", "-s", "--block-size=1024", dir};
    std::vector<char *> cargv;
    for (auto &a : argv)
        cargv.push_back(a.data());
    cargv.push_back(nullptr);
    gchar *out = nullptr;
    int status = -1;
    ASSERT_TRUE(g_spawn_sync(nullptr, cargv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, &out, nullptr, &status,
                             nullptr));
    gw::GCharPtr hold(out);
    const unsigned long long kib = std::stoull(out);
    EXPECT_EQ(plughost::used_size(dir), kib * 1024);
    EXPECT_LT(plughost::used_size(dir), 300000u);
    EXPECT_EQ(plughost::used_size(root_.path("/no/such/dir")), 0u);
}

TEST_F(Flash, StorageCheckStopsOverTheQuotaAndRechecksAboveSevenTenths)
{
    const struct Row {
        const char *name;
        uint32_t quota;
        uint64_t used;
        const char *outcome;  // "stop", "recheck" or ""
    } rows[] = {
        {"over", 1048576, 1048577, "stop"},
        {"exact", 1048576, 1048576, "recheck"},  // not over: only the recheck stops it
        {"eighthundred", 1048576, 819200, "recheck"},
        {"sevenhundred", 1048576, 716800, ""},
        {"huge", 4000000000u, 1000000000, ""},  // seven tenths of a large quota computed without wrapping
        {"hugeover", 4000000000u, 3000000000u, "recheck"},
    };
    std::map<std::string, uint64_t> used;
    for (const Row &r : rows) {
        plugin(r.name, r.quota);
        used[r.name] = r.used;
    }
    plugin("stopped", 1, 0);  // not monitored: skipped
    used["stopped"] = 5;
    std::vector<std::string> armed;
    const auto result = plughost::storage_check(
        reg_, [&](const plughost::PluginRecord &rec) { return used.at(rec.name()); },
        [&](const std::string &name) {
            armed.push_back(name);
            return 7u;
        });
    std::vector<std::string> want_stop, want_recheck;
    for (const Row &r : rows) {
        if (std::string(r.outcome) == "stop")
            want_stop.push_back(r.name);
        else if (std::string(r.outcome) == "recheck")
            want_recheck.push_back(r.name);
    }
    EXPECT_EQ(result.stopped, want_stop);
    EXPECT_EQ(result.rechecks, want_recheck);
    EXPECT_EQ(armed, want_recheck);
    EXPECT_TRUE(plughost::stop_marked("over"));
    EXPECT_EQ(reg_.find("over")->monitored, 0);
    EXPECT_FALSE(plughost::stop_marked("exact"));
    EXPECT_FALSE(plughost::stop_marked("stopped"));
    EXPECT_TRUE(logs_.contains("flash used by plugin over over 1048576, stop."));

    // The recheck stops at the quota itself, leaves a smaller one, and skips a plug-in removed meanwhile.
    auto probe = [&](const plughost::PluginRecord &rec) { return used.at(rec.name()); };
    EXPECT_TRUE(plughost::storage_recheck("exact", reg_, probe));
    EXPECT_TRUE(plughost::stop_marked("exact"));
    EXPECT_TRUE(logs_.contains("flash used by plugin exact is over the max value 1048576, stop."));
    EXPECT_FALSE(plughost::storage_recheck("eighthundred", reg_, probe));
    EXPECT_FALSE(plughost::stop_marked("eighthundred"));
    ASSERT_TRUE(reg_.remove("hugeover"));
    EXPECT_FALSE(plughost::storage_recheck("hugeover", reg_, probe));
}

TEST_F(Flash, APluginWritingPastItsQuotaIsStoppedByTheCheckOnItsRealFiles)
{
    plugin("filler", 16384);
    plugin("modest", 1048576);
    std::ofstream(root_.path("/opt/apps/filler/data/blob")) << std::string(40000, 'f');
    std::ofstream(root_.path("/opt/apps/modest/data/note")) << "small";
    const auto result = plughost::storage_check(reg_);
    EXPECT_EQ(result.stopped, std::vector<std::string>{"filler"});
    EXPECT_TRUE(result.rechecks.empty());
    EXPECT_TRUE(plughost::stop_marked("filler"));
    EXPECT_FALSE(plughost::stop_marked("modest"));
}

// The monitors start on a write of the flash properties over the bus, count named events in the data
// directory, and end with their plug-in's record.
TEST_F(Flash, MonitorsCountWritesPerPluginAndEndWithTheirRecord)
{
    gwtest::PrivateBus::instance();
    gw::ErrorPtr err;
    gw::ConnectionPtr bus(g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, gw::ErrorOut(err)));
    ASSERT_TRUE(bus) << gw::error_text(err);
    const unsigned id = plughost::service_register(bus.get(), reg_);
    ASSERT_NE(id, 0u);
    auto set = [&](const char *property, uint32_t value) {
        EXPECT_EQ(plugtest::call_own(
                      bus.get(), plughost::kServicePath, "org.freedesktop.DBus.Properties", "Set",
                      g_variant_new("(ssv)", plughost::kServiceInterface, property, g_variant_new_uint32(value)), 5000),
                  "()")
            << property;
    };
    const int before = plughost::flash_monitors_running();

    plughost::PluginRecord *a = plugin("writer", 1048576);
    set("FlashDuration", 0);
    set("FlashThreshold", 2);
    ASSERT_NE(a->flash, nullptr);
    const auto watch_a = a->flash;
    EXPECT_EQ(watch_a->reset_source.load(), 0u);  // no period, no timer
    ASSERT_TRUE(gwtest::wait_until([&] { return watch_a->wd.load() >= 0; }));
    set("FlashThreshold", 2);  // a second write starts no second monitor
    EXPECT_EQ(a->flash, watch_a);
    EXPECT_EQ(plughost::flash_monitors_running(), before + 1);

    const std::string data = root_.path("/opt/apps/writer/data");
    chmod(data.c_str(), 0700);  // an event on the directory itself is not counted
    for (const char *f : {"/a", "/b", "/c"})
        std::ofstream(data + f) << "x";  // created, then closed after writing: two events each
    ASSERT_TRUE(gwtest::wait_until([&] { return watch_a->count.load() == 6; })) << watch_a->count.load();
    EXPECT_EQ(logs_.count("write flash times too more"), 4u);
    EXPECT_TRUE(logs_.contains("plugin writer write flash times too more, 3 times in 0 hours."));

    // A plug-in added later gets its monitor on the next write, with the period reset armed.
    plughost::PluginRecord *b = plugin("later", 1048576);
    set("FlashDuration", 2);
    ASSERT_NE(b->flash, nullptr);
    const auto watch_b = b->flash;
    ASSERT_TRUE(gwtest::wait_until([&] { return watch_b->reset_source.load() != 0; }));
    const unsigned reset = watch_b->reset_source.load();
    GSource *source = g_main_context_find_source_by_id(nullptr, reset);
    ASSERT_NE(source, nullptr);
    const gint64 in_us = g_source_get_ready_time(source) - g_get_monotonic_time();
    EXPECT_GT(in_us, 7190LL * G_USEC_PER_SEC);
    EXPECT_LE(in_us, 7201LL * G_USEC_PER_SEC);
    EXPECT_EQ(plughost::flash_monitors_running(), before + 2);

    // Uninstalled: the thread ends and never touches the record again; the reset timer goes with it.
    ASSERT_TRUE(reg_.remove("writer"));
    ASSERT_TRUE(gwtest::wait_until([&] { return plughost::flash_monitors_running() == before + 1; }));
    std::ofstream(data + "/d") << "x";
    ASSERT_TRUE(reg_.remove("later"));
    ASSERT_TRUE(gwtest::wait_until([&] { return plughost::flash_monitors_running() == before; }));
    EXPECT_EQ(g_main_context_find_source_by_id(nullptr, reset), nullptr);
    EXPECT_EQ(watch_a->count.load(), 6u);
    g_dbus_connection_unregister_object(bus.get(), id);
}

}  // namespace
