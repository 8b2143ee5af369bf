// The built command tables against the platform's full command list: always a sorted subset with
// the right class and right, so a later check can demand equality.
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "commands/cmd_table.h"

namespace {

struct Known {
    const char *CmdType;
    int cls;
    int right;
};

// Every CmdType of the platform, in table order.
const Known kAllCommands[] = {
    {"CHECK_HARDWARE_START", 1, 0},
    {"CHECK_HARDWARE_STATUS", 1, 0},
    {"DEL_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2},
    {"DEL_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2},
    {"DEL_PortMapping_CONFIG", 0, 2},
    {"DEL_TRAFFIC_QOS_CLASSIFICATION", 0, 2},
    {"DEL_URL_CTRL_TEMPLATE", 0, 0},
    {"DEL_VPN_IPSEC", 0, 2},
    {"DEL_VPN_IPSEC_LOCALSUBNETS", 0, 2},
    {"DEL_VPN_IPSEC_REMOTESUBNETS", 0, 2},
    {"DEL_VPN_L2TP_CLIENT", 0, 2},
    {"DEL_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2},
    {"DEL_VPN_L2TP_SERVER_ACCOUNT", 0, 2},
    {"DEL_VPN_VXLAN", 0, 2},
    {"DEL_WMM_SERVICE_IPSET", 0, 2},
    {"DEVICE_SPEED", 0, 0},
    {"FTTO_DEV_NTI_GET", 1, 0},
    {"FTTO_MASTER_LAN_PONINFO_GET", 1, 0},
    {"FTTO_MASTER_NTI_GET", 1, 0},
    {"GET_ATTACH_DEVICE_BANDWIDTH", 0, 0},
    {"GET_ATTACH_DEVICE_BANDWIDTH_EX", 0, 0},
    {"GET_ATTACH_DEVICE_RIGHT", 1, 0},
    {"GET_ATTCH_NAME", 1, 0},
    {"GET_ATTCH_URL_CTRL", 0, 0},
    {"GET_CLOUD_STATUS", 1, 0},
    {"GET_DEVICE_SPEED", 0, 0},
    {"GET_DEV_WIFI_INFO", 0, 0},
    {"GET_GUEST_SSID", 0, 0},
    {"GET_HG_SYSTEM_INFO", 1, 0},
    {"GET_HG_WIFI_TIMER", 1, 0},
    {"GET_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2},
    {"GET_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2},
    {"GET_LAN_DEVICE_ACCESS", 0, 0},
    {"GET_LAN_HISTORY_TRAFFIC", 0, 2},
    {"GET_LAN_HOST_INFO", 1, 0},
    {"GET_LAN_NET_INFO_EX", 1, 0},
    {"GET_LAN_PARAMETER", 1, 0},
    {"GET_LAN_SPEED", 0, 2},
    {"GET_LAN_STATUS", 1, 2},
    {"GET_LAN_TRAFFIC", 1, 2},
    {"GET_LED_STATUS", 0, 0},
    {"GET_ONT_NAME", 0, 0},
    {"GET_PONINFORM_REQ", 1, 0},
    {"GET_PON_HISTORY_TRAFFIC", 1, 0},
    {"GET_PON_STATUS", 1, 0},
    {"GET_PON_TRAFFIC", 0, 0},
    {"GET_PPPOE_ACCOUNT", 1, 0},
    {"GET_PRECONFIG_INFO", 0, 0},
    {"GET_PortMapping_LIST", 0, 2},
    {"GET_SERVICE", 1, 0},
    {"GET_SLEEP_MODE", 1, 0},
    {"GET_STA_TRAFFIC", 1, 0},
    {"GET_TRAFFIC_QOS_CLASSIFICATION", 0, 2},
    {"GET_TRAFFIC_QOS_FLOW", 0, 2},
    {"GET_URL_CTRL_TEMPLATE", 0, 0},
    {"GET_URL_CTRL_TEMPLATES_LIST", 0, 0},
    {"GET_VOICE_INFO", 1, 0},
    {"GET_VOIP_STATUS", 1, 0},
    {"GET_VPN", 0, 2},
    {"GET_VPN_IPSEC", 0, 2},
    {"GET_VPN_IPSEC_LOCALSUBNETS", 0, 2},
    {"GET_VPN_IPSEC_REMOTESUBNETS", 0, 2},
    {"GET_VPN_IPSec_HISTORY_TRAFFIC", 0, 2},
    {"GET_VPN_IPSec_TRAFFIC", 0, 2},
    {"GET_VPN_L2TP", 0, 2},
    {"GET_VPN_L2TP_CLIENT", 0, 2},
    {"GET_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2},
    {"GET_VPN_L2TP_HISTORY_TRAFFIC", 0, 2},
    {"GET_VPN_L2TP_SERVER", 0, 2},
    {"GET_VPN_L2TP_SERVER_ACCOUNT", 0, 2},
    {"GET_VPN_L2TP_TRAFFIC", 0, 2},
    {"GET_VPN_STATUC_TRAFFIC", 0, 2},
    {"GET_VPN_VXLAN", 0, 2},
    {"GET_VPN_VxLAN_HISTORY_TRAFFIC", 0, 2},
    {"GET_VPN_VxLAN_TRAFFIC", 0, 2},
    {"GET_WIFI_ADV", 1, 0},
    {"GET_WIFI_HIDE", 1, 0},
    {"GET_WIFI_INFO", 1, 0},
    {"GET_WLAN_INTF_INFO", 1, 0},
    {"GET_WMM_IPSET_INFO", 0, 2},
    {"GET_ZEP_LOG", 0, 2},
    {"Get_Log", 0, 0},
    {"HG_COMMAND_REBOOT", 1, 0},
    {"HG_LOCAL_RECOVERY", 1, 0},
    {"HTTP_SPEED_TEST_OVER_TESTSERVER", 1, 0},
    {"LAN_DEVICE_ACCESS", 0, 0},
    {"OXA_APP_GETSTATUS", 0, 2},
    {"OXA_APP_INSTALL", 0, 2},
    {"OXA_APP_INST_QUERY", 0, 2},
    {"OXA_APP_LIST", 0, 2},
    {"OXA_APP_OPERATE", 0, 2},
    {"OXA_APP_UPGRADE", 0, 2},
    {"OXA_ZEP_RESTORE", 0, 2},
    {"OXA_ZEP_UPGRADE", 0, 2},
    {"PPPOE_DIAG_REQ_BY_WAN", 1, 0},
    {"QUERY_CPU_INFO", 1, 0},
    {"QUERY_MEM_INFO", 1, 0},
    {"QUERY_SPEEDTEST_STAT_OVER_TESTSERVER", 1, 0},
    {"QUERY_WAN_INFO", 1, 0},
    {"QUERY_WAN_NUM", 1, 0},
    {"REGISTER", 1, 0},
    {"REGISTER_GETSTAT", 1, 0},
    {"SET_ATTACH_DEVICE_BANDWIDTH", 0, 0},
    {"SET_ATTACH_DEVICE_BANDWIDTH_EX", 0, 0},
    {"SET_ATTACH_DEVICE_RIGHT", 1, 0},
    {"SET_ATTACH_SPEEDUP", 0, 0},
    {"SET_ATTCH_NAME", 1, 0},
    {"SET_ATTCH_URL_CTR", 0, 0},
    {"SET_GUEST_SSID", 0, 0},
    {"SET_HG_WIFI_TIMER", 1, 0},
    {"SET_L3_FORWARDING_IPV4_CONFIG_INFO", 0, 2},
    {"SET_L3_FORWARDING_IPV6_CONFIG_INFO", 0, 2},
    {"SET_LAN_PARAMETER", 1, 0},
    {"SET_LAN_SPEED", 0, 2},
    {"SET_LED_STATUS", 1, 0},
    {"SET_LOG_LEVEL", 0, 0},
    {"SET_ONT_NAME", 0, 0},
    {"SET_PPPOE_ACCOUNT", 1, 0},
    {"SET_PortMapping_CONFIG", 0, 2},
    {"SET_SLEEP_MODE", 1, 0},
    {"SET_TRAFFIC_QOS_CLASSIFICATION", 0, 2},
    {"SET_TRAFFIC_QOS_FLOW", 0, 2},
    {"SET_URL_CTRL_TEMPLATE", 0, 0},
    {"SET_VPN", 0, 2},
    {"SET_VPN_IPSEC", 0, 2},
    {"SET_VPN_IPSEC_LOCALSUBNETS", 0, 2},
    {"SET_VPN_IPSEC_REMOTESUBNETS", 0, 2},
    {"SET_VPN_L2TP", 0, 2},
    {"SET_VPN_L2TP_CLIENT", 0, 2},
    {"SET_VPN_L2TP_CLIENT_REMOTESUBNETS", 0, 2},
    {"SET_VPN_L2TP_SERVER", 0, 2},
    {"SET_VPN_L2TP_SERVER_ACCOUNT", 0, 2},
    {"SET_VPN_VXLAN", 0, 2},
    {"SET_WIFI_ADV", 1, 0},
    {"SET_WIFI_HIDE", 1, 0},
    {"SET_WIFI_INFO", 1, 0},
    {"SET_WLAN_SSID_DISABLE", 1, 0},
    {"SET_WLAN_SSID_ENABLE", 1, 0},
    {"SET_WMM_SERVICE_IPSET", 0, 2},
    {"SET_WMM_SWITCH", 0, 2},
    {"Start_BootRegister", 0, 2},
    {"VPN_STATUC_TRAFFIC", 0, 2},
};

const Known kAllStorage[] = {
    {"COPY", 0, 2}, {"CREATE_FOLDER", 0, 2}, {"GET_DISC_INF", 0, 2}, {"GET_FILE_NUM", 0, 2},
    {"LIST", 0, 2}, {"MOVE", 0, 2},          {"REMOVE", 0, 2},       {"RENAME", 0, 2},
};

// Every row of the full list, in order, with its class and right, and nothing else.
template <size_t N> void expect_table_is(const cmd_entry *table, size_t count, const Known (&all)[N])
{
    ASSERT_EQ(count, N);
    for (size_t i = 0; i < N; ++i) {
        SCOPED_TRACE(all[i].CmdType);
        EXPECT_STREQ(table[i].CmdType, all[i].CmdType);
        EXPECT_EQ(table[i].cls, all[i].cls);
        EXPECT_EQ(table[i].right, all[i].right);
        EXPECT_NE(table[i].handler, nullptr);
    }
}

}  // namespace

TEST(CmdTable, FullListIsSortedByteWise)
{
    // Upper case sorts before lower case.
    for (size_t i = 1; i < std::size(kAllCommands); ++i)
        EXPECT_LT(strcmp(kAllCommands[i - 1].CmdType, kAllCommands[i].CmdType), 0) << kAllCommands[i].CmdType;
    EXPECT_EQ(std::size(kAllCommands), 142u);
}

TEST(CmdTable, BothTablesAreTheFullListsInOrderWithClassAndRight)
{
    expect_table_is(g_cmd_array, g_cmd_array_num, kAllCommands);
    expect_table_is(g_cmd_nas, g_cmd_nas_num, kAllStorage);
}

TEST(CmdTable, LookupFindsEveryBuiltRowAndNothingElse)
{
    std::set<std::string> built;
    for (size_t i = 0; i < g_cmd_array_num; ++i) {
        EXPECT_EQ(gwagent_get_cmdidx(g_cmd_array[i].CmdType), static_cast<int>(i));
        built.insert(g_cmd_array[i].CmdType);
    }
    for (const Known &k : kAllCommands) {
        if (!built.count(k.CmdType)) {
            EXPECT_EQ(gwagent_get_cmdidx(k.CmdType), -1) << k.CmdType;
        }
    }
    for (const char *miss : {"", "A", "get_ont_name", "GET_ONT_NAM", "GET_ONT_NAME ", "zzz"})
        EXPECT_EQ(gwagent_get_cmdidx(miss), -1) << miss;
    for (const Known &k : kAllStorage) {
        const int idx = gwagent_get_cmdNas(k.CmdType);
        if (idx >= 0) {
            EXPECT_STREQ(g_cmd_nas[idx].CmdType, k.CmdType);
        }
    }
}

TEST(CmdTable, BinarySearchFindsEveryRowOfTheFullList)
{
    // The search itself over a table as large as the finished one.
    static cmd_entry full[std::size(kAllCommands)];
    for (size_t i = 0; i < std::size(kAllCommands); ++i)
        full[i] = {kAllCommands[i].CmdType, static_cast<uint8_t>(kAllCommands[i].cls),
                   static_cast<uint8_t>(kAllCommands[i].right), nullptr};
    for (size_t i = 0; i < std::size(full); ++i)
        EXPECT_EQ(gwagent_find_cmd(full, std::size(full), full[i].CmdType), static_cast<int>(i));
    EXPECT_EQ(gwagent_find_cmd(full, std::size(full), "AAA"), -1);
    EXPECT_EQ(gwagent_find_cmd(full, std::size(full), "ZZZ"), -1);
    EXPECT_EQ(gwagent_find_cmd(full, std::size(full), "Get_log"), -1);
    EXPECT_EQ(gwagent_find_cmd(full, 1, "CHECK_HARDWARE_START"), 0);
    EXPECT_EQ(gwagent_find_cmd(full, 0, "CHECK_HARDWARE_START"), -1);
}
