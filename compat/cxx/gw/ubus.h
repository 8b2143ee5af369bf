/* libubus for C++ units, after libubox (see gw/ubox.h). */
#ifndef GW_UBUS_H
#define GW_UBUS_H

#include <gw/ubox.h>

#include <libubus.h>

/* The real libubus.h leaves the default socket to its own build; this is where the firmware puts it. */
#ifndef UBUS_UNIX_SOCKET
#define UBUS_UNIX_SOCKET "/var/run/ubus/ubus.sock"
#endif

#endif
