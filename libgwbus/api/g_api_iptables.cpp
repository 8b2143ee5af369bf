// iptables and ip6tables commands run by the configuration service.
#include "api_common.hpp"
#include "gwbus/api.h"
#include "gwbus/bus.h"
#include "gwbus/methods.h"

namespace {

using Runner = int (*)(const char *, char ***, int *, int *, char **);

int run(const char *func, const char *method, Runner runner, const char *command, char ***lines, int *count)
{
    if (gwapi::empty(command) || !lines || !count) {
        GWLOG(LOG_LVL_NOTICE, "(%s) command can not be NULL.", func);
        return -1;
    }
    *lines = nullptr;
    *count = 0;
    char **out = nullptr;
    int n = 0;
    int status = 0;
    char *msg = nullptr;
    const int rc = runner(command, &out, &n, &status, &msg);
    gw::GCharPtr msg_owner(msg);
    if (rc != 0) {
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s failed.", func, method, command);
        return -1;
    }
    if (status != 0) {
        g_hgu_freeStrList(out);
        GWLOG(LOG_LVL_NOTICE, "(%s) %s %s refused, %d : %s", func, method, command, status, msg ? msg : "");
        return -1;
    }
    *lines = out;
    *count = out ? n : 0;
    return 0;
}

int release(char **lines)
{
    if (!lines)
        return -1;
    g_hgu_freeStrList(lines);
    return 0;
}

}  // namespace

extern "C" {

int api_getRunIPTables(const char *command, char ***lines, int *count)
{
    API_ENTER();
    return run(__func__, "RunIPTables", mth_RunIPTables, command, lines, count);
}

int api_releaseRunIPTables(char **lines, int /*count*/) { return release(lines); }

int api_getRunIP6Tables(const char *command, char ***lines, int *count)
{
    API_ENTER();
    return run(__func__, "RunIP6Tables", mth_RunIP6Tables, command, lines, count);
}

int api_releaseRunIP6Tables(char **lines, int /*count*/) { return release(lines); }

}  // extern "C"
