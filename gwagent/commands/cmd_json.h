/* The command envelope's JSON helpers (jansson). Type codes are jansson's: object 0, array 1,
 * string 2, integer 3, real 4, true 5, false 6, null 7. */
#ifndef GWAGENT_COMMANDS_CMD_JSON_H
#define GWAGENT_COMMANDS_CMD_JSON_H

#include <stddef.h>

#include <jansson.h>

#ifdef __cplusplus
extern "C" {
#endif

/* 0: a string member copied (cut to size - 1), a null member (dst untouched), or a matching
 * non-string type (nothing copied). -1: missing, or of another type than `type`. */
int get_string_json_value(json_t *obj, const char *key, int type, char *dst, size_t size);

/* 0: matching type stored (integer: low 32 bits as int; real: double; true/false: int 1/0).
 * -1 missing; -2 of another type and a string; -3 of another type otherwise. */
int get_json_value(json_t *obj, const char *key, int type, void *out);

/* Compact answer text {"CmdType","SequenceId","Status"[, "FailReason" when status is not 0]}, to be
 * freed with free(); NULL on failure. */
char *build_error_json(const char *cmd_type, const char *sequence_id, int status, const char *reason);

/* New object with the three head members; NULL on failure. */
json_t *build_json_head(const char *cmd_type, const char *sequence_id, int status);

void ucf_json_decref(json_t *obj);

/* Serialises an answer object compactly, members in insertion order; free() the text. */
char *gw_json_dump_compact(const json_t *obj);

#ifdef __cplusplus
}

#include "core/holders.hpp"
#endif

#endif
