// The start's version check: the built-in architecture and version against the recorded ones, what it
// writes, and when it restores the framework or ends the start.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include "gwbus/raii.hpp"
#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "ipk_builder.hpp"
#include "plughost_install.h"
#include "plughost_preinstall.h"
#include "plughost_registry.h"
#include "plughost_service.h"
#include "plughost_startup.h"
#include "standin.hpp"

namespace {

using plughost::VersionAction;

constexpr const char *kAbsent = "<absent>";

std::string status_with(const std::string &arch, const std::string &version)
{
    return "Package: libx\nVersion: 9\nArchitecture: other\n\nPackage: plughost\nVersion: " + version +
           "\nArchitecture: " + arch + "\nStatus: install ok installed\n\nPackage: z\nVersion: 1\n";
}

TEST(VersionCheck, RecordsRestoresOrEndsByWhatTheGatewayRecorded)
{
    const struct Row {
        const char *what;
        const char *record;  // "/etc/CheckVersion.conf" before, or kAbsent
        std::string status;
        const char *firmware;  // "/etc/openwrt_version"
        const char *arch;      // built in
        const char *version;
        VersionAction action;
        const char *record_after;
    } rows[] = {
        {"first start records the built-in values", kAbsent, status_with("arm_a", "V1"), "", "arm_a", "V2",
         VersionAction::Continue, "arm_a\nV2\n"},
        {"same values keep the record", "arm_a\nV2\n", status_with("arm_a", "V1"), "", "arm_a", "V2",
         VersionAction::Continue, "arm_a\nV2\n"},
        {"a new version is recorded", "arm_a\nV1\n", "", "", "arm_a", "V2", VersionAction::Continue, "arm_a\nV2\n"},
        {"a stale record with the database agreeing is only rewritten", "arm_old\nV1\n", status_with("arm_a", "V1"), "",
         "arm_a", "V2", VersionAction::Continue, "arm_a\nV2\n"},
        {"another architecture restores", "arm_old\nV1\n", status_with("arm_old", "V1"), "", "arm_a", "V2",
         VersionAction::Restore, "arm_old\nV1\n"},
        {"another architecture in the database restores", kAbsent, status_with("arm_old", "V1"), "", "arm_a", "V2",
         VersionAction::Restore, kAbsent},
        {"nothing recorded anywhere does nothing", kAbsent, "Package: libx\nVersion: 9\n", "", "arm_a", "V2",
         VersionAction::Continue, kAbsent},
        {"a record without its version line ends the start", "arm_a\n", "", "", "arm_a", "V2", VersionAction::Exit,
         "arm_a\n"},
        {"no built-in values: the firmware's are used", "arm_fw\nV7\n", "", "V7_arm_fw\n", "", "",
         VersionAction::Continue, "arm_fw\nV7\n"},
        {"no values anywhere ends the start", "arm_a\nV1\n", "", "V7\n", "", "", VersionAction::Exit, "arm_a\nV1\n"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        gwtest::TempRoot root;
        if (std::string(r.record) != kAbsent)
            root.write(plughost::kVersionRecord, r.record);
        root.write("/usr/lib/opkg/status", r.status);
        root.write(plughost::kFirmwareVersionFile, r.firmware);
        const plughost::VersionCheck got = plughost::plughost_version_check(r.arch, r.version);
        EXPECT_EQ(static_cast<int>(got.action), static_cast<int>(r.action));
        if (std::string(r.record_after) == kAbsent) {
            EXPECT_FALSE(root.exists(plughost::kVersionRecord));
        } else {
            EXPECT_EQ(root.read(plughost::kVersionRecord), r.record_after);
        }
    }
}

// The packages of "/ipks" with the opkg stand-in on a run-time root.
class PreinstallScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char *o = getenv("GW_OPKG"))
            saved_opkg_ = o;
        setenv("GW_OPKG", (gwtest::build_dir() + "/sim/opkg/opkg").c_str(), 1);
        root_.write("/ipks/.keep", "");
    }
    void TearDown() override { setenv("GW_OPKG", saved_opkg_.c_str(), 1); }

    // A package file in "/ipks" with the control lines given after Package and Version.
    void package(const std::string &file, const std::string &name, const std::string &version,
                 const std::string &extra = "")
    {
        gwtest::IpkSpec spec;
        spec.control = "Package: " + name + "\nVersion: " + version + "\nArchitecture: all\n" + extra;
        gwtest::write_bytes(root_.path("/ipks/" + file), gwtest::make_ipk(spec));
    }
    // A package opkg already knows.
    void installed(const std::string &name, const std::string &version, const std::string &extra = "")
    {
        status_ += "Package: " + name + "\nVersion: " + version + "\nStatus: install user installed\n\n";
        root_.write("/usr/lib/opkg/status", status_);
        root_.write("/usr/lib/opkg/info/" + name + ".control",
                    "Package: " + name + "\nVersion: " + version + "\n" + extra);
    }
    std::string version_of(const std::string &name)
    {
        const std::string control = root_.read("/usr/lib/opkg/info/" + name + ".control");
        const size_t at = control.find("Version: ");
        return at == std::string::npos ? "" : control.substr(at + 9, control.find('\n', at) - at - 9);
    }

    gwtest::TempRoot root_;
    gwtest::LogCapture logs_;
    plughost::Registry reg_;
    std::string status_;
    std::string saved_opkg_;
};

