/* Command tables and dispatch: CmdType → handler, capability and right checks, answers. */
#ifndef GWAGENT_COMMANDS_CMD_TABLE_H
#define GWAGENT_COMMANDS_CMD_TABLE_H

#include <stddef.h>
#include <stdint.h>

#include <jansson.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A handler answers exactly once through send_cmd_resp and returns its result (or its own negative
 * code). The command object is borrowed; fd is -1. */
typedef int (*cmd_handler_fn)(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);

/* Right 1 forbids execution. Class is carried for the platform's bookkeeping only. */
#define CMD_RIGHT_FORBIDDEN 1

typedef struct cmd_entry {
    const char *CmdType;
    uint8_t cls;
    uint8_t right;
    cmd_handler_fn handler;
} cmd_entry;

/* The main table and the storage table, sorted byte-wise by CmdType. */
extern const cmd_entry *const g_cmd_array;
extern const size_t g_cmd_array_num;
extern const cmd_entry *const g_cmd_nas;
extern const size_t g_cmd_nas_num;

/* Index of the exact CmdType, or -1. */
int gwagent_get_cmdidx(const char *cmd_type);
int gwagent_get_cmdNas(const char *cmd_type);
/* The same binary search on any sorted table. */
int gwagent_find_cmd(const cmd_entry *table, size_t count, const char *cmd_type);

#define SRV_RPC_POST 1
#define SRV_RPC_STORAGE 2
int get_srv_rpc_type(const char *rpc_method);

/* Dispatches one plugin-server message by its "RPCMethod" text. Envelope errors answer nothing and
 * return -1; otherwise exactly one answer is queued and the result is the handler's or -1. */
int handle_server_rpc_message(json_t *msg, const char *rpc_method);
int srv_rpc_handler_post(json_t *msg);
int srv_rpc_handler_storage(json_t *msg);

/* 0 when the device can run the command; otherwise answered already and -1 (WLAN), -2 (voice) or
 * -3 (FTTO master only). */
int check_device_capability(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);

/* Wraps the answer as {"Result":0,"ID":id,"return_Parameter":"<base64>"} and queues it on the plugin
 * server's outgoing queue. 0 queued; -1 not JSON, too long, or the queue is full (nothing sent). */
int send_cmd_resp(const char *resp, int id, int fd);

/* Largest answer whose base64 form fits the 16384-byte area with its terminator. */
#define CMD_RESP_MAX 12285

