/* The VPN traffic report of VPN_STATUC_TRAFFIC, as seen from outside its handlers. */
#ifndef GWAGENT_COMMANDS_CMD_VPN_TRAFFIC_H
#define GWAGENT_COMMANDS_CMD_VPN_TRAFFIC_H

#ifdef __cplusplus
extern "C" {
#endif

/* Pushes one report of the tunnels' counters (nothing when the VPN settings cannot be read). */
void report_VPN_STATUC_TRAFFIC(void);

#ifdef __cplusplus
}

struct uloop_timeout;

namespace gwagent {

// The report's timer (tests fire it).
struct uloop_timeout *vpn_traffic_timer();
// Turns the report off.
void vpn_traffic_reset();

}  // namespace gwagent
#endif

#endif
