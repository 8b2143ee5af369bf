/* Typed object accessors of the gateway configuration service (com.yvc.igd1).
 *
 * Each object kind has a fixed-layout record; its fields follow the kind's property table.
 * Multi-instance records begin with their object path (256 bytes); VPN collection records begin with
 * the instance index, then the path. Strings are cut to their field size minus one and always
 * terminated. Property types: b gboolean, y uint8_t, q uint16_t, u uint32_t, i int32_t, t uint64_t,
 * d double, s char[N], as a string list (char **, NULL-terminated, see bus.h).
 *
 * Operations return 0 on success and -1 on failure; out-parameters are written only on success.
 *   ccif_<Kind>_get        read one object (single kinds: fixed path; instances: the path given)
 *   ccif_<Kind>_get_objs   list a collection into one zero-filled block of records; an empty collection
 *                          gives count 0, a NULL block and success
 *   ccif_<Kind>_set        write the kind's writable properties with one "SetValues"
 *   ccif_<Kind>_setv       write a caller-built a{sv} map unchanged (the map is consumed)
 *   ccif_<Kind>_add_obj    add an object and write the record to it; a failed write removes it again
 *   ccif_<Kind>_del_obj    delete one instance; del_objs deletes every child, clear_objs empties the
 *                          collection with "RemoveAllObjects"
 * Kinds whose collection hangs below an instance (PortMapping, Classification, Duration, ...) take the
 * parent instance path as their first argument for get_objs, add_obj, del_objs and clear_objs.
 *
 * VPN kinds: _get_objs, _get, _add (AddObject, then _update), _update (SetValues), _set (label, record:
 * index 0 or an index that does not exist adds, an existing index updates), _del/_del_obj/_rm_obj (path)
 * and _clear. _add and _set store the new path and index in the record.
 *
 * Releasing: a block from _get_objs is released with g_free() (or free()). Records of the kinds that
 * hold string lists (TrafficDetailProcess, URLControlConfig) own those lists: release a block with
 * ccif_free_objs("<Kind>", block, count) and the lists of a single record with
 * ccif_free_obj_lists("<Kind>", record). A record handed to _get is overwritten, so release its lists
 * first. */
#ifndef GWBUS_OBJECTS_H
#define GWBUS_OBJECTS_H

#include <glib.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define CCIF_PATH_SIZE 256

/* Frees every string list inside count records of the kind, then the block. A NULL block is fine;
 * an unknown kind frees the block only. */
void ccif_free_objs(const char *kind, void *objs, int count);
/* Frees the string lists of one record and clears the fields; the record itself is the caller's. */
void ccif_free_obj_lists(const char *kind, void *obj);

/* ---- Info ------------------------------------------------------------------------------------ */

typedef struct {
    uint8_t BusinessStatus;
    char Vendor[65];
    char MAC[13];
    char SWVersion[65];
    char HDVersion[65];
    char SpecVersion[17];
    char DBusInterfaceVersion[17];
    char ProductClass[65];
    char MainChipClass[65];
    char GPONSN[13];
    char ModelName[65];
    uint32_t POTSNum;
    uint32_t LANNum;
    uint32_t FlashSize;
    uint32_t RamSize;
    char DevName[256];
    uint8_t CPUUsage;
    uint8_t MEMUsage;
    uint8_t FlashUsage;
    uint32_t UpTime;
    char ManufacturerOUI[7];
    char SerialNumber[65];
    uint8_t WiFiVersion;
    uint8_t DevWiFi;
    uint8_t DevUSB;
    char KernelVersion[65];
    uint32_t KernelBit;
    char IfName[33];
    uint8_t DevType;
    uint8_t WorkMode;
} ccif_DeviceInfo_t;

typedef struct {
    char MgtURL[256];
    uint32_t MgtPort;
    uint32_t Hb;
    char WANName[256];
    uint32_t Ability;
    uint32_t LocatePort1;
    uint32_t LocatePort2;
    char LocalUserName[17];
    char LocalUserPassword[64];
    char LocalAdminName[17];
    char LocalAdminPassword[64];
    char Version[17];
    char Province[9];
} ccif_MngPlatInfo_t;

typedef struct {
    uint8_t UPLink;
    uint32_t UPLinkType;
    char WiFiMode[128];
    uint32_t PONDuration;
    uint32_t PPPOEDuration;
    char WANConnectionStatus[64];
    char PPPoEDialReason[64];
    char IPv6_WANConnectionStatus[64];
    char IPv6_PPPoEDialReason[64];
    uint8_t WANLinkStatus;
    char LANIPAddr[16];
    char LANIPv6Addr[46];
    char WANIPAddr[16];
    char WANIPv6Addr[46];
    uint64_t WiFiBytes;
    uint64_t WiFiTxBytes;
    uint64_t WiFiRxBytes;
    uint64_t WANBytes;
    uint64_t WANTxBytes;
    uint64_t WANRxBytes;
} ccif_NetworkInfo_t;

typedef struct {
    char LOID[64];
    char Password[64];
    double Temperature;
    double Voltage;
    double Current;
    double TXPower;
    double RXPower;
    char PONStatus[64];
    uint64_t UpSpeed;
    uint64_t DownSpeed;
    uint64_t BytesSent;
    uint64_t BytesReceived;
} ccif_PONInfo_t;

