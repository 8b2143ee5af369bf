// Records what the library hands to syslog: the test binary defines openlog/syslog/closelog, which
// take precedence over the C library's for libgwbus.so.
#ifndef GWTEST_FAKE_SYSLOG_HPP
#define GWTEST_FAKE_SYSLOG_HPP

#include <string>
#include <vector>

namespace fake_syslog {

struct Record {
    int priority;
    std::string text;
};

struct Opened {
    std::string ident;
    int option;
    int facility;
};

std::vector<Record> records();
std::vector<Opened> opens();
int closes();
void reset();

}  // namespace fake_syslog

#endif
