/* Method calls of the configuration service and of the framework's own services, and the decoders
 * of the configuration service's signals.
 *
 * Convention of every mth_ function (and the ccif_Get...HistoryTraffic twins):
 *   - returns -1 when the call failed (bus error, no reply, reply of the wrong type), after logging
 *     "call method <Method> failed."; returns 0 when the call went through, whatever the service said;
 *   - the service's refusal comes back through `status` and `errmsg`: when its code is not 0, the code is
 *     stored in *status and, if its text is not empty, a copy in *errmsg (release with g_free). With
 *     code 0 both stay untouched, so set them to 0 and NULL before the call. Either may be NULL;
 *   - payload out-parameters are written whenever the call went through; strings handed out are
 *     released with g_free, string lists with g_hgu_freeStrList, record blocks with g_free unless a
 *     release function is named;
 *   - list results are allocated only when the list is not empty (NULL and count 0 otherwise).
 * The IPSet functions clear their out-parameters first and return the service's own `i` code, or -1. */
#ifndef GWBUS_METHODS_H
#define GWBUS_METHODS_H

#include <glib.h>
#include <stddef.h>
#include <stdint.h>

#include "gwbus/bus.h"
#include "gwbus/objects.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- records of list replies --------------------------------------------------------------------- */

typedef struct { /* a(ssssiiiu) */
    char StaMAC[18];
    char FromBSSID[18];
    char ToBSSID[18];
    char RoamTime[32];
    int32_t FromRSSI;
    int32_t ToRSSI;
    int32_t Channel;
    uint32_t Result;
} mth_WiFiRoamingRecord_t;

typedef struct { /* a(sssss) */
    char DiscName[16];
    char ConnectInterface[32];
    char UsedSize[16];
    char FreeSize[16];
    char TotalSize[16];
} mth_DiscInfo_t;

typedef struct { /* a(ssbts) */
    char FileName[64];
    char PhysicalFolderName[64];
    gboolean IsFolder;
    uint64_t FileSize;
    char ModifiedTime[32];
} mth_FolderEntry_t;

typedef struct { /* a(uuuussssssu) */
    uint32_t Index;
    uint32_t OnlineStatus;
    uint32_t PortNum;
    uint32_t UpTime;
    char SN[33];
    char MAC[18];
    char ModelName[65];
    char SWVersion[65];
    char HDVersion[65];
    char IPAddress[46];
    uint32_t LinkStatus;
} mth_SlaveInfo_t;

typedef struct { /* (su) */
    char Name[256];
    uint32_t Status;
} mth_L2TPVPNStatus_t;

typedef struct { /* (ssuu) */
    char Address[256];
    char Protocol[16];
    uint32_t Port;
    uint32_t Status;
} mth_ProfileRule_t;

typedef struct { /* (suua(ssuu)) */
    char Name[256];
    uint32_t Status;
    uint32_t Enable;
    int rule_count;
    mth_ProfileRule_t *rules;
} mth_ProfileStatus_t;
void mth_releaseProfileStatus(mth_ProfileStatus_t *list, int count);

typedef struct { /* (suusuas) */
    char Name[64];
    uint32_t Type;
    uint32_t Timeout;
    char Family[16];
    uint32_t MaxElem;
    char **Entries; /* string list, owned */
} mth_IPSet_t;
void mth_IPSet_release(mth_IPSet_t *sets, int count);

typedef struct { /* one name of the plug-in host's "List" */
    char Name[256];
    char DisplayName[256];
    char Version[64];
    int IsLibrary;
    int Running;
    int32_t Pid;
} mth_PluginInfo_t;

typedef struct { /* (usuuuu) */
    uint32_t WANIndex;
    char Host[256];
    uint32_t NumberOfRepetitions;
    uint32_t Timeout;
    uint32_t DataBlockSize;
    uint32_t DSCP;
} mth_IPPingParam_t;

typedef struct { /* (usuuuuu) */
    uint32_t WANIndex;
    char Host[256];
    uint32_t NumberOfTries;
    uint32_t Timeout;
    uint32_t DataBlockSize;
    uint32_t DSCP;
    uint32_t MaxHopCount;
} mth_TraceRouteParam_t;

/* Instances of the firewall families, as listed, added and deleted by mth_Firewall_<family>_*. */
typedef struct {
    char path[256];
    char Name[256];
    char InsAddress[256];
    char UserName[256];
    char Password[256];
    uint32_t DestPort;
    uint8_t Enable;
    uint8_t Operate;
} mth_Firewall_L2TPVPN_obj_t;

