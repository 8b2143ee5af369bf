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
