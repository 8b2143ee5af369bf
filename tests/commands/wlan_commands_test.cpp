// The WLAN members through the dispatch entry against the simulator: each success answer byte for byte
// with what it wrote, each failure word, the radio and guest-twin rules, and a bad-input sweep over every
// row of the family.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "command_rows.hpp"
#include "commands/cmd_table.h"
#include "core/crypto.h"
#include "core/dev_info.h"

namespace {

constexpr const char *kKeyText = "YVCGs3cret";  // serial prefix followed by the shared password
constexpr const char *kWlan = "com.yvc.igd1.WLANConfiguration";
constexpr const char *kWiFi = "/com/yvc/igd1/Info/WiFi";
constexpr const char *kWiFiIface = "com.yvc.igd1.WiFiInfo";
constexpr const char *kTimer = "/com/yvc/igd1/Config/WLAN/Timer";
constexpr const char *kTimerIface = "com.yvc.igd1.WiFiTimer";
// 63 characters: four cipher blocks, 128 hex digits.
constexpr const char *kLongPassword = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!";
constexpr const char *kWmm = "/com/yvc/igd1/Transfer/WMMConfiguration";

std::string ssid(int n) { return "/com/yvc/igd1/Config/WLAN/Devices/" + std::to_string(n); }

std::string encrypt(const std::string &plain)
{
    char out[1025] = {};
    EXPECT_EQ(en_aes256_ecb1(kKeyText, plain.c_str(), out, sizeof out), 0);
    return out;
}

// Replaces every "@text@" by the field cipher of text.
std::string with_secrets(std::string s)
{
    for (size_t at = s.find('@'); at != std::string::npos; at = s.find('@', at)) {
        const size_t end = s.find('@', at + 1);
        const std::string secret = encrypt(s.substr(at + 1, end - at - 1));
        s.replace(at, end - at + 1, secret);
        at += secret.size();
    }
    return s;
}

// SET_WIFI_INFO's parameters; the password as the platform sends it, encrypted.
std::string wifi_info(const char *index, const char *name, const char *password, const char *encrypt, const char *power,
                      const char *channel, const char *enable)
{
    return std::string(R"("SSIDIndex":")") + index + R"(","SSID":")" + name + R"(","PWD":"@)" + password +
           R"(@","ENCRYPT":")" + encrypt + R"(","PowerLevel":")" + power + R"(","Channel":")" + channel +
           R"(","Enable":")" + enable + "\"";
}

// A property edit before the command, or a property expected after it.
struct Prop {
    std::string path;
    const char *iface;
    const char *name;
    const char *value;
};

struct Fault {
    const char *member = nullptr;
    std::string path = "*";
};

struct Case {
    const char *what;
    const char *profile;  // nullptr: the default profile
    std::vector<Prop> before;
    Fault fault;
    std::string command;  // without CmdType and SequenceId
    const char *cmd_type;
    std::string answer;  // members after the head, or a failure word when it has no ':' or '"'
    std::vector<Prop> after;
};

class WlanCommands : public agenttest::CommandTest {
protected:
    void SetUp() override
    {
        CommandTest::SetUp();
        std::strcpy(g_dev_info.SNPrefix, "YVCG");
        std::strcpy(g_dev_info.SharedPasswd, "s3cret");
    }

    std::string send(const char *cmd_type, const std::string &params)
    {
        std::string cmd = std::string(R"({"CmdType":")") + cmd_type + R"(","SequenceId":"1")";
        if (!params.empty())
            cmd += "," + params;
        return run(with_secrets(cmd + "}"));
    }

    std::string expected(const Case &c) const
    {
        if (c.answer.find('"') == std::string::npos)
            return c.answer.empty() ? head(c.cmd_type) + "}" : failure(c.cmd_type, c.answer);
        return with_secrets(head(c.cmd_type) + "," + c.answer + "}");
    }

    void run_cases(const std::vector<Case> &cases)
    {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.what);
            gwtest::Igd1Sim::fresh();
            if (c.profile)
                sim.load_profile(c.profile);
            for (const Prop &p : c.before)
                sim.set_property(p.path, p.iface, p.name, p.value);
            if (c.fault.member)
                sim.fail_next(c.fault.member, 1, c.fault.path);
            EXPECT_EQ(send(c.cmd_type, with_secrets(c.command)), expected(c));
            for (const Prop &p : c.after)
                EXPECT_EQ(sim.get_property(p.path, p.iface, p.name), p.value) << p.path << " " << p.name;
        }
    }
};

