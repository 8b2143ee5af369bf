// Object kinds of the VPN area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kVPNProps[] = {
    GW_P(VPN, Enable, 'b'),
    GW_P(VPN, VPNType, 's'),
    GW_P(VPN, VPNNum, 'u'),
};
constexpr Written kVPNWritten[] = {
    {"Enable"},
    {"VPNType"},
};

constexpr Prop kIPSecProps[] = {
    GW_P(IPSec, Enable, 'b'),
    GW_P(IPSec, Status, 's'),
    GW_P(IPSec, IPSecType, 's'),
    GW_P(IPSec, Name, 's'),
    GW_P(IPSec, WANInterface, 's'),
    GW_P(IPSec, RemoteIP, 's'),
    GW_P(IPSec, LocalIP, 's'),
    GW_P(IPSec, ExchangeMode, 's'),
    GW_P(IPSec, IKEAuthenticationAlgorithm, 's'),
    GW_P(IPSec, IKEAuthenticationMethod, 's'),
    GW_P(IPSec, IKEEncryptionAlgorithm, 's'),
    GW_P(IPSec, IKEDHGroup, 's'),
    GW_P(IPSec, IKEIDType, 's'),
    GW_P(IPSec, IKELocalName, 's'),
    GW_P(IPSec, IKERemoteName, 's'),
    GW_P(IPSec, IKEPreshareKey, 's'),
    GW_P(IPSec, IPSecTransform, 's'),
    GW_P(IPSec, ESPAuthenticationAlgorithm, 's'),
    GW_P(IPSec, ESPEncryptionAlgorithm, 's'),
    GW_P(IPSec, IPSecPFS, 's'),
    GW_P(IPSec, IKESAPeriod, 'u'),
    GW_P(IPSec, IPSecSATimePeriod, 'u'),
    GW_P(IPSec, IPSecSATrafficPeriod, 'u'),
    GW_P(IPSec, AHAuthenticationAlgorithm, 's'),
    GW_P(IPSec, DPDEnable, 'b'),
    GW_P(IPSec, DPDThreshold, 'u'),
    GW_P(IPSec, DPDRetry, 'u'),
    GW_P(IPSec, RxPkts, 't'),
    GW_P(IPSec, TxPkts, 't'),
    GW_P(IPSec, RxBytes, 't'),
    GW_P(IPSec, TxBytes, 't'),
};
constexpr Written kIPSecWritten[] = {
    {"Enable"},
    {"IPSecType"},
    {"Name"},
    {"WANInterface", true},
    {"RemoteIP"},
    {"ExchangeMode"},
    {"IKEAuthenticationAlgorithm"},
    {"IKEAuthenticationMethod"},
    {"IKEEncryptionAlgorithm"},
    {"IKEDHGroup"},
    {"IKEIDType"},
    {"IKELocalName"},
    {"IKERemoteName"},
    {"IKEPreshareKey"},
    {"IPSecTransform"},
    {"ESPAuthenticationAlgorithm"},
    {"ESPEncryptionAlgorithm"},
    {"IPSecPFS"},
    {"IKESAPeriod"},
    {"IPSecSATimePeriod"},
    {"IPSecSATrafficPeriod"},
    {"AHAuthenticationAlgorithm"},
    {"DPDEnable"},
    {"DPDThreshold"},
    {"DPDRetry"},
};

constexpr Prop kIPSecLocalSubnetsProps[] = {
    GW_P(IPSecLocalSubnets, LocalIPAddress, 's'),
    GW_P(IPSecLocalSubnets, LocalSubnetMask, 's'),
};
constexpr Written kIPSecLocalSubnetsWritten[] = {
    {"LocalIPAddress"},
    {"LocalSubnetMask"},
};

constexpr Prop kIPSecReMoteSubnetsProps[] = {
    GW_P(IPSecReMoteSubnets, DestIPAddress, 's'),
    GW_P(IPSecReMoteSubnets, DestSubnetMask, 's'),
};

constexpr Prop kIPSecRemoteSubnetsProps[] = {
    GW_P(IPSecRemoteSubnets, DestIPAddress, 's'),
    GW_P(IPSecRemoteSubnets, DestSubnetMask, 's'),
};
constexpr Written kIPSecRemoteSubnetsWritten[] = {
    {"DestIPAddress"},
    {"DestSubnetMask"},
};

constexpr Prop kVPNL2TPProps[] = {
    GW_P(VPNL2TP, Enable, 'b'),
    GW_P(VPNL2TP, L2TPType, 's'),
};

