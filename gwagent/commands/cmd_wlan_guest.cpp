// The guest SSID: one on the 2.4 GHz radio and, on a dual-band device, its 5 GHz twin four numbers up.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/cmd_table.h"
#include "commands/cmd_wlan.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

namespace {

using gwagent::Request;

constexpr uint64_t kSecondsPerMinute = 60;
// The mode a guest SSID with a password is given.
constexpr guint8 kEncryptionWithPassword = 5;

// The guest's index, or answers why there is none.
bool find_guest(const Request &r, int &index, int &rc)
{
    index = GuestSSIDIndex();
    if (index > 0)
        return true;
    if (index == -2) {
        GWLOG(LOG_LVL_WARN, "%s no guest SSID created.", r.cmd_type());
        rc = r.fail("not_create_guestssid");
    } else {
        GWLOG(LOG_LVL_WARN, "%s get WLANConfiguration objects failed.", r.cmd_type());
        rc = r.fail("NO_WLANConfiguration");
    }
    return false;
}

// A twin that is not yet marked a guest is marked before it is used as one.
bool mark_guest(int index, const ccif_WLANConfiguration_t &w)
{
    if (w.IsGuest)
        return true;
    if (gwagent::set_ssid_property(index, "IsGuest", g_variant_new_boolean(TRUE)) != 0) {
        GWLOG(LOG_LVL_WARN, "set WLANConfiguration.%d.IsGuest failed.", index);
        return false;
    }
    return true;
}

int get_guest_ssid(const Request &r)
{
    int index = 0, rc = -1;
    if (!find_guest(r, index, rc))
        return rc;
    ccif_WLANConfiguration_t guest{};
    ccif_WiFiInfo_t wifi{};
    if (!gwagent::read_ssid(index, guest) || ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d failed.", index);
        return r.fail("object_not_exist");
    }
    std::string pwd;
    if (!gwagent::encrypt_password(guest.PWD, pwd))
        return r.fail("create_json_fail");
    std::string ssid = guest.SSID;
    std::string indexes = std::to_string(index);
    if (wifi.DualBand && wifi.Enable5G) {
        const int twin = index + gwagent::kTwinOffset;
        ccif_WLANConfiguration_t w{};
        if (!gwagent::read_ssid(twin, w)) {
            GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d failed.", twin);
            return r.fail("object_not_exist");
        }
        mark_guest(twin, w);
        ssid += "," + ssid + "-5G";
        indexes += "," + std::to_string(twin);
    }
    gwagent::JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "SSID", json_string(ssid.c_str())) != 0 ||
        json_object_set_new(answer.get(), "PWD", json_string(pwd.c_str())) != 0 ||
        json_object_set_new(answer.get(), "Enable", json_string(guest.Enable ? "1" : "0")) != 0 ||
        json_object_set_new(answer.get(), "Duration",
                            json_integer(static_cast<json_int_t>(guest.Duration / kSecondsPerMinute))) != 0 ||
        json_object_set_new(answer.get(), "Remaining",
                            json_integer(static_cast<json_int_t>(guest.RemainDuration / kSecondsPerMinute))) != 0 ||
        json_object_set_new(answer.get(), "SSIDIndex", json_string(indexes.c_str())) != 0)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}

// What SET_GUEST_SSID writes to each guest SSID.
struct GuestChange {
    bool has_ssid = false;
    char ssid[16] = {};
    bool has_pwd = false;
    char secret[gwagent::kPasswordHexKeep + 1] = {};
    char password[64] = {};
    uint64_t duration = 0;
    bool enable = false;
};

// One write of the change to SSID `index`, named `name` when a name is given.
int write_guest(int index, const GuestChange &c, const char *name)
{
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    if (c.has_ssid)
        g_variant_builder_add(&b, "{sv}", "SSID", g_variant_new_string(name));
    if (c.has_pwd && !c.password[0]) {
        g_variant_builder_add(&b, "{sv}", "EncryptionMode", g_variant_new_byte(API_WLAN_ENCRYPTION_OPEN));
    } else if (c.has_pwd) {
        g_variant_builder_add(&b, "{sv}", "PWD", g_variant_new_string(c.password));
        g_variant_builder_add(&b, "{sv}", "EncryptionMode", g_variant_new_byte(kEncryptionWithPassword));
    }
    g_variant_builder_add(&b, "{sv}", "Duration", g_variant_new_uint64(c.duration));
    g_variant_builder_add(&b, "{sv}", "Enable", g_variant_new_boolean(c.enable));
    return ccif_WLANConfiguration_setv(gwagent::ssid_path(index).c_str(), g_variant_builder_end(&b));
}

