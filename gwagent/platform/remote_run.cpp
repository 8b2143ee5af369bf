// Resolving the distribution server and the relogin back-off.
#include <cstdint>
#include <cstring>

#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "gwbus/strutil.h"
#include "platform/records.h"

namespace {

gwagent_conn_hooks g_hooks{};

constexpr int kMinuteMs = 60000;
constexpr int kStepLimit = 5;

}  // namespace

extern "C" void gwagent_set_conn_hooks(const gwagent_conn_hooks *hooks)
{
    g_hooks = hooks ? *hooks : gwagent_conn_hooks{};
}

extern "C" int gwagent_dns_relogin_ms(int n) { return n >= 1 && n <= kStepLimit ? n * kMinuteMs : 10 * kMinuteMs; }

extern "C" int gwagent_remote_run(void)
{
    fifo_buffer_clear(&socket_distr_tx_header);
    GWLOG(LOG_LVL_NOTICE, "=== Start connect the distribute platform use udp ===");

    gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    gw_domain_info &p = app_domain_info[DOMAIN_PLUGIN];
    d.hb_err = 0;
    d.hb_interval = 60;
    d.status = DOMAIN_STATUS_IDLE;
    d.stage = DOMAIN_STAGE_IDLE;
    p.status = DOMAIN_STATUS_IDLE;
    p.stage = DOMAIN_STAGE_IDLE;

    int found = d.addr_count;
    if (found == 0) {
        found = ucf_dns_resolver(d.server, d.addrs);
        if (found < 0)
            found = 0;
    }
    if (found == 0) {
        gwagent_set_dns();
        d.status = DOMAIN_STATUS_FAILED;
        // Saturates: a wrap to 0 would restart the back-off at one minute.
        if (d.common_err < UINT8_MAX)
            ++d.common_err;
        const int n = d.common_err;
        const int delay = gwagent_dns_relogin_ms(n);
        if (n >= 1 && n <= kStepLimit)
            GWLOG(LOG_LVL_WARN, "dns failed, count: %d, relogin %d minutes later.", n, delay / kMinuteMs);
        else
            GWLOG(LOG_LVL_ERR, "dns failed, count: %d, relogin 10 minutes later.", n);
        g_timeout_relogin.cb = ucf_timeout_relogin_cb;
        uloop_timeout_set(&g_timeout_relogin, delay);
        copy_truncated(d.last_error, "platform dns name resolver failed.");
        return 0;
    }

    uloop_timeout_cancel(&g_timeout_relogin);
    d.common_err = 0;
    d.addr_count = static_cast<uint8_t>(found > DOMAIN_ADDR_COUNT ? DOMAIN_ADDR_COUNT : found);
    d.last_error[0] = '\0';
    if (g_hooks.connect_distr)
        g_hooks.connect_distr();
    return 0;
}

extern "C" void ucf_timeout_relogin_cb(struct uloop_timeout *)
{
    const gw_domain_info &d = app_domain_info[DOMAIN_DISTR];
    GWLOG(LOG_LVL_NOTICE,
          "relogin, the error counter is common err: %d, boot err: %d, register err: %d, hb err: %d, cmd err: %d",
          d.common_err, d.boot_err, d.register_err, d.hb_err, d.cmd_err);
    if (g_hooks.close_all)
        g_hooks.close_all();
    gwagent_remote_run();
}