TEST_F(WlanCommands, SsidSettingsAnswerAndWriteTheirProperties)
{
    // clang-format off
    run_cases({
        {"enabled SSID on a radio that is on", nullptr, {}, {}, R"("SSIDIndex":"1")", "GET_WIFI_INFO",
         R"("SSID":"YVC-1A2B","PWD":"@wifipass1@","ENCRYPT":"4","PowerLevel":"100","Channel":"6","Enable":"1")", {}},
        {"disabled SSID", nullptr, {}, {}, R"("SSIDIndex":"2")", "GET_WIFI_INFO",
         R"("SSID":"YVC-Guest","PWD":"@wifipass2@","ENCRYPT":"4","PowerLevel":"100","Channel":"6","Enable":"0")", {}},
        {"enabled SSID on a radio that is off", nullptr, {{kWiFi, kWiFiIface, "Enable5G", "false"}}, {},
         R"("SSIDIndex":"5")", "GET_WIFI_INFO",
         R"("SSID":"YVC-1A2B-5G","PWD":"@wifipass5@","ENCRYPT":"4","PowerLevel":"100","Channel":"149","Enable":"0")",
         {}},
        {"no such SSID", nullptr, {}, {}, R"("SSIDIndex":"3")", "GET_WIFI_INFO", "object_not_exist", {}},
        {"radio switch unreadable", nullptr, {}, {"GetAll", kWiFi}, R"("SSIDIndex":"1")", "GET_WIFI_INFO", "GET_WiFiInfo_FAILED", {}},
        {"index missing", nullptr, {}, {}, "", "GET_WIFI_INFO", "parameter_error", {}},

        {"fixed channel", nullptr, {}, {},
         wifi_info("1", "Home", "NewPass123", "5", "60", "11", "1"),
         "SET_WIFI_INFO", "",
         {{ssid(1), kWlan, "SSID", "'Home'"},
          {ssid(1), kWlan, "PWD", "'NewPass123'"},
          {ssid(1), kWlan, "EncryptionMode", "0x05"},
          {ssid(1), kWlan, "TransmitPower", "60"},
          {ssid(1), kWlan, "AutoChannelEnable", "false"},
          {ssid(1), kWlan, "Channel", "11"},
          {ssid(1), kWlan, "Enable", "true"}}},
        {"automatic channel, disabled", nullptr, {}, {},
         wifi_info("1", "Home", "NewPass123", "4", "100", "0", "0"),
         "SET_WIFI_INFO", "",
         {{ssid(1), kWlan, "AutoChannelEnable", "true"}, {ssid(1), kWlan, "Channel", "0"}, {ssid(1), kWlan, "Enable", "false"}}},
        {"a 63-character password arrives whole",
         nullptr, {}, {},
         wifi_info("1", "Home", kLongPassword, "4", "100", "0", "1"),
         "SET_WIFI_INFO", "",
         {{ssid(1), kWlan, "PWD", "'abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ!'"}}},
        {"enabling switches the 5 GHz radio on before the write", "wlan.json",
         {{kWiFi, kWiFiIface, "Enable5G", "false"}},
         {"SetValues", ssid(6)},
         wifi_info("6", "G", "guestpass", "4", "100", "0", "1"),
         "SET_WIFI_INFO", "SET_FAILED", {{kWiFi, kWiFiIface, "Enable5G", "true"}}},
        {"disabling leaves the radio alone", "wlan.json", {{kWiFi, kWiFiIface, "Enable5G", "false"}}, {},
         wifi_info("6", "G", "guestpass", "4", "100", "0", "0"),
         "SET_WIFI_INFO", "", {{kWiFi, kWiFiIface, "Enable5G", "false"}, {ssid(6), kWlan, "Enable", "false"}}},
        {"radio refuses to switch on: nothing written", nullptr, {{kWiFi, kWiFiIface, "Enable2G", "false"}},
         {"Set", kWiFi},
         wifi_info("1", "Home", "NewPass123", "4", "100", "0", "1"),
         "SET_WIFI_INFO", "OPEN_WIFI_MODE_FAILED", {{ssid(1), kWlan, "SSID", "'YVC-1A2B'"}}},
        {"a tab in the decrypted password", nullptr, {}, {},
         "\"SSIDIndex\":\"1\",\"SSID\":\"Home\",\"PWD\":\"@pass\tword@\",\"ENCRYPT\":\"4\",\"PowerLevel\":\"100\","
         "\"Channel\":\"0\",\"Enable\":\"1\"",
         "SET_WIFI_INFO", "PWD_CHAR_INVALID", {{ssid(1), kWlan, "PWD", "'wifipass1'"}}},
        {"no such SSID to set", nullptr, {}, {}, wifi_info("3", "Home", "NewPass123", "4", "100", "0", "1"), "SET_WIFI_INFO", "NO_MATCH_SSID", {}},
        {"write refused", nullptr, {}, {"SetValues", ssid(1)}, wifi_info("1", "Home", "NewPass123", "4", "100", "0", "1"), "SET_WIFI_INFO", "SET_FAILED", {}},
        {"a parameter missing", nullptr, {}, {},
         R"("SSIDIndex":"1","SSID":"Home","PWD":"@NewPass123@","ENCRYPT":"4","PowerLevel":"100","Channel":"0")",
         "SET_WIFI_INFO", "parameter_error", {}},
    });
    // clang-format on
    EXPECT_TRUE(log.contains("SET_WIFI_INFO json string missing Parameter Enable"));
}

TEST_F(WlanCommands, FrequencyWidthAndVisibilityFollowTheRadioAndIndex)
{
    // clang-format off
    run_cases({
        {"2.4 GHz width", nullptr, {}, {}, R"("RadioType":"2.4G")", "GET_WIFI_ADV", R"("FrequencyWidth":"20/40MHz")", {}},
        {"5 GHz width", nullptr, {}, {}, R"("RadioType":"5G")", "GET_WIFI_ADV", R"("FrequencyWidth":"80MHz")", {}},
        {"lower-case radio", nullptr, {}, {}, R"("RadioType":"5g")", "GET_WIFI_ADV", "parameter_error", {}},
        {"single band has no 5 GHz SSID", "wlan_single_band.json", {}, {}, R"("RadioType":"5G")", "GET_WIFI_ADV", "NO_5G_WLAN", {}},
        {"width written", nullptr, {}, {}, R"("RadioType":"5G","FrequencyWidth":"160MHz")", "SET_WIFI_ADV", "",
         {{ssid(5), kWlan, "FrequencyWidth", "'160MHz'"}}},
        {"lower-case radio to set", nullptr, {}, {}, R"("RadioType":"2.4g","FrequencyWidth":"40MHz")", "SET_WIFI_ADV",
         "parameter_error", {{ssid(1), kWlan, "FrequencyWidth", "'20/40MHz'"}}},
        {"single band has no 5 GHz SSID to set", "wlan_single_band.json", {}, {},
         R"("RadioType":"5G","FrequencyWidth":"40MHz")", "SET_WIFI_ADV", "NO_5G_WLAN", {}},
        {"width refused", nullptr, {}, {"Set", ssid(1)}, R"("RadioType":"2.4G","FrequencyWidth":"40MHz")", "SET_WIFI_ADV", "SET_FAILED", {}},

        {"advertised", nullptr, {}, {}, R"("SSIDIndex":"1")", "GET_WIFI_HIDE", R"("HideSSID":"0")", {}},
        {"hidden", "wlan.json", {}, {}, R"("SSIDIndex":"6")", "GET_WIFI_HIDE", R"("HideSSID":"1")", {}},
        {"no such SSID", nullptr, {}, {}, R"("SSIDIndex":"4")", "GET_WIFI_HIDE", "NO_SSIDAdvertisementEnabled", {}},
        {"hide", nullptr, {}, {}, R"("SSIDIndex":"1","HideSSID":"1")", "SET_WIFI_HIDE", "", {{ssid(1), kWlan, "SSIDAdvertisementEnabled", "false"}}},
        {"show", "wlan.json", {}, {}, R"("SSIDIndex":"6","HideSSID":"0")", "SET_WIFI_HIDE", "", {{ssid(6), kWlan, "SSIDAdvertisementEnabled", "true"}}},
        {"refused", nullptr, {}, {"Set", ssid(1)}, R"("SSIDIndex":"1","HideSSID":"1")", "SET_WIFI_HIDE", "SET_FAILED", {}},
    });
    // clang-format on
    EXPECT_TRUE(log.contains("radioType 5g is invalide, should be 2.4G or 5G."));
}

