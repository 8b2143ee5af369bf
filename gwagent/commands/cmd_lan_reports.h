/* The LAN device access and LAN port speed reports, as seen from outside their handlers. */
#ifndef GWAGENT_COMMANDS_CMD_LAN_REPORTS_H
#define GWAGENT_COMMANDS_CMD_LAN_REPORTS_H

#include <glib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The LanDeviceAccess signal ((ssssyysss)): one LAN_DEVICE_ACCESS report to the message server. */
void scb_LanDeviceAccess(const char *sender_name, const char *object_path, const char *interface_name,
                         const char *signal_name, GVariant *parameters, void *user_data);

#ifdef __cplusplus
}

struct uloop_timeout;

namespace gwagent {

// The LAN port report's timer (tests fire it).
struct uloop_timeout *lan_speed_timer();
// Turns both reports off.
void lan_reports_reset();

}  // namespace gwagent
#endif

#endif
