// Framework event log: one line per install, upgrade, download or restore event, shared by the
// agent, the plug-in host and the plug-ins.
#include "zeplog.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"

namespace gw {

std::string format_zep_line(const timeval &tv, const char *message)
{
    struct tm tm {};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &tm);
    char head[64];
    std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%lld ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<long long>(tv.tv_usec));
    std::string line(head);
    line += message ? message : "";
    line += '\n';
    return line;
}

}  // namespace gw

namespace {

bool too_large(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_size > gw::kZepLogRotateAbove;
}

// Several processes append to the log; only the rotation is serialised between them.
void rotate_if_needed(const std::string &log_path)
{
    if (!too_large(log_path))
        return;
    std::string lock_path = gw::RootPath("/tmp/zepsrv.lock");
    gw::UniqueFd lock(::open(lock_path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (lock)
        ::flock(lock.get(), LOCK_EX);
    if (too_large(log_path)) {
        std::string old_path = log_path + ".old";
        if (::rename(log_path.c_str(), old_path.c_str()) != 0)
            GWLOG(LOG_LVL_WARN, "rename %s to %s failed, %s", log_path.c_str(), old_path.c_str(), std::strerror(errno));
    }
    if (lock)
        ::flock(lock.get(), LOCK_UN);
}

}  // namespace

extern "C" void write_zep_log(const char *format, ...)
{
    if (!format)
        return;
    std::string log_path = gw::RootPath("/hgutmp/zepsrv.log");
    rotate_if_needed(log_path);

    char message[256];
    va_list ap;
    va_start(ap, format);
    std::vsnprintf(message, sizeof message, format, ap);
    va_end(ap);

    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::string line = gw::format_zep_line(tv, message);

    FILE *f = std::fopen(log_path.c_str(), "ae");
    if (!f)
        return;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
}