typedef struct {
    uint32_t WANPPPConnectionNumberOfEntries;
    uint32_t WANIPConnectionNumberOfEntries;
} ccif_WANConnectManager_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char Index[9];
    char WANName[256];
    char IfName[33];
    char ServiceList[33];
    char LanInterface[65];
    uint8_t VLANMode;
    uint32_t VLANID;
    uint32_t VLAN8021P;
    int32_t MulticastVlan;
    gboolean LanDHCPEnable;
    uint8_t Protocol;
    char ConnectionStatus[33];
    char ConnectionType[33];
    gboolean NATEnabled;
    char AddressingType[9];
    char IPAddress[16];
    char SubnetMask[16];
    char Gateway[16];
    gboolean DNSEnabled;
    char DNSServers[64];
    char MACAddress[13];
    char ConnectionTrigger[9];
    char IPv6IPAddressOrigin[33];
    char IPv6ConnectionStatus[33];
    char IPv6IPAddress[46];
    char IPv6IPAddressAlias[46];
    char IPv6DNSServers[256];
    gboolean IPv6PrefixDelegationEnabled;
    char IPv6PrefixAlias[46];
    char IPv6PrefixOrigin[33];
    char IPv6Prefix[46];
    char IPv6PrefixLength[9];
    uint32_t IPv6PrefixPltime;
    uint32_t IPv6PrefixVltime;
    char IPv6Gateway[46];
    uint32_t UpTime;
    char LastConnectionError[64];
    char LastIPv6ConnectionError[64];
    uint64_t RxBytes;
    uint64_t TxBytes;
    uint64_t RxPkts;
    uint64_t TxPkts;
} ccif_WANConnectionInfo_t;

/* PortMapping objects hang below a WAN connection: <connection>/PortMapping/<n>. */
typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean PortMappingEnabled;
    uint32_t PortMappingLeaseDuration;
    char RemoteHost[256];
    uint32_t ExternalPort;
    uint32_t InternalPort;
    char PortMappingProtocol[7];
    char InternalClient[256];
    char PortMappingDescription[256];
} ccif_PortMapping_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char PhoneNumber[64];
    char PasswordIndicator[64];
    char LineStatus[33];
} ccif_VoIPInfo_t;

typedef struct {
    char ServerAddress[256];
    uint32_t ServerPort;
    char SecondServerAddress[256];
    uint32_t SecondServerPort;
} ccif_VoIPServer_t;

typedef struct {
    gboolean Enable2G;
    gboolean Enable5G;
    char WiFiMode[128];
    gboolean DualBand;
    uint64_t RxBytes;
    uint64_t RxPkts;
    uint64_t RxErrorPkts;
    uint64_t RxDropPkts;
    uint64_t TxBytes;
    uint64_t TxPkts;
    uint64_t TxErrorPkts;
    uint64_t TxDropPkts;
} ccif_WiFiInfo_t;

typedef struct {
    gboolean EnableReport;
} ccif_WiFiRoaming_t;

/* The framework service itself (bus "com.yvc.zep1", object "/com/yvc/zep1"). */
typedef struct {
    char ZepmgVersion[65];
    char ZepVersion[65];
    char ZepBVersion[65];
    char GwagentVersion[65];
    uint8_t BackupMTD;
    uint8_t ActiveMTD;
    uint8_t ZepLogLevel;
} ccif_framework_t;

/* ---- Config ---------------------------------------------------------------------------------- */

typedef struct {
    gboolean DHCPServerEnable;
    char LocalIP[16];
    char Submask[16];
    char DHCPStartIP[16];
    char DHCPEndIP[16];
    uint32_t DHCPDuration;
} ccif_DHCPServer_t;

typedef struct {
    gboolean Enable;
    char MinAddress[46];
    char MaxAddress[46];
    uint32_t PreferredLifeTime;
    uint32_t ValidLifeTime;
    gboolean Option16Enable;
    gboolean Option17Enable;
} ccif_DHCPv6Server_t;

typedef struct {
    char LocalAddress[46];
    char ConfigType[17];
    char DNSWAN[256];
    char Servers[256];
    char PrefixMode[17];
    char DelegatedWAN[256];
    char Prefix[46];
    uint32_t PreferredLifeTime;
    uint32_t ValidLifeTime;
} ccif_IPv6LANConfig_t;

typedef struct {
    gboolean Enable;
    uint32_t MaxRtrAdvInterval;
    uint32_t MinRtrAdvInterval;
    gboolean AdvManagedFlag;
    gboolean AdvOtherConfigflag;
} ccif_RouterAdvertisement_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char Status[9];
    char MAC[13];
    char IfName[33];
    uint32_t MaxBitRate;
    uint32_t BitRate;
    char DuplexMode[5];
    uint8_t X_YV_Mode;
    char Bind[33];
    uint64_t BytesSent;
    uint64_t BytesReceived;
    uint64_t PacketsSent;
    uint64_t PacketsReceived;
} ccif_EthernetConfig_t;

