/* The hardware self-test of CHECK_HARDWARE_START and CHECK_HARDWARE_STATUS. */
#ifndef GWAGENT_COMMANDS_CMD_CHECK_HARDWARE_H
#define GWAGENT_COMMANDS_CMD_CHECK_HARDWARE_H

#include <glib.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The CheckHardwareStatus signal ((a{sv}us): results, code, text): keeps the result of the check and
 * ends the subscription. */
void scb_CheckHardwareStatus(const char *sender_name, const char *object_path, const char *interface_name,
                             const char *signal_name, GVariant *parameters, void *user_data);

#ifdef __cplusplus
}

namespace gwagent {

// Forgets the check and its subscription.
void check_hardware_reset();

}  // namespace gwagent
#endif

#endif
