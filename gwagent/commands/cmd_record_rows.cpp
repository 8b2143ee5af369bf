#include "commands/cmd_record_rows.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include <glib.h>

#include "commands/cmd_table.h"
#include "gwbus/log.h"

namespace gwagent::rows {

namespace {

constexpr const char *kParseFail = "Parse input params fail!";
constexpr const char *kCapiFail = "CAPI return fail!";
constexpr const char *kJsonFail = "Create json fail!";

// Both gboolean and the routes' uint32_t Enable are four bytes wide: a flag is stored as either.
static_assert(sizeof(gboolean) == sizeof(uint32_t), "flags are stored as four-byte values");

// A zeroed record of a size only known from the row.
class Record {
public:
    explicit Record(size_t size)
        : buf_(new std::max_align_t[(size + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t)]())
    {
    }
    void *get() { return buf_.get(); }

private:
    std::unique_ptr<std::max_align_t[]> buf_;
};

// A block handed out by a row's list call, released through the row on every exit.
struct RowList {
    const ListRow &row;
    void *items = nullptr;
    int count = 0;
    explicit RowList(const ListRow &r) : row(r) {}
    RowList(const RowList &) = delete;
    RowList &operator=(const RowList &) = delete;
    ~RowList()
    {
        if (items)
            row.release(items, count);
    }
    const void *at(int i) const { return static_cast<const char *>(items) + static_cast<size_t>(i) * row.size; }
};

char *at(void *rec, const Field &f) { return static_cast<char *>(rec) + f.offset; }
const char *at(const void *rec, const Field &f) { return static_cast<const char *>(rec) + f.offset; }

bool read_int(const Request &r, const char *name, long long lo, long long hi, long long &out)
{
    int low32 = 0;
    if (!r.required_int(name, low32))
        return false;
    const long long v = json_integer_value(json_object_get(r.cmd(), name));
    if (v < lo || v > hi) {
        GWLOG(LOG_LVL_WARN, "%s json %s %lld error (%lld~%lld)", r.cmd_type(), name, v, lo, hi);
        return false;
    }
    out = v;
    return true;
}

// A text parameter: the sender's text must be UTF-8 (the bus carries nothing else); a character
// split by the cut goes whole.
bool read_text(const Request &r, const char *name, char *dst, size_t keep)
{
    if (!r.required(name, dst, keep))
        return false;
    const json_t *v = json_object_get(r.cmd(), name);
    if (json_is_string(v) &&
        !g_utf8_validate(json_string_value(v), static_cast<gssize>(json_string_length(v)), nullptr)) {
        GWLOG(LOG_LVL_WARN, "%s json %s is not UTF-8 text", r.cmd_type(), name);
        return false;
    }
    const char *end = nullptr;
    if (!g_utf8_validate(dst, -1, &end))
        dst[end - dst] = '\0';
    return true;
}

bool one_of(const char *const *allowed, const char *text)
{
    for (; *allowed; ++allowed)
        if (std::strcmp(*allowed, text) == 0)
            return true;
    return false;
}

bool read_field(const Request &r, const Field &f, void *rec)
{
    long long v = 0;
    switch (f.kind) {
    case Kind::Text:
        if (!read_text(r, f.name, at(rec, f), f.keep))
            return false;
        if (f.allowed && !one_of(f.allowed, at(rec, f))) {
            GWLOG(LOG_LVL_WARN, "%s json %s %s error", r.cmd_type(), f.name, at(rec, f));
            return false;
        }
        return true;
    case Kind::U32:
        if (!read_int(r, f.name, 0, UINT32_MAX, v))
            return false;
        {
            const uint32_t u = static_cast<uint32_t>(v);
            std::memcpy(at(rec, f), &u, sizeof u);
        }
        return true;
    case Kind::Flag:
        if (!read_int(r, f.name, 0, 1, v))
            return false;
        {
            const uint32_t u = static_cast<uint32_t>(v);
            std::memcpy(at(rec, f), &u, sizeof u);
        }
        return true;
    case Kind::FlagText: {
        char text[8] = "";
        if (!read_text(r, f.name, text, sizeof text - 1))
            return false;
        const bool on = std::strcmp(text, "1") == 0 || std::strcmp(text, "true") == 0;
        if (!on && std::strcmp(text, "0") != 0 && std::strcmp(text, "false") != 0) {
            GWLOG(LOG_LVL_WARN, "%s json %s %s error", r.cmd_type(), f.name, text);
            return false;
        }
        const gboolean b = on ? TRUE : FALSE;
        std::memcpy(at(rec, f), &b, sizeof b);
        return true;
    }
    case Kind::Byte:
        if (!read_int(r, f.name, 0, 255, v))
            return false;
        *reinterpret_cast<uint8_t *>(at(rec, f)) = static_cast<uint8_t>(v);
        return true;
    case Kind::U64:
    case Kind::Pkts:
    case Kind::KiB:
    case Kind::Fixed:
        return true;  // answer-only fields
    }
    return false;
}

uint64_t u64_at(const void *rec, const Field &f)
{
    uint64_t v = 0;
    std::memcpy(&v, at(rec, f), sizeof v);
    return v;
}

uint32_t u32_at(const void *rec, const Field &f)
{
    uint32_t v = 0;
    std::memcpy(&v, at(rec, f), sizeof v);
    return v;
}

// A record text cut by the library inside a character would make the answer invalid JSON.
json_t *utf8_string(const char *text)
{
    const char *end = nullptr;
    if (g_utf8_validate(text, -1, &end))
        return json_string(text);
    return json_stringn(text, static_cast<size_t>(end - text));
}

json_t *field_json(const Field &f, const void *rec)
{
    switch (f.kind) {
    case Kind::Text:
        return utf8_string(at(rec, f));
    case Kind::U32:
        return json_integer(u32_at(rec, f));
    case Kind::Flag:
        return json_integer(u32_at(rec, f) ? 1 : 0);
    case Kind::FlagText:
        return json_string(u32_at(rec, f) ? "1" : "0");
    case Kind::Byte:
        return json_integer(*reinterpret_cast<const uint8_t *>(at(rec, f)));
    case Kind::U64:
        return json_integer(static_cast<json_int_t>(u64_at(rec, f)));
    case Kind::Pkts:
        return json_string(std::to_string(u64_at(rec, f)).c_str());
    case Kind::KiB:
        return json_string(std::to_string(u64_at(rec, f) / 1024).c_str());
    case Kind::Fixed:
        return json_string(f.fixed);
    }
    return nullptr;
}

bool set_fields(json_t *obj, Fields fields, const void *rec)
{
    for (size_t i = 0; i < fields.count; ++i) {
        const Field &f = fields.items[i];
        if (json_object_set_new(obj, f.name, field_json(f, rec)) != 0) {
            GWLOG(LOG_LVL_WARN, "create json for %s fail!", f.name);
            return false;
        }
    }
    return true;
}

int json_fail(const Request &r)
{
    GWLOG(LOG_LVL_WARN, "create json_t fail!");
    return r.fail(kJsonFail);
}

// Appends the row's list member (and "Num") for the records it names; false when JSON failed.
bool append_list(json_t *answer, const ListRow &row, const void *const *records, int count)
{
    json_t *array = json_array();
    if (row.num && json_object_set_new(answer, "Num", json_integer(count)) != 0) {
        json_decref(array);
        return false;
    }
    if (!array || json_object_set_new(answer, row.member, array) != 0)
        return false;
    for (int i = 0; i < count; ++i) {
        JsonPtr item = object_of(row.fields, records[i]);
        if (!item || json_array_append_new(array, item.release()) != 0)
            return false;
    }
    return true;
}

// Reads the row's records and appends them to answer; returns null on success or the failure word.
const char *list_into(json_t *answer, const ListRow &row, const uint32_t *keys)
{
    const bool pick_one = row.pick == Pick::One || (row.pick == Pick::OneOrAll && keys[row.keys.count - 1] != 0);
    if (pick_one) {
        Record rec(row.size);
        const int rc = row.one(keys, rec.get());
        if (rc != 0) {
            GWLOG(LOG_LVL_WARN, "%s read one record failed, return %d.", row.member, rc);
            return kCapiFail;
        }
        const void *records[] = {rec.get()};
        return append_list(answer, row, records, 1) ? nullptr : kJsonFail;
    }
    RowList list(row);
    const int rc = row.all(keys, &list.items, &list.count);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s read records failed, return %d.", row.member, rc);
        return kCapiFail;
    }
    const int count = list.items ? list.count : 0;
    std::unique_ptr<const void *[]> records(new const void *[count > 0 ? count : 1]);
    for (int i = 0; i < count; ++i)
        records[i] = list.at(i);
    return append_list(answer, row, records.get(), count) ? nullptr : kJsonFail;
}

void write_attached(const Request &r, const Attach &a, uint32_t owner)
{
    json_t *array = json_object_get(r.cmd(), a.param);
    if (!json_is_array(array)) {
        GWLOG(LOG_LVL_INFO, "%s is not array, will not set!", a.param);
        return;
    }
    size_t i = 0;
    json_t *element = nullptr;
    json_array_foreach(array, i, element)
    {
        if (!json_is_object(element)) {
            GWLOG(LOG_LVL_WARN, "%s %s[%zu] is not an object, skipped.", r.cmd_type(), a.param, i);
            continue;
        }
        const Request item{r.id(), r.sequence_id(), r.cmd_type(), element, r.fd()};
        Record rec(a.size);
        if (!read_fields(item, a.fields, rec.get())) {
            GWLOG(LOG_LVL_WARN, "%s %s[%zu] skipped.", r.cmd_type(), a.param, i);
            continue;
        }
        const int rc = a.add(owner, rec.get());
        if (rc != 0)
            GWLOG(LOG_LVL_WARN, "%s %s[%zu] not written, return %d.", r.cmd_type(), a.param, i, rc);
    }
}

}  // namespace