/* HostClass holds the host state: "ONLINE", "OFFLINE" or "BLOCK". */
typedef struct {
    char path[CCIF_PATH_SIZE];
    char MAC[13];
    char HostClass[8];
    char HostName[64];
    char DevName[256];
    char IP[17];
    char DevType[64];
    uint8_t ConnectDevice;
    char ConnectDeviceMAC[13];
    char ConnectDeviceSN[13];
    char ConnectInterface[33];
    uint8_t ConnectionType;
    char SSIDName[17];
    uint32_t Channel;
    char Antenna[4];
    char Protocol[9];
    char RadioType[5];
    char FrequencyWidth[33];
    uint8_t Speedupstate;
    int32_t RSSI;
    char Speed[33];
    int32_t Noise;
    int32_t SNR;
    char Brand[64];
    char OS[64];
    char Model[64];
    char SWVersion[65];
    char KernelVersion[65];
    uint32_t OnlineTime;
    uint32_t UsBandwidth;
    uint32_t DsBandwidth;
    uint32_t UsGuaranteeBandwidth;
    uint32_t DsGuaranteeBandwidth;
    uint64_t UpSpeed;
    uint64_t DownSpeed;
    uint64_t RxBytes;
    uint64_t TxBytes;
} ccif_LANHost_t;

typedef struct {
    gboolean EnableStats;
    uint32_t LANHostMaxNumber;
    uint32_t LANHostNumber;
    uint32_t LANHostOnlineNumber;
} ccif_LANHostManager_t;

typedef struct {
    uint8_t LEDStatus;
} ccif_LED_t;

typedef struct {
    gboolean Switch;
} ccif_SleepTimer_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char MAC[18];
    char TemplateName[33];
} ccif_URLControlCTR_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char Name[33];
    uint8_t UrlFilterEnable;
    uint8_t UrlFilterPolicy;
    char **UrlFilterList;
} ccif_URLControlConfig_t;

/* Below an URLControlConfig instance: <template>/Duration/<n>. */
typedef struct {
    char path[CCIF_PATH_SIZE];
    char StartTime[16];
    char EndTime[16];
    char RepeatDay[33];
} ccif_URLControlDuration_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char SSID[17];
    gboolean Enable;
    char BSSID[13];
    char IfName[33];
    uint8_t EncryptionMode;
    char PWD[64];
    uint32_t TransmitPower;
    uint32_t Channel;
    gboolean AutoChannelEnable;
    char ChannelsInUse[1025];
    gboolean SSIDAdvertisementEnabled;
    char RadioType[7];
    char FrequencyWidth[33];
    char Standard[33];
    gboolean IsGuest;
    uint8_t X_YV_Mode;
    char Bind[33];
    uint64_t Duration;
    uint64_t RemainDuration;
    gboolean PortIsolation;
    uint32_t MaxSta;
    uint32_t OnlineSta;
    uint64_t TotalBytesSent;
    uint64_t TotalBytesReceived;
    uint64_t TotalPacketsSent;
    uint64_t TotalPacketsReceived;
    uint64_t ErrorsSent;
    uint64_t ErrorsReceived;
    uint64_t DiscardPacketsSent;
    uint64_t DiscardPacketsReceived;
    uint32_t AccessRule;
    char AllowdIPPort[257];
} ccif_WLANConfiguration_t;

/* The WPS object of one WLAN device: <device>/WPS. */
typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
} ccif_WPS_t;

typedef struct {
    char StartTime[7];
    char EndTime[7];
    gboolean Enable;
    char ControlCycle[7];
} ccif_WiFiTimer_t;

/* ---- Network --------------------------------------------------------------------------------- */

typedef struct {
    char path[CCIF_PATH_SIZE];
    char MAC[18];
} ccif_AccessControlBlackList_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char MAC[18];
} ccif_StorageBlackList_t;

typedef struct {
    uint8_t Enable;
    char Password[256];
} ccif_HTTPServer_t;

typedef struct {
    char DiagnosticsState[10];
    char TestDirection[17];
    char TestMode[33];
    char DownloadURL[256];
    char TestURL[256];
    char ReportURL[256];
    char Source[9];
    char Status[33];
    char PPPoEIP[129];
    char PPPoEName[129];
    char Cspeed[33];
    char Aspeed[33];
    char Bspeed[33];
    char Maxspeed[33];
    char Starttime[33];
    char Endtime[33];
    char Totalsize[33];
    char Backgroundsize[33];
    char Failcode[33];
    char WANName[256];
} ccif_SpeedTestTry_t;

/* ---- Storage --------------------------------------------------------------------------------- */

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint8_t Enable;
    gboolean Anonymous;
    uint32_t Port;
    char UserName[256];
    char Password[256];
    char FTPPath[256];
} ccif_FTPServer_t;

typedef struct {
    uint8_t Enable;
    gboolean Anonymous;
} ccif_SambaServer_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char UserName[256];
    char Password[256];
} ccif_SambaAccount_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint16_t DeviceType;
    int32_t DeviceId;
    char DeviceName[64];
    char Vendor[64];
    char Model[64];
    gboolean WriteProtection;
} ccif_USB_Device_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char MountPoint[128];
    uint64_t TotalSize;
    uint64_t UsedSize;
    uint64_t FreeSize;
    char Label[128];
} ccif_USB_FileSystem_t;

/* ---- Transfer -------------------------------------------------------------------------------- */

