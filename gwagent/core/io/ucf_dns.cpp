// Name resolution of the platform servers, at most three addresses.
#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

#include "core/dev_info.h"
#include "core/io/ucf_io.h"
#include "gwbus/log.h"

namespace {

ucf_getaddrinfo_fn g_gai = ::getaddrinfo;
ucf_freeaddrinfo_fn g_fai = ::freeaddrinfo;

}  // namespace

extern "C" void ucf_set_resolver(ucf_getaddrinfo_fn gai, ucf_freeaddrinfo_fn fai)
{
    g_gai = gai ? gai : ::getaddrinfo;
    g_fai = fai ? fai : ::freeaddrinfo;
}

extern "C" int ucf_dns_resolver(const char *host, char (*addrs)[UCF_ADDR_LEN])
{
    if (!host || !*host || !addrs) {
        GWLOG(LOG_LVL_ERR, "getaddrinfo failed: domain %s, err %s", host ? host : "(null)", gai_strerror(EAI_NONAME));
        return -1;
    }
    char wan[sizeof g_dev_info.WANIPAddr + 1] = {0};
    memcpy(wan, g_dev_info.WANIPAddr, sizeof g_dev_info.WANIPAddr);

    struct addrinfo hints;
    memset(&hints, 0, sizeof hints);
    // An IPv6 WAN may reach the server over either family; otherwise only IPv4 is routable.
    hints.ai_family = strchr(wan, ':') ? AF_UNSPEC : AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    GWLOG(LOG_LVL_INFO, "Start to resolv %s (%s)", host, wan);

    struct addrinfo *res = nullptr;
    const int rc = g_gai(host, nullptr, &hints, &res);
    if (rc != 0) {
        GWLOG(LOG_LVL_ERR, "getaddrinfo failed: domain %s, err %s", host, gai_strerror(rc));
        return -1;
    }
    int count = 0;
    for (struct addrinfo *ai = res; ai && count < UCF_ADDR_COUNT; ai = ai->ai_next) {
        char *entry = addrs[count];
        memset(entry, 0, UCF_ADDR_LEN);
        const void *src = nullptr;
        if (ai->ai_family == AF_INET && ai->ai_addr)
            src = &reinterpret_cast<const struct sockaddr_in *>(ai->ai_addr)->sin_addr;
        else if (ai->ai_family == AF_INET6 && ai->ai_addr)
            src = &reinterpret_cast<const struct sockaddr_in6 *>(ai->ai_addr)->sin6_addr;
        if (src && inet_ntop(ai->ai_family, src, entry, UCF_ADDR_LEN))
            GWLOG(LOG_LVL_INFO, "%s[%d] ==> %s", host, count, entry);
        count++;
    }
    if (res)
        g_fai(res);
    return count;
}