bool read_keys(const Request &r, const Keys &keys, uint32_t *out)
{
    for (size_t i = 0; i < keys.count; ++i) {
        out[i] = 0;
        if (keys.optional) {
            const json_t *v = json_object_get(r.cmd(), keys.names[i]);
            if (!v || json_is_null(v))
                continue;
        }
        long long v = 0;
        if (!read_int(r, keys.names[i], 0, UINT32_MAX, v))
            return false;
        out[i] = static_cast<uint32_t>(v);
    }
    return true;
}

bool read_fields(const Request &r, Fields fields, void *rec)
{
    for (size_t i = 0; i < fields.count; ++i)
        if (!read_field(r, fields.items[i], rec))
            return false;
    return true;
}

JsonPtr object_of(Fields fields, const void *rec)
{
    JsonPtr obj(json_object());
    if (!obj || !set_fields(obj.get(), fields, rec))
        return nullptr;
    return obj;
}

int answer_bounded(const Request &r, const json_t *obj)
{
    CharPtr text(gw_json_dump_compact(obj));
    if (!text)
        return json_fail(r);
    if (std::strlen(text.get()) > CMD_RESP_MAX) {
        GWLOG(LOG_LVL_WARN, "%s answer of %zu bytes does not fit.", r.cmd_type(), std::strlen(text.get()));
        return r.fail(kJsonFail);
    }
    return r.answer(obj);
}