typedef struct {
    char path[256];
    char Name[256];
    char WANName[256];
    uint8_t Enable;
    uint8_t Operate;
} mth_Firewall_NetworkAcceleration_obj_t;

typedef struct {
    char path[256];
    char Name[256];
    uint8_t Enable;
    uint8_t Operate;
    uint8_t Target;
    uint8_t Priority;
} mth_Firewall_TrafficControl_obj_t;

/* ---- SysCmd (/com/yvc/igd1/Orvane/System) ------------------------------------------------------- */

int mth_Reboot(int *status, char **errmsg);
int mth_Restore(int *status, char **errmsg);
int mth_Register(const char *user_id, const char *password, const char *province, int *status, char **errmsg);
/* Unlike the others, stores the code in *status and a non-empty text ("key=value&...") in *errmsg
 * whatever the code, as the text is the state itself. */
int mth_RegisterGetStat(int *status, char **errmsg);
int mth_CheckHardwareStart(int *status, char **errmsg);
int mth_GetLog(const char *start_time, const char *end_time, const char *upload_path, int *status, char **errmsg);
int mth_GetUpgradeVersion(char **version, char **url, int *status, char **errmsg);
int mth_InformNotifyVersion(int *status, char **errmsg);
int mth_InformUpgrade(int *status, char **errmsg);
int mth_GetDeviceDefaultSSID1Name(char *ssid, size_t size, int *status, char **errmsg);
int mth_GetDeviceDefaultSSID1Password(char *password, size_t size, int *status, char **errmsg);

/* ---- WAN and LAN hosts --------------------------------------------------------------------------- */

/* path: the object path of the connection, cut to size. */
int mth_GetWANConnByName(const char *wan_name, char *path, size_t size, int *status, char **errmsg);
int mth_GetInternetConnIndex(char *path, size_t size, int *status, char **errmsg);
int mth_GetLANHostPathbyMAC(const char *mac, char *path, size_t size, int *status, char **errmsg);
/* hosts: a block of count LANHost records (g_free). */
int mth_GetOnlineDeviceList(ccif_LANHost_t **hosts, int *count, int *status, char **errmsg);
int mth_GetOnlineDevicesSnapShot(ccif_LANHost_t **hosts, int *count, int *status, char **errmsg);
/* Looks the host up by MAC first; a refusal of the look-up is passed on and nothing else is called. */
int mth_SetAttachSpeedup(const char *mac, uint8_t on, int *status, char **errmsg);

/* ---- WiFi ---------------------------------------------------------------------------------------- */

int mth_KickOutDevice(const char *mac, const char *ssid_path, int *status, char **errmsg);
int mth_GetWLANNeighbor(const char *band, int *status, char **errmsg);
int mth_GetWiFiRoamingRecordsByMac(const char *mac, mth_WiFiRoamingRecord_t **records, int *count, int *status,
                                   char **errmsg);

/* ---- history traffic (sasus): a base text and a list of samples ---------------------------------- */

int mth_GetPONHistoryTraffic(uint32_t start, uint32_t num, char **base, char ***history, int *history_count,
                             int *status, char **errmsg);
int ccif_GetLANHistoryTraffic(const char *port_path, uint32_t start, uint32_t num, char **base, char ***history,
                              int *history_count, int *status, char **errmsg);
int ccif_GetIPSecVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***history,
                                   int *history_count, int *status, char **errmsg);
int ccif_GetL2TPVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***history,
                                  int *history_count, int *status, char **errmsg);
int ccif_GetVxLANVPNHistoryTraffic(const char *path, uint32_t start, uint32_t num, char **base, char ***history,
                                   int *history_count, int *status, char **errmsg);

/* ---- PPPoE (an instance of /com/yvc/igd1/Orvane/PPPoE) ------------------------------------------- */

int mth_SetPPPOEAccount(const char *pppoe_path, const char *wan_name, const char *user_name, const char *password,
                        const char *dial_mode, uint32_t idle_time, int *status, char **errmsg);
int mth_SetPPPOEAction(const char *pppoe_path, const char *wan_name, const char *action, int *status, char **errmsg);

/* ---- diagnostics (code `i`) ---------------------------------------------------------------------- */

int mth_StartIPPingDiagnostics(const mth_IPPingParam_t *param, int *status, char **errmsg);
int mth_StartTraceRouteDiagnostics(const mth_TraceRouteParam_t *param, int *status, char **errmsg);

/* ---- IPTables (asis) ----------------------------------------------------------------------------- */

int mth_RunIPTables(const char *command, char ***lines, int *line_count, int *status, char **errmsg);
int mth_RunIP6Tables(const char *command, char ***lines, int *line_count, int *status, char **errmsg);

