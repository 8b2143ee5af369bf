// Stage tables, relogin delays, error processing and closing of the platform connections.
#include <cstdlib>
#include <ctime>

#include "core/agent.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"
#include "platform/conn.h"
#include "platform/packet.h"
#include "platform/records.h"

namespace {

constexpr int kMinuteMs = 60000;
constexpr int kHbReloginMs = 10000;

gw_domain_info &distr() { return app_domain_info[DOMAIN_DISTR]; }
gw_domain_info &plugin() { return app_domain_info[DOMAIN_PLUGIN]; }

uint8_t read_distr_stage() { return app_domain_info[DOMAIN_DISTR].stage; }

uint32_t system_clock() { return static_cast<uint32_t>(time(nullptr)); }
gwagent_clock_fn g_clock = system_clock;

// One row per stage table entry; the generic send and receive paths walk these.
constexpr gw_stage_row kDistrRows[STAGE_ROWS] = {
    {distr_srv_boot_rep_ack, distr_srv_boot_rep_chk, distr_srv_boot_json_req},
    {distr_srv_register_rep_ack, distr_srv_register_rep_chk, distr_srv_register_json_req},
    {distr_srv_hb_rep_ack, distr_srv_hb_rep_chk, distr_srv_hb_json_req},
    {nullptr, nullptr, distr_srv_rpc_json_req},
};
constexpr gw_stage_row kPluginRows[STAGE_ROWS] = {
    {nullptr, nullptr, nullptr},
    {rpc_srv_register_rep_ack, rpc_srv_register_rep_chk, rpc_srv_register_json_req},
    {rpc_srv_hb_rep_ack, rpc_srv_hb_rep_chk, rpc_srv_hb_json_req},
    {rpc_srv_cmd_req_ack, nullptr, rpc_srv_cmd_result},
};

void close_all_hook() { gwagent_close(); }

int random_between(int lo, int hi_excl) { return lo + rand() % (hi_excl - lo); }

}  // namespace

struct uloop_timeout g_timeout_distr_boot0 = {};
struct uloop_timeout g_timeout_distr_register1 = {};
struct uloop_timeout g_timeout_distr_register1_retry = {};
struct uloop_timeout g_timeout_distr_hb_ack = {};
struct uloop_timeout g_timeout_nexthb = {};
struct uloop_timeout g_timeout_plugin_ack = {};
struct uloop_timeout g_timeout_plugin_hb_ack = {};
struct uloop_timeout g_timeout_plugin_hb = {};
struct uloop_timeout g_timeout_plugin_snd = {};
struct uloop_timeout g_timeout_plugin_disconnect = {};
struct uloop_timeout g_timeout_msg_ack = {};
struct uloop_timeout g_timeout_pushd = {};

extern "C" void gwagent_set_clock(gwagent_clock_fn fn) { g_clock = fn ? fn : system_clock; }
extern "C" uint32_t gwagent_now(void) { return g_clock(); }