TEST_F(PreinstallScan, VersionRulesKeepDeleteOrReplaceEachPackage)
{
    installed("preplug", "1.2", "Essential: yes\npluginClass: 0\n");
    package("preplug_1.1_all.ipk", "preplug", "1.1", "Essential: yes\npluginClass: 0\n");
    installed("libsysmod", "1.2", "Essential: yes\n");
    package("libsysmod_1.1_all.ipk", "libsysmod", "1.1", "Essential: yes\n");
    installed("libsame", "1.2", "Essential: yes\n");
    package("libsame_1.2_all.ipk", "libsame", "1.2", "Essential: yes\n");
    installed("libother", "1.2");
    package("libother_1.2_all.ipk", "libother", "1.2");
    package("libnew_1.0_all.ipk", "libnew", "1.0");
    root_.write("/ipks/broken.ipk", "not a package");
    root_.write("/ipks/README", "not a package file: left alone");

    plughost::plughost_preinstall_scan(false, reg_);

    const struct {
        const char *file;
        bool stays;
        const char *package;
        const char *version;  // installed afterwards
    } rows[] = {
        {"preplug_1.1_all.ipk", true, "preplug", "1.2"},      // a preinstalled plug-in is never downgraded
        {"libsysmod_1.1_all.ipk", true, "libsysmod", "1.1"},  // a system module is
        {"libsame_1.2_all.ipk", false, "libsame", "1.2"},
        {"libother_1.2_all.ipk", false, "libother", "1.2"},
        {"libnew_1.0_all.ipk", true, "libnew", "1.0"},  // unknown: installed, and the file stays
        {"broken.ipk", false, nullptr, nullptr},
        {"README", true, nullptr, nullptr},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.file);
        EXPECT_EQ(root_.exists(std::string("/ipks/") + r.file), r.stays);
        if (r.package) {
            EXPECT_EQ(version_of(r.package), r.version);
        }
    }
    EXPECT_TRUE(logs_.contains("preinstall plugin : preplug current version(1.2) is higher or same than the new "
                               "version(1.1), cancel update."));
    EXPECT_TRUE(logs_.contains("system module : libsame current version(1.2) is same than the new version(1.2), "
                               "cancel update and delete it."));
    EXPECT_TRUE(logs_.contains("preinstall libsysmod : from 1.2 to 1.1, version -1"));
    EXPECT_TRUE(logs_.contains("preinstall libnew : from NO VERSION to 1.0, version +100"));

    // The next scan finds what it installed equal and deletes it.
    plughost::plughost_preinstall_scan(false, reg_);
    EXPECT_FALSE(root_.exists("/ipks/libnew_1.0_all.ipk"));
    EXPECT_TRUE(root_.exists("/ipks/preplug_1.1_all.ipk"));
}

