// GET_VOICE_INFO and GET_VOIP_STATUS: the SIP servers and the state of each voice line.
#include <string>

#include "commands/cmd_request.h"
#include "gwbus/api.h"
#include "gwbus/log.h"

namespace {

using VoiceLines = gwagent::ApiList<api_VoIPInfo_t, api_releaseVoIPInfo>;

// Appends one object per line under `member`; with_password adds the password indicator.
bool add_lines(json_t *answer, const char *member, const VoiceLines &lines, bool with_password)
{
    json_t *array = json_array();
    if (!array || json_object_set_new(answer, member, array) != 0)
        return false;
    for (int i = 0; i < lines.count; ++i) {
        const api_VoIPInfo_t &l = lines.items[i];
        json_t *entry = json_object();
        if (!entry || json_array_append_new(array, entry) != 0 ||
            json_object_set_new(entry, "Index", json_integer(l.Index)) != 0 ||
            json_object_set_new(entry, "Username", json_string(l.Username)) != 0 ||
            (with_password && json_object_set_new(entry, "PasswordIndicator", json_string(l.PasswordIndicator)) != 0) ||
            json_object_set_new(entry, "Status", json_string(l.Status)) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int cmd_GET_VOICE_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    api_VoIPServerInfo_t server{};
    VoiceLines lines;
    const int server_rc = api_getVoIPServerInfo(&server);
    const int info_rc = api_getVoIPInfo(&lines.items, &lines.count);
    if (server_rc != 0 || info_rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, serverinfo return %d, info return %d.", cmd_type, server_rc, info_rc);
        return r.fail("api_return_fail");
    }
    gwagent::JsonPtr answer = r.head();
    const bool ok =
        answer && json_object_set_new(answer.get(), "ServerAddress", json_string(server.ServerAddress)) == 0 &&
        json_object_set_new(answer.get(), "ServerPort", json_string(std::to_string(server.ServerPort).c_str())) == 0 &&
        json_object_set_new(answer.get(), "SecondServerAddress", json_string(server.SecondServerAddress)) == 0 &&
        json_object_set_new(answer.get(), "SecondServerPort",
                            json_string(std::to_string(server.SecondServerPort).c_str())) == 0 &&
        add_lines(answer.get(), "Account", lines, true);
    if (!ok)
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}

extern "C" int cmd_GET_VOIP_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    VoiceLines lines;
    const int rc = api_getVoIPInfo(&lines.items, &lines.count);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s api failed, return %d.", "api_getVoIPInfo", rc);
        return r.fail("api_return_fail");
    }
    gwagent::JsonPtr answer = r.head();
    if (!answer || !add_lines(answer.get(), "VOIPStatus", lines, false))
        return r.fail("create_json_fail");
    return r.answer(answer.get());
}