extern "C" void gwagent_conn_init(void)
{
    for (int i = 0; i < STAGE_ROWS; ++i) {
        g_cc_stm.distr[i] = kDistrRows[i];
        g_cc_stm.plugin[i] = kPluginRows[i];
    }
    g_cc_stm.addr_report = 1;

    struct {
        uloop_timeout *t;
        uloop_timeout_handler cb;
    } const timers[] = {
        {&g_timeout_relogin, ucf_timeout_relogin_cb},
        {&g_timeout_distr_boot0, ucf_timeout_distr_boot0_cb},
        {&g_timeout_distr_register1, ucf_timeout_distr_register1_cb},
        {&g_timeout_distr_register1_retry, ucf_timeout_distr_register1_retry_cb},
        {&g_timeout_distr_hb_ack, ucf_timeout_distr_hb_ack_cb},
        {&g_timeout_nexthb, ucf_timeout_nexthb_cb},
        {&g_timeout_plugin_ack, ucf_timeout_plugin_ack_cb},
        {&g_timeout_plugin_hb_ack, ucf_timeout_plugin_hb_ack_cb},
        {&g_timeout_plugin_hb, ucf_timeout_plugin_hb_cb},
        {&g_timeout_plugin_snd, ucf_timeout_plugin_snd_cb},
        {&g_timeout_plugin_disconnect, ucf_timeout_plugin_disconnect_cb},
        {&g_timeout_msg_ack, ucf_timeout_msg_ack_cb},
        {&g_timeout_pushd, ucf_timeout_pushd_cb},
    };
    for (const auto &row : timers)
        row.t->cb = row.cb;

    g_fd_udp_distr.cb = ucf_udp_distr_fd_cb;
    g_fd_plugin.cb = ucf_plugin_fd_cb;
    g_fd_message.cb = ucf_msg_srv_fd_cb;
    g_fd_pushd.cb = ucf_udp_pushd_fd_cb;

    packet_set_stage_reader(read_distr_stage);
    static const gwagent_conn_hooks hooks = {ucf_connect_distr_srv, close_all_hook};
    gwagent_set_conn_hooks(&hooks);
    gwagent_msg_handoff_init();
}

extern "C" void gwagent_relogin_after(int ms)
{
    g_timeout_relogin.cb = ucf_timeout_relogin_cb;
    uloop_timeout_set(&g_timeout_relogin, ms);
}

extern "C" void gwagent_plugin_disconnect_after(int ms)
{
    g_timeout_plugin_disconnect.cb = ucf_timeout_plugin_disconnect_cb;
    uloop_timeout_set(&g_timeout_plugin_disconnect, ms);
}

extern "C" int gwagent_boot_relogin_ms(int n)
{
    if (n <= 3)
        return kMinuteMs;
    return kMinuteMs * (n <= 6 ? random_between(3, 5) : random_between(5, 10));
}

extern "C" void ucf_distr_err_process(void)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_DEBUG, "Now stage: %d", d.stage);
    switch (d.stage) {
    case DOMAIN_STAGE_BOOT:
        GWLOG(LOG_LVL_DEBUG, "distrSrv boot err cnt = %d", d.boot_err);
        if (d.boot_err <= 0)
            return;
        d.stage = DOMAIN_STAGE_IDLE;
        gwagent_relogin_after(gwagent_boot_relogin_ms(d.boot_err));
        return;
    case DOMAIN_STAGE_REGISTER:
        GWLOG(LOG_LVL_DEBUG, "distrSrv register err cnt = %d", d.register_err);
        if (d.register_err <= 0)
            return;
        if (d.register_err <= 3) {
            uloop_timeout_set(&g_timeout_distr_register1_retry, kMinuteMs);
            return;
        }
        d.stage = DOMAIN_STAGE_IDLE;
        gwagent_relogin_after(kMinuteMs);
        return;
    case DOMAIN_STAGE_RUNNING: {
        GWLOG(LOG_LVL_DEBUG, "distrSrv hb/push err cnt = %d", d.hb_err);
        if (d.hb_err > 3) {
            d.stage = DOMAIN_STAGE_IDLE;
            gwagent_relogin_after(kHbReloginMs);
            return;
        }
        uint32_t secs = d.hb_interval;
        if (g_dev_info.MessageID[0] == '1' || g_cc_stm.addr_report)
            secs /= 2;
        uloop_timeout_set(&g_timeout_nexthb, static_cast<int>(secs * 1000));
        return;
    }
    default:
        return;
    }
}

extern "C" void ucf_distr_cmd_err_process(void)
{
    gw_domain_info &d = distr();
    GWLOG(LOG_LVL_DEBUG, "distri cmd err cnt = %d", d.cmd_err);
    if (d.cmd_err == 0)
        return;
    if (d.cmd_err > 3) {
        d.stage = DOMAIN_STAGE_IDLE;
        gwagent_relogin_after(kHbReloginMs);
        return;
    }
    d.send_answer = 1;
    ucf_distr_fd_cb_write();
}

