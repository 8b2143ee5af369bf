/* Commands that translate between the command's JSON and one library record: each command is a row
 * naming its key parameters, the record's fields and the library calls; generic code reads, writes,
 * lists and deletes through the row. */
#ifndef GWAGENT_COMMANDS_CMD_RECORD_ROWS_H
#define GWAGENT_COMMANDS_CMD_RECORD_ROWS_H

#include <stddef.h>
#include <stdint.h>

#include "commands/cmd_request.h"
#include "gwbus/api.h"

namespace gwagent::rows {

enum class Kind : uint8_t {
    Text,      // char[]: a JSON string, cut to `keep` bytes on a character boundary
    U32,       // uint32_t: a JSON integer 0..4294967295
    Flag,      // gboolean or uint32_t: a JSON integer 0 or 1
    FlagText,  // gboolean: the text "1"/"0" ("true"/"false" also taken)
    Byte,      // uint8_t: a JSON integer 0..255
    U64,       // uint64_t: a JSON integer (answers only)
    Pkts,      // uint64_t: answered as decimal text
    KiB,       // uint64_t: answered as decimal text of the byte count divided by 1024
    Fixed,     // no field: answers the text in `fixed`
};

struct Field {
    const char *name;  // JSON member and parameter name
    Kind kind;
    size_t offset;
    size_t keep;                           // Text: bytes kept, always below the field's size
    const char *const *allowed = nullptr;  // Text: the only values taken (null-terminated)
    const char *fixed = nullptr;
};

struct Fields {
    const Field *items;
    size_t count;
};
template <size_t N> constexpr Fields fields_of(const Field (&a)[N]) { return {a, N}; }

constexpr size_t kept(size_t size, size_t keep) { return keep < size ? keep : size - 1; }

// Integer key parameters ("Index", "IndexL2tp", "Flow", ...), read before the fields. Optional keys
// that are absent read as 0.
struct Keys {
    const char *names[2];
    size_t count;
    bool optional;
};
constexpr Keys kNoKeys{{nullptr, nullptr}, 0, false};

// An optional array of records written after the main one succeeded (tunnel subnets, server
// accounts); each element's own result is ignored.
struct Attach {
    const char *param;
    Fields fields;
    size_t size;
    int (*add)(uint32_t owner, const void *rec);
};

// What a write answers: the index the library returned (> 0), or the plain result rule; a few
// library calls return an index for a plain-result command, where a positive value is success.
enum class Answer : uint8_t { Index, Result, ResultOrIndex };

struct WriteRow {
    Keys keys;
    Fields fields;
    size_t size;
    int (*write)(const uint32_t *keys, const void *rec);
    Answer answer;
    const Attach *attach;
    size_t attach_count;
};

// Deletes by the last key (0 clears all), or, with key_text, by a text naming the object (empty clears
// the objects below the keys). Without clear, the delete is asked even for 0.
struct DeleteRow {
    Keys keys;
    const char *key_text;
    size_t text_keep;
    int (*clear)(const uint32_t *keys);
    int (*remove)(const uint32_t *keys, const char *text);
};

// All: the list below the keys; One: one record; OneOrAll: the last key picks one, 0 (or absent) all.
enum class Pick : uint8_t { All, One, OneOrAll };

struct ListRow {
    Keys keys;
    Pick pick;
    size_t size;
    int (*all)(const uint32_t *keys, void **items, int *count);
    int (*release)(void *items, int count);
    int (*one)(const uint32_t *keys, void *rec);
    const char *member;  // "ObjList", "Traffic", ...
    bool num;            // "Num" before the list
    Fields fields;
};

// One record answered member by member, optionally followed by a list (its keys are not read).
struct RecordRow {
    Keys keys;
    size_t size;
    int (*get)(const uint32_t *keys, void *rec);
    Fields fields;
    const ListRow *nested;
};

using HistoryGet = int (*)(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic, int *count);
struct HistoryRow {
    HistoryGet get;
    int (*release)(api_VpnHistoryTraffic_t *traffic, int count);
};

int run_write(const WriteRow &row, const Request &r);
int run_delete(const DeleteRow &row, const Request &r);
int run_list(const ListRow &row, const Request &r);
int run_record(const RecordRow &row, const Request &r);
int run_history(const HistoryRow &row, const Request &r);

// Pieces for the hand-written members of the same families.
bool read_keys(const Request &r, const Keys &keys, uint32_t *out);
bool read_fields(const Request &r, Fields fields, void *rec);
// One answer object of the record's fields; null when memory ran out.
JsonPtr object_of(Fields fields, const void *rec);
// Answers obj, or "Create json fail!" when it would not fit the answer area.
int answer_bounded(const Request &r, const json_t *obj);

// Adapters from the library's typed calls to the rows' untyped ones; K is the key that addresses.
template <typename T, int (*F)(T **, int *)> int all_of(const uint32_t *, void **items, int *count)
{
    T *list = nullptr;
    const int rc = F(&list, count);
    *items = list;
    return rc;
}
template <typename T, int (*F)(uint32_t, T **, int *), size_t K = 0>
int all_under(const uint32_t *keys, void **items, int *count)
{
    T *list = nullptr;
    const int rc = F(keys[K], &list, count);
    *items = list;
    return rc;
}
template <typename T, int (*F)(T *, int)> int release_of(void *items, int count)
{
    return F(static_cast<T *>(items), count);
}
template <typename T, int (*F)(uint32_t, T *), size_t K = 0> int one_at(const uint32_t *keys, void *rec)
{
    return F(keys[K], static_cast<T *>(rec));
}
template <typename T, int (*F)(uint32_t, const T *), size_t K = 0> int write_at(const uint32_t *keys, const void *rec)
{
    return F(keys[K], static_cast<const T *>(rec));
}
template <typename T, int (*F)(uint32_t, const T *)> int add_below(uint32_t owner, const void *rec)
{
    return F(owner, static_cast<const T *>(rec));
}

}  // namespace gwagent::rows

// Field rows: the JSON name is the record member's name unless given.
#define GW_TEXT(T, m)                                                                                                  \
    gwagent::rows::Field { #m, gwagent::rows::Kind::Text, offsetof(T, m), sizeof(T::m) - 1 }
#define GW_TEXT_KEEP(T, m, n)                                                                                          \
    gwagent::rows::Field { #m, gwagent::rows::Kind::Text, offsetof(T, m), gwagent::rows::kept(sizeof(T::m), n) }
#define GW_TEXT_AS(name, T, m)                                                                                         \
    gwagent::rows::Field { name, gwagent::rows::Kind::Text, offsetof(T, m), sizeof(T::m) - 1 }
#define GW_TEXT_ONE_OF(T, m, values)                                                                                   \
    gwagent::rows::Field { #m, gwagent::rows::Kind::Text, offsetof(T, m), sizeof(T::m) - 1, values }
#define GW_FIELD(kind, T, m)                                                                                           \
    gwagent::rows::Field { #m, gwagent::rows::Kind::kind, offsetof(T, m), 0 }
#define GW_FIXED(name, text)                                                                                           \
    gwagent::rows::Field { name, gwagent::rows::Kind::Fixed, 0, 0, nullptr, text }

#endif
