/* libubox for C++ units: its headers carry no C linkage block of their own. */
#ifndef GW_UBOX_H
#define GW_UBOX_H

extern "C" {
#include <libubox/uloop.h>
#include <libubox/usock.h>
#include <libubox/utils.h>
}

/* libubox/utils.h defines `fallthrough`, `__constructor` and `__destructor` as macros, which break GLib's
 * attribute tests and C++ library headers included later; its include guard keeps them from coming back. */
#undef fallthrough
#undef __constructor
#undef __destructor

#endif
