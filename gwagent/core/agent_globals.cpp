// The agent's global records: created zeroed, never freed.
#include "core/agent.h"

gw_dev_info g_dev_info;

struct uloop_timeout g_timeout_syslog = {};

struct ubus_context *ctx = nullptr;
const char *ubus_socket = nullptr;
