// The connection records and their queues, the distribution endpoint, and the start-up that ends with them.
#include "platform/records.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "core/uci_text.hpp"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

#define GWAGENT_ARCH_TAG "arm_velmar_V32085_O"

gw_domain_info app_domain_info[DOMAIN_COUNT];
gw_cc_stm g_cc_stm;

fifo_buffer socket_distr_tx_header;
fifo_buffer socket_plug_tx_header;
fifo_buffer g_msg_srv_fifo_buf;

struct uloop_timeout g_timeout_relogin = {};

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

extern "C" void gwagent_set_srv_cb(void)
{
    // The stage rows belong to the connection layer, which installs them when it starts; only the
    // address report is decided here: the first heartbeat after start carries the WAN address.
    g_cc_stm.addr_report = 1;
}

extern "C" void gwagent_distr_endpoint_init(void)
{
    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    char name[48] = {};
    int port = 0;
    if (!gwagent_platform_file_endpoint(name, sizeof name, &port)) {
        copy_truncated(name, gwagent_distr_default_addr());
        port = GWAGENT_DISTR_DEFAULT_PORT;
    }
    copy_truncated(d.server, name);
    d.port = static_cast<uint16_t>(port);

    std::string stored;
    if (!gwagent::uci_read("gwagent", "distri", "address", stored) || stored != d.server) {
        // A new server means a new registration.
        uci_config_set("gwagent", "distri", "address", d.server, 1);
        g_dev_info.RegisteredFlag = '0';
        uci_config_set("gwagent", "global", "status", "0", 1);
    }
    stored.clear();
    if (!gwagent::uci_read("gwagent", "distri", "port", stored) || atoi(stored.c_str()) != d.port) {
        char text[8];
        snprintf(text, sizeof text, "%u", static_cast<unsigned>(d.port));
        uci_config_set("gwagent", "distri", "port", text, 1);
    }
}

extern "C" int gwagent_global_init(void)
{
    api_sysLogOpen("ZEP[gwagent]");
    GWLOG(LOG_LVL_NOTICE, "======== gwagent start ========");
    GWLOG(LOG_LVL_DEBUG, "%s, %s", GWAGENT_ARCH_TAG, __DATE__ " " __TIME__);

    uloop_init();
    srand(static_cast<unsigned>(time(nullptr)));

    if (gwagent_store_pid() != 0)
        GWLOG(LOG_LVL_WARN, "set gwagent.global.pid failed.");

    gwagent_queues_init();

    memset(app_domain_info, 0, sizeof app_domain_info);
    memset(&g_dev_info, 0, sizeof g_dev_info);
    memset(&g_cc_stm, 0, sizeof g_cc_stm);
    gwagent_set_srv_cb();

    gwagent_set_dns();
    gwagent_distr_endpoint_init();
    gwagent_devinfo_init();
    gwagent_vendor_register_init();
    return 0;
}
