// Registering and closing event-loop descriptors.
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/io/ucf_io.h"
#include "gwbus/log.h"

namespace {

uloop_fd closed_fd()
{
    uloop_fd u;
    memset(&u, 0, sizeof u);
    u.fd = -1;
    return u;
}

}  // namespace

struct uloop_fd g_fd_udp_distr = closed_fd();
struct uloop_fd g_fd_plugin = closed_fd();
struct uloop_fd g_fd_message = closed_fd();
struct uloop_fd g_fd_pushd = closed_fd();

extern "C" int ucf_uloop_fd_add(struct uloop_fd *ufd, unsigned int flags)
{
    if (!ufd) {
        GWLOG(LOG_LVL_ERR, "Failed to set fd %d to mode %u, %s", -1, flags, strerror(EINVAL));
        return -1;
    }
    if (flags == ULOOP_READ)
        GWLOG(LOG_LVL_DEBUG, "\033[33mset fd %d to mode ULOOP_READ.\033[0m", ufd->fd);
    else if (flags == ULOOP_WRITE)
        GWLOG(LOG_LVL_DEBUG, "\033[33mset fd %d to mode ULOOP_WRITE.\033[0m", ufd->fd);
    else
        GWLOG(LOG_LVL_DEBUG, "\033[33mset fd %d to mode %u.\033[0m", ufd->fd, flags);
    // A closed record must not reach epoll: the loop would keep a stale registration.
    if (ufd->fd < 0) {
        GWLOG(LOG_LVL_ERR, "Failed to set fd %d to mode %u, %s", ufd->fd, flags, strerror(EBADF));
        return -1;
    }
    const int ret = uloop_fd_add(ufd, flags);
    if (ret < 0)
        GWLOG(LOG_LVL_ERR, "Failed to set fd %d to mode %u, %s", ufd->fd, flags, strerror(errno));
    else
        GWLOG(LOG_LVL_DEBUG, "set fd %d to mode %u success.", ufd->fd, flags);
    return ret;
}

extern "C" int ucf_close_uloop_fd(struct uloop_fd *ufd)
{
    if (!ufd || ufd->fd < 0) {
        GWLOG(LOG_LVL_WARN, "close ufd failed : invalid ufd.");
        return 0;
    }
    if (uloop_fd_delete(ufd) < 0)
        GWLOG(LOG_LVL_ERR, "Failed to delete epoll fd %d (%s)", ufd->fd, strerror(errno));
    const int ret = close(ufd->fd);
    if (ret < 0)
        GWLOG(LOG_LVL_ERR, "Failed to close fd %d (%s)", ufd->fd, strerror(errno));
    else
        GWLOG(LOG_LVL_DEBUG, "fd %d closed", ufd->fd);
    ufd->fd = -1;
    return ret;
}
