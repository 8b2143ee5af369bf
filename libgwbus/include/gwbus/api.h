/* Composite gateway APIs: task-level calls built on the object accessors (objects.h) and method
 * wrappers (methods.h).
 *
 * Return values: 0 success, -1 failure of a lookup or a bus call, -2 a limit or an index that does not
 * exist where a function says so; -50 means the device has no WiFi. A get that returns several items
 * allocates one block and reports the count; its api_release twin frees it and returns -1 for a NULL block.
 * A count of 0 comes with a NULL block and is success. Nothing partial is returned on failure.
 * WAN connections are addressed by their Index property, compared as the text "%u". */
#ifndef GWBUS_API_H
#define GWBUS_API_H

#include <glib.h>
#include <stdint.h>

#include "gwbus/methods.h"
#include "gwbus/objects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- port mappings (g_api_addr) -------------------------------------------------------------- */

/* More than this many mappings below one WAN connection refuse add and set with -2. */
#define API_PORTMAPPING_MAX 64

typedef struct {
    gboolean PortMappingEnabled;
    char RemoteHost[256];
    uint32_t ExternalPort;
    uint32_t InternalPort;
    char PortMappingProtocol[7];
    char InternalClient[256];
    char PortMappingDescription[256];
} api_PortMappingEntry_t;

typedef struct {
    uint32_t Index; /* last component of the mapping's object path */
    gboolean PortMappingEnabled;
    uint32_t PortMappingLeaseDuration;
    char RemoteHost[256];
    uint32_t ExternalPort;
    uint32_t InternalPort;
    char PortMappingProtocol[7];
    char InternalClient[256];
    char PortMappingDescription[256];
} api_PortMappingItem_t;

typedef struct {
    char WANName[256];
    uint32_t PortMappingNum;
    api_PortMappingItem_t *PortMapping; /* owned, PortMappingNum entries */
} api_PortMappingInfo_t;

int api_getPortMappingInfo(api_PortMappingInfo_t **info, int *count);
int api_releasePortMappingInfo(api_PortMappingInfo_t *info, int count);
int api_addPortMapping(uint32_t wan_index, const api_PortMappingEntry_t *entry);
/* Returns the index of the mapping written (> 0), -1 or -2. */
int api_setPortMapping(uint32_t wan_index, uint32_t mapping_index, const api_PortMappingEntry_t *entry);
int api_deletePortMapping(uint32_t wan_index, uint32_t mapping_index);
int api_setPortMappingSwitch(uint32_t wan_index, uint32_t mapping_index, gboolean enable);

/* ---- LAN address and DHCP server (g_api_addr) ------------------------------------------------- */

typedef struct {
    char LocalIP[16];
    char Submask[16];
} api_LANHostIP_t;

typedef struct {
    gboolean DHCPServerEnable;
    char DHCPStartIP[16];
    char DHCPEndIP[16];
    uint32_t DHCPDuration; /* lease time, seconds */
} api_LANDHCPInfo_t;

int api_getLANHostIP(api_LANHostIP_t *info);
/* Dotted IPv4 address and a contiguous netmask; anything else is refused with -1 before any write. */
int api_setLANHostIP(const char *ip, const char *mask);
int api_getLANDHCPInfo(api_LANDHCPInfo_t *info);
/* Both pool ends must be dotted IPv4 addresses inside the LAN subnet, the start not above the end, and the
 * lease not 0. */
int api_setLANDHCPInfo(const api_LANDHCPInfo_t *info);

/* ---- WMM (g_api_wmm) ------------------------------------------------------------------------- */

typedef struct {
    char ServiceName[26];
    char ACLevel[26];
    char TargetIP[64];
    char TargetPort[64];
    char SourceIP[64];
    char SourcePort[64];
    char Protocol[4];
} api_WMMServiceIPSet_t;

typedef struct {
    char WMMSupportedSSID[26];
    gboolean WMMEnable;
    gboolean UAPSDSupported;
    uint32_t ServiceNum;
    api_WMMServiceIPSet_t *Service; /* owned, ServiceNum entries */
} api_WMMIPSetInfo_t;

/* 0 for "SSID1".."SSID8" ("SSID1".."SSID4" on a single-band device), -1 otherwise. */
int isVaildWMMSSID(const char *ssid);
int api_setWMMEnable(const char *ssid, gboolean wmm_enable, gboolean uapsd_enable);
int api_setWMMServiceIPSet(const char *ssid, const api_WMMServiceIPSet_t *service);
int api_deleteWMMServiceIPSet(const char *ssid, const char *service_name);
/* Empty ssid: every configuration. With ssid and a non-empty service_name only that service. */
int api_getWMMIPSetInfo(const char *ssid, const char *service_name, api_WMMIPSetInfo_t **info, int *count);
int api_releaseWMMIPSetInfo(api_WMMIPSetInfo_t *info, int count);

/* ---- WLAN switches and LAN (g_api_lans) ------------------------------------------------------ */

int api_setWLANSSIDSwitch(uint32_t ssid_index, gboolean on);
/* radio "2.4G" or "5G". */
int api_setWLANHardwareSwitch(const char *radio, gboolean on);

int api_getGatewayName(char *name, int size);
int api_setGatewayName(const char *name);

/* LAN hosts; HostClass is "ONLINE", "OFFLINE" or "BLOCK". */
typedef ccif_LANHost_t api_LANHostInfo_t;
int api_getLANHostInfo(api_LANHostInfo_t **info, int *count);
/* MAC matched without regard to case: 0, -1 on a failed list, -2 when no host has it. */
int api_getLANHostInfoByMAC(const char *mac, api_LANHostInfo_t *info);
/* The hosts whose HostClass equals host_class. */
int api_getLANHostInfoByClass(const char *host_class, api_LANHostInfo_t **info, int *count);
int api_releaseLANHostInfo(api_LANHostInfo_t *info, int count);

typedef ccif_EthernetConfig_t api_EthernetConfigInfo_t;
int api_getEthernetConfigInfo(api_EthernetConfigInfo_t **info, int *count);
int api_releaseEthernetConfigInfo(api_EthernetConfigInfo_t *info, int count);

/* ---- LAN hosts by interface, their counters and limits, black lists (g_api_lans) -------------- *
 * Hosts are found by MAC without regard to case: -1 on a failed list or write, -2 when no host has it. */

typedef struct {
    char MAC[13];
    uint32_t OnlineTime;
    uint64_t RxBytes;
    uint64_t TxBytes;
} api_LANHostStats_t;

typedef struct {
    uint32_t UsBandwidth;
    uint32_t DsBandwidth;
    uint32_t UsGuaranteeBandwidth;
    uint32_t DsGuaranteeBandwidth;
} api_LANHostSpeedLimit_t;

typedef struct {
    uint64_t UpSpeed;
    uint64_t DownSpeed;
} api_LANHostSpeed_t;

/* The hosts whose ConnectInterface ("LAN1", "SSID1", ...) equals interface_name exactly. */
int api_getLANHostInfoByInterface(const char *interface_name, api_LANHostInfo_t **info, int *count);
int api_getLANHostStats(const char *mac, api_LANHostStats_t *stats);
int api_getLANHostSpeedLimitInfo(const char *mac, api_LANHostSpeedLimit_t *limit);
int api_getLANHostSpeed(const char *mac, api_LANHostSpeed_t *speed);
/* DevName, the name shown for the host. */
int api_setLANHostName(const char *mac, const char *name);
int api_setLANHostType(const char *mac, const char *dev_type);
/* A guaranteed bandwidth above its limit (a limit of 0 means none) is refused with -1. */
int api_setLANHostSpeedLimit(const char *mac, const api_LANHostSpeedLimit_t *limit);

