// The resolver file, written from the DNS servers of the internet WAN connection.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/agent.h"
#include "core/holders.hpp"
#include "gwbus/log.h"
#include "gwbus/methods.h"
#include "gwbus/objects.h"
#include "gwbus/raii.hpp"
#include "gwbus/rootpath.h"
#include "gwbus/util.h"

namespace {

using gwagent::FilePtr;

// The first two entries of a comma-separated list.
std::vector<std::string> first_two(const char *list)
{
    std::vector<std::string> out;
    std::string s = list ? list : "";
    size_t start = 0;
    while (out.size() < 2 && start <= s.size()) {
        const size_t comma = s.find(',', start);
        const size_t end = comma == std::string::npos ? s.size() : comma;
        std::string item = s.substr(start, end - start);
        const size_t b = item.find_first_not_of(' ');
        const size_t e = item.find_last_not_of(' ');
        out.push_back(b == std::string::npos ? std::string() : item.substr(b, e - b + 1));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    out.resize(2);
    return out;
}

// Writes text to a file readable by everyone (plug-in users read it); an owner without write
// permission, left by an older copy, is given it back first.
bool write_readable(const std::string &path, const std::string &text)
{
    chmod(path.c_str(), 0644);
    FilePtr f(fopen(path.c_str(), "w"));
    if (!f)
        return false;
    const bool ok = fwrite(text.data(), 1, text.size(), f.get()) == text.size();
    f.reset();
    ucf_set_file_mode(path.c_str(), 0444);
    return ok;
}

}  // namespace

extern "C" int gwagent_set_dns(void)
{
    const std::string resolv = gw::RootPath("/tmp/resolv.conf");
    // Truncated at once, so a failed lookup leaves no stale servers behind.
    chmod(resolv.c_str(), 0644);
    FilePtr f(fopen(resolv.c_str(), "w"));
    if (!f) {
        GWLOG(LOG_LVL_ERR, "failed to create resolv.conf, %s", strerror(errno));
        return -1;
    }
    // Readable by all on every way out, the emptied file of a failed lookup included.
    struct ReadableAgain {
        const std::string &path;
        ~ReadableAgain() { ucf_set_file_mode(path.c_str(), 0444); }
    } readable_again{resolv};

    char path[CCIF_PATH_SIZE] = {};
    int status = 0;
    char *message = nullptr;
    const long ret = mth_GetInternetConnIndex(path, sizeof path, &status, &message);
    gw::GCharPtr message_owner(message);
    if (ret != 0 || status != 0) {
        if (message)
            GWLOG(LOG_LVL_WARN, "call GetInternetConnIndex failed, %ld,%lu : %s.", ret,
                  static_cast<unsigned long>(status), message);
        else
            GWLOG(LOG_LVL_WARN, "call GetInternetConnIndex failed, %ld,%lu.", ret, static_cast<unsigned long>(status));
        return -1;
    }

    ccif_WANConnectionInfo_t wan{};
    if (ccif_WANConnectionInfo_get(path, &wan) != 0) {
        GWLOG(LOG_LVL_WARN, "get WANConnectionInfo.x failed.");
        return -1;
    }

    static const char *const kV4Opt[2] = {"v4dns1", "v4dns2"};
    static const char *const kV6Opt[2] = {"v6dns1", "v6dns2"};
    const auto v4 = first_two(wan.DNSServers);
    const auto v6 = first_two(wan.IPv6DNSServers);
    std::string text;
    for (int i = 0; i < 2; ++i) {
        if (v4[i] != "0.0.0.0" && is_valid_ipaddr(v4[i].c_str())) {
            text += "nameserver " + v4[i] + "\n";
            uci_config_set("system", "dnsserver", kV4Opt[i], v4[i].c_str(), 0);
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (v6[i] != "::" && v6[i] != "::1" && is_valid_ipv6(v6[i].c_str())) {
            text += "nameserver " + v6[i] + "\n";
            uci_config_set("system", "dnsserver", kV6Opt[i], v6[i].c_str(), 0);
        }
    }
    f.reset();
    if (!write_readable(resolv, text)) {
        GWLOG(LOG_LVL_ERR, "failed to create resolv.conf, %s", strerror(errno));
        return -1;
    }
    const std::string uci_dir = gw::RootPath("/tmp/.uci");
    create_directory(uci_dir.c_str(), 0755);
    // The copy is what plug-in containers link to; it is written whole even when there is no server.
    if (!write_readable(uci_dir + "/resolv.conf", text))
        GWLOG(LOG_LVL_WARN, "failed to copy resolv.conf, %s", strerror(errno));
    return 0;
}