extern "C" void ucf_rpc_err_process(void)
{
    gw_domain_info &p = plugin();
    GWLOG(LOG_LVL_DEBUG, "Now stage: %d", p.stage);
    if (p.stage == DOMAIN_STAGE_REGISTER) {
        GWLOG(LOG_LVL_DEBUG, "plugin register err cnt = %d", p.register_err);
        if (p.register_err == 0)
            return;
        if (p.register_err < 4)
            ucf_uloop_fd_add(&g_fd_plugin, ULOOP_WRITE);
        else
            gwagent_close_plugin();
    } else if (p.stage == DOMAIN_STAGE_RUNNING) {
        GWLOG(LOG_LVL_DEBUG, "plugin hb err cnt = %d", p.hb_err);
        if (p.hb_err == 0)
            return;
        if (p.hb_err < 4)
            uloop_timeout_set(&g_timeout_plugin_hb,
                              static_cast<int>(static_cast<uint64_t>(p.hb_err) * p.hb_interval * 1000 / 2));
        else
            gwagent_close_plugin();
    }
}

extern "C" void gwagent_close_distr(void)
{
    GWLOG(LOG_LVL_INFO, "close distr connect!");
    uloop_timeout *const timers[] = {
        &g_timeout_relogin,         &g_timeout_distr_hb_ack,          &g_timeout_distr_boot0,
        &g_timeout_distr_register1, &g_timeout_distr_register1_retry, &g_timeout_nexthb,
        &g_timeout_syslog};
    for (uloop_timeout *t : timers)
        uloop_timeout_cancel(t);
    if (g_fd_udp_distr.fd >= 0) {
        GWLOG(LOG_LVL_WARN, "close distri fd");
        ucf_close_uloop_fd(&g_fd_udp_distr);
    }
    gw_domain_info &d = distr();
    d.send_hb = 0;
    d.send_answer = 0;
    d.addr_index = 0;
    d.instruction_result = 0;
    d.keep_time = 300;
    d.hb_interval = 60;
    d.stage = DOMAIN_STAGE_IDLE;
}

extern "C" void gwagent_close_plugin(void)
{
    GWLOG(LOG_LVL_WARN, "close plugin connect!");
    uloop_timeout *const timers[] = {&g_timeout_plugin_hb, &g_timeout_plugin_hb_ack, &g_timeout_plugin_disconnect,
                                     &g_timeout_plugin_ack, &g_timeout_plugin_snd};
    for (uloop_timeout *t : timers)
        uloop_timeout_cancel(t);
    if (g_fd_plugin.fd >= 0)
        ucf_close_uloop_fd(&g_fd_plugin);
    gw_domain_info &p = plugin();
    p.keep_time = 0;
    p.hb_interval = 0;
    p.addr_index = 0;
    p.addr_count = 0;
    p.status = DOMAIN_STATUS_IDLE;
    p.stage = DOMAIN_STAGE_IDLE;
    p.boot_err = 0;
    p.register_err = 0;
    p.hb_err = 0;
    p.cmd_err = 0;
    fifo_buffer_clear(&socket_plug_tx_header);
}

extern "C" void gwagent_close(void)
{
    gwagent_close_plugin();
    gwagent_close_distr();
    g_cc_stm.addr_report = 1;
}

extern "C" void gwagent_close_pushd(void)
{
    GWLOG(LOG_LVL_INFO, "close pushd connect!");
    uloop_timeout_cancel(&g_timeout_pushd);
    if (g_fd_pushd.fd >= 0) {
        GWLOG(LOG_LVL_WARN, "close pushd fd");
        ucf_close_uloop_fd(&g_fd_pushd);
        g_fd_pushd.fd = -1;
    }
    fifo_buffer_clear(&socket_distr_tx_header);
}
