#include "fake_syslog.hpp"

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace fake_syslog {
namespace {
std::mutex mu;
std::vector<Record> recs;
std::vector<Opened> opened;
int closed;

void record(int priority, const char *fmt, va_list ap)
{
    char buf[4096];
    std::vsnprintf(buf, sizeof buf, fmt, ap);
    std::lock_guard<std::mutex> lock(mu);
    recs.push_back({priority, buf});
}
}  // namespace

std::vector<Record> records()
{
    std::lock_guard<std::mutex> lock(mu);
    return recs;
}
std::vector<Opened> opens()
{
    std::lock_guard<std::mutex> lock(mu);
    return opened;
}
int closes()
{
    std::lock_guard<std::mutex> lock(mu);
    return closed;
}
void reset()
{
    std::lock_guard<std::mutex> lock(mu);
    recs.clear();
    opened.clear();
    closed = 0;
}

}  // namespace fake_syslog

extern "C" {
void openlog(const char *ident, int option, int facility)
{
    std::lock_guard<std::mutex> lock(fake_syslog::mu);
    fake_syslog::opened.push_back({ident ? ident : "", option, facility});
}
void closelog(void)
{
    std::lock_guard<std::mutex> lock(fake_syslog::mu);
    ++fake_syslog::closed;
}
void syslog(int priority, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fake_syslog::record(priority, fmt, ap);
    va_end(ap);
}
void vsyslog(int priority, const char *fmt, va_list ap) { fake_syslog::record(priority, fmt, ap); }
void __syslog_chk(int priority, int, const char *fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    fake_syslog::record(priority, fmt, ap);
    va_end(ap);
}
}
