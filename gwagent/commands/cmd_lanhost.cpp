#include "commands/cmd_lanhost.h"

#include <strings.h>

#include <cstring>

#include <glib.h>

#include "commands/cmd_table.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"

namespace gwagent {

HostList::~HostList() { g_free(hosts); }

bool HostList::read()
{
    g_free(hosts);
    hosts = nullptr;
    count = 0;
    return ccif_LANHost_get_objs(&hosts, &count) == 0;
}

const ccif_LANHost_t *HostList::find(const char *mac, bool online_only) const
{
    for (const ccif_LANHost_t &h : *this)
        if (strcasecmp(h.MAC, mac) == 0 && (!online_only || host_online(h)))
            return &h;
    return nullptr;
}

bool host_online(const ccif_LANHost_t &h) { return std::strcmp(h.HostClass, "ONLINE") == 0; }

bool read_mac_filter(json_t *cmd, const char *cmd_type, std::vector<std::string> &macs)
{
    json_t *list = json_object_get(cmd, "MAC");
    if (!list || !json_is_array(list)) {
        if (!list)
            GWLOG(LOG_LVL_WARN, "%s json string missing Parameter MAC", cmd_type);
        else
            GWLOG(LOG_LVL_WARN, "%s Parameter MAC json type is invalid, should be array", cmd_type);
        GWLOG(LOG_LVL_WARN, "get input args from json string failed.");
        return false;
    }
    size_t i;
    json_t *item;
    json_array_foreach(list, i, item)
    {
        if (json_is_string(item))
            macs.emplace_back(json_string_value(item));
    }
    return true;
}

bool mac_in_filter(const std::vector<std::string> &macs, const char *mac)
{
    if (macs.empty())
        return true;
    for (const std::string &m : macs)
        if (strcasecmp(m.c_str(), mac) == 0)
            return true;
    return false;
}

bool read_filtered_hosts(const Request &r, const char *fail_word, std::vector<std::string> &macs, HostList &hosts,
                         int *rc)
{
    if (!read_mac_filter(r.cmd(), r.cmd_type(), macs)) {
        *rc = r.fail("parameter_error");
        return false;
    }
    if (!hosts.read()) {
        GWLOG(LOG_LVL_WARN, "%s get LANHost.x from /com/yvc/igd1/Config/LANHosts/{i} failed.", r.cmd_type());
        *rc = r.fail(fail_word);
        return false;
    }
    return true;
}

int answer_online_host_entries(const Request &r, const char *fail_word, const char *member, HostEntryFn entry)
{
    std::vector<std::string> macs;
    HostList hosts;
    int rc = -1;
    if (!read_filtered_hosts(r, fail_word, macs, hosts, &rc))
        return rc;
    std::vector<std::string> entries;
    for (const ccif_LANHost_t &h : hosts)
        if (mac_in_filter(macs, h.MAC) && host_online(h))
            entries.push_back(entry(h));
    return answer_joined_entries(r, member, entries, 511);
}

int answer_joined_entries(const Request &r, const char *member, const std::vector<std::string> &entries,
                          size_t entry_max)
{
    JsonPtr answer = r.head();
    if (!answer)
        return r.fail("create_json_fail");
    // A long list stops at the last whole entry that still fits, so the answer stays valid JSON.
    json_object_set_new(answer.get(), "Num", json_integer(0));
    json_object_set_new(answer.get(), member, json_string(""));
    CharPtr empty(gw_json_dump_compact(answer.get()));
    if (!empty)
        return r.fail("create_json_fail");
    const size_t base = strlen(empty.get()) - 1;  // without the one digit of Num
    std::string joined;
    size_t escaped = 0;
    int num = 0;
    for (std::string e : entries) {
        if (e.size() > entry_max) {
            e.resize(entry_max);
            e.resize(std::strlen(trim_partial_utf8(e.data())));
        }
        JsonPtr one(json_string(e.c_str()));
        CharPtr quoted(one ? json_dumps(one.get(), JSON_ENCODE_ANY) : nullptr);
        if (!quoted)
            continue;  // not UTF-8: left out rather than breaking the answer
        const size_t grown = escaped + (num ? 1 : 0) + strlen(quoted.get()) - 2;
        if (base + std::to_string(num + 1).size() + grown > CMD_RESP_MAX) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %d entries to fit the answer.", r.cmd_type(), num);
            break;
        }
        if (num)
            joined += '/';
        joined += e;
        escaped = grown;
        ++num;
    }
    json_object_set_new(answer.get(), "Num", json_integer(num));
    json_object_set_new(answer.get(), member, json_string(joined.c_str()));
    return r.answer(answer.get());
}

}  // namespace gwagent