typedef struct {
    gboolean RedirectEnable;
    char RedirectURL[256];
} ccif_AutoDiagnosticsRedirect_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint32_t Index;
    char DestIP[16];
    uint32_t DestPort;
    char SourceIP[16];
    uint32_t SourcePort;
    char Protocol[4];
} ccif_FastPathSpeedUp_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char Status[9];
    gboolean StaticRoute;
    char Type[8];
    char DestIPAddress[16];
    char DestSubnetMask[16];
    char GatewayIPAddress[16];
    char Interface[256];
} ccif_Layer3ForwardingIPv4Config_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char Status[9];
    gboolean StaticRoute;
    char Type[8];
    char DestIPPrefix[46];
    char NextHop[46];
    char Interface[256];
} ccif_Layer3ForwardingIPv6Config_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint32_t Index;
    char RemoteAddress[256];
    uint32_t RemotePort;
    char Direction[5];
    char HostMAC[18];
    char **MethodList;
    char **StatusCodeList;
    char **HeaderList;
    char PluginName[256];
} ccif_TrafficDetailProcess_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint32_t Index;
    char RemoteAddress[256];
    char RemotePort[12];
    char Protocol[4];
    char HostMAC[18];
    char ForwardToIP[46];
    uint32_t ForwardToPort;
} ccif_TrafficForward_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint32_t Index;
    char RemoteAddress[256];
    char RemotePort[12];
    char Direction[5];
    char Protocol[4];
    char HostMAC[18];
    char MirrorToIP[46];
    uint32_t MirrorToPort;
} ccif_TrafficMirror_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    char PluginName[256];
} ccif_TrafficMonitoringConfig_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    uint32_t Flow;
    uint64_t UsStats;
    uint64_t DsStats;
    uint32_t UpSpeed;
    uint32_t DownSpeed;
    uint8_t DSCPRemark;
} ccif_TrafficQoSFlow_t;

/* Below a flow: <flow>/Classification/<n>. */
typedef struct {
    char path[CCIF_PATH_SIZE];
    char RemoteAddress[256];
    char RemotePort[12];
} ccif_TrafficQoSClassification_t;

typedef struct {
    char path[CCIF_PATH_SIZE];
    gboolean WMMEnable;
    char WMMSupportedSSID[256];
    gboolean UAPSDSupported;
} ccif_WMMConfiguration_t;

typedef struct {
    uint32_t MaxIPSetEntry;
} ccif_WMMProfile_t;

/* Below a WMMConfiguration instance: <configuration>/WMMServiceIPSet/<n>. */
typedef struct {
    char path[CCIF_PATH_SIZE];
    char ServiceName[26];
    char ACLevel[26];
    char TargetIP[64];
    char TargetPort[64];
    char SourceIP[64];
    char SourcePort[64];
    char Protocol[4];
} ccif_WMMServiceIPSet_t;

/* ---- Orvane ---------------------------------------------------------------------------------- */

typedef struct {
    char path[CCIF_PATH_SIZE];
    char WANName[256];
    char PPPoEUserName[64];
    char PPPoEPassword[64];
    char DialMode[16];
    uint32_t IdleTime;
} ccif_PPPoE_t;

typedef struct {
    uint32_t RestoreStatus;
} ccif_SysCmd_t;

/* ---- Firewall -------------------------------------------------------------------------------- */

typedef struct {
    uint32_t ProfileNumberOfEntries;
    uint32_t MaxProfileNumber;
} ccif_Firewall_L2TPVPNProfile_t;

typedef struct {
    char Name[256];
    char InsAddress[256];
    char UserName[256];
    char Password[256];
    uint32_t DestPort;
    uint8_t Enable;
    uint8_t Operate;
} ccif_Firewall_L2TPVPN_t;

typedef ccif_Firewall_L2TPVPNProfile_t ccif_Firewall_NetworkAccelerationProfile_t;

typedef struct {
    char Name[256];
    char WANName[256];
    uint8_t Enable;
    uint8_t Operate;
} ccif_Firewall_NetworkAcceleration_t;

typedef ccif_Firewall_L2TPVPNProfile_t ccif_Firewall_TrafficControlProfile_t;

typedef struct {
    char Name[256];
    uint8_t Enable;
    uint8_t Operate;
    uint8_t Target;
    uint8_t Priority;
} ccif_Firewall_TrafficControl_t;

/* ---- FTTO ------------------------------------------------------------------------------------ */

typedef struct {
    double Temperature;
    double Voltage;
    double Current;
    double TXPower;
    double RXPower;
} ccif_FTTO_LanOpticInfo_t;

typedef struct {
    uint32_t AllowSlaveNum;
    uint32_t SlaveNum;
    uint32_t SlaveOnlineNum;
} ccif_FTTO_SlaveManager_t;

/* ---- VPN ------------------------------------------------------------------------------------- */

typedef struct {
    gboolean Enable;
    char VPNType[33];
    uint32_t VPNNum;
} ccif_VPN_t;

typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char Status[33];
    char IPSecType[33];
    char Name[65];
    char WANInterface[256];
    char RemoteIP[46];
    char LocalIP[46];
    char ExchangeMode[33];
    char IKEAuthenticationAlgorithm[33];
    char IKEAuthenticationMethod[33];
    char IKEEncryptionAlgorithm[33];
    char IKEDHGroup[33];
    char IKEIDType[33];
    char IKELocalName[65];
    char IKERemoteName[65];
    char IKEPreshareKey[129];
    char IPSecTransform[33];
    char ESPAuthenticationAlgorithm[33];
    char ESPEncryptionAlgorithm[33];
    char IPSecPFS[33];
    uint32_t IKESAPeriod;
    uint32_t IPSecSATimePeriod;
    uint32_t IPSecSATrafficPeriod;
    char AHAuthenticationAlgorithm[33];
    gboolean DPDEnable;
    uint32_t DPDThreshold;
    uint32_t DPDRetry;
    uint64_t RxPkts;
    uint64_t TxPkts;
    uint64_t RxBytes;
    uint64_t TxBytes;
} ccif_IPSec_t;

