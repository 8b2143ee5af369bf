/* The agent's global records, start-up steps and reconnect entry point. Main thread only, except
 * where a declaration says otherwise. */
#ifndef GWAGENT_CORE_AGENT_H
#define GWAGENT_CORE_AGENT_H

#include <signal.h>
#include <stddef.h>
#include <stdint.h>

#include <gw/ubox.h>

#include "core/dev_info.h"
#include "core/fifo_buffer.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- connection records: distribution, plugin and message server, in that order -------------- */

#define DOMAIN_DISTR 0
#define DOMAIN_PLUGIN 1
#define DOMAIN_MSG 2
#define DOMAIN_COUNT 3

#define DOMAIN_ADDR_COUNT 3
#define DOMAIN_ADDR_LEN 48

/* Status values; anything above DOMAIN_STATUS_FAILED is reported as idle. */
#define DOMAIN_STATUS_IDLE 0
#define DOMAIN_STATUS_CONNECTED 1
#define DOMAIN_STATUS_BOOTED 2
#define DOMAIN_STATUS_REGISTERED 3
#define DOMAIN_STATUS_HEARTBEAT 4
#define DOMAIN_STATUS_FAILED 5

#define DOMAIN_STAGE_BOOT 0
#define DOMAIN_STAGE_REGISTER 1
#define DOMAIN_STAGE_RUNNING 4
#define DOMAIN_STAGE_IDLE 0xFF

typedef struct gw_domain_info {
    char server[48];
    uint16_t port;
    uint8_t addr_index;
    uint8_t addr_count;
    uint8_t reply_timeout_cnt;
    uint8_t common_err;
    uint32_t keep_time;
    uint32_t hb_interval;
    uint8_t status;
    uint8_t stage;
    uint8_t send_hb;
    uint8_t send_answer;
    uint8_t instruction_result;
    uint32_t disconnect_id;
    int32_t boot_err;
    int32_t register_err;
    int32_t hb_err;
    int32_t cmd_err;
    char addrs[DOMAIN_ADDR_COUNT][DOMAIN_ADDR_LEN];
    char last_error[64];
    /* "ID" of the command being executed (plugin record). */
    int32_t cmd_id;
} gw_domain_info;

extern gw_domain_info app_domain_info[DOMAIN_COUNT];

/* ---- connection state machine ------------------------------------------------------------------ */

/* One stage row: reply reader (text, out result), result handler, request builder (out text). */
typedef int (*srv_rep_ack_fn)(const char *text, int *result);
typedef int (*srv_rep_chk_fn)(int result);
typedef int (*srv_json_req_fn)(char **out);

typedef struct gw_stage_row {
    srv_rep_ack_fn rep_ack;
    srv_rep_chk_fn rep_chk;
    srv_json_req_fn json_req;
} gw_stage_row;

#define STAGE_ROWS 4
/* Row of a stage: stages 0 and 1 use their own row, stage 4 (heartbeat) row 2; row 3 holds the
 * instruction answer builder (distribution) or the command reader and queue taker (plugin). */
#define STAGE_ROW_HB 2
#define STAGE_ROW_CMD 3

typedef struct gw_cc_stm {
    uint8_t addr_report;
    uint32_t HbSendTime;
    uint32_t HbRecvTime;
    gw_stage_row distr[STAGE_ROWS];
    gw_stage_row plugin[STAGE_ROWS];
    gw_stage_row msg[STAGE_ROWS];
} gw_cc_stm;

extern gw_cc_stm g_cc_stm;

/* ---- queues, timers, ubus ------------------------------------------------------------------- */

#define GWAGENT_QUEUE_CAPACITY 10
extern fifo_buffer socket_distr_tx_header;
extern fifo_buffer socket_plug_tx_header;
extern fifo_buffer g_msg_srv_fifo_buf;
/* Creates the three queues once; later calls do nothing. */
void gwagent_queues_init(void);

extern struct uloop_timeout g_timeout_relogin;
extern struct uloop_timeout g_timeout_syslog;

struct ubus_context;
extern struct ubus_context *ctx;
extern const char *ubus_socket;

/* ---- start-up ------------------------------------------------------------------------------- */

#define GWAGENT_DISTR_DEFAULT_PORT 7686
/* The built-in distribution server; operator builds set GWAGENT_DISTR_DEFAULT_ADDR. */
const char *gwagent_distr_default_addr(void);

int set_signal_handler(int sig, void (*handler)(int));
void gwagent_signal_handler(void);
int gwagent_global_init(void);
int gwagent_devinfo_init(void);
/* The device values alone (configuration service and framework version), without the registered
 * flag: what every Boot re-reads. */
int gwagent_devinfo_refresh(void);
void gwagent_set_srv_cb(void);
int gwagent_set_dns(void);
int gwagent_ubus_init(void);
/* The ubus socket: the one given on the command line, else the default below the run-time root.
 * Returns a NUL-terminated copy in out, or NULL when it does not fit. */
const char *gwagent_ubus_socket(char *out, size_t size);
void gwagent_log_init(void);
int gwagent_remote_run(void);

/* Steps of gwagent_global_init, callable alone. */
void gwagent_distr_endpoint_init(void);
void gwagent_vendor_register_init(void);
/* Writes the pid as gwagent.global.pid. 0, or -1. */
int gwagent_store_pid(void);

/* Timer callbacks (tests fire them directly). */
void ucf_timeout_relogin_cb(struct uloop_timeout *t);
void ucf_timeout_syslog_cb(struct uloop_timeout *t);
/* The temporary log level returns to the default ms from now (re-arming replaces the earlier end). */
void gwagent_log_level_restore_after(int ms);

/* The connection layer plugs in here: gwagent_remote_run calls connect_distr once the distribution
 * server is resolved, the relogin timer calls close_all before reconnecting. Null members are
 * skipped. */
typedef struct gwagent_conn_hooks {
    int (*connect_distr)(void);
    void (*close_all)(void);
} gwagent_conn_hooks;
void gwagent_set_conn_hooks(const gwagent_conn_hooks *hooks);

/* Milliseconds of the relogin delay after the n-th failed resolution in a row (n >= 1). */
int gwagent_dns_relogin_ms(int n);

#ifdef __cplusplus
}
#endif

#endif