TEST_F(PreinstallScan, AtStartAFailedInstallIsTriedOnceMore)
{
    // A package manager that fails its first install, then hands over to the stand-in.
    const std::string counter = root_.path("/tmp/opkg-calls");
    root_.write("/tmp/flaky-opkg", "#!/usr/bin/python3\nimport os, sys\n"
                                   "n = os.path.exists('" +
                                       counter + "')\nopen('" + counter +
                                       "', 'a').write('x')\n"
                                       "sys.exit(1) if not n else os.execv('/usr/bin/python3', ['python3', '" +
                                       gwtest::build_dir() + "/sim/opkg/opkg'] + sys.argv[1:])\n");
    chmod(root_.path("/tmp/flaky-opkg").c_str(), 0755);
    setenv("GW_OPKG", root_.path("/tmp/flaky-opkg").c_str(), 1);
    package("libretry_1.0_all.ipk", "libretry", "1.0");
    plughost::plughost_preinstall_scan(true, reg_);
    EXPECT_EQ(version_of("libretry"), "1.0");
    EXPECT_EQ(root_.read("/tmp/opkg-calls"), "xx");
    EXPECT_EQ(logs_.count("plugin install, ret ="), 0u) << "the framework log is not the system log";
}

// A scan and an install task never run the package manager at the same time: a package manager that
// notes when a second run starts while one is still going.
TEST_F(PreinstallScan, AScanRacingAnInstallTaskWaitsForIt)
{
    const std::string busy = root_.path("/tmp/opkg-busy");
    const std::string notes = root_.path("/tmp/opkg-notes");
    root_.write("/tmp/slow-opkg", "#!/usr/bin/python3\nimport os, subprocess, sys, time\n"
                                  "busy, notes = '" +
                                      busy + "', '" + notes +
                                      "'\n"
                                      "open(notes, 'a').write('overlap\\n' if os.path.exists(busy) else 'run\\n')\n"
                                      "open(busy, 'w').close()\ntime.sleep(0.5)\n"
                                      "rc = subprocess.call(['/usr/bin/python3', '" +
                                      gwtest::build_dir() +
                                      "/sim/opkg/opkg'] + sys.argv[1:])\n"
                                      "os.unlink(busy)\nsys.exit(rc)\n");
    chmod(root_.path("/tmp/slow-opkg").c_str(), 0755);
    setenv("GW_OPKG", root_.path("/tmp/slow-opkg").c_str(), 1);
    gwtest::IpkSpec spec;
    spec.control = "Package: libtask\nVersion: 1.0\nArchitecture: all\n";
    gwtest::write_bytes(root_.path("/tmp/libtask_1.0_all.ipk"), gwtest::make_ipk(spec));
    package("libscan_1.0_all.ipk", "libscan", "1.0");

    std::thread task(
        [&] { plughost::plughost_run_task("/tmp/libtask_1.0_all.ipk", plughost::TaskType::Install, reg_); });
    ASSERT_TRUE(gwtest::wait_until([&] { return root_.exists("/tmp/opkg-busy"); }));
    plughost::plughost_preinstall_scan(false, reg_);
    task.join();
    EXPECT_EQ(version_of("libtask"), "1.0");
    EXPECT_EQ(version_of("libscan"), "1.0");
    EXPECT_EQ(root_.read("/tmp/opkg-notes").find("overlap"), std::string::npos) << root_.read("/tmp/opkg-notes");
}