/* Add: a MAC already listed gives 0 and no write. Delete: -2 when the MAC is not listed. */
int api_addLANHostToBlackList(const char *mac);
int api_deleteLANHostFromBlackList(const char *mac);
int api_addLANHostToStorageBlackList(const char *mac);
int api_deleteLANHostFromStorageBlackList(const char *mac);

/* ---- WLAN (g_api_lans_wlan) -------------------------------------------------------------------- *
 * Every function returns -50 on a device without WiFi and -1 when that cannot be read. SSID indexes
 * are 1..8 (1..4 on the 2.4G radio, 5..8 on the 5G radio); radio texts are "2.4G" or "5G". */

typedef struct {
    uint32_t Index;
    char SSID[17];
    gboolean Enable;
    char BSSID[13];
    char IfName[33];
    uint8_t EncryptionMode;
    gboolean SSIDAdvertisementEnabled;
    char RadioType[7];
    char Standard[33];
    gboolean IsGuest;
    gboolean PortIsolation;
    uint32_t MaxSta;
    uint32_t OnlineSta;
} api_WLANSSIDInfo_t;

typedef struct {
    uint64_t TotalBytesSent;
    uint64_t TotalBytesReceived;
    uint64_t TotalPacketsSent;
    uint64_t TotalPacketsReceived;
    uint64_t ErrorsSent;
    uint64_t ErrorsReceived;
    uint64_t DiscardPacketsSent;
    uint64_t DiscardPacketsReceived;
} api_WLANSSIDStats_t;

/* A radio as its first SSID (1 for "2.4G", 5 for "5G") carries it; Enable is the radio's switch. */
typedef struct {
    char RadioType[7];
    gboolean Enable;
    uint32_t Channel;
    gboolean AutoChannelEnable;
    char ChannelsInUse[1025];
    uint32_t TransmitPower;
    char FrequencyWidth[33];
    char Standard[33];
} api_WLANRadioInfo_t;

typedef struct {
    uint32_t Index;
    char SSID[17];
    gboolean Enable;
    uint8_t EncryptionMode;
    char PWD[64];
    uint64_t Duration;       /* guest time limit, seconds */
    uint64_t RemainDuration; /* seconds left */
} api_GuestSSIDInfo_t;

/* SSID and PWD empty: left as they are. An empty SSID with a PWD keeps the name and changes the key. */
typedef struct {
    char SSID[17];
    char PWD[64];
    uint64_t Duration;
    gboolean Enable;
} api_GuestSSIDConfig_t;

typedef struct {
    uint32_t AccessRule;
    char AllowdIPPort[257];
} api_WLANAccessRule_t;

/* Encryption mode that means an open network: it takes no password. */
#define API_WLAN_ENCRYPTION_OPEN 1

int api_getWLANSSIDInfo(uint32_t ssid_index, api_WLANSSIDInfo_t *info);
int api_getWLANSSIDStats(uint32_t ssid_index, api_WLANSSIDStats_t *stats);
int api_getWLANWPSStatus(uint32_t ssid_index, gboolean *enable);
/* -1 for "5G" on a single-band device. */
int api_getWLANHardwareSwitch(const char *radio, gboolean *on);
int api_getWLANRadioInfo(const char *radio, api_WLANRadioInfo_t *info);
/* Arms relay slot 0 or 1 with callback and param, makes sure the relay hears "WLANNeighborResponse",
 * and asks the service to scan radio band. The callback gets the next result once. A failed or refused
 * request disarms the slot again and gives -1. */
int api_getWLANNeighbor(int slot, const char *band, h_dbus_signal_cb callback, void *param);
/* The wireless hosts online on that SSID (index 0: on any SSID); release with api_releaseLANHostInfo. */
int api_getWLANHostInfo(uint32_t ssid_index, api_LANHostInfo_t **info, int *count);
/* Index (1..4) of the 2.4G guest SSID; -1 when the SSIDs cannot be read, -2 when none is a guest. */
int GuestSSIDIndex(void);
/* -2 when there is no guest SSID. */
int api_getGuestSSIDInfo(api_GuestSSIDInfo_t *info);
int api_getWLANSSIDAccessRule(uint32_t ssid_index, api_WLANAccessRule_t *rule);
int api_getWLANSSIDPassword(uint32_t ssid_index, char *pwd, int size);

/* Open mode takes an empty password; any other mode 8 to 63 printable ASCII characters. */
int api_setWLANSSIDSecurity(uint32_t ssid_index, uint8_t encryption_mode, const char *pwd);
int api_setWLANSSIDAdvertisement(uint32_t ssid_index, gboolean enable);
int api_setWLANStandard(uint32_t ssid_index, const char *standard);
/* Channel 0: automatic choice. Otherwise 1..14 on "2.4G", 36..177 on "5G". */
int api_setWLANRadioChannel(const char *radio, uint32_t channel);
/* Transmit power in percent, 1..100. */
int api_setWLANRadioPower(const char *radio, uint32_t power);
int api_setWLANRadioFrequencyWidth(const char *radio, const char *width);
int api_startWLANWPS(uint32_t ssid_index);
int api_stopWLANWPS(uint32_t ssid_index);
/* Writes the guest SSID in one call; enabling it also switches its radio on. -2 without a guest SSID. */
int api_setGuestSSID(const api_GuestSSIDConfig_t *config);
int api_setWLANSSIDAccessRule(uint32_t ssid_index, const api_WLANAccessRule_t *rule);

/* ---- LAN Ethernet ports (g_api_lans) ------------------------------------------------------------ *
 * Ports are addressed by the number that ends their path; -2 when no port has it. */

typedef struct {
    uint32_t Index;
    gboolean Enable;
    char Status[9];
    char MAC[13];
    char IfName[33];
    uint32_t MaxBitRate;
    uint32_t BitRate;
    char DuplexMode[5];
} api_LANEthernetInfo_t;

typedef struct {
    uint64_t BytesSent;
    uint64_t BytesReceived;
    uint64_t PacketsSent;
    uint64_t PacketsReceived;
} api_LANEthernetStats_t;

int api_getLANEthernetInfo(uint32_t port, api_LANEthernetInfo_t *info);
int api_getLANEthernetStats(uint32_t port, api_LANEthernetStats_t *stats);
/* A port already in that state is not written. */
int api_setLANEthernetEnable(uint32_t port, gboolean enable);

/* ---- WAN connections (g_api_accs) ----------------------------------------------------------- */

typedef ccif_WANConnectionInfo_t api_WANIfInfo_t;
int api_getWANIfList(api_WANIfInfo_t **list, int *count);
int api_releaseWANIfList(api_WANIfInfo_t *list, int count);
/* The Index of the Internet connection as a number. */
int api_getInternetWANIndex(uint32_t *index);

/* ---- LAN history traffic (g_api_lans_history_traffic) ---------------------------------------- */

typedef struct {
    uint32_t index; /* Ethernet port number, last component of its path */
    char TrafficBase[64];
    int HistoryNum;
    char **History; /* owned, NULL-terminated */
} api_LANHistoryTraffic_t;

