// The VPN members: the switch, IPSec tunnels and their subnets, L2TP clients, server and accounts,
// VxLAN tunnels, their traffic and traffic history. Each member is a row of cmd_record_rows.
#include <cstddef>

#include "commands/cmd_record_rows.h"
#include "commands/cmd_table.h"

namespace {

using namespace gwagent::rows;

using IPSec = api_VPNIPSecInfo_t;
using Subnet = api_VPNSubnetEntry_t;
using SubnetItem = api_VPNSubnetInfo_t;
using L2tp = api_VPNL2TPInfo_t;
using L2tpEntry = api_VPNL2TPEntry_t;
using Client = api_VPNL2TPClientInfo_t;
using ClientEntry = api_VPNL2TPClientEntry_t;
using Server = api_VPNL2TPServerInfo_t;
using Account = api_VPNL2TPServerAccountInfo_t;
using VxLAN = api_VPNVxLANInfo_t;

constexpr Keys kIndex{{"Index", nullptr}, 1, false};
constexpr Keys kIndexOptional{{"Index", nullptr}, 1, true};
constexpr Keys kL2tp{{"IndexL2tp", nullptr}, 1, false};
constexpr Keys kClient{{"IndexL2tp", "IndexClient"}, 2, false};
constexpr Keys kClientOptional{{"IndexL2tp", "IndexClient"}, 2, true};

// The L2TP objects live below the one instance /com/yvc/igd1/VPN/L2TP/1; IndexL2tp is read but
// addresses nothing else.
constexpr uint32_t kL2tpInstance = 1;

// ---- the switch -------------------------------------------------------------------------------

constexpr Field kVpnFields[] = {
    GW_FIELD(Flag, api_VPNInfo_t, Enable),
    GW_TEXT_KEEP(api_VPNInfo_t, VPNType, 32),
    GW_FIELD(U32, api_VPNInfo_t, VPNNum),
};
constexpr RecordRow kGetVpn{kNoKeys, sizeof(api_VPNInfo_t),
                            [](const uint32_t *, void *rec) { return api_getVPN(static_cast<api_VPNInfo_t *>(rec)); },
                            fields_of(kVpnFields), nullptr};
constexpr WriteRow kSetVpn{kNoKeys,
                           {kVpnFields, 2},
                           sizeof(api_VPNInfo_t),
                           [](const uint32_t *, const void *rec) {
                               const auto *e = static_cast<const api_VPNInfo_t *>(rec);
                               return api_setVPN(e->Enable ? 1u : 0u, e->VPNType);
                           },
                           Answer::Result,
                           nullptr,
                           0};

// ---- traffic ------------------------------------------------------------------------------------

#define GW_TRAFFIC(T)                                                                                                  \
    GW_FIELD(Pkts, T, RxPkts), GW_FIELD(Pkts, T, TxPkts), GW_FIELD(KiB, T, RxBytes), GW_FIELD(KiB, T, TxBytes)

// ---- IPSec --------------------------------------------------------------------------------------

// What a set writes, in the order it is read.
#define GW_IPSEC_SETTINGS                                                                                              \
    GW_FIELD(Flag, IPSec, Enable), GW_TEXT_KEEP(IPSec, IPSecType, 32), GW_TEXT_KEEP(IPSec, Name, 64),                  \
        GW_TEXT(IPSec, WANInterface), GW_TEXT_KEEP(IPSec, RemoteIP, 45)
#define GW_IPSEC_IKE                                                                                                   \
    GW_TEXT(IPSec, ExchangeMode), GW_TEXT(IPSec, IKEAuthenticationAlgorithm), GW_TEXT(IPSec, IKEAuthenticationMethod), \
        GW_TEXT(IPSec, IKEEncryptionAlgorithm), GW_TEXT(IPSec, IKEDHGroup), GW_TEXT(IPSec, IKEIDType),                 \
        GW_TEXT(IPSec, IKELocalName), GW_TEXT(IPSec, IKERemoteName), GW_TEXT(IPSec, IKEPreshareKey),                   \
        GW_TEXT(IPSec, IPSecTransform), GW_TEXT(IPSec, ESPAuthenticationAlgorithm),                                    \
        GW_TEXT(IPSec, ESPEncryptionAlgorithm), GW_TEXT(IPSec, IPSecPFS), GW_FIELD(U32, IPSec, IKESAPeriod),           \
        GW_FIELD(U32, IPSec, IPSecSATimePeriod), GW_FIELD(U32, IPSec, IPSecSATrafficPeriod),                           \
        GW_TEXT(IPSec, AHAuthenticationAlgorithm), GW_FIELD(FlagText, IPSec, DPDEnable),                               \
        GW_FIELD(U32, IPSec, DPDThreshold), GW_FIELD(U32, IPSec, DPDRetry)

constexpr Field kIPSecSet[] = {GW_IPSEC_SETTINGS, GW_IPSEC_IKE};
constexpr Field kIPSecList[] = {
    GW_FIELD(U32, IPSec, Index), GW_FIELD(Flag, IPSec, Enable), GW_TEXT(IPSec, Status),
    GW_TEXT(IPSec, IPSecType),   GW_TEXT(IPSec, Name),          GW_TEXT(IPSec, WANInterface),
    GW_TEXT(IPSec, RemoteIP),    GW_TEXT(IPSec, LocalIP),       GW_IPSEC_IKE,
    GW_TRAFFIC(IPSec),
};
constexpr Field kIPSecTrafficFields[] = {GW_FIELD(U32, IPSec, Index), GW_TRAFFIC(IPSec)};

constexpr Field kLocalSubnetSet[] = {GW_TEXT_AS("LocalIPAddress", Subnet, Address),
                                     GW_TEXT_AS("LocalSubnetMask", Subnet, Mask)};
constexpr Field kLocalSubnetList[] = {GW_TEXT_AS("LocalIPAddress", SubnetItem, Address),
                                      GW_TEXT_AS("LocalSubnetMask", SubnetItem, Mask)};
constexpr Field kRemoteSubnetSet[] = {GW_TEXT_AS("DestIPAddress", Subnet, Address),
                                      GW_TEXT_AS("DestSubnetMask", Subnet, Mask)};
constexpr Field kRemoteSubnetList[] = {GW_TEXT_AS("DestIPAddress", SubnetItem, Address),
                                       GW_TEXT_AS("DestSubnetMask", SubnetItem, Mask)};

constexpr Attach kIPSecSubnets[] = {
    {"LocalSubnet", fields_of(kLocalSubnetSet), sizeof(Subnet), add_below<Subnet, api_setIPSecLocalSubnet>},
    {"RemoteSubnet", fields_of(kRemoteSubnetSet), sizeof(Subnet), add_below<Subnet, api_setIPSecRemoteSubnet>},
};

constexpr ListRow kGetIPSec{kIndex,
                            Pick::OneOrAll,
                            sizeof(IPSec),
                            all_of<IPSec, api_getVPNIPSecAll>,
                            release_of<IPSec, api_releaseVPNIPSecAll>,
                            one_at<IPSec, api_getVPNIPSec>,
                            "ObjList",
                            true,
                            fields_of(kIPSecList)};
constexpr WriteRow kSetIPSec{
    kIndex, fields_of(kIPSecSet), sizeof(IPSec), write_at<IPSec, api_setIPSec>, Answer::Index, kIPSecSubnets, 2};
constexpr DeleteRow kDelIPSec{kIndex, nullptr, 0, [](const uint32_t *) { return api_clearIPSec(); },
                              [](const uint32_t *k, const char *) { return api_deleteIPSec(k[0]); }};
constexpr ListRow kIPSecTraffic{kIndexOptional,
                                Pick::OneOrAll,
                                sizeof(IPSec),
                                all_of<IPSec, api_getVPNIPSecAll>,
                                release_of<IPSec, api_releaseVPNIPSecAll>,
                                one_at<IPSec, api_getVPNIPSec>,
                                "Traffic",
                                false,
                                fields_of(kIPSecTrafficFields)};

constexpr ListRow kGetLocalSubnets{kIndex,
                                   Pick::All,
                                   sizeof(SubnetItem),
                                   all_under<SubnetItem, api_getIPSecLocalSubnetsAll>,
                                   release_of<SubnetItem, api_releaseIPSecLocalSubnetsAll>,
                                   nullptr,
                                   "ObjList",
                                   false,
                                   fields_of(kLocalSubnetList)};
constexpr WriteRow kSetLocalSubnet{kIndex,
                                   fields_of(kLocalSubnetSet),
                                   sizeof(Subnet),
                                   write_at<Subnet, api_setIPSecLocalSubnet>,
                                   Answer::Result,
                                   nullptr,
                                   0};
constexpr DeleteRow kDelLocalSubnets{
    kIndex, "LocalIPAddress", 45, [](const uint32_t *k) { return api_clearIPSecLocalSubnets(k[0]); },
    [](const uint32_t *k, const char *a) { return api_deleteIPSecLocalSubnets(k[0], a); }};
constexpr ListRow kGetRemoteSubnets{kIndex,
                                    Pick::All,
                                    sizeof(SubnetItem),
                                    all_under<SubnetItem, api_getIPSecReMoteSubnetsAll>,
                                    release_of<SubnetItem, api_releaseIPSecReMoteSubnetsAll>,
                                    nullptr,
                                    "ObjList",
                                    false,
                                    fields_of(kRemoteSubnetList)};
constexpr WriteRow kSetRemoteSubnet{kIndex,
                                    fields_of(kRemoteSubnetSet),
                                    sizeof(Subnet),
                                    write_at<Subnet, api_setIPSecRemoteSubnet>,
                                    Answer::Result,
                                    nullptr,
                                    0};
constexpr DeleteRow kDelRemoteSubnets{
    kIndex, "DestIPAddress", 45, [](const uint32_t *k) { return api_clearIPSecRemoteSubnets(k[0]); },
    [](const uint32_t *k, const char *a) { return api_deleteIPSecRemoteSubnets(k[0], a); }};

constexpr HistoryRow kIPSecHistory{api_getIPSecVPNHistoryTraffic, api_releaseIPSecVPNHistoryTraffic};

// ---- L2TP ---------------------------------------------------------------------------------------

constexpr Field kL2tpList[] = {GW_FIELD(U32, L2tp, Index), GW_FIELD(Flag, L2tp, Enable), GW_TEXT(L2tp, L2TPType)};
constexpr Field kL2tpSet[] = {GW_FIELD(Flag, L2tpEntry, Enable), GW_TEXT(L2tpEntry, L2TPType)};
constexpr ListRow kGetL2tp{
    kNoKeys,
    Pick::One,
    sizeof(L2tp),
    nullptr,
    nullptr,
    [](const uint32_t *, void *rec) { return api_getVPNL2TP(kL2tpInstance, static_cast<L2tp *>(rec)); },
    "ObjList",
    true,
    fields_of(kL2tpList)};
constexpr WriteRow kSetL2tp{
    kL2tp, fields_of(kL2tpSet), sizeof(L2tpEntry), write_at<L2tpEntry, api_setVPNL2TP>, Answer::Result, nullptr, 0};

constexpr Field kClientList[] = {
    GW_FIELD(U32, Client, Index),  GW_FIELD(Flag, Client, Enable),
    GW_TEXT(Client, ServerIP),     GW_FIELD(U32, Client, ServerPort),
    GW_TEXT(Client, Name),         GW_FIELD(Flag, Client, EnableNAT),
    GW_TEXT(Client, UserName),     GW_TEXT(Client, Password),
    GW_TEXT(Client, WANInterface), GW_TRAFFIC(Client),
};
constexpr Field kClientSet[] = {
    GW_FIELD(Flag, ClientEntry, Enable), GW_TEXT(ClientEntry, ServerIP),         GW_FIELD(U32, ClientEntry, ServerPort),
    GW_TEXT(ClientEntry, Name),          GW_FIELD(Flag, ClientEntry, EnableNAT), GW_TEXT(ClientEntry, UserName),
    GW_TEXT(ClientEntry, Password),      GW_TEXT(ClientEntry, WANInterface),
};
constexpr Field kClientTraffic[] = {GW_FIELD(U32, Client, Index), GW_TRAFFIC(Client)};
constexpr Attach kClientSubnets[] = {
    {"RemoteSubnets", fields_of(kRemoteSubnetSet), sizeof(Subnet),
     add_below<Subnet, api_setVPNL2TPClientRemoteSubnets>},
};

constexpr ListRow kGetClient{kClient,
                             Pick::OneOrAll,
                             sizeof(Client),
                             all_of<Client, api_getVPNL2TPClientAll>,
                             release_of<Client, api_releaseVPNL2TPClientAll>,
                             one_at<Client, api_getVPNL2TPClient, 1>,
                             "ObjList",
                             true,
                             fields_of(kClientList)};
constexpr WriteRow kSetClient{kClient,
                              fields_of(kClientSet),
                              sizeof(ClientEntry),
                              write_at<ClientEntry, api_setVPNL2TPClient, 1>,
                              Answer::Index,
                              kClientSubnets,
                              1};
constexpr DeleteRow kDelClient{kClient, nullptr, 0, [](const uint32_t *) { return api_clearVPNL2TPClient(); },
                               [](const uint32_t *k, const char *) { return api_deleteVPNL2TPClient(k[1]); }};
constexpr ListRow kClientTrafficRow{kClientOptional,
                                    Pick::OneOrAll,
                                    sizeof(Client),
                                    all_of<Client, api_getVPNL2TPClientAll>,
                                    release_of<Client, api_releaseVPNL2TPClientAll>,
                                    one_at<Client, api_getVPNL2TPClient, 1>,
                                    "Traffic",
                                    false,
                                    fields_of(kClientTraffic)};

constexpr ListRow kGetClientSubnets{kClient,
                                    Pick::All,
                                    sizeof(SubnetItem),
                                    all_under<SubnetItem, api_getVPNL2TPClientRemoteSubnetsAll, 1>,
                                    release_of<SubnetItem, api_releaseVPNL2TPClientRemoteSubnetsAll>,
                                    nullptr,
                                    "ObjList",
                                    true,
                                    fields_of(kRemoteSubnetList)};
constexpr WriteRow kSetClientSubnet{kClient,
                                    fields_of(kRemoteSubnetSet),
                                    sizeof(Subnet),
                                    write_at<Subnet, api_setVPNL2TPClientRemoteSubnets, 1>,
                                    Answer::Result,
                                    nullptr,
                                    0};
constexpr DeleteRow kDelClientSubnets{
    kClient, "DestIPAddress", 45, [](const uint32_t *k) { return api_clearVPNL2TPClientRemoteSubnets(k[1]); },
    [](const uint32_t *k, const char *a) { return api_deleteVPNL2TPClientRemoteSubnets(k[1], a); }};

constexpr HistoryRow kL2tpHistory{api_getL2TPVPNHistoryTraffic, api_releaseL2TPVPNHistoryTraffic};

constexpr Field kServerFields[] = {
    GW_FIELD(Flag, Server, Enable),        GW_TEXT(Server, StartAddress), GW_TEXT(Server, EndAddress),
    GW_TEXT_KEEP(Server, MaskAddress, 45), GW_TEXT(Server, LanAddress),   GW_TEXT(Server, WANInterface),
};
constexpr Field kAccountFields[] = {GW_FIELD(Flag, Account, Enable), GW_TEXT(Account, UserName),
                                    GW_TEXT(Account, Password)};
constexpr Attach kServerAccounts[] = {
    {"Accounts", fields_of(kAccountFields), sizeof(Account),
     [](uint32_t, const void *rec) { return api_setVPNL2TPServerAccount(static_cast<const Account *>(rec)); }},
};
constexpr ListRow kServerAccountList{kNoKeys,
                                     Pick::All,
                                     sizeof(Account),
                                     all_of<Account, api_getVPNL2TPServerAccountAll>,
                                     release_of<Account, api_releaseVPNL2TPServerAccountAll>,
                                     nullptr,
                                     "Accounts",
                                     false,
                                     {kAccountFields + 1, 2}};
constexpr RecordRow kGetServer{
    kL2tp, sizeof(Server), [](const uint32_t *, void *rec) { return api_getVPNL2TPServer(static_cast<Server *>(rec)); },
    fields_of(kServerFields), &kServerAccountList};
constexpr WriteRow kSetServer{
    kL2tp,
    fields_of(kServerFields),
    sizeof(Server),
    [](const uint32_t *, const void *rec) { return api_setVPNL2TPServer(static_cast<const Server *>(rec)); },
    Answer::Result,
    kServerAccounts,
    1};
constexpr ListRow kGetAccounts{kL2tp,
                               Pick::All,
                               sizeof(Account),
                               all_of<Account, api_getVPNL2TPServerAccountAll>,
                               release_of<Account, api_releaseVPNL2TPServerAccountAll>,
                               nullptr,
                               "ObjList",
                               true,
                               fields_of(kAccountFields)};
constexpr WriteRow kSetAccount{
    kL2tp,
    fields_of(kAccountFields),
    sizeof(Account),
    [](const uint32_t *, const void *rec) { return api_setVPNL2TPServerAccount(static_cast<const Account *>(rec)); },
    Answer::Result,
    nullptr,
    0};
constexpr DeleteRow kDelAccount{
    kL2tp, "UserName", sizeof(Account::UserName) - 1, [](const uint32_t *) { return api_clearVPNL2TPServerAccount(); },
    [](const uint32_t *, const char *name) { return api_deleteVPNL2TPServerAccount(name); }};

// ---- VxLAN --------------------------------------------------------------------------------------

constexpr const char *kAddressing[] = {"DHCP", "Static", nullptr};
constexpr Field kVxLANList[] = {
    GW_FIELD(U32, VxLAN, Index),       GW_FIELD(Flag, VxLAN, Enable),  GW_TEXT(VxLAN, Status),
    GW_FIELD(U32, VxLAN, TunnelKey),   GW_TEXT(VxLAN, WANInterface),   GW_TEXT(VxLAN, TunnelInterface),
    GW_TEXT(VxLAN, TunnelRemoteIp),    GW_FIELD(U32, VxLAN, WorkMode), GW_FIELD(U32, VxLAN, MaxMTUSize),
    GW_TEXT(VxLAN, IPAddress),         GW_TEXT(VxLAN, SubnetMask),     GW_TEXT(VxLAN, AddressingType),
    GW_FIELD(Flag, VxLAN, NATEnabled), GW_TEXT(VxLAN, DNSServers),     GW_TRAFFIC(VxLAN),
};
constexpr Field kVxLANSet[] = {
    GW_FIELD(Flag, VxLAN, Enable),
    GW_FIELD(U32, VxLAN, TunnelKey),
    GW_TEXT(VxLAN, WANInterface),
    GW_TEXT(VxLAN, TunnelRemoteIp),
    GW_FIELD(U32, VxLAN, WorkMode),
    GW_FIELD(U32, VxLAN, MaxMTUSize),
    GW_TEXT(VxLAN, IPAddress),
    GW_TEXT(VxLAN, SubnetMask),
    GW_TEXT_ONE_OF(VxLAN, AddressingType, kAddressing),
    GW_FIELD(Flag, VxLAN, NATEnabled),
    GW_TEXT(VxLAN, DNSServers),
};
constexpr Field kVxLANTraffic[] = {GW_FIELD(U32, VxLAN, Index), GW_TRAFFIC(VxLAN)};

constexpr ListRow kGetVxLAN{kIndex,
                            Pick::OneOrAll,
                            sizeof(VxLAN),
                            all_of<VxLAN, api_getVPNVxLANAll>,
                            release_of<VxLAN, api_releaseVPNVxLANAll>,
                            one_at<VxLAN, api_getVPNVxLAN>,
                            "ObjList",
                            true,
                            fields_of(kVxLANList)};
constexpr WriteRow kSetVxLAN{
    kIndex, fields_of(kVxLANSet), sizeof(VxLAN), write_at<VxLAN, api_setVPNVxLAN>, Answer::Index, nullptr, 0};
constexpr DeleteRow kDelVxLAN{kIndex, nullptr, 0, [](const uint32_t *) { return api_clearVPNVxLAN(); },
                              [](const uint32_t *k, const char *) { return api_deleteVPNVxLAN(k[0]); }};
constexpr ListRow kVxLANTrafficRow{kIndexOptional,
                                   Pick::OneOrAll,
                                   sizeof(VxLAN),
                                   all_of<VxLAN, api_getVPNVxLANAll>,
                                   release_of<VxLAN, api_releaseVPNVxLANAll>,
                                   one_at<VxLAN, api_getVPNVxLAN>,
                                   "Traffic",
                                   false,
                                   fields_of(kVxLANTraffic)};
constexpr HistoryRow kVxLANHistory{api_getVxLANVPNHistoryTraffic, api_releaseVxLANVPNHistoryTraffic};

}  // namespace

