/* Calls of the plug-in host's AppAgent service, for the plug-in commands. Main thread. */
#ifndef GWAGENT_COMMANDS_CMD_PLUGIN_HANDLE_H
#define GWAGENT_COMMANDS_CMD_PLUGIN_HANDLE_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One plug-in as the host lists it; state is the run flag as text, empty for a library package. */
typedef struct plughost_entry {
    char name[16];
    char version[24];
    char state[16];
    int32_t pid;
} plughost_entry;

/* The code an operation gets when the bus call itself fails; the error text is then handed out. */
#define PLUGHOST_CALL_ERROR (-100)

/* Install and Upgrade only queue the work: the host's code, or -1 (no url, no bus, failed call). */
int g_plughost_Install(const char *url);
int g_plughost_Upgrade(const char *url);
/* 0 and the state text (cut to state_size), or -1. */
int g_plughost_GetStatus(const char *name, char *state, size_t state_size);
/* 0 with a malloc'ed array (free) and its count (no array when 0), or -1. */
int g_plughost_List(plughost_entry **entries, int *count);
/* 0 with the install state (cut to state_size) and percent, or -1. */
int g_plughost_Inst_Query(const char *name, char *state, size_t state_size, int *percent);
/* The host's code for method(name); PLUGHOST_CALL_ERROR with a malloc'ed copy of the error text (free)
 * when the call fails; -1 when the bus cannot be reached. */
int g_plughost_Operate(const char *name, const char *method, char **error);

/* 1 when the package's control file exists and the first file it installed is present, else 0. */
int is_app_installed(const char *name);

#ifdef __cplusplus
}
#endif

#endif