TEST_F(PreinstallScan, TheAgentUpgradesRestartsThroughItsPidAndScriptAndIsToldUntilItHears)
{
    const char kReport[] = "/com/yvc/gwagent1 com.yvc.gwagent1 UpgRep";
    installed("gwagent", "1.0");
    package("gwagent_2.0_all.ipk", "gwagent", "2.0");
    gwtest::Child agent({"/bin/sleep", "30"});
    root_.write(plughost::kAgentPidFile, std::to_string(agent.pid()) + "\n");
    root_.write(plughost::kAgentInitScript, "#!/usr/bin/python3\nimport sys\nopen('" + root_.path("/tmp/init-called") +
                                                "', 'a').write(' '.join(sys.argv[1:]) + '\\n')\n");
    chmod(root_.path(plughost::kAgentInitScript).c_str(), 0755);
    gwtest::PrivateBus::instance();
    gwtest::StandIn stand_in("com.yvc.gwagent1");
    stand_in.fail(kReport);

    plughost::plughost_preinstall_scan(false, reg_);
    EXPECT_EQ(version_of("gwagent"), "2.0");
    EXPECT_FALSE(root_.exists("/ipks/gwagent_2.0_all.ipk"));
    EXPECT_TRUE(gwtest::wait_until([&] { return !agent.running(); }));
    EXPECT_EQ(root_.read("/tmp/init-called"), "restart\n");
    // The report is tried every 200 ms, five times at most.
    ASSERT_TRUE(gwtest::wait_until([&] { return logs_.contains("report failed too many times 5, cancel report."); }));
    EXPECT_EQ(stand_in.count(kReport), 5u);

    stand_in.unfail(kReport);
    package("gwagent_3.0_all.ipk", "gwagent", "3.0");
    plughost::plughost_preinstall_scan(false, reg_);
    ASSERT_TRUE(gwtest::wait_until([&] { return stand_in.count(kReport) == 6; }));
    gw::VariantPtr args = stand_in.last_args(kReport);
    ASSERT_TRUE(args);
    gw::GCharPtr text(g_variant_print(args.get(), FALSE));
    EXPECT_STREQ(text.get(), "('gwagent_3.0_all.ipk', 0, 0)");
}

// The running host: a changed marker time makes it scan, and its own package in "/ipks" (here on
// SIGUSR2) upgrades it and ends it for the init system to start the new one.
TEST_F(PreinstallScan, TheHostScansOnTheMarkerAndEndsAfterUpgradingItself)
{
    gwtest::PrivateBus &bus = gwtest::PrivateBus::instance();
    const std::string fifo = root_.path(plughost::kAgentFifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    gw::UniqueFd queue(open(fifo.c_str(), O_RDONLY | O_NONBLOCK));
    ASSERT_GE(queue.get(), 0);
    gwtest::Child host({gwtest::build_dir() + "/plughost/plughost"},
                       {{"GW_ROOT", root_.dir()},
                        {"DBUS_SYSTEM_BUS_ADDRESS", bus.address()},
                        {"GW_OPKG", gwtest::build_dir() + "/sim/opkg/opkg"}});
    // Serving: past the scan at start, with the watcher running.
    ASSERT_TRUE(gwtest::wait_until([] { return gwtest::name_has_owner(plughost::kServiceName); },
                                   std::chrono::milliseconds(10000)));

    package("libmark_1.0_all.ipk", "libmark", "1.0");
    root_.write(plughost::kUpgradeMarker, "");
    ASSERT_TRUE(gwtest::wait_until([&] { return version_of("libmark") == "1.0"; }, std::chrono::milliseconds(20000)));

    package("plughost_9.0_all.ipk", "plughost", "9.0");
    kill(host.pid(), SIGUSR2);
    ASSERT_TRUE(gwtest::wait_until([&] { return !host.running(); }, std::chrono::milliseconds(20000)));
    const int status = host.stop();
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    char buf[256] = {};
    const ssize_t n = read(queue.get(), buf, sizeof buf - 1);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), "MOD_UPGRD_END,plughost_9.0_all.ipk");
    EXPECT_EQ(version_of("plughost"), "9.0");
    EXPECT_FALSE(root_.exists("/ipks/plughost_9.0_all.ipk"));
    EXPECT_FALSE(root_.exists(plughost::kPidFile));
}

TEST(VersionCheck, TheRestoreAsksTheFrameworkServiceAndReportsItsRefusal)
{
    gwtest::TempRoot root;
    gwtest::LogCapture logs;
    gwtest::Igd1Sim &sim = gwtest::Igd1Sim::fresh();
    EXPECT_EQ(plughost::plughost_restore_framework("arm_a", "arm_old", 0), 0);
    EXPECT_EQ(sim.call_count("Restore"), 1u);
    sim.fail_next("Restore");
    EXPECT_NE(plughost::plughost_restore_framework("arm_a", "arm_old", 0), 0);
    EXPECT_TRUE(logs.contains("api_framework_Restore() failed"));
}

}  // namespace