GW_ROW_HANDLER(DEL_VPN_IPSEC, run_delete, kDelIPSec)
GW_ROW_HANDLER(DEL_VPN_IPSEC_LOCALSUBNETS, run_delete, kDelLocalSubnets)
GW_ROW_HANDLER(DEL_VPN_IPSEC_REMOTESUBNETS, run_delete, kDelRemoteSubnets)
GW_ROW_HANDLER(DEL_VPN_L2TP_CLIENT, run_delete, kDelClient)
GW_ROW_HANDLER(DEL_VPN_L2TP_CLIENT_REMOTESUBNETS, run_delete, kDelClientSubnets)
GW_ROW_HANDLER(DEL_VPN_L2TP_SERVER_ACCOUNT, run_delete, kDelAccount)
GW_ROW_HANDLER(DEL_VPN_VXLAN, run_delete, kDelVxLAN)
GW_ROW_HANDLER(GET_VPN, run_record, kGetVpn)
GW_ROW_HANDLER(GET_VPN_IPSEC, run_list, kGetIPSec)
GW_ROW_HANDLER(GET_VPN_IPSEC_LOCALSUBNETS, run_list, kGetLocalSubnets)
GW_ROW_HANDLER(GET_VPN_IPSEC_REMOTESUBNETS, run_list, kGetRemoteSubnets)
GW_ROW_HANDLER(GET_VPN_IPSec_HISTORY_TRAFFIC, run_history, kIPSecHistory)
GW_ROW_HANDLER(GET_VPN_IPSec_TRAFFIC, run_list, kIPSecTraffic)
GW_ROW_HANDLER(GET_VPN_L2TP, run_list, kGetL2tp)
GW_ROW_HANDLER(GET_VPN_L2TP_CLIENT, run_list, kGetClient)
GW_ROW_HANDLER(GET_VPN_L2TP_CLIENT_REMOTESUBNETS, run_list, kGetClientSubnets)
GW_ROW_HANDLER(GET_VPN_L2TP_HISTORY_TRAFFIC, run_history, kL2tpHistory)
GW_ROW_HANDLER(GET_VPN_L2TP_SERVER, run_record, kGetServer)
GW_ROW_HANDLER(GET_VPN_L2TP_SERVER_ACCOUNT, run_list, kGetAccounts)
GW_ROW_HANDLER(GET_VPN_L2TP_TRAFFIC, run_list, kClientTrafficRow)
GW_ROW_HANDLER(GET_VPN_VXLAN, run_list, kGetVxLAN)
GW_ROW_HANDLER(GET_VPN_VxLAN_HISTORY_TRAFFIC, run_history, kVxLANHistory)
GW_ROW_HANDLER(GET_VPN_VxLAN_TRAFFIC, run_list, kVxLANTrafficRow)
GW_ROW_HANDLER(SET_VPN, run_write, kSetVpn)
GW_ROW_HANDLER(SET_VPN_IPSEC, run_write, kSetIPSec)
GW_ROW_HANDLER(SET_VPN_IPSEC_LOCALSUBNETS, run_write, kSetLocalSubnet)
GW_ROW_HANDLER(SET_VPN_IPSEC_REMOTESUBNETS, run_write, kSetRemoteSubnet)
GW_ROW_HANDLER(SET_VPN_L2TP, run_write, kSetL2tp)
GW_ROW_HANDLER(SET_VPN_L2TP_CLIENT, run_write, kSetClient)
GW_ROW_HANDLER(SET_VPN_L2TP_CLIENT_REMOTESUBNETS, run_write, kSetClientSubnet)
GW_ROW_HANDLER(SET_VPN_L2TP_SERVER, run_write, kSetServer)
GW_ROW_HANDLER(SET_VPN_L2TP_SERVER_ACCOUNT, run_write, kSetAccount)
GW_ROW_HANDLER(SET_VPN_VXLAN, run_write, kSetVxLAN)