bool read_guest_change(const Request &r, GuestChange &c)
{
    char enable[8] = {};
    int duration = 0;
    if (!r.optional("SSID", c.ssid, sizeof c.ssid - 1) || !r.optional("PWD", c.secret, sizeof c.secret - 1) ||
        !r.required_int("Duration", duration) || !r.required("Enable", enable))
        return false;
    if (duration < 0) {
        GWLOG(LOG_LVL_WARN, "SET_GUEST_SSID Duration = %ld is invalide.", static_cast<long>(duration));
        return false;
    }
    if (std::strcmp(enable, "0") != 0 && std::strcmp(enable, "1") != 0) {
        GWLOG(LOG_LVL_WARN, "SET_GUEST_SSID Enable = %s is invalide.", enable);
        return false;
    }
    gwagent::trim_to_utf8(c.ssid);
    c.has_ssid = c.ssid[0] != '\0';
    if (!c.has_ssid && json_is_string(json_object_get(r.cmd(), "SSID")))
        GWLOG(LOG_LVL_WARN, "SET_GUEST_SSID SSID is null.");
    c.has_pwd = json_is_string(json_object_get(r.cmd(), "PWD"));
    c.duration = static_cast<uint64_t>(duration);
    c.enable = enable[0] != '0';
    return true;
}

// Switches on the radios the enabled guest SSIDs need: the 2.4 GHz radio always (it carries the guest
// SSID itself), the 5 GHz radio on a dual-band device; false when the write failed.
bool guest_radios_on(const ccif_WiFiInfo_t &wifi)
{
    ccif_WiFiInfo_t want = wifi;
    want.Enable2G = TRUE;
    if (wifi.DualBand)
        want.Enable5G = TRUE;
    const bool two = want.Enable2G != wifi.Enable2G;
    const bool five = want.Enable5G != wifi.Enable5G;
    if (!two && !five)
        return true;
    if (ccif_WiFiInfo_set(&want) == 0)
        return true;
    GWLOG(LOG_LVL_WARN, "set WiFiInfo.%s failed.", two && five ? "Enable" : five ? "Enable5G" : "Enable2G");
    return false;
}

int set_guest_ssid(const Request &r)
{
    GuestChange c;
    if (!read_guest_change(r, c))
        return r.fail("parameter_error");
    int index = 0, rc = -1;
    if (!find_guest(r, index, rc))
        return rc;
    if (c.has_pwd && c.secret[0]) {
        if (!gwagent::decrypt_password(c.secret, c.password)) {
            GWLOG(LOG_LVL_WARN, "new passwd contains invalid characters.");
            return r.fail("PWD_CHAR_INVALID");
        }
    }
    ccif_WiFiInfo_t wifi{};
    if (ccif_WiFiInfo_get(&wifi) != 0) {
        GWLOG(LOG_LVL_WARN, "get WiFiInfo failed.");
        return r.fail("GET_WiFiInfo_FAILED");
    }
    if (write_guest(index, c, c.ssid) != 0) {
        GWLOG(LOG_LVL_WARN, "set WLANConfiguration.%d failed.", index);
        return r.fail("SET_2.4G_GUEST_FAILED");
    }
    if (wifi.DualBand) {
        const int twin = index + gwagent::kTwinOffset;
        char name[32] = {};
        std::snprintf(name, sizeof name, "%s-5G", c.ssid);
        ccif_WLANConfiguration_t w{};
        if (!gwagent::read_ssid(twin, w) || !mark_guest(twin, w) || write_guest(twin, c, name) != 0) {
            GWLOG(LOG_LVL_WARN, "set WLANConfiguration.%d failed.", twin);
            return r.fail("SET_5G_GUEST_FAILED");
        }
    }
    if (c.enable && !guest_radios_on(wifi))
        return r.fail("OPEN_WIFI_MODE_FAILED");
    return r.ok();
}

}  // namespace

GW_WLAN_HANDLER(GET_GUEST_SSID, get_guest_ssid)
GW_WLAN_HANDLER(SET_GUEST_SSID, set_guest_ssid)
