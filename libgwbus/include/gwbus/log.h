/* Logging: syslog front end with a run-time level, and the framework event log. */
#ifndef GWBUS_LOG_H
#define GWBUS_LOG_H

#include <stdarg.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct {
    const char *c_name;
    int c_val;
} gw_log_code_t;

extern int g_logLevel;
extern const gw_log_code_t logPriorityCode[];
extern const gw_log_code_t logFacilityCode[];

void api_sysLogOpen(const char *tag);
void api_sysLogPrint(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));
void api_sysLogClose(void);
void api_sysLogEmitSignal(int level, int duration_seconds);
const char *api_sysLogGetPriorityText(int n);
const char *api_sysLogGetFacilityText(int n);
int api_sysLogGetPriorityNum(const char *name);
int api_sysLogGetFacilityNum(const char *name);
void write_zep_log(const char *format, ...) __attribute__((format(printf, 1, 2)));
void logMainLoopInit(void);

/* Development and test hook: every emitted line (after the level filter) is also handed to the
 * sink. NULL removes it. Not used on the target. */
typedef void (*gw_log_sink_fn)(int level, const char *line, void *user);
void gw_log_set_sink(gw_log_sink_fn sink, void *user);

#ifdef __cplusplus
}
#endif

/* Every log format starts with "<unit>:<line> "; GW_UNIT is the source file name without extension. */
#ifndef GW_UNIT
#define GW_UNIT __FILE__
#endif
#define GWLOG(level, fmt, ...) api_sysLogPrint((level), "%s:%d " fmt, GW_UNIT, __LINE__, ##__VA_ARGS__)

#define LOG_LVL_ERR 3
#define LOG_LVL_WARN 4
#define LOG_LVL_NOTICE 5
#define LOG_LVL_INFO 6
#define LOG_LVL_DEBUG 7

#endif