/* Below an IPSec instance: <tunnel>/LocalSubnets/<n>. */
typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    char LocalIPAddress[46];
    char LocalSubnetMask[46];
} ccif_IPSecLocalSubnets_t;

/* Below an IPSec instance: <tunnel>/RemoteSubnets/<n>; IPSecReMoteSubnets is its listing half. */
typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    char DestIPAddress[46];
    char DestSubnetMask[46];
} ccif_IPSecRemoteSubnets_t;
typedef ccif_IPSecRemoteSubnets_t ccif_IPSecReMoteSubnets_t;

/* Instances of /com/yvc/igd1/VPN/L2TP; VPNL2TP is its listing half. */
typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char L2TPType[13];
} ccif_VPN_L2TP_t;
typedef ccif_VPN_L2TP_t ccif_VPNL2TP_t;

/* Instances of /com/yvc/igd1/VPN/L2TP/1/Client; VPNL2TPClient reads one of them. */
typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char ServerIP[46];
    uint32_t ServerPort;
    char Name[65];
    gboolean EnableNAT;
    char UserName[65];
    char Password[65];
    char WANInterface[256];
    uint64_t RxPkts;
    uint64_t TxPkts;
    uint64_t RxBytes;
    uint64_t TxBytes;
} ccif_VPN_L2TPClient_t;
typedef ccif_VPN_L2TPClient_t ccif_VPNL2TPClient_t;

/* Below a client: <client>/RemoteSubnets/<n>. */
typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    char DestIPAddress[46];
    char DestSubnetMask[46];
} ccif_VPN_L2TPRemoteSubnets_t;

typedef struct {
    gboolean Enable;
    char StartAddress[46];
    char EndAddress[46];
    char MaskAddress[46];
    char LanAddress[46];
    char WANInterface[256];
} ccif_VPN_L2TPServer_t;

typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char UserName[65];
    char Password[65];
} ccif_VPN_L2TPServerAccount_t;

typedef struct {
    uint32_t Index;
    char path[CCIF_PATH_SIZE];
    gboolean Enable;
    char Status[33];
    uint32_t TunnelKey;
    char WANInterface[256];
    char TunnelInterface[33];
    char TunnelRemoteIp[46];
    uint32_t WorkMode;
    uint32_t MaxMTUSize;
    char IPAddress[46];
    char SubnetMask[46];
    char AddressingType[9];
    gboolean NATEnabled;
    char DNSServers[256];
    uint64_t RxPkts;
    uint64_t TxPkts;
    uint64_t RxBytes;
    uint64_t TxBytes;
} ccif_VPNVxLAN_t;

/* ---- operations ------------------------------------------------------------------------------ */

#define CCIF_DECL_GET(K) int ccif_##K##_get(ccif_##K##_t *obj);
#define CCIF_DECL_GET_AT(K) int ccif_##K##_get(const char *path, ccif_##K##_t *obj);
#define CCIF_DECL_GET_OBJS(K) int ccif_##K##_get_objs(ccif_##K##_t **objs, int *count);
#define CCIF_DECL_GET_OBJS_UNDER(K) int ccif_##K##_get_objs(const char *parent, ccif_##K##_t **objs, int *count);
#define CCIF_DECL_SET(K) int ccif_##K##_set(const ccif_##K##_t *obj);
#define CCIF_DECL_SETV(K) int ccif_##K##_setv(const char *path, GVariant *map);
#define CCIF_DECL_ADD_OBJ(K) int ccif_##K##_add_obj(ccif_##K##_t *obj);
#define CCIF_DECL_ADD_OBJ_UNDER(K) int ccif_##K##_add_obj(const char *parent, ccif_##K##_t *obj);
#define CCIF_DECL_DEL_OBJ(K) int ccif_##K##_del_obj(const char *path);
#define CCIF_DECL_DEL_OBJS(K) int ccif_##K##_del_objs(const char *parent);
#define CCIF_DECL_CLEAR_OBJS(K) int ccif_##K##_clear_objs(const char *parent);

CCIF_DECL_GET(FTTO_LanOpticInfo)
CCIF_DECL_GET(FTTO_SlaveManager)
CCIF_DECL_SET(FTTO_SlaveManager)

CCIF_DECL_GET_AT(AccessControlBlackList)
CCIF_DECL_GET_OBJS(AccessControlBlackList)
CCIF_DECL_SET(AccessControlBlackList)
CCIF_DECL_DEL_OBJ(AccessControlBlackList)
CCIF_DECL_ADD_OBJ(AccessControlBlackList)

CCIF_DECL_GET(AutoDiagnosticsRedirect)
CCIF_DECL_SET(AutoDiagnosticsRedirect)
CCIF_DECL_GET(DHCPServer)
CCIF_DECL_SET(DHCPServer)
CCIF_DECL_GET(DHCPv6Server)
CCIF_DECL_SET(DHCPv6Server)
CCIF_DECL_GET(DeviceInfo)
CCIF_DECL_SET(DeviceInfo)

CCIF_DECL_GET_AT(EthernetConfig)
CCIF_DECL_GET_OBJS(EthernetConfig)
CCIF_DECL_SET(EthernetConfig)

