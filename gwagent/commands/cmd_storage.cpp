// The storage commands: each hands its parameters to one NASAccess method of the configuration service
// and turns the reply into the answer. One row per command; the file work is the service's.
#include <cstring>
#include <string>

#include "commands/cmd_request.h"
#include "commands/cmd_table.h"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/raii.hpp"

namespace {

using gwagent::JsonPtr;
using gwagent::Request;

// Every text parameter is cut to this many bytes before it reaches the service.
constexpr size_t kParamKeep = 63;
// The list answers grow in a buffer of this size, terminator included.
constexpr size_t kListAnswerMax = 5632;

enum class Kind { Discs, FileNum, List, OneText, TwoTexts };

struct NasCommand {
    Kind kind;
    const char *method;  // the wrapper's name in the log lines
    const char *params[2];
    int (*one)(const char *, int *, char **);
    int (*two)(const char *, const char *, int *, char **);
};

constexpr NasCommand kGetDiscInf{Kind::Discs, "mth_GetDiscInfo", {}, nullptr, nullptr};
constexpr NasCommand kGetFileNum{Kind::FileNum, "mth_GetFileNum", {"FolderName"}, nullptr, nullptr};
constexpr NasCommand kList{Kind::List, "mth_ListFolder", {"FolderName"}, nullptr, nullptr};
constexpr NasCommand kCreateFolder{Kind::OneText, "mth_CreateFolder", {"FolderName"}, mth_CreateFolder, nullptr};
constexpr NasCommand kRemove{Kind::OneText, "mth_Remove", {"FileName"}, mth_Remove, nullptr};
constexpr NasCommand kCopy{Kind::TwoTexts, "mth_Copy", {"FileName", "NewFolderName"}, nullptr, mth_Copy};
constexpr NasCommand kMove{Kind::TwoTexts, "mth_Move", {"FileName", "NewFolderName"}, nullptr, mth_Move};
constexpr NasCommand kRename{Kind::TwoTexts, "mth_Rename", {"CurrFileName", "NewFileName"}, nullptr, mth_Rename};

// The failure word of a call's outcome, or null for success. A refusal without a text fails too: the
// platform must not see a refused action as done.
const char *call_failure(const NasCommand &c, int rc, int status, const char *errmsg)
{
    if (rc != 0) {
        GWLOG(LOG_LVL_NOTICE, "%s() failed, t_ret = %d.", c.method, rc);
        return "callMethod_failed";
    }
    if (status != 0) {
        GWLOG(LOG_LVL_NOTICE, "%s() return failed, status = %d, %s.", c.method, status, errmsg ? errmsg : "");
        return errmsg && *errmsg ? errmsg : "callMethod_failed";
    }
    return nullptr;
}

JsonPtr text_object(std::initializer_list<std::pair<const char *, std::string>> members)
{
    JsonPtr obj(json_object());
    for (const auto &[key, value] : members)
        if (!obj || json_object_set_new(obj.get(), key, json_string(value.c_str())) != 0)
            return nullptr;
    return obj;
}

JsonPtr disc_entry(const mth_DiscInfo_t &d)
{
    return text_object({{"DiscName", d.DiscName},
                        {"ConnectInterface", d.ConnectInterface},
                        {"UsedSize", d.UsedSize},
                        {"FreeSize", d.FreeSize},
                        {"TotalSize", d.TotalSize}});
}

JsonPtr folder_entry(const mth_FolderEntry_t &e)
{
    return text_object({{"FileName", e.FileName},
                        {"PhysicalFolderName", e.PhysicalFolderName},
                        {"IsFolder", e.IsFolder ? "1" : "0"},
                        {"FileSize", std::to_string(static_cast<unsigned long long>(e.FileSize))},
                        {"ModifiedTime", e.ModifiedTime}});
}

// The success head with `member` holding one object per record in the order received. A list that
// would not fit the answer buffer stops at the last whole entry, so the answer stays valid JSON.
template <typename R>
int answer_list(const Request &r, const char *member, const gwagent::ObjList<R> &records, JsonPtr (*entry)(const R &))
{
    JsonPtr answer = r.head();
    JsonPtr list(json_array());
    if (!answer || !list || json_object_set(answer.get(), member, list.get()) != 0)
        return r.fail("create_json_fail");
    gwagent::CharPtr empty(gw_json_dump_compact(answer.get()));
    if (!empty)
        return r.fail("create_json_fail");
    size_t used = strlen(empty.get()) + 1;
    int kept = 0;
    for (const R &rec : records) {
        JsonPtr obj = entry(rec);
        gwagent::CharPtr text(obj ? gw_json_dump_compact(obj.get()) : nullptr);
        if (!text) {
            GWLOG(LOG_LVL_WARN, "%s entry %d cannot be written, left out.", r.cmd_type(), kept);
            continue;
        }
        const size_t grown = used + strlen(text.get()) + (kept ? 1 : 0);
        if (grown > kListAnswerMax) {
            GWLOG(LOG_LVL_WARN, "%s list cut at %d of %d entries to fit the answer.", r.cmd_type(), kept,
                  records.count);
            break;
        }
        json_array_append(list.get(), obj.get());
        used = grown;
        ++kept;
    }
    return r.answer(answer.get());
}

int run_nas(const NasCommand &c, const Request &r)
{
    // Every parameter is read (and each missing one logged) before the request is refused.
    std::string texts[2];
    bool ok = true;
    for (size_t i = 0; i < 2 && c.params[i]; ++i)
        ok = r.required_text(c.params[i], kParamKeep, texts[i]) && ok;
    int first = 0, last = 0;
    if (c.kind == Kind::List) {
        ok = r.required_int("StartIndex", first) && ok;
        ok = r.required_int("EndIndex", last) && ok;
        if (ok && (first < 0 || last < 0)) {
            GWLOG(LOG_LVL_WARN, "%s index out of range, StartIndex %d, EndIndex %d.", r.cmd_type(), first, last);
            ok = false;
        }
    }
    if (!ok)
        return r.fail("parameter_error");

    int status = 0;
    char *raw = nullptr;
    gw::GCharPtr errmsg;
    const char *reason = nullptr;
    switch (c.kind) {
    case Kind::Discs: {
        gwagent::ObjList<mth_DiscInfo_t> discs;
        const int rc = mth_GetDiscInfo(&discs.items, &discs.count, &status, &raw);
        errmsg.reset(raw);
        // A refusal fails the call itself: the answer is "callMethod_failed", not the service's text.
        if ((reason = call_failure(c, rc, status, errmsg.get())))
            return r.fail(reason);
        return answer_list(r, "DiscList", discs, disc_entry);
    }
    case Kind::List: {
        gwagent::ObjList<mth_FolderEntry_t> entries;
        const int rc = mth_ListFolder(texts[0].c_str(), static_cast<uint32_t>(first), static_cast<uint32_t>(last),
                                      &entries.items, &entries.count, &status, &raw);
        errmsg.reset(raw);
        if ((reason = call_failure(c, rc, status, errmsg.get())))
            return r.fail(reason);
        return answer_list(r, "FileList", entries, folder_entry);
    }
    case Kind::FileNum: {
        uint32_t num = 0;
        const int rc = mth_GetFileNum(texts[0].c_str(), &num, &status, &raw);
        errmsg.reset(raw);
        if ((reason = call_failure(c, rc, status, errmsg.get())))
            return r.fail(reason);
        JsonPtr answer = r.head();
        if (!answer || json_object_set_new(answer.get(), "FileNum", json_integer(num)) != 0)
            return r.fail("create_json_fail");
        return r.answer(answer.get());
    }
    case Kind::OneText: {
        const int rc = c.one(texts[0].c_str(), &status, &raw);
        errmsg.reset(raw);
        reason = call_failure(c, rc, status, errmsg.get());
        break;
    }
    case Kind::TwoTexts: {
        const int rc = c.two(texts[0].c_str(), texts[1].c_str(), &status, &raw);
        errmsg.reset(raw);
        reason = call_failure(c, rc, status, errmsg.get());
        break;
    }
    }
    return reason ? r.fail(reason) : r.ok();
}

}  // namespace

GW_ROW_HANDLER(GET_DISC_INF, run_nas, kGetDiscInf)
GW_ROW_HANDLER(GET_FILE_NUM, run_nas, kGetFileNum)
GW_ROW_HANDLER(LIST, run_nas, kList)
GW_ROW_HANDLER(CREATE_FOLDER, run_nas, kCreateFolder)
GW_ROW_HANDLER(REMOVE, run_nas, kRemove)
GW_ROW_HANDLER(COPY, run_nas, kCopy)
GW_ROW_HANDLER(MOVE, run_nas, kMove)
GW_ROW_HANDLER(RENAME, run_nas, kRename)
