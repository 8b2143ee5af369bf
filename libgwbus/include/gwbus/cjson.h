/* The cJSON interface, carried by libgwbus for the plug-ins: they include this header and link
 * libgwbus only. */
#ifndef GWBUS_CJSON_H
#define GWBUS_CJSON_H

#include <cjson/cJSON.h>

#endif