int run_write(const WriteRow &row, const Request &r)
{
    uint32_t keys[2] = {0, 0};
    Record rec(row.size);
    if (!read_keys(r, row.keys, keys) || !read_fields(r, row.fields, rec.get()))
        return r.fail(kParseFail);
    const int rc = row.write(keys, rec.get());
    GWLOG(LOG_LVL_INFO, "%s library returned %d.", r.cmd_type(), rc);
    const bool written = row.answer == Answer::Result ? rc == 0 : row.answer == Answer::Index ? rc > 0 : rc >= 0;
    if (!written)
        return row.answer == Answer::Index ? r.fail(kCapiFail) : r.capi_result(rc);
    const uint32_t owner = row.answer == Answer::Index ? static_cast<uint32_t>(rc)
                           : row.keys.count            ? keys[row.keys.count - 1]
                                                       : 0;
    for (size_t i = 0; i < row.attach_count; ++i)
        write_attached(r, row.attach[i], owner);
    if (row.answer != Answer::Index)
        return r.ok();
    JsonPtr answer = r.head();
    if (!answer || json_object_set_new(answer.get(), "Index", json_integer(rc)) != 0)
        return json_fail(r);
    return r.answer(answer.get());
}

int run_delete(const DeleteRow &row, const Request &r)
{
    uint32_t keys[2] = {0, 0};
    std::string text;
    if (!read_keys(r, row.keys, keys))
        return r.fail(kParseFail);
    if (row.key_text) {
        std::unique_ptr<char[]> buf(new char[row.text_keep + 1]());
        if (!read_text(r, row.key_text, buf.get(), row.text_keep))
            return r.fail(kParseFail);
        text = buf.get();
    }
    const bool all = row.key_text ? text.empty() : keys[row.keys.count - 1] == 0;
    if (all && row.clear) {
        GWLOG(LOG_LVL_INFO, "%s clears all.", r.cmd_type());
        return r.capi_result(row.clear(keys));
    }
    return r.capi_result(row.remove(keys, text.c_str()));
}

