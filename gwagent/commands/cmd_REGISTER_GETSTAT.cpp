// REGISTER_GETSTAT: the state of the user's registration, as the service reports it in
// "key=value&key=value" pairs, answered as members of the answer object.
#include <cstring>
#include <memory>
#include <string>

#include "commands/cmd_request.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

namespace {

constexpr int kNoStatusReturn = 500;

// Each pair becomes one member. Built with the JSON library rather than by splicing quotes into the
// text, so a value holding quotes or backslashes can neither break the answer nor add members.
bool add_pairs(json_t *answer, const char *text)
{
    const char *p = text;
    while (*p) {
        const char *end = std::strchr(p, '&');
        const size_t len = end ? static_cast<size_t>(end - p) : std::strlen(p);
        if (len > 0) {
            const std::string pair(p, len);
            const size_t eq = pair.find('=');
            const std::string key = pair.substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string() : pair.substr(eq + 1);
            if (json_object_get(answer, key.c_str())) {
                // The head is ours; a pair may not replace it or an earlier pair.
                GWLOG(LOG_LVL_WARN, "registration state repeats member %s, kept the first.", key.c_str());
            } else if (json_object_set_new(answer, key.c_str(), json_string(value.c_str())) != 0) {
                return false;
            }
        }
        if (!end)
            break;
        p = end + 1;
    }
    return true;
}

}  // namespace

extern "C" int cmd_REGISTER_GETSTAT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
{
    const gwagent::Request r{id, sequence_id, cmd_type, cmd, fd};
    int status = 0;
    char *text_raw = nullptr;
    const int rc = mth_RegisterGetStat(&status, &text_raw);
    gw::GCharPtr text(text_raw);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s() failed, t_ret = %d.", "mth_RegisterGetStat", rc);
        return r.fail("callMethod_failed");
    }
    if (status == kNoStatusReturn)
        return r.fail("NO_STATUS_RETURN");
    if (!text) {
        GWLOG(LOG_LVL_WARN, "%s returned status %d without a state.", "mth_RegisterGetStat", status);
        return r.fail("");
    }
    gwagent::JsonPtr answer = r.head(status);
    if (!answer || !add_pairs(answer.get(), text.get())) {
        GWLOG(LOG_LVL_WARN, "%s state [%s] cannot be answered.", cmd_type, text.get());
        return r.fail("create_json_fail");
    }
    return r.answer(answer.get());
}
