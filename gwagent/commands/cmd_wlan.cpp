// The per-SSID members: name, password, encryption, power and channel; frequency width; visibility.
#include "commands/cmd_wlan.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <glib.h>

#include "commands/cmd_table.h"
#include "commands/cmd_wan.h"
#include "core/crypto.h"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/strutil.h"

namespace gwagent {

bool valid_ssid_index(int index) { return index >= kFirstSsid && index <= kLastSsid; }

bool read_ssid_index(const Request &r, int &index)
{
    char text[8] = {};
    if (!r.required("SSIDIndex", text))
        return false;
    index = std::atoi(text);
    return true;
}

std::string ssid_path(int index) { return "/com/yvc/igd1/Config/WLAN/Devices/" + std::to_string(index); }

bool read_ssid(int index, ccif_WLANConfiguration_t &w)
{
    // An index outside the radios would not even make a valid object path.
    if (!valid_ssid_index(index))
        return false;
    return ccif_WLANConfiguration_get(ssid_path(index).c_str(), &w) == 0;
}

int set_ssid_property(int index, const char *prop, GVariant *value)
{
    if (!valid_ssid_index(index)) {
        gw::VariantPtr dropped = gw::adopt_variant(value);
        return -1;
    }
    return g_hgu_SetProperty(HGU_BUS_NAME, ssid_path(index).c_str(), kWlanIface, prop, value);
}

const char *radio_of(int index) { return index >= kFirst5GSsid ? "5G" : "2.4G"; }

bool encrypt_password(const char *plain, std::string &hex)
{
    char out[1025] = {};
    if (en_aes256_ecb1(password_key().c_str(), plain, out, sizeof out) != 0)
        return false;
    hex = out;
    return true;
}

bool decrypt_password(const char *hex, char *dst, size_t size)
{
    // Room for every block of the longest cipher text kept; the plain text is cut afterwards.
    char plain[kPasswordHexKeep / 2 + 1] = {};
    if (de_aes256_ecb1(password_key().c_str(), hex, plain, sizeof plain) != 0)
        return false;
    for (const char *c = plain; *c; ++c)
        if (*c < 0x20 || *c > 0x7E)
            return false;
    copy_truncated(dst, size, plain);
    return true;
}

void trim_to_utf8(char *text)
{
    const char *end = nullptr;
    if (!g_utf8_validate(text, -1, &end))
        text[end - text] = '\0';
}

}  // namespace gwagent

namespace {

using gwagent::read_ssid_index;
using gwagent::Request;

int get_wifi_info(const Request &r)
{
    int index = 0;
    if (!read_ssid_index(r, index))
        return r.fail("parameter_error");
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(index, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d from %s failed.", index, gwagent::ssid_path(index).c_str());
        return r.fail("object_not_exist");
    }
    std::string pwd;
    if (!gwagent::encrypt_password(w.PWD, pwd))
        return r.fail("create_json_fail");
    unsigned enable = 0;
    if (w.Enable) {
        // An enabled SSID is only on the air while its radio is.
        ccif_WiFiInfo_t wifi{};
        const bool five = index >= gwagent::kFirst5GSsid;
        if (ccif_WiFiInfo_get(&wifi) != 0) {
            GWLOG(LOG_LVL_WARN, "get WiFiInfo.%s failed.", five ? "Enable5G" : "Enable2G");
            return r.fail("GET_WiFiInfo_FAILED");
        }
        enable = (five ? wifi.Enable5G : wifi.Enable2G) ? 1 : 0;
    }
    return r.members({{"SSID", w.SSID},
                      {"PWD", pwd},
                      {"ENCRYPT", std::to_string(static_cast<int>(w.EncryptionMode))},
                      {"PowerLevel", std::to_string(w.TransmitPower)},
                      {"Channel", std::to_string(w.Channel)},
                      {"Enable", std::to_string(enable)}});
}

int set_wifi_info(const Request &r)
{
    char index_text[8] = {}, ssid[17] = {}, secret[gwagent::kPasswordHexKeep + 1] = {}, encrypt[4] = {}, power[8] = {},
         channel_text[8] = {}, enable_text[8] = {};
    if (!r.required("SSIDIndex", index_text) || !r.required("SSID", ssid) || !r.required("PWD", secret) ||
        !r.required("ENCRYPT", encrypt) || !r.required("PowerLevel", power) || !r.required("Channel", channel_text) ||
        !r.required("Enable", enable_text))
        return r.fail("parameter_error");
    const int index = std::atoi(index_text);
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(index, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d failed.", index);
        return r.fail("NO_MATCH_SSID");
    }
    char password[64] = {};
    if (!gwagent::decrypt_password(secret, password)) {
        GWLOG(LOG_LVL_WARN, "new passwd contains invalid characters.");
        return r.fail("PWD_CHAR_INVALID");
    }
    gwagent::trim_to_utf8(ssid);
    const uint32_t channel = static_cast<uint32_t>(std::atoi(channel_text));
    const bool enable = enable_text[0] != '0';

    // The SSID's radio goes on first: an enabled SSID on a radio that is off is not on the air.
    if (enable && api_setWLANHardwareSwitch(gwagent::radio_of(index), TRUE) != 0) {
        GWLOG(LOG_LVL_WARN, "open %s wifi mode failed.", gwagent::radio_of(index));
        return r.fail("OPEN_WIFI_MODE_FAILED");
    }
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&b, "{sv}", "SSID", g_variant_new_string(ssid));
    g_variant_builder_add(&b, "{sv}", "EncryptionMode", g_variant_new_byte(static_cast<guint8>(std::atoi(encrypt))));
    g_variant_builder_add(&b, "{sv}", "PWD", g_variant_new_string(password));
    g_variant_builder_add(&b, "{sv}", "TransmitPower", g_variant_new_uint32(static_cast<uint32_t>(std::atoi(power))));
    g_variant_builder_add(&b, "{sv}", "AutoChannelEnable", g_variant_new_boolean(channel == 0));
    g_variant_builder_add(&b, "{sv}", "Channel", g_variant_new_uint32(channel));
    g_variant_builder_add(&b, "{sv}", "Enable", g_variant_new_boolean(enable));
    if (ccif_WLANConfiguration_setv(gwagent::ssid_path(index).c_str(), g_variant_builder_end(&b)) != 0) {
        GWLOG(LOG_LVL_WARN, "set WLANConfiguration.%d failed.", index);
        return r.fail("SET_FAILED");
    }
    return r.ok();
}