/* index 0: every port; -2 when no port has that index. A refusal by the service on any port fails the
 * whole call. */
int api_getLANHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_LANHistoryTraffic_t **traffic,
                             int *count);
int api_releaseLANHistoryTraffic(api_LANHistoryTraffic_t *traffic, int count);

/* ---- VoIP (g_api_voip) ----------------------------------------------------------------------- */

typedef ccif_VoIPServer_t api_VoIPServerInfo_t;
typedef struct {
    uint32_t Index; /* voice line number, last component of its path */
    char Username[64];
    char PasswordIndicator[64];
    char Status[33];
} api_VoIPInfo_t;

int api_getVoIPServerInfo(api_VoIPServerInfo_t *info);
int api_getVoIPInfo(api_VoIPInfo_t **info, int *count);
int api_releaseVoIPInfo(api_VoIPInfo_t *info, int count);

/* Telephone ports 1..POTSNum, each with the voice line of the same number (empty texts without one). */
typedef struct {
    uint32_t Index;
    char PhoneNumber[64];
    char LineStatus[33];
} api_POTSInfo_t;

int api_getPOTSInfo(api_POTSInfo_t **info, int *count);
int api_releasePOTSInfo(api_POTSInfo_t *info, int count);
/* event "" or "NOTIFY_VOICE_CALL_INFO": callback hears "NotifyVoiceCallInfo" from any path (decode with
 * scb_decode_VoiceCallInfo). Returns the subscription id (> 0); -52 on a gateway without telephone ports,
 * -1 when they cannot be counted, for another event or a NULL callback. */
long api_subscribeVoIPEvent(const char *event, h_dbus_signal_cb callback);
int api_unSubscribeVoIPEvent(long id);

/* ---- WiFi roaming (g_api_wifi_roaming) -------------------------------------------------------- */

typedef mth_WiFiRoamingRecord_t api_WiFiRoamingRecord_t;
typedef void (*api_RoamingEventCb)(const api_WiFiRoamingRecord_t *record, void *user_data);

/* Device types: an FTTO master. */
#define API_DEVTYPE_FTTO_MASTER 11

int api_getWiFiRoaming(gboolean *enable_report);
int api_setWiFiRoamingEnableReport(gboolean enable_report);
/* The service's refusal is -1 too. */
int api_getWiFiRoamingRecordsByMac(const char *mac, api_WiFiRoamingRecord_t **records, int *count);
int api_releaseWiFiRoamingRecordsByMac(api_WiFiRoamingRecord_t *records, int count);
/* One subscriber at a time: a callback replaces the one before, NULL unsubscribes (-1 when none is
 * active). A callback needs user_data. Only on an FTTO master: -21 elsewhere, -1 when the type cannot
 * be read. */
int api_subscribeRoamingEvent(api_RoamingEventCb callback, void *user_data);

/* ---- framework service (g_api_framework) ---------------------------------------------------- */

/* The framework's versions, memory banks and log level. 0 or -1. */
typedef ccif_framework_t api_ZEPInfo_t;
int api_getZEPInfo(api_ZEPInfo_t *info);
/* Asks the framework service to restore the framework: 0 when it accepted, -1 when the call failed,
 * otherwise the service's non-zero result. */
int api_framework_Restore(void);
/* ZepLogLevel, a syslog priority 0 to 7. */
int api_getZepmgLogLevel(int *level);
/* -1 for a level outside 0 to 7. */
int api_setZepmgLogLevel(int level);

/* ---- FTTO (ftto_capi_master) ----------------------------------------------------------------- */

typedef ccif_FTTO_LanOpticInfo_t api_FTTOLanOpticInfo_t;
int api_getFTTOMasterLanOpticInfo(api_FTTOLanOpticInfo_t *info);

/* 1 on an FTTO master (device type 11), 0 on any other device, -1 when the type cannot be read. */
int check_is_ftto(void);
/* The slave manager's counts, or -1 when it cannot be read. */
int getAllowSlaveNum(void);
int getSlaveNum(void);
int getSlaveOnlineNum(void);
/* The slave manager's list with its result code checked: 0 (count 0 and NULL for none) or -1. The
 * block is the caller's (g_free). */
int g_api_getFTTOSlaveAllInfo(mth_SlaveInfo_t **slaves, int *count);

/* The same on the public side; these refuse with -21 on a device that is not an FTTO master. */
typedef mth_SlaveInfo_t api_FTTOSlaveInfo_t;
int api_getFTTOSlaveAllInfo(api_FTTOSlaveInfo_t **slaves, int *count);
int api_releaseFTTOSlaveAllInfo(api_FTTOSlaveInfo_t *slaves, int count);
int api_getAllowSlaveNum(int *num);
int api_getSlaveNum(int *num);
int api_getSlaveOnlineNum(int *num);

/* One node of the FTTO topology: the gateway itself or one slave below it. Fields a node's source
 * does not carry stay 0 or empty (slaves report no LOID or distance). */
typedef struct {
    uint32_t UPLink;
    uint32_t UPLinkType;
    uint32_t Port; /* master port a slave hangs on */
    uint32_t Distance;
    char LOID[64];
    char SN[65];
    char MAC[18];
    char WANIP[46];
    char Model[65];
    char Name[256];
} api_FTTONode_t;

typedef struct {
    uint32_t DevType;
    uint32_t WorkMode;
    api_FTTONode_t GateWay;
    uint32_t AllowSlaveNum;
    uint32_t SlaveNum;         /* entries of SlaveInfo */
    api_FTTONode_t *SlaveInfo; /* owned; NULL when SlaveNum is 0 */
} api_FTTONTI_t;

/* The master and its slaves: 0, -1 when the device, the slave manager or the slave list cannot be
 * read (the record is then left empty). Release with api_releaseFTTOMasterNTI. */
int api_getFTTOMasterNTI(api_FTTONTI_t *nti);
int api_releaseFTTOMasterNTI(api_FTTONTI_t *nti);
/* This device and whatever slaves it reports; a device without a slave manager has none (not a
 * failure). -1 only when the device itself cannot be read. */
int api_getFTTODevNTI(api_FTTONTI_t *nti);
int api_releaseFTTODevNTI(api_FTTONTI_t *nti);

/* ---- device information and rights (g_api_info) ------------------------------------------------ */

typedef ccif_DeviceInfo_t api_DeviceInfo_t;
int api_getDeviceInfo(api_DeviceInfo_t *info);
/* Texts are cut to size (size > 0). */
int api_getDeviceMAC(char *mac, int size);
int api_getDeviceUpTime(uint32_t *uptime);
/* Percentages, CPUUsage and MEMUsage. */
int api_getCPUOccupancyRate(uint32_t *rate);
int api_getRAMOccupancyRate(uint32_t *rate);
/* Capabilities read afresh: DevWiFi (0 none, 1 single band, 2 dual band), WiFiVersion, DevUSB, DevType,
 * WorkMode. */
int api_getDeviceWiFi(int *wifi);
int api_getDeviceWiFiVersion(int *version);
int api_getDeviceUSB(int *usb);
int api_getDevType(int *type);
int api_getWorkMode(int *mode);
int api_getDeviceManufacturerOUI(char *oui, int size);
int api_getDeviceSerialNumber(char *sn, int size);
/* From the service's methods; a refusal is -1. */
int api_getDeviceDefaultSSID1Name(char *ssid, int size);
int api_getDeviceDefaultSSID1Password(char *password, int size);
/* LOID of the PON interface. */
int api_getDeviceLOID(char *loid, int size);