/* ---- IPSet: these return the service's code (0 done), or -1 --------------------------------------- */

int mth_IPSet_AddIPSet(const mth_IPSet_t *sets, int count, char **errmsg);
int mth_IPSet_DeleteIPSetEntry(const mth_IPSet_t *sets, int count, char **errmsg);
/* "DeleteIPSet" (su): _delete removes the set (0), _clear empties it (1). */
int mth_IPSet_DeleteIPSet_delete(const char *name, char **errmsg);
int mth_IPSet_DeleteIPSet_clear(const char *name, char **errmsg);
int mth_IPSet_CheckIPSetEntry(const char *name, const char *entry, int *result, char **errmsg);
int mth_IPSet_GetIPSetName(char ***names, int *count, char **errmsg);
/* confs/infos: the service's av as given (g_variant_unref). names: count names, or all with the All twins. */
int mth_IPSet_GetIPSetConf(const char *const *names, int count, GVariant **confs, char **errmsg);
int mth_IPSet_GetIPSetAllConf(GVariant **confs, char **errmsg);
int mth_IPSet_GetIPSetInfo(const char *const *names, int count, GVariant **infos, char **errmsg);
int mth_IPSet_GetIPSetAllInfo(GVariant **infos, char **errmsg);

/* ---- NAS storage (/com/yvc/igd1/Storage/NAS) ----------------------------------------------------- */

int mth_GetDiscInfo(mth_DiscInfo_t **discs, int *count, int *status, char **errmsg);
int mth_GetFileNum(const char *folder, uint32_t *num, int *status, char **errmsg);
int mth_ListFolder(const char *folder, uint32_t start, uint32_t end, mth_FolderEntry_t **entries, int *count,
                   int *status, char **errmsg);
int mth_CreateFolder(const char *folder, int *status, char **errmsg);
int mth_Remove(const char *name, int *status, char **errmsg);
int mth_Rename(const char *from, const char *to, int *status, char **errmsg);
int mth_Move(const char *from, const char *to, int *status, char **errmsg);
int mth_Copy(const char *from, const char *to, int *status, char **errmsg);

/* ---- USB file systems (an instance path) --------------------------------------------------------- */

/* options: an a{sv} map, consumed; NULL sends an empty map. */
int mth_Mount(const char *fs_path, GVariant *options, char **mount_point, int *status, char **errmsg);
int mth_Unmount(const char *fs_path, const char *arg, int *status, char **errmsg);
int mth_SetLabel(const char *fs_path, const char *label, int *status, char **errmsg);
int mth_Format(const char *fs_path, const char *fs_type, int *status, char **errmsg);

/* ---- FTTO ---------------------------------------------------------------------------------------- */

int mth_SlaveManager_GetSlaveAllInfo(mth_SlaveInfo_t **slaves, int *count, int *status, char **errmsg);

/* ---- firewall families --------------------------------------------------------------------------- */

int mth_Firewall_L2TPVPN_GetL2TPVPNStatus(const char *path, mth_L2TPVPNStatus_t *vpn_status, int *status,
                                          char **errmsg);
/* list: count records, released with mth_releaseProfileStatus. */
int mth_Firewall_L2TPVPNProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count, int *status,
                                                 char **errmsg);
int mth_Firewall_NetworkAccelerationProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count,
                                                             int *status, char **errmsg);
int mth_Firewall_TrafficControlProfile_GetProfileStatus(const char *name, mth_ProfileStatus_t **list, int *count,
                                                        int *status, char **errmsg);

/* add_obj: adds an instance, stores its path in the record and writes the record (a failed write removes
 * the instance again); del_obj: the instance path; get_objs: a block of count records (g_free). */
int mth_Firewall_L2TPVPN_add_obj(mth_Firewall_L2TPVPN_obj_t *obj);
int mth_Firewall_L2TPVPN_del_obj(const char *path);
int mth_Firewall_L2TPVPN_get_objs(mth_Firewall_L2TPVPN_obj_t **objs, int *count);
int mth_Firewall_NetworkAcceleration_add_obj(mth_Firewall_NetworkAcceleration_obj_t *obj);
int mth_Firewall_NetworkAcceleration_del_obj(const char *path);
int mth_Firewall_NetworkAcceleration_get_objs(mth_Firewall_NetworkAcceleration_obj_t **objs, int *count);
int mth_Firewall_TrafficControl_add_obj(mth_Firewall_TrafficControl_obj_t *obj);
int mth_Firewall_TrafficControl_del_obj(const char *path);
int mth_Firewall_TrafficControl_get_objs(mth_Firewall_TrafficControl_obj_t **objs, int *count);

