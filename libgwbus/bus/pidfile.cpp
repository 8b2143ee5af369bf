// The pid file of a daemon.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "gwbus/bus.h"
#include "gwbus/log.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"

extern "C" int write_pid_to_file(const char *path)
{
    if (!path || !*path) {
        GWLOG(LOG_LVL_WARN, "the path is null.");
        return -1;
    }
    const std::string file = gw::RootPath(path);
    gw::UniqueFd fd(open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd) {
        GWLOG(LOG_LVL_WARN, "open pid file %s failed.", path);
        return -1;
    }
    char text[24];
    const int len = std::snprintf(text, sizeof text, "%ld", static_cast<long>(getpid()));
    if (write(fd.get(), text, len) != len)
        GWLOG(LOG_LVL_WARN, "pid write to file %s failed.", path);
    return 0;
}