/* FTP rights and Samba accounts are addressed by UserName (matched exactly, never empty): add refuses a
 * user that exists with -1; set, delete and a get by name give -2 for a user that does not exist. */
typedef ccif_FTPServer_t api_FTPRight_t;
int api_getFTPRight(api_FTPRight_t **rights, int *count);
int api_releaseFTPRight(api_FTPRight_t *rights, int count);
int api_addFTPRight(const api_FTPRight_t *right);
int api_setFTPRight(const api_FTPRight_t *right);
int api_deleteFTPRight(const char *user_name);
/* Deletes every right in list order; the first failure stops with -1. */
int api_deleteAllFTPRight(void);

typedef ccif_SambaAccount_t api_SambaAccount_t;
int api_getSambaAccount(api_SambaAccount_t **accounts, int *count);
int api_releaseSambaAccount(api_SambaAccount_t *accounts, int count);
int api_addSambaAccount(const api_SambaAccount_t *account);
int api_setSambaAccount(const api_SambaAccount_t *account);
int api_deleteSambaAccount(const char *user_name);
int api_deleteAllSambaAccount(void);

/* The web server's single right: Enable (0 or 1) and the user's Password. add grants (Enable 1), delete
 * revokes (Enable 0), deleteAll revokes and clears the password. */
typedef ccif_HTTPServer_t api_HTTPRight_t;
int api_getHTTPRight(api_HTTPRight_t *right);
int api_setHTTPRight(const api_HTTPRight_t *right);
int api_addHTTPRight(void);
int api_deleteHTTPRight(void);
int api_deleteAllHTTPRight(void);
/* A NULL or empty password is refused with -1. */
int api_setHTTPUserPassword(const char *password);

/* Factory reset through the service ("Restore"); a refusal is -1. */
int api_reset(void);
int api_setLedSwitch(gboolean on);

/* The LAN bridge's interface name (IfName of DeviceInfo). */
int api_getBridgeIfName(char *name, int size);
/* Interface names as a string list (NULL-terminated, see bus.h) with its count: WAN connections in list
 * order, LAN Ethernet ports in list order. Count 0 comes with NULL. Release with the twins. */
int api_getWANIfName(char ***names, int *count);
int api_releaseWANIfName(char **names, int count);
int api_getLANIfName(char ***names, int *count);
int api_releaseLANIfName(char **names, int count);

/* ---- PON uplink and WAN state (g_api_accs) ------------------------------------------------------ */

/* PONStatus text, for example "O5". */
int api_getPONIfPhyStatus(char *status, int size);
/* Seconds the PON link has been up (PONDuration). */
int api_getPONIfUpTime(uint32_t *uptime);
/* 1 when the PON interface is registered (operation state "O5"), 0 otherwise. */
int api_getPONIfRegisterStatus(int *registered);

typedef struct {
    uint8_t UPLink;
    uint32_t UPLinkType;
    double Temperature;
    double Voltage;
    double Current;
    double TXPower;
    double RXPower;
    uint64_t UpSpeed;
    uint64_t DownSpeed;
    uint64_t BytesSent;
    uint64_t BytesReceived;
} api_UplinkIfStats_t;
int api_getUplinkIfStats(api_UplinkIfStats_t *stats);

typedef struct {
    uint32_t UpTime;
    uint64_t RxBytes;
    uint64_t TxBytes;
    uint64_t RxPkts;
    uint64_t TxPkts;
} api_WANIfStats_t;

typedef struct {
    char ConnectionStatus[33];
    char IPv6ConnectionStatus[33];
    char LastConnectionError[64];
    char LastIPv6ConnectionError[64];
    uint32_t UpTime;
} api_WANIfStatus_t;

/* By WAN Index: 0, -1 when the list fails, -2 when no connection has that index. */
int api_getWANIfStats(uint32_t wan_index, api_WANIfStats_t *stats);
int api_getWANIfInfo(uint32_t wan_index, api_WANIfInfo_t *info);
int api_getWANIfStatus(uint32_t wan_index, api_WANIfStatus_t *status);

/* Start a diagnostic and subscribe callback to its result signal: the subscription id (> 0), or -1
 * when an argument is NULL, the call fails or the service refuses. Cancel with h_dbus_UnSubscribeSignal.
 * The callback receives the signal's parameters; decode them with scb_decode_IPPingResponse or
 * scb_decode_TraceRouteResponse. */
int api_startIPPingDiagnostics(const mth_IPPingParam_t *param, h_dbus_signal_cb callback);
int api_startTraceRouteDiagnostics(const mth_TraceRouteParam_t *param, h_dbus_signal_cb callback);

/* ---- platform connection (g_api_platform) ------------------------------------------------------ */

typedef struct {
    char DistriAddress[256]; /* gwagent.distri.address */
    char ServerAddress[256]; /* the agent's platform server */
    uint32_t ServerPort;
    uint32_t Status;
} api_PlatformStatus_t;
/* -1 when the option is missing or the agent does not answer. */
int api_getPlatformStatus(api_PlatformStatus_t *status);

/* ---- shared gateway look-ups (hgu_api_func) ---------------------------------------------------- */

typedef struct {
    char WANName[256];
    char PPPoEUserName[64];
    char PPPoEPassword[64];
    char DialMode[16];
    uint32_t IdleTime;
} hgu_PPPoEInfo_t;
/* The PPPoE account of the Internet connection: 0; -1 the connection cannot be resolved; -2 it cannot be
 * read; -3 it is not "PPPoE_Routed"; -4 the PPPoE list fails or is empty; -5 no account has its name. */
int getDefaultInternetPPPoEInfo(hgu_PPPoEInfo_t *info);

typedef struct {
    char MAC[13];
    char HostClass[8];
    char HostName[64];
    char DevName[256];
    char IP[17];
    char DevType[64];
    char ConnectInterface[33];
    uint8_t ConnectionType;
    char SSIDName[17];
    uint32_t Channel;
    char RadioType[5];
    int32_t RSSI;
    uint32_t OnlineTime;
    uint32_t UsBandwidth;
    uint32_t DsBandwidth;
    uint64_t UpSpeed;
    uint64_t DownSpeed;
    uint64_t RxBytes;
    uint64_t TxBytes;
} hgu_LANHostInfo_t;
/* filter 1 "ONLINE", 2 "OFFLINE", 3 "BLOCK" hosts; any other value every host. */
int g_api_getLANHostInfo(int filter, hgu_LANHostInfo_t **info, int *count);
int g_api_releaseLANHostInfo(hgu_LANHostInfo_t *info, int count);

typedef struct {
    uint32_t Index; /* port number, last component of its path */
    gboolean Enable;
    char Status[9];
    char MAC[13];
    char IfName[33];
    uint32_t MaxBitRate;
    uint32_t BitRate;
    char DuplexMode[5];
    uint64_t BytesSent;
    uint64_t BytesReceived;
    uint64_t PacketsSent;
    uint64_t PacketsReceived;
} hgu_EthernetInfo_t;
int g_api_getEthernetConfigInfo(hgu_EthernetInfo_t **info, int *count);
int g_api_releaseEthernetConfigInfo(hgu_EthernetInfo_t *info, int count);

