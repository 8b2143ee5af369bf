// The command tables: one row per built command, sorted byte-wise by CmdType. A command without a
// row is answered as unknown (Invalid_CmdType).
#include "commands/cmd_table.h"

#include <cstring>
#include <iterator>

namespace {

constexpr int const_strcmp(const char *a, const char *b)
{
    while (*a && *a == *b) {
        ++a;
        ++b;
    }
    return static_cast<unsigned char>(*a) - static_cast<unsigned char>(*b);
}

template <size_t N> constexpr bool sorted_unique(const cmd_entry (&t)[N])
{
    for (size_t i = 1; i < N; ++i)
        if (const_strcmp(t[i - 1].CmdType, t[i].CmdType) >= 0)
            return false;
    return true;
}

// The row count follows from the rows; add a row, nothing else.
constexpr cmd_entry kCmdArray[] = {
    {"CHECK_HARDWARE_START", 1, 0, cmd_CHECK_HARDWARE_START},
    {"CHECK_HARDWARE_STATUS", 1, 0, cmd_CHECK_HARDWARE_STATUS},
    {"DEL_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2, cmd_DEL_L3_FORWARDING_IPV4_CONFIG_INFO},
    {"DEL_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2, cmd_DEL_L3_FORWARDING_IPV6_CONFIG_INFO},
    {"DEL_PortMapping_CONFIG", 0, 2, cmd_DEL_PortMapping_CONFIG},
    {"DEL_TRAFFIC_QOS_CLASSIFICATION", 0, 2, cmd_DEL_TRAFFIC_QOS_CLASSIFICATION},
    {"DEL_URL_CTRL_TEMPLATE", 0, 0, cmd_DEL_URL_CTRL_TEMPLATE},
    {"DEL_VPN_IPSEC", 0, 2, cmd_DEL_VPN_IPSEC},
    {"DEL_VPN_IPSEC_LOCALSUBNETS", 0, 2, cmd_DEL_VPN_IPSEC_LOCALSUBNETS},
    {"DEL_VPN_IPSEC_REMOTESUBNETS", 0, 2, cmd_DEL_VPN_IPSEC_REMOTESUBNETS},
    {"DEL_VPN_L2TP_CLIENT", 0, 2, cmd_DEL_VPN_L2TP_CLIENT},
    {"DEL_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2, cmd_DEL_VPN_L2TP_CLIENT_REMOTESUBNETS},
    {"DEL_VPN_L2TP_SERVER_ACCOUNT", 0, 2, cmd_DEL_VPN_L2TP_SERVER_ACCOUNT},
    {"DEL_VPN_VXLAN", 0, 2, cmd_DEL_VPN_VXLAN},
    {"DEL_WMM_SERVICE_IPSET", 0, 2, cmd_DEL_WMM_SERVICE_IPSET},
    {"DEVICE_SPEED", 0, 0, cmd_DEVICE_SPEED},
    {"FTTO_DEV_NTI_GET", 1, 0, cmd_FTTO_DEV_NTI_GET},
    {"FTTO_MASTER_LAN_PONINFO_GET", 1, 0, cmd_FTTO_MASTER_LAN_PONINFO_GET},
    {"FTTO_MASTER_NTI_GET", 1, 0, cmd_FTTO_MASTER_NTI_GET},
    {"GET_ATTACH_DEVICE_BANDWIDTH", 0, 0, cmd_GET_ATTACH_DEVICE_BANDWIDTH},
    {"GET_ATTACH_DEVICE_BANDWIDTH_EX", 0, 0, cmd_GET_ATTACH_DEVICE_BANDWIDTH_EX},
    {"GET_ATTACH_DEVICE_RIGHT", 1, 0, cmd_GET_ATTACH_DEVICE_RIGHT},
    {"GET_ATTCH_NAME", 1, 0, cmd_GET_ATTCH_NAME},
    {"GET_ATTCH_URL_CTRL", 0, 0, cmd_GET_ATTCH_URL_CTRL},
    {"GET_CLOUD_STATUS", 1, 0, cmd_GET_CLOUD_STATUS},
    {"GET_DEVICE_SPEED", 0, 0, cmd_GET_DEVICE_SPEED},
    {"GET_DEV_WIFI_INFO", 0, 0, cmd_GET_DEV_WIFI_INFO},
    {"GET_GUEST_SSID", 0, 0, cmd_GET_GUEST_SSID},
    {"GET_HG_SYSTEM_INFO", 1, 0, cmd_GET_HG_SYSTEM_INFO},
    {"GET_HG_WIFI_TIMER", 1, 0, cmd_GET_HG_WIFI_TIMER},
    {"GET_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2, cmd_GET_L3_FORWARDING_IPV4_CONFIG_INFO},
    {"GET_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2, cmd_GET_L3_FORWARDING_IPV6_CONFIG_INFO},
    {"GET_LAN_DEVICE_ACCESS", 0, 0, cmd_GET_LAN_DEVICE_ACCESS},
    {"GET_LAN_HISTORY_TRAFFIC", 0, 2, cmd_GET_LAN_HISTORY_TRAFFIC},
    {"GET_LAN_HOST_INFO", 1, 0, cmd_GET_LAN_HOST_INFO},
    {"GET_LAN_NET_INFO_EX", 1, 0, cmd_GET_LAN_NET_INFO_EX},
    {"GET_LAN_PARAMETER", 1, 0, cmd_GET_LAN_PARAMETER},
    {"GET_LAN_SPEED", 0, 2, cmd_GET_LAN_SPEED},
    {"GET_LAN_STATUS", 1, 2, cmd_GET_LAN_STATUS},
    {"GET_LAN_TRAFFIC", 1, 2, cmd_GET_LAN_TRAFFIC},
    {"GET_LED_STATUS", 0, 0, cmd_GET_LED_STATUS},
    {"GET_ONT_NAME", 0, 0, cmd_GET_ONT_NAME},
    {"GET_PONINFORM_REQ", 1, 0, cmd_GET_PONINFORM_REQ},
    {"GET_PON_HISTORY_TRAFFIC", 1, 0, cmd_GET_PON_HISTORY_TRAFFIC},
    {"GET_PON_STATUS", 1, 0, cmd_GET_PON_STATUS},
    {"GET_PON_TRAFFIC", 0, 0, cmd_GET_PON_TRAFFIC},
    {"GET_PPPOE_ACCOUNT", 1, 0, cmd_GET_PPPOE_ACCOUNT},
    {"GET_PRECONFIG_INFO", 0, 0, cmd_GET_PRECONFIG_INFO},
    {"GET_PortMapping_LIST", 0, 2, cmd_GET_PortMapping_LIST},
    {"GET_SERVICE", 1, 0, cmd_GET_SERVICE},
    {"GET_SLEEP_MODE", 1, 0, cmd_GET_SLEEP_MODE},
    {"GET_STA_TRAFFIC", 1, 0, cmd_GET_STA_TRAFFIC},
    {"GET_TRAFFIC_QOS_CLASSIFICATION", 0, 2, cmd_GET_TRAFFIC_QOS_CLASSIFICATION},
    {"GET_TRAFFIC_QOS_FLOW", 0, 2, cmd_GET_TRAFFIC_QOS_FLOW},
    {"GET_URL_CTRL_TEMPLATE", 0, 0, cmd_GET_URL_CTRL_TEMPLATE},
    {"GET_URL_CTRL_TEMPLATES_LIST", 0, 0, cmd_GET_URL_CTRL_TEMPLATES_LIST},
    {"GET_VOICE_INFO", 1, 0, cmd_GET_VOICE_INFO},
    {"GET_VOIP_STATUS", 1, 0, cmd_GET_VOIP_STATUS},
    {"GET_VPN", 0, 2, cmd_GET_VPN},
    {"GET_VPN_IPSEC", 0, 2, cmd_GET_VPN_IPSEC},
    {"GET_VPN_IPSEC_LOCALSUBNETS", 0, 2, cmd_GET_VPN_IPSEC_LOCALSUBNETS},
    {"GET_VPN_IPSEC_REMOTESUBNETS", 0, 2, cmd_GET_VPN_IPSEC_REMOTESUBNETS},
    {"GET_VPN_IPSec_HISTORY_TRAFFIC", 0, 2, cmd_GET_VPN_IPSec_HISTORY_TRAFFIC},
    {"GET_VPN_IPSec_TRAFFIC", 0, 2, cmd_GET_VPN_IPSec_TRAFFIC},
    {"GET_VPN_L2TP", 0, 2, cmd_GET_VPN_L2TP},
    {"GET_VPN_L2TP_CLIENT", 0, 2, cmd_GET_VPN_L2TP_CLIENT},
    {"GET_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2, cmd_GET_VPN_L2TP_CLIENT_REMOTESUBNETS},
    {"GET_VPN_L2TP_HISTORY_TRAFFIC", 0, 2, cmd_GET_VPN_L2TP_HISTORY_TRAFFIC},
    {"GET_VPN_L2TP_SERVER", 0, 2, cmd_GET_VPN_L2TP_SERVER},
    {"GET_VPN_L2TP_SERVER_ACCOUNT", 0, 2, cmd_GET_VPN_L2TP_SERVER_ACCOUNT},
    {"GET_VPN_L2TP_TRAFFIC", 0, 2, cmd_GET_VPN_L2TP_TRAFFIC},
    {"GET_VPN_STATUC_TRAFFIC", 0, 2, cmd_GET_VPN_STATUC_TRAFFIC},
    {"GET_VPN_VXLAN", 0, 2, cmd_GET_VPN_VXLAN},
    {"GET_VPN_VxLAN_HISTORY_TRAFFIC", 0, 2, cmd_GET_VPN_VxLAN_HISTORY_TRAFFIC},
    {"GET_VPN_VxLAN_TRAFFIC", 0, 2, cmd_GET_VPN_VxLAN_TRAFFIC},
    {"GET_WIFI_ADV", 1, 0, cmd_GET_WIFI_ADV},
    {"GET_WIFI_HIDE", 1, 0, cmd_GET_WIFI_HIDE},
    {"GET_WIFI_INFO", 1, 0, cmd_GET_WIFI_INFO},
    {"GET_WLAN_INTF_INFO", 1, 0, cmd_GET_WLAN_INTF_INFO},
    {"GET_WMM_IPSET_INFO", 0, 2, cmd_GET_WMM_IPSET_INFO},
    {"GET_ZEP_LOG", 0, 2, cmd_GET_ZEP_LOG},
    {"Get_Log", 0, 0, cmd_Get_Log},
    {"HG_COMMAND_REBOOT", 1, 0, cmd_HG_COMMAND_REBOOT},
    {"HG_LOCAL_RECOVERY", 1, 0, cmd_HG_LOCAL_RECOVERY},
    {"HTTP_SPEED_TEST_OVER_TESTSERVER", 1, 0, cmd_HTTP_SPEED_TEST_OVER_TESTSERVER},
    {"LAN_DEVICE_ACCESS", 0, 0, cmd_LAN_DEVICE_ACCESS},
    {"OXA_APP_GETSTATUS", 0, 2, cmd_OXA_APP_GETSTATUS},
    {"OXA_APP_INSTALL", 0, 2, cmd_OXA_APP_INSTALL},
    {"OXA_APP_INST_QUERY", 0, 2, cmd_OXA_APP_INST_QUERY},
    {"OXA_APP_LIST", 0, 2, cmd_OXA_APP_LIST},
    {"OXA_APP_OPERATE", 0, 2, cmd_OXA_APP_OPERATE},
    {"OXA_APP_UPGRADE", 0, 2, cmd_OXA_APP_UPGRADE},
    {"OXA_ZEP_RESTORE", 0, 2, cmd_OXA_ZEP_RESTORE},
    {"OXA_ZEP_UPGRADE", 0, 2, cmd_OXA_ZEP_UPGRADE},
    {"PPPOE_DIAG_REQ_BY_WAN", 1, 0, cmd_PPPOE_DIAG_REQ_BY_WAN},
    {"QUERY_CPU_INFO", 1, 0, cmd_QUERY_CPU_INFO},
    {"QUERY_MEM_INFO", 1, 0, cmd_QUERY_MEM_INFO},
    {"QUERY_SPEEDTEST_STAT_OVER_TESTSERVER", 1, 0, cmd_QUERY_SPEEDTEST_STAT_OVER_TESTSERVER},
    {"QUERY_WAN_INFO", 1, 0, cmd_QUERY_WAN_INFO},
    {"QUERY_WAN_NUM", 1, 0, cmd_QUERY_WAN_NUM},
    {"REGISTER", 1, 0, cmd_REGISTER},
    {"REGISTER_GETSTAT", 1, 0, cmd_REGISTER_GETSTAT},
    {"SET_ATTACH_DEVICE_BANDWIDTH", 0, 0, cmd_SET_ATTACH_DEVICE_BANDWIDTH},
    {"SET_ATTACH_DEVICE_BANDWIDTH_EX", 0, 0, cmd_SET_ATTACH_DEVICE_BANDWIDTH_EX},
    {"SET_ATTACH_DEVICE_RIGHT", 1, 0, cmd_SET_ATTACH_DEVICE_RIGHT},
    {"SET_ATTACH_SPEEDUP", 0, 0, cmd_SET_ATTACH_SPEEDUP},
    {"SET_ATTCH_NAME", 1, 0, cmd_SET_ATTCH_NAME},
    {"SET_ATTCH_URL_CTR", 0, 0, cmd_SET_ATTCH_URL_CTR},
    {"SET_GUEST_SSID", 0, 0, cmd_SET_GUEST_SSID},
    {"SET_HG_WIFI_TIMER", 1, 0, cmd_SET_HG_WIFI_TIMER},
    {"SET_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2, cmd_SET_L3_FORWARDING_IPV4_CONFIG_INFO},
    {"SET_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2, cmd_SET_L3_FORWARDING_IPV6_CONFIG_INFO},
    {"SET_LAN_PARAMETER", 1, 0, cmd_SET_LAN_PARAMETER},
    {"SET_LAN_SPEED", 0, 2, cmd_SET_LAN_SPEED},
    {"SET_LED_STATUS", 1, 0, cmd_SET_LED_STATUS},
    {"SET_LOG_LEVEL", 0, 0, cmd_SET_LOG_LEVEL},
    {"SET_ONT_NAME", 0, 0, cmd_SET_ONT_NAME},
    {"SET_PPPOE_ACCOUNT", 1, 0, cmd_SET_PPPOE_ACCOUNT},
    {"SET_PortMapping_CONFIG", 0, 2, cmd_SET_PortMapping_CONFIG},
    {"SET_SLEEP_MODE", 1, 0, cmd_SET_SLEEP_MODE},
    {"SET_TRAFFIC_QOS_CLASSIFICATION", 0, 2, cmd_SET_TRAFFIC_QOS_CLASSIFICATION},
    {"SET_TRAFFIC_QOS_FLOW", 0, 2, cmd_SET_TRAFFIC_QOS_FLOW},
    {"SET_URL_CTRL_TEMPLATE", 0, 0, cmd_SET_URL_CTRL_TEMPLATE},
    {"SET_VPN", 0, 2, cmd_SET_VPN},
    {"SET_VPN_IPSEC", 0, 2, cmd_SET_VPN_IPSEC},
    {"SET_VPN_IPSEC_LOCALSUBNETS", 0, 2, cmd_SET_VPN_IPSEC_LOCALSUBNETS},
    {"SET_VPN_IPSEC_REMOTESUBNETS", 0, 2, cmd_SET_VPN_IPSEC_REMOTESUBNETS},
    {"SET_VPN_L2TP", 0, 2, cmd_SET_VPN_L2TP},
    {"SET_VPN_L2TP_CLIENT", 0, 2, cmd_SET_VPN_L2TP_CLIENT},
    {"SET_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2, cmd_SET_VPN_L2TP_CLIENT_REMOTESUBNETS},
    {"SET_VPN_L2TP_SERVER", 0, 2, cmd_SET_VPN_L2TP_SERVER},
    {"SET_VPN_L2TP_SERVER_ACCOUNT", 0, 2, cmd_SET_VPN_L2TP_SERVER_ACCOUNT},
    {"SET_VPN_VXLAN", 0, 2, cmd_SET_VPN_VXLAN},
    {"SET_WIFI_ADV", 1, 0, cmd_SET_WIFI_ADV},
    {"SET_WIFI_HIDE", 1, 0, cmd_SET_WIFI_HIDE},
    {"SET_WIFI_INFO", 1, 0, cmd_SET_WIFI_INFO},
    {"SET_WLAN_SSID_DISABLE", 1, 0, cmd_SET_WLAN_SSID_DISABLE},
    {"SET_WLAN_SSID_ENABLE", 1, 0, cmd_SET_WLAN_SSID_ENABLE},
    {"SET_WMM_SERVICE_IPSET", 0, 2, cmd_SET_WMM_SERVICE_IPSET},
    {"SET_WMM_SWITCH", 0, 2, cmd_SET_WMM_SWITCH},
    {"Start_BootRegister", 0, 2, cmd_Start_BootRegister},
    {"VPN_STATUC_TRAFFIC", 0, 2, cmd_VPN_STATUC_TRAFFIC},
};
static_assert(sorted_unique(kCmdArray), "the command table must be sorted for the binary search");

// The storage commands, all class 0, right 2.
constexpr cmd_entry kCmdNas[] = {
    {"COPY", 0, 2, cmd_COPY},
    {"CREATE_FOLDER", 0, 2, cmd_CREATE_FOLDER},
    {"GET_DISC_INF", 0, 2, cmd_GET_DISC_INF},
    {"GET_FILE_NUM", 0, 2, cmd_GET_FILE_NUM},
    {"LIST", 0, 2, cmd_LIST},
    {"MOVE", 0, 2, cmd_MOVE},
    {"REMOVE", 0, 2, cmd_REMOVE},
    {"RENAME", 0, 2, cmd_RENAME},
};
static_assert(sorted_unique(kCmdNas), "the storage table must be sorted for the binary search");

gwagent::CmdTables g_tables{kCmdArray, std::size(kCmdArray), kCmdNas, std::size(kCmdNas)};

}  // namespace

extern "C" {
const cmd_entry *const g_cmd_array = kCmdArray;
const size_t g_cmd_array_num = std::size(kCmdArray);
const cmd_entry *const g_cmd_nas = kCmdNas;
const size_t g_cmd_nas_num = std::size(kCmdNas);
}

extern "C" int gwagent_find_cmd(const cmd_entry *table, size_t count, const char *cmd_type)
{
    if (!table || !cmd_type || count == 0)
        return -1;
    long low = 0;
    long high = static_cast<long>(count) - 1;
    while (high >= low) {
        const long mid = (low + high + 1) / 2;
        const int c = strcmp(table[mid].CmdType, cmd_type);
        if (c == 0)
            return static_cast<int>(mid);
        if (c < 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return -1;
}

extern "C" int gwagent_get_cmdidx(const char *cmd_type)
{
    return gwagent_find_cmd(g_tables.main, g_tables.main_num, cmd_type);
}

extern "C" int gwagent_get_cmdNas(const char *cmd_type)
{
    return gwagent_find_cmd(g_tables.nas, g_tables.nas_num, cmd_type);
}

namespace gwagent {

const CmdTables &current_cmd_tables() { return g_tables; }

ScopedCmdTables::ScopedCmdTables(const CmdTables &t) : saved_(g_tables) { g_tables = t; }
ScopedCmdTables::~ScopedCmdTables() { g_tables = saved_; }

}  // namespace gwagent
