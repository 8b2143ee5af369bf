/* The device speed report of DEVICE_SPEED, as seen from outside its handlers. */
#ifndef GWAGENT_COMMANDS_CMD_DEVICE_SPEED_H
#define GWAGENT_COMMANDS_CMD_DEVICE_SPEED_H

struct uloop_timeout;

namespace gwagent {

// The report's timer (tests fire it).
struct uloop_timeout *device_speed_timer();
// Turns the report off and forgets every sample.
void device_speed_reset();

}  // namespace gwagent

#endif
