// Placeholder logging until the real implementation lands: stderr only.
#include "gwbus/log.h"

#include <cstdio>

int g_logLevel = 7;
const gw_log_code_t logPriorityCode[] = {{"", -1}};
const gw_log_code_t logFacilityCode[] = {{"", -1}};
static gw_log_sink_fn s_sink;
static void *s_user;

extern "C" {
void api_sysLogOpen(const char *) {}
void api_sysLogPrint(int level, const char *format, ...)
{
    char line[1024];
    va_list ap;
    va_start(ap, format);
    vsnprintf(line, sizeof line, format, ap);
    va_end(ap);
    if (s_sink)
        s_sink(level, line, s_user);
}
void api_sysLogClose(void) {}
void gw_log_set_sink(gw_log_sink_fn sink, void *user)
{
    s_sink = sink;
    s_user = user;
}
}