/* ---- the framework's own services ---------------------------------------------------------------- */

/* "List" of the plug-in host: one record per plug-in (g_free). */
int mth_Plugin_List(mth_PluginInfo_t **plugins, int *count);
/* "GetStatus": the plug-in's state text, cut to size. */
int mth_Plugin_GetStatus(const char *name, char *state, size_t size);
/* "Restore" of com.yvc.zep1.framework: the service's result. */
int mth_framework_Restore(uint32_t *result);
/* "Upgrade" of com.yvc.zep1.framework: the package's URL and the check mode; the service's result. */
int mth_framework_Upgrade(const char *url, uint8_t mode, uint32_t *result);
/* "GetStatus" of com.yvc.gwagent1: platform address (cut to size), port and connection status. */
int mth_gwagent_GetStatus(char *address, size_t size, uint32_t *port, uint32_t *status);

/* ---- signal decoders (handler form of h_dbus_SubscribeSignal) ------------------------------------ */

typedef struct {
    uint32_t SuccessCount;
    uint32_t FailureCount;
    uint32_t AverageResponseTime;
    uint32_t MinimumResponseTime;
    uint32_t MaximumResponseTime;
    uint32_t code;
    char message[256];
} scb_IPPingResult_t;

typedef struct { /* (ssus) */
    char Host[256];
    char HostAddress[46];
    uint32_t RTTime;
    char ErrorInfo[64];
} scb_TraceRouteHop_t;

typedef struct {
    int hop_count;
    scb_TraceRouteHop_t *hops; /* g_free */
    uint32_t code;
    char message[256];
} scb_TraceRouteResult_t;

typedef struct {
    char RequestLine[1024];
    uint32_t StatusCode;
    char **HeaderFields; /* string list, owned */
} scb_HTTPTraffic_t;

typedef struct {
    char DestAddress[256];
    char WANIPAddress[46];
    char PPPoEName[129];
} scb_DestAddressDisappear_t;

typedef struct {
    uint32_t CallDirect;
    gboolean IsSuccess;
    uint32_t CallDuration;
    char CallNumber[16];
    uint32_t POTSindex;
} scb_VoiceCallInfo_t;

/* Decoding alone, for callers that want the record: 0, or -1 for a payload of another shape. */
int scb_decode_IPPingResponse(GVariant *parameters, scb_IPPingResult_t *out);
int scb_decode_TraceRouteResponse(GVariant *parameters, scb_TraceRouteResult_t *out);
int scb_decode_HTTPTraffic(GVariant *parameters, scb_HTTPTraffic_t *out); /* release HeaderFields */
int scb_decode_DestAddressDisappear(GVariant *parameters, scb_DestAddressDisappear_t *out);
int scb_decode_VoiceCallInfo(GVariant *parameters, scb_VoiceCallInfo_t *out);

void scb_IPPingResponse(const char *sender, const char *path, const char *iface, const char *member,
                        GVariant *parameters, void *user_data);
void scb_TraceRouteResponse(const char *sender, const char *path, const char *iface, const char *member,
                            GVariant *parameters, void *user_data);
void scb_NotifyHTTPTrafficProcess(const char *sender, const char *path, const char *iface, const char *member,
                                  GVariant *parameters, void *user_data);
void scb_NotifyDestAddressDetected(const char *sender, const char *path, const char *iface, const char *member,
                                   GVariant *parameters, void *user_data);
void scb_NotifyDestAddressDisappear(const char *sender, const char *path, const char *iface, const char *member,
                                    GVariant *parameters, void *user_data);
void scb_NotifyVoiceCallInfo(const char *sender, const char *path, const char *iface, const char *member,
                             GVariant *parameters, void *user_data);

/* ---- WLAN neighbour relay: two one-shot slots --------------------------------------------------- */

int set_signalWLANNeighborResponseCb(int slot, h_dbus_signal_cb callback, void *param);
int clear_signalWLANNeighborResponseCb(int slot);
void *get_signalWLANNeighborResponseParam(int slot);
void set_signalWLANNeighborResponseSubID(long id);
long get_signalWLANNeighborResponseSubID(void);
/* Subscribed to "WLANNeighborResponse": calls slot 0, then slot 1, each once, with the signal's
 * arguments and the slot's parameter. */
void handle_signalWLANNeighborResponse(const char *sender, const char *path, const char *iface, const char *member,
                                       GVariant *parameters, void *user_data);

#ifdef __cplusplus
}
#endif

#endif
