// Object kinds of the Info area: one descriptor and its exported operations per kind.
#include "object_engine.hpp"

namespace {

using namespace gw::objects;

constexpr Prop kDeviceInfoProps[] = {
    GW_P(DeviceInfo, BusinessStatus, 'y'),
    GW_P(DeviceInfo, Vendor, 's'),
    GW_P(DeviceInfo, MAC, 's'),
    GW_P(DeviceInfo, SWVersion, 's'),
    GW_P(DeviceInfo, HDVersion, 's'),
    GW_P(DeviceInfo, SpecVersion, 's'),
    GW_P(DeviceInfo, DBusInterfaceVersion, 's'),
    GW_P(DeviceInfo, ProductClass, 's'),
    GW_P(DeviceInfo, MainChipClass, 's'),
    GW_P(DeviceInfo, GPONSN, 's'),
    GW_P(DeviceInfo, ModelName, 's'),
    GW_P(DeviceInfo, POTSNum, 'u'),
    GW_P(DeviceInfo, LANNum, 'u'),
    GW_P(DeviceInfo, FlashSize, 'u'),
    GW_P(DeviceInfo, RamSize, 'u'),
    GW_P(DeviceInfo, DevName, 's'),
    GW_P(DeviceInfo, CPUUsage, 'y'),
    GW_P(DeviceInfo, MEMUsage, 'y'),
    GW_P(DeviceInfo, FlashUsage, 'y'),
    GW_P(DeviceInfo, UpTime, 'u'),
    GW_P(DeviceInfo, ManufacturerOUI, 's'),
    GW_P(DeviceInfo, SerialNumber, 's'),
    GW_P(DeviceInfo, WiFiVersion, 'y'),
    GW_P(DeviceInfo, DevWiFi, 'y'),
    GW_P(DeviceInfo, DevUSB, 'y'),
    GW_P(DeviceInfo, KernelVersion, 's'),
    GW_P(DeviceInfo, KernelBit, 'u'),
    GW_P(DeviceInfo, IfName, 's'),
    GW_P(DeviceInfo, DevType, 'y'),
    GW_P(DeviceInfo, WorkMode, 'y'),
};
constexpr Written kDeviceInfoWritten[] = {
    {"DevName"},
};

constexpr Prop kMngPlatInfoProps[] = {
    GW_P(MngPlatInfo, MgtURL, 's'),
    GW_P(MngPlatInfo, MgtPort, 'u'),
    GW_P(MngPlatInfo, Hb, 'u'),
    GW_P(MngPlatInfo, WANName, 's'),
    GW_P(MngPlatInfo, Ability, 'u'),
    GW_P(MngPlatInfo, LocatePort1, 'u'),
    GW_P(MngPlatInfo, LocatePort2, 'u'),
    GW_P(MngPlatInfo, LocalUserName, 's'),
    GW_P(MngPlatInfo, LocalUserPassword, 's'),
    GW_P(MngPlatInfo, LocalAdminName, 's'),
    GW_P(MngPlatInfo, LocalAdminPassword, 's'),
    GW_P(MngPlatInfo, Version, 's'),
    GW_P(MngPlatInfo, Province, 's'),
};

constexpr Prop kNetworkInfoProps[] = {
    GW_P(NetworkInfo, UPLink, 'y'),
    GW_P(NetworkInfo, UPLinkType, 'u'),
    GW_P(NetworkInfo, WiFiMode, 's'),
    GW_P(NetworkInfo, PONDuration, 'u'),
    GW_P(NetworkInfo, PPPOEDuration, 'u'),
    GW_P(NetworkInfo, WANConnectionStatus, 's'),
    GW_P(NetworkInfo, PPPoEDialReason, 's'),
    GW_P(NetworkInfo, IPv6_WANConnectionStatus, 's'),
    GW_P(NetworkInfo, IPv6_PPPoEDialReason, 's'),
    GW_P(NetworkInfo, WANLinkStatus, 'y'),
    GW_P(NetworkInfo, LANIPAddr, 's'),
    GW_P(NetworkInfo, LANIPv6Addr, 's'),
    GW_P(NetworkInfo, WANIPAddr, 's'),
    GW_P(NetworkInfo, WANIPv6Addr, 's'),
    GW_P(NetworkInfo, WiFiBytes, 't'),
    GW_P(NetworkInfo, WiFiTxBytes, 't'),
    GW_P(NetworkInfo, WiFiRxBytes, 't'),
    GW_P(NetworkInfo, WANBytes, 't'),
    GW_P(NetworkInfo, WANTxBytes, 't'),
    GW_P(NetworkInfo, WANRxBytes, 't'),
};

constexpr Prop kPONInfoProps[] = {
    GW_P(PONInfo, LOID, 's'),      GW_P(PONInfo, Password, 's'),  GW_P(PONInfo, Temperature, 'd'),
    GW_P(PONInfo, Voltage, 'd'),   GW_P(PONInfo, Current, 'd'),   GW_P(PONInfo, TXPower, 'd'),
    GW_P(PONInfo, RXPower, 'd'),   GW_P(PONInfo, PONStatus, 's'), GW_P(PONInfo, UpSpeed, 't'),
    GW_P(PONInfo, DownSpeed, 't'), GW_P(PONInfo, BytesSent, 't'), GW_P(PONInfo, BytesReceived, 't'),
};

constexpr Prop kWANConnectManagerProps[] = {
    GW_P(WANConnectManager, WANPPPConnectionNumberOfEntries, 'u'),
    GW_P(WANConnectManager, WANIPConnectionNumberOfEntries, 'u'),
};

constexpr Prop kWANConnectionInfoProps[] = {
    GW_P(WANConnectionInfo, Index, 's'),
    GW_P(WANConnectionInfo, WANName, 's'),
    GW_P(WANConnectionInfo, IfName, 's'),
    GW_P(WANConnectionInfo, ServiceList, 's'),
    GW_P(WANConnectionInfo, LanInterface, 's'),
    GW_P(WANConnectionInfo, VLANMode, 'y'),
    GW_P(WANConnectionInfo, VLANID, 'u'),
    GW_P(WANConnectionInfo, VLAN8021P, 'u'),
    GW_P(WANConnectionInfo, MulticastVlan, 'i'),
    GW_P(WANConnectionInfo, LanDHCPEnable, 'b'),
    GW_P(WANConnectionInfo, Protocol, 'y'),
    GW_P(WANConnectionInfo, ConnectionStatus, 's'),
    GW_P(WANConnectionInfo, ConnectionType, 's'),
    GW_P(WANConnectionInfo, NATEnabled, 'b'),
    GW_P(WANConnectionInfo, AddressingType, 's'),
    GW_P(WANConnectionInfo, IPAddress, 's'),
    GW_P(WANConnectionInfo, SubnetMask, 's'),
    GW_P(WANConnectionInfo, Gateway, 's'),
    GW_P(WANConnectionInfo, DNSEnabled, 'b'),
    GW_P(WANConnectionInfo, DNSServers, 's'),
    GW_P(WANConnectionInfo, MACAddress, 's'),
    GW_P(WANConnectionInfo, ConnectionTrigger, 's'),
    GW_P(WANConnectionInfo, IPv6IPAddressOrigin, 's'),
    GW_P(WANConnectionInfo, IPv6ConnectionStatus, 's'),
    GW_P(WANConnectionInfo, IPv6IPAddress, 's'),
    GW_P(WANConnectionInfo, IPv6IPAddressAlias, 's'),
    GW_P(WANConnectionInfo, IPv6DNSServers, 's'),
    GW_P(WANConnectionInfo, IPv6PrefixDelegationEnabled, 'b'),
    GW_P(WANConnectionInfo, IPv6PrefixAlias, 's'),
    GW_P(WANConnectionInfo, IPv6PrefixOrigin, 's'),
    GW_P(WANConnectionInfo, IPv6Prefix, 's'),
    GW_P(WANConnectionInfo, IPv6PrefixLength, 's'),
    GW_P(WANConnectionInfo, IPv6PrefixPltime, 'u'),
    GW_P(WANConnectionInfo, IPv6PrefixVltime, 'u'),
    GW_P(WANConnectionInfo, IPv6Gateway, 's'),
    GW_P(WANConnectionInfo, UpTime, 'u'),
    GW_P(WANConnectionInfo, LastConnectionError, 's'),
    GW_P(WANConnectionInfo, LastIPv6ConnectionError, 's'),
    GW_P(WANConnectionInfo, RxBytes, 't'),
    GW_P(WANConnectionInfo, TxBytes, 't'),
    GW_P(WANConnectionInfo, RxPkts, 't'),
    GW_P(WANConnectionInfo, TxPkts, 't'),
};

constexpr Prop kPortMappingProps[] = {
    GW_P(PortMapping, PortMappingEnabled, 'b'), GW_P(PortMapping, PortMappingLeaseDuration, 'u'),
    GW_P(PortMapping, RemoteHost, 's'),         GW_P(PortMapping, ExternalPort, 'u'),
    GW_P(PortMapping, InternalPort, 'u'),       GW_P(PortMapping, PortMappingProtocol, 's'),
    GW_P(PortMapping, InternalClient, 's'),     GW_P(PortMapping, PortMappingDescription, 's'),
};
constexpr Written kPortMappingWritten[] = {
    {"RemoteHost"},     {"ExternalPort"},           {"InternalPort"},       {"PortMappingProtocol"},
    {"InternalClient"}, {"PortMappingDescription"}, {"PortMappingEnabled"},
};

constexpr Prop kVoIPInfoProps[] = {
    GW_P(VoIPInfo, PhoneNumber, 's'),
    GW_P(VoIPInfo, PasswordIndicator, 's'),
    GW_P(VoIPInfo, LineStatus, 's'),
};

constexpr Prop kVoIPServerProps[] = {
    GW_P(VoIPServer, ServerAddress, 's'),
    GW_P(VoIPServer, ServerPort, 'u'),
    GW_P(VoIPServer, SecondServerAddress, 's'),
    GW_P(VoIPServer, SecondServerPort, 'u'),
};

constexpr Prop kWiFiInfoProps[] = {
    GW_P(WiFiInfo, Enable2G, 'b'),    GW_P(WiFiInfo, Enable5G, 'b'),    GW_P(WiFiInfo, WiFiMode, 's'),
    GW_P(WiFiInfo, DualBand, 'b'),    GW_P(WiFiInfo, RxBytes, 't'),     GW_P(WiFiInfo, RxPkts, 't'),
    GW_P(WiFiInfo, RxErrorPkts, 't'), GW_P(WiFiInfo, RxDropPkts, 't'),  GW_P(WiFiInfo, TxBytes, 't'),
    GW_P(WiFiInfo, TxPkts, 't'),      GW_P(WiFiInfo, TxErrorPkts, 't'), GW_P(WiFiInfo, TxDropPkts, 't'),
};
constexpr Written kWiFiInfoWritten[] = {
    {"Enable2G"},
    {"Enable5G"},
};

constexpr Prop kWiFiRoamingProps[] = {
    GW_P(WiFiRoaming, EnableReport, 'b'),
};
constexpr Written kWiFiRoamingWritten[] = {
    {"EnableReport"},
};

constexpr Prop kframeworkProps[] = {
    GW_P(framework, ZepmgVersion, 's'),   GW_P(framework, ZepVersion, 's'), GW_P(framework, ZepBVersion, 's'),
    GW_P(framework, GwagentVersion, 's'), GW_P(framework, BackupMTD, 'y'),  GW_P(framework, ActiveMTD, 'y'),
    GW_P(framework, ZepLogLevel, 'y'),
};

}  // namespace