TEST_F(WlanCommands, InterfaceInfoReadsChannelsOnlyWhileARadioIsOn)
{
    // clang-format off
    run_cases({
        {"dual band", nullptr, {}, {}, "", "GET_WLAN_INTF_INFO", R"("Enable":"1","Channel":"6,149")", {}},
        {"single band", "wlan_single_band.json", {}, {}, "", "GET_WLAN_INTF_INFO", R"("Enable":"1","Channel":"6")", {}},
        // The SSID read would fail: the answer proves none was made.
        {"dual band, both radios off", nullptr,
         {{kWiFi, kWiFiIface, "Enable2G", "false"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}, {"GetAll", ssid(1)},
         "", "GET_WLAN_INTF_INFO", R"("Enable":"0","Channel":"0,0")", {}},
        {"single band, radio off", "wlan_single_band.json", {{kWiFi, kWiFiIface, "Enable2G", "false"}}, {}, "",
         "GET_WLAN_INTF_INFO", R"("Enable":"0","Channel":"0")", {}},
        {"radio switches unreadable", nullptr, {}, {"GetAll", kWiFi}, "", "GET_WLAN_INTF_INFO", "NO_WiFiInfo", {}},
        {"2.4 GHz channel unreadable", nullptr, {}, {"GetAll", ssid(1)}, "", "GET_WLAN_INTF_INFO", "NO_Channel1", {}},
        {"5 GHz channel unreadable", nullptr, {}, {"GetAll", ssid(5)}, "", "GET_WLAN_INTF_INFO", "NO_Channel5", {}},
    });
    // clang-format on
}

TEST_F(WlanCommands, SsidSwitchesTurnRadiosOnWithTheSsidsAndOffOnlyForIndexZero)
{
    // clang-format off
    run_cases({
        {"one SSID on, its radio with it", nullptr, {{kWiFi, kWiFiIface, "Enable2G", "false"}}, {},
         R"("SSIDIndex":"2")", "SET_WLAN_SSID_ENABLE", "",
         {{ssid(2), kWlan, "Enable", "true"}, {kWiFi, kWiFiIface, "Enable2G", "true"}}},
        {"every radio of a dual-band device", nullptr,
         {{ssid(1), kWlan, "Enable", "false"},
          {ssid(5), kWlan, "Enable", "false"},
          {kWiFi, kWiFiIface, "Enable2G", "false"},
          {kWiFi, kWiFiIface, "Enable5G", "false"}},
         {}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_ENABLE", "",
         {{ssid(1), kWlan, "Enable", "true"},
          {ssid(5), kWlan, "Enable", "true"},
          {kWiFi, kWiFiIface, "Enable2G", "true"},
          {kWiFi, kWiFiIface, "Enable5G", "true"}}},
        {"index 0 on a single-band device", "wlan_single_band.json",
         {{ssid(1), kWlan, "Enable", "false"}, {kWiFi, kWiFiIface, "Enable2G", "false"}}, {}, R"("SSIDIndex":"0")",
         "SET_WLAN_SSID_ENABLE", "", {{ssid(1), kWlan, "Enable", "true"}, {kWiFi, kWiFiIface, "Enable2G", "true"}}},
        {"radio switches unreadable", nullptr, {}, {"GetAll", kWiFi}, R"("SSIDIndex":"1")", "SET_WLAN_SSID_ENABLE", "GET_WiFiInfo_FAILED", {}},
        {"SSID 1 refused", nullptr, {}, {"Set", ssid(1)}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_ENABLE", "ENABLE_SSID1_FAILED", {}},
        {"SSID 5 refused", nullptr, {}, {"Set", ssid(5)}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_ENABLE", "ENABLE_SSID5_FAILED", {}},
        {"no such SSID", nullptr, {}, {}, R"("SSIDIndex":"9")", "SET_WLAN_SSID_ENABLE", "ENABLE_FAILED", {}},

        {"one SSID off, its radio stays on", nullptr, {}, {}, R"("SSIDIndex":"1")", "SET_WLAN_SSID_DISABLE", "",
         {{ssid(1), kWlan, "Enable", "false"}, {kWiFi, kWiFiIface, "Enable2G", "true"}}},
        {"every radio off", nullptr, {}, {}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_DISABLE", "",
         {{kWiFi, kWiFiIface, "Enable2G", "false"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}},
        {"single band radio off", "wlan_single_band.json", {}, {}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_DISABLE", "",
         {{kWiFi, kWiFiIface, "Enable2G", "false"}}},
        {"refused", nullptr, {}, {"SetValues", kWiFi}, R"("SSIDIndex":"0")", "SET_WLAN_SSID_DISABLE",
         "DISABLE_FAILED", {{kWiFi, kWiFiIface, "Enable2G", "true"}}},
    });
    // clang-format on
}

TEST_F(WlanCommands, DisablingEveryRadioWhenAllAreOffWritesNothing)
{
    sim.set_property(kWiFi, kWiFiIface, "Enable2G", "false");
    sim.set_property(kWiFi, kWiFiIface, "Enable5G", "false");
    const unsigned writes = sim.call_count("SetValues") + sim.call_count("Set");
    EXPECT_EQ(send("SET_WLAN_SSID_DISABLE", R"("SSIDIndex":"0")"), head("SET_WLAN_SSID_DISABLE") + "}");
    EXPECT_EQ(sim.call_count("SetValues") + sim.call_count("Set"), writes);
}

TEST_F(WlanCommands, SetWifiInfoWritesEveryValueInOneCallInItsOrder)
{
    EXPECT_EQ(send("SET_WIFI_INFO", R"("SSIDIndex":"5","SSID":"Fast","PWD":"@p4ssw0rd!@","ENCRYPT":"3",)"
                                    R"("PowerLevel":"80","Channel":"36","Enable":"1")"),
              head("SET_WIFI_INFO") + "}");
    EXPECT_EQ(sim.last_args("SetValues"),
              "('com.yvc.igd1.WLANConfiguration', {'SSID': <'Fast'>, 'EncryptionMode': <byte 0x03>, "
              "'PWD': <'p4ssw0rd!'>, 'TransmitPower': <uint32 80>, 'AutoChannelEnable': <false>, "
              "'Channel': <uint32 36>, 'Enable': <true>})");
}

TEST_F(WlanCommands, ScheduleAndServiceSummary)
{
    // clang-format off
    run_cases({
        {"schedule off", nullptr, {}, {}, "", "GET_HG_WIFI_TIMER", R"("wifiStartTime":"23:00","wifiEndTime":"07:00","wifiEnable":"0")", {}},
        {"schedule on", "wlan.json", {}, {}, "", "GET_HG_WIFI_TIMER", R"("wifiStartTime":"22:30","wifiEndTime":"06:45","wifiEnable":"1")", {}},
        {"schedule unreadable", nullptr, {}, {"GetAll", kTimer}, "", "GET_HG_WIFI_TIMER", "NO_WiFiTimer", {}},
        {"schedule written, times cut to 6", nullptr, {}, {},
         R"("StartTime":"21:00:00","EndTime":"06:15","Enable":"1")", "SET_HG_WIFI_TIMER", "",
         {{kTimer, kTimerIface, "StartTime", "'21:00:'"},
          {kTimer, kTimerIface, "EndTime", "'06:15'"},
          {kTimer, kTimerIface, "Enable", "true"},
          {kTimer, kTimerIface, "ControlCycle", "'1,2,3,4,5'"}}},
        {"schedule switched off by a leading 0", "wlan.json", {}, {}, R"("StartTime":"1","EndTime":"2","Enable":"0x")",
         "SET_HG_WIFI_TIMER", "", {{kTimer, kTimerIface, "Enable", "false"}}},
        {"schedule unreadable before the write", nullptr, {}, {"GetAll", kTimer},
         R"("StartTime":"1","EndTime":"2","Enable":"1")", "SET_HG_WIFI_TIMER", "NO_WiFiTimer", {}},
        {"schedule refused", nullptr, {}, {"SetValues", kTimer}, R"("StartTime":"1","EndTime":"2","Enable":"1")", "SET_HG_WIFI_TIMER", "SET_FAILED", {}},
        {"summary", nullptr, {}, {}, "", "GET_SERVICE", R"("wifiStartTime":"23:00","wifiEndTime":"07:00","wifiEnable":"0","LEDStatus":"ON")", {}},
        {"summary, LED off", "wlan.json", {{"/com/yvc/igd1/Config/Peripheral/LED", "com.yvc.igd1.LED", "LEDStatus",
                                           "byte 0"}},
         {}, "", "GET_SERVICE", R"("wifiStartTime":"22:30","wifiEndTime":"06:45","wifiEnable":"1","LEDStatus":"OFF")",
         {}},
        {"summary without schedule", nullptr, {}, {"GetAll", kTimer}, "", "GET_SERVICE", "NO_WiFiTimer", {}},
        {"summary without LED", nullptr, {}, {"GetAll", "/com/yvc/igd1/Config/Peripheral/LED"}, "", "GET_SERVICE", "NO_LEDStatus", {}},
    });
    // clang-format on
}

TEST_F(WlanCommands, GuestSsidHasATwinOnTheFiveGigahertzRadio)
{
    // clang-format off
    run_cases({
        {"dual band with the 5 GHz radio on: the twin is reported and marked", "wlan.json", {}, {}, "",
         "GET_GUEST_SSID",
         R"("SSID":"YVC-Guest,YVC-Guest-5G","PWD":"@wifipass2@","Enable":"1","Duration":120,"Remaining":30,)"
         R"("SSIDIndex":"2,6")",
         {{ssid(6), kWlan, "IsGuest", "true"}}},
        {"dual band with the 5 GHz radio off", "wlan.json", {{kWiFi, kWiFiIface, "Enable5G", "false"}}, {}, "",
         "GET_GUEST_SSID",
         R"("SSID":"YVC-Guest","PWD":"@wifipass2@","Enable":"1","Duration":120,"Remaining":30,"SSIDIndex":"2")",
         {{ssid(6), kWlan, "IsGuest", "false"}}},
        {"single band", "wlan_single_band.json", {}, {}, "", "GET_GUEST_SSID",
         R"("SSID":"YVC-Guest","PWD":"@wifipass2@","Enable":"0","Duration":0,"Remaining":0,"SSIDIndex":"2")", {}},
        {"no guest", "wlan_no_guest.json", {}, {}, "", "GET_GUEST_SSID", "not_create_guestssid", {}},
        {"SSIDs unreadable", nullptr, {}, {"GetManagedObjects", "/com/yvc/igd1/Config/WLAN/Devices"}, "", "GET_GUEST_SSID", "NO_WLANConfiguration", {}},
        {"twin missing", nullptr, {}, {}, "", "GET_GUEST_SSID", "object_not_exist", {}},

        {"both guests written, both radios on in one write", "wlan.json",
         {{kWiFi, kWiFiIface, "Enable2G", "false"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}, {},
         R"("SSID":"Visitors","PWD":"@guestpass@","Duration":3600,"Enable":"1")", "SET_GUEST_SSID", "",
         {{ssid(2), kWlan, "SSID", "'Visitors'"},
          {ssid(2), kWlan, "PWD", "'guestpass'"},
          {ssid(2), kWlan, "EncryptionMode", "0x05"},
          {ssid(2), kWlan, "Duration", "3600"},
          {ssid(2), kWlan, "Enable", "true"},
          {ssid(6), kWlan, "SSID", "'Visitors-5G'"},
          {ssid(6), kWlan, "PWD", "'guestpass'"},
          {ssid(6), kWlan, "IsGuest", "true"},
          {kWiFi, kWiFiIface, "Enable2G", "true"},
          {kWiFi, kWiFiIface, "Enable5G", "true"}}},
        {"2.4 GHz on, 5 GHz switched on", "wlan.json", {{kWiFi, kWiFiIface, "Enable5G", "false"}}, {},
         R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "",
         {{ssid(2), kWlan, "SSID", "'YVC-Guest'"}, {ssid(6), kWlan, "SSID", "'YVC-Guest-5G'"}, {kWiFi, kWiFiIface, "Enable5G", "true"}}},
        {"5 GHz on, 2.4 GHz switched on for its own guest", "wlan.json", {{kWiFi, kWiFiIface, "Enable2G", "false"}},
         {}, R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "", {{kWiFi, kWiFiIface, "Enable2G", "true"}}},
        {"disabled guest leaves the radios", "wlan.json", {{kWiFi, kWiFiIface, "Enable5G", "false"}}, {},
         R"("Duration":60,"Enable":"0")", "SET_GUEST_SSID", "",
         {{ssid(2), kWlan, "Enable", "false"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}},
        {"an empty password opens the network", "wlan.json", {}, {}, R"("SSID":"","PWD":"","Duration":0,"Enable":"1")",
         "SET_GUEST_SSID", "",
         {{ssid(2), kWlan, "SSID", "'YVC-Guest'"}, {ssid(2), kWlan, "EncryptionMode", "0x01"}, {ssid(2), kWlan, "PWD", "'wifipass2'"}}},
        {"single band, radio switched on", "wlan_single_band.json", {{kWiFi, kWiFiIface, "Enable2G", "false"}}, {},
         R"("SSID":"Visitors","Duration":60,"Enable":"1")", "SET_GUEST_SSID", "",
         {{ssid(2), kWlan, "SSID", "'Visitors'"}, {kWiFi, kWiFiIface, "Enable2G", "true"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}},
        {"negative duration", "wlan.json", {}, {}, R"("Duration":-1,"Enable":"1")", "SET_GUEST_SSID", "parameter_error", {}},
        {"duration as text", "wlan.json", {}, {}, R"("Duration":"60","Enable":"1")", "SET_GUEST_SSID", "parameter_error", {}},
        {"Enable neither 0 nor 1", "wlan.json", {}, {}, R"("Duration":60,"Enable":"2")", "SET_GUEST_SSID", "parameter_error", {}},
        {"a tab in the password", "wlan.json", {}, {}, "\"PWD\":\"@a\tb@\",\"Duration\":60,\"Enable\":\"1\"", "SET_GUEST_SSID", "PWD_CHAR_INVALID", {}},
        {"no guest to set", "wlan_no_guest.json", {}, {}, R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "not_create_guestssid", {}},
        {"SSIDs unreadable", nullptr, {}, {"GetManagedObjects", "/com/yvc/igd1/Config/WLAN/Devices"},
         R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "NO_WLANConfiguration", {}},
        {"radio switches unreadable", "wlan.json", {}, {"GetAll", kWiFi}, R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "GET_WiFiInfo_FAILED", {}},
        {"2.4 GHz guest refused", "wlan.json", {}, {"SetValues", ssid(2)}, R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "SET_2.4G_GUEST_FAILED", {}},
        {"5 GHz twin refused", "wlan.json", {}, {"SetValues", ssid(6)}, R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "SET_5G_GUEST_FAILED", {}},
        {"radios refused", "wlan.json",
         {{kWiFi, kWiFiIface, "Enable2G", "false"}, {kWiFi, kWiFiIface, "Enable5G", "false"}}, {"SetValues", kWiFi},
         R"("Duration":60,"Enable":"1")", "SET_GUEST_SSID", "OPEN_WIFI_MODE_FAILED", {}},
    });
    // clang-format on
    EXPECT_TRUE(log.contains("SET_GUEST_SSID SSID is null."));
    EXPECT_TRUE(log.contains("SET_GUEST_SSID Duration = -1 is invalide."));
    EXPECT_TRUE(log.contains("set WiFiInfo.Enable failed."));
}

TEST_F(WlanCommands, WirelessClientsAreOnlineWirelessHostsInTheFilter)
{
    // clang-format off
    run_cases({
        {"all", nullptr, {}, {}, R"("MAC":[])", "GET_DEV_WIFI_INFO",
         R"("Info":"phone-anna:A0B1C2D3E4F1:192.168.1.101:SSID1:802.11ax:2.4G:20MHz:2x2:573","Num":1)", {}},
        {"two", "wlan.json", {}, {}, R"("MAC":[])", "GET_DEV_WIFI_INFO",
         R"("Info":"phone-anna:A0B1C2D3E4F1:192.168.1.101:SSID1:802.11ax:2.4G:20MHz:2x2:573/)"
         R"(tv-lounge:B0C1D2E3F405:192.168.1.105:SSID5:802.11ac:5G:80MHz:4x4:1201","Num":2)",
         {}},
        {"filtered, any letter case, wired and offline left out", "wlan.json", {}, {},
         R"("MAC":["b0c1d2e3f405","a0b1c2d3e4f2","A0B1C2D3E4F3"])", "GET_DEV_WIFI_INFO",
         R"("Info":"tv-lounge:B0C1D2E3F405:192.168.1.105:SSID5:802.11ac:5G:80MHz:4x4:1201","Num":1)", {}},
        {"MAC not a list", nullptr, {}, {}, R"("MAC":"A0B1C2D3E4F1")", "GET_DEV_WIFI_INFO", "parameter_error", {}},
        {"hosts unreadable", nullptr, {}, {"GetManagedObjects", "/com/yvc/igd1/Config/LANHosts"}, R"("MAC":[])", "GET_DEV_WIFI_INFO", "OBJECT_NOT_EXIST", {}},
    });
    // clang-format on
    EXPECT_TRUE(log.contains("GET_DEV_WIFI_INFO Parameter MAC json type is invalid, should be array"));
}

TEST_F(WlanCommands, WmmMembersCallTheLibraryAndAnswerItsResult)
{
    const std::string voice = R"({"ServiceName":"voice","ACLevel":"VO","TargetIP":"203.0.113.5","TargetPort":"5060",)"
                              R"("SourceIP":"","SourcePort":"","Protocol":"UDP"})";
    const std::string new_service = R"("WMMSupportedSSID":"SSID1","ServiceName":"iptv","ACLevel":"VI",)"
                                    R"("TargetIP":"198.51.100.1","TargetPort":"554","SourceIP":"","SourcePort":"",)"
                                    R"("Protocol":"TCP")";
    // clang-format off
    run_cases({
        {"every configuration", "wlan.json", {}, {}, "", "GET_WMM_IPSET_INFO",
         R"("WMMIPSetInfo":[{"WMMEnable":"1","WMMSupportedSSID":"SSID1","UAPSDSupported":"1","Num":1,)"
         R"("WMMServicesIPSetInfo":[)" + voice + R"(]},)"
         R"({"WMMEnable":"0","WMMSupportedSSID":"SSID5","UAPSDSupported":"0","Num":2,"WMMServicesIPSetInfo":[)"
         R"({"ServiceName":"video","ACLevel":"VI","TargetIP":"198.51.100.7","TargetPort":"443",)"
         R"("SourceIP":"192.168.1.105","SourcePort":"","Protocol":"TCP"},)"
         R"({"ServiceName":"game","ACLevel":"VO","TargetIP":"198.51.100.9","TargetPort":"3074","SourceIP":"",)"
         R"("SourcePort":"3074","Protocol":"UDP"}]}])",
         {}},
        {"one service", "wlan.json", {}, {}, R"("WMMSupportedSSID":"SSID5","ServiceName":"game")",
         "GET_WMM_IPSET_INFO",
         R"("WMMIPSetInfo":[{"WMMEnable":"0","WMMSupportedSSID":"SSID5","UAPSDSupported":"0","Num":1,)"
         R"("WMMServicesIPSetInfo":[{"ServiceName":"game","ACLevel":"VO","TargetIP":"198.51.100.9",)"
         R"("TargetPort":"3074","SourceIP":"","SourcePort":"3074","Protocol":"UDP"}]}])",
         {}},
        {"a configuration without services", "wlan_no_guest.json", {}, {}, R"("WMMSupportedSSID":"","ServiceName":"")",
         "GET_WMM_IPSET_INFO",
         R"("WMMIPSetInfo":[{"WMMEnable":"1","WMMSupportedSSID":"SSID1","UAPSDSupported":"1","Num":0,)"
         R"("WMMServicesIPSetInfo":[]}])",
         {}},
        {"no such SSID", nullptr, {}, {}, R"("WMMSupportedSSID":"SSID7","ServiceName":"")", "GET_WMM_IPSET_INFO", "get_info_failed", {}},

        {"a new service", nullptr, {}, {}, new_service, "SET_WMM_SERVICE_IPSET", "",
         {{std::string(kWmm) + "/1/WMMServiceIPSet/2", "com.yvc.igd1.WMMServiceIPSet", "ServiceName", "'iptv'"},
          {std::string(kWmm) + "/1/WMMServiceIPSet/2", "com.yvc.igd1.WMMServiceIPSet", "TargetPort", "'554'"}}},
        {"no service name", nullptr, {}, {},
         R"("WMMSupportedSSID":"SSID1","ServiceName":"","ACLevel":"VI","TargetIP":"","TargetPort":"",)"
         R"("SourceIP":"","SourcePort":"","Protocol":"TCP")",
         "SET_WMM_SERVICE_IPSET", "WMMSupportedSSID_ServiceName_error", {}},
        {"a 5 GHz SSID on a single-band device", "wlan_single_band.json", {}, {},
         R"("WMMSupportedSSID":"SSID5","ServiceName":"x","ACLevel":"VI","TargetIP":"","TargetPort":"",)"
         R"("SourceIP":"","SourcePort":"","Protocol":"TCP")",
         "SET_WMM_SERVICE_IPSET", "WMMSupportedSSID_ServiceName_error", {}},
        {"service refused", nullptr, {}, {"AddObject"}, new_service, "SET_WMM_SERVICE_IPSET", "set_failed", {}},

        {"switch", nullptr, {}, {}, R"("WMMSupportedSSID":"SSID1","WMMEnable":"0","UAPSDSupported":"0")",
         "SET_WMM_SWITCH", "",
         {{std::string(kWmm) + "/1", "com.yvc.igd1.WMMConfiguration", "WMMEnable", "false"},
          {std::string(kWmm) + "/1", "com.yvc.igd1.WMMConfiguration", "UAPSDSupported", "false"}}},
        {"switch of an SSID the device lacks", nullptr, {}, {},
         R"("WMMSupportedSSID":"SSID9","WMMEnable":"1","UAPSDSupported":"1")", "SET_WMM_SWITCH", "set_failed", {}},

        {"delete one", "wlan.json", {}, {}, R"("WMMSupportedSSID":"SSID5","ServiceName":"video")",
         "DEL_WMM_SERVICE_IPSET", "",
         {{std::string(kWmm) + "/2/WMMServiceIPSet/2", "com.yvc.igd1.WMMServiceIPSet", "ServiceName", "'game'"}}},
        {"delete what is not there", nullptr, {}, {}, R"("WMMSupportedSSID":"SSID1","ServiceName":"nosuch")", "DEL_WMM_SERVICE_IPSET", "delete_failed", {}},
        {"delete without names", nullptr, {}, {}, "", "DEL_WMM_SERVICE_IPSET", "parameter_error",
         {{std::string(kWmm) + "/1/WMMServiceIPSet/1", "com.yvc.igd1.WMMServiceIPSet", "ServiceName", "'voice'"}}},
    });
    // clang-format on
    gwtest::Igd1Sim::fresh();
    sim.load_profile("wlan.json");
    EXPECT_EQ(send("DEL_WMM_SERVICE_IPSET", R"("WMMSupportedSSID":"SSID5","ServiceName":"video")"),
              head("DEL_WMM_SERVICE_IPSET") + "}");
    EXPECT_EQ(send("GET_WMM_IPSET_INFO", R"("WMMSupportedSSID":"SSID5","ServiceName":"")"),
              head("GET_WMM_IPSET_INFO") +
                  R"(,"WMMIPSetInfo":[{"WMMEnable":"0","WMMSupportedSSID":"SSID5","UAPSDSupported":"0","Num":1,)"
                  R"("WMMServicesIPSetInfo":[{"ServiceName":"game","ACLevel":"VO","TargetIP":"198.51.100.9",)"
                  R"("TargetPort":"3074","SourceIP":"","SourcePort":"3074","Protocol":"UDP"}]}]})");
}

TEST_F(WlanCommands, LongClientListKeepsWholeEntriesWithinTheAnswerBuffer)
{
    const std::string name = std::string(100, 'q') + "\\\"quoted\\\"";  // escapes grow in the answer
    for (int i = 10; i < 70; ++i) {
        const std::string path = "/com/yvc/igd1/Config/LANHosts/" + std::to_string(i);
        sim.set_property(path, "com.yvc.igd1.LANHost", "MAC", "'A0B1C2D3E4" + std::to_string(i) + "'");
        sim.set_property(path, "com.yvc.igd1.LANHost", "HostClass", "'ONLINE'");
        sim.set_property(path, "com.yvc.igd1.LANHost", "DevName", "'" + name + "'");
        sim.set_property(path, "com.yvc.igd1.LANHost", "ConnectionType", "byte 1");
    }
    const std::string answer = send("GET_DEV_WIFI_INFO", R"("MAC":[])");
    ASSERT_LE(answer.size(), 5632u);
    gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
    ASSERT_NE(parsed, nullptr) << answer;
    const std::string info = json_string_value(json_object_get(parsed.get(), "Info"));
    const json_int_t num = json_integer_value(json_object_get(parsed.get(), "Num"));
    EXPECT_GT(num, 20);
    EXPECT_LT(num, 61);
    EXPECT_EQ(static_cast<json_int_t>(std::count(info.begin(), info.end(), '/')) + 1, num);
    EXPECT_EQ(info.substr(info.rfind('/') + 1),
              std::string(100, 'q') + "\"quoted\"" + ":A0B1C2D3E4" + std::to_string(8 + num) + ":::::::")
        << "the last entry is whole (phone-anna comes first)";
}

TEST_F(WlanCommands, WmmListTooLongForOneAnswerKeepsWholeServicesThatFit)
{
    const std::string ipsets = std::string(kWmm) + "/1/WMMServiceIPSet/";
    const std::string address(63, '7');
    for (int i = 2; i <= 60; ++i) {
        const std::string path = ipsets + std::to_string(i);
        for (const char *prop : {"ServiceName", "ACLevel", "TargetIP", "TargetPort", "SourceIP", "SourcePort"})
            sim.set_property(path, "com.yvc.igd1.WMMServiceIPSet", prop,
                             std::strcmp(prop, "ServiceName") == 0 ? "'svc" + std::to_string(i) + "'"
                                                                   : "'" + address + "'");
        sim.set_property(path, "com.yvc.igd1.WMMServiceIPSet", "Protocol", "'UDP'");
    }
    const std::string answer = send("GET_WMM_IPSET_INFO", "");
    ASSERT_LE(answer.size(), static_cast<size_t>(CMD_RESP_MAX));
    gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
    ASSERT_NE(parsed, nullptr) << answer;
    json_t *config = json_array_get(json_object_get(parsed.get(), "WMMIPSetInfo"), 0);
    json_t *services = json_object_get(config, "WMMServicesIPSetInfo");
    EXPECT_GT(json_array_size(services), 30u);
    EXPECT_LT(json_array_size(services), 60u);
    EXPECT_EQ(json_integer_value(json_object_get(config, "Num")), static_cast<json_int_t>(json_array_size(services)));
    EXPECT_STREQ(json_string_value(json_object_get(json_array_get(services, 0), "ServiceName")), "voice");
    EXPECT_TRUE(log.contains("service IP sets to fit the answer."));
}

// Every member of the family, its parameters and their JSON types.
struct Member {
    const char *cmd_type;
    std::vector<std::pair<const char *, json_type>> params;
};

// clang-format off
const std::vector<Member> kFamily = {
    {"DEL_WMM_SERVICE_IPSET", {{"WMMSupportedSSID", JSON_STRING}, {"ServiceName", JSON_STRING}}},
    {"GET_DEV_WIFI_INFO", {{"MAC", JSON_ARRAY}}},
    {"GET_GUEST_SSID", {}}, {"GET_HG_WIFI_TIMER", {}}, {"GET_SERVICE", {}}, {"GET_WLAN_INTF_INFO", {}},
    {"GET_WIFI_ADV", {{"RadioType", JSON_STRING}}},
    {"GET_WIFI_HIDE", {{"SSIDIndex", JSON_STRING}}},
    {"GET_WIFI_INFO", {{"SSIDIndex", JSON_STRING}}},
    {"GET_WMM_IPSET_INFO", {{"WMMSupportedSSID", JSON_STRING}, {"ServiceName", JSON_STRING}}},
    {"SET_GUEST_SSID", {{"SSID", JSON_STRING}, {"PWD", JSON_STRING}, {"Duration", JSON_INTEGER}, {"Enable", JSON_STRING}}},
    {"SET_HG_WIFI_TIMER", {{"StartTime", JSON_STRING}, {"EndTime", JSON_STRING}, {"Enable", JSON_STRING}}},
    {"SET_WIFI_ADV", {{"RadioType", JSON_STRING}, {"FrequencyWidth", JSON_STRING}}},
    {"SET_WIFI_HIDE", {{"SSIDIndex", JSON_STRING}, {"HideSSID", JSON_STRING}}},
    {"SET_WIFI_INFO", {{"SSIDIndex", JSON_STRING}, {"SSID", JSON_STRING}, {"PWD", JSON_STRING}, {"ENCRYPT", JSON_STRING},
                       {"PowerLevel", JSON_STRING}, {"Channel", JSON_STRING}, {"Enable", JSON_STRING}}},
    {"SET_WLAN_SSID_DISABLE", {{"SSIDIndex", JSON_STRING}}},
    {"SET_WLAN_SSID_ENABLE", {{"SSIDIndex", JSON_STRING}}},
    {"SET_WMM_SERVICE_IPSET", {{"WMMSupportedSSID", JSON_STRING}, {"ServiceName", JSON_STRING}, {"ACLevel", JSON_STRING},
                               {"TargetIP", JSON_STRING}, {"TargetPort", JSON_STRING}, {"SourceIP", JSON_STRING},
                               {"SourcePort", JSON_STRING}, {"Protocol", JSON_STRING}}},
    {"SET_WMM_SWITCH", {{"WMMSupportedSSID", JSON_STRING}, {"WMMEnable", JSON_STRING}, {"UAPSDSupported", JSON_STRING}}},
};
// clang-format on

// A value of each member's own type that the simulator's data accepts.
gwagent::JsonPtr valid_value(json_type t)
{
    switch (t) {
    case JSON_ARRAY:
        return gwagent::JsonPtr(json_array());
    case JSON_INTEGER:
        return gwagent::JsonPtr(json_integer(1));
    default:
        return gwagent::JsonPtr(json_string("1"));
    }
}

// A value of another type than the member's.
gwagent::JsonPtr wrong_value(json_type t)
{
    return gwagent::JsonPtr(t == JSON_STRING ? json_integer(1) : json_string("1"));
}

class WlanFamily : public agenttest::RowTest {
protected:
    gwagent::JsonPtr all_valid(const Member &m)
    {
        gwagent::JsonPtr cmd(json_object());
        for (const auto &[name, type] : m.params)
            json_object_set_new(cmd.get(), name, valid_value(type).release());
        return cmd;
    }
};

TEST_F(WlanFamily, EveryMemberHasARowAndDevicesWithoutWifiRefuseIt)
{
    g_dev_info.DevWiFi = 0;
    for (const Member &m : kFamily) {
        EXPECT_GE(gwagent_get_cmdidx(m.cmd_type), 0) << m.cmd_type;
        // GET_SERVICE names no WLAN word: its schedule and LED still answer.
        if (std::strcmp(m.cmd_type, "GET_SERVICE") == 0)
            EXPECT_EQ(run_plain(m.cmd_type), head(m.cmd_type) + R"(,"wifiStartTime":"23:00","wifiEndTime":"07:00",)"
                                                                R"("wifiEnable":"0","LEDStatus":"ON"})");
        else
            EXPECT_EQ(run_plain(m.cmd_type), failure(m.cmd_type, "NOT_SUPPORT_WIFI"));
    }
}

TEST_F(WlanFamily, MissingOrMistypedParametersAreParameterErrors)
{
    for (const Member &m : kFamily) {
        for (size_t i = 0; i < m.params.size(); ++i) {
            SCOPED_TRACE(std::string(m.cmd_type) + " " + m.params[i].first);
            gwagent::JsonPtr cmd(json_pack("{s:s,s:s}", "CmdType", m.cmd_type, "SequenceId", "1"));
            json_object_update(cmd.get(), all_valid(m).get());
            json_object_set_new(cmd.get(), m.params[i].first, wrong_value(m.params[i].second).release());
            gwagent::CharPtr text(json_dumps(cmd.get(), JSON_COMPACT | JSON_PRESERVE_ORDER));
            EXPECT_EQ(run(text.get()), failure(m.cmd_type, "parameter_error"));
        }
        // Without parameters: one answer each; members whose parameters are all optional still answer.
        const std::string answer = run_plain(m.cmd_type);
        EXPECT_EQ(answer.rfind(head(m.cmd_type, answer.find(R"("Status":"0")") != std::string::npos ? "0" : "1"), 0),
                  0u)
            << answer;
    }
}

TEST_F(WlanFamily, HugeAndInvalidTextsGetExactlyOneAnswer)
{
    const std::string huge(100 * 1024, 'A');
    const std::string invalid = "\xC3\x28\xFF\xFE" + std::string(20, '\x80') + "SSID1";
    for (const Member &m : kFamily) {
        for (const std::string *text : {&huge, &invalid}) {
            SCOPED_TRACE(std::string(m.cmd_type) + (text == &huge ? " huge" : " invalid"));
            gwagent::JsonPtr cmd = all_valid(m);
            for (const auto &[name, type] : m.params) {
                if (type == JSON_STRING)
                    json_object_set_new(cmd.get(), name, json_stringn_nocheck(text->data(), text->size()));
                if (type == JSON_ARRAY)
                    json_array_append_new(json_object_get(cmd.get(), name),
                                          json_stringn_nocheck(text->data(), text->size()));
            }
            const std::string answer = run_row(m.cmd_type, cmd.get());
            gwagent::JsonPtr parsed(json_loads(answer.c_str(), 0, nullptr));
            EXPECT_NE(parsed, nullptr) << answer;
            EXPECT_LE(answer.size(), static_cast<size_t>(CMD_RESP_MAX));
        }
    }
}

}  // namespace
