/* One command request: who asked, what they sent, and the one answer it gets. */
#ifndef GWAGENT_COMMANDS_CMD_REQUEST_H
#define GWAGENT_COMMANDS_CMD_REQUEST_H

#include <stddef.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "commands/cmd_json.h"

namespace gwagent {

// A handler builds this once from its arguments and answers through it; parameter readers log the
// command's missing-parameter lines themselves, so a handler only picks its failure word.
class Request {
public:
    Request(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)
        : id_(id), sequence_id_(sequence_id), cmd_type_(cmd_type), cmd_(cmd), fd_(fd)
    {
    }

    int id() const { return id_; }
    const char *sequence_id() const { return sequence_id_; }
    const char *cmd_type() const { return cmd_type_; }
    json_t *cmd() const { return cmd_; }
    int fd() const { return fd_; }

    // A string parameter, cut to `keep` characters; JSON null counts as present and leaves dst alone.
    bool required(const char *param, char *dst, size_t keep) const;
    template <size_t N> bool required(const char *param, char (&dst)[N]) const { return required(param, dst, N - 1); }
    // An integer parameter; a number sent as text is a parameter failure, as is any other type.
    bool required_int(const char *param, int &out) const;
    // Absent members keep the caller's default without a log line; a wrong type still fails.
    bool optional(const char *param, char *dst, size_t keep) const;
    bool optional_int(const char *param, int &out) const;
    // A string parameter cut to `keep` bytes on a character boundary: the bus carries only valid UTF-8.
    bool required_text(const char *param, size_t keep, std::string &out) const;

    // Answers; each returns what send_cmd_resp returned (or -1 when nothing could be built).
    int ok() const;
    int fail(const char *reason) const;
    int answer(const json_t *obj) const;
    // Success head followed by string members in the given order.
    int members(std::initializer_list<std::pair<const char *, std::string>> values) const;
    // A new answer object holding the head (success unless told otherwise); null only when memory ran out.
    JsonPtr head(int status = 0) const;
    // The composite library's result: 0 success, -1 "CAPI return fail!", -10 "Parse input params fail!",
    // anything else "undefine".
    int capi_result(int rc) const;
    // A method call's outcome: a failed call "callMethod_failed", a refusal its own text (or
    // "callMethod_failed" when it gave none), else success. Logs the failure.
    int method_result(const char *method, int rc, int status, const char *errmsg) const;

private:
    int id_;
    const char *sequence_id_;
    const char *cmd_type_;
    json_t *cmd_;
    int fd_;
};

// A report interval in seconds read from its text as atoi does (leading number, 0 without one); false
// when its size would overflow the timer's milliseconds.
bool interval_seconds(const char *text, int &seconds);

// The failure word of a composite library result, or nullptr for success.
const char *capi_fail_word(int rc);

// Request::required_text on any object (an array element, say), logged under cmd_type.
bool required_text(json_t *obj, const char *cmd_type, const char *param, size_t keep, std::string &out);

}  // namespace gwagent

// A handler made from a table row: the row is handed over directly, never looked up again by name.
#define GW_ROW_HANDLER(T, run, row)                                                                                    \
    extern "C" int cmd_##T(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd)                 \
    {                                                                                                                  \
        return run(row, gwagent::Request{id, sequence_id, cmd_type, cmd, fd});                                         \
    }

#endif