// "RadioType" names the main SSID of a radio: 1 for "2.4G", 5 for "5G".
bool read_radio(const Request &r, char (&radio)[7], int &index)
{
    if (!r.required("RadioType", radio))
        return false;
    if (std::strcmp(radio, "2.4G") == 0)
        index = gwagent::kFirstSsid;
    else if (std::strcmp(radio, "5G") == 0)
        index = gwagent::kFirst5GSsid;
    else {
        GWLOG(LOG_LVL_WARN, "radioType %s is invalide, should be 2.4G or 5G.", radio);
        return false;
    }
    return true;
}

int no_radio_wlan(const Request &r, const char *radio)
{
    const std::string word = std::string("NO_") + radio + "_WLAN";
    return r.fail(word.c_str());
}

int get_wifi_adv(const Request &r)
{
    char radio[7] = {};
    int index = 0;
    if (!read_radio(r, radio, index))
        return r.fail("parameter_error");
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(index, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d failed.", index);
        return no_radio_wlan(r, radio);
    }
    return r.members({{"FrequencyWidth", w.FrequencyWidth}});
}

int set_wifi_adv(const Request &r)
{
    char radio[7] = {}, width[33] = {};
    int index = 0;
    if (!read_radio(r, radio, index) || !r.required("FrequencyWidth", width))
        return r.fail("parameter_error");
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(index, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d failed.", index);
        return no_radio_wlan(r, radio);
    }
    gwagent::trim_to_utf8(width);
    if (gwagent::set_ssid_property(index, "FrequencyWidth", g_variant_new_string(width)) != 0) {
        GWLOG(LOG_LVL_WARN, "set FrequencyWidth %s failed.", width);
        return r.fail("SET_FAILED");
    }
    return r.ok();
}

int get_wifi_hide(const Request &r)
{
    int index = 0;
    if (!read_ssid_index(r, index))
        return r.fail("parameter_error");
    ccif_WLANConfiguration_t w{};
    if (!gwagent::read_ssid(index, w)) {
        GWLOG(LOG_LVL_WARN, "get WLANConfiguration.%d.SSIDAdvertisementEnabled failed.", index);
        return r.fail("NO_SSIDAdvertisementEnabled");
    }
    return r.members({{"HideSSID", w.SSIDAdvertisementEnabled ? "0" : "1"}});
}

int set_wifi_hide(const Request &r)
{
    int index = 0;
    char hide[8] = {};
    if (!read_ssid_index(r, index) || !r.required("HideSSID", hide))
        return r.fail("parameter_error");
    const bool advertise = std::atoi(hide) == 0;
    if (gwagent::set_ssid_property(index, "SSIDAdvertisementEnabled", g_variant_new_boolean(advertise)) != 0) {
        GWLOG(LOG_LVL_WARN, "set WLANConfiguration.%d.SSIDAdvertisementEnabled failed.", index);
        return r.fail("SET_FAILED");
    }
    return r.ok();
}

}  // namespace

GW_WLAN_HANDLER(GET_WIFI_ADV, get_wifi_adv)
GW_WLAN_HANDLER(GET_WIFI_HIDE, get_wifi_hide)
GW_WLAN_HANDLER(GET_WIFI_INFO, get_wifi_info)
GW_WLAN_HANDLER(SET_WIFI_ADV, set_wifi_adv)
GW_WLAN_HANDLER(SET_WIFI_HIDE, set_wifi_hide)
GW_WLAN_HANDLER(SET_WIFI_INFO, set_wifi_info)
