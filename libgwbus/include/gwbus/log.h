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

/* Opens syslog (facility "user") with the tag as identity ("default" when empty; "PLUGIN[<name>]"
 * inside a plug-in container), reads the threshold from UCI log.temp.log_level (not for
 * "ZEP[gwagent]", which sets its own) and starts the "log-mainLoop" thread. Opening twice does
 * nothing. */
void api_sysLogOpen(const char *tag);

/* Emits the line when its level is not above g_logLevel. It goes to syslog only while the log is
 * open. Independently of that, every line that passes the threshold is handed to the sink
 * (gw_log_set_sink) and, when the environment has GW_LOG_STDERR=1, copied to stderr: code that never
 * opens the log can still be observed. */
void api_sysLogPrint(int level, const char *format, ...) __attribute__((format(printf, 2, 3)));

/* Stops the "log-mainLoop" thread (joined before returning), closes syslog, clears tag and flag. */
void api_sysLogClose(void);

/* Sets the threshold and the stored duration, then broadcasts "LogLevelChanged" of
 * "com.yvc.gwagent1" on the system bus. */
void api_sysLogEmitSignal(int level, int duration_seconds);

/* Table lookups: "<unknown>" or -1 for absent entries. */
const char *api_sysLogGetPriorityText(int n);
const char *api_sysLogGetFacilityText(int n);
int api_sysLogGetPriorityNum(const char *name);
int api_sysLogGetFacilityNum(const char *name);

/* Appends "YYYY-MM-DD hh:mm:ss.<usec> <message>" to "/hgutmp/zepsrv.log", rotating it to
 * "/hgutmp/zepsrv.log.old" once it exceeds 524287 bytes (under the flock of "/tmp/zepsrv.lock").
 * The message is cut at 255 characters. */
void write_zep_log(const char *format, ...) __attribute__((format(printf, 1, 2)));

/* Starts the "log-mainLoop" thread that rereads the threshold on every "LogLevelChanged". Does
 * nothing while one runs. */
void logMainLoopInit(void);

/* Development and test hook: every emitted line (after the level filter, whether or not the log is
 * open) is also handed to the sink, serialised across threads. NULL removes it; once
 * gw_log_set_sink returns, the previous sink is no longer called. A sink may log again. */
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
