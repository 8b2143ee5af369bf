// The agent's global records: created zeroed, never freed.
#include "core/agent.h"

gw_dev_info g_dev_info;
gw_domain_info app_domain_info[DOMAIN_COUNT];
gw_cc_stm g_cc_stm;

fifo_buffer socket_distr_tx_header;
fifo_buffer socket_plug_tx_header;
fifo_buffer g_msg_srv_fifo_buf;

struct uloop_timeout g_timeout_relogin = {};
struct uloop_timeout g_timeout_syslog = {};

struct ubus_context *ctx = nullptr;
const char *ubus_socket = nullptr;

#ifndef GWAGENT_DISTR_DEFAULT_ADDR
#define GWAGENT_DISTR_DEFAULT_ADDR "127.0.0.1"
#endif

extern "C" const char *gwagent_distr_default_addr(void) { return GWAGENT_DISTR_DEFAULT_ADDR; }

extern "C" void gwagent_queues_init(void)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    fifo_buffer_init(&socket_distr_tx_header, GWAGENT_QUEUE_CAPACITY);
    fifo_buffer_init(&socket_plug_tx_header, GWAGENT_QUEUE_CAPACITY);
    fifo_buffer_init(&g_msg_srv_fifo_buf, GWAGENT_QUEUE_CAPACITY);
}
