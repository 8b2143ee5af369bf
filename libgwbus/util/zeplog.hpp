// Internal: the line format of the framework event log, separate so that it can be checked with a
// fixed clock.
#ifndef GWBUS_UTIL_ZEPLOG_HPP
#define GWBUS_UTIL_ZEPLOG_HPP

#include <sys/time.h>

#include <string>

namespace gw {

constexpr long kZepLogRotateAbove = 524287;

// "YYYY-MM-DD hh:mm:ss.<usec> <message>\n" in local time; the microseconds are a plain decimal
// without leading zeros, as the platform's log readers expect.
std::string format_zep_line(const timeval &tv, const char *message);

}  // namespace gw

#endif
