/* The platform connections: distribution server (UDP), plugin server (TCP), message server (TCP),
 * the pushd FIFO, their timers, error processing and closing, and the agent's own reports.
 * Main thread only, except gwagent_message_push, which any thread may call. */
#ifndef GWAGENT_PLATFORM_CONN_H
#define GWAGENT_PLATFORM_CONN_H

#include <stddef.h>
#include <stdint.h>

#include <gw/ubox.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- start-up -------------------------------------------------------------------------------- */

/* Fills the stage tables of g_cc_stm, installs the connection hooks of gwagent_remote_run and the
 * packet's stage reader, and the descriptor handlers. Call once uloop is initialised. */
void gwagent_conn_init(void);

/* ---- timers ---------------------------------------------------------------------------------- */

extern struct uloop_timeout g_timeout_distr_boot0;
extern struct uloop_timeout g_timeout_distr_register1;
extern struct uloop_timeout g_timeout_distr_register1_retry;
extern struct uloop_timeout g_timeout_distr_hb_ack;
extern struct uloop_timeout g_timeout_nexthb;
extern struct uloop_timeout g_timeout_plugin_ack;
extern struct uloop_timeout g_timeout_plugin_hb_ack;
extern struct uloop_timeout g_timeout_plugin_hb;
extern struct uloop_timeout g_timeout_plugin_snd;
extern struct uloop_timeout g_timeout_plugin_disconnect;
extern struct uloop_timeout g_timeout_msg_ack;
extern struct uloop_timeout g_timeout_pushd;

void ucf_timeout_distr_boot0_cb(struct uloop_timeout *t);
void ucf_timeout_distr_register1_cb(struct uloop_timeout *t);
void ucf_timeout_distr_register1_retry_cb(struct uloop_timeout *t);
void ucf_timeout_distr_hb_ack_cb(struct uloop_timeout *t);
void ucf_timeout_nexthb_cb(struct uloop_timeout *t);
void ucf_timeout_plugin_ack_cb(struct uloop_timeout *t);
void ucf_timeout_plugin_hb_ack_cb(struct uloop_timeout *t);
void ucf_timeout_plugin_hb_cb(struct uloop_timeout *t);
void ucf_timeout_plugin_snd_cb(struct uloop_timeout *t);
void ucf_timeout_plugin_disconnect_cb(struct uloop_timeout *t);
void ucf_timeout_msg_ack_cb(struct uloop_timeout *t);
void ucf_timeout_pushd_cb(struct uloop_timeout *t);

/* Arms the relogin timer. */
void gwagent_relogin_after(int ms);
/* Leaves the plugin server ms from now (re-arming replaces an earlier request). */
void gwagent_plugin_disconnect_after(int ms);
/* Relogin delay in ms after the n-th Boot failure in a row (random for n > 3). */
int gwagent_boot_relogin_ms(int n);

/* ---- error processing and closing ------------------------------------------------------------ */

void ucf_distr_err_process(void);
void ucf_distr_cmd_err_process(void);
void ucf_rpc_err_process(void);

void gwagent_close_distr(void);
void gwagent_close_plugin(void);
void gwagent_close_pushd(void);
void gwagent_close(void);

/* ---- distribution server --------------------------------------------------------------------- */

int ucf_connect_distr_srv(void);
void ucf_distr_fd_cb_write(void);
void ucf_distr_fd_cb_read(void);
void ucf_udp_distr_fd_cb(struct uloop_fd *fd, unsigned int events);

int distr_srv_boot_json_req(char **out);
int distr_srv_boot_rep_ack(const char *text, int *result);
int distr_srv_boot_rep_chk(int result);
int distr_srv_register_json_req(char **out);
int distr_srv_register_rep_ack(const char *text, int *result);
int distr_srv_register_rep_chk(int result);
int distr_srv_hb_json_req(char **out);
int distr_srv_hb_rep_ack(const char *text, int *result);
int distr_srv_hb_rep_chk(int result);
int distr_srv_rpc_json_req(char **out);

/* Seconds since the epoch; tests replace it. */
typedef uint32_t (*gwagent_clock_fn)(void);
void gwagent_set_clock(gwagent_clock_fn fn);
uint32_t gwagent_now(void);

/* What the Boot request calls to re-read the device values (default gwagent_devinfo_refresh); tests
 * without a configuration service replace it, NULL restores the default. */
typedef int (*gwagent_devinfo_fn)(void);
void gwagent_set_devinfo_refresh(gwagent_devinfo_fn fn);

/* ---- plugin server --------------------------------------------------------------------------- */

int ucf_connect_plugin_srv(void);
void ucf_plugin_fd_cb(struct uloop_fd *fd, unsigned int events);
void ucf_plug_fd_cb_write2(void);
void ucf_plug_fd_cb_read1(void);

int rpc_srv_register_json_req(char **out);
int rpc_srv_register_rep_ack(const char *text, int *result);
int rpc_srv_register_rep_chk(int result);
int rpc_srv_hb_json_req(char **out);
int rpc_srv_hb_rep_ack(const char *text, int *result);
int rpc_srv_hb_rep_chk(int result);
int rpc_srv_cmd_req_ack(const char *text, int *result);
int rpc_srv_cmd_result(char **out);

/* ---- message server and pushd FIFO ----------------------------------------------------------- */

/* Queues a copy of the report (the oldest entry gives way when the queue is full) and starts the
 * message server connection: the result of ucf_connect_msgsrv on the main thread; from another
 * thread the connect step is handed to the main loop and 0 is returned. */
int gwagent_message_push(const char *msg, int len);
int rpc_message_push(const char *msg, int len, char *out, size_t out_size);
/* 1 already connected, 0 connecting, -1 failure. */
int ucf_connect_msgsrv(void);
void ucf_msg_srv_fd_cb(struct uloop_fd *fd, unsigned int events);
/* The MessagePush time text of a broken-down local time: "%4d%02d%02d%02d%02d%02d", spaces as '0'. */
void gwagent_msg_time_text(const struct tm *tm, char out[15]);
/* Pause after each message sent, in microseconds (tests set 0). */
void gwagent_set_msg_pause_us(unsigned us);
/* Registers the main-loop end of the cross-thread hand-over; gwagent_conn_init calls it. */
void gwagent_msg_handoff_init(void);
void gwagent_msg_handoff_done(void);
/* 1 on the thread that runs the main loop (or before it is known), else 0. */
int gwagent_on_main_thread(void);

int ucf_connect_pushd_srv(void);
void ucf_udp_pushd_fd_cb(struct uloop_fd *fd, unsigned int events);
void ucf_pushd_fd_cb_read(void);

/* ---- ubus command line and reports ----------------------------------------------------------- */

/* Runs "ubus call <object> <method> <json>" without a shell (the program "ubus" from PATH) and
 * waits for it. Its exit status, or -1 when it could not be run. */
int gwagent_ubus_call(const char *object, const char *method, const char *json_arg);

int msg_OXA_VER_REP(void);
int msg_OXA_UPG_REP(const char *pkg_name, int result);
int msg_DEVICE_INFO_REP(void);
/* "name:version/..." of the installed plug-in packages, at most 4095 characters. 0, or -1. */
int gwagent_plugin_list(char *out, size_t out_size);

#ifdef __cplusplus
}
#endif

#endif
