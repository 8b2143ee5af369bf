/* Device information record of the agent: identity, versions, capabilities, registration data. */
#ifndef GWAGENT_CORE_DEV_INFO_H
#define GWAGENT_CORE_DEV_INFO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Character arrays hold a terminated string of at most size - 1 characters, except CheckSN, which
 * holds its 32 digest characters with no room for a terminator (readers bound it by the size). */
typedef struct gw_dev_info {
    char DevRND[33];
    char LastPluginKey[48];
    char Vendor[65];
    char ProductClass[65];
    char ModelName[65];
    char SWVersion[65];
    char HDVersion[65];
    char FrameworkVersion[64];
    char PlatformVersion[17];
    char MAC[13];
    char WANIPAddr[48];
    char WANConnectionStatus[64];
    char LOID[64];
    char GPONSN[13];
    char MessageID[13];
    char PluginMessageID[33];
    char ManufacturerOUI[7];
    char SerialNumber[33];
    char CpuArch[52];
    char ChallengeCode[33];
    char SNPrefix[7];
    char SharedPasswd[33];
    char VendorCode[7];
    char VendorKey[17];
    char PPPoEName[64];
    char CheckSN[32];
    char Province[9];
    char KernelVersion[65];
    uint8_t WiFiVersion;
    uint8_t DevWiFi;
    uint8_t DevUSB;
    uint8_t DevType;
    uint8_t WorkMode;
    uint8_t UPLink;
    uint32_t UPLinkType;
    uint32_t POTSNum;
    uint32_t LANNum;
    uint32_t KernelBit;
    uint32_t RegisteredFlag;
} gw_dev_info;

extern gw_dev_info g_dev_info;

#ifdef __cplusplus
}
#endif

#endif