CCIF_DECL_GET_AT(FTPServer)
CCIF_DECL_GET_OBJS(FTPServer)
CCIF_DECL_SETV(FTPServer)
CCIF_DECL_SET(FTPServer)
CCIF_DECL_DEL_OBJ(FTPServer)
CCIF_DECL_ADD_OBJ(FTPServer)

CCIF_DECL_GET_AT(FastPathSpeedUp)
CCIF_DECL_GET_OBJS(FastPathSpeedUp)
CCIF_DECL_SET(FastPathSpeedUp)
CCIF_DECL_DEL_OBJ(FastPathSpeedUp)
CCIF_DECL_ADD_OBJ(FastPathSpeedUp)

CCIF_DECL_GET(Firewall_L2TPVPNProfile)
CCIF_DECL_GET(Firewall_L2TPVPN)
CCIF_DECL_SET(Firewall_L2TPVPN)
CCIF_DECL_GET(Firewall_NetworkAccelerationProfile)
CCIF_DECL_GET(Firewall_NetworkAcceleration)
CCIF_DECL_SET(Firewall_NetworkAcceleration)
CCIF_DECL_GET(Firewall_TrafficControlProfile)
CCIF_DECL_GET(Firewall_TrafficControl)
CCIF_DECL_SET(Firewall_TrafficControl)

CCIF_DECL_GET(HTTPServer)
CCIF_DECL_SET(HTTPServer)
CCIF_DECL_GET(IPv6LANConfig)
CCIF_DECL_SET(IPv6LANConfig)

CCIF_DECL_GET_AT(LANHost)
CCIF_DECL_GET_OBJS(LANHost)
CCIF_DECL_SETV(LANHost)
CCIF_DECL_SET(LANHost)

/* Writes EnableStats alone, with "Set". */
CCIF_DECL_GET(LANHostManager)
CCIF_DECL_SET(LANHostManager)
CCIF_DECL_GET(LED)
CCIF_DECL_SET(LED)

/* _set reads the object at obj->path first: it is updated when it exists, otherwise a new object is
 * added and obj->path receives the new path. */
CCIF_DECL_GET_AT(Layer3ForwardingIPv4Config)
CCIF_DECL_GET_OBJS(Layer3ForwardingIPv4Config)
CCIF_DECL_DEL_OBJ(Layer3ForwardingIPv4Config)
CCIF_DECL_ADD_OBJ(Layer3ForwardingIPv4Config)
int ccif_Layer3ForwardingIPv4Config_set(ccif_Layer3ForwardingIPv4Config_t *obj);
CCIF_DECL_GET_AT(Layer3ForwardingIPv6Config)
CCIF_DECL_GET_OBJS(Layer3ForwardingIPv6Config)
CCIF_DECL_DEL_OBJ(Layer3ForwardingIPv6Config)
CCIF_DECL_ADD_OBJ(Layer3ForwardingIPv6Config)
int ccif_Layer3ForwardingIPv6Config_set(ccif_Layer3ForwardingIPv6Config_t *obj);

CCIF_DECL_GET(MngPlatInfo)
CCIF_DECL_GET(NetworkInfo)
CCIF_DECL_GET(PONInfo)

CCIF_DECL_GET_AT(PPPoE)
CCIF_DECL_GET_OBJS(PPPoE)

/* parent: the WAN connection path. */
CCIF_DECL_GET_AT(PortMapping)
CCIF_DECL_GET_OBJS_UNDER(PortMapping)
CCIF_DECL_SET(PortMapping)
CCIF_DECL_DEL_OBJ(PortMapping)
CCIF_DECL_ADD_OBJ_UNDER(PortMapping)

CCIF_DECL_GET(RouterAdvertisement)
CCIF_DECL_SET(RouterAdvertisement)

CCIF_DECL_GET_AT(SambaAccount)
CCIF_DECL_GET_OBJS(SambaAccount)
CCIF_DECL_SET(SambaAccount)
CCIF_DECL_DEL_OBJ(SambaAccount)
CCIF_DECL_ADD_OBJ(SambaAccount)

CCIF_DECL_GET(SambaServer)
CCIF_DECL_SET(SambaServer)
CCIF_DECL_GET(SleepTimer)
CCIF_DECL_SET(SleepTimer)
CCIF_DECL_GET(SpeedTestTry)
CCIF_DECL_SET(SpeedTestTry)

CCIF_DECL_GET_AT(StorageBlackList)
CCIF_DECL_GET_OBJS(StorageBlackList)
CCIF_DECL_SET(StorageBlackList)
CCIF_DECL_DEL_OBJ(StorageBlackList)
CCIF_DECL_ADD_OBJ(StorageBlackList)

CCIF_DECL_GET(SysCmd)

CCIF_DECL_GET_AT(TrafficDetailProcess)
CCIF_DECL_GET_OBJS(TrafficDetailProcess)
CCIF_DECL_SET(TrafficDetailProcess)
CCIF_DECL_DEL_OBJ(TrafficDetailProcess)
CCIF_DECL_ADD_OBJ(TrafficDetailProcess)

CCIF_DECL_GET_AT(TrafficForward)
CCIF_DECL_GET_OBJS(TrafficForward)
CCIF_DECL_SET(TrafficForward)
CCIF_DECL_DEL_OBJ(TrafficForward)
CCIF_DECL_ADD_OBJ(TrafficForward)

