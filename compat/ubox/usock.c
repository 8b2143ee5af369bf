/* Socket creation from (type, host, service). */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "libubox/usock.h"

static int usock_set_flags(int sock, unsigned int type)
{
    if (!(type & USOCK_NOCLOEXEC) && fcntl(sock, F_SETFD, fcntl(sock, F_GETFD) | FD_CLOEXEC) < 0)
        return -1;
    if ((type & USOCK_NONBLOCK) && fcntl(sock, F_SETFL, fcntl(sock, F_GETFL) | O_NONBLOCK) < 0)
        return -1;
    return 0;
}

static int usock_connect(int type, const struct sockaddr *sa, socklen_t sa_len, int family, int socktype, bool server)
{
    int sock = socket(family, socktype, 0);

    if (sock < 0)
        return -1;
    if (usock_set_flags(sock, (unsigned int)type) < 0)
        goto error;

    if (server) {
        const int one = 1;

        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        if (family == AF_INET6 && (type & USOCK_IPV6ONLY))
            setsockopt(sock, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof(one));
        if (bind(sock, sa, sa_len) < 0)
            goto error;
        if (socktype == SOCK_STREAM && listen(sock, SOMAXCONN) < 0)
            goto error;
    } else if (connect(sock, sa, sa_len) < 0 && errno != EINPROGRESS) {
        goto error;
    }
    return sock;

error : {
    int saved = errno;
    close(sock);
    errno = saved;
    return -1;
}
}

static int usock_unix(int type, const char *host)
{
    struct sockaddr_un sun;
    bool server = !!(type & USOCK_SERVER);
    int socktype = ((type & 0xff) == USOCK_TCP) ? SOCK_STREAM : SOCK_DGRAM;

    memset(&sun, 0, sizeof(sun));
    if (!host || strlen(host) >= sizeof(sun.sun_path)) {
        errno = EINVAL;
        return -1;
    }
    sun.sun_family = AF_UNIX;
    strcpy(sun.sun_path, host);
    return usock_connect(type, (struct sockaddr *)&sun, sizeof(sun), AF_UNIX, socktype, server);
}

static int usock_inet(int type, const char *host, const char *service)
{
    struct addrinfo hints, *result = NULL, *rp;
    bool server = !!(type & USOCK_SERVER);
    int sock = -1;
    int rc;

    memset(&hints, 0, sizeof(hints));
    if (type & USOCK_IPV6ONLY)
        hints.ai_family = AF_INET6;
    else if (type & USOCK_IPV4ONLY)
        hints.ai_family = AF_INET;
    else
        hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = ((type & 0xff) == USOCK_UDP) ? SOCK_DGRAM : SOCK_STREAM;
    hints.ai_flags |=
        AI_ADDRCONFIG | ((type & USOCK_SERVER) ? AI_PASSIVE : 0) | ((type & USOCK_NUMERIC) ? AI_NUMERICHOST : 0);

    rc = getaddrinfo(host, service, &hints, &result);
    if (rc != 0 && (hints.ai_flags & AI_ADDRCONFIG)) {
        /* A box with only loopback up has no "configured" address family. */
        hints.ai_flags &= ~AI_ADDRCONFIG;
        rc = getaddrinfo(host, service, &hints, &result);
    }
    if (rc != 0) {
        errno = EHOSTUNREACH;
        return -1;
    }

    for (rp = result; rp != NULL; rp = rp->ai_next) {
        sock = usock_connect(type, rp->ai_addr, rp->ai_addrlen, rp->ai_family, rp->ai_socktype, server);
        if (sock >= 0)
            break;
    }
    freeaddrinfo(result);
    return sock;
}

int usock(int type, const char *host, const char *service)
{
    if (type & USOCK_UNIX)
        return usock_unix(type, host);
    return usock_inet(type, host, service);
}

int usock_wait_ready(int fd, int msecs)
{
    struct pollfd fds[1];
    int res;

    fds[0].fd = fd;
    fds[0].events = POLLOUT;
    res = poll(fds, 1, msecs);
    if (res < 0)
        return errno;
    if (res == 0)
        return ETIMEDOUT;
    {
        int err = 0;
        socklen_t optlen = sizeof(err);
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &optlen))
            return errno;
        return err;
    }
}