/* ---- information security reports (g_api_infosec) --------------------------------------------- */

typedef struct {
    char Vendor[65];
    char ModelName[65];
    char ProductClass[65];
    char SWVersion[65];
    char HDVersion[65];
    char MAC[13];
    char SerialNumber[65];
    char GPONSN[13];
    char ManufacturerOUI[7];
    uint8_t DevType;
    uint32_t UpTime;
    uint32_t LANNum;
    char LOID[64];
    char PONStatus[64];
} api_InfosecDevInfo_t;
int api_getDevInfo(api_InfosecDevInfo_t *info);

/* Every PPPoE account. */
typedef hgu_PPPoEInfo_t api_PPPoEInfo_t;
int api_getPPPoEInfo(api_PPPoEInfo_t **info, int *count);
int api_releasePPPoEInfo(api_PPPoEInfo_t *info, int count);

typedef struct {
    char Index[9];
    char WANName[256];
    char IfName[33];
    char ServiceList[33];
    char ConnectionType[33];
    char ConnectionStatus[33];
    char AddressingType[9];
    char IPAddress[16];
    char SubnetMask[16];
    char Gateway[16];
    char DNSServers[64];
    char MACAddress[13];
    uint32_t VLANID;
    char IPv6ConnectionStatus[33];
    char IPv6IPAddress[46];
    char PPPoEUserName[64]; /* the account whose WANName is the connection's, else empty */
} api_InfosecWANInfo_t;
int api_getWANInfo(api_InfosecWANInfo_t **info, int *count);
int api_releaseWANInfo(api_InfosecWANInfo_t *info, int count);

/* Everything a report carries, in one owned block. */
typedef struct {
    api_InfosecDevInfo_t Dev;
    int EthernetNum;
    hgu_EthernetInfo_t *Ethernet; /* owned */
    int LANHostNum;
    hgu_LANHostInfo_t *LANHost; /* owned */
    int WANNum;
    api_InfosecWANInfo_t *WAN; /* owned */
} api_InformData_t;
/* Any failing part fails the whole call: -1 and *data NULL. */
int api_InformGetData(api_InformData_t **data);
int api_InformReleaseData(api_InformData_t *data);

/* ---- automatic diagnostics (g_api_diag) -------------------------------------------------------- */

typedef ccif_AutoDiagnosticsRedirect_t api_DiagInfo_t;
int api_getDiagInfo(api_DiagInfo_t *info);
/* Enabling needs a non-empty URL; disabling keeps the stored URL when url is NULL. */
int api_setRedirect(gboolean enable, const char *url);

typedef struct {
    char Name[64];
    char Value[256]; /* strings as they are, other values in GVariant text */
} api_FaultProperty_t;

typedef struct {
    char Interface[256];
    int PropertyNum;
    api_FaultProperty_t *Property; /* valid during the callback only */
} api_FaultEvent_t;

typedef void (*api_FaultEventCb)(const api_FaultEvent_t *event, void *user_data);
/* One subscription at a time to the monitor's "PropertiesChanged": a new callback replaces the old one, a
 * NULL callback unsubscribes, a callback with NULL user data is refused. 0 or -1. */
int api_subscribeFaultEvent(api_FaultEventCb callback, void *user_data);

/* ---- VLAN binding and Layer-3 forwarding (g_api_trans) --------------------------------------- */

typedef struct {
    uint32_t Index; /* the connection's Index text as a number (0 when it is not one) */
    char WANName[256];
    char IfName[33];
    char ServiceList[33];
    char LanInterface[65]; /* the LAN ports and SSIDs bound to the connection */
    uint8_t VLANMode;
    uint32_t VLANID;
    uint32_t VLAN8021P;
    int32_t MulticastVlan;
} api_VLANBindInfo_t;

/* One record per WAN connection; none gives count 0. */
int api_getVLANBindInfo(api_VLANBindInfo_t **info, int *count);
int api_releaseVLANBindInfo(api_VLANBindInfo_t *info, int count);

typedef struct {
    uint32_t Enable; /* 0 or 1 */
    char DestIPAddress[16];
    char DestSubnetMask[16];
    char GatewayIPAddress[16];
    char Interface[256];
} api_Layer3ForwardingEntry_t;

typedef struct {
    uint32_t Index; /* last component of the route's object path */
    uint32_t Enable;
    char Status[9];
    uint32_t StaticRoute;
    char Type[8];
    char DestIPAddress[16];
    char DestSubnetMask[16];
    char GatewayIPAddress[16];
    char Interface[256];
} api_Layer3ForwardingInfo_t;

typedef struct {
    uint32_t Enable;
    char DestIPPrefix[46];
    char NextHop[46];
    char Interface[256];
} api_IPv6Layer3ForwardingEntry_t;

typedef struct {
    uint32_t Index;
    uint32_t Enable;
    char Status[9];
    uint32_t StaticRoute;
    char Type[8];
    char DestIPPrefix[46];
    char NextHop[46];
    char Interface[256];
} api_IPv6Layer3ForwardingInfo_t;

/* Static routes (StaticRoute true); Current: the routes in force (Enable true, Status "Enabled"). */
int api_getLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t **info, int *count);
int api_releaseLayer3ForwardingStaticConfigInfo(api_Layer3ForwardingInfo_t *info, int count);
int api_getLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t **info, int *count);
int api_releaseLayer3ForwardingCurrent(api_Layer3ForwardingInfo_t *info, int count);
/* The index of the equal static route (enabled if it was not) or of the new one; -1. */
int api_addLayer3ForwardingStatic(const api_Layer3ForwardingEntry_t *entry);
/* Only a static route is deleted: -1 for index 0, an unreadable route or one that is not static. */
int api_deleteLayer3ForwardingStatic(uint32_t index);

int api_getIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t **info, int *count);
int api_releaseIPv6Layer3ForwardingStaticConfigInfo(api_IPv6Layer3ForwardingInfo_t *info, int count);
int api_getIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t **info, int *count);
int api_releaseIPv6Layer3ForwardingCurrent(api_IPv6Layer3ForwardingInfo_t *info, int count);
int api_addIPv6Layer3ForwardingStatic(const api_IPv6Layer3ForwardingEntry_t *entry);
int api_deleteIPv6Layer3ForwardingStatic(uint32_t index);

/* ---- VPN (g_api_VPN) and VxLAN tunnels (g_api_VPN_VxLAN) ------------------------------------- */

typedef ccif_VPN_t api_VPNInfo_t;
int api_getVPN(api_VPNInfo_t *info);
/* enable 0 or 1; -1 for another value or a null type. */
int api_setVPN(uint32_t enable, const char *vpn_type);

/* Traffic history of one tunnel. */
typedef struct {
    uint32_t Index; /* tunnel index */
    uint32_t Start;
    uint32_t Num;
    char TrafficBase[64];
    int HistoryNum;
    char **History; /* owned, NULL-terminated */
} api_VpnHistoryTraffic_t;
int api_releaseVpnHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count);

typedef ccif_VPNVxLAN_t api_VPNVxLANInfo_t;
int api_getVPNVxLANAll(api_VPNVxLANInfo_t **list, int *count);
int api_releaseVPNVxLANAll(api_VPNVxLANInfo_t *list, int count);
/* -1 for index 0 or a tunnel that cannot be read. */
int api_getVPNVxLAN(uint32_t index, api_VPNVxLANInfo_t *info);
/* Index 0, or one that does not exist, adds a tunnel; returns the index written (> 0) or -1. The
 * entry's Index and path are ignored. */
