// The published copy of the connection state that the bus service answers from.
#include "bus/gwagent_status.h"

#include <glib.h>

#include <mutex>

#include "core/io/ucf_io.h"
#include "gwbus/strutil.h"
#include "platform/conn.h"
#include "platform/records.h"

struct uloop_timeout g_timeout_status_publish = {};

namespace {

// A status answer may be this old; the timer values in it are counted down at read time.
constexpr int kPublishMs = 1000;

std::mutex g_mu;
gwagent_status g_copy = {};

int64_t remaining(struct uloop_timeout *t) { return t->pending ? uloop_timeout_remaining64(t) : -1; }

void publish_cb(struct uloop_timeout *t)
{
    gwagent_status_publish();
    uloop_timeout_set(t, kPublishMs);
}

int64_t count_down(int64_t ms, int64_t elapsed_ms)
{
    if (ms < 0)
        return -1;
    return ms > elapsed_ms ? ms - elapsed_ms : 0;
}

}  // namespace

extern "C" void gwagent_status_publish(void)
{
    const gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    gwagent_status s{};
    copy_truncated(s.server, d.server);
    if (d.addr_index < DOMAIN_ADDR_COUNT)
        copy_truncated(s.address, d.addrs[d.addr_index]);
    s.port = d.port;
    s.fd = g_fd_udp_distr.fd;
    s.status = d.status;
    copy_truncated(s.last_error, d.last_error);
    s.common_err = d.common_err;
    s.boot_err = d.boot_err;
    s.register_err = d.register_err;
    s.hb_err = d.hb_err;
    s.cmd_err = d.cmd_err;
    s.hb_send_time = g_cc_stm.HbSendTime;
    s.hb_recv_time = g_cc_stm.HbRecvTime;
    s.relogin_ms = remaining(&g_timeout_relogin);
    s.nexthb_ms = remaining(&g_timeout_nexthb);
    s.nextphb_ms = remaining(&g_timeout_plugin_hb);
    s.published_us = g_get_monotonic_time();
    std::lock_guard<std::mutex> lock(g_mu);
    g_copy = s;
}

extern "C" void gwagent_status_read(gwagent_status *out)
{
    if (!out)
        return;
    {
        std::lock_guard<std::mutex> lock(g_mu);
        *out = g_copy;
    }
    const int64_t elapsed_ms = out->published_us ? (g_get_monotonic_time() - out->published_us) / 1000 : 0;
    out->relogin_ms = count_down(out->relogin_ms, elapsed_ms);
    out->nexthb_ms = count_down(out->nexthb_ms, elapsed_ms);
    out->nextphb_ms = count_down(out->nextphb_ms, elapsed_ms);
}

extern "C" void gwagent_status_start(void)
{
    g_timeout_status_publish.cb = publish_cb;
    publish_cb(&g_timeout_status_publish);
}

extern "C" void gwagent_status_stop(void) { uloop_timeout_cancel(&g_timeout_status_publish); }
