/* The connection records of the three servers, their stage tables and queues, the distribution
 * endpoint, the reconnect entry point and the start-up that ends with them. Main thread only. */
#ifndef GWAGENT_PLATFORM_RECORDS_H
#define GWAGENT_PLATFORM_RECORDS_H

#include <stdint.h>

#include <gw/ubox.h>

#include "core/agent.h"
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

/* ---- queues ------------------------------------------------------------------- */

#define GWAGENT_QUEUE_CAPACITY 10
extern fifo_buffer socket_distr_tx_header;
extern fifo_buffer socket_plug_tx_header;
extern fifo_buffer g_msg_srv_fifo_buf;
/* Creates the three queues once; later calls do nothing. */
void gwagent_queues_init(void);

/* ---- start-up and reconnect ------------------------------------------------------------------ */

/* Every start-up step in order: logging, loop, pid, queues, zeroed records, DNS, the distribution
 * endpoint, the device record and the vendor registration. */
int gwagent_global_init(void);
/* Decides the address report: the first heartbeat after start carries the WAN address. */
void gwagent_set_srv_cb(void);

#define GWAGENT_DISTR_DEFAULT_PORT 7686
/* The built-in distribution server; operator builds set GWAGENT_DISTR_DEFAULT_ADDR. */
const char *gwagent_distr_default_addr(void);
/* The distribution server from the platform address file, else the built-in one; a new server
 * clears the registration. */
void gwagent_distr_endpoint_init(void);

int gwagent_remote_run(void);
extern struct uloop_timeout g_timeout_relogin;
void ucf_timeout_relogin_cb(struct uloop_timeout *t);

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