int api_setVPNVxLAN(uint32_t index, const api_VPNVxLANInfo_t *entry);
int api_deleteVPNVxLAN(uint32_t index);
int api_clearVPNVxLAN(void);
/* index 0: every tunnel, those whose call fails or is refused give no record; otherwise that tunnel
 * only, and its failure is the result. */
int api_getVxLANVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                  int *count);
int api_releaseVxLANVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count);

/* ---- IPSec tunnels (g_api_VPN_IPSec) --------------------------------------------------------- */
/* Tunnels are instances of /com/yvc/igd1/VPN/IPSec, addressed by their index; index 0 is refused where
 * a tunnel is required. */

/* The instance index, then the IPSec properties. The entry given to set has its Index and path
 * ignored, and an empty WANInterface is not written. */
typedef ccif_IPSec_t api_VPNIPSecInfo_t;

/* A subnet given to the subnet operations: LocalIPAddress/LocalSubnetMask for local subnets,
 * DestIPAddress/DestSubnetMask for remote ones. The address is the subnet's key. */
typedef struct {
    char Address[46];
    char Mask[46];
} api_VPNSubnetEntry_t;

/* A subnet of a list: Index is the last component of its object path. */
typedef struct {
    uint32_t Index;
    char Address[46];
    char Mask[46];
} api_VPNSubnetInfo_t;

int api_getVPNIPSecAll(api_VPNIPSecInfo_t **list, int *count);
int api_releaseVPNIPSecAll(api_VPNIPSecInfo_t *list, int count);
int api_getVPNIPSec(uint32_t index, api_VPNIPSecInfo_t *info);
/* Index 0, or one that cannot be read, adds a tunnel; returns the index written (> 0) or -1. */
int api_setIPSec(uint32_t index, const api_VPNIPSecInfo_t *entry);
int api_deleteIPSec(uint32_t index);
int api_clearIPSec(void);

int api_getIPSecLocalSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count);
int api_releaseIPSecLocalSubnetsAll(api_VPNSubnetInfo_t *list, int count);
/* Updates the subnet with the entry's address or adds one: 0 or -1 (also for a tunnel that does not
 * exist or an empty address). */
int api_setIPSecLocalSubnet(uint32_t index, const api_VPNSubnetEntry_t *entry);
/* Deletes the subnet with that address: 0, also when none has it; -1 when the list cannot be read. */
int api_deleteIPSecLocalSubnets(uint32_t index, const char *address);
int api_clearIPSecLocalSubnets(uint32_t index);

int api_getIPSecReMoteSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count);
int api_releaseIPSecReMoteSubnetsAll(api_VPNSubnetInfo_t *list, int count);
int api_setIPSecRemoteSubnet(uint32_t index, const api_VPNSubnetEntry_t *entry);
int api_deleteIPSecRemoteSubnets(uint32_t index, const char *address);
int api_clearIPSecRemoteSubnets(uint32_t index);

/* index 0: every tunnel, those whose call fails or is refused give no record; otherwise that tunnel
 * only, and its failure is the result. */
int api_getIPSecVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                  int *count);
int api_releaseIPSecVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count);

/* ---- L2TP (g_api_VPN_L2TP) ------------------------------------------------------------------- */
/* The clients, the server and its accounts live below /com/yvc/igd1/VPN/L2TP/1. */

typedef ccif_VPN_L2TP_t api_VPNL2TPInfo_t;
typedef struct {
    gboolean Enable;
    char L2TPType[13];
} api_VPNL2TPEntry_t;

typedef ccif_VPN_L2TPClient_t api_VPNL2TPClientInfo_t;
typedef struct {
    gboolean Enable;
    char ServerIP[46];
    uint32_t ServerPort;
    char Name[65];
    gboolean EnableNAT;
    char UserName[65];
    char Password[65];
    char WANInterface[256];
} api_VPNL2TPClientEntry_t;

typedef ccif_VPN_L2TPServer_t api_VPNL2TPServerInfo_t;
/* Accounts are identified by UserName; the Index and path of an entry given to set are ignored. */
typedef ccif_VPN_L2TPServerAccount_t api_VPNL2TPServerAccountInfo_t;

/* -1 for index 0 or an object that cannot be read. */
int api_getVPNL2TP(uint32_t index, api_VPNL2TPInfo_t *info);
/* Writes /com/yvc/igd1/VPN/L2TP/<index>, adding it when it cannot be read: 0 or -1 (index 0: -1). */
int api_setVPNL2TP(uint32_t index, const api_VPNL2TPEntry_t *entry);

int api_getVPNL2TPClientAll(api_VPNL2TPClientInfo_t **list, int *count);
int api_releaseVPNL2TPClientAll(api_VPNL2TPClientInfo_t *list, int count);
int api_getVPNL2TPClient(uint32_t index, api_VPNL2TPClientInfo_t *info);
/* Index 0, or one no listed client has, adds a client; returns the index written (> 0) or -1. */
int api_setVPNL2TPClient(uint32_t index, const api_VPNL2TPClientEntry_t *entry);
int api_deleteVPNL2TPClient(uint32_t index);
int api_clearVPNL2TPClient(void);

/* Remote subnets of a client (index: the client's), as the IPSec remote subnets. */
int api_getVPNL2TPClientRemoteSubnetsAll(uint32_t index, api_VPNSubnetInfo_t **list, int *count);
int api_releaseVPNL2TPClientRemoteSubnetsAll(api_VPNSubnetInfo_t *list, int count);
int api_setVPNL2TPClientRemoteSubnets(uint32_t index, const api_VPNSubnetEntry_t *entry);
int api_deleteVPNL2TPClientRemoteSubnets(uint32_t index, const char *address);
int api_clearVPNL2TPClientRemoteSubnets(uint32_t index);

int api_getVPNL2TPServer(api_VPNL2TPServerInfo_t *info);
int api_setVPNL2TPServer(const api_VPNL2TPServerInfo_t *info);

int api_getVPNL2TPServerAccountAll(api_VPNL2TPServerAccountInfo_t **list, int *count);
int api_releaseVPNL2TPServerAccountAll(api_VPNL2TPServerAccountInfo_t *list, int count);
/* The account with that instance index: 0, or -1 for index 0, a failed list or no such account. */
int api_getVPNL2TPServerAccount(uint32_t index, api_VPNL2TPServerAccountInfo_t *info);
/* Updates the account with the entry's UserName or adds one: 0 or -1 (an empty UserName: -1). */
int api_setVPNL2TPServerAccount(const api_VPNL2TPServerAccountInfo_t *entry);
/* -1 when there are no accounts or none has that UserName. */
int api_deleteVPNL2TPServerAccount(const char *user_name);
int api_clearVPNL2TPServerAccount(void);

/* History of a client (index 0: of every client), as the IPSec history. */
int api_getL2TPVPNHistoryTraffic(uint32_t index, uint32_t start, uint32_t num, api_VpnHistoryTraffic_t **traffic,
                                 int *count);
int api_releaseL2TPVPNHistoryTraffic(api_VpnHistoryTraffic_t *traffic, int count);