constexpr Prop kVPN_L2TPProps[] = {
    GW_P(VPN_L2TP, Enable, 'b'),
    GW_P(VPN_L2TP, L2TPType, 's'),
};
constexpr Written kVPN_L2TPWritten[] = {
    {"Enable"},
    {"L2TPType"},
};

constexpr Prop kVPN_L2TPClientProps[] = {
    GW_P(VPN_L2TPClient, Enable, 'b'),   GW_P(VPN_L2TPClient, ServerIP, 's'),     GW_P(VPN_L2TPClient, ServerPort, 'u'),
    GW_P(VPN_L2TPClient, Name, 's'),     GW_P(VPN_L2TPClient, EnableNAT, 'b'),    GW_P(VPN_L2TPClient, UserName, 's'),
    GW_P(VPN_L2TPClient, Password, 's'), GW_P(VPN_L2TPClient, WANInterface, 's'), GW_P(VPN_L2TPClient, RxPkts, 't'),
    GW_P(VPN_L2TPClient, TxPkts, 't'),   GW_P(VPN_L2TPClient, RxBytes, 't'),      GW_P(VPN_L2TPClient, TxBytes, 't'),
};
constexpr Written kVPN_L2TPClientWritten[] = {
    {"Enable"}, {"ServerIP"}, {"ServerPort"}, {"Name"}, {"EnableNAT"}, {"UserName"}, {"Password"}, {"WANInterface"},
};

constexpr Prop kVPNL2TPClientProps[] = {
    GW_P(VPNL2TPClient, Enable, 'b'),   GW_P(VPNL2TPClient, ServerIP, 's'),     GW_P(VPNL2TPClient, ServerPort, 'u'),
    GW_P(VPNL2TPClient, Name, 's'),     GW_P(VPNL2TPClient, EnableNAT, 'b'),    GW_P(VPNL2TPClient, UserName, 's'),
    GW_P(VPNL2TPClient, Password, 's'), GW_P(VPNL2TPClient, WANInterface, 's'), GW_P(VPNL2TPClient, RxPkts, 't'),
    GW_P(VPNL2TPClient, TxPkts, 't'),   GW_P(VPNL2TPClient, RxBytes, 't'),      GW_P(VPNL2TPClient, TxBytes, 't'),
};

constexpr Prop kVPN_L2TPRemoteSubnetsProps[] = {
    GW_P(VPN_L2TPRemoteSubnets, DestIPAddress, 's'),
    GW_P(VPN_L2TPRemoteSubnets, DestSubnetMask, 's'),
};
constexpr Written kVPN_L2TPRemoteSubnetsWritten[] = {
    {"DestIPAddress"},
    {"DestSubnetMask"},
};

constexpr Prop kVPN_L2TPServerProps[] = {
    GW_P(VPN_L2TPServer, Enable, 'b'),     GW_P(VPN_L2TPServer, StartAddress, 's'),
    GW_P(VPN_L2TPServer, EndAddress, 's'), GW_P(VPN_L2TPServer, MaskAddress, 's'),
    GW_P(VPN_L2TPServer, LanAddress, 's'), GW_P(VPN_L2TPServer, WANInterface, 's'),
};
constexpr Written kVPN_L2TPServerWritten[] = {
    {"Enable"}, {"StartAddress"}, {"EndAddress"}, {"MaskAddress"}, {"LanAddress"}, {"WANInterface"},
};

constexpr Prop kVPN_L2TPServerAccountProps[] = {
    GW_P(VPN_L2TPServerAccount, Enable, 'b'),
    GW_P(VPN_L2TPServerAccount, UserName, 's'),
    GW_P(VPN_L2TPServerAccount, Password, 's'),
};
constexpr Written kVPN_L2TPServerAccountWritten[] = {
    {"Enable"},
    {"UserName"},
    {"Password"},
};

constexpr Prop kVPNVxLANProps[] = {
    GW_P(VPNVxLAN, Enable, 'b'),       GW_P(VPNVxLAN, Status, 's'),          GW_P(VPNVxLAN, TunnelKey, 'u'),
    GW_P(VPNVxLAN, WANInterface, 's'), GW_P(VPNVxLAN, TunnelInterface, 's'), GW_P(VPNVxLAN, TunnelRemoteIp, 's'),
    GW_P(VPNVxLAN, WorkMode, 'u'),     GW_P(VPNVxLAN, MaxMTUSize, 'u'),      GW_P(VPNVxLAN, IPAddress, 's'),
    GW_P(VPNVxLAN, SubnetMask, 's'),   GW_P(VPNVxLAN, AddressingType, 's'),  GW_P(VPNVxLAN, NATEnabled, 'b'),
    GW_P(VPNVxLAN, DNSServers, 's'),   GW_P(VPNVxLAN, RxPkts, 't'),          GW_P(VPNVxLAN, TxPkts, 't'),
    GW_P(VPNVxLAN, RxBytes, 't'),      GW_P(VPNVxLAN, TxBytes, 't'),
};
constexpr Written kVPNVxLANWritten[] = {
    {"Enable"},    {"TunnelKey"},  {"WANInterface"},   {"TunnelRemoteIp"}, {"WorkMode"},   {"MaxMTUSize"},
    {"IPAddress"}, {"SubnetMask"}, {"AddressingType"}, {"NATEnabled"},     {"DNSServers"},
};

}  // namespace