/* Handlers built so far. */
int cmd_DEL_L3_FORWARDING_IPV4_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_L3_FORWARDING_IPV6_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_PortMapping_CONFIG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_TRAFFIC_QOS_CLASSIFICATION(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_IPSEC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_IPSEC_LOCALSUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_IPSEC_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_L2TP_CLIENT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_L2TP_CLIENT_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_L2TP_SERVER_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_VPN_VXLAN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEL_WMM_SERVICE_IPSET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_GETSTATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_INSTALL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_INST_QUERY(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_OPERATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_APP_UPGRADE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_ZEP_RESTORE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_OXA_ZEP_UPGRADE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_FTTO_DEV_NTI_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_FTTO_MASTER_LAN_PONINFO_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_FTTO_MASTER_NTI_GET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ATTACH_DEVICE_BANDWIDTH(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ATTACH_DEVICE_BANDWIDTH_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ATTCH_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ATTCH_URL_CTRL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_CLOUD_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_DEV_WIFI_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_GUEST_SSID(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_HG_SYSTEM_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_HG_WIFI_TIMER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_L3_FORWARDING_IPV4_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_L3_FORWARDING_IPV6_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_HOST_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_NET_INFO_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LED_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ONT_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PONINFORM_REQ(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PON_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PON_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PON_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PPPOE_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PRECONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_PortMapping_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_SERVICE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_SLEEP_MODE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_STA_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_TRAFFIC_QOS_CLASSIFICATION(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_TRAFFIC_QOS_FLOW(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_URL_CTRL_TEMPLATES_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VOICE_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VOIP_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_IPSEC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_IPSEC_LOCALSUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_IPSEC_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_IPSec_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_IPSec_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_CLIENT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_CLIENT_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_SERVER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_SERVER_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_L2TP_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_VXLAN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_VxLAN_HISTORY_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_VxLAN_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_WIFI_ADV(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_WIFI_HIDE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_WIFI_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_WLAN_INTF_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_WMM_IPSET_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_HG_COMMAND_REBOOT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_HG_LOCAL_RECOVERY(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_PPPOE_DIAG_REQ_BY_WAN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_QUERY_CPU_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_QUERY_MEM_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_QUERY_WAN_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_QUERY_WAN_NUM(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_REGISTER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_REGISTER_GETSTAT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTACH_DEVICE_BANDWIDTH(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTACH_DEVICE_BANDWIDTH_EX(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTACH_DEVICE_RIGHT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTACH_SPEEDUP(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTCH_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ATTCH_URL_CTR(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_GUEST_SSID(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_HG_WIFI_TIMER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_L3_FORWARDING_IPV4_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_L3_FORWARDING_IPV6_CONFIG_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_LAN_PARAMETER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_LED_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_LOG_LEVEL(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_ONT_NAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_PPPOE_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_PortMapping_CONFIG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_SLEEP_MODE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_TRAFFIC_QOS_CLASSIFICATION(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_TRAFFIC_QOS_FLOW(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_URL_CTRL_TEMPLATE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_IPSEC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_IPSEC_LOCALSUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_IPSEC_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_L2TP(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_L2TP_CLIENT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_L2TP_CLIENT_REMOTESUBNETS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_L2TP_SERVER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_L2TP_SERVER_ACCOUNT(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_VPN_VXLAN(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WIFI_ADV(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WIFI_HIDE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WIFI_INFO(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WLAN_SSID_DISABLE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WLAN_SSID_ENABLE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WMM_SERVICE_IPSET(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_WMM_SWITCH(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_Start_BootRegister(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);

/* Storage, log upload and speed test commands; reports and the hardware check. */
int cmd_CHECK_HARDWARE_START(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_CHECK_HARDWARE_STATUS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_DEVICE_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_DEVICE_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_DEVICE_ACCESS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_LAN_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_LAN_DEVICE_ACCESS(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_SET_LAN_SPEED(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_VPN_STATUC_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_VPN_STATUC_TRAFFIC(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_COPY(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_CREATE_FOLDER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_DISC_INF(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_FILE_NUM(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_LIST(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_MOVE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_REMOVE(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_RENAME(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_GET_ZEP_LOG(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_Get_Log(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_HTTP_SPEED_TEST_OVER_TESTSERVER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd, int fd);
int cmd_QUERY_SPEEDTEST_STAT_OVER_TESTSERVER(int id, const char *sequence_id, const char *cmd_type, json_t *cmd,
                                             int fd);

#ifdef __cplusplus
}

namespace gwagent {

// Dispatch against other tables (tests of rows the built tables do not have, such as right 1).
struct CmdTables {
    const cmd_entry *main;
    size_t main_num;
    const cmd_entry *nas;
    size_t nas_num;
};
// Replaces the tables while it lives.
class ScopedCmdTables {
public:
    explicit ScopedCmdTables(const CmdTables &t);
    ~ScopedCmdTables();
    ScopedCmdTables(const ScopedCmdTables &) = delete;
    ScopedCmdTables &operator=(const ScopedCmdTables &) = delete;

private:
    CmdTables saved_;
};
const CmdTables &current_cmd_tables();

// Answers a failure (or success without members) built from the head; the result of send_cmd_resp.
int answer_status(int id, const char *sequence_id, const char *cmd_type, int status, const char *reason, int fd);
// Serialises obj and hands it to send_cmd_resp; -1 when it cannot be serialised.
int answer_json(int id, const json_t *obj, int fd);

}  // namespace gwagent
#endif

#endif
