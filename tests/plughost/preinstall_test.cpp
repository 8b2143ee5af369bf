// The start's version check: the built-in architecture and version against the recorded ones, what it
// writes, and when it restores the framework or ends the start.
#include <string>

#include <gtest/gtest.h>

#include "gwtest.hpp"
#include "igd1_sim.hpp"
#include "plughost_preinstall.h"

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
        if (std::string(r.record_after) == kAbsent)
            EXPECT_FALSE(root.exists(plughost::kVersionRecord));
        else
            EXPECT_EQ(root.read(plughost::kVersionRecord), r.record_after);
    }
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
