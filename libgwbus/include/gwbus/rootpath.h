/* Run-time root: every absolute path of the system is taken below $GW_ROOT (unset or empty: "/"). */
#ifndef GWBUS_ROOTPATH_H
#define GWBUS_ROOTPATH_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The root without a trailing slash; "" when the root is "/". Read from the environment on every call,
 * so tests can change it between cases. */
const char *gw_root(void);

/* Writes root + abs_path into buf (cut to size) and returns buf. A relative path is returned unchanged. */
char *gw_root_path(const char *abs_path, char *buf, size_t size);

#ifdef __cplusplus
}

#include <string>
#include <string_view>

namespace gw {
std::string RootPath(std::string_view abs_path);
}
#endif

#endif