/* ---- firewall families (g_api_l2tp_vpn, g_api_network_acceleration, g_api_traffic_control) ---- */
/* Instances are identified by Name. add: the index of the new instance, or of the one that already
 * has that Name (left unchanged); -2 when the profile's MaxProfileNumber is reached; -1 otherwise.
 * delete: 0, -2 when no instance has the name, -1. Index fields of entries are ignored. */

typedef struct {
    uint32_t Index;
    char Name[256];
    char InsAddress[256];
    char UserName[256];
    char Password[256];
    uint32_t DestPort;
    uint8_t Enable;
    uint8_t Operate;
} api_FirewallL2TPVPN_t;

typedef struct {
    uint32_t Index;
    char Name[256];
    char WANName[256];
    uint8_t Enable;
    uint8_t Operate;
} api_FirewallNetworkAcceleration_t;

typedef struct {
    uint32_t Index;
    char Name[256];
    uint8_t Enable;
    uint8_t Operate;
    uint8_t Target;
    uint8_t Priority;
} api_FirewallTrafficControl_t;

typedef struct {
    uint32_t ProfileNumberOfEntries;
    uint32_t MaxProfileNumber; /* 0: no limit */
} api_FirewallProfile_t;

typedef struct {
    char Address[256];
    char Protocol[16];
    uint32_t Port;
    uint32_t Status;
} api_FirewallProfileRule_t;

typedef struct {
    char Name[256];
    uint32_t Status;
    uint32_t Enable;
    int RuleNum;
    api_FirewallProfileRule_t *Rules; /* owned, RuleNum entries */
} api_FirewallProfileStatus_t;

typedef struct {
    char Name[256];
    uint32_t Status;
} api_FirewallL2TPVPNStatus_t;

/* Called on the thread that runs the default main context, once per subscribed name a signal names. */
typedef void (*api_FirewallL2TPVPNStatusCb)(const char *name, uint32_t status);

int api_addFirewallL2TPVPN(const api_FirewallL2TPVPN_t *entry);
int api_deleteFirewallL2TPVPN(const char *name);
int api_getFirewallL2TPVPN(api_FirewallL2TPVPN_t **list, int *count);
int api_releaseFirewallL2TPVPN(api_FirewallL2TPVPN_t *list, int count);
/* -2 when no instance has the name; -1 when the call fails or the service refuses it. */
int api_getFirewallL2TPVPNStatus(const char *name, api_FirewallL2TPVPNStatus_t *status);
/* A name already subscribed gives 0 and keeps its first callback. */
int api_subscribeFirewallL2TPVPNStatus(const char *name, api_FirewallL2TPVPNStatusCb cb);
/* -1 for a name that is not subscribed. */
int api_unsubscribeFirewallL2TPVPNStatus(const char *name);
int api_getFirewallL2TPVPNProfile(api_FirewallProfile_t *profile);
int api_getFirewallL2TPVPNProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count);
int api_releaseFirewallL2TPVPNProfileStatus(api_FirewallProfileStatus_t *list, int count);
int api_getFirewallL2TPVPNAllProfileStatus(api_FirewallProfileStatus_t **list, int *count);
int api_releaseFirewallL2TPVPNAllProfileStatus(api_FirewallProfileStatus_t *list, int count);

int api_addFirewallNetworkAcceleration(const api_FirewallNetworkAcceleration_t *entry);
int api_deleteFirewallNetworkAcceleration(const char *name);
int api_getFirewallNetworkAcceleration(api_FirewallNetworkAcceleration_t **list, int *count);
int api_releaseFirewallNetworkAcceleration(api_FirewallNetworkAcceleration_t *list, int count);
int api_getNetworkAccelerationProfile(api_FirewallProfile_t *profile);
int api_getNetworkAccelerationProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count);
int api_releaseNetworkAccelerationProfileStatus(api_FirewallProfileStatus_t *list, int count);
int api_getNetworkAccelerationAllProfileStatus(api_FirewallProfileStatus_t **list, int *count);
int api_releaseNetworkAccelerationAllProfileStatus(api_FirewallProfileStatus_t *list, int count);

int api_addFirewallTrafficControl(const api_FirewallTrafficControl_t *entry);
int api_deleteFirewallTrafficControl(const char *name);
int api_getFirewallTrafficControl(api_FirewallTrafficControl_t **list, int *count);
int api_releaseFirewallTrafficControl(api_FirewallTrafficControl_t *list, int count);
int api_getTrafficControlProfile(api_FirewallProfile_t *profile);
int api_getTrafficControlProfileStatus(const char *name, api_FirewallProfileStatus_t **list, int *count);
int api_releaseTrafficControlProfileStatus(api_FirewallProfileStatus_t *list, int count);
int api_getTrafficControlAllProfileStatus(api_FirewallProfileStatus_t **list, int *count);
int api_releaseTrafficControlAllProfileStatus(api_FirewallProfileStatus_t *list, int count);

/* ---- IP sets (g_api_ipset) ------------------------------------------------------------------- */
/* Every call returns 0 when the service did the work, -1 when the call failed or it refused. */

typedef struct {
    char Name[64];
    uint32_t Type;
    uint32_t Timeout;
    char Family[16];
    uint32_t MaxElem;
    char **Entries; /* owned string list, NULL-terminated; may be NULL */
} api_IPSet_t;

int api_addIPSets(const api_IPSet_t *sets, int count);
int api_deleteIPSetsEntry(const api_IPSet_t *sets, int count);
/* Removes the set; clear empties it. */
int api_deleteIPSets(const char *name);
int api_clearIPSets(const char *name);
/* found: the service's answer, 1 when the entry is in the set. */
int api_checkIPSetEntry(const char *name, const char *entry, int *found);
int api_getIPSetsConf(const char *const *names, int name_count, api_IPSet_t **sets, int *count);
int api_releaseIPSetsConf(api_IPSet_t *sets, int count);
int api_getIPSetsAllConf(api_IPSet_t **sets, int *count);
int api_releaseIPSetsAllConf(api_IPSet_t *sets, int count);
int api_getIPSetsInfo(const char *const *names, int name_count, api_IPSet_t **sets, int *count);
int api_releaseIPSetsInfo(api_IPSet_t *sets, int count);
int api_getIPSetsAllInfo(api_IPSet_t **sets, int *count);
int api_releaseIPSetsAllInfo(api_IPSet_t *sets, int count);

/* ---- iptables (g_api_iptables) --------------------------------------------------------------- */

/* The service runs the command and hands back its output lines (a string list, NULL when empty). */
int api_getRunIPTables(const char *command, char ***lines, int *count);
int api_releaseRunIPTables(char **lines, int count);
int api_getRunIP6Tables(const char *command, char ***lines, int *count);
int api_releaseRunIP6Tables(char **lines, int count);

/* ---- IPv6 LAN (g_api_ipv6) ------------------------------------------------------------------- */
/* The sets refuse (-1) a preferred lifetime above the valid one, and router advertisement intervals
 * whose minimum is not below the maximum. */

typedef ccif_DHCPv6Server_t api_DHCPv6Server_t;
typedef ccif_IPv6LANConfig_t api_IPv6LANConfig_t;
typedef ccif_RouterAdvertisement_t api_RouterAdvertisement_t;
int api_getDHCPv6Server(api_DHCPv6Server_t *info);
int api_setDHCPv6Server(const api_DHCPv6Server_t *info);
int api_getIPv6LANConfig(api_IPv6LANConfig_t *info);
int api_setIPv6LANConfig(const api_IPv6LANConfig_t *info);
int api_getRouterAdvertisement(api_RouterAdvertisement_t *info);
int api_setRouterAdvertisement(const api_RouterAdvertisement_t *info);