CCIF_DECL_GET_AT(TrafficMirror)
CCIF_DECL_GET_OBJS(TrafficMirror)
CCIF_DECL_SET(TrafficMirror)
CCIF_DECL_DEL_OBJ(TrafficMirror)
CCIF_DECL_ADD_OBJ(TrafficMirror)

CCIF_DECL_GET_AT(TrafficMonitoringConfig)
CCIF_DECL_GET_OBJS(TrafficMonitoringConfig)
CCIF_DECL_SET(TrafficMonitoringConfig)
CCIF_DECL_DEL_OBJ(TrafficMonitoringConfig)
CCIF_DECL_ADD_OBJ(TrafficMonitoringConfig)

/* parent: the flow path. */
CCIF_DECL_GET_AT(TrafficQoSClassification)
CCIF_DECL_GET_OBJS_UNDER(TrafficQoSClassification)
CCIF_DECL_SET(TrafficQoSClassification)
CCIF_DECL_DEL_OBJ(TrafficQoSClassification)
CCIF_DECL_CLEAR_OBJS(TrafficQoSClassification)
CCIF_DECL_ADD_OBJ_UNDER(TrafficQoSClassification)

CCIF_DECL_GET_AT(TrafficQoSFlow)
CCIF_DECL_GET_OBJS(TrafficQoSFlow)
CCIF_DECL_SET(TrafficQoSFlow)
CCIF_DECL_DEL_OBJ(TrafficQoSFlow)
CCIF_DECL_ADD_OBJ(TrafficQoSFlow)

CCIF_DECL_GET_AT(URLControlCTR)
CCIF_DECL_GET_OBJS(URLControlCTR)
CCIF_DECL_SETV(URLControlCTR)
CCIF_DECL_SET(URLControlCTR)
CCIF_DECL_DEL_OBJ(URLControlCTR)
CCIF_DECL_ADD_OBJ(URLControlCTR)

CCIF_DECL_GET_AT(URLControlConfig)
CCIF_DECL_GET_OBJS(URLControlConfig)
CCIF_DECL_SETV(URLControlConfig)
CCIF_DECL_SET(URLControlConfig)
CCIF_DECL_DEL_OBJ(URLControlConfig)
CCIF_DECL_ADD_OBJ(URLControlConfig)

/* parent: the template (URLControlConfig instance) path. */
CCIF_DECL_GET_AT(URLControlDuration)
CCIF_DECL_GET_OBJS_UNDER(URLControlDuration)
CCIF_DECL_SET(URLControlDuration)
CCIF_DECL_DEL_OBJ(URLControlDuration)
CCIF_DECL_DEL_OBJS(URLControlDuration)
CCIF_DECL_ADD_OBJ_UNDER(URLControlDuration)

CCIF_DECL_GET_AT(USB_Device)
CCIF_DECL_GET_OBJS(USB_Device)
CCIF_DECL_GET_AT(USB_FileSystem)
CCIF_DECL_GET_OBJS(USB_FileSystem)

CCIF_DECL_GET_AT(VoIPInfo)
CCIF_DECL_GET_OBJS(VoIPInfo)
CCIF_DECL_GET(VoIPServer)
CCIF_DECL_GET(WANConnectManager)
CCIF_DECL_GET_AT(WANConnectionInfo)
CCIF_DECL_GET_OBJS(WANConnectionInfo)

CCIF_DECL_GET_AT(WLANConfiguration)
CCIF_DECL_GET_OBJS(WLANConfiguration)
CCIF_DECL_SETV(WLANConfiguration)
CCIF_DECL_SET(WLANConfiguration)

CCIF_DECL_GET_AT(WMMConfiguration)
CCIF_DECL_GET_OBJS(WMMConfiguration)
CCIF_DECL_SETV(WMMConfiguration)
CCIF_DECL_SET(WMMConfiguration)
CCIF_DECL_DEL_OBJ(WMMConfiguration)
CCIF_DECL_ADD_OBJ(WMMConfiguration)
CCIF_DECL_GET(WMMProfile)

/* parent: the WMMConfiguration instance path. */
CCIF_DECL_GET_AT(WMMServiceIPSet)
CCIF_DECL_GET_OBJS_UNDER(WMMServiceIPSet)
CCIF_DECL_SETV(WMMServiceIPSet)
CCIF_DECL_SET(WMMServiceIPSet)
CCIF_DECL_DEL_OBJ(WMMServiceIPSet)
CCIF_DECL_ADD_OBJ_UNDER(WMMServiceIPSet)

/* path: <device>/WPS of a WLAN device. */
CCIF_DECL_GET_AT(WPS)
CCIF_DECL_SET(WPS)

CCIF_DECL_GET(WiFiInfo)
CCIF_DECL_SET(WiFiInfo)
CCIF_DECL_GET(WiFiRoaming)
CCIF_DECL_SET(WiFiRoaming)
CCIF_DECL_GET(WiFiTimer)
CCIF_DECL_SET(WiFiTimer)
CCIF_DECL_GET(framework)

/* ---- VPN operations -------------------------------------------------------------------------- */

