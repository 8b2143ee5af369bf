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

#include "gwbus/objects.h"
#include "gwbus/methods.h"

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

/* ZepLogLevel, a syslog priority 0 to 7. */
int api_getZepmgLogLevel(int *level);
/* -1 for a level outside 0 to 7. */
int api_setZepmgLogLevel(int level);

/* ---- FTTO (ftto_capi_master) ----------------------------------------------------------------- */

typedef ccif_FTTO_LanOpticInfo_t api_FTTOLanOpticInfo_t;
int api_getFTTOMasterLanOpticInfo(api_FTTOLanOpticInfo_t *info);

#ifdef __cplusplus
}
#endif

#endif