GW_KIND(VPN, "VPN", Single, "/com/yvc/igd1/VPN", nullptr, kGet | kSet, Values, GW_WRITES(VPN));
GW_EXPORT_GET(VPN)
GW_EXPORT_SET(VPN)

GW_KIND(IPSec, "VPN.IPSec", Collection, "/com/yvc/igd1/VPN/IPSec", nullptr,
        kGetObjs | kGet | kVpnSet | kVpnDel | kVpnClear, Values, GW_WRITES(IPSec));
GW_EXPORT_GET_OBJS(IPSec)
GW_EXPORT_GET_AT(IPSec)
GW_EXPORT_VPN_SET(IPSec)
GW_EXPORT_DEL(IPSec, del)
GW_EXPORT_VPN_CLEAR(IPSec)

GW_KIND(IPSecLocalSubnets, "VPN.IPSec.LocalSubnets", SubCollection, "/com/yvc/igd1/VPN/IPSec", "LocalSubnets",
        kGetObjs | kGet | kVpnDel | kVpnClear | kVpnUpdate | kVpnAdd | kVpnSet, Values, GW_WRITES(IPSecLocalSubnets));
GW_EXPORT_GET_OBJS_UNDER(IPSecLocalSubnets)
GW_EXPORT_GET_AT(IPSecLocalSubnets)
GW_EXPORT_DEL(IPSecLocalSubnets, del)
GW_EXPORT_VPN_CLEAR_UNDER(IPSecLocalSubnets)
GW_EXPORT_VPN_UPDATE(IPSecLocalSubnets)
GW_EXPORT_VPN_ADD_UNDER(IPSecLocalSubnets)
GW_EXPORT_VPN_SET_UNDER(IPSecLocalSubnets)

GW_KIND(IPSecReMoteSubnets, "VPN.IPSec.RemoteSubnets", SubCollection, "/com/yvc/igd1/VPN/IPSec", "RemoteSubnets",
        kGetObjs, Values, GW_NO_WRITES);
GW_EXPORT_GET_OBJS_UNDER(IPSecReMoteSubnets)

GW_KIND(IPSecRemoteSubnets, "VPN.IPSec.RemoteSubnets", SubCollection, "/com/yvc/igd1/VPN/IPSec", "RemoteSubnets",
        kGet | kVpnUpdate | kVpnAdd | kVpnSet | kVpnDel | kVpnClear, Values, GW_WRITES(IPSecRemoteSubnets));
GW_EXPORT_GET_AT(IPSecRemoteSubnets)
GW_EXPORT_VPN_UPDATE(IPSecRemoteSubnets)
GW_EXPORT_VPN_ADD_UNDER(IPSecRemoteSubnets)
GW_EXPORT_VPN_SET_UNDER(IPSecRemoteSubnets)
GW_EXPORT_DEL(IPSecRemoteSubnets, del)
GW_EXPORT_VPN_CLEAR_UNDER(IPSecRemoteSubnets)

GW_KIND(VPNL2TP, "VPN.L2TP", Collection, "/com/yvc/igd1/VPN/L2TP", nullptr, kGetObjs, Values, GW_NO_WRITES);
GW_EXPORT_GET_OBJS(VPNL2TP)

GW_KIND(VPN_L2TP, "VPN.L2TP", Collection, "/com/yvc/igd1/VPN/L2TP", nullptr,
        kVpnUpdate | kDelObj | kVpnClear | kGet | kVpnAdd | kVpnSet, Values, GW_WRITES(VPN_L2TP));
GW_EXPORT_VPN_UPDATE(VPN_L2TP)
GW_EXPORT_DEL_OBJ(VPN_L2TP)
GW_EXPORT_VPN_CLEAR(VPN_L2TP)
GW_EXPORT_GET_AT(VPN_L2TP)
GW_EXPORT_VPN_ADD(VPN_L2TP)
GW_EXPORT_VPN_SET(VPN_L2TP)

