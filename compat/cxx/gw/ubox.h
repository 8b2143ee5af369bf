/* libubox for C++ units: its headers carry no C linkage block of their own. */
#ifndef GW_UBOX_H
#define GW_UBOX_H

extern "C" {
#include <libubox/uloop.h>
#include <libubox/usock.h>
#include <libubox/utils.h>
}

/* libubox/utils.h defines `fallthrough` as a macro, which breaks the attribute tests in GLib's headers;
 * its include guard keeps it from coming back. */
#undef fallthrough

#endif