#define CCIF_DECL_VPN_GET_OBJS(K) int ccif_##K##_get_objs(ccif_##K##_t **objs, int *count);
#define CCIF_DECL_VPN_GET_OBJS_UNDER(K) int ccif_##K##_get_objs(const char *parent, ccif_##K##_t **objs, int *count);
#define CCIF_DECL_VPN_ADD(K) int ccif_##K##_add(ccif_##K##_t *obj);
#define CCIF_DECL_VPN_ADD_UNDER(K) int ccif_##K##_add(const char *parent, ccif_##K##_t *obj);
#define CCIF_DECL_VPN_UPDATE(K) int ccif_##K##_update(const ccif_##K##_t *obj);
#define CCIF_DECL_VPN_SET(K) int ccif_##K##_set(const char *label, ccif_##K##_t *obj);
#define CCIF_DECL_VPN_SET_UNDER(K) int ccif_##K##_set(const char *parent, const char *label, ccif_##K##_t *obj);
#define CCIF_DECL_VPN_DEL(K, op) int ccif_##K##_##op(const char *path);
#define CCIF_DECL_VPN_CLEAR(K) int ccif_##K##_clear(void);
#define CCIF_DECL_VPN_CLEAR_UNDER(K) int ccif_##K##_clear(const char *parent);

CCIF_DECL_GET(VPN)
CCIF_DECL_SET(VPN)

CCIF_DECL_VPN_GET_OBJS(IPSec)
CCIF_DECL_GET_AT(IPSec)
CCIF_DECL_VPN_SET(IPSec)
CCIF_DECL_VPN_DEL(IPSec, del)
CCIF_DECL_VPN_CLEAR(IPSec)

/* parent: the IPSec instance path. */
CCIF_DECL_VPN_GET_OBJS_UNDER(IPSecLocalSubnets)
CCIF_DECL_GET_AT(IPSecLocalSubnets)
CCIF_DECL_VPN_DEL(IPSecLocalSubnets, del)
CCIF_DECL_VPN_CLEAR_UNDER(IPSecLocalSubnets)
CCIF_DECL_VPN_UPDATE(IPSecLocalSubnets)
CCIF_DECL_VPN_ADD_UNDER(IPSecLocalSubnets)
CCIF_DECL_VPN_SET_UNDER(IPSecLocalSubnets)

CCIF_DECL_VPN_GET_OBJS_UNDER(IPSecReMoteSubnets)
CCIF_DECL_GET_AT(IPSecRemoteSubnets)
CCIF_DECL_VPN_UPDATE(IPSecRemoteSubnets)
CCIF_DECL_VPN_ADD_UNDER(IPSecRemoteSubnets)
CCIF_DECL_VPN_SET_UNDER(IPSecRemoteSubnets)
CCIF_DECL_VPN_DEL(IPSecRemoteSubnets, del)
CCIF_DECL_VPN_CLEAR_UNDER(IPSecRemoteSubnets)

CCIF_DECL_VPN_GET_OBJS(VPNL2TP)
CCIF_DECL_VPN_UPDATE(VPN_L2TP)
CCIF_DECL_VPN_DEL(VPN_L2TP, del_obj)
CCIF_DECL_VPN_CLEAR(VPN_L2TP)
CCIF_DECL_GET_AT(VPN_L2TP)
CCIF_DECL_VPN_ADD(VPN_L2TP)
CCIF_DECL_VPN_SET(VPN_L2TP)

CCIF_DECL_VPN_GET_OBJS(VPN_L2TPClient)
CCIF_DECL_VPN_DEL(VPN_L2TPClient, del_obj)
CCIF_DECL_VPN_CLEAR(VPN_L2TPClient)
CCIF_DECL_VPN_UPDATE(VPN_L2TPClient)
CCIF_DECL_VPN_ADD(VPN_L2TPClient)
CCIF_DECL_VPN_SET(VPN_L2TPClient)
CCIF_DECL_GET_AT(VPNL2TPClient)

/* parent: the L2TP client instance path. */
CCIF_DECL_VPN_GET_OBJS_UNDER(VPN_L2TPRemoteSubnets)
CCIF_DECL_VPN_DEL(VPN_L2TPRemoteSubnets, rm_obj)
CCIF_DECL_VPN_CLEAR_UNDER(VPN_L2TPRemoteSubnets)
CCIF_DECL_VPN_UPDATE(VPN_L2TPRemoteSubnets)
CCIF_DECL_VPN_ADD_UNDER(VPN_L2TPRemoteSubnets)
CCIF_DECL_VPN_SET_UNDER(VPN_L2TPRemoteSubnets)

CCIF_DECL_GET(VPN_L2TPServer)
CCIF_DECL_SET(VPN_L2TPServer)

CCIF_DECL_VPN_GET_OBJS(VPN_L2TPServerAccount)
CCIF_DECL_VPN_DEL(VPN_L2TPServerAccount, rm_obj)
CCIF_DECL_VPN_CLEAR(VPN_L2TPServerAccount)
CCIF_DECL_VPN_UPDATE(VPN_L2TPServerAccount)
CCIF_DECL_VPN_ADD(VPN_L2TPServerAccount)
CCIF_DECL_VPN_SET(VPN_L2TPServerAccount)

CCIF_DECL_VPN_GET_OBJS(VPNVxLAN)
CCIF_DECL_GET_AT(VPNVxLAN)
CCIF_DECL_VPN_DEL(VPNVxLAN, rm_obj)
CCIF_DECL_VPN_CLEAR(VPNVxLAN)
CCIF_DECL_VPN_UPDATE(VPNVxLAN)
CCIF_DECL_VPN_ADD(VPNVxLAN)
CCIF_DECL_VPN_SET(VPNVxLAN)

#ifdef __cplusplus
}
#endif

#endif
