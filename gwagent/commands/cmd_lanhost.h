/* Shared by the LAN host members: the MAC filter parameter, the host list, and list answers that
 * stay whole within the answer limit. */
#ifndef GWAGENT_COMMANDS_CMD_LANHOST_H
#define GWAGENT_COMMANDS_CMD_LANHOST_H

#include <string>
#include <vector>

#include "commands/cmd_request.h"
#include "gwbus/objects.h"

namespace gwagent {

// All LANHost objects, released with the holder.
struct HostList {
    ccif_LANHost_t *hosts = nullptr;
    int count = 0;
    HostList() = default;
    HostList(const HostList &) = delete;
    HostList &operator=(const HostList &) = delete;
    ~HostList();
    bool read();
    const ccif_LANHost_t *begin() const { return hosts; }
    const ccif_LANHost_t *end() const { return hosts + count; }
    // The host with that MAC (letter case ignored), optionally only when online.
    const ccif_LANHost_t *find(const char *mac, bool online_only) const;
};

bool host_online(const ccif_LANHost_t &h);

// "MAC" as an array of strings; false (after the member's log lines) when missing or not an array.
bool read_mac_filter(json_t *cmd, const char *cmd_type, std::vector<std::string> &macs);
// True when the filter is empty or holds the MAC (letter case ignored).
bool mac_in_filter(const std::vector<std::string> &macs, const char *mac);

// Reads the "MAC" filter and every host; on failure answers (parameter_error or fail_word) itself,
// stores the send result in *rc and returns false.
bool read_filtered_hosts(const Request &r, const char *fail_word, std::vector<std::string> &macs, HostList &hosts,
                         int *rc);

// The list members: the online hosts passing the filter, one formatted entry each, joined under
// `member` (see answer_joined_entries).
using HostEntryFn = std::string (*)(const ccif_LANHost_t &h);
int answer_online_host_entries(const Request &r, const char *fail_word, const char *member, HostEntryFn entry);

// Answers {head,"Num":n,"<member>":"e1/e2/..."} with as many whole entries as fit the answer limit,
// each entry cut at `entry_max` characters on a character boundary.
int answer_joined_entries(const Request &r, const char *member, const std::vector<std::string> &entries,
                          size_t entry_max);

}  // namespace gwagent

#endif
