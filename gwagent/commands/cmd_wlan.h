/* Shared by the WLAN members: SSID objects by number, the radio switches, and the password cipher of
 * command texts. */
#ifndef GWAGENT_COMMANDS_CMD_WLAN_H
#define GWAGENT_COMMANDS_CMD_WLAN_H

#include <stddef.h>

#include <string>

#include "commands/cmd_request.h"
#include "gwbus/objects.h"

namespace gwagent {

// SSIDs 1..4 belong to the 2.4 GHz radio, 5..8 to the 5 GHz radio.
constexpr int kFirstSsid = 1;
constexpr int kFirst5GSsid = 5;
constexpr int kLastSsid = 8;
// The 5 GHz twin of a 2.4 GHz SSID.
constexpr int kTwinOffset = 4;

constexpr const char *kWlanIface = "com.yvc.igd1.WLANConfiguration";

bool valid_ssid_index(int index);
// "SSIDIndex" as its number (atoi of the text, 7 characters kept); false when missing or not text.
bool read_ssid_index(const Request &r, int &index);
std::string ssid_path(int index);
// Reads SSID `index`; false for an index outside 1..8 (no bus call) or a failed read.
bool read_ssid(int index, ccif_WLANConfiguration_t &w);
// One property of SSID `index` (the value is consumed); 0 or -1.
int set_ssid_property(int index, const char *prop, GVariant *value);
// The radio text of an SSID: "2.4G" or "5G".
const char *radio_of(int index);

// The password as the platform sees it (hex of the field cipher); false when it cannot be built.
bool encrypt_password(const char *plain, std::string &hex);
// Decrypts a password from the platform into dst (cut to size - 1); false on a bad cipher text or a
// character outside printable ASCII (0x20..0x7E).
bool decrypt_password(const char *hex, char *dst, size_t size);
template <size_t N> bool decrypt_password(const char *hex, char (&dst)[N]) { return decrypt_password(hex, dst, N); }

// Drops a multi-byte character split by a cut: a bus string must be valid UTF-8.
void trim_to_utf8(char *text);

// Hex digits kept of an encrypted password: a 63-character password encrypts to 4 blocks, 128 digits.
constexpr size_t kPasswordHexKeep = 128;

}  // namespace gwagent

// A hand-written member: the handler builds its request and runs `run(const Request &)`.
#define GW_WLAN_HANDLER(T, run)                                                                                        \
    extern "C" int cmd_##T(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)                 \
    {                                                                                                                  \
        return run(gwagent::Request{id, sequence_id, cmd_type, cmd, fd});                                              \
    }

#endif
