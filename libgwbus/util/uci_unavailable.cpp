// Stand-in while no libuci header is available to the build: every UCI access fails.
#include "gwbus/util.h"

extern "C" {
int uci_config_get(const char *, const char *, const char *, char *) { return 1; }
int uci_config_get_n(const char *, const char *, const char *, char *, size_t) { return 1; }
int uci_config_set(const char *, const char *, const char *, const char *, int) { return 1; }
int uci_config_commit(const char *) { return 1; }
}