GW_KIND(VPN_L2TPClient, "VPN.L2TP.Client", Collection, "/com/yvc/igd1/VPN/L2TP/1/Client", nullptr,
        kGetObjs | kDelObj | kVpnClear | kVpnUpdate | kVpnAdd | kVpnSet, Values, GW_WRITES(VPN_L2TPClient));
GW_EXPORT_GET_OBJS(VPN_L2TPClient)
GW_EXPORT_DEL_OBJ(VPN_L2TPClient)
GW_EXPORT_VPN_CLEAR(VPN_L2TPClient)
GW_EXPORT_VPN_UPDATE(VPN_L2TPClient)
GW_EXPORT_VPN_ADD(VPN_L2TPClient)
GW_EXPORT_VPN_SET(VPN_L2TPClient)

GW_KIND(VPNL2TPClient, "VPN.L2TP.Client", Collection, "/com/yvc/igd1/VPN/L2TP/1/Client", nullptr, kGet, Values,
        GW_NO_WRITES);
GW_EXPORT_GET_AT(VPNL2TPClient)

GW_KIND(VPN_L2TPRemoteSubnets, "VPN.L2TP.Client.RemoteSubnets", SubCollection, "/com/yvc/igd1/VPN/L2TP/1/Client",
        "RemoteSubnets", kGetObjs | kVpnRmObj | kVpnClear | kVpnUpdate | kVpnAdd | kVpnSet, Values,
        GW_WRITES(VPN_L2TPRemoteSubnets));
GW_EXPORT_GET_OBJS_UNDER(VPN_L2TPRemoteSubnets)
GW_EXPORT_DEL(VPN_L2TPRemoteSubnets, rm_obj)
GW_EXPORT_VPN_CLEAR_UNDER(VPN_L2TPRemoteSubnets)
GW_EXPORT_VPN_UPDATE(VPN_L2TPRemoteSubnets)
GW_EXPORT_VPN_ADD_UNDER(VPN_L2TPRemoteSubnets)
GW_EXPORT_VPN_SET_UNDER(VPN_L2TPRemoteSubnets)

GW_KIND(VPN_L2TPServer, "VPN.L2TP.Server", Single, "/com/yvc/igd1/VPN/L2TP/1/Server", nullptr, kGet | kSet, Values,
        GW_WRITES(VPN_L2TPServer));
GW_EXPORT_GET(VPN_L2TPServer)
GW_EXPORT_SET(VPN_L2TPServer)

GW_KIND(VPN_L2TPServerAccount, "VPN.L2TP.Server.Account", Collection, "/com/yvc/igd1/VPN/L2TP/1/Server/Account",
        nullptr, kGetObjs | kVpnRmObj | kVpnClear | kVpnUpdate | kVpnAdd | kVpnSet, Values,
        GW_WRITES(VPN_L2TPServerAccount));
GW_EXPORT_GET_OBJS(VPN_L2TPServerAccount)
GW_EXPORT_DEL(VPN_L2TPServerAccount, rm_obj)
GW_EXPORT_VPN_CLEAR(VPN_L2TPServerAccount)
GW_EXPORT_VPN_UPDATE(VPN_L2TPServerAccount)
GW_EXPORT_VPN_ADD(VPN_L2TPServerAccount)
GW_EXPORT_VPN_SET(VPN_L2TPServerAccount)

GW_KIND(VPNVxLAN, "VPN.VxLAN", Collection, "/com/yvc/igd1/VPN/VxLAN", nullptr,
        kGetObjs | kGet | kVpnRmObj | kVpnClear | kVpnUpdate | kVpnAdd | kVpnSet, Values, GW_WRITES(VPNVxLAN));
GW_EXPORT_GET_OBJS(VPNVxLAN)
GW_EXPORT_GET_AT(VPNVxLAN)
GW_EXPORT_DEL(VPNVxLAN, rm_obj)
GW_EXPORT_VPN_CLEAR(VPNVxLAN)
GW_EXPORT_VPN_UPDATE(VPNVxLAN)
GW_EXPORT_VPN_ADD(VPNVxLAN)
GW_EXPORT_VPN_SET(VPNVxLAN)

GW_KIND_TABLE(kinds_vpn, &kind_VPN, &kind_IPSec, &kind_IPSecLocalSubnets, &kind_IPSecReMoteSubnets,
              &kind_IPSecRemoteSubnets, &kind_VPNL2TP, &kind_VPN_L2TP, &kind_VPN_L2TPClient, &kind_VPNL2TPClient,
              &kind_VPN_L2TPRemoteSubnets, &kind_VPN_L2TPServer, &kind_VPN_L2TPServerAccount, &kind_VPNVxLAN)
