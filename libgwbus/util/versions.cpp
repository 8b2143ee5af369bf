// Installed framework and agent versions.
#include <cstdio>
#include <cstring>
#include <string>

#include "gwbus/rootpath.h"
#include "gwbus/strutil.h"
#include "gwbus/util.h"

namespace {

void chomp(char *s)
{
    size_t n = std::strlen(s);
    while (n > 0 && (s[n - 1] == '\n' || s[n - 1] == '\r'))
        s[--n] = '\0';
}

}  // namespace

extern "C" {

int get_framework_version(char *buf)
{
    if (!buf)
        return -1;
    std::string path = gw::RootPath("/etc/openwrt_version");
    FILE *f = std::fopen(path.c_str(), "re");
    if (!f)
        return -1;
    char line[64];
    bool ok = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!ok)
        return -1;
    chomp(line);
    if (line[0] != 'V' && line[0] != 'v')
        return -1;
    copy_truncated(buf, 64, line);
    return 0;
}

int get_gwagent_version(char *buf)
{
    if (!buf)
        return -1;
    std::string path = gw::RootPath("/usr/lib/opkg/info/gwagent.control");
    FILE *f = std::fopen(path.c_str(), "re");
    if (!f)
        return -1;
    static constexpr char kKey[] = "Version: ";
    char line[256];
    int rc = -1;
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, kKey, sizeof kKey - 1) != 0)
            continue;
        chomp(line);
        copy_truncated(buf, 24, line + sizeof kKey - 1);
        rc = 0;
        break;
    }
    std::fclose(f);
    return rc;
}

}  // extern "C"