/* ---- static Layer-3 routes (g_api_L3_forwarding) --------------------------------------------- */

typedef api_Layer3ForwardingEntry_t api_L3ForwardingEntry_t;
typedef api_Layer3ForwardingInfo_t api_L3ForwardingInfo_t;
typedef api_IPv6Layer3ForwardingEntry_t api_IPv6L3ForwardingEntry_t;
typedef api_IPv6Layer3ForwardingInfo_t api_IPv6L3ForwardingInfo_t;

/* type 1: static routes (StaticRoute true); 2: the others; 3: routes in force (Enable true and Status
 * exactly "Enabled"); any other value: every route. 0 (count 0 and NULL when none matches) or -1. */
int api_getL3ForwardingConfigInfoByType(uint32_t type, api_L3ForwardingInfo_t **info, int *count);
int api_releaseL3ForwardingConfigInfo(api_L3ForwardingInfo_t *info, int count);
int api_getL3ForwardingStaticConfigInfo(api_L3ForwardingInfo_t **info, int *count);
int api_releaseL3ForwardingStaticConfigInfo(api_L3ForwardingInfo_t *info, int count);
int api_getL3ForwardingCurrent(api_L3ForwardingInfo_t **info, int *count);
int api_releaseL3ForwardingCurrent(api_L3ForwardingInfo_t *info, int count);
/* The index of the equal static route (enabled if it was not) or of the new one; -1. */
int api_addL3ForwardingStatic(const api_L3ForwardingEntry_t *entry);
/* index 0 adds as above. Otherwise the static route with that index is overwritten, or a new route is
 * added when it cannot be read. Returns the index of the route written (> 0), which then differs from
 * index; -1, also for a route that is not static. */
int api_setL3ForwardingStatic(uint32_t index, const api_L3ForwardingEntry_t *entry);
/* Only a static route is deleted: -1 for index 0, an unreadable route or one that is not static. */
int api_deleteL3ForwardingStatic(uint32_t index);

int api_getIPv6L3ForwardingConfigInfoByType(uint32_t type, api_IPv6L3ForwardingInfo_t **info, int *count);
int api_releaseIPv6L3ForwardingConfigInfo(api_IPv6L3ForwardingInfo_t *info, int count);
int api_getIPv6L3ForwardingStaticConfigInfo(api_IPv6L3ForwardingInfo_t **info, int *count);
int api_releaseIPv6L3ForwardingStaticConfigInfo(api_IPv6L3ForwardingInfo_t *info, int count);
int api_getIPv6L3ForwardingCurrent(api_IPv6L3ForwardingInfo_t **info, int *count);
int api_releaseIPv6L3ForwardingCurrent(api_IPv6L3ForwardingInfo_t *info, int count);
int api_addIPv6L3ForwardingStatic(const api_IPv6L3ForwardingEntry_t *entry);
int api_setIPv6L3ForwardingStatic(uint32_t index, const api_IPv6L3ForwardingEntry_t *entry);
int api_deleteIPv6L3ForwardingStatic(uint32_t index);

/* ---- traffic QoS flows and classifications (g_api_traffic_qos) ------------------------------- */
/* A flow is addressed by its Flow number (0 to 7), not by its instance index; a larger number gives -1
 * without any bus call. Every function returns 0 (or an index where it says so) or -1; outputs are
 * cleared first and stay empty on failure. */

typedef struct {
    uint32_t UpSpeed;
    uint32_t DownSpeed;
    uint8_t DSCPRemark;
} api_TrafficQoSFlowEntry_t;

typedef struct {
    uint32_t Flow;
    uint64_t UsStats;
    uint64_t DsStats;
    uint32_t UpSpeed;
    uint32_t DownSpeed;
    uint8_t DSCPRemark;
} api_TrafficQoSFlowInfo_t;

typedef struct {
    uint32_t Index; /* classification index below the flow; ignored by add and set */
    char RemoteAddress[256];
    char RemotePort[12];
} api_TrafficQoSClassificationEntry_t;

typedef struct {
    uint32_t Flow;
    uint32_t Index; /* last component of the classification's object path */
    char RemoteAddress[256];
    char RemotePort[12];
} api_TrafficQoSClassificationInfo_t;

int api_getTrafficQoSFlow(uint32_t flow, api_TrafficQoSFlowInfo_t *info);
/* Writes UpSpeed, DownSpeed and DSCPRemark of the entry. */
int api_setTrafficQoSFlow(uint32_t flow, const api_TrafficQoSFlowEntry_t *entry);
int api_getTrafficQoSStatsByFlow(uint32_t flow, uint64_t *us_stats, uint64_t *ds_stats);
/* The speed-limit and DSCP setters write only their own properties. */
int api_setTrafficQoSSpeedLimitByFlow(uint32_t flow, uint32_t up_speed, uint32_t down_speed);
int api_getTrafficQoSSpeedLimitByFlow(uint32_t flow, uint32_t *up_speed, uint32_t *down_speed);
int api_setTrafficQoSDSCPRemarkByFlow(uint32_t flow, uint8_t dscp_remark);
int api_getTrafficQoSDSCPRemarkByFlow(uint32_t flow, uint8_t *dscp_remark);

/* The classifications of a flow in the service's order: 0 (count 0 and NULL when there are none) or -1. */
int api_getTrafficQoSClassificationByFlow(uint32_t flow, api_TrafficQoSClassificationInfo_t **list, int *count);
int api_releaseTrafficQoSClassificationByFlow(api_TrafficQoSClassificationInfo_t *list, int count);
/* RemotePort must not be empty. Returns the index of the new classification, or -1. */
int api_addTrafficQoSClassificationToFlow(uint32_t flow, const api_TrafficQoSClassificationEntry_t *entry);
/* index 0 adds; otherwise classification `index` is overwritten and index is returned; -1. */
int api_setTrafficQoSClassificationUnderFlow(uint32_t flow, uint32_t index,
                                             const api_TrafficQoSClassificationEntry_t *entry);
/* A nonzero Index deletes that classification; Index 0 deletes the first whose RemoteAddress and
 * RemotePort both equal the entry's (RemotePort must not be empty), and no match is -1. */
int api_deleteTrafficQoSClassificationFromFlow(uint32_t flow, const api_TrafficQoSClassificationEntry_t *entry);
int api_clearTrafficQoSClassificationUnderFlow(uint32_t flow);

/* ---- plug-ins of the plug-in host (g_api_appframework) --------------------------------------- */

typedef struct {
    char Name[256]; /* package name, the key of the host's list */
    char Version[64];
    char State[16]; /* "RUNNING" or "STOPPED"; a library package counts as running */
} api_AppInfo_t;

/* Every plug-in the host knows, in the host's order: 0 (count 0 and NULL when there are none) or -1. */
int api_getListApp(api_AppInfo_t **apps, int *count);
int api_releaseListApp(api_AppInfo_t *apps, int count);
/* The host's state text for one plug-in ("RUNNING", "STOPPED", "EEXIST" when not installed, ...),
 * cut to size: 0, or -1 for an empty name or a failed call (state is then left untouched). */
int api_getAppStatus(const char *name, char *state, int size);

#ifdef __cplusplus
}
#endif

#endif