GW_KIND(DeviceInfo, "DeviceInfo", Single, "/com/yvc/igd1/Info/Device", nullptr, kGet | kSet, Values,
        GW_WRITES(DeviceInfo));
GW_EXPORT_GET(DeviceInfo)
GW_EXPORT_SET(DeviceInfo)

GW_KIND(MngPlatInfo, "MngPlatInfo", Single, "/com/yvc/igd1/Info/MngPlat", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(MngPlatInfo)

GW_KIND(NetworkInfo, "NetworkInfo", Single, "/com/yvc/igd1/Info/Network", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(NetworkInfo)

GW_KIND(PONInfo, "PONInfo", Single, "/com/yvc/igd1/Info/PON", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(PONInfo)

GW_KIND(WANConnectManager, "WANConnectManager", Single, "/com/yvc/igd1/Info/Network/WANConnectionDb", nullptr, kGet,
        Values, GW_NO_WRITES);
GW_EXPORT_GET(WANConnectManager)

GW_KIND(WANConnectionInfo, "WANConnectionInfo", Collection, "/com/yvc/igd1/Info/Network/WANConnectionDb", nullptr,
        kGet | kGetObjs, Values, GW_NO_WRITES);
GW_EXPORT_GET_AT(WANConnectionInfo)
GW_EXPORT_GET_OBJS(WANConnectionInfo)

GW_KIND(PortMapping, "PortMapping", SubCollection, "/com/yvc/igd1/Info/Network/WANConnectionDb", "PortMapping",
        kGet | kGetObjs | kSet | kDelObj | kAddObj, Values, GW_WRITES(PortMapping));
GW_EXPORT_GET_AT(PortMapping)
GW_EXPORT_GET_OBJS_UNDER(PortMapping)
GW_EXPORT_SET(PortMapping)
GW_EXPORT_DEL_OBJ(PortMapping)
GW_EXPORT_ADD_OBJ_UNDER(PortMapping)

GW_KIND(VoIPInfo, "VoIPInfo", Collection, "/com/yvc/igd1/Info/VoIP", nullptr, kGet | kGetObjs, Values, GW_NO_WRITES);
GW_EXPORT_GET_AT(VoIPInfo)
GW_EXPORT_GET_OBJS(VoIPInfo)

GW_KIND(VoIPServer, "VoIPServer", Single, "/com/yvc/igd1/Info/VoIP", nullptr, kGet, Values, GW_NO_WRITES);
GW_EXPORT_GET(VoIPServer)

GW_KIND(WiFiInfo, "WiFiInfo", Single, "/com/yvc/igd1/Info/WiFi", nullptr, kGet | kSet, Values, GW_WRITES(WiFiInfo));
GW_EXPORT_GET(WiFiInfo)
GW_EXPORT_SET(WiFiInfo)

GW_KIND(WiFiRoaming, "WiFiRoaming", Single, "/com/yvc/igd1/Info/WiFiRoaming", nullptr, kGet | kSet, Values,
        GW_WRITES(WiFiRoaming));
GW_EXPORT_GET(WiFiRoaming)
GW_EXPORT_SET(WiFiRoaming)

GW_KIND_ON("com.yvc.zep1", framework, "com.yvc.zep1.framework", Single, "/com/yvc/zep1", nullptr, kGet, Values,
           GW_NO_WRITES);
GW_EXPORT_GET(framework)

GW_KIND_TABLE(kinds_info, &kind_DeviceInfo, &kind_MngPlatInfo, &kind_NetworkInfo, &kind_PONInfo,
              &kind_WANConnectManager, &kind_WANConnectionInfo, &kind_PortMapping, &kind_VoIPInfo, &kind_VoIPServer,
              &kind_WiFiInfo, &kind_WiFiRoaming, &kind_framework)
