/* The framework's own upgrade and restore, both carried out by the framework service on the bus. */
#ifndef GWAGENT_COMMANDS_CMD_ZEP_H
#define GWAGENT_COMMANDS_CMD_ZEP_H

#include <stdint.h>

#include <gw/ubox.h>

#ifdef __cplusplus
#include <string>

extern "C" {
#endif

/* Result codes of an upgrade; codes above ZEP_UPG_OTHER are answered as ZEP_UPG_OTHER. */
#define ZEP_UPG_SUCCESS 0
#define ZEP_UPG_INVALID_URL 1
#define ZEP_UPG_VERSION_LOWER 4
#define ZEP_UPG_NO_VENDOR_ARCH 6
#define ZEP_UPG_INVALID_VENDOR_ARCH 7
#define ZEP_UPG_OTHER 9
#define ZEP_UPG_BUS_FAILED 99

/* One upgrade order; texts cut to their fields. */
typedef struct zep_upgrade_order {
    char ModuleName[16];
    char Version[32];
    char RunMode[8];
    int32_t FileSize;
    char UpMode[4];
    char URL[256];
    /* Wide enough for "true": a 4-byte field would cut it to "tru" and never skip the checks. */
    char Block[8];
} zep_upgrade_order;

/* Checks the order against the running framework and hands it to the framework service: a result
 * code, or ZEP_UPG_BUS_FAILED when the call fails. */
int upgrade_framework_V1(const zep_upgrade_order *order);
/* The text of a result code (codes above 9 as 9). */
const char *zep_upgrade_result_text(int code);
/* Creates the file (0666) when it is missing; an existing one keeps its contents. 0, or -1. */
int create_null_file(const char *path);
int isBigend(void);

/* The restore waits this long after the last order, so that the answer leaves first. */
#define ZEP_RESTORE_DELAY_MS 5000
extern struct uloop_timeout g_timeout_oxa_framework_restore0;
void ucf_timeout_oxa_framework_restore0_cb(struct uloop_timeout *t);

#ifdef __cplusplus
}

namespace gwagent {
/* The package file name of the order's URL taken apart: the text after its first underscore (the
 * version tag), and that tag split at its next underscore. A rule that fails leaves the outputs from
 * there on empty. */
void get_downloadurl_info(const zep_upgrade_order &order, std::string &tag, std::string &second, std::string &third);
}  // namespace gwagent
#endif

#endif