int run_list(const ListRow &row, const Request &r)
{
    uint32_t keys[2] = {0, 0};
    if (!read_keys(r, row.keys, keys))
        return r.fail(kParseFail);
    JsonPtr answer = r.head();
    if (!answer)
        return json_fail(r);
    if (const char *word = list_into(answer.get(), row, keys))
        return word == kJsonFail ? json_fail(r) : r.fail(word);
    return answer_bounded(r, answer.get());
}

int run_record(const RecordRow &row, const Request &r)
{
    uint32_t keys[2] = {0, 0};
    if (!read_keys(r, row.keys, keys))
        return r.fail(kParseFail);
    Record rec(row.size);
    const int rc = row.get(keys, rec.get());
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s read failed, return %d.", r.cmd_type(), rc);
        return r.fail(kCapiFail);
    }
    JsonPtr answer = r.head();
    if (!answer || !set_fields(answer.get(), row.fields, rec.get()))
        return json_fail(r);
    if (row.nested)
        if (const char *word = list_into(answer.get(), *row.nested, keys))
            return word == kJsonFail ? json_fail(r) : r.fail(word);
    return answer_bounded(r, answer.get());
}

namespace {

// The platform keeps 864 samples (three days at five minutes); a window outside them is refused.
constexpr long long kHistoryMax = 864;

struct HistoryList {
    const HistoryRow &row;
    api_VpnHistoryTraffic_t *items = nullptr;
    int count = 0;
    explicit HistoryList(const HistoryRow &r) : row(r) {}
    HistoryList(const HistoryList &) = delete;
    HistoryList &operator=(const HistoryList &) = delete;
    ~HistoryList()
    {
        if (items)
            row.release(items, count);
    }
};

json_t *history_json(const api_VpnHistoryTraffic_t &t)
{
    JsonPtr entry(json_object());
    json_t *samples = json_array();
    if (!entry || json_object_set_new(entry.get(), "Index", json_integer(t.Index)) != 0 ||
        json_object_set_new(entry.get(), "TrafficBase", utf8_string(t.TrafficBase)) != 0 ||
        json_object_set_new(entry.get(), "History", samples) != 0)
        return nullptr;
    for (int i = 0; t.History && i < t.HistoryNum && t.History[i]; ++i)
        if (json_array_append_new(samples, utf8_string(t.History[i])) != 0)
            return nullptr;
    return entry.release();
}

}  // namespace

int run_history(const HistoryRow &row, const Request &r)
{
    long long index = 0, start = 0, num = 0;
    if (!read_int(r, "Index", 0, UINT32_MAX, index) || !read_int(r, "Start", 1, kHistoryMax, start) ||
        !read_int(r, "Num", 1, kHistoryMax, num))
        return r.fail(kParseFail);
    HistoryList list(row);
    const int rc = row.get(static_cast<uint32_t>(index), static_cast<uint32_t>(start), static_cast<uint32_t>(num),
                           &list.items, &list.count);
    if (rc != 0) {
        GWLOG(LOG_LVL_WARN, "%s history read failed, return %d.", r.cmd_type(), rc);
        return r.fail(kCapiFail);
    }
    JsonPtr answer = r.head();
    json_t *traffic = json_array();
    if (!answer || json_object_set_new(answer.get(), "Traffic", traffic) != 0)
        return json_fail(r);
    for (int i = 0; list.items && i < list.count; ++i)
        if (json_array_append_new(traffic, history_json(list.items[i])) != 0)
            return json_fail(r);
    return answer_bounded(r, answer.get());
}

}  // namespace gwagent::rows
