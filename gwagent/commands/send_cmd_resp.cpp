// Answers to the plugin server: checked, wrapped in base64 and queued for the sender.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gw/ubox.h>

#include "commands/cmd_json.h"
#include "commands/cmd_table.h"
#include "core/agent.h"
#include "gwbus/log.h"
#include "platform/records.h"

namespace {

constexpr size_t kB64Area = 16384;
constexpr size_t kWrapArea = 16636;

}  // namespace

extern "C" int send_cmd_resp(const char *resp, int id, int fd)
{
    if (!resp) {
        GWLOG(LOG_LVL_WARN, "response is empty.");
        return -1;
    }
    GWLOG(LOG_LVL_DEBUG, "fd = %d, [%s]", fd, resp);
    json_error_t err;
    gwagent::JsonPtr parsed(json_loads(resp, 0, &err));
    if (!parsed) {
        GWLOG(LOG_LVL_WARN, "response [%s] is not json format.", resp);
        return -1;
    }
    const size_t len = strlen(resp);
    // The base64 area holds at most 12285 bytes of answer; a longer one would be cut mid-text.
    if (len > CMD_RESP_MAX) {
        GWLOG(LOG_LVL_WARN, "response of %zu bytes is longer than %d, not sent.", len, CMD_RESP_MAX);
        return -1;
    }
    std::vector<char> b64(kB64Area, '\0');
    if (b64_encode(resp, len, b64.data(), b64.size()) < 0) {
        GWLOG(LOG_LVL_WARN, "response base64 encode failed.");
        return -1;
    }
    std::vector<char> wrap(kWrapArea, '\0');
    const int n =
        snprintf(wrap.data(), wrap.size(), "{\"Result\":0,\"ID\":%d,\"return_Parameter\":\"%s\"}", id, b64.data());
    if (n < 0 || static_cast<size_t>(n) >= wrap.size())
        return -1;
    char *copy = strdup(wrap.data());
    if (!copy)
        return -1;
    if (fifo_buffer_put(&socket_plug_tx_header, copy, static_cast<uint32_t>(n)) != 0) {
        free(copy);
        GWLOG(LOG_LVL_WARN, "Failed to write to remote");
        return -1;
    }
    return 0;
}

namespace gwagent {

int answer_json(int id, const json_t *obj, int fd)
{
    CharPtr text(gw_json_dump_compact(obj));
    if (!text) {
        GWLOG(LOG_LVL_WARN, "dump answer json failed.");
        return -1;
    }
    return send_cmd_resp(text.get(), id, fd);
}

int answer_status(int id, const char *sequence_id, const char *cmd_type, int status, const char *reason, int fd)
{
    CharPtr text(build_error_json(cmd_type, sequence_id, status, reason));
    if (!text) {
        GWLOG(LOG_LVL_WARN, "build answer json failed.");
        return -1;
    }
    return send_cmd_resp(text.get(), id, fd);
}

}  // namespace gwagent
